#include "PetTestSupport.h"

#include "Platform/X11/X11FrontWindow.h"
#include "Source/Features/MenuBarPet/MenuBarPetController.h"
#include "TestSupport.h"
#include "Views/Pet/PetWindow.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QMouseEvent>
#include <QProcess>
#include <QScopeGuard>
#include <QScreen>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

#include <xcb/shape.h>
#include <xcb/xcb.h>

#include "X11TestSupport.h"

#include <X11/extensions/Xrandr.h>

namespace {

using Animation = PetSprite::Animation;

xcb_connection_t* connection() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// A plain window under the band that counts the presses it gets.
class Underneath : public QWidget {
public:
    int presses = 0;
    Underneath() : QWidget(nullptr, Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint) {}

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

// Counts the server's reports to one window that reach Qt: of its changes (ConfigureNotify) and of
// its exposures.
struct ServerReports : QAbstractNativeEventFilter {
    xcb_window_t window;
    int configures = 0;
    int exposures = 0;
    explicit ServerReports(WId id) : window(xcb_window_t(id)) { qApp->installNativeEventFilter(this); }
    ~ServerReports() override { qApp->removeNativeEventFilter(this); }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const uint8_t kind = event->response_type & ~0x80;
        if (kind == XCB_CONFIGURE_NOTIFY &&
            reinterpret_cast<const xcb_configure_notify_event_t*>(event)->window == window)
            ++configures;
        if (kind == XCB_EXPOSE && reinterpret_cast<const xcb_expose_event_t*>(event)->window == window) ++exposures;
        return false;
    }
};

// The window's top-left corner as the X server has it, asked through another connection.
QPoint serverPlace(WId window) {
    Display* d = X11Test::display();
    int x = 0, y = 0;
    ::Window child = 0;
    XTranslateCoordinates(d, ::Window(window), DefaultRootWindow(d), 0, 0, &x, &y, &child);
    return QPoint(x, y);
}

struct RealRig : PetRig {
    QtDisplays realDisplays;
    std::unique_ptr<MenuBarPetController> controller;
    RealRig() {
        pet.reset();
        controller = std::make_unique<MenuBarPetController>(
            MenuBarPet::Environment{clock, random, realDisplays, front, settings, [this] { return cpu; }, false},
            [] {});
        controller->applySetting();
        p().setX(600);
        p().setDirection(1);
        p().setAnimation(Animation::sit, 1000);
        tick();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(controller->window()));
        settle();
    }
    // Waits until the window stands where the pet is (the X server answers moves later).
    void settle() {
        const QRect want = PetWindow::frameFor(p().look());
        EXPECT_TRUE(TestSupport::waitFor([&] { return controller->window()->geometry() == want; }, 2000));
    }
    MenuBarPet& p() { return controller->pet(); }
    void tick() {
        clock.advance(MenuBarPet::tickInterval);
        p().tick();
        QApplication::processEvents();
    }
    QPoint petPoint(int dx) const { return controller->window()->geometry().topLeft() + QPoint(PetWindow::margin + dx, 12); }
};

std::vector<QRect> shapeRects(WId window, xcb_shape_kind_t kind) {
    xcb_connection_t* c = connection();
    xcb_shape_get_rectangles_reply_t* reply =
        xcb_shape_get_rectangles_reply(c, xcb_shape_get_rectangles(c, xcb_window_t(window), kind), nullptr);
    std::vector<QRect> rects;
    if (!reply) return rects;
    xcb_rectangle_t* r = xcb_shape_get_rectangles_rectangles(reply);
    for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(reply); ++i)
        rects.emplace_back(r[i].x, r[i].y, r[i].width, r[i].height);
    std::free(reply);
    return rects;
}

std::vector<QRect> inputRects(WId window) { return shapeRects(window, XCB_SHAPE_SK_INPUT); }

QRegion boundingShape(WId window) {
    QRegion shape;
    for (const QRect& r : shapeRects(window, XCB_SHAPE_SK_BOUNDING)) shape += r;
    return shape;
}

void setCardinals(xcb_window_t window, const char* property, xcb_atom_t type, const std::vector<uint32_t>& values) {
    xcb_connection_t* c = connection();
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(property)), property), nullptr);
    if (values.empty())
        xcb_delete_property(c, window, atom->atom);
    else
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom->atom, type, 32, uint32_t(values.size()), values.data());
    std::free(atom);
    xcb_flush(c);
}

uint32_t atomNamed(const char* name) {
    xcb_connection_t* c = connection();
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(strlen(name)), name), nullptr);
    const uint32_t value = atom->atom;
    std::free(atom);
    return value;
}

xcb_window_t rootWindow() { return xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root; }

}  // namespace

TEST(PetWindowX11, AnUnmanagedWindowOnTheBandThatNeverTakesFocus) {
    RealRig rig;
    PetWindow* w = rig.controller->window();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(rig.p().band(), QRect(screen.left(), screen.top(), screen.width(), 24));
    EXPECT_EQ(w->geometry(), QRect(600 - PetWindow::margin, 0, PetWindow::windowWidth, 24));
    xcb_connection_t* c = connection();
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, xcb_window_t(w->winId())), nullptr);
    ASSERT_NE(attributes, nullptr);
    EXPECT_TRUE(attributes->override_redirect);
    std::free(attributes);
    // It takes the pointer over the pet widened by 2 points, the band's full height.
    EXPECT_EQ(inputRects(w->winId()), (std::vector<QRect>{PetWindow::petArea(24)}));
    // It says it has no frame, and a step along the band is one configure request.
    xcb_get_property_reply_t* extents = xcb_get_property_reply(
        c, xcb_get_property(c, 0, xcb_window_t(w->winId()), atomNamed("_NET_FRAME_EXTENTS"), XCB_ATOM_CARDINAL, 0, 4),
        nullptr);
    ASSERT_NE(extents, nullptr);
    ASSERT_EQ(xcb_get_property_value_length(extents), 16);
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(extents));
    EXPECT_EQ(std::vector<uint32_t>(values, values + 4), (std::vector<uint32_t>{0, 0, 0, 0}));
    std::free(extents);
    rig.p().setX(650);
    rig.tick();
    rig.settle();
    // Steps of a walk go without the server's reports of them, each of which Qt would answer with a
    // round trip: Qt has the new place at once, the server a moment later.
    {
        ServerReports reports(w->winId());
        for (int x = 660; x <= 700; x += 10) {
            rig.p().setX(x);
            rig.tick();
            EXPECT_EQ(w->geometry().topLeft(), QPoint(x - PetWindow::margin, 0));
        }
        ASSERT_TRUE(TestSupport::waitFor([&] { return serverPlace(w->winId()) == w->geometry().topLeft(); }, 2000));
        ASSERT_TRUE(X11Test::waitForServerEvents(w->winId()));
        EXPECT_EQ(reports.configures, 0);
    }
    // Without a compositor a walk cuts the window to each new silhouette. The server keeps the
    // window's pixels and each new frame is sent whole with its shape: no exposures come back, each
    // of which would wake the program and cost the server a report.
    ASSERT_FALSE(w->isComposited());
    {
        ServerReports reports(w->winId());
        rig.p().setAnimation(Animation::walk, 100);
        QRegion lastShape = w->shape();
        int shapes = 0;
        for (int i = 0; i < 12; ++i) {
            rig.tick();
            if (w->shape() != lastShape) ++shapes;
            lastShape = w->shape();
        }
        EXPECT_GE(shapes, 3);
        EXPECT_TRUE(TestSupport::waitFor([&] { return boundingShape(w->winId()) == w->shape(); }, 2000));
        ASSERT_TRUE(X11Test::waitForServerEvents(w->winId()));
        EXPECT_EQ(reports.exposures, 0);
        EXPECT_TRUE(w->mask().isEmpty());  // Qt's mask would send each repaint as a piece per row
        rig.p().setAnimation(Animation::sit, 1000);
    }
    // Hidden and shown again, it maps, and goes on moving where it is sent.
    w->hide();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !w->windowHandle()->isExposed(); }, 2000));
    w->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    rig.p().setX(650);
    rig.tick();
    rig.settle();
    EXPECT_TRUE(
        TestSupport::waitFor([&] { return serverPlace(w->winId()) == QPoint(650 - PetWindow::margin, 0); }, 2000));

    // A click on the pet reaches it and takes no focus; a click in the window beside the pet
    // goes to what lies below.
    Underneath below;
    below.setGeometry(500, 0, 300, 60);
    below.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&below));
    w->raise();
    QApplication::processEvents();
    X11Test::click(rig.petPoint(16));
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.p().animation() == Animation::love; }, 2000));
    EXPECT_EQ(QGuiApplication::focusWindow(), nullptr);
    EXPECT_EQ(below.presses, 0);
    X11Test::click(rig.petPoint(-PetWindow::margin + 1));
    ASSERT_TRUE(TestSupport::waitFor([&] { return below.presses == 1; }, 2000));
}

TEST(PetWindowX11, HoveringShowsTheHeartAndADragCarriesThePet) {
    RealRig rig;
    Display* d = X11Test::display();
    XTestFakeMotionEvent(d, -1, 5, 500, CurrentTime);
    XFlush(d);
    QTest::qWait(50);
    rig.tick();
    EXPECT_FALSE(rig.p().isHovered());
    XTestFakeMotionEvent(d, -1, rig.petPoint(16).x(), rig.petPoint(16).y(), CurrentTime);
    XFlush(d);
    ASSERT_TRUE(TestSupport::waitFor([&] {
        rig.tick();
        return rig.p().isHovered();
    }, 2000));
    EXPECT_TRUE(rig.p().heart().isShown());
    // The pet walks away from under a still pointer: the heart goes.
    rig.p().setX(900);
    ASSERT_TRUE(TestSupport::waitFor([&] {
        rig.tick();
        return !rig.p().isHovered();
    }, 2000));

    // A real drag: press over the pet, move, release. The press goes through another connection,
    // so the window must be in its new place on the server first.
    rig.p().setX(600);
    rig.tick();
    const auto window = ::Window(rig.controller->window()->winId());
    ASSERT_TRUE(TestSupport::waitFor([&] {
        int x = 0, y = 0;
        ::Window child = 0;
        XTranslateCoordinates(d, window, DefaultRootWindow(d), 0, 0, &x, &y, &child);
        return x == 600 - PetWindow::margin;
    }, 2000));
    const QPoint start = rig.petPoint(16);
    XTestFakeMotionEvent(d, -1, start.x(), start.y(), CurrentTime);
    XTestFakeButtonEvent(d, 1, True, CurrentTime);
    XFlush(d);
    QTest::qWait(50);
    for (int dx = 10; dx <= 100; dx += 10) {
        XTestFakeMotionEvent(d, -1, start.x() + dx, start.y(), CurrentTime);
        XFlush(d);
        QTest::qWait(10);
    }
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.p().isDragging() && rig.p().x() >= 699; }, 2000));
    EXPECT_EQ(rig.p().animation(), Animation::dangle);
    // The window follows at once; the X server confirms the place a moment later.
    EXPECT_TRUE(TestSupport::waitFor([&] { return rig.controller->window()->x() == 700 - PetWindow::margin; }, 2000));
    XTestFakeButtonEvent(d, 1, False, CurrentTime);
    XFlush(d);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !rig.p().isDragging(); }, 2000));
    EXPECT_EQ(rig.p().animation(), Animation::sit);
    EXPECT_DOUBLE_EQ(rig.p().x(), 700);
}

TEST(PetWindowX11, TheScreensHaveStableIds) {
    QtDisplays displays;
    const std::vector<DisplayInfo> screens = displays.screens();
    ASSERT_FALSE(screens.empty());
    EXPECT_EQ(screens.front().frame, QGuiApplication::primaryScreen()->geometry());
    EXPECT_EQ(screens.front().id, QGuiApplication::primaryScreen()->name());
    EXPECT_FALSE(screens.front().notch.has_value());
}

TEST(X11FrontWindowTest, TheActiveWindowAndItsApplicationsTopWindow) {
    X11FrontWindow front;
    const xcb_window_t root = rootWindow();
    // No window manager, whatever one that ran before left on the root.
    setCardinals(root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {});
    setCardinals(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {});
    EXPECT_FALSE(front.frame().has_value());  // no window manager says which window is active

    QWidget normal, dock;
    normal.setGeometry(200, 150, 400, 300);
    dock.setGeometry(0, 700, 300, 40);
    normal.show();
    dock.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&normal));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dock));
    const uint32_t pid = uint32_t(QCoreApplication::applicationPid());
    const auto n = xcb_window_t(normal.winId()), k = xcb_window_t(dock.winId());
    for (xcb_window_t window : {n, k}) setCardinals(window, "_NET_WM_PID", XCB_ATOM_CARDINAL, {pid});
    setCardinals(k, "_NET_WM_WINDOW_TYPE", XCB_ATOM_ATOM, {atomNamed("_NET_WM_WINDOW_TYPE_DOCK")});
    setCardinals(n, "_NET_FRAME_EXTENTS", XCB_ATOM_CARDINAL, {2, 2, 20, 2});

    setCardinals(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {n});
    const QRect inner = normal.geometry();
    EXPECT_EQ(front.frame(), inner.adjusted(-2, -20, 2, 2));
    // A panel of the application is active: its topmost normal window counts.
    setCardinals(root, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW, {n, k});
    setCardinals(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {k});
    EXPECT_EQ(front.frame(), inner.adjusted(-2, -20, 2, 2));
    // Minimised: none.
    setCardinals(n, "_NET_WM_STATE", XCB_ATOM_ATOM, {atomNamed("_NET_WM_STATE_HIDDEN")});
    EXPECT_FALSE(front.frame().has_value());

    // A window manager runs, then goes and leaves its lists and its check behind.
    setCardinals(n, "_NET_WM_STATE", XCB_ATOM_ATOM, {});
    setCardinals(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {n});
    auto check = std::make_unique<QWidget>();
    const auto c = xcb_window_t(check->winId());
    setCardinals(c, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {c});
    setCardinals(root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {c});
    EXPECT_EQ(front.frame(), inner.adjusted(-2, -20, 2, 2));
    check.reset();
    EXPECT_FALSE(front.frame().has_value());

    setCardinals(root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {});
    setCardinals(root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {});
    setCardinals(root, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW, {});
}

TEST(PetWindowX11, ScreensThatComeAndGoAreFollowed) {
    // Two monitors on the one output, as a second display would give, then back to one.
    QtDisplays displays;
    QSignalSpy changed(&displays, &Displays::changed);
    const QRect whole = QGuiApplication::primaryScreen()->geometry();
    X11Test::setMonitor("PETLEFT", QRect(0, 0, whole.width() / 2, whole.height()), true);
    X11Test::setMonitor("PETRIGHT", QRect(whole.width() / 2, 0, whole.width() - whole.width() / 2, whole.height()),
                        false);
    // The list is read live; the signal follows once the server's notice arrives.
    const bool split = TestSupport::waitFor([&] { return displays.screens().size() == 2 && changed.count() >= 1; }, 3000);
    X11Test::removeMonitor("PETRIGHT");
    X11Test::removeMonitor("PETLEFT");
    ASSERT_TRUE(split) << displays.screens().size() << " screens, " << changed.count() << " changes";
    ASSERT_TRUE(TestSupport::waitFor([&] { return displays.screens().size() == 1; }, 3000));
    EXPECT_EQ(displays.screens().front().frame, whole);
}

// xfwm4's own compositor draws the unmanaged windows it finds when it starts under the windows it
// frames: the pet, shown while xfwm4 replaced itself or started again, stayed hidden under
// xfce4-panel. It shows whatever happens to the window manager: replaced, quit, started, killed.
TEST(PetWindowX11, ThePetShowsWhateverBecomesOfACompositingWindowManager) {
    const QString xfwm4 = QStandardPaths::findExecutable(QStringLiteral("xfwm4"));
    if (xfwm4.isEmpty()) GTEST_SKIP() << "xfwm4 is not installed";
    Display* d = X11Test::display();
    ASSERT_NE(d, nullptr);
    // xfwm4 also leaves its work area behind, without the panel's band given back.
    auto clear = qScopeGuard([d] {
        X11Test::clearWindowManagerLeftovers();
        XDeleteProperty(d, DefaultRootWindow(d), XInternAtom(d, "_NET_WORKAREA", False));
        XSync(d, False);
    });
    std::unique_ptr<QProcess> first = X11Test::startWindowManager(xfwm4, {QStringLiteral("--compositor=on")});
    ASSERT_TRUE(first);
    auto end = qScopeGuard([&] { X11Test::endProcess(*first); });
    ASSERT_TRUE(TestSupport::waitFor([] { return Compositing::isActive(); }, 5000)) << "xfwm4 does not composite";

    // A panel on the top band, as xfce4-panel is, kept there by the window manager.
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    auto close = qScopeGuard([&] { XCloseDisplay(other); });
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const Window panel =
        XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, unsigned(screen.width()), 30, 0, 0, 0x3c6e71);
    const Atom dock = XInternAtom(other, "_NET_WM_WINDOW_TYPE_DOCK", False);
    XChangeProperty(other, panel, XInternAtom(other, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dock), 1);
    const long strut[12] = {0, 0, 30, 0, 0, 0, 0, 0, 0, screen.width() - 1, 0, 0};
    XChangeProperty(other, panel, XInternAtom(other, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(strut), 12);
    XMapWindow(other, panel);
    XSync(other, False);
    ASSERT_TRUE(TestSupport::waitFor([&] { return X11Test::topLevel(panel) != panel; }, 5000)) << "not framed";

    RealRig rig;
    PetWindow* window = rig.controller->window();
    // Every fully drawn pixel of the pet is on the screen.
    auto shows = [&] {
        const QImage pet = window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QRect at(window->mapToGlobal(QPoint(0, 0)), pet.size());
        const QImage shot = QGuiApplication::primaryScreen()
                                ->grabWindow(0, at.x(), at.y(), at.width(), at.height())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
        int drawn = 0, shown = 0;
        for (int y = 0; y < pet.height() && y < shot.height(); ++y) {
            for (int x = 0; x < pet.width() && x < shot.width(); ++x) {
                if (qAlpha(pet.pixel(x, y)) < 255) continue;
                ++drawn;
                if ((pet.pixel(x, y) & 0xffffff) == (shot.pixel(x, y) & 0xffffff)) ++shown;
            }
        }
        return drawn > 20 && shown == drawn;
    };
    ASSERT_TRUE(TestSupport::waitFor(shows, 5000)) << "not shown under the first xfwm4";

    QProcess second;
    second.start(xfwm4, {QStringLiteral("--replace"), QStringLiteral("--compositor=on")});
    auto endSecond = qScopeGuard([&] { X11Test::endProcess(second); });
    ASSERT_TRUE(TestSupport::waitFor([&] { return first->state() == QProcess::NotRunning; }, 10000));
    ASSERT_TRUE(X11Test::waitUntilWindowManagerReady());
    ASSERT_TRUE(TestSupport::waitFor([] { return Compositing::isActive(); }, 5000)) << "xfwm4 does not composite";
    EXPECT_TRUE(TestSupport::waitFor(shows, 5000)) << "hidden once xfwm4 has replaced itself";

    // Quit, then started again.
    ASSERT_TRUE(X11Test::endProcess(second));
    ASSERT_TRUE(TestSupport::waitFor([] { return !Compositing::isActive(); }, 5000));
    EXPECT_TRUE(TestSupport::waitFor(shows, 5000)) << "hidden without a window manager";
    std::unique_ptr<QProcess> third = X11Test::startWindowManager(xfwm4, {QStringLiteral("--compositor=on")});
    ASSERT_TRUE(third);
    auto endThird = qScopeGuard([&] { X11Test::endProcess(*third); });
    ASSERT_TRUE(TestSupport::waitFor([] { return Compositing::isActive(); }, 5000)) << "xfwm4 does not composite";
    EXPECT_TRUE(TestSupport::waitFor(shows, 5000)) << "hidden once xfwm4 has started again";

    // Killed.
    third->kill();
    ASSERT_TRUE(third->waitForFinished(5000));
    ASSERT_TRUE(TestSupport::waitFor([] { return !Compositing::isActive(); }, 5000));
    EXPECT_TRUE(TestSupport::waitFor(shows, 5000)) << "hidden once xfwm4 was killed";
}
