#include "Views/DiskPane/DiskCapacityContent.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/DiskPaneModel.h"
#include "Views/Shared/NumericTextCell.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace {
constexpr double kSpacing = 20;
constexpr double kFigureSpacing = 8;
constexpr double kCaptionGap = 1;
const char* const kCaptions[] = {"Total Capacity", "Used Space", "Free Space"};

QFont captionFont() { return SystemFont::font(10); }
QFont valueFont() { return SystemFont::monospacedDigits(14, QFont::DemiBold); }
QFont percentFont() { return SystemFont::monospacedDigits(21, QFont::DemiBold); }
}  // namespace

DiskCapacityContent::DiskCapacityContent(QWidget* parent) : DiskCapacityContent(DiskPaneModel::shared(), parent) {}

DiskCapacityContent::DiskCapacityContent(DiskPaneModel& model, QWidget* parent)
    : QWidget(parent), model_(model), sweep_(this, model.sweep(), [this] { update(ringRect()); }) {
    setAttribute(Qt::WA_TranslucentBackground);
    percent_ = new NumericTextCell(this);
    percent_->setFont(percentFont());
    for (auto*& cell : values_) {
        cell = new NumericTextCell(this);
        cell->setFont(valueFont());
    }
    timer_.setInterval(refreshMs);
    timer_.setTimerType(Qt::VeryCoarseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { model_.readCapacity(false); });
    connect(&model_, &DiskPaneModel::capacityChanged, this, [this] { showReading(true); });
    connect(&model_, &DiskPaneModel::sweepChanged, this, [this] {
        const Motion::Animation animation = model_.sweepMotion() == DiskPaneModel::SweepMotion::firstSweep
                                                ? Motion::Animation::spring(0.9, 0.85)
                                                : Motion::value();
        sweep_.animateTo(model_.sweep(), animation);
    });
    showReading(false);
}

QString DiskCapacityContent::percentText(double percent) {
    return QString::asprintf("%.0f", std::round(percent)) + QLatin1Char('%');
}

QString DiskCapacityContent::figureText(int index) const {
    const auto& capacity = model_.capacity();
    if (!capacity) return QStringLiteral("--");
    const double bytes = index == 0 ? capacity->total : index == 1 ? capacity->used : capacity->free;
    return SystemStats::DiskCapacity::format(bytes);
}

QRect DiskCapacityContent::ringRect() const {
    // The ring and the figures side by side, centred.
    double figuresWidth = 0;
    const QFontMetricsF caption(captionFont()), value(valueFont());
    for (int i = 0; i < 3; ++i)
        figuresWidth = std::max({figuresWidth, caption.horizontalAdvance(QString::fromLatin1(kCaptions[i])),
                                 value.horizontalAdvance(figureText(i))});
    const double total = ringSide + kSpacing + std::ceil(figuresWidth);
    const double x = std::max(0.0, (width() - total) / 2);
    return QRect(int(std::round(x)), (height() - ringSide) / 2, ringSide, ringSide);
}

void DiskCapacityContent::showReading(bool animated) {
    const double percent = DiskPaneModel::usedPercent(model_.capacity());
    const int whole = int(std::round(percent));
    percent_->setText(percentText(percent), animated && whole != shownPercent_);
    shownPercent_ = whole;
    for (int i = 0; i < 3; ++i) values_[size_t(i)]->setText(figureText(i), animated);
    layoutContent();
    update();
}

void DiskCapacityContent::layoutContent() {
    const QRect ring = ringRect();
    const QFontMetricsF percentMetrics(percentFont());
    percent_->place(QRectF(ring.left(), ring.center().y() + 0.5 - percentMetrics.height() / 2, ring.width(),
                           percentMetrics.height()),
                    Qt::AlignCenter);
    const QFontMetricsF caption(captionFont()), value(valueFont());
    const double figureHeight = caption.height() + kCaptionGap + value.height();
    const double stackHeight = 3 * figureHeight + 2 * kFigureSpacing;
    const double left = ring.right() + 1 + kSpacing;
    double y = (height() - stackHeight) / 2;
    for (int i = 0; i < 3; ++i) {
        values_[size_t(i)]->place(QRectF(left, y + caption.height() + kCaptionGap, width() - left, value.height()),
                                  Qt::AlignLeft | Qt::AlignVCenter);
        y += figureHeight + kFigureSpacing;
    }
    const QColor primary = SystemColors::primary(palette());
    percent_->setColor(primary);
    for (NumericTextCell* cell : values_) cell->setColor(primary);
}

QColor DiskCapacityContent::tintColor() const {
    const bool dark = SystemColors::isDark(palette());
    switch (model_.ringTint()) {
    case DiskPaneModel::RingTint::red: return SystemColors::red(dark);
    case DiskPaneModel::RingTint::orange: return SystemColors::orange(dark);
    case DiskPaneModel::RingTint::green: return SystemColors::green(dark);
    }
    return SystemColors::green(dark);
}

void DiskCapacityContent::showEvent(QShowEvent*) {
    model_.readCapacity(!model_.capacity().has_value());
    timer_.start();
}

void DiskCapacityContent::hideEvent(QHideEvent*) { timer_.stop(); }

void DiskCapacityContent::resizeEvent(QResizeEvent*) { layoutContent(); }

void DiskCapacityContent::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) layoutContent();
    QWidget::changeEvent(event);
}

void DiskCapacityContent::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF ring = QRectF(ringRect()).adjusted(lineWidth / 2, lineWidth / 2, -lineWidth / 2, -lineWidth / 2);
    QPen track(SystemColors::withOpacity(SystemColors::primary(palette()), 0.14), lineWidth);
    track.setCapStyle(Qt::FlatCap);
    p.setPen(track);
    p.drawEllipse(ring);
    const double sweep = std::clamp(sweep_.value(), 0.0, 1.0);
    if (sweep > 0) {
        const QColor tint = tintColor();
        QLinearGradient gradient(ring.topLeft(), ring.bottomLeft());
        gradient.setColorAt(0, tint.lighter(118));
        gradient.setColorAt(1, tint);
        QPen arc(QBrush(gradient), lineWidth);
        arc.setCapStyle(Qt::RoundCap);
        p.setPen(arc);
        // From twelve o'clock, clockwise.
        p.drawArc(ring, 90 * 16, -int(std::round(sweep * 360 * 16)));
    }
    const QFontMetricsF caption(captionFont()), value(valueFont());
    const double figureHeight = caption.height() + kCaptionGap + value.height();
    const double left = ringRect().right() + 1 + kSpacing;
    double y = (height() - (3 * figureHeight + 2 * kFigureSpacing)) / 2;
    p.setFont(captionFont());
    p.setPen(SystemColors::secondary(palette()));
    for (const char* name : kCaptions) {
        p.drawText(QRectF(left, y, width() - left, caption.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromLatin1(name));
        y += figureHeight + kFigureSpacing;
    }
}
