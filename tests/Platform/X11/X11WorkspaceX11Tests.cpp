// The X11 workspace on a real X server without a window manager: the test plays the window
// manager's part by setting the EWMH root properties itself.
#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/Gui/Screens.h"
#include "Platform/X11/X11Workspace.h"
#include "Platform/X11/XcbReply.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include <xcb/xcb.h>

namespace {

// A second client: owns the "other program's" windows and writes the root properties.
class Desk {
public:
    // Starts from a root without a window manager, whatever one that ran before left on it.
    Desk() : c(xcb_connect(nullptr, nullptr)) {
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        clearRoot();
    }
    ~Desk() {
        clearRoot();
        xcb_disconnect(c);
    }
    void clearRoot() {
        for (const char* name : {"_NET_CLIENT_LIST", "_NET_CLIENT_LIST_STACKING", "_NET_ACTIVE_WINDOW",
                                 "_NET_SUPPORTING_WM_CHECK", "_NET_WORKAREA"}) {
            xcb_delete_property(c, root, atom(name));
        }
        syncServer();
    }
    xcb_atom_t atom(const char* name) {
        auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : 0;
        std::free(reply);
        return a;
    }
    void set(xcb_window_t window, const char* property, xcb_atom_t type, const std::vector<uint32_t>& values) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(property), type, 32, uint32_t(values.size()),
                            values.data());
        syncServer();
    }
    xcb_window_t window(uint32_t pid, bool takesDelete) {
        const xcb_window_t w = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 0, 0, 50, 50, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          XCB_COPY_FROM_PARENT, 0, nullptr);
        set(w, "_NET_WM_PID", XCB_ATOM_CARDINAL, {pid});
        if (takesDelete) set(w, "WM_PROTOCOLS", XCB_ATOM_ATOM, {atom("WM_DELETE_WINDOW")});
        return w;
    }
    void listenOnRoot() {
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
        syncServer();
    }
    // The client messages that reach this client within the time.
    std::vector<xcb_client_message_event_t> messages(int ms = 500) {
        std::vector<xcb_client_message_event_t> list;
        TestSupport::waitFor([&] {
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                    list.push_back(*reinterpret_cast<xcb_client_message_event_t*>(event));
                }
                std::free(event);
            }
            return false;
        }, ms);
        return list;
    }
    void syncServer() { std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

    xcb_connection_t* c;
    xcb_window_t root;
};

class X11WorkspaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(qGuiApp->nativeInterface<QNativeInterface::QX11Application>(), nullptr)
            << "These tests need an X server (QT_QPA_PLATFORM=xcb).";
        sleeper.start("sleep", {"60"});
        ASSERT_TRUE(sleeper.waitForStarted());
        own.resize(80, 60);
        own.show();
        ASSERT_TRUE(TestSupport::waitFor([&] { return own.windowHandle() && own.windowHandle()->isExposed(); }));
        ownWindow = xcb_window_t(own.winId());
    }
    void TearDown() override {
        sleeper.kill();
        sleeper.waitForFinished();
    }
    QProcess sleeper;
    QWidget own;
    xcb_window_t ownWindow = 0;
};

}  // namespace

TEST_F(X11WorkspaceTest, FrontAndRunningApplicationsComeFromTheRootProperties) {
    // Our own process gets a desktop entry, so its identity comes from it.
    const QString folder = QDir(TestSupport::tempRoot()).filePath("xdg_data_home/applications");
    QDir().mkpath(folder);
    QFile entry(folder + "/quorvin-test-app.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Quorvin Test App\nExec=" +
                QCoreApplication::applicationFilePath().toUtf8() + " --flag\n");
    entry.close();
    DesktopEntries::shared().rebuild();

    Desk desk;
    X11Workspace workspace;
    const qint64 sleeperPid = sleeper.processId();
    const xcb_window_t a = desk.window(uint32_t(sleeperPid), true);
    const xcb_window_t b = desk.window(uint32_t(sleeperPid), true);
    EXPECT_FALSE(workspace.frontmostApplication().has_value());
    EXPECT_TRUE(workspace.runningApplications().empty());

    desk.set(desk.root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, {ownWindow, a, b});
    desk.set(desk.root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {ownWindow});
    auto front = workspace.frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, QCoreApplication::applicationPid());
    EXPECT_EQ(front->bundleIdentifier, "quorvin-test-app.desktop");
    EXPECT_EQ(front->localizedName, "Quorvin Test App");
    EXPECT_EQ(front->bundlePath, entry.fileName());

    const auto running = workspace.runningApplications();
    ASSERT_EQ(running.size(), 2u);  // one per process
    EXPECT_EQ(running[0].pid, QCoreApplication::applicationPid());
    EXPECT_EQ(running[1].pid, sleeperPid);
    EXPECT_EQ(running[1].bundleIdentifier, "sleep");
    EXPECT_EQ(running[1].localizedName, "sleep");
    EXPECT_EQ(workspace.windowsOf(sleeperPid), (std::vector<uint32_t>{a, b}));

    // The stacking list, when there is one, gives the order of the windows.
    desk.set(desk.root, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW, {b, ownWindow, a});
    EXPECT_EQ(workspace.windowsOf(sleeperPid), (std::vector<uint32_t>{b, a}));

    // A window manager that has gone leaves its lists behind, and its check names a window no more.
    const xcb_window_t wm = desk.window(0, false);
    desk.set(wm, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {wm});
    desk.set(desk.root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {wm});
    ASSERT_TRUE(workspace.frontmostApplication().has_value());
    xcb_destroy_window(desk.c, wm);
    desk.syncServer();
    EXPECT_FALSE(workspace.frontmostApplication().has_value());
    EXPECT_TRUE(workspace.runningApplications().empty());
    EXPECT_TRUE(workspace.windowsOf(sleeperPid).empty());
}

TEST_F(X11WorkspaceTest, FrontApplicationChangesAreSignalledOncePerApplication) {
    Desk desk;
    X11Workspace workspace;
    const xcb_window_t a = desk.window(uint32_t(sleeper.processId()), false);
    const xcb_window_t b = desk.window(uint32_t(sleeper.processId()), false);
    QSignalSpy changed(&workspace, &Workspace::frontmostApplicationChanged);
    desk.set(desk.root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {a});
    ASSERT_TRUE(TestSupport::waitFor([&] { return changed.count() == 1; }));
    EXPECT_EQ(workspace.frontmostApplication()->pid, sleeper.processId());
    desk.set(desk.root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {b});  // same application
    TestSupport::spin(200);
    EXPECT_EQ(changed.count(), 1);
    desk.set(desk.root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {ownWindow});
    ASSERT_TRUE(TestSupport::waitFor([&] { return changed.count() == 2; }));
}

TEST_F(X11WorkspaceTest, WithoutAWindowManagerQuitIsAskedOfTheWindowsAndActivateFocuses) {
    Desk desk;
    X11Workspace workspace;
    const qint64 pid = sleeper.processId();
    const xcb_window_t a = desk.window(uint32_t(pid), true);
    const xcb_window_t b = desk.window(uint32_t(pid), false);  // does not take the request
    desk.set(desk.root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, {ownWindow, a, b});
    ASSERT_FALSE(workspace.hasWindowManager());

    const RunningApplication app = X11Workspace::applicationForPid(pid);
    EXPECT_TRUE(workspace.terminate(app));
    const auto messages = desk.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].window, a);
    EXPECT_EQ(messages[0].type, desk.atom("WM_PROTOCOLS"));
    EXPECT_EQ(messages[0].data.data32[0], desk.atom("WM_DELETE_WINDOW"));
    // A polite request, never a signal.
    TestSupport::spin(100);
    EXPECT_EQ(sleeper.state(), QProcess::Running);

    EXPECT_FALSE(workspace.terminate(X11Workspace::applicationForPid(999999)));
    EXPECT_FALSE(workspace.activate(X11Workspace::applicationForPid(999999)));

    // Our own window is viewable, so it can take the focus.
    EXPECT_TRUE(workspace.activate(X11Workspace::applicationForPid(QCoreApplication::applicationPid())));
    auto* focus = xcb_get_input_focus_reply(desk.c, xcb_get_input_focus(desk.c), nullptr);
    ASSERT_NE(focus, nullptr);
    EXPECT_EQ(focus->focus, ownWindow);
    std::free(focus);
}

// With no window manager and so no lists on the root (or none current), the program in front is the
// one whose window has the keyboard, and activating it gives the keyboard back to its window on
// screen (a paste from the clipboard popup goes there).
TEST_F(X11WorkspaceTest, WithoutAWindowManagerOrItsListsTheFocusedProgramIsInFrontAndGetsTheFocusBack) {
    Desk desk;
    X11Workspace workspace;
    ASSERT_FALSE(workspace.hasWindowManager());
    const qint64 pid = sleeper.processId();
    const xcb_window_t hidden = desk.window(uint32_t(pid), false);  // never mapped: not one to focus
    const xcb_window_t shown = desk.window(uint32_t(pid), false);
    const xcb_window_t inner = xcb_generate_id(desk.c);  // the focus may sit on a child window
    xcb_create_window(desk.c, XCB_COPY_FROM_PARENT, inner, shown, 0, 0, 10, 10, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_map_window(desk.c, inner);
    xcb_map_window(desk.c, shown);
    desk.syncServer();
    ASSERT_TRUE(TestSupport::waitFor([&] {
        XcbReply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(desk.c, xcb_get_window_attributes(desk.c, inner), nullptr));
        return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    }));
    xcb_set_input_focus(desk.c, XCB_INPUT_FOCUS_POINTER_ROOT, inner, XCB_CURRENT_TIME);
    desk.syncServer();
    const auto front = workspace.frontmostApplication();
    ASSERT_TRUE(front.has_value());
    EXPECT_EQ(front->pid, pid);

    // The work area the root names is the window manager's, while one runs or stands in for one.
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect full = primary->geometry();
    const QRect panelLeft(full.x(), full.y() + 40, full.width(), full.height() - 40);
    desk.set(desk.root, "_NET_WORKAREA", XCB_ATOM_CARDINAL,
             {uint32_t(panelLeft.x()), uint32_t(panelLeft.y()), uint32_t(panelLeft.width()),
              uint32_t(panelLeft.height())});
    ASSERT_TRUE(TestSupport::waitFor([&] { return primary->availableGeometry() == panelLeft; }, 2000));
    EXPECT_EQ(Screens::workArea(primary), panelLeft);

    // A window manager that has gone left its lists, naming another window active: not read.
    const xcb_window_t wm = desk.window(0, false);
    desk.set(wm, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {wm});
    desk.set(desk.root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {wm});
    desk.set(desk.root, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW, {ownWindow});
    desk.set(desk.root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, {ownWindow});
    xcb_destroy_window(desk.c, wm);
    desk.syncServer();
    ASSERT_TRUE(workspace.frontmostApplication().has_value());
    EXPECT_EQ(workspace.frontmostApplication()->pid, pid);
    // Nor the work area it left: the whole screen is there for windows.
    EXPECT_EQ(primary->availableGeometry(), panelLeft);
    EXPECT_EQ(Screens::workArea(primary), full);

    // The focus falls to the root (our popup closed, or the window manager left): the keys go to
    // the window under the pointer, none or the program's.
    xcb_set_input_focus(desk.c, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(desk.c)).data;
    const auto corner = [&] {  // under no window
        xcb_warp_pointer(desk.c, XCB_NONE, desk.root, 0, 0, 0, 0, int16_t(screen->width_in_pixels - 1),
                         int16_t(screen->height_in_pixels - 1));
    };
    corner();
    desk.syncServer();
    EXPECT_FALSE(workspace.frontmostApplication().has_value());
    for (const xcb_window_t focus : {xcb_window_t(XCB_INPUT_FOCUS_POINTER_ROOT), desk.root}) {
        xcb_set_input_focus(desk.c, XCB_INPUT_FOCUS_POINTER_ROOT, focus, XCB_CURRENT_TIME);
        xcb_warp_pointer(desk.c, XCB_NONE, shown, 0, 0, 0, 0, 40, 40);
        desk.syncServer();
        ASSERT_TRUE(workspace.frontmostApplication().has_value());
        EXPECT_EQ(workspace.frontmostApplication()->pid, pid);
    }
    xcb_set_input_focus(desk.c, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_INPUT_FOCUS_POINTER_ROOT, XCB_CURRENT_TIME);
    corner();
    desk.syncServer();
    EXPECT_TRUE(workspace.activate(*front));
    XcbReply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(desk.c, xcb_get_input_focus(desk.c), nullptr));
    ASSERT_TRUE(focus);
    EXPECT_EQ(focus->focus, shown);
    EXPECT_NE(focus->focus, hidden);
}

TEST_F(X11WorkspaceTest, WithAWindowManagerRequestsGoThroughTheRoot) {
    Desk desk;
    X11Workspace workspace;
    const xcb_window_t wm = desk.window(0, false);
    desk.set(wm, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {wm});
    desk.set(desk.root, "_NET_SUPPORTING_WM_CHECK", XCB_ATOM_WINDOW, {wm});
    ASSERT_TRUE(workspace.hasWindowManager());
    desk.listenOnRoot();

    const qint64 pid = sleeper.processId();
    const xcb_window_t a = desk.window(uint32_t(pid), true);
    const xcb_window_t b = desk.window(uint32_t(pid), false);
    desk.set(desk.root, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW, {a, ownWindow, b});
    const RunningApplication app = X11Workspace::applicationForPid(pid);

    EXPECT_TRUE(workspace.terminate(app));
    auto messages = desk.messages();
    ASSERT_EQ(messages.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(messages[i].type, desk.atom("_NET_CLOSE_WINDOW"));
        EXPECT_EQ(messages[i].data.data32[1], 2u);  // from a pager, for the user
    }
    EXPECT_EQ(messages[0].window, a);
    EXPECT_EQ(messages[1].window, b);

    EXPECT_TRUE(workspace.activate(app));
    messages = desk.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, desk.atom("_NET_ACTIVE_WINDOW"));
    EXPECT_EQ(messages[0].window, b);  // the most recent window
    EXPECT_EQ(messages[0].data.data32[0], 2u);
    EXPECT_EQ(sleeper.state(), QProcess::Running);
}
