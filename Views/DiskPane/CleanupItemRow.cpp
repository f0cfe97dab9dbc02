#include "Views/DiskPane/CleanupItemRow.h"

#include "Platform/Core/OneLine.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/DiskCleanScanner.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/NumericTextCell.h"

#include <QFontMetricsF>
#include <QPainter>

#include <cmath>

namespace {
constexpr double kIndent = 20;
constexpr double kIconBox = 16;
constexpr double kSpacing = 8;
constexpr double kVerticalPadding = 5;
constexpr double kHorizontalPadding = 4;

QFont nameFont() { return SystemFont::font(11); }
QFont sizeFont() { return SystemFont::monospaced(10); }
QFont confirmFont() { return SystemFont::font(8, QFont::Bold); }
}  // namespace

// The trash icon, or the red "CONFIRM" capsule while armed; the change cross-fades.
class CleanupItemRow::TrashButton : public QAbstractButton {
public:
    explicit TrashButton(QWidget* parent) : QAbstractButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }
    void setArmed(bool armed, bool animated) {
        if (animated && isVisible())
            armed_.animateTo(armed ? 1 : 0, Motion::state());
        else
            armed_.setValue(armed ? 1 : 0);
    }
    static QSizeF capsuleSize() {
        const QFontMetricsF metrics(confirmFont());
        return QSizeF(std::ceil(metrics.horizontalAdvance(QStringLiteral("CONFIRM"))) + 10, std::ceil(metrics.height()) + 4);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const double armed = armed_.value();
        const bool dark = SystemColors::isDark(palette());
        if (armed < 1) {
            p.setOpacity(1 - armed);
            const QRectF box(width() - 14, 0, 14, height());
            Symbols::draw(p, box, QStringLiteral("trash"), SystemColors::secondary(palette()), 10 * 1.2);
        }
        if (armed > 0) {
            p.setOpacity(armed);
            const QSizeF size = capsuleSize();
            const QRectF capsule(width() - size.width(), (height() - size.height()) / 2, size.width(), size.height());
            p.setPen(Qt::NoPen);
            p.setBrush(SystemColors::withOpacity(SystemColors::red(dark), 0.18));
            p.drawPath(ContinuousCorners::roundedRect(capsule, capsule.height() / 2));
            p.setFont(confirmFont());
            p.setPen(SystemColors::red(dark));
            p.drawText(capsule, Qt::AlignCenter, QStringLiteral("CONFIRM"));
        }
    }

private:
    Motion::AnimatedValue armed_{this, 0.0, [this] { update(); }};
};

CleanupItemRow::CleanupItemRow(CleanupItem item, std::function<void()> onInspect, QWidget* parent)
    : CleanupItemRow(std::move(item), std::move(onInspect), DiskCleanScanner::shared(), parent) {}

CleanupItemRow::CleanupItemRow(CleanupItem item, std::function<void()> onInspect, DiskCleanScanner& scanner,
                               QWidget* parent)
    : HoverPressRow(Hover::followsPointer, Fade::animated, parent), item_(std::move(item)),
      onInspect_(std::move(onInspect)), scanner_(scanner) {
    setAttribute(Qt::WA_TranslucentBackground);
    setCursor(Qt::PointingHandCursor);
    trash_ = new TrashButton(this);
    trash_->setToolTip(trashHelp(false));
    connect(trash_, &QAbstractButton::clicked, this, &CleanupItemRow::trashClicked);
    size_ = new NumericTextCell(this);
    size_->setFont(sizeFont());
    size_->setText(CleanupItem::format(item_.bytes), false);
    disarm_.setSingleShot(true);
    disarm_.setInterval(disarmMs);
    connect(&disarm_, &QTimer::timeout, this, [this] { setArmed(false); });
    connect(this, &HoverPressRow::clicked, this, [this] {
        if (onInspect_) onInspect_();
    });
    setFixedHeight(sizeHint().height());
}

QString CleanupItemRow::trashHelp(bool armed) {
    return armed ? QStringLiteral("Click again to move to Trash") : QStringLiteral("Move to Trash");
}

void CleanupItemRow::trashClicked() {
    if (!armed_) {
        setArmed(true);
        disarm_.start();  // restarts: the 3 s count from the latest arming
        return;
    }
    scanner_.moveToTrash(item_, [](const DiskCleanScanner::TrashReport&) {});
    setArmed(false);
}

void CleanupItemRow::setArmed(bool armed) {
    if (armed == armed_) return;
    armed_ = armed;
    trash_->setArmed(armed, true);
    trash_->setToolTip(trashHelp(armed));
}

QSize CleanupItemRow::sizeHint() const {
    const double line = std::max(QFontMetricsF(nameFont()).height(), TrashButton::capsuleSize().height());
    return QSize(320, int(std::ceil(line + 2 * kVerticalPadding)));
}

void CleanupItemRow::resizeEvent(QResizeEvent*) { layoutContent(); }

void CleanupItemRow::layoutContent() {
    const QRectF inner = QRectF(rect()).adjusted(kHorizontalPadding, kVerticalPadding, -kHorizontalPadding,
                                                 -kVerticalPadding);
    const double trashLeft = inner.right() - trashWidth;
    trash_->setGeometry(QRectF(trashLeft, 0, trashWidth, height()).toRect());
    const QFontMetricsF metrics(sizeFont());
    const double sizeWidth = std::ceil(metrics.horizontalAdvance(size_->text())) + 2;
    size_->place(QRectF(trashLeft - kSpacing - sizeWidth, inner.top(), sizeWidth, inner.height()),
                 Qt::AlignRight | Qt::AlignVCenter);
    size_->setColor(SystemColors::secondary(palette()));
}

void CleanupItemRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (hoverAmount() > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(SystemColors::withOpacity(SystemColors::primary(palette()), 0.06 * hoverAmount()));
        p.drawPath(ContinuousCorners::roundedRect(QRectF(rect()), 6));
    }
    const QRectF inner = QRectF(rect()).adjusted(kHorizontalPadding, kVerticalPadding, -kHorizontalPadding,
                                                 -kVerticalPadding);
    double x = inner.left() + kIndent + kSpacing;
    Symbols::draw(p, QRectF(x, inner.top(), kIconBox, inner.height()), QStringLiteral("folder.fill"),
                  SystemColors::accent(palette()), 11 * 1.2);
    x += kIconBox + kSpacing;
    const double nameRight = size_->geometry().left() - 6;
    p.setFont(nameFont());
    p.setPen(SystemColors::primary(palette()));
    const QString name =
        QFontMetricsF(nameFont()).elidedText(OneLine::of(item_.name), Qt::ElideRight, std::max(0.0, nameRight - x));
    p.drawText(QRectF(x, inner.top(), std::max(0.0, nameRight - x), inner.height()), Qt::AlignLeft | Qt::AlignVCenter,
               name);
}

QAbstractButton* CleanupItemRow::trashButton() const { return trash_; }
