// Menu-bar widgets: the stored configuration, the texts, and the status items that show them.
#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Ui/StatusBar.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/Widgets/MenuBarWidgetController.h"
#include "Source/Features/Widgets/WidgetManager.h"
#include "SystemTestSupport.h"
#include "TestSupport.h"
#include "Views/Widgets/GroupedWidgetStripView.h"
#include "Views/Widgets/SingleWidgetView.h"
#include "Views/Widgets/TrayWidgetIcon.h"

#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

const QString kKey = QStringLiteral("widgetConfiguration");

WidgetConfiguration defaultConfiguration() { return WidgetConfiguration{}; }

// A manager whose readings the test sets.
struct Fixture {
    UserDefaults defaults{QString{}};
    WidgetManager::Readings readings;
    std::unique_ptr<WidgetManager> manager;
    void make() {
        manager = std::make_unique<WidgetManager>(defaults, [this] { return readings; });
    }
};

}  // namespace

TEST(WidgetConfiguration, DefaultsEncodingAndTheStoredForm) {
    const WidgetConfiguration d;
    EXPECT_EQ(d.enabledTypes(),
              (std::vector<WidgetType>{WidgetType::cpu, WidgetType::memory, WidgetType::disk, WidgetType::network}));
    EXPECT_TRUE(d.isGrouped);
    EXPECT_FALSE(d.showLabels);
    EXPECT_EQ(d.encode(),
              QByteArray(R"({"enabledWidgets":["cpu","memory","disk","network"],"isGrouped":true,"showLabels":false})"));

    WidgetConfiguration c;
    c.enabledWidgets = {WidgetType::temperature, WidgetType::gpu};
    c.isGrouped = false;
    c.showLabels = true;
    ASSERT_EQ(WidgetConfiguration::decode(c.encode()), c);
    // Ids are written in declaration order, whatever order they were enabled in.
    EXPECT_TRUE(c.encode().startsWith(R"({"enabledWidgets":["gpu","temperature"])"));
    // An empty set is a configuration too.
    c.enabledWidgets.clear();
    EXPECT_EQ(WidgetConfiguration::decode(c.encode()), c);
}

TEST(WidgetConfiguration, DamagedValuesReadAsTheDefaults) {
    const QList<QByteArray> damaged{
        "",
        "not json",
        "[]",
        R"({"enabledWidgets":["cpu"],"isGrouped":true})",                          // a key missing
        R"({"enabledWidgets":"cpu","isGrouped":true,"showLabels":false})",        // not a list
        R"({"enabledWidgets":["cpu","fans"],"isGrouped":true,"showLabels":false})",  // an unknown id
        R"({"enabledWidgets":["cpu",3],"isGrouped":true,"showLabels":false})",
        R"({"enabledWidgets":["cpu"],"isGrouped":1,"showLabels":false})",
        R"({"enabledWidgets":["cpu"],"isGrouped":true,"showLabels":"no"})",
        QByteArray(2000, '{'),
    };
    for (const QByteArray& data : damaged) {
        EXPECT_FALSE(WidgetConfiguration::decode(data).has_value()) << data.left(80).toStdString();
        Fixture f;
        f.defaults.setData(kKey, data);
        f.make();
        EXPECT_EQ(f.manager->configuration(), defaultConfiguration()) << data.left(80).toStdString();
    }
    // A value that is not data at all.
    for (const QJsonValue& value : {QJsonValue(42), QJsonValue(QJsonObject{{"enabledWidgets", QJsonArray{"cpu"}}}),
                                    QJsonValue(QStringLiteral("%%%not base64"))}) {
        Fixture f;
        f.defaults.set(kKey, value);
        f.make();
        EXPECT_EQ(f.manager->configuration(), defaultConfiguration());
    }
}

TEST(WidgetManager, ChangesAreSavedAndSignalledOnlyWhenTheyChangeSomething) {
    Fixture f;
    f.make();
    QSignalSpy changed(f.manager.get(), &WidgetManager::configDidChange);
    EXPECT_FALSE(f.defaults.contains(kKey));  // the defaults are not written until changed

    f.manager->toggleWidget(WidgetType::temperature);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(f.manager->configuration().enabledWidgets.count(WidgetType::temperature));
    f.manager->toggleWidget(WidgetType::cpu);
    EXPECT_FALSE(f.manager->configuration().enabledWidgets.count(WidgetType::cpu));
    f.manager->setShowLabels(true);
    f.manager->setShowLabels(true);  // the same value: nothing
    f.manager->setGrouped(true);     // already grouped: nothing
    EXPECT_EQ(changed.count(), 3);

    // A new manager over the same settings reads what was saved.
    WidgetManager again(f.defaults, [] { return WidgetManager::Readings{}; });
    EXPECT_EQ(again.configuration(), f.manager->configuration());
    EXPECT_EQ(again.configuration().enabledTypes(),
              (std::vector<WidgetType>{WidgetType::memory, WidgetType::disk, WidgetType::network,
                                       WidgetType::temperature}));

    // Switching off the last widget leaves an empty set.
    WidgetConfiguration one;
    one.enabledWidgets = {WidgetType::gpu};
    f.manager->setConfiguration(one);
    f.manager->toggleWidget(WidgetType::gpu);
    EXPECT_TRUE(f.manager->configuration().enabledWidgets.empty());
}

TEST(WidgetManager, TakesAConfigurationStoredByAnotherWriter) {
    Fixture f;
    f.make();
    QSignalSpy changed(f.manager.get(), &WidgetManager::configDidChange);
    WidgetConfiguration labelled;
    labelled.showLabels = true;
    f.defaults.setData(kKey, labelled.encode());
    EXPECT_EQ(f.manager->configuration(), labelled);
    EXPECT_EQ(changed.count(), 1);
    f.defaults.setData(kKey, "not json");  // reads as the defaults
    EXPECT_EQ(f.manager->configuration(), defaultConfiguration());
    EXPECT_EQ(changed.count(), 2);
    f.manager->setShowLabels(true);  // its own write signals once
    EXPECT_EQ(changed.count(), 3);
}

TEST(WidgetManager, TextsOfTheReadings) {
    WidgetManager::Readings r;
    for (WidgetType t : WidgetTypes::allCases) EXPECT_EQ(WidgetManager::valueText(t, r), QStringLiteral("—"));
    r.cpu = 42.4;
    r.gpu = 99.6;
    r.memory = 0;
    r.disk = std::nan("");
    r.downloadRate = 1536;
    r.temperature = 61.6;
    EXPECT_EQ(WidgetManager::valueText(WidgetType::cpu, r), QStringLiteral("42%"));
    EXPECT_EQ(WidgetManager::valueText(WidgetType::gpu, r), QStringLiteral("100%"));
    EXPECT_EQ(WidgetManager::valueText(WidgetType::memory, r), QStringLiteral("0%"));
    EXPECT_EQ(WidgetManager::valueText(WidgetType::disk, r), QStringLiteral("—"));
    EXPECT_EQ(WidgetManager::valueText(WidgetType::network, r), QStringLiteral("2 KB/s"));
    EXPECT_EQ(WidgetManager::valueText(WidgetType::temperature, r), QStringLiteral("62°"));
    r.downloadRate = 0;
    EXPECT_EQ(WidgetManager::valueText(WidgetType::network, r), QStringLiteral("0 B/s"));
}

TEST(WidgetManager, TextsFollowEverySampleOfTheSampler) {
    QTemporaryDir dir;
    const QString root = dir.path() + "/root";
    ASSERT_TRUE(SystemFixtures::copyTree("linux-desktop", root));
    UserDefaults defaults(QString{});
    SystemSampler sampler(root);
    NetworkMonitor network(root);
    WidgetManager manager(defaults, sampler, network);
    EXPECT_EQ(manager.value(WidgetType::memory), QStringLiteral("—"));
    QSignalSpy values(&manager, &WidgetManager::valuesChanged);
    sampler.sample(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() == 1; }));
    EXPECT_EQ(values.count(), 1);
    EXPECT_EQ(manager.value(WidgetType::memory), QStringLiteral("75%"));
    EXPECT_EQ(manager.value(WidgetType::gpu), QStringLiteral("37%"));
    EXPECT_EQ(manager.value(WidgetType::temperature), QStringLiteral("52°"));
    // A sample that changes no text signals nothing.
    sampler.sample(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() == 2; }));
    const int after = values.count();
    sampler.sample(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() == 3; }));
    EXPECT_EQ(values.count(), after);
}

TEST(MenuBarWidgetController, ItemsAreMadeOnceThenShownOrHiddenInDeclarationOrder) {
    Fixture f;
    f.readings.cpu = 12;
    f.readings.memory = 50;
    f.readings.disk = 70;
    f.readings.downloadRate = 2048;
    f.make();
    StatusBar bar(StatusBar::Kind::strip);
    MenuBarWidgetController controller(*f.manager, bar);
    EXPECT_EQ(controller.groupedItem(), nullptr);

    controller.rebuild();
    ASSERT_NE(controller.groupedItem(), nullptr);
    EXPECT_EQ(bar.items().size(), 7u);
    EXPECT_TRUE(controller.groupedItem()->isVisible());
    for (WidgetType t : WidgetTypes::allCases) EXPECT_FALSE(controller.item(t)->isVisible());
    const std::vector<StatusItem*> made = bar.items();

    // Ungrouped: one item per enabled type, cpu leftmost.
    f.manager->setGrouped(false);
    EXPECT_TRUE(controller.isRebuildPending());
    EXPECT_TRUE(controller.groupedItem()->isVisible());  // not before the delay
    ASSERT_TRUE(TestSupport::waitFor([&] { return !controller.groupedItem()->isVisible(); }, 2000));
    std::vector<int> xs;
    for (WidgetType t : {WidgetType::cpu, WidgetType::memory, WidgetType::disk, WidgetType::network}) {
        ASSERT_TRUE(controller.item(t)->isVisible());
        xs.push_back(controller.item(t)->screenRect().x());
    }
    EXPECT_TRUE(std::is_sorted(xs.begin(), xs.end()));
    EXPECT_FALSE(controller.item(WidgetType::gpu)->isVisible());
    EXPECT_FALSE(controller.item(WidgetType::temperature)->isVisible());

    // Switching everything off hides everything; nothing is ever made again.
    WidgetConfiguration none;
    none.enabledWidgets.clear();
    f.manager->setConfiguration(none);
    controller.rebuild();
    EXPECT_FALSE(controller.groupedItem()->isVisible());
    for (WidgetType t : WidgetTypes::allCases) EXPECT_FALSE(controller.item(t)->isVisible());
    EXPECT_EQ(bar.items(), made);
}

TEST(MenuBarWidgetController, ChangesInQuickSuccessionRebuildOnce100msAfterTheLast) {
    Fixture f;
    f.make();
    StatusBar bar(StatusBar::Kind::strip);
    MenuBarWidgetController controller(*f.manager, bar);
    controller.rebuild();
    int shows = 0;
    QObject::connect(controller.item(WidgetType::gpu), &StatusItem::changed, [&] {
        if (controller.item(WidgetType::gpu)->isVisible()) ++shows;
    });
    f.manager->setGrouped(false);
    for (int i = 0; i < 4; ++i) {
        TestSupport::spin(30);  // each change comes before the last one's 100 ms are up
        f.manager->toggleWidget(WidgetType::gpu);
        EXPECT_FALSE(controller.item(WidgetType::gpu)->isVisible());
    }
    EXPECT_TRUE(controller.isRebuildPending());
    TestSupport::spin(60);
    EXPECT_FALSE(controller.item(WidgetType::gpu)->isVisible());  // 60 ms after the last: not yet
    ASSERT_TRUE(TestSupport::waitFor([&] { return !controller.isRebuildPending(); }, 1000));
    // gpu was toggled four times: off again, and no rebuild ran in between.
    EXPECT_FALSE(controller.item(WidgetType::gpu)->isVisible());
    EXPECT_EQ(shows, 0);
    EXPECT_TRUE(controller.item(WidgetType::cpu)->isVisible());
}

TEST(MenuBarWidgetController, ItemsRedrawOnlyWhenTheirTextChanges) {
    Fixture f;
    f.readings.cpu = 10;
    f.readings.memory = 20;
    f.make();
    StatusBar bar(StatusBar::Kind::strip);
    MenuBarWidgetController controller(*f.manager, bar);
    WidgetConfiguration two;
    two.enabledWidgets = {WidgetType::cpu, WidgetType::memory};
    two.isGrouped = false;
    f.manager->setConfiguration(two);
    controller.rebuild();
    StatusItem* cpu = controller.item(WidgetType::cpu);
    StatusItem* memory = controller.item(WidgetType::memory);
    const int drawn = controller.drawCount();
    EXPECT_EQ(drawn, 2);
    const qint64 cpuImage = cpu->image().cacheKey();

    // Same readings (and a change below the shown precision): no redraw.
    f.readings.cpu = 10.3;
    f.manager->recomputeValues();
    controller.rebuild();
    EXPECT_EQ(controller.drawCount(), drawn);
    EXPECT_EQ(cpu->image().cacheKey(), cpuImage);

    // One text changes: that item alone is drawn again.
    const qint64 memoryImage = memory->image().cacheKey();
    f.readings.cpu = 64;
    f.manager->recomputeValues();
    EXPECT_EQ(controller.drawCount(), drawn + 1);
    EXPECT_NE(cpu->image().cacheKey(), cpuImage);
    EXPECT_EQ(memory->image().cacheKey(), memoryImage);

    // Labels change every item's look.
    f.manager->setShowLabels(true);
    controller.rebuild();
    EXPECT_EQ(controller.drawCount(), drawn + 3);
    EXPECT_GT(cpu->image().deviceIndependentSize().width(),
              SingleWidgetView::widthFor(WidgetType::cpu, QStringLiteral("64%"), false));
}

// A tooltip up over a reading says what the icon under it shows: it follows each new sample
// rather than keeping the one read when the pointer came to rest.
TEST(MenuBarWidgetController, AShownTooltipFollowsTheReadingItsIconShows) {
    Fixture f;
    f.readings.cpu = 8;
    f.make();
    StatusBar bar(StatusBar::Kind::strip);
    MenuBarWidgetController controller(*f.manager, bar);
    WidgetConfiguration one;
    one.enabledWidgets = {WidgetType::cpu};
    one.isGrouped = false;
    f.manager->setConfiguration(one);
    controller.rebuild();
    StatusItem* cpu = controller.item(WidgetType::cpu);
    QWidget* strip = bar.stripWindow();
    ASSERT_TRUE(strip);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));
    const QRect area = cpu->screenRect();
    ASSERT_FALSE(area.isEmpty());
    const auto icon = [&](const QString& text) {
        return SingleWidgetView::image(WidgetType::cpu, text, false, bar.ink(), qGuiApp->devicePixelRatio());
    };

    QCursor::setPos(area.center());
    QHelpEvent rest(QEvent::ToolTip, strip->mapFromGlobal(area.center()), area.center());
    QApplication::sendEvent(strip, &rest);
    ASSERT_TRUE(TestSupport::waitFor([] { return QToolTip::isVisible(); }));
    EXPECT_EQ(QToolTip::text(), QStringLiteral("CPU 8%"));
    EXPECT_EQ(cpu->image(), icon(QStringLiteral("8%")));

    for (double reading : {1.0, 23.0}) {
        f.readings.cpu = reading;
        f.manager->recomputeValues();
        const QString text = QString::asprintf("%.0f%%", reading);
        EXPECT_EQ(cpu->image(), icon(text));
        EXPECT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(QToolTip::text(), QStringLiteral("CPU ") + text);
    }
    QToolTip::hideText();
}

TEST(WidgetViews, ImagesHaveStableWidthsAndDrawTheirParts) {
    // The width holds the widest usual text, so "5%" and "100%" take the same room.
    EXPECT_EQ(SingleWidgetView::widthFor(WidgetType::cpu, "5%", false),
              SingleWidgetView::widthFor(WidgetType::cpu, "100%", false));
    EXPECT_GT(SingleWidgetView::widthFor(WidgetType::cpu, "5%", true),
              SingleWidgetView::widthFor(WidgetType::cpu, "5%", false));
    // A longer text than usual widens the widget rather than being cut.
    EXPECT_GT(SingleWidgetView::widthFor(WidgetType::network, "123.4 MB/s", false),
              SingleWidgetView::widthFor(WidgetType::network, "1 KB/s", false));

    const QImage single = SingleWidgetView::image(WidgetType::cpu, "42%", false, Qt::white, 2.0);
    EXPECT_EQ(single.devicePixelRatio(), 2.0);
    EXPECT_EQ(single.height(), int(SingleWidgetView::itemHeight * 2));
    // The symbol is drawn in the type's green at the left, the text in white at the right.
    bool green = false, white = false;
    for (int y = 0; y < single.height(); ++y) {
        for (int x = 0; x < single.width(); ++x) {
            const QColor c = single.pixelColor(x, y);
            if (c.alpha() < 200) continue;
            if (x < 28 && c.green() > 150 && c.red() < 120) green = true;
            if (x > single.width() / 2 && c.red() > 230 && c.green() > 230 && c.blue() > 230) white = true;
        }
    }
    EXPECT_TRUE(green);
    EXPECT_TRUE(white);

    const std::vector<GroupedWidgetStripView::Entry> entries{{WidgetType::cpu, "42%"}, {WidgetType::memory, "61%"}};
    const QImage strip = GroupedWidgetStripView::image(entries, true, Qt::white, 1.0);
    EXPECT_EQ(strip.width(), int(GroupedWidgetStripView::widthFor(entries, true)));
    // The shared background reaches the far ends, behind both widgets.
    EXPECT_GT(strip.pixelColor(2, strip.height() / 2).alpha(), 0);
    EXPECT_GT(strip.pixelColor(strip.width() - 3, strip.height() / 2).alpha(), 0);
    EXPECT_TRUE(GroupedWidgetStripView::image({}, false, Qt::white, 1.0).isNull());
}

TEST(WidgetViews, SavesPicturesOfTheWidgets) {
    Fixture f;
    f.readings = {37, 12, 64, 81, 1.5 * 1024 * 1024, 58.0};
    f.make();
    QImage picture(560, 130, QImage::Format_ARGB32_Premultiplied);
    picture.fill(QColor(0x1e, 0x1e, 0x1e));
    QPainter p(&picture);
    std::vector<GroupedWidgetStripView::Entry> all;
    double x = 10;
    for (WidgetType t : WidgetTypes::allCases) {
        SingleWidgetView::paint(p, QPointF(x, 8), t, f.manager->value(t), false, Qt::white);
        x += SingleWidgetView::widthFor(t, f.manager->value(t), false) + 12;
        all.push_back({t, f.manager->value(t)});
    }
    GroupedWidgetStripView::paint(p, QPointF(10, 38), all, false, Qt::white);
    GroupedWidgetStripView::paint(p, QPointF(10, 68), all, true, Qt::white);
    p.fillRect(QRectF(0, 96, 560, 34), QColor(0xec, 0xec, 0xec));
    GroupedWidgetStripView::paint(p, QPointF(10, 102), all, true, QColor(0x1d, 0x1d, 0x1f));
    p.end();
    EXPECT_TRUE(picture.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/menu-bar-widgets.png")));

    // The live views follow the manager.
    SingleWidgetView view(WidgetType::cpu, *f.manager);
    const QSize before = view.sizeHint();
    f.manager->setShowLabels(true);
    EXPECT_GT(view.sizeHint().width(), before.width());
    GroupedWidgetStripView strip(*f.manager);
    EXPECT_EQ(strip.sizeHint().width(),
              int(GroupedWidgetStripView::widthFor(GroupedWidgetStripView::entries(*f.manager), true)));
}

TEST(TrayWidgetIcon, ReadingsAreShortenedToFitASquare) {
    EXPECT_EQ(TrayWidgetIcon::compactText(WidgetType::cpu, "42%"), "42");
    EXPECT_EQ(TrayWidgetIcon::compactText(WidgetType::disk, "100%"), "100");
    EXPECT_EQ(TrayWidgetIcon::compactText(WidgetType::memory, "—"), "—");
    EXPECT_EQ(TrayWidgetIcon::compactText(WidgetType::network, "1.2 MB/s"), "1.2M");
    EXPECT_EQ(TrayWidgetIcon::compactText(WidgetType::network, "340 KB/s"), "340K");
    EXPECT_EQ(TrayWidgetIcon::compactText(WidgetType::network, "12 B/s"), "12B");
    EXPECT_EQ(TrayWidgetIcon::compactText(WidgetType::network, "—"), "—");
    EXPECT_EQ(TrayWidgetIcon::compactText(WidgetType::temperature, "54°"), "54°");
}

namespace {
// The bounding box of the pixels near a colour.
QRect inkBox(const QImage& image, const QColor& color) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() < 160) continue;
            const QColor solid = QColor::fromRgbF(c.redF() / c.alphaF(), c.greenF() / c.alphaF(), c.blueF() / c.alphaF());
            if (std::abs(solid.red() - color.red()) + std::abs(solid.green() - color.green()) +
                    std::abs(solid.blue() - color.blue()) < 90)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}
}  // namespace

TEST(TrayWidgetIcon, TheReadingFillsTheSquareInTheWidgetsColourAtTraySizes) {
    for (int side : {22, 24}) {
        for (const auto& [type, text] : std::vector<std::pair<WidgetType, QString>>{
                 {WidgetType::cpu, "100%"}, {WidgetType::network, "340 KB/s"}, {WidgetType::temperature, "54°"}}) {
            SCOPED_TRACE(QString::asprintf("%d px, %s", side, qPrintable(text)).toStdString());
            // Dark tray (light ink): the dark variant of the colour; nothing drawn outside the square.
            const QImage plain = TrayWidgetIcon::image(side, type, text, false, Qt::white);
            ASSERT_EQ(plain.size(), QSize(side, side));
            const QRect value = inkBox(plain, WidgetTypes::color(type, true));
            ASSERT_FALSE(value.isEmpty());
            EXPECT_GE(value.width(), side * 0.6);   // large: most of the width
            EXPECT_GE(value.height(), side * 0.3);  // and tall figures
            EXPECT_GE(value.left(), 0);
            EXPECT_LT(value.right(), side);
            EXPECT_TRUE(inkBox(plain, Qt::white).isEmpty());  // no label

            // With labels the short name sits above the value in the tray's ink.
            const QImage labelled = TrayWidgetIcon::image(side, type, text, true, Qt::white);
            const QRect label = inkBox(labelled, Qt::white);
            const QRect lower = inkBox(labelled, WidgetTypes::color(type, true));
            ASSERT_FALSE(label.isEmpty());
            ASSERT_FALSE(lower.isEmpty());
            EXPECT_LT(label.bottom(), lower.top() + 2);
            EXPECT_GE(lower.height(), side * 0.25);
        }
    }
    // A light tray (dark ink) gets the light variant of the colour, darkened until it reads there.
    const QImage light = TrayWidgetIcon::image(22, WidgetType::memory, "61%", false, Qt::black);
    EXPECT_FALSE(inkBox(light, TrayWidgetIcon::valueColor(WidgetType::memory, Qt::black)).isEmpty());

    // Every reading keeps its hue and reads at 3:1 on its tile over the tray's real background:
    // light, dark, and the grey trays where green measured 1.6:1.
    for (const auto& [background, ink] : std::vector<std::pair<QColor, QColor>>{
             {QColor(0xe8, 0xe8, 0xe8), StatusBar::inkFor(QColor(0xe8, 0xe8, 0xe8))},
             {QColor(0x2b, 0x2b, 0x2b), StatusBar::inkFor(QColor(0x2b, 0x2b, 0x2b))},
             {QColor(0x7a, 0x7a, 0x7a), StatusBar::inkFor(QColor(0x7a, 0x7a, 0x7a))},
             {QColor(0x84, 0x84, 0x84), StatusBar::inkFor(QColor(0x84, 0x84, 0x84))}}) {
        for (WidgetType type : WidgetTypes::allCases) {
            SCOPED_TRACE((background.name() + QLatin1Char(' ') + WidgetTypes::id(type)).toStdString());
            const QColor value = TrayWidgetIcon::valueColor(type, ink, background);
            const QImage icon = TrayWidgetIcon::image(24, type, "37%", false, ink, 1.0, background);
            ASSERT_FALSE(inkBox(icon, value).isEmpty());
            const QColor tile = SystemColors::over(icon.pixelColor(12, 2), background);  // above the figures
            EXPECT_GE(SystemColors::contrast(value, tile), 3.0);
            EXPECT_NEAR(value.hslHueF(), WidgetTypes::color(type, ink.lightnessF() > 0.5).hslHueF(), 0.01);
        }
    }
}

TEST(MenuBarWidgetController, InATrayEveryWidgetIsItsOwnSquareIconWhateverTheGrouping) {
    Fixture f;
    f.readings = {37, 12, 64, 81, 1.5 * 1024 * 1024, 58.0};
    f.make();
    WidgetConfiguration all;
    all.enabledWidgets = {WidgetTypes::allCases.begin(), WidgetTypes::allCases.end()};
    all.isGrouped = true;
    all.showLabels = true;
    f.manager->setConfiguration(all);
    StatusBar bar(StatusBar::Kind::tray);
    MenuBarWidgetController controller(*f.manager, bar);
    controller.rebuild();
    EXPECT_FALSE(controller.groupedItem()->isVisible());
    QSignalSpy clicks(&bar, &StatusBar::itemClicked);
    for (WidgetType t : WidgetTypes::allCases) {
        StatusItem* item = controller.item(t);
        ASSERT_TRUE(item->isVisible());
        ASSERT_TRUE(item->squareDrawing());
        emit item->clicked(QRect(0, 0, 24, 24), Qt::LeftButton);
    }
    // Every widget's click reaches the bar's listeners (the shell opens the menu panel from there).
    ASSERT_EQ(clicks.count(), 6);
    EXPECT_EQ(clicks[0][0].value<StatusItem*>(), controller.item(WidgetType::cpu));
    EXPECT_EQ(clicks[5][0].value<StatusItem*>(), controller.item(WidgetType::temperature));

    // Each icon's tooltip names its reading and value.
    EXPECT_EQ(controller.item(WidgetType::cpu)->toolTip(), QStringLiteral("CPU 37%"));
    EXPECT_EQ(controller.item(WidgetType::temperature)->toolTip(), QStringLiteral("Temperature 58°"));

    // New readings redraw only the changed icon, and its tooltip follows.
    const int drawn = controller.drawCount();
    f.readings.cpu = 90;
    f.manager->recomputeValues();
    EXPECT_EQ(controller.drawCount(), drawn + 1);
    EXPECT_EQ(controller.item(WidgetType::cpu)->toolTip(), QStringLiteral("CPU 90%"));
}

TEST(TrayWidgetIcon, SavesPicturesOfTheTrayIcons) {
    Fixture f;
    f.readings = {37, 100, 64, 81, 340 * 1024, 58.0};
    f.make();
    // Rows: a dark, a grey and a light tray, without and with labels; each widget at 22 and 24 px.
    QImage picture(6 * 60 + 20, 6 * 34, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&picture);
    int y = 0;
    for (const auto& [background, ink] :
         std::vector<std::pair<QColor, QColor>>{{QColor(0x2b, 0x2b, 0x2b), Qt::white},
                                                {QColor(0x7a, 0x7a, 0x7a), Qt::white},
                                                {QColor(0xe8, 0xe8, 0xe8), Qt::black}}) {
        for (bool labels : {false, true}) {
            p.fillRect(QRect(0, y, picture.width(), 34), background);
            int x = 10;
            for (WidgetType t : WidgetTypes::allCases) {
                p.drawImage(QPoint(x, y + 6),
                            TrayWidgetIcon::image(22, t, f.manager->value(t), labels, ink, 1.0, background));
                p.drawImage(QPoint(x + 26, y + 5),
                            TrayWidgetIcon::image(24, t, f.manager->value(t), labels, ink, 1.0, background));
                x += 60;
            }
            y += 34;
        }
    }
    p.end();
    EXPECT_TRUE(picture.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/tray-widget-icons.png")));
}
