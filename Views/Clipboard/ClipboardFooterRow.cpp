#include "Views/Clipboard/ClipboardFooterRow.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Clipboard/ClipboardMenuRow.h"
#include "Views/Clipboard/ShortcutBadge.h"

#include <QPainter>

ClipboardFooterRow::ClipboardFooterRow(QString title, std::optional<QString> shortcut, std::function<void()> action,
                                       QWidget* parent)
    : HoverPressRow(Hover::followsPointer, Fade::none, parent), title_(std::move(title)),
      shortcut_(std::move(shortcut)), action_(std::move(action)) {
    setFocusPolicy(Qt::NoFocus);
    setMinimumHeight(rowHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    if (shortcut_) badge_ = new ShortcutBadge(*shortcut_, false, this);
    connect(this, &HoverPressRow::clicked, this, [this] {
        if (action_) {
            auto action = action_;  // the action may close the popup and delete this row
            action();
        }
    });
}

QSize ClipboardFooterRow::sizeHint() const { return QSize(200, rowHeight); }

void ClipboardFooterRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (badge_) {
        const QSize size = badge_->size();
        badge_->move(width() - ClipboardMenuRow::contentMargin - size.width(), (height() - size.height()) / 2);
    }
}

void ClipboardFooterRow::hoverStateChanged(bool hovered) {
    if (badge_) badge_->setOnAccent(hovered);
}

void ClipboardFooterRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (isHovered()) ClipboardMenuRow::paintRowBackground(p, QRectF(rect()), SystemColors::accent(palette()));
    p.setFont(SystemFont::font(13));
    p.setPen(isHovered() ? QColor(Qt::white) : SystemColors::primary(palette()));
    const int right = badge_ ? badge_->width() + 8 + 9 * 2 : 0;
    const QRectF text(ClipboardMenuRow::contentMargin, 0, width() - 2 * ClipboardMenuRow::contentMargin - right, height());
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, p.fontMetrics().elidedText(title_, Qt::ElideRight, int(text.width())));
}
