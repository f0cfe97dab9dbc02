// A popup framed by openbox under xcompmgr -c, which keeps the shadow it settled on the frame
// before the frame was mapped until the frame's size changes: whatever mends that leaves the popup
// at the last size the program asked for, on the server too, however long the window manager
// takes, and has the compositor repaint around the frame, where it may have drawn that shadow.
// (That the shadow goes is checked with the real popups, in the shadow tests.)
#include "Platform/X11/Compositing.h"
#include "TestSupport.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QProcess>
#include <QScopeGuard>
#include <QRegion>
#include <QStandardPaths>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include <xcb/xcb.h>

// Xlib's macros clash with names in the headers above: include it last.
#include "X11TestSupport.h"

namespace {

xcb_connection_t* connection() { return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection(); }

xcb_atom_t atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection(), xcb_intern_atom(connection(), 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t a = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return a;
}

// The window's size on the X server.
QSize serverSize(xcb_window_t window) {
    xcb_get_geometry_reply_t* geometry =
        xcb_get_geometry_reply(connection(), xcb_get_geometry(connection(), window), nullptr);
    const QSize size = geometry ? QSize(geometry->width, geometry->height) : QSize();
    std::free(geometry);
    return size;
}

// Where the window is on the root, on the X server.
QRect serverRect(xcb_window_t window) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
    xcb_translate_coordinates_reply_t* place = xcb_translate_coordinates_reply(
        connection(), xcb_translate_coordinates(connection(), window, root, 0, 0), nullptr);
    const QRect rect = place ? QRect(QPoint(place->dst_x, place->dst_y), serverSize(window)) : QRect();
    std::free(place);
    return rect;
}

// Sees each X event of Qt's connection before Qt and the program's own filters do (the filter
// installed last is asked first).
class EventWatch : public QAbstractNativeEventFilter {
public:
    explicit EventWatch(std::function<void(const xcb_generic_event_t*)> see) : see_(std::move(see)) {
        qApp->installNativeEventFilter(this);
    }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type == "xcb_generic_event_t") see_(static_cast<const xcb_generic_event_t*>(message));
        return false;
    }

private:
    std::function<void(const xcb_generic_event_t*)> see_;
};

// The exposures of the root window that reach a connection of its own, as a compositor sees them.
class RootExposures {
public:
    RootExposures() : connection_(xcb_connect(nullptr, nullptr)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_EXPOSURE;
        xcb_change_window_attributes(connection_, root, XCB_CW_EVENT_MASK, &mask);
        std::free(xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }
    ~RootExposures() { xcb_disconnect(connection_); }
    // Whether the exposures received so far hold the rectangle.
    bool covered(const QRect& rect) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            if ((event->response_type & 0x7f) == XCB_EXPOSE) {
                auto* expose = reinterpret_cast<xcb_expose_event_t*>(event);
                exposed_ += QRect(expose->x, expose->y, expose->width, expose->height);
            }
            std::free(event);
        }
        return QRegion(rect).subtracted(exposed_).isEmpty();
    }

private:
    xcb_connection_t* connection_;
    QRegion exposed_;
};

struct Stall {
    const char* name;
    // Whether the window manager stops as the frame shows or once it has applied the first size the
    // program did not ask for.
    bool atTheFirstStraySize;
    int ms;
    // A size the program asks for while the window manager is stopped, and whether before the
    // program's own filters see the event.
    std::optional<QSize> resizeTo = std::nullopt;
    bool resizeFirst = false;
    // Whether the popup is hidden while the window manager is stopped, and shown again once it is
    // done with it.
    bool hidden = false;
};

class FramedPopupX11 : public ::testing::TestWithParam<Stall> {
protected:
    void SetUp() override {
        ASSERT_NE(X11Test::display(), nullptr);
        const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
        const QString xcompmgr = QStandardPaths::findExecutable(QStringLiteral("xcompmgr"));
        if (openbox.isEmpty() || xcompmgr.isEmpty()) GTEST_SKIP() << "openbox or xcompmgr is not installed";
        windowManager_ = X11Test::startWindowManager(openbox);
        ASSERT_TRUE(windowManager_);
        compositor_ = X11Test::startCompositor(xcompmgr, {QStringLiteral("-c")});
        ASSERT_TRUE(compositor_);
    }
    void TearDown() override {
        if (windowManager_) ::kill(pid_t(windowManager_->processId()), SIGCONT);
        for (QProcess* process : {compositor_.get(), windowManager_.get()}) {
            if (!process) continue;
            process->terminate();
            process->waitForFinished(3000);
        }
    }

    // Returns once the window manager has handled everything sent to it so far: it answers a
    // request to keep the window above others by writing the window's state again.
    void windowManagerCaughtUp(xcb_window_t window) {
        const xcb_atom_t state = atom("_NET_WM_STATE");
        int written = 0;
        EventWatch watch([&](const xcb_generic_event_t* event) {
            if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return;
            auto* property = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (property->window == window && property->atom == state) ++written;
        });
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = state;
        message.data.data32[0] = 1;  // add
        message.data.data32[1] = atom("_NET_WM_STATE_ABOVE");
        message.data.data32[3] = 1;  // from an application
        xcb_send_event(connection(), 0, xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(connection());
        ASSERT_TRUE(TestSupport::waitFor([&] { return written > 0; }, 5000)) << "the window manager did not answer";
    }

    std::unique_ptr<QProcess> windowManager_;
    std::unique_ptr<QProcess> compositor_;
};

}  // namespace

TEST_P(FramedPopupX11, EndsAtTheLastSizeAsked) {
    const Stall stall = GetParam();
    QWidget popup(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    popup.setAttribute(Qt::WA_TranslucentBackground);
    popup.setGeometry(200, 150, 300, 200);
    popup.winId();
    ASSERT_TRUE(Compositing::leaveUnshadowed(popup.windowHandle(), Compositing::WindowRole::popupMenu));
    const auto id = xcb_window_t(popup.winId());
    const auto windowManager = pid_t(windowManager_->processId());

    RootExposures rootExposures;
    QSize asked(300, 200);
    bool shown = false, stopped = false, lessAPixel = false;
    std::atomic_bool resumed = false;
    // The window manager may be stopped while it holds the server, and then Qt's GUI thread may wait
    // on it: it is woken from a thread of its own.
    std::thread waking;
    auto stop = [&] {
        stopped = true;
        ::kill(windowManager, SIGSTOP);
        if (stall.hidden) QTimer::singleShot(0, &popup, [&] { popup.hide(); });
        if (stall.resizeTo) {
            asked = *stall.resizeTo;
            if (stall.resizeFirst)
                popup.resize(asked);
            else
                QTimer::singleShot(0, &popup, [&] { popup.resize(asked); });
        }
        waking = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(stall.ms));
            ::kill(windowManager, SIGCONT);
            resumed = true;
        });
    };
    const auto joinWaking = qScopeGuard([&] {
        if (waking.joinable()) waking.join();
    });
    EventWatch watch([&](const xcb_generic_event_t* event) {
        const int type = event->response_type & 0x7f;
        if (type == XCB_CONFIGURE_NOTIFY) {
            auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            lessAPixel |= configure->window == id && configure->width == 300 && configure->height == 199;
        }
        if (stopped) return;
        if (type == XCB_MAP_NOTIFY && reinterpret_cast<const xcb_map_notify_event_t*>(event)->window == id) {
            // The frame is mapped with the window (openbox holds the server meanwhile).
            shown = true;
            if (!stall.atTheFirstStraySize) stop();
        } else if (type == XCB_CONFIGURE_NOTIFY && shown && stall.atTheFirstStraySize) {
            auto* configure = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
            if (configure->window == id && QSize(configure->width, configure->height) != asked) stop();
        }
    });
    popup.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return resumed.load(); }, 5000)) << "the window manager was never stopped";
    if (stall.hidden) {
        // The window manager lets go of the hidden window once it has applied what was asked before.
        ASSERT_TRUE(TestSupport::waitFor([&] { return X11Test::topLevel(id) == id; }, 5000));
        ASSERT_TRUE(X11Test::waitForServerEvents(id));
        popup.show();
        ASSERT_TRUE(X11Test::waitUntilPlaced(&popup));
    }

    windowManagerCaughtUp(id);
    auto atAsked = [&] {
        return serverSize(id) == asked && popup.size() == asked && popup.windowHandle()->geometry().size() == asked;
    };
    EXPECT_TRUE(TestSupport::waitFor(atAsked, 3000))
        << "server " << serverSize(id).width() << "x" << serverSize(id).height() << ", Qt " << popup.width() << "x"
        << popup.height() << ", asked " << asked.width() << "x" << asked.height();
    // Anything sent in answer to the window manager's last changes has been handled too.
    windowManagerCaughtUp(id);
    EXPECT_EQ(serverSize(id), asked);
    EXPECT_EQ(popup.size(), asked);
    // The frame has its pixel less (a window manager may fold it into a size asked while it was
    // stopped), and then the compositor is asked to repaint beside it, where the shadow it dropped
    // may still show.
    if (!stall.resizeTo || stall.atTheFirstStraySize) {
        EXPECT_TRUE(lessAPixel) << "the frame never had its pixel less";
    }
    const QRect shadowed = serverRect(id).adjusted(-24, -24, 24, 24) & QRect(0, 0, 1 << 15, 1 << 15);
    if (lessAPixel) {
        EXPECT_TRUE(TestSupport::waitFor([&] { return rootExposures.covered(shadowed); }, 3000))
        << "no exposure of the root around " << shadowed.x() << "," << shadowed.y() << " " << shadowed.width() << "x"
        << shadowed.height();
    }
}

INSTANTIATE_TEST_SUITE_P(WindowManagerBusy, FramedPopupX11,
                         ::testing::Values(Stall{"StoppedAsTheFrameShows", false, 900},
                                           Stall{"HiddenAsTheFrameShows", false, 300, std::nullopt, false, true},
                                           Stall{"ResizedAsTheFrameShows", false, 100, QSize(400, 250)},
                                           Stall{"ResizedOnceTheFirstStraySizeIsApplied", true, 100, QSize(400, 250)},
                                           Stall{"ResizedBeforeTheProgramSeesTheFirstStraySize", true, 100,
                                                 QSize(400, 250), true}),
                         [](const ::testing::TestParamInfo<Stall>& info) { return std::string(info.param.name); });
