// Under a compositor that draws shadows (xcompmgr -c; picom with shadows where it is installed)
// our borderless windows change the screen only where they draw, give or take a small margin: no
// grey slab over a window's empty part, no ghost once it has gone. Screenshots before and after go
// to QUORVIN_TEST_OUTPUT/shadows-*.png.
#include "App/AppDelegate.h"
#include "App/MenuPanelController.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/Screens.h"
#include "Platform/Ui/StatusBar.h"
#include "Platform/X11/Compositing.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Source/Features/MenuBarPet/MenuBarPetController.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "TestSupport.h"
#include "Views/Clipboard/ClipboardCompositeRootView.h"
#include "Views/Clipboard/ClipboardPopupHostingController.h"
#include "Views/Clipboard/ClipboardPopupRootView.h"
#include "Views/Clipboard/ClipboardPreviewCompositeLayer.h"
#include "Views/MenuPanel/MonitorView.h"
#include "Views/Monitor/SystemMonitorView.h"
#include "Views/Pet/PetWindow.h"
#include "Views/Shared/KeyablePopupPanel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QClipboard>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

// Xlib's macros clash with names in the headers above: include it last.
#include "X11TestSupport.h"

namespace {

const QColor kDesk(0x3c, 0x6e, 0x71);
// How far a window may reach beyond what it draws: the padding around a popup's cards.
constexpr int kWindowSlack = 16;

QImage screenShot() {
    return QGuiApplication::primaryScreen()->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
}

bool sameOutside(const QImage& a, const QImage& b, const QRegion& ignored) {
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        if (std::memcmp(p, q, size_t(a.bytesPerLine())) == 0) continue;
        for (int x = 0; x < a.width(); ++x)
            if (p[x] != q[x] && !ignored.contains(QPoint(x, y))) return false;
    }
    return true;
}

// The screen once the compositor has finished drawing a change (an entrance, a fade, a shadow):
// nothing outside `ignored` has changed for a third of a second. After 5 s, the screen as it is.
QImage settledScreenShot(const QRegion& ignored = {}) {
    QImage last = screenShot();
    QElapsedTimer still;
    still.start();
    QElapsedTimer total;
    total.start();
    while (still.elapsed() < 330 && total.elapsed() < 5000) {
        TestSupport::spin(40);
        QImage now = screenShot();
        if (!sameOutside(last, now, ignored)) still.restart();
        last = std::move(now);
    }
    return last;
}

struct Compositor {
    const char* name;
    QStringList command;
    int margin;  // how far from a drawing the screen may change (anti-aliasing)
    bool framed = false;  // with a window manager that frames our windows (openbox)
};

bool differs(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b)) > 12;
}

// The pixels that differ between two screenshots, outside `allowed`; their bounding box.
QRect changedOutside(const QImage& before, const QImage& after, const QRegion& allowed) {
    QRect box;
    for (int y = 0; y < before.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(before.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(after.constScanLine(y));
        for (int x = 0; x < before.width(); ++x)
            if (differs(a[x], b[x]) && !allowed.contains(QPoint(x, y))) box |= QRect(x, y, 1, 1);
    }
    return box;
}

// The screen as it would be with nothing on the top band: its rows copied from a plain row below.
QImage withoutBand(const QImage& shot, int bandHeight) {
    QImage desk = shot.copy();
    for (int y = 0; y < bandHeight + 16; ++y)
        std::memcpy(desk.scanLine(y), shot.constScanLine(bandHeight + 40), size_t(desk.bytesPerLine()));
    return desk;
}

QString describe(const QRect& r) { return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

// Where the pet's window is, if it shows; it walks.
QRegion petRegion() {
    const QWidget* window = MenuBarPetController::shared().window();
    return window && window->isVisible() ? QRegion(0, 0, 1 << 15, window->geometry().bottom() + 1) : QRegion();
}

// Where the bar strip is: it redraws its figures now and then, and may change.
QRegion barRegion() {
    if (QWidget* strip = StatusBar::system().stripWindow()) return QRegion(strip->geometry().adjusted(-2, -2, 2, 2));
    return {};
}

class ShadowingCompositorX11 : public ::testing::TestWithParam<Compositor> {
protected:
    void SetUp() override {
        ASSERT_NE(X11Test::display(), nullptr);
        Display* d = X11Test::display();
        // An earlier test on this server may leave a compositor or a window manager on its way out,
        // and a window manager's lists on the root; and the pointer where a popup opens (its hover
        // and tooltips would change the screen).
        ASSERT_TRUE(TestSupport::waitFor([] { return !Compositing::isActive() && !X11Test::windowManagerRuns(); }, 15000))
            << "an earlier compositor or window manager is still running";
        X11Test::clearWindowManagerLeftovers();
        XTestFakeMotionEvent(d, -1, 1, QGuiApplication::primaryScreen()->geometry().height() - 2, CurrentTime);
        XSetWindowBackground(d, DefaultRootWindow(d), (kDesk.red() << 16) | (kDesk.green() << 8) | kDesk.blue());
        XClearWindow(d, DefaultRootWindow(d));
        XFlush(d);
        const Compositor c = GetParam();
        const QString program = QStandardPaths::findExecutable(c.command.first());
        if (program.isEmpty()) GTEST_SKIP() << c.name << " is not installed";
        if (c.framed) {
            const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
            if (openbox.isEmpty()) GTEST_SKIP() << "openbox is not installed";
            windowManager_ = X11Test::startWindowManager(openbox);
            ASSERT_TRUE(windowManager_);
        }
        if (!compositorLater_) startCompositor();
        UserDefaults::standard().setBool(QStringLiteral("welcomeShown"), true);
        // It walks: its own check, unless it is there from the start.
        UserDefaults::standard().setBool(QStringLiteral("menuBarPetEnabled"), petAtLaunch_);
        AppDelegate::shared().applicationDidFinishLaunching();
        ASSERT_TRUE(TestSupport::waitFor([] { return MenuPanelController::shared().panel() != nullptr; }, 3000));
        settledScreenShot(petRegion() | barRegion());
    }
    void startCompositor() {
        const Compositor c = GetParam();
        compositor_ = X11Test::startCompositor(QStandardPaths::findExecutable(c.command.first()), c.command.mid(1));
        ASSERT_TRUE(compositor_);
    }
    void TearDown() override {
        // Gone before the next test on this server starts, however busy the machine.
        for (QProcess* process : {compositor_.get(), windowManager_.get()}) {
            if (!process) continue;
            process->terminate();
            if (!process->waitForFinished(10000)) process->kill();
            process->waitForFinished(3000);
        }
    }

    // Shows something, checks that only what it draws (in global coordinates) changed on screen
    // and that its window reaches no farther than a small margin beyond it (a compositor that
    // shadows every window darkens the rest), then hides it and checks that the screen is as before.
    void check(const char* what, const std::function<void()>& show, const std::function<QRegion()>& drawn,
               const std::function<QWidget*()>& window, const std::function<void()>& hide,
               const QRegion& alsoMoving = {}) {
        SCOPED_TRACE(what);
        const QString base = QStringLiteral(QUORVIN_TEST_OUTPUT "/shadows-") + GetParam().name + "-" + what;
        const QImage before = settledScreenShot(alsoMoving | petRegion());
        show();
        settledScreenShot(drawn() | alsoMoving);  // the entrance and the compositor's fade
        // A window may grow for an animation: it is back to its drawing once that has settled.
        auto reach = [&] {
            const int slack = kWindowSlack;
            return drawn().boundingRect().adjusted(-slack, -slack, slack, slack);
        };
        QWidget* shownWindow = window ? window() : nullptr;
        if (shownWindow) TestSupport::waitFor([&] { return reach().contains(shownWindow->frameGeometry()); }, 3000);
        const QImage shown = settledScreenShot(drawn() | alsoMoving);
        const QRegion region = drawn();
        QRegion allowed = alsoMoving;
        for (const QRect& r : region)
            allowed |= r.adjusted(-GetParam().margin, -GetParam().margin, GetParam().margin, GetParam().margin);
        shown.copy(region.boundingRect().adjusted(-60, -60, 60, 60)).save(base + ".png");
        before.copy(region.boundingRect().adjusted(-60, -60, 60, 60)).save(base + "-before.png");
        std::printf("screenshot: %s.png\n", qPrintable(base));
        const QRect stray = changedOutside(before, shown, allowed);
        EXPECT_TRUE(stray.isEmpty()) << what << " changed the screen at " << describe(stray).toStdString()
                                     << ", away from what it draws (" << describe(region.boundingRect()).toStdString()
                                     << ")";
        if (shownWindow) {
            EXPECT_TRUE(reach().contains(shownWindow->frameGeometry()))
                << what << "'s window " << describe(shownWindow->frameGeometry()).toStdString()
                << " reaches beyond what it draws (" << describe(region.boundingRect()).toStdString() << ")";
        }
        hide();
        const QImage after = settledScreenShot(alsoMoving);
        after.copy(region.boundingRect().adjusted(-60, -60, 60, 60)).save(base + "-closed.png");
        const QRect ghost = changedOutside(before, after, alsoMoving);
        EXPECT_TRUE(ghost.isEmpty()) << what << " left a ghost at " << describe(ghost).toStdString();
    }

    // Puts the pet to sleep, so that it stays put, and checks that inside its window only the pet's
    // own pixels differ from the desk.
    void checkPetAsleep(const QImage& desk) {
        MenuBarPetController& pet = MenuBarPetController::shared();
        ASSERT_NE(pet.window(), nullptr);
        pet.pet().perform(MenuBarPet::MenuAction::nap);
        const QImage asleep = settledScreenShot(barRegion());
        const QImage drawn = pet.window()->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QRect frame = pet.window()->geometry();
        asleep.copy(frame.adjusted(-60, -60, 60, 60))
            .save(QStringLiteral(QUORVIN_TEST_OUTPUT "/shadows-") + GetParam().name + "-pet-asleep.png");
        // Changed pixels away from what the pet draws (give or take a frame of its zzz).
        int stray = 0;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                bool near = false;
                for (int dy = -2; dy <= 2 && !near; ++dy)
                    for (int dx = -2; dx <= 2 && !near; ++dx)
                        near = drawn.rect().contains(x + dx, y + dy) && qAlpha(drawn.pixel(x + dx, y + dy)) > 0;
                const QPoint at = frame.topLeft() + QPoint(x, y);
                if (!near && differs(desk.pixel(at), asleep.pixel(at))) ++stray;
            }
        }
        EXPECT_LE(stray, frame.width() * frame.height() / 20)
            << "the pet's window darkens the desk where the pet does not draw (" << stray << " of "
            << frame.width() * frame.height() << " pixels)";
    }

    // The pet walks on the band: nothing changes beyond its window; then asleep, nothing inside it
    // but the pet.
    void checkPetWalkingAndAsleep(const char* name) {
        MenuBarPetController& pet = MenuBarPetController::shared();
        ASSERT_TRUE(TestSupport::waitFor([&] { return pet.window() && pet.window()->isVisible(); }, 3000));
        pet.pet().setAnimation(MenuBarPet::Animation::walk, 100);
        TestSupport::spin(3000);  // a walk
        const QImage walking = screenShot();
        const QRect frame = pet.window()->geometry();
        // The desk's own colour, from below the band; the bar strip and its shadow are left out.
        const QImage desk = withoutBand(walking, frame.height());
        const QRegion strip =
            barRegion().isEmpty() ? QRegion() : QRegion(barRegion().boundingRect().adjusted(-40, 0, 40, 40));
        walking.copy(0, 0, walking.width(), 60)
            .save(QStringLiteral(QUORVIN_TEST_OUTPUT "/shadows-") + GetParam().name + "-" + name + ".png");
        const QRect stray = changedOutside(desk, walking, QRegion(frame.adjusted(-24, 0, 24, 0)) | strip);
        EXPECT_TRUE(stray.isEmpty()) << "the walking pet changed the screen at " << describe(stray).toStdString();
        checkPetAsleep(desk);
    }

    std::unique_ptr<QProcess> compositor_;
    std::unique_ptr<QProcess> windowManager_;
    bool petAtLaunch_ = false;
    bool compositorLater_ = false;
};

QRegion globalRegion(QWidget* window, const QRegion& local) { return local.translated(window->mapToGlobal(QPoint())); }

}  // namespace

TEST_P(ShadowingCompositorX11, PopupsAndThePetChangeTheScreenOnlyWhereTheyDraw) {
    // Our own bar strip, up since the start: around it the desk shows as it is farther away (a
    // compositor paints the desk its own way).
    QWidget* strip = StatusBar::system().stripWindow();
    ASSERT_TRUE(strip);
    ASSERT_TRUE(TestSupport::waitFor([&] { return strip->isVisible(); }, 3000));
    {
        const QImage shot = screenShot();
        const QRect bar = strip->geometry();
        const QRect around = bar.adjusted(-40, 0, 0, 40).intersected(shot.rect());
        shot.copy(around.adjusted(-20, 0, 0, 20))
            .save(QStringLiteral(QUORVIN_TEST_OUTPUT "/shadows-") + GetParam().name + "-bar-strip.png");
        const QColor desk = shot.pixelColor(bar.left() - 80, bar.bottom() + 80);
        QRect stray;
        const QRegion allowed(
            bar.adjusted(-GetParam().margin, -GetParam().margin, GetParam().margin, GetParam().margin));
        for (int y = around.top(); y <= around.bottom(); ++y)
            for (int x = around.left(); x <= around.right(); ++x)
                if (!allowed.contains(QPoint(x, y)) && shot.pixelColor(x, y) != desk) stray |= QRect(x, y, 1, 1);
        EXPECT_TRUE(stray.isEmpty()) << "the bar strip (" << describe(bar).toStdString() << ") darkens the desk at "
                                     << describe(stray).toStdString();
    }

    SystemMonitorPopupController& monitor = SystemMonitorPopupController::shared();
    check(
        "monitor-popup", [&] { monitor.show(MonitorTab::memory); },
        [&] { return globalRegion(monitor.panel(), monitor.view()->cardsRegion()); }, [&] { return monitor.panel(); },
        [&] { monitor.dismiss(); }, barRegion());

    MenuPanelController& menu = MenuPanelController::shared();
    auto menuCards = [&] { return globalRegion(menu.panel(), menu.view()->cardsRegion()); };
    check(
        "menu-panel", [&] { menu.show(QRect(QPoint(600, 40), QSize(1, 1))); }, menuCards,
        [&]() -> QWidget* { return menu.panel(); }, [&] { menu.close(); }, barRegion());
    // Shown again, as it mostly is: built once, kept while hidden.
    check(
        "menu-panel-again", [&] { menu.show(QRect(QPoint(600, 40), QSize(1, 1))); }, menuCards,
        [&]() -> QWidget* { return menu.panel(); }, [&] { menu.close(); }, barRegion());

    // The clipboard popup with entries, a long one among them, opened at a place of the test's
    // choosing: without a preview, then with the long entry's preview beside it.
    ClipboardPopupController& clipboard = ClipboardPopupController::shared();
    QString longText;
    for (int i = 0; i < 30; ++i)
        longText += QString::asprintf("line %d of an entry long enough to want a preview\n", i);
    for (const QString& text : {QStringLiteral("a short entry"), longText}) {
        QGuiApplication::clipboard()->setText(text);
        ASSERT_TRUE(TestSupport::waitFor(
            [&] {
                const auto& history = ClipboardManager::shared().history();
                return !history.empty() && history.front().content.textValue() == text;
            },
            5000));
    }
    QPointF pointer = Screens::fromQt(QPointF(300, 200));
    clipboard.setPointerSourceForTesting([&] { return pointer; });
    auto clipboardDrawn = [&] {
        auto* root = qobject_cast<ClipboardCompositeRootView*>(clipboard.containerView());
        if (!root) return QRegion();
        return globalRegion(root, ClipboardPopupHostingController::regionOfPieces(root->drawnShape()));
    };
    auto clipboardWindow = [&]() -> QWidget* { return clipboard.panel(); };
    check(
        "clipboard-popup", [&] { clipboard.show(); }, clipboardDrawn, clipboardWindow, [&] { clipboard.dismiss(true); },
        barRegion());
    check(
        "clipboard-preview",
        [&] {
            clipboard.show();
            const QRectF list = *clipboard.listRectOnScreen();
            const auto& rows = clipboard.model().history();
            pointer = QPointF(list.center().x(), list.y() + list.height() - ClipboardPopupLayout::rowTop(rows, 0) -
                                                     ClipboardPopupLayout::rowHeight(rows.front()) / 2);
            clipboard.mouseMovedToRow(0);
            ASSERT_TRUE(TestSupport::waitFor(
                [&] {
                    auto* root = qobject_cast<ClipboardCompositeRootView*>(clipboard.containerView());
                    ClipboardPreviewCompositeLayer* preview = root ? root->previewLayer() : nullptr;
                    return preview && preview->isGrown() && preview->isContentResolved();
                },
                5000));
        },
        clipboardDrawn, clipboardWindow, [&] { clipboard.dismiss(true); }, barRegion());
    clipboard.setPointerSourceForTesting({});

    // The pet walks on the top band: nothing changes beyond its window, which moves a little between
    // the screenshot and the look at where it is.
    MenuBarPetController& pet = MenuBarPetController::shared();
    const int walked = 24;
    check(
        "pet",
        [&] {
            UserDefaults::standard().setBool(QStringLiteral("menuBarPetEnabled"), true);
            pet.applySetting();
            TestSupport::spin(1500);  // a walk
        },
        [&] { return pet.window() ? QRegion(pet.window()->geometry().adjusted(-walked, 0, walked, 0)) : QRegion(); },
        [&]() -> QWidget* { return pet.window(); },
        [&] {
            UserDefaults::standard().setBool(QStringLiteral("menuBarPetEnabled"), false);
            pet.applySetting();
        },
        barRegion());
}

class ShadowingCompositorPetAtLaunchX11 : public ShadowingCompositorX11 {
protected:
    void SetUp() override {
        petAtLaunch_ = true;
        ShadowingCompositorX11::SetUp();
    }
};

// The pet there from the start, its window made while the compositor runs: as it walks, nothing
// changes beyond its window, and asleep nothing inside it but the pet.
TEST_P(ShadowingCompositorPetAtLaunchX11, ThePetDarkensNothingAroundIt) { checkPetWalkingAndAsleep("pet-at-launch"); }

class ShadowingCompositorLaterX11 : public ShadowingCompositorX11 {
protected:
    // The pet there from the start; the compositor started by the test.
    void SetUp() override {
        petAtLaunch_ = true;
        compositorLater_ = true;
        ShadowingCompositorX11::SetUp();
    }
};

// A compositor started after the program (one that the session starts later than us): the pet's
// window, cut to its shape until then, darkens nothing once the compositor draws it.
TEST_P(ShadowingCompositorLaterX11, ACompositorStartedWhileThePetShows) {
    MenuBarPetController& pet = MenuBarPetController::shared();
    ASSERT_TRUE(TestSupport::waitFor([&] { return pet.window() && pet.window()->isVisible(); }, 3000));
    settledScreenShot(petRegion() | barRegion());
    ASSERT_FALSE(pet.window()->isComposited());
    startCompositor();
    ASSERT_TRUE(TestSupport::waitFor([&] { return pet.window()->isComposited(); }, 3000));
    settledScreenShot(petRegion() | barRegion());
    checkPetWalkingAndAsleep("pet-compositor-later");
}

// The menu panel is built once, here while a compositor runs, and kept: when the compositor quits
// while it is open, and when it opens after that, the desk shows around its cards, not the black
// of a translucent window that nothing draws any more.
TEST_P(ShadowingCompositorX11, TheMenuPanelShowsTheDeskAroundItsCardsOnceTheCompositorHasQuit) {
    MenuPanelController& menu = MenuPanelController::shared();
    ASSERT_TRUE(menu.panel()->testAttribute(Qt::WA_TranslucentBackground)) << "the panel was built before the compositor ran";
    auto expectDeskAround = [&](const char* when) {
        SCOPED_TRACE(when);
        ASSERT_TRUE(X11Test::waitUntilPlaced(menu.panel()));
        const QImage shot = settledScreenShot(petRegion() | barRegion());
        const QRect frame(menu.panel()->mapToGlobal(QPoint()), menu.panel()->size());
        shot.copy(frame.adjusted(-20, -20, 20, 20))
            .save(QStringLiteral(QUORVIN_TEST_OUTPUT "/shadows-") + GetParam().name + "-menu-panel-" + when + ".png");
        // Around the cards, clear of their smoothed edges, the desk as it was.
        const QRegion cards = menu.view()->cardsRegion();
        int dark = 0, around = 0;
        for (int y = 0; y < frame.height(); ++y)
            for (int x = 0; x < frame.width(); ++x) {
                if (cards.intersects(QRect(x - 3, y - 3, 7, 7))) continue;
                ++around;
                if (differs(shot.pixel(frame.topLeft() + QPoint(x, y)), kDesk.rgb())) ++dark;
            }
        EXPECT_GT(around, 0);
        EXPECT_EQ(dark, 0) << dark << " of the " << around << " pixels around the cards are not the desk";
    };
    menu.show(QRect(QPoint(600, 40), QSize(1, 1)));
    compositor_->terminate();
    ASSERT_TRUE(compositor_->waitForFinished(3000));
    ASSERT_TRUE(TestSupport::waitFor([] { return !Compositing::isActive(); }, 3000));
    expectDeskAround("compositor-quit-while-open");
    menu.close();
    menu.show(QRect(QPoint(600, 40), QSize(1, 1)));
    expectDeskAround("opened-after-compositor-quit");
    menu.close();
}

namespace {
const auto kCompositors = ::testing::Values(
    Compositor{"xcompmgr", {"xcompmgr", "-c"}, 4},
    Compositor{
        "picom", {"picom", "--backend", "xrender", "--shadow", "--no-fading-openclose", "--config", "/dev/null"}, 4});
// The same under a window manager that frames every window it manages, the popups too.
const auto kFramedCompositors = ::testing::Values(
    Compositor{"openbox_xcompmgr", {"xcompmgr", "-c"}, 4, true},
    Compositor{"openbox_picom",
               {"picom", "--backend", "xrender", "--shadow", "--no-fading-openclose", "--config", "/dev/null"},
               4,
               true});
std::string compositorName(const ::testing::TestParamInfo<Compositor>& info) { return info.param.name; }
}  // namespace

// Another program's window full screen, with the keyboard: our strip stays under it, also while the
// clipboard popup opened over it is open, and after it closes.
TEST_P(ShadowingCompositorX11, TheStripStaysUnderAFullScreenWindowWhileAPopupIsOpenOverIt) {
    QWidget* strip = StatusBar::system().stripWindow();
    ASSERT_TRUE(strip);
    ASSERT_TRUE(TestSupport::waitFor([&] { return strip->isVisible(); }, 3000));
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    XSetWindowAttributes attributes{};
    attributes.background_pixel = 0x3366cc;
    const ::Window full = XCreateWindow(other, DefaultRootWindow(other), 0, 0, unsigned(screen.width()),
                                        unsigned(screen.height()), 0, CopyFromParent, InputOutput, CopyFromParent,
                                        CWBackPixel, &attributes);
    const Atom fullScreen = XInternAtom(other, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(other, full, XInternAtom(other, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&fullScreen), 1);
    XMapRaised(other, full);
    XSync(other, False);
    // The keyboard goes to it once it shows (a window manager maps it in its own time), and the
    // popup opens only then: over the window that has the keyboard.
    const bool focused = TestSupport::waitFor([&] {
        ::Window holder = None;
        int revert = 0;
        XGetInputFocus(other, &holder, &revert);
        if (holder == full) return true;
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(other, full, &attributes) && attributes.map_state == IsViewable)
            XSetInputFocus(other, full, RevertToParent, CurrentTime);
        XSync(other, False);
        return false;
    });
    ASSERT_TRUE(focused) << "the full-screen window never had the keyboard";
    auto stripUnder = [&] {
        const ::Window fullTop = X11Test::topLevel(full);
        return X11Test::serverGeometry(fullTop) == screen &&
               X11Test::stackedBelow(X11Test::topLevel(::Window(strip->winId())), fullTop);
    };
    EXPECT_TRUE(TestSupport::waitFor(stripUnder, 5000)) << "at the start";

    ClipboardPopupController& clipboard = ClipboardPopupController::shared();
    clipboard.show();
    ASSERT_TRUE(clipboard.panel());
    ASSERT_TRUE(X11Test::waitUntilPlaced(clipboard.panel()));
    ASSERT_TRUE(TestSupport::waitFor([&] { return clipboard.panel() && clipboard.panel()->isActiveWindow(); }, 5000));
    // The popup over the full-screen window, the strip still under it, once the desktop has settled.
    const QImage open = settledScreenShot(petRegion());
    open.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/shadows-") + GetParam().name + "-full-screen-popup.png");
    EXPECT_TRUE(TestSupport::waitFor([&] {
        return X11Test::stackedBelow(X11Test::topLevel(full), X11Test::topLevel(::Window(clipboard.panel()->winId())));
    })) << "the popup under the full-screen window";
    if (GetParam().framed) {
        // One of the full-screen window's own, for the window manager that keeps it above the rest.
        const std::vector<unsigned long> transient =
            X11Test::propertyValues(::Window(clipboard.panel()->winId()), "WM_TRANSIENT_FOR", XA_WINDOW);
        EXPECT_EQ(transient, std::vector<unsigned long>{full});
    }
    EXPECT_TRUE(stripUnder()) << "while the popup is open";
    clipboard.dismiss(true);
    settledScreenShot(petRegion());
    EXPECT_TRUE(TestSupport::waitFor(stripUnder, 5000)) << "after the popup closed";
    XDestroyWindow(other, full);
    XCloseDisplay(other);
}

INSTANTIATE_TEST_SUITE_P(Compositors, ShadowingCompositorX11, kCompositors, compositorName);
INSTANTIATE_TEST_SUITE_P(Framed, ShadowingCompositorX11, kFramedCompositors, compositorName);
INSTANTIATE_TEST_SUITE_P(Compositors, ShadowingCompositorPetAtLaunchX11, kCompositors, compositorName);
INSTANTIATE_TEST_SUITE_P(Compositors, ShadowingCompositorLaterX11, kCompositors, compositorName);
