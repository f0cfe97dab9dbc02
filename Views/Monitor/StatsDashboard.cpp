#include "Views/Monitor/StatsDashboard.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/CPUCores.h"
#include "Source/Features/System/SystemSampler.h"
#include "Views/Monitor/StatsChartCard.h"

#include <QGridLayout>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

double nonNegative(double v) { return std::isfinite(v) && v > 0 ? v : 0; }

// A section heading: a light symbol and a large title.
class SectionTitle : public QWidget {
public:
    SectionTitle(QString text, QString symbol, QWidget* parent)
        : QWidget(parent), text_(std::move(text)), symbol_(std::move(symbol)) {
        setAttribute(Qt::WA_TranslucentBackground);
        setFixedHeight(30);
    }
    QString text() const { return text_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor color = SystemColors::primary(palette());
        const double symbolBox = 24;
        Symbols::draw(p, QRectF(0, 0, symbolBox, height()), symbol_, color, 19 * 1.2);
        QFont font = SystemFont::font(21);
        font.setLetterSpacing(QFont::AbsoluteSpacing, -0.4);
        p.setFont(font);
        p.setPen(color);
        p.drawText(QRectF(symbolBox + 9, 0, width() - symbolBox - 9, height()), Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(font).elidedText(text_, Qt::ElideRight, width() - symbolBox - 9));
    }

private:
    QString text_;
    QString symbol_;
};

// The core legend: a coloured dot and a count per kind.
class LegendRow : public QWidget {
public:
    LegendRow(std::vector<StatsDashboard::LegendItem> items, QWidget* parent) : QWidget(parent), items_(std::move(items)) {
        setAttribute(Qt::WA_TranslucentBackground);
        setFixedHeight(18);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QFont font = SystemFont::monospaced(10.5, QFont::Medium);
        p.setFont(font);
        const QFontMetricsF m(font);
        double x = 6;
        for (const StatsDashboard::LegendItem& item : items_) {
            p.setPen(Qt::NoPen);
            p.setBrush(StatsDashboard::coreTint(item.efficiency ? CoreKind::efficiency : CoreKind::performance));
            p.drawEllipse(QRectF(x, height() / 2.0 - 3, 6, 6));
            x += 6 + 5;
            p.setPen(SystemColors::secondary(palette()));
            const double w = m.horizontalAdvance(item.text);
            p.drawText(QRectF(x, 0, w + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, item.text);
            x += w + 14;
        }
    }

private:
    std::vector<StatsDashboard::LegendItem> items_;
};

}  // namespace

StatsDashboard::Snapshot StatsDashboard::Snapshot::from(const SystemSampler& sampler) {
    Snapshot s;
    s.chipName = CPUCores::chipName();
    s.efficiencyCount = CPUCores::efficiencyCount();
    s.performanceCount = CPUCores::performanceCount();
    s.cpuHistory = sampler.cpuHistory();
    s.cpuSystemHistory = sampler.cpuSystemHistory();
    s.cpuSystem = sampler.cpuSystem();
    s.cpuUser = sampler.cpuUser();
    s.temperatureHistory = sampler.temperatureHistory();
    s.temperature = sampler.temperature();
    s.temperatureAverage = sampler.temperatureAverage();
    s.cores = sampler.cores();
    s.coreHistory = sampler.coreHistory();
    s.gpuHistory = sampler.gpuHistory();
    s.gpu = sampler.gpu();
    s.gpuTemperatureHistory = sampler.gpuTemperatureHistory();
    s.gpuTemperature = sampler.gpuTemperature();
    s.gpuTemperatureAverage = sampler.gpuTemperatureAverage();
    s.fans = sampler.fans();
    s.fanHistory = sampler.fanHistory();
    return s;
}

StatsDashboard::StatsDashboard(SystemSampler& sampler, QWidget* parent)
    : QWidget(parent), sampler_(&sampler), snapshot_(Snapshot::from(sampler)) {
    build();
    connect(&sampler, &SystemSampler::didSample, this, [this] { setSnapshot(Snapshot::from(*sampler_)); });
}

StatsDashboard::StatsDashboard(Snapshot snapshot, QWidget* parent) : QWidget(parent), snapshot_(std::move(snapshot)) {
    build();
}

void StatsDashboard::build() {
    setAttribute(Qt::WA_TranslucentBackground);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidgetResizable(true);
    scroll_->viewport()->setAutoFillBackground(false);
    scroll_->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll_);
    rebuild();
}

void StatsDashboard::setSnapshot(Snapshot snapshot) {
    snapshot_ = std::move(snapshot);
    rebuild();
}

void StatsDashboard::setHovered(std::optional<int> slot) {
    if (slot == hovered_) return;
    hovered_ = slot;
    for (StatsChartCard* card : cards()) {
        card->update();
        card->bars()->update();
    }
}

// MARK: pure parts

QString StatsDashboard::heading(const QString& chipName) {
    QString text = chipName;
    text.remove(QStringLiteral("Apple "));
    return text;
}

std::optional<double> StatsDashboard::value(const std::vector<double>& history, std::optional<int> slot) {
    if (!slot || *slot < 0 || *slot >= slotCount) return std::nullopt;
    return HoverableBars::value(history, slotCount, slot);
}

double StatsDashboard::temperatureScale(const std::vector<double>& history) {
    double hottest = 0;
    for (double v : history)
        if (std::isfinite(v)) hottest = std::max(hottest, v);
    const double scale = hottest * 1.12;
    return scale <= 40 ? 40 : scale;
}

double StatsDashboard::fanScale(const SMC::Fan& fan) { return std::isfinite(fan.max) && fan.max > 0 ? fan.max : 6000; }

std::vector<CoreUsage> StatsDashboard::orderedCores(const std::vector<CoreUsage>& cores) {
    std::vector<CoreUsage> ordered;
    ordered.reserve(cores.size());
    for (CoreKind kind : {CoreKind::efficiency, CoreKind::performance})
        for (const CoreUsage& core : cores)
            if (core.kind == kind) ordered.push_back(core);
    return ordered;
}

QString StatsDashboard::coreTitle(const CoreUsage& core) {
    return (core.kind == CoreKind::performance ? QStringLiteral("P") : QStringLiteral("E")) +
           QString::number(core.numberInCluster);
}

QString StatsDashboard::fanTitle(size_t position, size_t fanCount) {
    return fanCount < 2 ? QStringLiteral("Speed") : QStringLiteral("Fan ") + QString::number(position + 1);
}

QString StatsDashboard::cpuReadout(const Snapshot& s, std::optional<int> slot) {
    if (const std::optional<double> total = value(s.cpuHistory, slot)) {
        const double system = value(s.cpuSystemHistory, slot).value_or(0);
        const double user = *total - system > 0 ? *total - system : 0;
        return QString::asprintf("Sys: %.0f %%  |  Usr: %.0f %%", system, user);
    }
    return QString::asprintf("Sys: %.0f %%  |  Usr: %.0f %%", nonNegative(s.cpuSystem), nonNegative(s.cpuUser));
}

QString StatsDashboard::temperatureReadout(const std::vector<double>& history, std::optional<double> average,
                                           std::optional<double> hottest, std::optional<int> slot) {
    if (const std::optional<double> v = value(history, slot)) return QString::asprintf("%.1f°C", *v);
    return QString::asprintf("Avg: %.1f°C  |  Max: %.1f°C", average.value_or(0), hottest.value_or(0));
}

QString StatsDashboard::coreReadout(const std::vector<double>& history, double usage, std::optional<int> slot) {
    if (const std::optional<double> v = value(history, slot)) return QString::asprintf("%.0f %%", *v);
    return QString::asprintf("%.0f %%", nonNegative(usage));
}

QString StatsDashboard::gpuReadout(const Snapshot& s, std::optional<int> slot) {
    if (const std::optional<double> v = value(s.gpuHistory, slot)) return QString::asprintf("%.0f %%", *v);
    return QString::asprintf("%.0f %%", nonNegative(s.gpu));
}

QString StatsDashboard::fanReadout(const std::vector<double>& history, double rpm, std::optional<int> slot) {
    if (const std::optional<double> v = value(history, slot)) return QString::asprintf("%.0f RPM", *v);
    return QString::asprintf("%.0f RPM", nonNegative(rpm));
}

std::vector<StatsDashboard::LegendItem> StatsDashboard::legend(const Snapshot& s) {
    if (s.efficiencyCount >= 1)
        return {{QStringLiteral("E-cores: ") + QString::number(s.efficiencyCount), true},
                {QStringLiteral("P-cores: ") + QString::number(s.performanceCount), false}};
    return {{QStringLiteral("Cores: ") + QString::number(s.cores.size()), false}};
}

QColor StatsDashboard::gpuTemperatureTint() {
    static const QColor tint = QColor::fromRgbF(1.0f, 0.45f, 0.36f, 1.0f);
    return tint;
}

QColor StatsDashboard::coreTint(CoreKind kind) {
    return kind == CoreKind::performance ? SystemColors::purple() : SystemColors::teal();
}

// MARK: cards

std::vector<StatsChartCard*> StatsDashboard::cards() const {
    std::vector<StatsChartCard*> list;
    if (!content_) return list;
    for (StatsChartCard* card : content_->findChildren<StatsChartCard*>()) list.push_back(card);
    return list;
}

StatsChartCard* StatsDashboard::card(const QString& title) const {
    for (StatsChartCard* c : cards())
        if (c->title() == title) return c;
    return nullptr;
}

void StatsDashboard::rebuild() {
    const Snapshot& s = snapshot_;
    Shape shape;
    shape.cpuTemperature = !s.temperatureHistory.empty();
    shape.gpuTemperature = !s.gpuTemperatureHistory.empty();
    for (const CoreUsage& core : orderedCores(s.cores)) shape.cores.emplace_back(core.index, core.kind);
    shape.fans = s.fans.size();
    shape.twoKinds = s.efficiencyCount >= 1;

    auto fanHistory = [](const Snapshot& snap, size_t i) {
        return i < snap.fanHistory.size() ? snap.fanHistory[i] : std::vector<double>{};
    };
    auto coreHistory = [](const Snapshot& snap, int index) {
        auto it = snap.coreHistory.find(index);
        return it == snap.coreHistory.end() ? std::vector<double>{} : it->second;
    };

    if (shape_ && *shape_ == shape && content_) {
        // Same cards: new values only.
        for (StatsChartCard* card : cards()) {
            const QString role = card->property("role").toString();
            const int index = card->property("index").toInt();
            if (role == QLatin1String("cpu")) card->setData(s.cpuHistory, s.cpuSystemHistory, 100.0);
            else if (role == QLatin1String("cpuTemperature"))
                card->setData(s.temperatureHistory, std::nullopt, temperatureScale(s.temperatureHistory));
            else if (role == QLatin1String("gpuTemperature"))
                card->setData(s.gpuTemperatureHistory, std::nullopt, temperatureScale(s.gpuTemperatureHistory));
            else if (role == QLatin1String("gpu")) card->setData(s.gpuHistory, std::nullopt, 100.0);
            else if (role == QLatin1String("core")) card->setData(coreHistory(s, index), std::nullopt, 100.0);
            else if (role == QLatin1String("fan"))
                card->setData(fanHistory(s, size_t(index)), std::nullopt, fanScale(s.fans[size_t(index)]));
        }
        return;
    }
    shape_ = shape;

    const int scrollTop = content_ ? scroll_->verticalScrollBar()->value() : 0;
    content_ = new QWidget;
    content_->setAttribute(Qt::WA_TranslucentBackground);
    column_ = new QVBoxLayout(content_);
    column_->setContentsMargins(0, 0, 0, 10);
    column_->setSpacing(6);

    const HoverableBars::Binding hovered{[this] { return hovered_; }, [this](std::optional<int> slot) { setHovered(slot); }};
    auto addCard = [&](QLayout* into, const QString& role, int index, const QString& title,
                       std::optional<QString> symbol, QColor tint, std::vector<double> series,
                       std::optional<std::vector<double>> lower, std::optional<double> scale, double chartHeight,
                       std::function<QString(std::optional<int>)> readout) {
        auto* card = new StatsChartCard(title, std::move(symbol), tint, std::move(series), std::move(lower), scale,
                                        chartHeight, hovered, std::move(readout), content_);
        card->setProperty("role", role);
        card->setProperty("index", index);
        if (into) into->addWidget(card);
        return card;
    };
    auto indented = [&](QWidget* w, int left, int top, int right, int bottom) {
        auto* box = new QVBoxLayout;
        box->setContentsMargins(left, top, right, bottom);
        box->addWidget(w);
        column_->addLayout(box);
    };

    indented(new SectionTitle(heading(s.chipName), QStringLiteral("cpu"), content_), 4, 0, 4, 2);
    addCard(column_, QStringLiteral("cpu"), 0, QStringLiteral("Usage"), QStringLiteral("gauge.with.needle"),
            SystemColors::blue(), s.cpuHistory, s.cpuSystemHistory, 100.0, 40,
            [this](std::optional<int> slot) { return cpuReadout(snapshot_, slot); });
    if (shape.cpuTemperature)
        addCard(column_, QStringLiteral("cpuTemperature"), 0, QStringLiteral("Temperature"),
                QStringLiteral("thermometer.medium"), SystemColors::orange(), s.temperatureHistory, std::nullopt,
                temperatureScale(s.temperatureHistory), 46, [this](std::optional<int> slot) {
                    return temperatureReadout(snapshot_.temperatureHistory, snapshot_.temperatureAverage,
                                              snapshot_.temperature, slot);
                });
    indented(new LegendRow(legend(s), content_), 6, 2, 6, 2);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    int position = 0;
    for (const CoreUsage& core : orderedCores(s.cores)) {
        const int index = core.index;
        StatsChartCard* card = addCard(nullptr, QStringLiteral("core"), index, coreTitle(core), std::nullopt,
                                       coreTint(core.kind), coreHistory(s, index), std::nullopt, 100.0, 40,
                                       [this, index, coreHistory](std::optional<int> slot) {
                                           double usage = 0;
                                           for (const CoreUsage& c : snapshot_.cores)
                                               if (c.index == index) usage = c.usage;
                                           return coreReadout(coreHistory(snapshot_, index), usage, slot);
                                       });
        grid->addWidget(card, position / 2, position % 2);
        ++position;
    }
    column_->addLayout(grid);

    indented(new SectionTitle(QStringLiteral("GPU"), QStringLiteral("cube.transparent"), content_), 4, 8, 4, 2);
    if (shape.gpuTemperature)
        addCard(column_, QStringLiteral("gpuTemperature"), 0, QStringLiteral("Temperature"),
                QStringLiteral("thermometer.medium"), gpuTemperatureTint(), s.gpuTemperatureHistory, std::nullopt,
                temperatureScale(s.gpuTemperatureHistory), 46, [this](std::optional<int> slot) {
                    return temperatureReadout(snapshot_.gpuTemperatureHistory, snapshot_.gpuTemperatureAverage,
                                              snapshot_.gpuTemperature, slot);
                });
    addCard(column_, QStringLiteral("gpu"), 0, QStringLiteral("GPU usage"), QStringLiteral("gauge.with.needle"),
            SystemColors::cyan(), s.gpuHistory, std::nullopt, 100.0, 40,
            [this](std::optional<int> slot) { return gpuReadout(snapshot_, slot); });

    if (!s.fans.empty()) {
        indented(new SectionTitle(QStringLiteral("Fans"), QStringLiteral("fan"), content_), 4, 8, 4, 2);
        for (size_t i = 0; i < s.fans.size(); ++i) {
            addCard(column_, QStringLiteral("fan"), int(i), fanTitle(i, s.fans.size()), QStringLiteral("wind"),
                    SystemColors::gray(), fanHistory(s, i), std::nullopt, fanScale(s.fans[i]), 40,
                    [this, i, fanHistory](std::optional<int> slot) {
                        const double rpm = i < snapshot_.fans.size() ? snapshot_.fans[i].rpm : 0;
                        return fanReadout(fanHistory(snapshot_, i), rpm, slot);
                    });
        }
    }
    column_->addStretch(1);

    // The old column goes with its cards; the hovered slot and the scroll offset stay.
    scroll_->setWidget(content_);
    scroll_->verticalScrollBar()->setValue(scrollTop);
}
