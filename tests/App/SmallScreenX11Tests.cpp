// Windows and popups on small screens: this program runs again on a private X server of each size.
#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/Screens.h"
#include "Platform/Ui/StatusBar.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "TestSupport.h"
#include "Views/Monitor/SystemMonitorView.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/KeyablePopupPanel.h"

#include <QGuiApplication>
#include <QImage>
#include <QMainWindow>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>

#include <gtest/gtest.h>

#include "X11TestSupport.h"

#include <cstdio>

namespace {

const char* kHelperVariable = "QUORVIN_TEST_SMALL_SCREEN";

QString describe(const QRect& r) { return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

// Our bar strip, as at start without a tray: windows fit below it.
QRect g_strip;

// Waits for the window to be on screen, then checks that it lies inside the work area, frame
// included, clear of our strip.
void expectFits(QWidget* window, const char* name) {
    ASSERT_TRUE(window) << name;
    ASSERT_TRUE(X11Test::waitUntilPlaced(window)) << name;
    const QRect area = Screens::workArea(window->screen());
    const QString shot = QString(QUORVIN_TEST_OUTPUT "/small-screen-%1x%2-%3%4%5.png")
                             .arg(window->screen()->geometry().width())
                             .arg(window->screen()->geometry().height())
                             .arg(QString::fromLatin1(name).replace(' ', '-'))
                             .arg(qEnvironmentVariable(kHelperVariable) == "wm" ? "-framed" : "")
                             .arg(window->devicePixelRatio() != 1 ? "@2x" : "");
    if (window->screen()->grabWindow(0).save(shot)) std::printf("screenshot: %s\n", qPrintable(shot));
    EXPECT_TRUE(area.contains(window->frameGeometry()))
        << name << ": " << describe(window->frameGeometry()).toStdString() << " on " << describe(area).toStdString();
    EXPECT_FALSE(window->frameGeometry().intersects(g_strip))
        << name << ": " << describe(window->frameGeometry()).toStdString() << " under the strip at "
        << describe(g_strip).toStdString();
}

}  // namespace

// Not a test of its own: the small-screen test runs this program again on a small X server.
TEST(SmallScreenX11Helper, EveryWindowAndPopupFits) {
    if (qEnvironmentVariableIsEmpty(kHelperVariable)) GTEST_SKIP() << "helper for SmallScreenX11";
    if (qEnvironmentVariable(kHelperVariable) == "wm") {
        ASSERT_TRUE(X11Test::waitUntilWindowManagerReady(10000));
    }
    // A strip as wide as every widget with its label makes it.
    StatusBar bar(StatusBar::Kind::strip);
    QImage widgets(560, 16, QImage::Format_ARGB32_Premultiplied);
    widgets.fill(Qt::gray);
    bar.addItem()->setImage(widgets);
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.stripWindow()->isVisible(); }, 5000));
    g_strip = bar.stripWindow()->geometry();
    QScreen* screen = QGuiApplication::primaryScreen();
    // A window manager leaves it out of the work area itself.
    if (qEnvironmentVariable(kHelperVariable) == "wm") {
        EXPECT_TRUE(
            TestSupport::waitFor([&] { return screen->availableGeometry().top() == g_strip.bottom() + 1; }, 5000))
            << describe(screen->availableGeometry()).toStdString();
    }
    EXPECT_EQ(Screens::workArea(screen).top(), g_strip.bottom() + 1);
    UserDefaults defaults{QString()};
    ToolboxWindowController toolbox(defaults);
    toolbox.show();
    expectFits(toolbox.window(), "toolbox");
    toolbox.window()->close();

    PreferencesWindowController::shared().show();
    expectFits(PreferencesWindowController::shared().window(), "settings");
    PreferencesWindowController::shared().window()->close();

    SystemMonitorPopupController& monitor = SystemMonitorPopupController::shared();
    monitor.show(MonitorTab::cpu);
    expectFits(monitor.panel(), "monitor popup");
    // Every card shows whole in the fitted popup, in the list and in Stats: the body card gives
    // up the height the screen lacks (and keeps its full height where the screen has it).
    SystemMonitorView* view = monitor.view();
    ASSERT_TRUE(view);
    for (MonitorTab tab : {MonitorTab::cpu, MonitorTab::stats}) {
        view->model().selectTab(tab);
        ASSERT_TRUE(TestSupport::waitForAnimations(monitor.panel()));  // the change of mode
        const QRect cards = view->cardsRegion().boundingRect();
        EXPECT_TRUE(view->rect().contains(cards))
            << MonitorTabs::rawValue(tab).toStdString() << ": cards " << describe(cards).toStdString()
            << " in a view of " << describe(view->rect()).toStdString();
        const int body = view->cardGlass(SystemMonitorView::CardSlot::body)->height();
        if (tab == MonitorTab::cpu && monitor.panel()->height() >= int(SystemMonitorPopupController::panelHeight)) {
            EXPECT_EQ(body, 378);
        }
    }
    monitor.dismiss();
}

TEST(SmallScreenX11, WindowsAndPopupsFitTheWorkAreaOfSmallScreens) {
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty()) GTEST_SKIP() << "xvfb-run is not installed";
    // With a window manager where one is installed: its frame has to fit too.
    const bool haveWindowManager = !QStandardPaths::findExecutable("openbox").isEmpty();
    struct Run {
        const char* size;
        bool framed;
        int scale = 1;  // a screen of twice the pixels that Qt scales to the same size
    };
    for (const Run run : {Run{"1024x768", false}, Run{"800x600", false}, Run{"1024x768", true}, Run{"1366x768", true},
                          Run{"2732x1536", true, 2}}) {
        if (run.framed && !haveWindowManager) continue;
        SCOPED_TRACE(std::string(run.size) + (run.framed ? " with a window manager" : "") +
                     (run.scale != 1 ? " at twice the scale" : ""));
        QProcess helper;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kHelperVariable, run.framed ? "wm" : "1");
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("QT_SCALE_FACTOR", QString::number(run.scale));
        helper.setProcessEnvironment(env);
        X11Test::runOnAServerOfItsOwn(helper, run.size, run.framed, "SmallScreenX11Helper.EveryWindowAndPopupFits",
                                      120000);
    }
}
