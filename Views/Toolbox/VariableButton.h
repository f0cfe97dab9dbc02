#pragma once

#include <QAbstractButton>
#include <QString>

// A button of the snippet editor's variable palette: the symbol in the accent colour, the title
// over the token, on a faint rounded plate 42 points high. It shrinks a little while pressed.
class VariableButton : public QAbstractButton {
    Q_OBJECT
public:
    VariableButton(const QString& title, const QString& token, const QString& symbol, QWidget* parent = nullptr);

    QString title() const { return text(); }
    QString token() const { return token_; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString token_;
    QString symbol_;
};
