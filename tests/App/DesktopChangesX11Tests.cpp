// The desktop changes under the running program, the pet on: the tray quits and comes back, the
// window manager quits and another starts, a compositor comes and goes, the screen changes size.
// After each the program runs on with its items in the tray or on its strip, the pet on its band
// clear of them, both above another program's window over the band, and no other window of ours
// on the screen; an open menu panel goes with its item. The screen shrinks under each open window
// and popup: a window is fitted on it again, a popup closes and hands the keyboard back. Each runs
// on an X server of its own (this program again), which it may change.
#include "App/AppDelegate.h"
#include "App/MenuPanelController.h"
#include "Platform/Gui/Screens.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/System/MonitorTab.h"
#include "Platform/Ui/BarStripWindow.h"
#include "Platform/Ui/StatusBar.h"
#include "Platform/X11/Compositing.h"
#include "Source/Features/MenuBarPet/MenuBarPetController.h"
#include "Source/Features/MenuBarPet/PetSettings.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Source/Features/Onboarding/WelcomeWindowController.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Shared/PopupEntrance.h"
#include "TestSupport.h"

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

// Xlib's macros clash with names in the headers above: include it last.
#include "X11TestSupport.h"

namespace {

const char* kHelperVariable = "QUORVIN_TEST_DESKTOP_CHANGES";
const char* kShrinkVariable = "QUORVIN_TEST_SCREEN_SHRINKS";

QString describe(const QRect& r) { return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

bool viewable(WId id) {
    XWindowAttributes attributes{};
    return XGetWindowAttributes(X11Test::display(), ::Window(id), &attributes) && attributes.map_state == IsViewable;
}

// Whether the screen shows the colour there: on a fifth of the pixels at least (the strip's ends
// and gaps, around the widgets' own fill).
bool drawnIn(const QRect& rect, const QColor& color) {
    const QImage shot =
        QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height()).toImage();
    int near = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            const int distance = std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                                 std::abs(c.blue() - color.blue());
            if (distance < 30) ++near;
        }
    return near * 5 > shot.width() * shot.height();
}

// What is wrong with the open menu panel, or empty when it lies just under its item, over the
// item's middle, wholly on the screen.
QString panelOutOfPlace() {
    MenuPanelController& controller = MenuPanelController::shared();
    if (!controller.isVisible()) return "the panel closed";
    const QRect item = AppDelegate::shared().statusItem()->screenRect();
    if (item.isEmpty()) return "the item has no place";
    const QRect panel = X11Test::serverGeometry(X11Test::topLevel(::Window(controller.panel()->winId())));
    if (!QGuiApplication::primaryScreen()->geometry().contains(panel)) return "the panel off the screen at " + describe(panel);
    if (panel.top() != item.bottom() + 1 + int(MenuPanelController::gap) || panel.left() > item.center().x() ||
        panel.right() < item.center().x())
        return "the panel at " + describe(panel) + " for an item at " + describe(item);
    return {};
}

// What is out of place, or empty when the items are where `kind` says, the pet on the primary
// screen's band clear of them, both above `cover`, and no other window of ours shows.
QString outOfPlace(StatusBar::Kind kind, ::Window cover) {
    StatusBar& bar = StatusBar::system();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    if (bar.kind() != kind) return "the items are not where they belong";
    QWidget* strip = bar.stripWindow();
    std::vector<QRect> ours;
    if (kind == StatusBar::Kind::strip) {
        if (!strip || !viewable(strip->winId())) return "no strip";
        const QRect placed = X11Test::serverGeometry(strip->winId());
        if (placed.top() != screen.top() || placed.right() != screen.right())
            return "the strip at " + describe(placed) + " on a screen of " + describe(screen);
        for (StatusItem* item : bar.items())
            if (item->isVisible() && !placed.contains(item->screenRect())) return "an item off the strip";
        if (!drawnIn(placed, BarStripWindow::background)) return "the strip is not drawn";
        ours.push_back(placed);
    } else {
        if (strip) return "a strip beside the tray";
        for (StatusItem* item : bar.items()) {
            if (!item->isVisible()) continue;
            const QRect r = item->screenRect();
            if (r.isEmpty() || !screen.contains(r)) return "an item not in the tray: " + describe(r);
            ours.push_back(r);
        }
    }

    MenuBarPetController& pets = MenuBarPetController::shared();
    PetWindow* pet = pets.window();
    if (!pets.pet().isRunning() || !pet || !viewable(pet->winId())) return "no pet";
    const QRect band = pets.pet().band();
    if (band.topLeft() != screen.topLeft() || band.width() != screen.width())
        return "the pet's band " + describe(band) + " on a screen of " + describe(screen);
    const QRect petWindow = X11Test::serverGeometry(pet->winId());
    if (petWindow.top() != band.top() || !screen.contains(petWindow)) return "the pet at " + describe(petWindow);
    const QRect sprite(band.left() + pets.pet().look().petLeft, band.top(), int(MenuBarPet::petWidth), band.height());
    for (const QRect& r : ours)
        if (r.intersects(sprite)) return "the pet at " + describe(sprite) + " on our " + describe(r);

    // Above the other program's window where it lies over them.
    const ::Window coverTop = X11Test::topLevel(cover);
    const QRect covering = X11Test::serverGeometry(coverTop);
    for (QWidget* window : {static_cast<QWidget*>(pet), strip}) {
        if (!window) continue;
        const ::Window top = X11Test::topLevel(::Window(window->winId()));
        if (X11Test::serverGeometry(top).intersects(covering) && !X11Test::stackedBelow(coverTop, top))
            return (window == pet ? "the pet" : "the strip") + QString(" below another program's window");
    }
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget == strip || widget == pet || !widget->testAttribute(Qt::WA_WState_Created)) continue;
        if (!viewable(widget->winId())) continue;
        // A tray icon shows inside the tray, never on the root.
        const bool trayIcon = widget->objectName() == QLatin1String("QSystemTrayIconSys");
        if (trayIcon && kind == StatusBar::Kind::tray &&
            X11Test::topLevel(::Window(widget->winId())) != ::Window(widget->winId()))
            continue;
        return "a window of ours shows: " + widget->objectName() + " at " +
               describe(X11Test::serverGeometry(widget->winId()));
    }
    return {};
}

}  // namespace

// Not a test of its own: the desktop-changes test runs this program again on an X server of its own.
TEST(DesktopChangesX11Helper, TheProgramFollowsTheDesktop) {
    if (qEnvironmentVariableIsEmpty(kHelperVariable)) GTEST_SKIP() << "helper for DesktopChangesX11";
    ASSERT_NE(X11Test::display(), nullptr);
    ASSERT_FALSE(X11Test::windowManagerRuns());
    ASSERT_FALSE(X11Test::trayRuns());

    // Another program's window over the band, put back over it after each change.
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const ::Window cover = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1400, 120, 0, 0, 0x3366cc);
    XMapRaised(other, cover);
    XFlush(other);

    // The tray first, then the program with its pet.
    std::unique_ptr<QProcess> tray = X11Test::startTrayer();
    ASSERT_TRUE(tray);
    UserDefaults::standard().setBool(QStringLiteral("welcomeShown"), true);
    PetSettings::shared().enabled.set(true);
    AppDelegate::shared().applicationDidFinishLaunching();

    int step = 0;
    auto expectInPlace = [&](const char* after, StatusBar::Kind kind) {
        SCOPED_TRACE(after);
        // Over the whole band; short of the tray, which nothing keeps above it, so that it shows.
        const int width = QGuiApplication::primaryScreen()->geometry().width();
        XMoveResizeWindow(other, cover, 0, 0, unsigned(kind == StatusBar::Kind::tray ? width - 400 : width), 120);
        XRaiseWindow(other, cover);
        XFlush(other);
        QString wrong;
        EXPECT_TRUE(TestSupport::waitFor([&] { return (wrong = outOfPlace(kind, cover)).isEmpty(); }, 15000))
            << wrong.toStdString();
        const QString shot = QString(QUORVIN_TEST_OUTPUT "/desktop-changes-%1.png").arg(++step);
        if (QGuiApplication::primaryScreen()->grabWindow(0).save(shot))
            std::printf("screenshot after %s: %s\n", after, qPrintable(shot));
    };
    expectInPlace("the start in a tray", StatusBar::Kind::tray);

    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(X11Test::endProcess(*tray));
        expectInPlace("the tray quit", StatusBar::Kind::strip);
        tray = X11Test::startTrayer();
        ASSERT_TRUE(tray);
        expectInPlace("the tray came back", StatusBar::Kind::tray);
    }
    ASSERT_TRUE(X11Test::endProcess(*tray));
    expectInPlace("the tray quit for good", StatusBar::Kind::strip);

    if (!QStandardPaths::findExecutable("openbox").isEmpty()) {
        std::unique_ptr<QProcess> first = X11Test::startWindowManager("openbox");
        ASSERT_TRUE(first);
        expectInPlace("a window manager started", StatusBar::Kind::strip);
        std::unique_ptr<QProcess> second = X11Test::startWindowManager("openbox", {"--replace"});
        ASSERT_TRUE(second);
        ASSERT_TRUE(TestSupport::waitFor([&] { return first->state() == QProcess::NotRunning; }, 10000));
        expectInPlace("another window manager took over", StatusBar::Kind::strip);
        ASSERT_TRUE(X11Test::endProcess(*second));
        expectInPlace("the window manager quit", StatusBar::Kind::strip);
    }

    if (!QStandardPaths::findExecutable("xcompmgr").isEmpty()) {
        std::unique_ptr<QProcess> compositor = X11Test::startCompositor("xcompmgr");
        ASSERT_TRUE(compositor);
        expectInPlace("a compositor started", StatusBar::Kind::strip);
        ASSERT_TRUE(X11Test::endProcess(*compositor));
        ASSERT_TRUE(TestSupport::waitFor([] { return !Compositing::isActive(); }));
        expectInPlace("the compositor quit", StatusBar::Kind::strip);
    }

    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_TRUE(X11Test::resizeScreen(1280, 800));
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            screen = QGuiApplication::primaryScreen();
            return screen && screen->geometry().size() == QSize(1280, 800);
        },
        10000));
    expectInPlace("the screen got smaller", StatusBar::Kind::strip);
    ASSERT_TRUE(X11Test::resizeScreen(1920, 1080));
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            screen = QGuiApplication::primaryScreen();
            return screen && screen->geometry().size() == QSize(1920, 1080);
        },
        10000));
    expectInPlace("the screen got larger", StatusBar::Kind::strip);

    // And into a tray once more, on the screen as it is now.
    tray = X11Test::startTrayer();
    ASSERT_TRUE(tray);
    expectInPlace("a tray started on the changed screen", StatusBar::Kind::tray);
    X11Test::endProcess(*tray);
    expectInPlace("the tray quit once more", StatusBar::Kind::strip);

    // The menu panel open while a tray at the other end of the band comes, and while it goes: it
    // goes with its item.
    auto openPanel = [&] {
        AppDelegate::shared().openMenuPanel();
        QString wrong;
        EXPECT_TRUE(TestSupport::waitFor([&] { return (wrong = panelOutOfPlace()).isEmpty(); }, 5000))
            << "at opening: " << wrong.toStdString();
    };
    auto expectPanelFollowed = [&](const char* after, StatusBar::Kind kind) {
        QString wrong;
        EXPECT_TRUE(TestSupport::waitFor(
            [&] {
                wrong = StatusBar::system().kind() != kind ? "the items are not where they belong" : panelOutOfPlace();
                return wrong.isEmpty();
            },
            10000))
            << after << ": " << wrong.toStdString();
        EXPECT_TRUE(TestSupport::waitFor([] { return !PopupEntrance::of(MenuPanelController::shared().view()); }));
        const QString shot = QString(QUORVIN_TEST_OUTPUT "/desktop-changes-%1-panel.png").arg(++step);
        if (QGuiApplication::primaryScreen()->grabWindow(0).save(shot))
            std::printf("screenshot after %s: %s\n", after, qPrintable(shot));
        MenuPanelController::shared().close();
    };
    openPanel();
    tray = X11Test::startTrayer("left");
    ASSERT_TRUE(tray);
    expectPanelFollowed("a tray at the left started with the panel open", StatusBar::Kind::tray);
    openPanel();
    X11Test::endProcess(*tray);
    expectPanelFollowed("the tray at the left quit with the panel open", StatusBar::Kind::strip);
    XDestroyWindow(other, cover);
    XCloseDisplay(other);
}

TEST(DesktopChangesX11, TheProgramFollowsATrayAWindowManagerACompositorAndAScreenThatChange) {
    for (const char* program : {"xvfb-run", "trayer"})
        if (QStandardPaths::findExecutable(program).isEmpty()) GTEST_SKIP() << program << " is not installed";
    QProcess helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kHelperVariable, "1");
    env.insert("QT_QPA_PLATFORM", "xcb");
    helper.setProcessEnvironment(env);
    helper.setProcessChannelMode(QProcess::MergedChannels);
    helper.start("xvfb-run",
                 {"-a", "-s", "-screen 0 1920x1080x24 -nolisten tcp", QCoreApplication::applicationFilePath(),
                  "--gtest_filter=DesktopChangesX11Helper.TheProgramFollowsTheDesktop"});
    ASSERT_TRUE(helper.waitForStarted(5000));
    const bool ended = TestSupport::waitFor([&] { return helper.state() == QProcess::NotRunning; }, 240000);
    if (!ended) helper.kill();
    helper.waitForFinished(2000);
    const QByteArray output = helper.readAll();
    EXPECT_TRUE(ended && helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

// Not a test of its own: the shrinking-screen test runs this program again on an X server of its own.
TEST(DesktopChangesX11Helper, WindowsAndPopupsFollowAScreenThatShrinks) {
    if (qEnvironmentVariableIsEmpty(kShrinkVariable)) GTEST_SKIP() << "helper for DesktopChangesX11";
    const bool framed = qEnvironmentVariable(kShrinkVariable) == "wm";
    if (framed) {
        ASSERT_TRUE(X11Test::waitUntilWindowManagerReady(10000));
    }
    Display* d = X11Test::display();
    ASSERT_NE(d, nullptr);
    const ::Window root = DefaultRootWindow(d);

    // Another program's window, which has the keyboard before each opening.
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const ::Window field = XCreateSimpleWindow(other, DefaultRootWindow(other), 60, 300, 400, 200, 0, 0, 0x808080);
    XMapRaised(other, field);
    XSync(other, False);
    ASSERT_TRUE(TestSupport::waitFor([&] { return viewable(field); }, 5000));
    auto keyboardWith = [&] {
        ::Window focus = None;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        return focus;
    };

    UserDefaults::standard().setBool(QStringLiteral("welcomeShown"), true);
    AppDelegate::shared().applicationDidFinishLaunching();
    ASSERT_TRUE(TestSupport::waitFor(
        [] { return StatusBar::system().stripWindow() && StatusBar::system().stripWindow()->isVisible(); }, 10000));

    auto resize = X11Test::resizeScreenAndWait;
    // Where a window of ours is wrong, or empty: an app window wholly in the work area; a popup
    // closed, the keyboard back with the window that had it; the menu panel under its item.
    enum class Kind { window, popup, panel };
    auto wrong = [&](Kind kind, const QPointer<QWidget>& window) -> QString {
        switch (kind) {
        case Kind::window: {
            if (!window || !window->isVisible()) return "the window closed";
            const QRect area = Screens::workArea(QGuiApplication::primaryScreen());
            const QRect frame = X11Test::serverGeometry(X11Test::topLevel(::Window(window->winId())));
            return area.contains(frame) ? QString() : "the window at " + describe(frame) + " on " + describe(area);
        }
        case Kind::popup:
            if (window && window->isVisible())
                return "the popup at " + describe(X11Test::serverGeometry(X11Test::topLevel(::Window(window->winId())))) +
                       " is open";
            if (keyboardWith() != field) return QString::asprintf("the keyboard with 0x%lx", keyboardWith());
            return {};
        case Kind::panel: return panelOutOfPlace();
        }
        return {};
    };

    struct Row {
        const char* name;
        Kind kind;
        std::function<QWidget*()> open;
    };
    const Row rows[] = {
        {"welcome window", Kind::window,
         [] {
             WelcomeWindowController::shared().show();
             return WelcomeWindowController::shared().window();
         }},
        {"settings window", Kind::window,
         [] {
             PreferencesWindowController::shared().show();
             return PreferencesWindowController::shared().window();
         }},
        {"monitor popup", Kind::popup,
         [] {
             SystemMonitorPopupController::shared().show(MonitorTab::cpu);
             return static_cast<QWidget*>(SystemMonitorPopupController::shared().panel());
         }},
        {"clipboard popup", Kind::popup,
         [] {
             ClipboardPopupController::shared().show();
             return static_cast<QWidget*>(ClipboardPopupController::shared().panel());
         }},
        {"menu panel", Kind::panel,
         [] {
             AppDelegate::shared().openMenuPanel();
             return static_cast<QWidget*>(MenuPanelController::shared().panel());
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // Opened from another program's window, with the pointer near the screen's far corner.
        XSetInputFocus(other, field, RevertToParent, CurrentTime);
        XSync(other, False);
        ASSERT_TRUE(TestSupport::waitFor([&] { return keyboardWith() == field; }, 5000));
        XWarpPointer(d, None, root, 0, 0, 0, 0, 1450, 1050);
        XSync(d, False);
        const QPointer<QWidget> window = row.open();
        ASSERT_TRUE(window);
        ASSERT_TRUE(X11Test::waitUntilPlaced(window));
        const QRect opened = X11Test::serverGeometry(X11Test::topLevel(::Window(window->winId())));
        ASSERT_FALSE(QRect(0, 0, 1024, 768).contains(opened)) << "opened at " << describe(opened).toStdString();

        ASSERT_TRUE(resize(1024, 768));
        QString what;
        EXPECT_TRUE(TestSupport::waitFor([&] { return (what = wrong(row.kind, window)).isEmpty(); }, 5000))
            << "on the smaller screen: " << what.toStdString();
        // The picture once what the change exposed is drawn again.
        if (window && window->isVisible()) {
            if (row.kind == Kind::panel) {
                EXPECT_TRUE(TestSupport::waitFor([] { return !PopupEntrance::of(MenuPanelController::shared().view()); }));
            }
            X11Test::waitForServerEvents(window->winId());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
            X11Test::waitForServerEvents(window->winId());
        }
        const QString shot = QString(QUORVIN_TEST_OUTPUT "/screen-shrinks-%1%2.png")
                                 .arg(QString::fromLatin1(row.name).replace(' ', '-'))
                                 .arg(framed ? "-framed" : "");
        if (QGuiApplication::primaryScreen()->grabWindow(0).save(shot)) std::printf("screenshot: %s\n", qPrintable(shot));

        // Grown again: a window stays where it was put, the panel goes with its item again.
        ASSERT_TRUE(resize(1600, 1200));
        if (row.kind != Kind::popup) {
            EXPECT_TRUE(TestSupport::waitFor([&] { return (what = wrong(row.kind, window)).isEmpty(); }, 5000))
                << "on the larger screen again: " << what.toStdString();
        }
        if (row.kind == Kind::panel) MenuPanelController::shared().close();
        else if (window) window->close();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !window || !window->isVisible(); }, 5000));
    }
    XDestroyWindow(other, field);
    XCloseDisplay(other);
}

TEST(DesktopChangesX11, OpenWindowsAndPopupsFollowAScreenThatShrinks) {
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty()) GTEST_SKIP() << "xvfb-run is not installed";
    const bool haveWindowManager = !QStandardPaths::findExecutable("openbox").isEmpty();
    for (const bool framed : {false, true}) {
        if (framed && !haveWindowManager) continue;
        SCOPED_TRACE(framed ? "with a window manager" : "without a window manager");
        QProcess helper;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kShrinkVariable, framed ? "wm" : "1");
        env.insert("QT_QPA_PLATFORM", "xcb");
        helper.setProcessEnvironment(env);
        X11Test::runOnAServerOfItsOwn(helper, "1600x1200", framed,
                                      "DesktopChangesX11Helper.WindowsAndPopupsFollowAScreenThatShrinks", 180000);
    }
}
