#include "Views/Clipboard/PinnedMenuRow.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Views/Clipboard/ClipboardMenuRow.h"
#include "Views/Clipboard/ClipboardRowThumbnails.h"
#include "Views/Clipboard/RowIconButton.h"
#include "Views/Shared/Motion.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>

PinnedMenuRow::PinnedMenuRow(const ClipboardItem& item, bool isHovered, std::function<void()> onPaste,
                             std::function<void()> onUnpin, QWidget* parent)
    : QWidget(parent), item_(item), isHovered_(isHovered),
      hover_(this, isHovered ? 1.0 : 0.0, [this] {
          unpin_->setContentOpacity(0.55 + 0.45 * std::clamp(hover_.value(), 0.0, 1.0));
          update();
      }),
      onPaste_(std::move(onPaste)), onUnpin_(std::move(onUnpin)) {
    setFocusPolicy(Qt::NoFocus);
    setFixedHeight(rowHeight);
    unpin_ = new RowIconButton(QStringLiteral("pin.slash.fill"), QStringLiteral("pin.fill"), QStringLiteral("Открепить"),
                               false,
                               [this] {
                                   if (onUnpin_) {
                                       auto unpin = onUnpin_;
                                       unpin();
                                   }
                               },
                               this);
    unpin_->setContentOpacity(isHovered_ ? 1.0 : 0.55);
    connect(&ClipboardRowThumbnails::shared(), &ClipboardRowThumbnails::thumbnailReady, this, [this](const QUuid& id) {
        if (id == item_.id) update();
    });
}

QString PinnedMenuRow::label() const { return ClipboardPopupLayout::rowLabel(item_, false); }

void PinnedMenuRow::setItem(const ClipboardItem& item) {
    item_ = item;
    update();
}

void PinnedMenuRow::setHovered(bool hovered) {
    if (isHovered_ == hovered) return;
    isHovered_ = hovered;
    hover_.animateTo(hovered ? 1.0 : 0.0);
}

void PinnedMenuRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    unpin_->move(width() - ClipboardMenuRow::contentMargin - RowIconButton::side, (height() - RowIconButton::side) / 2);
}

void PinnedMenuRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if (hover_.value() > 0)
        ClipboardMenuRow::paintRowBackground(
            p, QRectF(rect()), SystemColors::withOpacity(SystemColors::quaternary(pal), std::clamp(hover_.value(), 0.0, 1.0)));

    double x = ClipboardMenuRow::contentMargin;
    const QImage image = ClipboardRowThumbnails::shared().thumbnail(item_);
    if (!image.isNull()) {
        const QRectF frame(x, (height() - 18) / 2.0, 32, 18);
        ClipboardMenuRow::drawFilled(p, image, frame, 3);
        x = frame.right() + ClipboardMenuRow::spacing;
    }
    const double right = width() - ClipboardMenuRow::contentMargin - RowIconButton::side - ClipboardMenuRow::spacing * 2 -
                         ClipboardMenuRow::minimumSpacer;
    const QFont font = SystemFont::font(13);
    p.setFont(font);
    p.setPen(SystemColors::primary(pal));
    const double labelWidth = std::max(0.0, right - x);
    p.drawText(QRectF(x, 0, labelWidth, height()), Qt::AlignVCenter | Qt::AlignLeft,
               QFontMetricsF(font).elidedText(label(), Qt::ElideRight, labelWidth));
}

void PinnedMenuRow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) pressed_ = true;
    event->accept();
}

void PinnedMenuRow::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    event->accept();
    if (click && onPaste_) {
        auto paste = onPaste_;
        paste();
    }
}
