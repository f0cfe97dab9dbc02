// Renders the Disk tab in each of its states, light and dark, for a person to look at
// (QUORVIN_TEST_OUTPUT/disk-*.png), and checks what the pictures must show.
#include "DiskPaneTestSupport.h"
#include "MonitorTestSupport.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/SystemSampler.h"
#include "Views/DiskPane/CleanupItemRow.h"
#include "Views/DiskPane/DiskCapacityContent.h"
#include "Views/DiskPane/DiskCleanupContent.h"
#include "Views/DiskPane/MonitorDiskTab.h"
#include "Views/Monitor/SystemMonitorView.h"
#include "Views/Preferences/DiskCleanSettingsView.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QTest>
#include <QtMath>

#include <gtest/gtest.h>

namespace {

using TestSupport::darkPalette;

QImage onDesk(QWidget& w, bool dark) {
    QImage desk(w.size(), QImage::Format_ARGB32_Premultiplied);
    QPainter p(&desk);
    QLinearGradient g(0, 0, w.width(), w.height());
    g.setColorAt(0, dark ? QColor(30, 36, 60) : QColor(170, 190, 230));
    g.setColorAt(1, dark ? QColor(60, 30, 50) : QColor(230, 190, 210));
    p.fillRect(desk.rect(), g);
    // grab(): rendering into another painter misplaces children that carry a graphics effect.
    p.drawPixmap(0, 0, w.grab());
    return desk;
}

struct DiskGallery : ::testing::TestWithParam<bool> {
    MonitorRig monitorRig;
    SystemSampler sampler{QStringLiteral(QUORVIN_FIXTURES "/linux-desktop"), nullptr};
    MetricArchive archive{TestSupport::tempRoot() + "/disk-gallery-metrics.log"};
    DiskRig rig;
    std::unique_ptr<MonitorDiskTab> tab;
    QPalette original = QApplication::palette();

    bool dark() const { return GetParam(); }
    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(false, false);
        if (dark()) QApplication::setPalette(darkPalette());
    }
    void TearDown() override { QApplication::setPalette(original); }

    // The popup on the Disk tab over the rig's engines.
    std::unique_ptr<QWidget> popup() {
        tab = std::make_unique<MonitorDiskTab>(rig.model(), rig.cleaner(), rig.volume());
        SystemMonitorView::Sources sources;
        sources.monitor = &monitorRig.monitor();
        sources.sampler = &sampler;
        sources.archive = &archive;
        sources.disk = tab.get();
        auto host = std::make_unique<QWidget>();
        host->setAttribute(Qt::WA_TranslucentBackground);
        host->resize(360, 660);
        auto* view = new SystemMonitorView(MonitorTab::disk, [] {}, sources, host.get());
        view->setGeometry(0, 0, 360, 660);
        host->show();
        TestSupport::spin(1600);  // the ring's first sweep
        return host;
    }
    QImage save(QWidget& host, const QString& name) {
        const QImage image = onDesk(host, dark());
        EXPECT_TRUE(image.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/disk-") + name + (dark() ? "-dark" : "-light") +
                               ".png"));
        return image;
    }
    // Starts a scan while the popup is off screen, so that the pictures show the new state at once
    // rather than the first frame of its fade.
    static void startHidden(QWidget& host, const std::function<void()>& start) {
        host.hide();
        start();
        host.show();
    }
    QList<CleanupGroup> results() {
        const QString npm = rig.folder(".npm/_cacache");
        const QString yarnA = rig.folder(".cache/yarn");
        const QString yarnB = rig.folder(".yarn/cache");
        const QString gradle = rig.folder(".gradle/caches");
        const QString browser = rig.folder(".cache/example-browser");
        const QString thumbs = rig.folder(".cache/thumbnails");
        const QString custom = rig.folder("Downloads/old-builds");
        return {
            {CleanupCategory::applications,
             {DiskRig::item("example-browser", {browser}, 812.0 * (1 << 20), CleanupCategory::applications),
              DiskRig::item("thumbnails", {thumbs}, 96.0 * (1 << 20), CleanupCategory::applications)}},
            {CleanupCategory::development,
             {DiskRig::item("Gradle Cache", {gradle}, 2.31 * (1 << 30), CleanupCategory::development),
              DiskRig::item("Yarn Cache", {yarnA, yarnB}, 640.0 * (1 << 20), CleanupCategory::development, 48211,
                            QStringLiteral("Yarn re-downloads packages on the next install.")),
              DiskRig::item("npm Cache", {npm}, 233.0 * (1 << 20), CleanupCategory::development)}},
            {CleanupCategory::custom,
             {DiskRig::item("old-builds", {custom}, 1.2 * (1 << 30), CleanupCategory::custom)}},
        };
    }
    UsageNode tree() {
        const QString r = rig.volumeRoot();
        UsageNode home = DiskRig::node(r + "/home", 140e9, true,
                                       {DiskRig::node(r + "/home/user", 138e9, true,
                                                      {DiskRig::node(r + "/home/user/Videos", 80e9, true),
                                                       DiskRig::node(r + "/home/user/.cache", 21e9, true)}),
                                        DiskRig::node(r + "/home/disk.img", 2.1e9, false)});
        UsageNode usr = DiskRig::node(r + "/usr", 18e9, true, {DiskRig::node(r + "/usr/lib", 11e9, true)});
        UsageNode var = DiskRig::node(r + "/var", 6.5e9, true);
        UsageNode swap = DiskRig::node(r + "/swapfile", 4.3e9, false);
        UsageNode root = DiskRig::node(r, 172e9, true, {home, usr, var, swap});
        root.name = VolumeUsageScanner::rootName;
        return root;
    }
};

TEST_P(DiskGallery, EveryStateOfTheDiskTab) {
    // Never scanned; then a first scan, before its first path; then a scan that found nothing.
    {
        auto host = popup();
        const QImage image = save(*host, "never-scanned");
        // The ring (82 % used) is orange from twelve o'clock round past nine, and only the track at half past ten.
        auto* capacity = host->findChild<DiskCapacityContent*>();
        ASSERT_TRUE(capacity);
        const QRect ring(capacity->mapTo(host.get(), capacity->ringRect().topLeft()), capacity->ringRect().size());
        const double r = ring.width() / 2.0 - DiskCapacityContent::lineWidth / 2;
        const QPointF c = QRectF(ring).center();
        auto onRing = [&](double degreesFromTwelve) {
            const double a = qDegreesToRadians(degreesFromTwelve);
            return image.pixelColor(QPointF(c.x() + r * std::sin(a), c.y() - r * std::cos(a)).toPoint());
        };
        const QColor orange = SystemColors::orange(dark());
        for (double at : {2.0, 90.0, 180.0, 270.0}) {
            EXPECT_NEAR(onRing(at).hsvHue(), orange.hsvHue(), 12) << at;
            EXPECT_GT(onRing(at).hsvSaturationF(), 0.5) << at;
        }
        EXPECT_LT(onRing(315).hsvSaturationF(), 0.3);
        // The body card takes the appearance's window colour.
        const QColor body = image.pixelColor(180, 600);
        if (dark()) {
            EXPECT_LT(body.lightness(), 90);
        } else {
            EXPECT_GT(body.lightness(), 180);
        }
        startHidden(*host, [&] { rig.cleaner().scan(); });
        save(*host, "scanning");
        TestSupport::waitFor([&] { return rig.cleaner().state().phase == DiskCleanScanner::Phase::complete; });
        TestSupport::spin(400);
        save(*host, "empty");
    }
}

TEST_P(DiskGallery, ResultsDetailAndArmedRow) {
    rig.saveScan(results());
    rig.model().toggleExpanded(CleanupCategory::development);
    rig.model().toggleExpanded(CleanupCategory::custom);
    auto host = popup();
    save(*host, "results");
    auto* body = host->findChild<DiskCleanupContent*>();
    ASSERT_TRUE(body);
    const auto rows = body->itemRows();
    ASSERT_GE(rows.size(), 3);
    CleanupItemRow* yarnRow = nullptr;
    for (CleanupItemRow* row : rows)
        if (row->item().name == "Yarn Cache") yarnRow = row;
    ASSERT_TRUE(yarnRow && yarnRow->isVisible());
    QTest::mouseClick(yarnRow->trashButton(), Qt::LeftButton);
    EXPECT_TRUE(yarnRow->isArmed());
    TestSupport::spin(500);
    const QImage armed = save(*host, "armed");
    // The armed button is a red capsule; the other rows keep their grey icon.
    auto redPixels = [&](CleanupItemRow* row) {
        const QRect button(row->trashButton()->mapTo(host.get(), QPoint()), row->trashButton()->size());
        int count = 0;
        for (int y = button.top(); y <= button.bottom(); ++y)
            for (int x = button.left(); x <= button.right(); ++x) {
                const QColor px = armed.pixelColor(x, y);
                if ((px.hsvHue() < 15 || px.hsvHue() > 345) && px.hsvSaturationF() > 0.5) ++count;
            }
        return count;
    };
    EXPECT_GT(redPixels(yarnRow), 40);
    for (CleanupItemRow* row : rows) {
        if (row == yarnRow || !row->isVisible()) continue;
        EXPECT_EQ(redPixels(row), 0) << row->item().name.toStdString();
    }
    // The detail of an item with two folders.
    CleanupItem yarn;
    for (const CleanupGroup& group : rig.cleaner().groups())
        for (const CleanupItem& item : group.items)
            if (item.name == "Yarn Cache") yarn = item;
    rig.model().setInspecting(yarn);
    TestSupport::spin(1200);
    save(*host, "detail");
    rig.model().setInspecting(std::nullopt);
    TestSupport::spin(800);
    // A rescan runs over the old list with the spinner on it.
    startHidden(*host, [&] { rig.cleaner().scan(); });
    save(*host, "rescanning");
    rig.cleaner().waitUntilIdle();
    TestSupport::spin(300);
}

TEST_P(DiskGallery, VolumeBrowserBeforeAndDuringTheFirstWalk) {
    rig.model().setMode(DiskPaneModel::Mode::everything);
    auto host = popup();
    save(*host, "volume-never-scanned");
    FileTree::allocateFile(rig.volumeRoot() + "/big", 30'000'000);
    startHidden(*host, [&] { rig.volume().scan(); });
    save(*host, "volume-first-scan");
    rig.volume().waitUntilIdle();
    TestSupport::spin(300);
}

TEST_P(DiskGallery, VolumeBrowserTopLevelAndInsideAFolder) {
    rig.saveVolume(tree(), 3, monitorRig.clock().now().addSecs(-(2 * 3600 + 5 * 60)));
    rig.model().setMode(DiskPaneModel::Mode::everything);
    auto host = popup();
    save(*host, "volume-unreadable-note");
    rig.model().pushBrowse(rig.volume().root()->children.first());
    TestSupport::spin(800);
    save(*host, "volume-browsing");
}

TEST_P(DiskGallery, SettingsPane) {
    const QString a = rig.folder("Projects/old-builds"), b = rig.folder("Downloads/installers");
    rig.settings().customTargets.set({a, b});
    rig.settings().setEnabled("Gradle Cache", false);
    DiskCleanSettingsView pane(rig.cleaner(), rig.settings());
    pane.resize(560, pane.sizeHint().height());
    pane.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return pane.isSettled(); }));
    pane.addChosen({"/etc"});
    ASSERT_TRUE(TestSupport::waitFor([&] { return pane.isSettled(); }));
    TestSupport::spin(100);
    QImage image(pane.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(pane.palette().color(QPalette::Window));
    {
        QPainter p(&image);
        p.drawPixmap(0, 0, pane.grab());
    }
    EXPECT_TRUE(image.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/disk-settings-") + (dark() ? "dark" : "light") + ".png"));
}

INSTANTIATE_TEST_SUITE_P(Appearance, DiskGallery, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Dark" : "Light"; });

}  // namespace
