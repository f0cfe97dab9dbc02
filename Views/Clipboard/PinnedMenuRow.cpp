#include "Views/Clipboard/PinnedMenuRow.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Views/Clipboard/ClipboardMenuRow.h"
#include "Views/Clipboard/ClipboardRowThumbnails.h"
#include "Views/Clipboard/RowIconButton.h"
#include "Views/Shared/GlassCard.h"

#include <QFontMetricsF>
#include <QPainter>

PinnedMenuRow::PinnedMenuRow(const ClipboardItem& item, bool isHovered, std::function<void()> onPaste,
                             std::function<void()> onUnpin, QWidget* parent)
    : HoverPressRow(Hover::setByOwner, Fade::animated, parent), item_(item), onPaste_(std::move(onPaste)),
      onUnpin_(std::move(onUnpin)) {
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
    resetHovered(isHovered);
    connect(&ClipboardRowThumbnails::shared(), &ClipboardRowThumbnails::thumbnailReady, this, [this](const QUuid& id) {
        if (id == item_.id) update();
    });
    connect(this, &HoverPressRow::clicked, this, [this] {
        if (onPaste_) {
            auto paste = onPaste_;
            paste();
        }
    });
}

QString PinnedMenuRow::label() const { return ClipboardPopupLayout::rowLabel(item_, false); }

void PinnedMenuRow::setItem(const ClipboardItem& item) {
    item_ = item;
    update();
}

void PinnedMenuRow::hoverAmountChanged() {
    unpin_->setContentOpacity(0.55 + 0.45 * std::clamp(hoverAmount(), 0.0, 1.0));
    update();
}

void PinnedMenuRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    unpin_->move(width() - ClipboardMenuRow::contentMargin - RowIconButton::side, (height() - RowIconButton::side) / 2);
}

void PinnedMenuRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if (hoverAmount() > 0)
        ClipboardMenuRow::paintRowBackground(
            p, QRectF(rect()),
            SystemColors::withOpacity(SystemColors::quaternary(pal), std::clamp(hoverAmount(), 0.0, 1.0)));

    double x = ClipboardMenuRow::contentMargin;
    const QImage image = ClipboardRowThumbnails::shared().thumbnail(item_);
    if (!image.isNull()) {
        const QRectF frame(x, (height() - 18) / 2.0, 32, 18);
        ClipboardMenuRow::drawFilled(
            p, item_.content.isFiles() ? SystemColors::legibleIcon(image, GlassCard::surface(pal)) : image, frame, 3);
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
