// Renders the popup's views for a person to look at (QUORVIN_TEST_OUTPUT/monitor-*.png).
#include "MonitorTestSupport.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/SystemSampler.h"
#include "Views/Monitor/StatsDashboard.h"
#include "Views/Monitor/SystemMonitorView.h"

#include <QLinearGradient>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QImage onDesk(QWidget& w) {
    QImage desk(w.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&desk);
    QLinearGradient g(0, 0, w.width(), w.height());
    g.setColorAt(0, QColor(70, 90, 160));
    g.setColorAt(1, QColor(150, 90, 120));
    p.fillRect(desk.rect(), g);
    w.render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    return desk;
}

std::vector<double> wave(int n, double base, double amplitude, double speed) {
    std::vector<double> v;
    for (int i = 0; i < n; ++i) v.push_back(base + amplitude * std::sin(i * speed) + amplitude * 0.3 * std::sin(i * 1.7));
    return v;
}

StatsDashboard::Snapshot fullSnapshot() {
    StatsDashboard::Snapshot s;
    s.chipName = QStringLiteral("Apple M2 Pro");
    s.efficiencyCount = 4;
    s.performanceCount = 6;
    s.cpuHistory = wave(48, 35, 15, 0.3);
    s.cpuSystemHistory = wave(48, 8, 3, 0.5);
    s.cpuSystem = 9;
    s.cpuUser = 27;
    s.temperatureHistory = wave(48, 58, 6, 0.2);
    s.temperature = 64.5;
    s.temperatureAverage = 55.1;
    for (int i = 0; i < 10; ++i) {
        const CoreKind kind = i < 4 ? CoreKind::efficiency : CoreKind::performance;
        s.cores.push_back(CoreUsage{i, kind, i < 4 ? i + 1 : i - 3, 20.0 + i * 6});
        s.coreHistory[i] = wave(48, 20 + i * 6, 10, 0.2 + i * 0.05);
    }
    s.gpuHistory = wave(48, 22, 12, 0.25);
    s.gpu = 19;
    s.gpuTemperatureHistory = wave(48, 50, 4, 0.15);
    s.gpuTemperature = 52;
    s.gpuTemperatureAverage = 49;
    s.fans = {SMC::Fan{2400, 5800}, SMC::Fan{2100, 0}};
    s.fanHistory = {wave(48, 2400, 200, 0.1), wave(48, 2100, 150, 0.12)};
    return s;
}

struct Gallery : ::testing::Test {
    MonitorRig rig;
    SystemSampler sampler{QStringLiteral(QUORVIN_FIXTURES "/linux-desktop"), nullptr};
    MetricArchive archive{TestSupport::tempRoot() + "/gallery-metrics.log"};
    SystemMonitorView::Sources sources;

    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(false, false);
        sources.monitor = &rig.monitor();
        sources.sampler = &sampler;
        sources.archive = &archive;
        sources.physicalMemory = 16.0 * 1024 * 1024 * 1024;
    }

    void fill() {
        SyntheticProc& proc = rig.proc();
        proc.addApplication("org.example.Browser", "Browser", "browser");
        rig.rebuildEntries();
        proc.add({100, 1, "browser", "/usr/bin/browser", 0, 90000});
        for (int i = 0; i < 4; ++i) proc.add({101 + i, 100, "browser", "/usr/bin/browser", 0, quint64(20000 + i * 5000)});
        for (int i = 0; i < 30; ++i)
            proc.add({200 + i, 1, "daemon" + QByteArray::number(i), "", 0, quint64(500 + i * 300)});
        rig.refresh();
        proc.burn(100, 120);
        proc.burn(101, 30);
        proc.burn(205, 70);
        proc.burn(210, 10);
        const QDateTime start = rig.clock().now();
        for (int i = 0; i < 45; ++i)
            rig.monitor().appendSample(30 + 25 * std::sin(i * 0.3), 8 + 4 * std::sin(i * 0.5),
                                       55 + 5 * std::sin(i * 0.2), 61, 200000 + 150000 * std::sin(i * 0.4),
                                       start.addSecs(i * 2));
        rig.refresh();
    }

    void save(QWidget& host, const QString& name) {
        const QImage image = onDesk(host);
        EXPECT_TRUE(image.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/monitor-") + name + ".png"));
    }
};

}  // namespace

TEST_F(Gallery, RendersEveryTabTheDetailAndTheSkeleton) {
    // The skeleton, before any usable measurement.
    {
        QWidget host;
        host.setAttribute(Qt::WA_TranslucentBackground);
        host.resize(360, 660);
        auto* view = new SystemMonitorView(MonitorTab::cpu, [] {}, sources, &host);
        view->setGeometry(0, 0, 360, 660);
        host.show();
        TestSupport::spin(300);
        save(host, QStringLiteral("loading"));
    }
    fill();
    for (MonitorTab tab : MonitorTabs::allCases) {
        QWidget host;
        host.setAttribute(Qt::WA_TranslucentBackground);
        host.resize(360, 660);
        auto* view = new SystemMonitorView(tab, [] {}, sources, &host);
        view->setGeometry(0, 0, 360, 660);
        host.show();
        if (tab == MonitorTab::stats) {
            auto* dashboard = qobject_cast<StatsDashboard*>(view->statsContent());
            ASSERT_NE(dashboard, nullptr);
            dashboard->setSnapshot(fullSnapshot());
        }
        TestSupport::spin(700);
        save(host, MonitorTabs::rawValue(tab));
        if (tab == MonitorTab::cpu) {
            view->model().toggleExpanded(QStringLiteral("Browser"));
            view->model().selectTab(MonitorTab::memory);
            view->model().selectTab(MonitorTab::cpu);
            TestSupport::spin(1200);
            save(host, QStringLiteral("CPU-expanded"));
            view->model().selectProcess(view->model().monitor().groupedProcesses().front());
            for (const GroupedProcessInfo& g : view->model().monitor().groupedProcesses())
                if (g.name == QLatin1String("Browser")) view->model().selectProcess(g);
            TestSupport::spin(1200);
            save(host, QStringLiteral("detail"));
        }
    }
}
