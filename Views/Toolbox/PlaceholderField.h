#pragma once

#include "Views/Shared/Motion.h"

#include <QString>
#include <QWidget>

class QLineEdit;

// The field of one placeholder in the fill-in form: a borderless one-line text field on a
// faint rounded plate whose border turns to the accent colour while the field is edited.
class PlaceholderField : public QWidget {
    Q_OBJECT
public:
    // The text field's height and the padding above and below it.
    static constexpr int textHeight = 18;
    static constexpr int verticalPadding = 5;
    static constexpr int fieldHeight = textHeight + 2 * verticalPadding;

    explicit PlaceholderField(QWidget* parent = nullptr);

    QLineEdit* lineEdit() const { return edit_; }
    QString value() const;
    // Shows the value unless the field already holds it (the caret stays where it is).
    void setValue(const QString& value);
    bool isFocused() const { return focused_; }

signals:
    void valueEdited(const QString& value);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QLineEdit* edit_;
    bool focused_ = false;
    Motion::AnimatedValue focus_;  // 0 resting, 1 focused
};
