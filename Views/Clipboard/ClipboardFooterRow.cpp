#include "Views/Clipboard/ClipboardFooterRow.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Clipboard/ClipboardMenuRow.h"
#include "Views/Clipboard/ShortcutBadge.h"

#include <QMouseEvent>
#include <QPainter>

ClipboardFooterRow::ClipboardFooterRow(QString title, std::optional<QString> shortcut, std::function<void()> action,
                                       QWidget* parent)
    : QWidget(parent), title_(std::move(title)), shortcut_(std::move(shortcut)), action_(std::move(action)) {
    setFocusPolicy(Qt::NoFocus);
    setMinimumHeight(rowHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (shortcut_) badge_ = new ShortcutBadge(*shortcut_, false, this);
}

QSize ClipboardFooterRow::sizeHint() const { return QSize(200, rowHeight); }

void ClipboardFooterRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (badge_) {
        const QSize size = badge_->size();
        badge_->move(width() - ClipboardMenuRow::contentMargin - size.width(), (height() - size.height()) / 2);
    }
}

void ClipboardFooterRow::setHovering(bool hovering) {
    if (hovering_ == hovering) return;
    hovering_ = hovering;
    if (badge_) badge_->setOnAccent(hovering);
    update();
}

void ClipboardFooterRow::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    setHovering(true);
}

void ClipboardFooterRow::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    setHovering(false);
}

void ClipboardFooterRow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    event->accept();
}

void ClipboardFooterRow::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click && action_) {
        auto action = action_;  // the action may close the popup and delete this row
        action();
    }
}

void ClipboardFooterRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (hovering_) ClipboardMenuRow::paintRowBackground(p, QRectF(rect()), SystemColors::accent(palette()));
    p.setFont(SystemFont::font(13));
    p.setPen(hovering_ ? QColor(Qt::white) : SystemColors::primary(palette()));
    const int right = badge_ ? badge_->width() + 8 + 9 * 2 : 0;
    const QRectF text(ClipboardMenuRow::contentMargin, 0, width() - 2 * ClipboardMenuRow::contentMargin - right, height());
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, p.fontMetrics().elidedText(title_, Qt::ElideRight, int(text.width())));
}
