#pragma once

#include "Platform/Core/Dispatch.h"

#include <QAbstractButton>
#include <QPointer>

namespace Motion {
class Animator;
}

// A small plain button showing a copy symbol. A click clears the clipboard, puts value on it as
// plain text and shows a check mark for 1.4 s (the change of symbol cross-fades with
// Motion.state, a 0.2 s ease-in-out under Reduce Motion). Its tool tip and accessible name are
// "Copy " followed by the label.
class CopyButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr double checkMarkSeconds = 1.4;
    static constexpr int side = 18;

    CopyButton(QString value, QString label, QWidget* parent = nullptr);

    QString value() const { return value_; }
    void setValue(const QString& value) { value_ = value; }
    QString label() const { return label_; }
    void setLabel(const QString& label);
    bool justCopied() const { return justCopied_; }
    // The symbol shown: "doc.on.doc", or "checkmark" after a copy.
    QString symbol() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void copy();
    void setJustCopied(bool copied);

    QString value_;
    QString label_;
    bool justCopied_ = false;
    double checkOpacity_ = 0;  // 0 the copy symbol, 1 the check mark
    WorkItem reset_;
    QPointer<Motion::Animator> fade_;
};
