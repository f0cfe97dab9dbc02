#include "Views/DiskPane/UsageRow.h"

#include "Platform/Core/OneLine.h"
#include "Platform/Desktop/Workspace.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/CleanupItem.h"
#include "Source/Features/System/DiskPaneModel.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/SymbolButton.h"
#include "Views/Shared/UnshownNote.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPointer>

#include <cmath>

namespace {
constexpr double kPadding = 6;
constexpr double kLineSpacing = 4;
constexpr double kBarHeight = 3;
constexpr double kSpacing = 8;
constexpr double kIconBox = 16;
constexpr double kChevronBox = 8;
constexpr int kRevealSide = 16;

QFont nameFont() { return SystemFont::font(12); }
QFont sizeFont() { return SystemFont::monospaced(11, QFont::DemiBold); }
}  // namespace

UsageRow::UsageRow(UsageNode node, double parentBytes, std::function<void()> onOpen, QWidget* parent)
    : HoverPressRow(Hover::followsPointer, Fade::none, parent), node_(std::move(node)),
      parentBytes_(std::max(parentBytes, 1.0)), onOpen_(std::move(onOpen)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setClickable(canOpen());
    if (canOpen()) setCursor(Qt::PointingHandCursor);
    reveal_ = new SymbolButton(QStringLiteral("arrow.up.forward.app"), 11, QFont::Normal, this);
    reveal_->setColor(SystemColors::secondary(palette()));
    reveal_->setToolTip(QStringLiteral("Reveal in Finder"));
    reveal_->setCursor(Qt::PointingHandCursor);
    reveal_->hide();
    const QString path = node_.path;
    connect(reveal_, &QAbstractButton::clicked, this, [this, path] {
        // The rows may be rebuilt before the answer comes; the window stays.
        QPointer<QWidget> near = window();
        Workspace::shared().revealFile(path, [near, path](bool shown) {
            if (near && !shown) UnshownNote::showPath(near, QStringLiteral("Reveal in Finder"), path);
        });
    });
    connect(this, &HoverPressRow::clicked, this, [this] {
        if (canOpen() && onOpen_) onOpen_();
    });
    setFixedHeight(sizeHint().height());
}

bool UsageRow::canOpen() const { return DiskPaneModel::canOpen(node_); }

double UsageRow::barWidth(double stripWidth) const {
    return stripWidth * DiskPaneModel::barFraction(node_.bytes, parentBytes_);
}

QSize UsageRow::sizeHint() const {
    const double line = std::ceil(std::max(QFontMetricsF(nameFont()).height(), QFontMetricsF(sizeFont()).height()));
    return QSize(320, int(2 * kPadding + line + kLineSpacing + kBarHeight));
}

QRectF UsageRow::firstLine() const {
    const double line = height() - 2 * kPadding - kLineSpacing - kBarHeight;
    return QRectF(kPadding, kPadding, width() - 2 * kPadding, line);
}

QRectF UsageRow::sizeRect() const {
    const QRectF line = firstLine();
    const double w = std::ceil(QFontMetricsF(sizeFont()).horizontalAdvance(CleanupItem::format(node_.bytes)));
    return QRectF(line.right() - kChevronBox - kSpacing - w, line.top(), w, line.height());
}

void UsageRow::hoverStateChanged(bool hovered) {
    reveal_->setVisible(hovered);
    update();
}

void UsageRow::resizeEvent(QResizeEvent*) { layoutContent(); }

void UsageRow::layoutContent() {
    const QRectF size = sizeRect();
    const QRectF line = firstLine();
    reveal_->setGeometry(int(std::round(size.left() - kSpacing - kRevealSide)),
                         int(std::round(line.center().y() - kRevealSide / 2.0)), kRevealSide, kRevealSide);
}

void UsageRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    if (isHovered() && canOpen()) {
        p.setPen(Qt::NoPen);
        p.setBrush(SystemColors::quaternary(pal));
        p.drawPath(ContinuousCorners::roundedRect(QRectF(rect()), 6));
    }
    const QRectF line = firstLine();
    const QColor accent = SystemColors::accent(pal);
    const QColor secondary = SystemColors::secondary(pal);
    Symbols::draw(p, QRectF(line.left(), line.top(), kIconBox, line.height()),
                  node_.isDirectory ? QStringLiteral("folder.fill") : QStringLiteral("doc.fill"),
                  node_.isDirectory ? accent : secondary, 11 * 1.2);
    const QRectF size = sizeRect();
    const double nameLeft = line.left() + kIconBox + kSpacing;
    const double nameRight = (reveal_->isVisible() ? reveal_->geometry().left() : size.left()) - kSpacing;
    p.setFont(nameFont());
    p.setPen(SystemColors::primary(pal));
    const double nameWidth = std::max(0.0, nameRight - nameLeft);
    p.drawText(QRectF(nameLeft, line.top(), nameWidth, line.height()), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(nameFont()).elidedText(OneLine::of(node_.name), Qt::ElideMiddle, nameWidth));
    p.setFont(sizeFont());
    p.setPen(secondary);
    p.drawText(size.adjusted(0, 0, 1, 0), Qt::AlignRight | Qt::AlignVCenter, CleanupItem::format(node_.bytes));
    if (canOpen())
        Symbols::draw(p, QRectF(line.right() - kChevronBox, line.top(), kChevronBox, line.height()),
                      QStringLiteral("chevron.right"), SystemColors::tertiary(pal), 8 * 1.2, Symbols::Weight::bold);

    // The share bar.
    const QRectF strip(kPadding, height() - kPadding - kBarHeight, width() - 2 * kPadding, kBarHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(SystemColors::withOpacity(SystemColors::primary(pal), 0.08));
    p.drawPath(ContinuousCorners::capsule(strip));
    const double fill = barWidth(strip.width());
    if (fill > 0) {
        const QRectF filled(strip.left(), strip.top(), fill, strip.height());
        if (node_.isDirectory) {
            QLinearGradient gradient(filled.topLeft(), filled.bottomLeft());
            gradient.setColorAt(0, accent.lighter(118));
            gradient.setColorAt(1, accent);
            p.setBrush(gradient);
        } else {
            p.setBrush(secondary);
        }
        p.drawPath(ContinuousCorners::capsule(filled));
    }
}
