#include "Views/Monitor/StatsChartCard.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QPainter>

#include <cmath>

namespace {
constexpr double kPadH = 10;
constexpr double kSpacing = 6;
constexpr double kSymbolBox = 13;
QFont titleFont() { return SystemFont::font(11, QFont::Medium); }
QFont readoutFont() { return SystemFont::monospacedDigits(10.5); }
}  // namespace

StatsChartCard::StatsChartCard(QString title, std::optional<QString> symbol, QColor tint, std::vector<double> series,
                               std::optional<std::vector<double>> lower, std::optional<double> scale,
                               double chartHeight, HoverableBars::Binding hovered,
                               std::function<QString(std::optional<int>)> readout, QWidget* parent)
    : QWidget(parent), title_(std::move(title)), symbol_(std::move(symbol)), chartHeight_(chartHeight),
      hovered_(hovered), readout_(std::move(readout)) {
    setAttribute(Qt::WA_TranslucentBackground);
    bars_ = new HoverableBars(std::move(series), std::move(lower), tint, scale, barCount, hovered, this);
    setFixedHeight(int(std::ceil(headerHeight() + chartHeight_)));
}

double StatsChartCard::headerHeight() { return headerTop + QFontMetricsF(titleFont()).height() + headerSpacing; }

QSize StatsChartCard::sizeHint() const { return QSize(150, int(std::ceil(headerHeight() + chartHeight_))); }
QSize StatsChartCard::minimumSizeHint() const { return QSize(10, int(std::ceil(headerHeight() + chartHeight_))); }

void StatsChartCard::setTitle(const QString& title) {
    title_ = title;
    update();
}

void StatsChartCard::setData(std::vector<double> series, std::optional<std::vector<double>> lower,
                             std::optional<double> scale) {
    bars_->setData(std::move(series), std::move(lower), scale);
    update();
}

void StatsChartCard::setReadout(std::function<QString(std::optional<int>)> readout) {
    readout_ = std::move(readout);
    update();
}

QString StatsChartCard::readoutText() const {
    return readout_ ? readout_(hovered_.get ? hovered_.get() : std::nullopt) : QString();
}

QPainterPath StatsChartCard::shape(const QRectF& rect) { return ContinuousCorners::roundedRect(rect, cornerRadius); }

QRectF StatsChartCard::readoutRect() const {
    const double lineHeight = QFontMetricsF(titleFont()).height();
    double x = kPadH;
    if (symbol_) x += kSymbolBox + kSpacing;
    x += QFontMetricsF(titleFont()).horizontalAdvance(title_) + 6;  // at least 6 points after the title
    return QRectF(x, headerTop, std::max(0.0, width() - kPadH - x), lineHeight);
}

QString StatsChartCard::displayedReadout() const {
    const QRectF room = readoutRect();
    return QFontMetricsF(readoutFont()).elidedText(readoutText(), Qt::ElideRight, room.width());
}

void StatsChartCard::resizeEvent(QResizeEvent*) {
    const double top = height() - chartHeight_;
    bars_->setGeometry(QRectF(0, top, width(), chartHeight_).toAlignedRect());
    bars_->setClipPath(shape(QRectF(rect())).translated(0, -top));
}

void StatsChartCard::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF r(rect());
    const QPainterPath outline = shape(r);
    p.fillPath(outline, SystemColors::withOpacity(SystemColors::quaternary(pal), 0.7));

    const double lineHeight = QFontMetricsF(titleFont()).height();
    const QRectF line(kPadH, headerTop, r.width() - 2 * kPadH, lineHeight);
    double x = line.left();
    if (symbol_) {
        Symbols::draw(p, QRectF(x, line.top(), kSymbolBox, lineHeight), *symbol_, SystemColors::secondary(pal), 10 * 1.2,
                      Symbols::Weight::medium);
        x += kSymbolBox + kSpacing;
    }
    p.setFont(titleFont());
    p.setPen(SystemColors::primary(pal));
    p.drawText(QRectF(x, line.top(), r.width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, title_);
    const QRectF room = readoutRect();
    p.setFont(readoutFont());
    p.setPen(SystemColors::secondary(pal));
    p.drawText(room, Qt::AlignRight | Qt::AlignVCenter, displayedReadout());

    // A hairline inside the border.
    QPen rim(SystemColors::withOpacity(SystemColors::primary(pal), 0.07), 0.5);
    p.setPen(rim);
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape(r.adjusted(0.25, 0.25, -0.25, -0.25)));
}
