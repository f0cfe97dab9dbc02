#include "Platform/Gui/SystemColors.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/PreferencesTab.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "TestSupport.h"
#include "Source/Features/Onboarding/ChangelogWindowController.h"
#include "Views/Preferences/GeneralSettingsView.h"
#include "Views/Preferences/PowerSettingsView.h"
#include "Views/Preferences/PreferencesView.h"
#include "Views/Preferences/ZediSettingsView.h"
#include "Views/Shared/ScrollPositionKeeper.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <set>

namespace {

QStringList sidebarTitles(const PreferencesView& view) {
    QStringList titles;
    for (int i = 0; i < view.sidebar()->count(); ++i) titles << view.sidebar()->item(i)->text();
    return titles;
}

int visibleSettingsWindows() {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == "Settings") ++count;
    }
    return count;
}

void clickRow(PreferencesView& view, const QString& title) {
    QListWidget* list = view.sidebar();
    const auto items = list->findItems(title, Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1) << title.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}

bool hasInteractiveChild(const QWidget* pane) {
    return !pane->findChildren<QAbstractButton*>().isEmpty() || !pane->findChildren<QLineEdit*>().isEmpty() ||
           !pane->findChildren<QComboBox*>().isEmpty() || !pane->findChildren<QAbstractSlider*>().isEmpty() ||
           !pane->findChildren<QAbstractSpinBox*>().isEmpty() || !pane->findChildren<QAbstractItemView*>().isEmpty();
}

// A controller over its own router, so that each test starts from a fresh launch.
struct Settings {
    PreferencesRouter router;
    PreferencesWindowController controller{router};
    ~Settings() {
        if (controller.window()) controller.window()->hide();
    }
};

}  // namespace

TEST(PreferencesTab, TitlesSymbolsTintsAndTheSidebarList) {
    const QStringList titles{"General", "Appearance", "Companion", "Clipboard",       "Shortcuts",
                             "Power",   "Zedi",       "Disk Clean", "Help & Feedback", "Developer"};
    const QStringList symbols{"gearshape.fill", "paintbrush.fill",   "pawprint.fill",    "doc.on.clipboard.fill",
                              "keyboard.fill",  "bolt.fill",         "xmark.circle.fill", "internaldrive.fill",
                              "questionmark.bubble.fill", "terminal.fill"};
    const std::vector<QColor (*)(bool)> tints{SystemColors::gray, SystemColors::indigo, SystemColors::pink,
                                              SystemColors::orange, SystemColors::blue, SystemColors::yellow,
                                              SystemColors::red, SystemColors::cyan, SystemColors::teal,
                                              SystemColors::brown};
    ASSERT_EQ(PreferencesTabs::allCases.size(), 10u);
    for (size_t i = 0; i < PreferencesTabs::allCases.size(); ++i) {
        const PreferencesTab tab = PreferencesTabs::allCases[i];
        EXPECT_EQ(PreferencesTabs::rawValue(tab), titles[int(i)]);
        EXPECT_EQ(PreferencesTabs::fromRawValue(titles[int(i)]), tab);
        EXPECT_EQ(PreferencesTabs::symbol(tab), symbols[int(i)]);
        EXPECT_EQ(PreferencesTabs::tint(tab, false), tints[i](false));
        EXPECT_EQ(PreferencesTabs::tint(tab, true), tints[i](true));
    }
    // Only a title names a tab: not the case name, not another spelling.
    EXPECT_EQ(PreferencesTabs::fromRawValue("daveRovaz"), std::nullopt);
    EXPECT_EQ(PreferencesTabs::fromRawValue("general"), std::nullopt);
    EXPECT_EQ(PreferencesTabs::fromRawValue(""), std::nullopt);

    ASSERT_EQ(PreferencesTabs::visible.size(), 9u);
    for (size_t i = 0; i < PreferencesTabs::visible.size(); ++i) {
        EXPECT_EQ(PreferencesTabs::visible[i], PreferencesTabs::allCases[i]);
    }
}

TEST(PreferencesRouter, ANewLaunchStartsOnGeneralAndKeepsNothing) {
    const QStringList keysBefore = UserDefaults::standard().keys();
    {
        PreferencesRouter earlier;
        QSignalSpy changed(&earlier, &PreferencesRouter::selectedTabChanged);
        earlier.setSelectedTab(PreferencesTab::power);
        earlier.setSelectedTab(PreferencesTab::power);
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(earlier.selectedTab(), PreferencesTab::power);
    }
    EXPECT_EQ(UserDefaults::standard().keys(), keysBefore);
    Settings next;
    EXPECT_EQ(next.router.selectedTab(), PreferencesTab::general);
    next.controller.show();
    EXPECT_EQ(next.controller.view()->shownTab(), PreferencesTab::general);
    EXPECT_EQ(next.controller.view()->sidebar()->currentRow(), 0);
}

TEST(PreferencesView, TheSidebarListsNineRowsAndNeverDeveloper) {
    PreferencesRouter router;
    PreferencesView view(router);
    EXPECT_EQ(sidebarTitles(view), (QStringList{"General", "Appearance", "Companion", "Clipboard", "Shortcuts", "Power",
                                                "Zedi", "Disk Clean", "Help & Feedback"}));
    // Selecting the unlisted pane shows it but leaves no row selected, and adds none.
    router.setSelectedTab(PreferencesTab::developer);
    EXPECT_EQ(view.shownTab(), PreferencesTab::developer);
    EXPECT_EQ(view.titleLabel()->text(), "Developer");
    EXPECT_EQ(view.sidebar()->count(), 9);
    EXPECT_TRUE(view.sidebar()->selectedItems().isEmpty());
    EXPECT_FALSE(sidebarTitles(view).contains("Developer"));
}

TEST(PreferencesView, FocusOnTheSidebarChoosesNoPane) {
    PreferencesRouter router;
    router.setSelectedTab(PreferencesTab::developer);
    PreferencesView view(router);
    view.resize(1020, 640);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.activateWindow();
    view.sidebar()->setFocus(Qt::TabFocusReason);
    TestSupport::spin(20);
    EXPECT_EQ(router.selectedTab(), PreferencesTab::developer);
    EXPECT_EQ(view.titleLabel()->text(), "Developer");
    EXPECT_TRUE(view.sidebar()->selectedItems().isEmpty());
}

TEST(PreferencesView, SidebarAndRouterFollowEachOtherAtOnce) {
    PreferencesRouter router;
    PreferencesView view(router);
    view.resize(1020, 640);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.titleLabel()->text(), "General");

    clickRow(view, "Zedi");
    EXPECT_EQ(router.selectedTab(), PreferencesTab::zedi);
    EXPECT_EQ(view.titleLabel()->text(), "Zedi");
    EXPECT_NE(qobject_cast<ZediSettingsView*>(view.pane()), nullptr);

    // A caller choosing a pane while the window is up: selection, title and pane change together.
    router.setSelectedTab(PreferencesTab::power);
    EXPECT_EQ(view.sidebar()->currentItem()->text(), "Power");
    EXPECT_TRUE(view.sidebar()->currentItem()->isSelected());
    EXPECT_EQ(view.titleLabel()->text(), "Power");
    EXPECT_NE(qobject_cast<PowerSettingsView*>(view.pane()), nullptr);
    EXPECT_EQ(view.detailScrollArea()->widget(), view.pane());

    // The keyboard moves through the rows as well.
    view.sidebar()->setFocus();
    QTest::keyClick(view.sidebar(), Qt::Key_Down);
    EXPECT_EQ(router.selectedTab(), PreferencesTab::zedi);
    QTest::keyClick(view.sidebar(), Qt::Key_Home);
    EXPECT_EQ(router.selectedTab(), PreferencesTab::general);
}

TEST(PreferencesView, TheSidebarFollowsADarkAppearance) {
    PreferencesRouter router;
    PreferencesView view(router);
    const QColor lightSidebar = view.sidebarColumn()->palette().color(QPalette::Window);
    EXPECT_FALSE(SystemColors::isDark(view.sidebarColumn()->palette()));
    QPalette dark = view.palette();
    dark.setColor(QPalette::Window, QColor(0x1E, 0x1E, 0x1E));
    dark.setColor(QPalette::WindowText, Qt::white);
    view.setPalette(dark);
    const QColor darkSidebar = view.sidebarColumn()->palette().color(QPalette::Window);
    EXPECT_NE(darkSidebar, lightSidebar);
    EXPECT_TRUE(SystemColors::isDark(view.sidebarColumn()->palette()));
    EXPECT_EQ(view.sidebarColumn()->palette().color(QPalette::WindowText), QColor(Qt::white));
}

TEST(PreferencesView, EachTabChangeBuildsThePaneAfresh) {
    PreferencesRouter router;
    PreferencesView view(router);
    router.setSelectedTab(PreferencesTab::power);
    QWidget* first = view.pane();
    first->setProperty("visited", true);
    router.setSelectedTab(PreferencesTab::power);  // no change, same pane
    EXPECT_EQ(view.pane(), first);

    router.setSelectedTab(PreferencesTab::general);
    router.setSelectedTab(PreferencesTab::power);
    ASSERT_NE(qobject_cast<PowerSettingsView*>(view.pane()), nullptr);
    EXPECT_FALSE(view.pane()->property("visited").isValid());
}

TEST(PreferencesView, PanesNotYetBuiltShowOnlyTheirTitle) {
    PreferencesRouter router;
    PreferencesView view(router);
    for (PreferencesTab tab : PreferencesTabs::allCases) {
        router.setSelectedTab(tab);
        EXPECT_EQ(view.titleLabel()->text(), PreferencesTabs::title(tab));
        QWidget* pane = view.pane();
        ASSERT_NE(pane, nullptr);
        static const std::set<PreferencesTab> built{PreferencesTab::power,     PreferencesTab::zedi,
                                                    PreferencesTab::clipboard, PreferencesTab::shortcuts,
                                                    PreferencesTab::help, PreferencesTab::developer,
                                                    PreferencesTab::companion, PreferencesTab::general,
                                                    PreferencesTab::appearance, PreferencesTab::daveRovaz};
        if (built.count(tab)) {
            EXPECT_FALSE(PreferencesView::isPlaceholder(pane));
            continue;
        }
        EXPECT_TRUE(PreferencesView::isPlaceholder(pane)) << PreferencesTabs::title(tab).toStdString();
        EXPECT_FALSE(hasInteractiveChild(pane)) << PreferencesTabs::title(tab).toStdString();
    }
}

namespace {
// 1020 x 640 where the screen has room; on a narrower one (the offscreen platform's 800 pixels)
// the window opens fitted into the work area, frame included.
QSize expectedFirstSize(const QWidget* window) {
    const QRect area = window->screen()->availableGeometry();
    const QMargins frame = window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
    if (area.width() >= 1100 && area.height() >= 760) return QSize(1020, 640);
    return QSize(1020, 640).boundedTo(area.marginsRemoved(frame).size());
}
}  // namespace

TEST(PreferencesWindowController, TwoShowsLeaveOneWindowInFront) {
    Settings settings;
    EXPECT_EQ(settings.controller.window(), nullptr);
    settings.controller.show();
    QWidget* window = settings.controller.window();
    ASSERT_NE(window, nullptr);
    settings.controller.show();
    EXPECT_EQ(settings.controller.window(), window);
    EXPECT_EQ(visibleSettingsWindows(), 1);
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    EXPECT_EQ(QApplication::activeWindow(), window);
    EXPECT_EQ(window->windowTitle(), "Settings");
    ASSERT_NE(settings.controller.scrollKeeper(), nullptr);
    EXPECT_EQ(settings.controller.scrollKeeper()->window(), window);
    // Titled, closable and resizable, without a minimise button.
    EXPECT_TRUE(window->windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST(PreferencesWindowController, ClosingAndShowingAgainReturnsTheSameWindowAndPane) {
    Settings settings;
    settings.controller.show();
    QWidget* window = settings.controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    clickRow(*settings.controller.view(), "Power");
    QWidget* pane = settings.controller.view()->pane();
    pane->setProperty("visited", true);

    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    TestSupport::spin(20);  // a deferred delete would run here
    ASSERT_EQ(settings.controller.window(), window);

    settings.controller.show();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(settings.controller.view()->pane(), pane);
    EXPECT_TRUE(pane->property("visited").toBool());
    EXPECT_EQ(settings.controller.view()->sidebar()->currentItem()->text(), "Power");
    EXPECT_EQ(visibleSettingsWindows(), 1);
}

TEST(PreferencesWindowController, ACallerChoosesThePaneBeforeShowing) {
    Settings settings;
    settings.controller.build();
    settings.router.setSelectedTab(PreferencesTab::zedi);
    settings.controller.show();
    EXPECT_EQ(settings.controller.view()->titleLabel()->text(), "Zedi");
    EXPECT_NE(qobject_cast<ZediSettingsView*>(settings.controller.view()->pane()), nullptr);
}

TEST(PreferencesWindowController, TheStartUpBuildNeverShowsTheWindow) {
    {
        Settings settings;
        EXPECT_FALSE(settings.controller.buildAheadOfUse(true));  // the menu panel is up
        EXPECT_EQ(settings.controller.window(), nullptr);

        EXPECT_TRUE(settings.controller.buildAheadOfUse(false));
        QWidget* window = settings.controller.window();
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(window->isVisible());
        EXPECT_NE(settings.controller.scrollKeeper(), nullptr);
        // Laid out ahead: the sidebar already has its rows at their height.
        EXPECT_EQ(settings.controller.view()->sidebar()->count(), 9);

        EXPECT_FALSE(settings.controller.buildAheadOfUse(false));  // already built
        settings.controller.build();                                 // never a second window
        EXPECT_EQ(settings.controller.window(), window);
        EXPECT_FALSE(window->isVisible());

        // Built ahead, then shown: the same window, at its first size.
        settings.controller.show();
        EXPECT_EQ(settings.controller.window(), window);
        // Once framed: a screen too small for it fits it again with the real frame.
        TestSupport::waitFor([&] { return window->size() == expectedFirstSize(window); }, 2000);
        EXPECT_EQ(window->size(), expectedFirstSize(window));
        window->close();
        EXPECT_FALSE(settings.controller.buildAheadOfUse(false));
        EXPECT_FALSE(window->isVisible());
    }
    {
        // The delayed step asks whether the panel is visible when it fires, not when it is scheduled.
        Settings settings;
        bool panelVisible = false;
        settings.controller.scheduleBuildAheadOfUse([&] { return panelVisible; }, 30);
        panelVisible = true;
        TestSupport::spin(100);
        EXPECT_EQ(settings.controller.window(), nullptr);

        panelVisible = false;
        settings.controller.scheduleBuildAheadOfUse([&] { return panelVisible; }, 0);
        ASSERT_TRUE(TestSupport::waitFor([&] { return settings.controller.window() != nullptr; }, 2000));
        EXPECT_FALSE(settings.controller.window()->isVisible());
        EXPECT_EQ(visibleSettingsWindows(), 0);
    }
}

TEST(PreferencesWindowController, OpensAt1020By640CentredAndNeverSmallerThan720By560) {
    Settings settings;
    settings.controller.show();
    QWidget* window = settings.controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->size(), expectedFirstSize(window));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE((window->geometry().center() - area.center()).manhattanLength(), 2);

    EXPECT_EQ(window->minimumSize(), QSize(720, 560));
    window->resize(500, 300);
    EXPECT_EQ(window->size(), QSize(720, 560));
    TestSupport::spin(20);
    PreferencesView* view = settings.controller.view();
    EXPECT_GE(view->width(), 720);
    EXPECT_GE(view->height(), 560);
    EXPECT_GE(view->sidebarColumn()->width(), 180);
    EXPECT_LE(view->sidebarColumn()->width(), 220);
    EXPECT_GE(view->detailColumn()->width(), 440);

    window->resize(1600, 900);
    TestSupport::spin(20);
    EXPECT_LE(view->sidebarColumn()->width(), 220);
}

TEST(PreferencesWindowController, WhatsNewInTheGeneralPaneOpensTheChangelog) {
    Settings settings;
    settings.controller.show();
    auto* general = qobject_cast<GeneralSettingsView*>(settings.controller.view()->pane());
    ASSERT_NE(general, nullptr);
    QTest::mouseClick(general->whatsNewButton(), Qt::LeftButton);
    QWidget* changelog = ChangelogWindowController::shared().window();
    ASSERT_NE(changelog, nullptr);
    EXPECT_TRUE(changelog->isVisible());
    changelog->hide();
}

TEST(PreferencesWindowController, ScreenshotWithThePowerPane) {
    Settings settings;
    settings.router.setSelectedTab(PreferencesTab::power);
    settings.controller.show();
    QWidget* window = settings.controller.window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    TestSupport::spin(50);
    PreferencesView* view = settings.controller.view();
    EXPECT_EQ(view->sidebarColumn()->width(), 196);

    const QImage image = window->grab().toImage();
    QDir().mkpath(QUORVIN_TEST_OUTPUT);
    ASSERT_TRUE(image.save(QStringLiteral(QUORVIN_TEST_OUTPUT) + "/settings-power.png"));

    // The Power row's glyph is drawn in its yellow tint.
    QListWidget* list = view->sidebar();
    const QRect row = list->visualItemRect(list->item(5));
    const QPoint rowInWindow = list->viewport()->mapTo(window, row.topLeft());
    const double dpr = image.devicePixelRatio();
    const QColor yellow = SystemColors::yellow(SystemColors::isDark(window->palette()));
    int yellowish = 0;
    for (int x = 0; x < 40; ++x) {
        for (int y = 0; y < row.height(); ++y) {
            const QColor c = image.pixelColor(int((rowInWindow.x() + x) * dpr), int((rowInWindow.y() + y) * dpr));
            if (std::abs(c.red() - yellow.red()) < 30 && std::abs(c.green() - yellow.green()) < 30 && c.blue() < 80)
                ++yellowish;
        }
    }
    EXPECT_GT(yellowish, 40);
}
