#include "Views/Shared/HoverPressRow.h"

#include <QEnterEvent>
#include <QMouseEvent>

HoverPressRow::HoverPressRow(Hover hover, Fade fade, QWidget* parent) : QWidget(parent), hover_(hover), fade_(fade) {}

void HoverPressRow::setHovered(bool hovered) {
    if (isHovered_ == hovered) return;
    isHovered_ = hovered;
    if (fade_ == Fade::animated)
        hoverAmount_.animateTo(hovered ? 1.0 : 0.0);
    else
        hoverAmount_.setValue(hovered ? 1.0 : 0.0);
    hoverStateChanged(hovered);
    emit hoveredChanged(hovered);
}

void HoverPressRow::resetHovered(bool hovered) {
    isHovered_ = hovered;
    hoverAmount_.setValue(hovered ? 1.0 : 0.0);
}

void HoverPressRow::hoverAmountChanged() { update(); }

void HoverPressRow::hoverStateChanged(bool) {}

void HoverPressRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (hover_ == Hover::followsPointer) setHovered(true);
    emit pointerOver(true);
}

void HoverPressRow::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (hover_ == Hover::followsPointer) setHovered(false);
    emit pointerOver(false);
}

void HoverPressRow::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    if (rect().contains(event->position().toPoint())) emit pointerOver(true);
}

void HoverPressRow::mousePressEvent(QMouseEvent* event) {
    if (!isClickable_) return QWidget::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) isPressed_ = true;
    event->accept();
}

void HoverPressRow::mouseReleaseEvent(QMouseEvent* event) {
    if (!isClickable_) return QWidget::mouseReleaseEvent(event);
    const bool click = isPressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    isPressed_ = false;
    event->accept();
    if (click) emit clicked();  // a receiver may delete the row: nothing after this
}
