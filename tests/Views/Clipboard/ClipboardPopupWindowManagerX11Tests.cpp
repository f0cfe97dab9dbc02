// The clipboard popup open while another window manager takes over (openbox, xfwm4 --replace), or
// while its window manager quits or is killed: the popup keeps the keyboard, so that what is typed
// reaches it and none of it the program under it, Escape closes it, and it stays out of the task
// list. And the popup's window while it is painted: a drawing that changes meanwhile waits for the
// painting under way.
#include "ClipboardPopupTestSupport.h"
#include "LogCapture.h"
#include "TestSupport.h"
#include "Views/Clipboard/ClipboardCompositeRootView.h"
#include "Views/Clipboard/ClipboardCompositeState.h"
#include "Views/Clipboard/ClipboardPopupRootView.h"
#include "Views/Shared/GlassCard.h"

#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

// Xlib's macros clash with names in the headers above: include it last.
#include "X11TestSupport.h"

#include <X11/keysym.h>

namespace {

// A window manager in a home of its own: it changes nothing of the user's. xfwm4 wants a session
// bus for its settings daemon: one of its own, which ends with it.
std::unique_ptr<QProcess> startManager(const QString& program, const QString& home, bool replacing) {
    auto manager = std::make_unique<QProcess>();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/.config");
    env.insert("XDG_CACHE_HOME", home + "/.cache");
    env.remove("SESSION_MANAGER");
    manager->setProcessEnvironment(env);
    manager->setProcessChannelMode(QProcess::ForwardedChannels);
    QStringList arguments;
    QString command = program;
    if (program.endsWith("xfwm4")) {
        command = QStringLiteral("dbus-run-session");
        // With its compositor, as XFCE runs it: the popup's window then carries more of ours.
        arguments << "--" << program << "--sm-client-disable";
    }
    if (replacing) arguments << "--replace";
    manager->start(command, arguments);
    if (!manager->waitForStarted(3000)) return nullptr;
    return manager;
}

// Ends a window manager as another taking over does: it lets go of WM_S<screen> and quits.
void endByTakingOver(QProcess& manager) {
    if (manager.state() == QProcess::NotRunning) return;
    Display* d = X11Test::display();
    const std::string name = "WM_S" + std::to_string(DefaultScreen(d));
    const ::Window owner = XCreateSimpleWindow(d, DefaultRootWindow(d), -10, -10, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, XInternAtom(d, name.c_str(), False), owner, CurrentTime);
    XSync(d, False);
    if (!TestSupport::waitFor([&] { return manager.state() == QProcess::NotRunning; }, 10000)) manager.kill();
    manager.waitForFinished(3000);
    XDestroyWindow(d, owner);
    XSync(d, False);
}

// Waits as the program runs, asleep in its event loop: what the X server sends is handled the
// moment it comes, not at the next turn of a polling loop, nor after a check of ours that waits on
// a window manager holding the server.
bool waitInEventLoop(const std::function<bool()>& condition, int timeoutMs) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (condition()) loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    check.start(100);
    if (!condition()) loop.exec();
    return condition();
}

struct Change {
    const char* name;
    const char* program;
    enum { replaced, quit, killed } how;
};
void PrintTo(const Change& change, std::ostream* out) { *out << change.name; }

class ClipboardPopupWindowManagerX11 : public PopupTestBase, public ::testing::WithParamInterface<Change> {
protected:
    void TearDown() override {
        PopupTestBase::TearDown();
        if (pet) XDestroyWindow(X11Test::display(), pet);
        for (auto* manager : {second.get(), first.get()})
            if (manager) endByTakingOver(*manager);
        // The next test starts from a root without a window manager.
        X11Test::clearWindowManagerLeftovers();
    }

    QTemporaryDir home;
    std::unique_ptr<QProcess> first, second;
    ::Window pet = 0;
};

}  // namespace

TEST_P(ClipboardPopupWindowManagerX11, ThePopupKeepsTheKeyboardThroughAChangeOfWindowManager) {
    Display* d = X11Test::display();
    ASSERT_NE(d, nullptr) << "This test needs an X server (QT_QPA_PLATFORM=xcb).";
    const Change change = GetParam();
    const QString program = QStandardPaths::findExecutable(change.program);
    if (program.isEmpty()) GTEST_SKIP() << change.program << " is not installed";
    ASSERT_TRUE(home.isValid());
    copyText("second entry");
    copyText("sent entry");

    first = startManager(program, home.path(), false);
    ASSERT_TRUE(first && X11Test::waitUntilWindowManagerReady(10000));
    X11Test::OtherProgram other;
    ASSERT_TRUE(other.activatedByTheWindowManager());

    // Opened over the other program's window; the pointer then rests on that window, where the keys
    // go while nobody has the keyboard.
    const QRect under = X11Test::serverGeometry(other.window);
    pointer = Screens::fromQt(QPointF(under.center()));
    controller->show();
    QWidget* panel = controller->panel();
    ASSERT_TRUE(panel);
    const auto popup = ::Window(panel->winId());
    ASSERT_TRUE(TestSupport::waitFor([&] { return other.focus() == popup; })) << "the popup never had the keyboard";
    // Over a window that is not full screen the popup is none of its own: closing it or moving it
    // would take the popup along.
    const std::vector<unsigned long> transient = X11Test::propertyValues(popup, "WM_TRANSIENT_FOR", XA_WINDOW);
    EXPECT_EQ(std::find(transient.begin(), transient.end(), other.window), transient.end());
    const QRect popupPlace = X11Test::serverGeometry(popup);
    QPoint rest;
    for (const QPoint corner : {under.topLeft(), under.topRight(), under.bottomLeft(), under.bottomRight()}) {
        const QPoint inside =
            corner + QPoint(corner.x() == under.left() ? 10 : -10, corner.y() == under.top() ? 10 : -10);
        if (!popupPlace.contains(inside)) rest = inside;
    }
    ASSERT_FALSE(rest.isNull()) << "the popup covers the other program's window";
    XTestFakeMotionEvent(d, -1, rest.x(), rest.y(), CurrentTime);
    XSync(d, False);

    // Over the popup, as the program's pet rides over every window: a window the one taking over
    // looks at, and leaves alone, after it has framed the popup.
    XSetWindowAttributes unmanaged{};
    unmanaged.override_redirect = True;
    pet = XCreateWindow(d, DefaultRootWindow(d), 0, 0, 44, 24, 0, CopyFromParent, InputOutput, CopyFromParent,
                        CWOverrideRedirect, &unmanaged);
    XMapRaised(d, pet);
    XSync(d, False);

    switch (change.how) {
    case Change::replaced:
        second = startManager(program, home.path(), true);
        ASSERT_TRUE(second);
        // Taken over once the new one frames the popup. Nothing is mapped meanwhile, as on a desktop:
        // openbox, just started, may leave requests unread until more comes to it.
        ASSERT_TRUE(waitInEventLoop(
            [&] {
                return first->state() == QProcess::NotRunning && X11Test::windowManagerRuns() &&
                       X11Test::topLevel(popup) != popup;
            },
            15000));
        break;
    case Change::quit:
        QProcess::execute(program, {"--exit"});
        ASSERT_TRUE(TestSupport::waitFor([&] { return first->state() == QProcess::NotRunning; }, 15000));
        break;
    case Change::killed:
        first->kill();
        ASSERT_TRUE(first->waitForFinished(5000));
        break;
    }
    ASSERT_TRUE(controller->isOpen());

    EXPECT_TRUE(waitInEventLoop([&] { return other.focus() == popup; }, 5000))
        << "the keyboard is with " << other.focus() << ", not the popup " << popup;
    X11Test::pressKeys({}, XK_s);
    X11Test::pressKeys({}, XK_e);
    EXPECT_TRUE(TestSupport::waitFor([&] { return controller->model().searchQuery() == "se"; }))
        << "the popup has \"" << controller->model().searchQuery().toStdString() << "\"";
    EXPECT_EQ(other.keysHeard(), 0);

    // It stays out of the task list and the pager.
    const std::vector<unsigned long> state = X11Test::propertyValues(popup, "_NET_WM_STATE", XA_ATOM);
    for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
        EXPECT_NE(std::find(state.begin(), state.end(), XInternAtom(d, name, False)), state.end()) << name;

    // Escape empties the search, then closes the popup.
    X11Test::pressKeys({}, XK_Escape);
    EXPECT_TRUE(TestSupport::waitFor([&] { return controller->model().searchQuery().isEmpty(); }));
    X11Test::pressKeys({}, XK_Escape);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !controller->isOpen(); }));
    EXPECT_EQ(other.keysHeard(), 0);
}

INSTANTIATE_TEST_SUITE_P(Managers, ClipboardPopupWindowManagerX11,
                         ::testing::Values(Change{"openbox_replaced", "openbox", Change::replaced},
                                           Change{"xfwm4_replaced", "xfwm4", Change::replaced},
                                           Change{"openbox_quit", "openbox", Change::quit},
                                           Change{"openbox_killed", "openbox", Change::killed}),
                         [](const ::testing::TestParamInfo<Change>& info) { return std::string(info.param.name); });

namespace {
// Grows the list card the first time the main column is painted while the popup is open: the popup's
// drawing changes while its window is being painted, as it may while an animation runs.
class GrowWhilePainted : public QObject {
public:
    GrowWhilePainted(ClipboardCompositeState& state, QWidget* column) : state_(state), column_(column) {
        column->installEventFilter(this);
    }
    bool grown = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == column_ && event->type() == QEvent::Paint && !grown) {
            grown = true;
            state_.setListHeight(state_.listHeight() + 120);
        }
        return false;
    }

private:
    ClipboardCompositeState& state_;
    QWidget* column_;
};
}  // namespace

using ClipboardPopupX11Painting = PopupTestBase;

// A drawing that grows while the popup's window is being painted is painted once the painting in
// progress is done: never by a second painter on the window at the same time ("QPainter::begin: A
// paint device can only be painted by one painter at a time" and the entrance's drawing lost).
TEST_F(ClipboardPopupX11Painting, ADrawingThatGrowsWhilePaintedIsPaintedAfterwards) {
    ASSERT_NE(X11Test::display(), nullptr) << "This test needs an X server (QT_QPA_PLATFORM=xcb).";
    for (int i = 0; i < 3; ++i) copyText(QString::asprintf("entry %d", i));
    LogCapture log;
    controller->show();
    auto* root = qobject_cast<ClipboardCompositeRootView*>(controller->containerView());
    ASSERT_TRUE(root);
    // While the entrance runs.
    GrowWhilePainted grow(controller->compositeState(), root->mainColumn());
    ASSERT_TRUE(TestSupport::waitFor([&] { return grow.grown; }));
    TestSupport::spin(200);
    EXPECT_TRUE(log.matching({"QPainter"}).isEmpty()) << log.matching({"QPainter"}).join("\n").toStdString();
    // The window covers the grown card.
    QWidget* card = root->mainColumn()->mainCard();
    EXPECT_TRUE(TestSupport::waitFor(
        [&] { return controller->panel()->geometry().contains(QRect(card->mapToGlobal(QPoint()), card->size())); }));
}
