#pragma once

#include <QPushButton>
#include <QString>

// A bordered push button of the small control size: an 11 px title, with an optional symbol before it.
class SmallButton : public QPushButton {
    Q_OBJECT
public:
    static constexpr double fontSize = 11;
    static constexpr int height = 22;

    explicit SmallButton(const QString& title, const QString& symbol = QString(), QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void applyIcon();

    QString symbol_;
};
