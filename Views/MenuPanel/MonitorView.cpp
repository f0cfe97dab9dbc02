#include "Views/MenuPanel/MonitorView.h"

#include "Platform/Core/Dispatch.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Power/PowerManager.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/Zedi/ZediManager.h"
#include "Views/Shared/CircularStatView.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/SidebarGlyph.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kGaugeWidth = 68;
constexpr int kGaugeHeight = 84;
constexpr int kNetworkRowHeight = 28;
constexpr int kRowHeight = 36;
constexpr int kRowsPadding = 6;

QString rateText(double bytesPerSecond) {
    if (!std::isfinite(bytesPerSecond) || bytesPerSecond < 0) return QStringLiteral("—");
    return NetworkMonitor::formatRate(bytesPerSecond);
}

// The faint rounded highlight of a control under the pointer.
void paintHover(QPainter& painter, const QWidget& widget, const QRectF& rect, double radius) {
    if (!widget.underMouse() || !widget.isEnabled()) return;
    const double opacity = static_cast<const QAbstractButton&>(widget).isDown() ? 0.12 : 0.07;
    painter.fillPath(ContinuousCorners::roundedRect(rect, radius),
                     SystemColors::withOpacity(SystemColors::primary(widget.palette()), opacity));
}

// The download and upload rates under the gauges.
class NetworkRow : public QAbstractButton {
public:
    explicit NetworkRow(QWidget* parent) : QAbstractButton(parent) {
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        setFixedHeight(kNetworkRowHeight);
        setAccessibleName(QStringLiteral("Network"));
    }
    QString download = QStringLiteral("—");
    QString upload = QStringLiteral("—");

    void setRates(const QString& down, const QString& up) {
        if (down == download && up == upload) return;
        download = down;
        upload = up;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF r = rect();
        paintHover(painter, *this, r, 8);
        const QPalette& pal = palette();
        const QColor blue = SystemColors::blue(SystemColors::isDark(pal));
        Symbols::draw(painter, QRectF(6, (r.height() - 14) / 2, 14, 14), QStringLiteral("globe"), blue, 14,
                      Symbols::Weight::medium);
        const double half = (r.width() - 28) / 2;
        drawRate(painter, QRectF(28, 0, half, r.height()), QStringLiteral("↓"), download, blue);
        drawRate(painter, QRectF(28 + half, 0, half, r.height()), QStringLiteral("↑"),
                 upload, SystemColors::orange(SystemColors::isDark(pal)));
    }

private:
    void drawRate(QPainter& painter, const QRectF& rect, const QString& arrow, const QString& text, const QColor& tint) {
        painter.setFont(SystemFont::font(12, QFont::Bold));
        painter.setPen(tint);
        const QRectF arrowRect(rect.left(), rect.top(), 12, rect.height());
        painter.drawText(arrowRect, Qt::AlignCenter, arrow);
        painter.setFont(SystemFont::monospacedDigits(12, QFont::Medium));
        painter.setPen(SystemColors::primary(palette()));
        painter.drawText(rect.adjusted(15, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
};

// A quick-action row: a glyph, a title, and at the trailing end a text with a chevron or a switch.
class PanelRow : public QAbstractButton {
public:
    PanelRow(QString symbol, QColor tint, const QString& title, bool hasSwitch, QWidget* parent)
        : QAbstractButton(parent), symbol_(std::move(symbol)), tint_(tint), hasSwitch_(hasSwitch) {
        setText(title);
        setAccessibleName(title);
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        setFixedHeight(kRowHeight);
        setCheckable(hasSwitch);
    }
    void setTrailing(const QString& text) {
        if (text == trailing_) return;
        trailing_ = text;
        update();
    }
    QString trailing() const { return trailing_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF r = rect();
        const QPalette& pal = palette();
        paintHover(painter, *this, r, 10);
        SidebarGlyph::paint(painter, QRectF(8, (r.height() - SidebarGlyph::side) / 2, SidebarGlyph::side,
                                            SidebarGlyph::side), symbol_, tint_);
        painter.setFont(SystemFont::font(13, QFont::Medium));
        painter.setPen(SystemColors::primary(pal));
        painter.drawText(QRectF(38, 0, r.width() - 120, r.height()), Qt::AlignLeft | Qt::AlignVCenter, text());
        if (hasSwitch_) {
            paintSwitch(painter, QRectF(r.width() - 8 - 30, (r.height() - 18) / 2, 30, 18), isChecked(), pal);
            painter.setFont(SystemFont::font(12));
            painter.setPen(SystemColors::secondary(pal));
            painter.drawText(QRectF(r.width() - 130, 0, 130 - 8 - 30 - 8, r.height()), Qt::AlignRight | Qt::AlignVCenter,
                             trailing_);
            return;
        }
        Symbols::draw(painter, QRectF(r.width() - 8 - 12, (r.height() - 12) / 2, 12, 12),
                      QStringLiteral("chevron.right"), SystemColors::tertiary(pal), 12, Symbols::Weight::semibold);
        painter.setFont(SystemFont::font(12));
        painter.setPen(SystemColors::secondary(pal));
        painter.drawText(QRectF(r.width() - 120, 0, 120 - 8 - 16, r.height()), Qt::AlignRight | Qt::AlignVCenter,
                         trailing_);
    }

private:
    static void paintSwitch(QPainter& painter, const QRectF& rect, bool on, const QPalette& pal) {
        const QPainterPath track = ContinuousCorners::capsule(rect);
        painter.fillPath(track, on ? SystemColors::green(SystemColors::isDark(pal))
                                   : SystemColors::withOpacity(SystemColors::primary(pal), 0.18));
        const double knob = rect.height() - 4;
        const double x = on ? rect.right() - 2 - knob : rect.left() + 2;
        painter.setPen(QPen(QColor(0, 0, 0, 40), 0.5));
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(x, rect.top() + 2, knob, knob));
    }

    QString symbol_;
    QColor tint_;
    bool hasSwitch_;
    QString trailing_;
};

// A text button of the footer.
class FooterButton : public QAbstractButton {
public:
    FooterButton(const QString& title, QString symbol, QWidget* parent)
        : QAbstractButton(parent), symbol_(std::move(symbol)) {
        setText(title);
        setAccessibleName(title);
        setAttribute(Qt::WA_Hover);
        setCursor(Qt::PointingHandCursor);
        setFixedHeight(MonitorView::footerHeight - 8);
    }
    QSize sizeHint() const override {
        const QFontMetrics metrics(SystemFont::font(12, QFont::Medium));
        return QSize(8 + 13 + 5 + metrics.horizontalAdvance(text()) + 10, MonitorView::footerHeight - 8);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF r = rect();
        paintHover(painter, *this, r, r.height() / 2);
        const QColor ink = SystemColors::primary(palette());
        Symbols::draw(painter, QRectF(8, (r.height() - 13) / 2, 13, 13), symbol_, SystemColors::secondary(palette()), 13,
                      Symbols::Weight::medium);
        painter.setFont(SystemFont::font(12, QFont::Medium));
        painter.setPen(ink);
        painter.drawText(r.adjusted(8 + 13 + 5, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    QString symbol_;
};

}  // namespace

MonitorView::MonitorView(SystemSampler& sampler, NetworkMonitor& network, PowerManager& power, ZediManager& zedi,
                         Hooks hooks, QWidget* parent)
    : QWidget(parent), sampler_(sampler), network_(network), power_(power), zedi_(zedi), hooks_(std::move(hooks)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFixedWidth(panelWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);

    // The gauges and the network rates.
    auto* gauges = new QWidget;
    auto* gaugeLayout = new QVBoxLayout(gauges);
    gaugeLayout->setContentsMargins(cardPadding, cardPadding, cardPadding, cardPadding);
    gaugeLayout->setSpacing(10);
    auto* ring = new QHBoxLayout;
    ring->setContentsMargins(0, 0, 0, 0);
    const bool dark = SystemColors::isDark(palette());
    cpu_ = new CircularStatView(QStringLiteral("CPU"), SystemColors::green(dark));
    memory_ = new CircularStatView(QStringLiteral("MEM"), SystemColors::orange(dark));
    disk_ = new CircularStatView(QStringLiteral("DISK"), SystemColors::cyan(dark));
    ring->addStretch(1);
    for (CircularStatView* g : {cpu_, memory_, disk_}) {
        g->setFixedSize(kGaugeWidth, kGaugeHeight);
        ring->addWidget(g);
        ring->addStretch(1);
    }
    gaugeLayout->addLayout(ring);
    auto* networkRow = new NetworkRow(gauges);
    networkRow_ = networkRow;
    gaugeLayout->addWidget(networkRow_);
    gaugeCard_ = glassWell(gauges, cardCornerRadius);
    layout->addWidget(gaugeCard_);

    if (hooks_.showMonitor) {
        connect(cpu_, &QAbstractButton::clicked, this, [this] { openMonitor(MonitorTab::cpu); });
        connect(memory_, &QAbstractButton::clicked, this, [this] { openMonitor(MonitorTab::memory); });
        connect(disk_, &QAbstractButton::clicked, this, [this] { openMonitor(MonitorTab::disk); });
        connect(networkRow_, &QAbstractButton::clicked, this, [this] { openMonitor(MonitorTab::network); });
    } else {
        // Nothing to open: the gauges and the row are only readings.
        for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{cpu_, memory_, disk_, networkRow_}) {
            b->setCursor(Qt::ArrowCursor);
            b->setAttribute(Qt::WA_Hover, false);
            b->setAttribute(Qt::WA_TransparentForMouseEvents);
        }
    }

    // The quick actions.
    auto* rows = new QWidget;
    auto* rowsLayout = new QVBoxLayout(rows);
    rowsLayout->setContentsMargins(kRowsPadding, kRowsPadding, kRowsPadding, kRowsPadding);
    rowsLayout->setSpacing(0);
    zediRow_ = new PanelRow(QStringLiteral("xmark.circle.fill"), SystemColors::red(dark), QStringLiteral("Zedi"), false,
                            rows);
    keepAwakeRow_ = new PanelRow(QStringLiteral("bolt.fill"), SystemColors::yellow(dark), QStringLiteral("Keep Awake"),
                                 true, rows);
    if (hooks_.showToolbox) {
        toolboxRow_ = new PanelRow(QStringLiteral("hammer"), SystemColors::indigo(dark), QStringLiteral("Toolbox"), false,
                                   rows);
        rowsLayout->addWidget(toolboxRow_);
        // The panel closes first, then the toolbox window comes to the front.
        connect(toolboxRow_, &QAbstractButton::clicked, this, [this] {
            NotificationCenter::defaultCenter().post(Notification::dismissPopover);
            hooks_.showToolbox();
        });
    }
    rowsLayout->addWidget(zediRow_);
    rowsLayout->addWidget(keepAwakeRow_);
    rowsCard_ = glassWell(rows, cardCornerRadius);
    layout->addWidget(rowsCard_);
    // Zedi quits its apps; with none chosen it opens its settings.
    connect(zediRow_, &QAbstractButton::clicked, this, [this] { zedi_.run(); });
    connect(keepAwakeRow_, &QAbstractButton::clicked, this, [this] {
        power_.toggle();
        refreshRows();
    });
    connect(&power_, &PowerManager::stateChanged, this, &MonitorView::refreshRows);
    connect(&zedi_, &ZediManager::appsChanged, this, &MonitorView::refreshRows);

    // The footer.
    auto* footer = new QWidget;
    footer->setFixedHeight(footerHeight);
    auto* footerLayout = new QHBoxLayout(footer);
    footerLayout->setContentsMargins(6, 4, 6, 4);
    footerLayout->setSpacing(0);
    settingsButton_ = new FooterButton(QStringLiteral("Settings"), QStringLiteral("gearshape"), footer);
    quitButton_ = new FooterButton(QStringLiteral("Quit"), QStringLiteral("power"), footer);
    footerLayout->addWidget(settingsButton_);
    footerLayout->addStretch(1);
    footerLayout->addWidget(quitButton_);
    footer_ = glassWell(footer, footerHeight / 2.0);
    layout->addWidget(footer_);
    if (hooks_.showSettings) {
        connect(settingsButton_, &QAbstractButton::clicked, this, [this] {
            NotificationCenter::defaultCenter().post(Notification::dismissPopover);
            hooks_.showSettings();
        });
    } else {
        settingsButton_->hide();
    }
    if (hooks_.quit) {
        connect(quitButton_, &QAbstractButton::clicked, this, [this] { hooks_.quit(); });
    } else {
        quitButton_->hide();
    }

    connect(&sampler_, &SystemSampler::didSample, this, [this] {
        if (isVisible()) refreshGauges();
    });
    connect(&network_, &NetworkMonitor::ratesChanged, this, [this] {
        if (isVisible()) refreshNetwork();
    });
    refresh();
    refreshRows();
    setFixedHeight(sizeHint().height());
}

void MonitorView::openMonitor(MonitorTab tab) {
    NotificationCenter::defaultCenter().post(Notification::dismissPopover);
    if (!hooks_.showMonitor) return;
    auto show = hooks_.showMonitor;
    Dispatch::mainAfter(monitorDelay, this, [show, tab] { show(tab); });
}

void MonitorView::refresh() {
    refreshGauges();
    refreshNetwork();
}

void MonitorView::refreshGauges() {
    cpu_->setValue(sampler_.cpu());
    memory_->setValue(sampler_.memory());
    disk_->setValue(sampler_.disk());
}

void MonitorView::refreshNetwork() {
    static_cast<NetworkRow*>(networkRow_)
        ->setRates(rateText(network_.downloadRate()), rateText(network_.uploadRate()));
}

QString MonitorView::zediSummary(int appCount) {
    if (appCount <= 0) return QStringLiteral("Choose Apps");
    return appCount == 1 ? QStringLiteral("Quit 1 App") : QString::asprintf("Quit %d Apps", appCount);
}

void MonitorView::refreshRows() {
    static_cast<PanelRow*>(zediRow_)->setTrailing(zediSummary(int(zedi_.apps().size())));
    keepAwakeRow_->setChecked(power_.isActive() || power_.isPending());
    // A switch-on that found no service to keep the computer awake says so instead of just flipping back.
    const bool unavailable = power_.isUnavailable() && !keepAwakeRow_->isChecked();
    static_cast<PanelRow*>(keepAwakeRow_)->setTrailing(unavailable ? QStringLiteral("Unavailable") : QString());
}

QString MonitorView::keepAwakeStatus() const { return static_cast<PanelRow*>(keepAwakeRow_)->trailing(); }

QString MonitorView::downloadText() const { return static_cast<NetworkRow*>(networkRow_)->download; }
QString MonitorView::uploadText() const { return static_cast<NetworkRow*>(networkRow_)->upload; }

CircularStatView* MonitorView::gauge(MonitorTab tab) const {
    switch (tab) {
    case MonitorTab::cpu: return cpu_;
    case MonitorTab::memory: return memory_;
    case MonitorTab::disk: return disk_;
    default: return nullptr;
    }
}

void MonitorView::setOpaqueBacking(bool opaque) {
    if (opaque == opaqueBacking_) return;
    opaqueBacking_ = opaque;
    update();
}

QRegion MonitorView::cardsRegion() const {
    QRegion region;
    for (GlassCard* card : {gaugeCard_, rowsCard_, footer_}) {
        const QPainterPath path = GlassCard::shape(QRectF(card->geometry()), card->cornerRadius(), std::nullopt);
        region += QRegion(path.toFillPolygon().toPolygon());
    }
    return region;
}

void MonitorView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    refresh();
    refreshRows();
}

void MonitorView::paintEvent(QPaintEvent*) {
    if (!opaqueBacking_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor window = SystemColors::windowBackground(palette());
    for (GlassCard* card : {gaugeCard_, rowsCard_, footer_})
        painter.fillPath(GlassCard::shape(QRectF(card->geometry()), card->cornerRadius(), std::nullopt), window);
}
