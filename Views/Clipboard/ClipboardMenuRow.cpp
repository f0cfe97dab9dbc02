#include "Views/Clipboard/ClipboardMenuRow.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Views/Clipboard/ClipboardRowThumbnails.h"
#include "Views/Clipboard/RowIconButton.h"
#include "Views/Clipboard/ShortcutBadge.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/GlassCard.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {
const QString kConcealedNote = QStringLiteral("скрыто · 1 мин");
constexpr double kLockSize = 10;

QFont noteFont() { return SystemFont::font(10, QFont::Medium); }
}  // namespace

ClipboardMenuRow::ClipboardMenuRow(const ClipboardItem& item, int index, bool isHighlighted, bool isHovered,
                                   std::function<void(bool)> onHover, std::function<void()> onPaste,
                                   std::function<void()> onPastePlain, QWidget* parent)
    : HoverPressRow(Hover::setByOwner, Fade::none, parent), item_(item), index_(index), isHighlighted_(isHighlighted),
      onHover_(std::move(onHover)), onPaste_(std::move(onPaste)), onPastePlain_(std::move(onPastePlain)) {
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    resetHovered(isHovered);
    setFixedHeight(heightFor(item_));
    plainPaste_ = new RowIconButton(QStringLiteral("text.alignleft"), std::nullopt,
                                    QStringLiteral("Вставить как обычный текст (⌘↩)"), isHighlighted_,
                                    [this] {
                                        if (onPastePlain_) {
                                            auto action = onPastePlain_;
                                            action();
                                        }
                                    },
                                    this);
    badge_ = new ShortcutBadge(QString(), isHighlighted_, this);
    connect(&ClipboardRowThumbnails::shared(), &ClipboardRowThumbnails::thumbnailReady, this, [this](const QUuid& id) {
        if (id == item_.id) update();
    });
    connect(this, &HoverPressRow::pointerOver, this, [this](bool inside) {
        if (onHover_) onHover_(inside);
    });
    connect(this, &HoverPressRow::clicked, this, [this] {
        if (onPaste_) {
            auto paste = onPaste_;  // pasting closes the popup, which deletes this row
            paste();
        }
    });
    updatePieces();
}

int ClipboardMenuRow::heightFor(const ClipboardItem& item) { return int(ClipboardPopupLayout::rowHeight(item)); }

QString ClipboardMenuRow::badgeKeys(const ClipboardItem& item, int index) {
    if (index > 8 || index < 0 || item.isConcealed) return {};
    return QStringLiteral("⌘") + QString::asprintf("%d", index + 1);
}

QString ClipboardMenuRow::label() const { return ClipboardPopupLayout::rowLabel(item_, true); }

QSize ClipboardMenuRow::sizeHint() const { return QSize(300, heightFor(item_)); }

void ClipboardMenuRow::setItem(const ClipboardItem& item, int index) {
    const bool sameLook = item.id == item_.id && index == index_ && item.isConcealed == item_.isConcealed;
    item_ = item;
    index_ = index;
    setFixedHeight(heightFor(item_));
    if (!sameLook) updatePieces();
    update();
}

void ClipboardMenuRow::setHighlighted(bool highlighted) {
    if (isHighlighted_ == highlighted) return;
    isHighlighted_ = highlighted;
    updatePieces();
    update();
}

void ClipboardMenuRow::hoverStateChanged(bool) { updatePieces(); }

void ClipboardMenuRow::setCallbacks(std::function<void(bool)> onHover, std::function<void()> onPaste,
                                    std::function<void()> onPastePlain) {
    onHover_ = std::move(onHover);
    onPaste_ = std::move(onPaste);
    onPastePlain_ = std::move(onPastePlain);
}

void ClipboardMenuRow::updatePieces() {
    const bool showPlain = isHovered() && item_.content.isText() && !item_.isConcealed;
    plainPaste_->setOnAccent(isHighlighted_);
    plainPaste_->setVisible(showPlain);
    const QString keys = badgeKeys(item_, index_);
    badge_->setKeys(keys);
    badge_->setOnAccent(isHighlighted_);
    badge_->setVisible(!keys.isEmpty());
    // Trailing pieces from the right edge.
    int right = width() - contentMargin;
    if (badge_->isVisibleTo(this)) {
        right -= badge_->width();
        badge_->move(right, (height() - badge_->height()) / 2);
        right -= spacing;
    }
    if (showPlain) {
        right -= RowIconButton::side;
        plainPaste_->move(right, (height() - RowIconButton::side) / 2);
    }
}

double ClipboardMenuRow::trailingWidth() const {
    double w = 0;
    auto add = [&w](double piece) { w += piece + spacing; };
    if (item_.isConcealed) add(QFontMetricsF(noteFont()).horizontalAdvance(kConcealedNote));
    if (plainPaste_->isVisibleTo(this)) add(RowIconButton::side);
    if (badge_->isVisibleTo(this)) add(badge_->width());
    return w;
}

QRectF ClipboardMenuRow::pictureFrame() const {
    const double cy = height() / 2.0;
    if (item_.isConcealed) return QRectF(contentMargin, cy - kLockSize / 2 - 1, kLockSize + 2, kLockSize + 2);
    switch (item_.content.kind()) {
    case ClipboardContent::Kind::image: return QRectF(contentMargin, cy - 20, 58, 40);
    case ClipboardContent::Kind::files: return QRectF(contentMargin, cy - 8, 16, 16);
    case ClipboardContent::Kind::text: break;
    }
    return {};
}

void ClipboardMenuRow::paintRowBackground(QPainter& p, const QRectF& row, const QColor& color) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(ContinuousCorners::roundedRect(row.adjusted(7, 1, -7, -1), 6), color);
    p.restore();
}

void ClipboardMenuRow::drawFilled(QPainter& p, const QImage& image, const QRectF& frame, double radius) {
    if (image.isNull() || frame.isEmpty()) return;
    const QSizeF size = image.deviceIndependentSize();
    if (size.width() <= 0 || size.height() <= 0) return;
    const double scale = std::max(frame.width() / size.width(), frame.height() / size.height());
    const QSizeF drawn(size.width() * scale, size.height() * scale);
    const QRectF target(frame.center().x() - drawn.width() / 2, frame.center().y() - drawn.height() / 2, drawn.width(),
                        drawn.height());
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.setClipPath(ContinuousCorners::roundedRect(frame, radius));
    p.drawImage(target, image);
    p.restore();
}

void ClipboardMenuRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    if (isHighlighted_) paintRowBackground(p, QRectF(rect()), SystemColors::accent(pal));

    double x = contentMargin;
    const QRectF picture = pictureFrame();
    if (item_.isConcealed) {
        const QColor lock = isHighlighted_ ? QColor(255, 255, 255, int(0.9 * 255)) : SystemColors::secondary(pal);
        Symbols::draw(p, picture, QStringLiteral("lock.fill"), lock, kLockSize * 1.2, Symbols::Weight::semibold);
        x = picture.right() + spacing;
    } else if (!picture.isEmpty()) {
        const QImage image = ClipboardRowThumbnails::shared().thumbnail(item_);
        if (!image.isNull()) {
            if (item_.content.isImage())
                drawFilled(p, image, picture, 4);
            else  // a file's icon, edged where it would fade into the row
                p.drawImage(picture, SystemColors::legibleIcon(
                                         image, isHighlighted_ ? SystemColors::accent(pal) : GlassCard::surface(pal)));
            x = picture.right() + spacing;
        }
    }

    const double trailing = trailingWidth();
    const double labelRight = width() - contentMargin - trailing - (trailing > 0 ? minimumSpacer : minimumSpacer + spacing);
    const QFont font = SystemFont::font(13);
    p.setFont(font);
    p.setPen(isHighlighted_ ? QColor(Qt::white) : SystemColors::primary(pal));
    const QFontMetricsF fm(font);
    const double labelWidth = std::max(0.0, labelRight - x);
    p.drawText(QRectF(x, 0, labelWidth, height()), Qt::AlignVCenter | Qt::AlignLeft,
               fm.elidedText(label(), Qt::ElideRight, labelWidth));

    if (item_.isConcealed) {
        const QFont note = noteFont();
        const double noteWidth = QFontMetricsF(note).horizontalAdvance(kConcealedNote);
        const double noteRight = width() - contentMargin;  // concealed rows carry no badge or button
        p.setFont(note);
        p.setPen(isHighlighted_ ? QColor(255, 255, 255, int(0.8 * 255)) : SystemColors::tertiary(pal));
        p.drawText(QRectF(noteRight - noteWidth - 1, 0, noteWidth + 2, height()), Qt::AlignVCenter | Qt::AlignRight,
                   kConcealedNote);
    }
}

void ClipboardMenuRow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    updatePieces();
}
