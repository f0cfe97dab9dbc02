#pragma once

#include "Views/Shared/Motion.h"

#include <QAbstractButton>
#include <QString>

#include <functional>
#include <optional>


// The round icon button of the clipboard popup's rows: a 20 × 20 symbol that shows a circle
// behind itself, grows a little and may swap to another symbol while the pointer is over it.
// Pressed, it shrinks to 0.88 as PressableButtonStyle does; it draws that itself, since a
// graphics effect inside the popup's entrance effect would not be drawn.
class RowIconButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int side = 20;

    RowIconButton(QString symbol, std::optional<QString> restingSymbol, QString help, bool isOnAccent,
                  std::function<void()> action, QWidget* parent = nullptr);

    QString symbol() const { return symbol_; }
    std::optional<QString> restingSymbol() const { return restingSymbol_; }
    QString help() const { return help_; }
    bool isOnAccent() const { return isOnAccent_; }
    void setOnAccent(bool onAccent);
    bool isHovered() const { return isHovered_; }
    // The symbol drawn now.
    QString shownSymbol() const;
    // The whole button's opacity (a row may dim it).
    void setContentOpacity(double opacity);
    double contentOpacity() const { return contentOpacity_; }

    QSize sizeHint() const override { return QSize(side, side); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    void setHovered(bool hovered);

    QString symbol_;
    std::optional<QString> restingSymbol_;
    QString help_;
    bool isOnAccent_;
    std::function<void()> action_;
    bool isHovered_ = false;
    Motion::AnimatedValue hover_{this, 0.0, [this] { update(); }};  // 0 resting, 1 hovered
    double contentOpacity_ = 1;
    Motion::AnimatedValue pressScale_{this, 1.0, [this] { update(); }};
};
