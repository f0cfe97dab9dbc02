// The program as a user first meets it on a real X server, in each set-up a desktop may give:
// with and without a compositor (xcompmgr), with and without a system tray (the test tray host),
// light and dark. Screenshots of the bar, the menu panel, the monitor popup on each tab, the
// clipboard popup with its pin-limit notice and the settings window go to
// QUORVIN_TEST_OUTPUT/gallery-*.png; the checks are what must hold everywhere: no window drawn
// as a black box, the desktop seen around the rounded panel, every item readable in its bar.
#include "App/AppDelegate.h"
#include "App/MenuPanelController.h"
#include "App/MerovaneApp.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Ui/StatusBar.h"
#include "Platform/X11/Compositing.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Source/Features/Clipboard/ClipboardPopupModel.h"
#include "Source/Features/System/MonitorPopupModel.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/Widgets/MenuBarWidgetController.h"
#include "Views/Monitor/SystemMonitorView.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "TestSupport.h"
#include "TestTrayHost.h"

#include <QApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

// Xlib's macros clash with names in the headers above: include it last.
#include "X11TestSupport.h"

namespace {

const QColor kDesk(0x3c, 0x6e, 0x71);  // the root window's colour: never drawn by us

struct Scene {
    bool compositor;
    bool tray;
    bool dark;
    std::string name() const {
        return std::string(compositor ? "composited" : "plain") + (tray ? "-tray" : "-strip") + (dark ? "-dark" : "-light");
    }
};

void PrintTo(const Scene& s, std::ostream* os) { *os << s.name(); }

void paintDesk() {
    Display* d = X11Test::display();
    XSetWindowBackground(d, DefaultRootWindow(d), (kDesk.red() << 16) | (kDesk.green() << 8) | kDesk.blue());
    XClearWindow(d, DefaultRootWindow(d));
    XFlush(d);
}

using TestSupport::darkPalette;

QImage grabScreen(const QRect& rect) {
    return QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height()).toImage();
}

bool near(const QColor& a, const QColor& b, int tolerance = 24) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue()) <= tolerance;
}

// The share of an image's pixels that are (nearly) black.
double blackShare(const QImage& image) {
    int black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 12) ++black;
    return double(black) / std::max(1, image.width() * image.height());
}

class GalleryX11 : public ::testing::TestWithParam<Scene> {
protected:
    void SetUp() override {
        const Scene s = GetParam();
        ASSERT_NE(X11Test::display(), nullptr) << "These tests need an X server (QT_QPA_PLATFORM=xcb).";
        paintDesk();
        if (s.compositor) {
            const QString program = QStandardPaths::findExecutable(QStringLiteral("xcompmgr"));
            if (program.isEmpty()) GTEST_SKIP() << "xcompmgr is not installed";
            compositor_ = X11Test::startCompositor(program);
            ASSERT_TRUE(compositor_);
        } else {
            ASSERT_FALSE(Compositing::isActive());
        }
        if (s.tray) {
            TestTrayHost::Options options;
            options.iconSize = 24;
            options.background = s.dark ? QColor(0x24, 0x24, 0x26) : QColor(0xec, 0xec, 0xec);
            tray_ = std::make_unique<TestTrayHost>(options);
            ASSERT_TRUE(tray_->start());
        }
        if (s.dark) QApplication::setPalette(darkPalette());
        UserDefaults::standard().setBool(QStringLiteral("welcomeShown"), true);
        MerovaneApp::setUpIcons();
        AppDelegate::shared().applicationDidFinishLaunching();
        ASSERT_NE(AppDelegate::shared().statusItem(), nullptr);
        ASSERT_EQ(StatusBar::system().kind(), s.tray ? StatusBar::Kind::tray : StatusBar::Kind::strip);
        ASSERT_TRUE(TestSupport::waitFor([] { return !AppDelegate::shared().statusItem()->screenRect().isEmpty(); }, 5000));
        ASSERT_TRUE(TestSupport::waitFor([] { return MenuPanelController::shared().panel() != nullptr; }, 3000));
        TestSupport::spin(500);  // first samples and paints
    }

    void TearDown() override {
        if (compositor_) {
            compositor_->terminate();
            compositor_->waitForFinished(3000);
        }
    }

    QString file(const char* what) const {
        return QStringLiteral(QUORVIN_TEST_OUTPUT "/gallery-") + what + "-" + QString::fromStdString(GetParam().name()) +
               ".png";
    }

    // The bar at the top right: our strip or the tray host's panel.
    QRect barRect() const {
        if (tray_) return tray_->panelScreenRect();
        return StatusBar::system().stripWindow()->geometry();
    }

    // A rounded popup is never a black box, and its corners show what lies behind it: cut to
    // shape, or drawn through by the compositor.
    static void expectCutToShape(const QImage& window, const char* what) {
        EXPECT_LT(blackShare(window), 0.2) << what << " is drawn as a black box";
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        const QColor desk = grabScreen(QRect(screen.left() + 2, screen.bottom() - 2, 1, 1)).pixelColor(0, 0);
        for (const QPoint corner : {QPoint(0, 0), QPoint(window.width() - 1, 0), QPoint(0, window.height() - 1),
                                    QPoint(window.width() - 1, window.height() - 1)}) {
            EXPECT_TRUE(near(window.pixelColor(corner), desk, 40))
                << what << " corner " << corner.x() << "," << corner.y() << " is "
                << window.pixelColor(corner).name().toStdString();
        }
    }

    std::unique_ptr<QProcess> compositor_;
    std::unique_ptr<TestTrayHost> tray_;
};

}  // namespace

TEST_P(GalleryX11, TheBarAndTheMenuPanel) {
    const Scene s = GetParam();
    StatusItem* item = AppDelegate::shared().statusItem();
    // Every item of ours is readable in its bar: drawn, and not in black on a dark bar.
    const QImage bar = grabScreen(barRect());
    EXPECT_TRUE(bar.save(file("bar")));
    const QImage icon = grabScreen(item->screenRect());
    const QColor ink = StatusBar::system().ink();
    int inked = 0;
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            if (near(icon.pixelColor(x, y), ink, 90)) ++inked;
    EXPECT_GE(inked, 12) << "the status icon is not drawn in the bar's ink";
    if (s.tray) {
        for (WidgetType t : {WidgetType::cpu, WidgetType::memory, WidgetType::disk, WidgetType::network})
            EXPECT_TRUE(MenuBarWidgetController::shared().item(t)->isVisible());
    }

    // A click on a widget opens the menu panel too.
    StatusItem* widget = s.tray ? MenuBarWidgetController::shared().item(WidgetType::cpu)
                                : MenuBarWidgetController::shared().groupedItem();
    ASSERT_TRUE(widget->isVisible());
    X11Test::click(widget->screenRect().center());
    MenuPanelController& panel = MenuPanelController::shared();
    ASSERT_TRUE(TestSupport::waitFor([&] { return panel.isVisible(); }, 3000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel.panel()));
    TestSupport::spin(700);  // the entrance
    const QRect frame = panel.panel()->frameGeometry();
    const QRect shot = frame.united(barRect()).adjusted(-12, 0, 0, 12) & QGuiApplication::primaryScreen()->geometry();
    EXPECT_TRUE(grabScreen(shot).save(file("menu-panel")));

    const QImage window = grabScreen(frame);
    EXPECT_LT(blackShare(window), 0.2) << "the menu panel is drawn as a black box";
    // The rounded corners show the desk (as a compositor paints it: look where no window is):
    // cut to shape, or drawn through by the compositor.
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QColor desk = grabScreen(QRect(screen.left() + 2, screen.bottom() - 2, 1, 1)).pixelColor(0, 0);
    EXPECT_TRUE(near(window.pixelColor(0, 0), desk, 40)) << window.pixelColor(0, 0).name().toStdString();
    EXPECT_TRUE(near(window.pixelColor(window.width() - 1, window.height() - 1), desk, 40));
    EXPECT_FALSE(near(window.pixelColor(window.width() / 2, 40), desk, 40));
    panel.close();
}

TEST_P(GalleryX11, TheMonitorPopupOnEveryTab) {
    SystemMonitorPopupController& monitor = SystemMonitorPopupController::shared();
    monitor.show(MonitorTab::cpu);
    ASSERT_NE(monitor.panel(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(monitor.panel()));
    for (MonitorTab tab : MonitorTabs::allCases) {
        monitor.view()->model().selectTab(tab);
        TestSupport::spin(700);  // the entrance, then the tab's own animation
        const QImage window = grabScreen(monitor.panel()->frameGeometry());
        const QString name = QStringLiteral("monitor-") + MonitorTabs::rawValue(tab).toLower();
        EXPECT_TRUE(window.save(file(name.toUtf8().constData())));
        expectCutToShape(window, name.toUtf8().constData());
    }
    monitor.dismiss();
}

TEST_P(GalleryX11, TheClipboardPopupWithItsPinLimitNotice) {
    ClipboardPopupController& popup = ClipboardPopupController::shared();
    popup.show();
    ASSERT_NE(popup.panel(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(popup.panel()));
    popup.model().showPinLimitNotice();
    TestSupport::spin(700);
    const QImage window = grabScreen(popup.panel()->frameGeometry());
    EXPECT_TRUE(window.save(file("clipboard-popup")));
    EXPECT_LT(blackShare(window), 0.2) << "the clipboard popup is drawn as a black box";
    popup.dismiss(true);
}

TEST_P(GalleryX11, TheSettingsWindow) {
    PreferencesWindowController& settings = PreferencesWindowController::shared();
    PreferencesRouter::shared().setSelectedTab(PreferencesTab::clipboard);
    settings.show();
    ASSERT_NE(settings.window(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings.window()));
    TestSupport::spin(600);
    const QImage window = grabScreen(settings.window()->frameGeometry());
    EXPECT_TRUE(window.save(file("settings")));
    EXPECT_LT(blackShare(window), 0.2) << "the settings window is drawn as a black box";
    // The window and its text follow the appearance.
    const bool darkWindow = qGray(window.pixel(window.width() - 40, window.height() - 40)) < 128;
    EXPECT_EQ(darkWindow, GetParam().dark);
    // Its icon is the program's own.
    EXPECT_FALSE(settings.window()->windowIcon().isNull());
}

INSTANTIATE_TEST_SUITE_P(Setups, GalleryX11,
                         ::testing::Values(Scene{false, false, false}, Scene{false, false, true},
                                           Scene{false, true, false}, Scene{false, true, true},
                                           Scene{true, false, false}, Scene{true, false, true},
                                           Scene{true, true, false}, Scene{true, true, true}),
                         [](const ::testing::TestParamInfo<Scene>& info) {
                             std::string name = info.param.name();
                             for (char& ch : name)
                                 if (ch == '-') ch = '_';
                             return name;
                         });
