#include "Platform/Core/NotificationCenter.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Ui/StatusBar.h"
#include "Source/Features/Onboarding/PixelScene.h"
#include "Source/Features/Preferences/AppSettings.h"
#include "Source/Features/Preferences/StatusIcon.h"
#include "Source/Features/Widgets/MenuBarWidgetController.h"
#include "Source/Features/Widgets/WidgetManager.h"
#include "TestSupport.h"
#include "Views/Onboarding/PixelBanner.h"
#include "Views/Preferences/AppearanceSettingsView.h"
#include "Views/Preferences/GlassPreview.h"
#include "Views/Preferences/MenuBarPreview.h"
#include "Views/Preferences/StatusIconTile.h"
#include "Views/Preferences/ToneSwatch.h"
#include "Views/Shared/AdaptiveGrid.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/PanelGlassSettings.h"
#include "Views/Shared/ShowAllButton.h"
#include "Views/Widgets/GroupedWidgetStripView.h"
#include "Views/Widgets/SingleWidgetView.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

class AppearancePane : public ::testing::Test {
protected:
    void SetUp() override {
        AppSettings::shared().statusIcon.reset();
        PanelGlassSettings::shared().tint.reset();
        PanelGlassSettings::shared().tone.reset();
        manager = std::make_unique<WidgetManager>(widgetDefaults, [] { return WidgetManager::Readings{}; });
        pane = std::make_unique<AppearanceSettingsView>(*manager, AppSettings::shared(), PanelGlassSettings::shared());
        pane->resize(700, 1400);
        pane->show();
        QObject::connect(&NotificationCenter::defaultCenter(), &NotificationCenter::posted, &context,
                         [this](const QString& name, const QVariant&) {
                             if (name == Notification::statusIconDidChange) ++iconPosts;
                         });
    }
    void TearDown() override {
        pane.reset();
        AppSettings::shared().statusIcon.reset();
        PanelGlassSettings::shared().tint.reset();
        PanelGlassSettings::shared().tone.reset();
    }

    StatusIconTile* tile(const QString& id) const {
        for (QWidget* item : pane->iconGrid()->items()) {
            auto* t = static_cast<StatusIconTile*>(item);
            if (t->id() == id) return t;
        }
        return nullptr;
    }
    void click(QAbstractButton* button) {
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    void dragSliderTo(int value) {
        QSlider* slider = pane->glassSlider();
        slider->setSliderDown(true);
        slider->setSliderPosition(value);
        slider->setSliderDown(false);
    }

    QObject context;  // ends the fixture's connections with it
    UserDefaults widgetDefaults{QString{}};
    std::unique_ptr<WidgetManager> manager;
    std::unique_ptr<AppearanceSettingsView> pane;
    int iconPosts = 0;
};

QStringList symbolIDs(std::initializer_list<const char*> names) {
    QStringList ids;
    for (const char* n : names) ids << QStringLiteral("symbol:") + n;
    return ids;
}

}  // namespace

TEST(AppearanceSettings, PercentAndResetRules) {
    EXPECT_EQ(AppearanceSettingsView::percentText(0), "0%");
    EXPECT_EQ(AppearanceSettingsView::percentText(0.9), "90%");
    EXPECT_EQ(AppearanceSettingsView::percentText(0.55), "55%");
    EXPECT_EQ(AppearanceSettingsView::percentText(0.125), "13%");  // halves away from zero
    EXPECT_EQ(AppearanceSettingsView::percentText(0.004), "0%");
    EXPECT_EQ(AppearanceSettingsView::percentText(std::numeric_limits<double>::quiet_NaN()), "55%");
    EXPECT_EQ(AppearanceSettingsView::percentText(std::numeric_limits<double>::infinity()), "55%");
    EXPECT_EQ(AppearanceSettingsView::percentText(1e308), "55%");

    EXPECT_TRUE(AppearanceSettingsView::isAtDefault(0.553, "system"));
    EXPECT_TRUE(AppearanceSettingsView::isAtDefault(0.546, "system"));
    EXPECT_FALSE(AppearanceSettingsView::isAtDefault(0.556, "system"));
    EXPECT_FALSE(AppearanceSettingsView::isAtDefault(0.55, "System"));  // the stored text, not the tone
    EXPECT_FALSE(AppearanceSettingsView::isAtDefault(0.55, "bogus"));
    EXPECT_FALSE(AppearanceSettingsView::isAtDefault(std::numeric_limits<double>::quiet_NaN(), "system"));
}

TEST_F(AppearancePane, TheSliderWritesTheTintLiveAndTheMenuPanelPaintsWithIt) {
    EXPECT_EQ(pane->percentLabel()->text(), "55%");
    EXPECT_FALSE(pane->resetButton()->isEnabled());
    const QPalette palette = pane->palette();
    // A card of the menu panel, drawn twice so that it keeps its surface.
    GlassCard card(20);
    card.resize(200, 80);
    card.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&card));
    card.grab();
    const QImage before = card.grab().toImage();

    dragSliderTo(0);
    EXPECT_EQ(PanelGlassSettings::shared().tint.value(), 0.0);
    EXPECT_EQ(pane->percentLabel()->text(), "0%");
    EXPECT_EQ(GlassCard::Appearance::current(palette).tintOpacity, 0.0);
    const QImage clear = pane->glassPreview()->grab().toImage();
    dragSliderTo(AppearanceSettingsView::sliderSteps);
    EXPECT_DOUBLE_EQ(PanelGlassSettings::shared().tint.value(), 0.9);
    EXPECT_EQ(pane->percentLabel()->text(), "90%");
    EXPECT_DOUBLE_EQ(GlassCard::Appearance::current(palette).tintOpacity, 0.9);
    EXPECT_DOUBLE_EQ(pane->glassPreview()->tint(), 0.9);
    EXPECT_NE(pane->glassPreview()->grab().toImage(), clear);
    EXPECT_NE(card.grab().toImage(), before);
    EXPECT_TRUE(pane->resetButton()->isEnabled());

    // Set elsewhere: the slider and the text follow.
    PanelGlassSettings::shared().tint.set(0.553);
    EXPECT_EQ(pane->percentLabel()->text(), "55%");
    EXPECT_FALSE(pane->resetButton()->isEnabled());
    PanelGlassSettings::shared().tint.set(0.556);
    EXPECT_EQ(pane->percentLabel()->text(), "56%");
    EXPECT_TRUE(pane->resetButton()->isEnabled());
}

TEST_F(AppearancePane, TheGlassSitsOverTheDuskLandscape) {
    GlassPreview* preview = pane->glassPreview();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pane.get()));
    EXPECT_EQ(preview->height(), 200);
    ASSERT_NE(preview->backdrop(), nullptr);
    EXPECT_EQ(preview->backdrop()->scene(), PixelScene::Theme::dusk());
    EXPECT_EQ(preview->backdrop()->geometry(), preview->rect());
    EXPECT_TRUE(TestSupport::waitFor([&] { return preview->backdrop()->isTicking(); }, 2000));
    // Beside the card the landscape shows; the card is 210 wide, centred.
    const QImage image = preview->grab().toImage();
    const double dpr = image.devicePixelRatio();
    const QColor sky = image.pixelColor(int(6 * dpr), int(6 * dpr));
    EXPECT_EQ(sky.rgb() & 0xFFFFFF, PixelScene::Theme::dusk().sky.first() & 0xFFFFFF) << sky.name().toStdString();
    const QRectF card = GlassPreview::cardRect(preview->width());
    EXPECT_DOUBLE_EQ(card.width(), 210);
    EXPECT_DOUBLE_EQ(card.center().x(), preview->width() / 2.0);
    EXPECT_GE(card.top(), 0);
    EXPECT_LE(GlassPreview::footerRect(preview->width()).bottom(), 200);
    // Off screen, the landscape stops.
    pane->hide();
    EXPECT_TRUE(TestSupport::waitFor([&] { return !preview->backdrop()->isTicking(); }, 2000));
}

TEST_F(AppearancePane, TonesAndResetToDefault) {
    ASSERT_EQ(pane->swatches().size(), 10u);
    QStringList names;
    for (ToneSwatch* s : pane->swatches()) names << s->toolTip();
    EXPECT_EQ(names, (QStringList{"System", "Graphite", "Blue", "Indigo", "Purple", "Pink", "Red", "Orange", "Green",
                                  "Teal"}));
    EXPECT_TRUE(pane->swatches()[0]->isSelected());

    click(pane->swatches()[3]);
    EXPECT_EQ(PanelGlassSettings::shared().tone.value(), "indigo");
    EXPECT_EQ(pane->toneNote()->text(), "Indigo");
    EXPECT_TRUE(pane->swatches()[3]->isSelected());
    EXPECT_FALSE(pane->swatches()[0]->isSelected());
    EXPECT_EQ(pane->glassPreview()->effectiveTone(), PanelGlass::Tone::indigo);
    click(pane->swatches()[3]);  // the selected one again stays selected
    EXPECT_TRUE(pane->swatches()[3]->isSelected());

    // A stored text that names no tone shows as system, yet Reset has something to do.
    PanelGlassSettings::shared().tone.set("chartreuse");
    EXPECT_EQ(pane->toneNote()->text(), "System");
    EXPECT_TRUE(pane->swatches()[0]->isSelected());
    EXPECT_EQ(pane->glassPreview()->effectiveTone(), PanelGlass::Tone::system);
    EXPECT_TRUE(pane->resetButton()->isEnabled());

    AppSettings::shared().statusIcon.set("symbol:cpu");
    manager->toggleWidget(WidgetType::gpu);
    dragSliderTo(100);
    click(pane->resetButton());
    EXPECT_DOUBLE_EQ(PanelGlassSettings::shared().tint.value(), 0.55);
    EXPECT_EQ(PanelGlassSettings::shared().tone.value(), "system");
    EXPECT_FALSE(pane->resetButton()->isEnabled());
    EXPECT_EQ(pane->percentLabel()->text(), "55%");
    // Neither the icon nor the widgets.
    EXPECT_EQ(AppSettings::shared().statusIcon.value(), "symbol:cpu");
    EXPECT_TRUE(manager->configuration().enabledWidgets.count(WidgetType::gpu));
}

TEST_F(AppearancePane, TheIconGridKeepsTheChoiceVisible) {
    ASSERT_EQ(StatusIcon::all().size(), 41u);
    const QStringList firstTwelve =
        symbolIDs({"gauge.with.dots.needle.67percent", "cpu", "memorychip", "waveform.path.ecg", "chart.bar.fill",
                   "chart.line.uptrend.xyaxis", "bolt.fill", "flame.fill", "leaf.fill", "sparkles", "star.fill",
                   "heart.fill"});
    EXPECT_EQ(pane->shownIconIDs(), firstTwelve + QStringList{"original"});
    EXPECT_EQ(pane->selectedIconID(), "original");
    ASSERT_NE(pane->showAllButton(), nullptr);
    EXPECT_EQ(pane->showAllButton()->title(), "Show All 41 Icons");
    EXPECT_EQ(tile("original")->toolTip(), "Quorvin");
    EXPECT_EQ(tile("symbol:cpu")->toolTip(), "cpu");

    click(tile("symbol:cpu"));
    EXPECT_EQ(AppSettings::shared().statusIcon.value(), "symbol:cpu");
    EXPECT_EQ(iconPosts, 1);
    EXPECT_EQ(pane->shownIconIDs(), firstTwelve + symbolIDs({"moon.stars.fill"}));
    EXPECT_EQ(pane->selectedIconID(), "symbol:cpu");
    // The same tile again: written again and posted again.
    click(tile("symbol:cpu"));
    EXPECT_EQ(iconPosts, 2);
    EXPECT_TRUE(tile("symbol:cpu")->isSelected());

    // Beyond the thirteenth, chosen in the expanded grid, then collapsed: it takes the last place.
    click(pane->showAllButton());
    EXPECT_EQ(pane->shownIconIDs().size(), 41);
    EXPECT_EQ(pane->showAllButton()->title(), "Show Less");
    click(tile("symbol:ladybug.fill"));
    click(pane->showAllButton());
    EXPECT_EQ(pane->shownIconIDs(), firstTwelve + symbolIDs({"ladybug.fill"}));
    EXPECT_EQ(pane->selectedIconID(), "symbol:ladybug.fill");

    // An id of no tile (a pet's silhouette) selects none and shows the first thirteen.
    AppSettings::shared().statusIcon.set("pet:ginger");
    EXPECT_EQ(pane->shownIconIDs(), firstTwelve + symbolIDs({"moon.stars.fill"}));
    EXPECT_EQ(pane->selectedIconID(), "");
}

TEST_F(AppearancePane, WidgetTogglesChangeTheBarAtOnce) {
    StatusBar bar(StatusBar::Kind::strip);
    MenuBarWidgetController controller(*manager, bar);
    manager->setGrouped(false);
    controller.rebuild();
    ASSERT_FALSE(controller.item(WidgetType::gpu)->isVisible());

    click(pane->widgetToggle(WidgetType::gpu));
    EXPECT_TRUE(manager->configuration().enabledWidgets.count(WidgetType::gpu));
    EXPECT_TRUE(pane->widgetToggle(WidgetType::gpu)->isChecked());
    EXPECT_TRUE(controller.item(WidgetType::gpu)->isVisible());  // not 100 ms later
    EXPECT_FALSE(controller.isRebuildPending());

    // Down to one widget: grouping cannot be switched; a second one enables it again.
    for (WidgetType type : {WidgetType::cpu, WidgetType::memory, WidgetType::disk, WidgetType::network})
        click(pane->widgetToggle(type));
    EXPECT_EQ(manager->configuration().enabledTypes(), std::vector<WidgetType>{WidgetType::gpu});
    EXPECT_FALSE(pane->groupToggle()->isEnabled());
    click(pane->widgetToggle(WidgetType::temperature));
    EXPECT_TRUE(pane->groupToggle()->isEnabled());

    click(pane->groupToggle());
    EXPECT_TRUE(manager->configuration().isGrouped);
    click(pane->labelsToggle());
    EXPECT_TRUE(manager->configuration().showLabels);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !controller.isRebuildPending(); }, 1000));
    EXPECT_TRUE(controller.groupedItem()->isVisible());

    // The last one off leaves an empty set; the preview says so.
    click(pane->widgetToggle(WidgetType::gpu));
    click(pane->widgetToggle(WidgetType::temperature));
    EXPECT_TRUE(manager->configuration().enabledWidgets.empty());
    auto* none = pane->menuBarPreview()->findChild<QLabel*>("noWidgets");
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->text(), "No widgets enabled");
}

TEST_F(AppearancePane, TheMenuBarPreviewShowsTheWidgetsInDeclarationOrder) {
    WidgetConfiguration configuration;
    configuration.enabledWidgets = {WidgetType::memory, WidgetType::cpu};
    configuration.isGrouped = false;
    manager->setConfiguration(configuration);
    TestSupport::spin(20);
    QWidget* area = pane->menuBarPreview()->widgetsArea();
    auto singles = area->findChildren<SingleWidgetView*>(Qt::FindDirectChildrenOnly);
    ASSERT_EQ(singles.size(), 2);
    std::sort(singles.begin(), singles.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
    EXPECT_EQ(singles[0]->type(), WidgetType::cpu);
    EXPECT_EQ(singles[1]->type(), WidgetType::memory);
    EXPECT_EQ(singles[1]->x() - (singles[0]->x() + singles[0]->width()), 12);

    // Temperature after cpu, whatever order it was enabled in.
    manager->toggleWidget(WidgetType::temperature);
    EXPECT_EQ(pane->menuBarPreview()->enabledTypes(),
              (std::vector<WidgetType>{WidgetType::cpu, WidgetType::memory, WidgetType::temperature}));

    manager->setGrouped(true);
    TestSupport::spin(20);
    EXPECT_EQ(area->findChildren<SingleWidgetView*>(Qt::FindDirectChildrenOnly).size(), 0);
    EXPECT_EQ(area->findChildren<GroupedWidgetStripView*>(Qt::FindDirectChildrenOnly).size(), 1);
}

TEST(AdaptiveGrid, ColumnsFitTheWidth) {
    EXPECT_EQ(AdaptiveGrid::columns(40, 40, 8), 1);
    EXPECT_EQ(AdaptiveGrid::columns(87, 40, 8), 1);
    EXPECT_EQ(AdaptiveGrid::columns(88, 40, 8), 2);
    EXPECT_EQ(AdaptiveGrid::columns(700, 40, 8), 14);
    EXPECT_EQ(AdaptiveGrid::columns(10, 40, 8), 1);
    EXPECT_DOUBLE_EQ(AdaptiveGrid::columnWidth(700, 14, 48, 8), (700.0 - 13 * 8) / 14);
    EXPECT_DOUBLE_EQ(AdaptiveGrid::columnWidth(87, 1, 48, 8), 48);

    AdaptiveGrid grid(40, 48, 8, 8);
    QList<QWidget*> items;
    for (int i = 0; i < 13; ++i) items << new StatusIconTile(QString::number(i), QImage(), "t");
    grid.setItems(items);
    grid.resize(300, grid.heightForWidth(300));
    grid.show();
    // 6 columns of 44-point tiles: three rows, none overlapping, all inside the grid.
    EXPECT_EQ(grid.heightForWidth(300), 3 * 44 + 2 * 8);
    for (int i = 1; i < items.size(); ++i) {
        EXPECT_TRUE(grid.rect().contains(items[i]->geometry())) << i;
        EXPECT_FALSE(items[i]->geometry().intersects(items[i - 1]->geometry())) << i;
    }

    // Stretching: the columns share the whole width and each item fills its cell.
    AdaptiveGrid stretched(138, AdaptiveGrid::stretch, 8, 8);
    for (int i = 0; i < 3; ++i) stretched.addWidget(new QLabel(QString::number(i)));
    const int row = stretched.items()[0]->sizeHint().height();
    stretched.resize(300, stretched.heightForWidth(300));
    stretched.show();
    EXPECT_EQ(stretched.heightForWidth(300), 2 * row + 8);
    EXPECT_EQ(stretched.items()[0]->geometry(), QRect(0, 0, 146, row));
    EXPECT_EQ(stretched.items()[1]->geometry(), QRect(154, 0, 146, row));
    EXPECT_EQ(stretched.items()[2]->geometry(), QRect(0, row + 8, 146, row));
}
