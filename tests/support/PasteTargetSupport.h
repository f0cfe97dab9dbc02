#pragma once

// Programs of other processes that take a paste, on the real X server: their text fields, and the
// keys held around the paste. Include after the Qt and GoogleTest headers, as X11TestSupport.h.

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QScreen>
#include <QStandardPaths>

#include <set>

#include <gtest/gtest.h>

// X11 headers last: their macros clash with Qt's names.
#include "X11TestSupport.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput.h>
#include <X11/keysym.h>

namespace PasteTargets {

// Set to the window title in a program started as a target (a helper test reads it).
inline const char* kTitleVariable = "QUORVIN_TEST_CLIPBOARD_TEXT_FIELD";

// Counts the requests the program that made `window` makes for the content of the selections this
// program owns (not for their list of types or their time), from the moment it is made, and takes a
// picture of the window when the first comes, before it is answered. A program's windows share the
// top bits of their ids, which the server gives each connection.
struct SelectionRequests : QAbstractNativeEventFilter {
    int forData = 0;
    QImage asked;
    const uint32_t clientBits =
        ~xcb_get_setup(qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection())->resource_id_mask;
    const uint32_t window;
    const uint32_t client;
    const Atom targets = XInternAtom(X11Test::display(), "TARGETS", False);
    const Atom timestamp = XInternAtom(X11Test::display(), "TIMESTAMP", False);
    explicit SelectionRequests(uint32_t window) : window(window), client(window & clientBits) {
        qApp->installNativeEventFilter(this);
    }
    ~SelectionRequests() override { qApp->removeNativeEventFilter(this); }
    QImage shot() const { return QGuiApplication::primaryScreen()->grabWindow(window).toImage(); }
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & ~0x80) != XCB_SELECTION_REQUEST) return false;
        const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
        if ((request->requestor & clientBits) == client && request->target != targets && request->target != timestamp) {
            if (forData++ == 0) asked = shot();
        }
        return false;
    }
};

// How many pixels two pictures of the same size differ in.
inline int pixelsDiffering(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return a.width() * a.height();
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) count += a.pixel(x, y) != b.pixel(x, y);
    return count;
}

// A child process of ours, killed by its id when the test ends.
class Child {
public:
    ~Child() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    QProcess process;
};

enum class Reads { file, stdoutOnReturn, stdout };  // where what was pasted shows
struct Target {
    QString program;
    QStringList arguments;  // %T stands for the window title
    Reads reads;
};

// The GTK entry of yad, which prints its text on Return.
inline Target gtkEntry() { return {"yad", {"--entry", "--title", "%T"}, Reads::stdoutOnReturn}; }

// A program taking a paste: started with its window titled `title` and given the keyboard.
struct TargetProgram {
    Child child;
    QString window;
    QByteArray output;

    // Starts it and waits until it is ready for keys: a terminal's shell has made its line raw (and
    // touched `ready`), a Qt field has its focus.
    void start(const Target& target, const QString& title, const QString& ready = {}) {
        ASSERT_FALSE(QStandardPaths::findExecutable("xdotool").isEmpty());
        ASSERT_FALSE(QStandardPaths::findExecutable(target.program).isEmpty()) << "scripts/deps.sh --test installs it";
        QStringList arguments = target.arguments;
        arguments.replaceInStrings("%T", title);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NO_AT_BRIDGE", "1");
        env.insert(kTitleVariable, title);
        child.process.setProcessEnvironment(env);
        child.process.start(target.program, arguments);
        ASSERT_TRUE(child.process.waitForStarted(5000));

        QProcess search;
        search.start("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^" + title});
        ASSERT_TRUE(TestSupport::waitFor([&] { return search.state() == QProcess::NotRunning; }, 20000));
        window = QString::fromUtf8(search.readAllStandardOutput()).split('\n').value(0);
        ASSERT_FALSE(window.isEmpty());
        QProcess focus;
        focus.start("xdotool", {"windowfocus", "--sync", window});
        ASSERT_TRUE(TestSupport::waitFor([&] { return focus.state() == QProcess::NotRunning; }, 10000));
        if (target.reads == Reads::file) {
            ASSERT_TRUE(TestSupport::waitFor([&] { return QFileInfo::exists(ready); }, 10000));
        }
        if (target.reads == Reads::stdout) {
            ASSERT_TRUE(waitForOutput("focused\n"));
        }
    }
    bool waitForOutput(const QByteArray& line) {
        return TestSupport::waitFor(
            [&] {
                output += child.process.readAllStandardOutput();
                return output.contains(line);
            },
            10000);
    }
    // Waits until a field shows the paste: a GTK entry has asked for the text and drawn it (far more
    // of its window changed since it asked than a blinking cursor does, and its picture holds still:
    // a change of focus is drawn as a transition), a Qt field has printed it.
    bool waitUntilShown(const Target& target, const SelectionRequests& requests, const QString& text) {
        if (target.reads == Reads::stdout) return waitForOutput(text.toUtf8() + "\n");
        if (!TestSupport::waitFor([&] { return requests.forData > 0; }, 10000)) return false;
        QImage last = requests.shot();
        QElapsedTimer still;
        still.start();
        return TestSupport::waitFor(
            [&] {
                const QImage now = requests.shot();
                if (pixelsDiffering(last, now) > 50) {
                    last = now;
                    still.restart();
                }
                return still.elapsed() >= 400 && pixelsDiffering(requests.asked, last) > 200;
            },
            10000);
    }
    // A field's text, once it shows the paste: a GTK entry prints it on Return.
    void expectText(const Target& target, const QString& text) {
        if (target.reads == Reads::stdoutOnReturn) X11Test::pressKeys({}, XK_Return);
        EXPECT_TRUE(waitForOutput(text.toUtf8() + "\n")) << output.toStdString();
    }
};

// The names of the keys down in a key bitmap.
inline QStringList namesDown(const char* keys) {
    QStringList names;
    for (int code = 8; code < 256; ++code)
        if (keys[code / 8] & (1 << (code % 8)))
            names << QString::fromLatin1(XKeysymToString(XkbKeycodeToKeysym(X11Test::display(), KeyCode(code), 0, 0)));
    return names;
}

// The keyboards of the X server: the one the user holds keys on, the server's own ("Xvfb keyboard"),
// driven through XTest's device events, and the XTEST keyboard that synthetic keys (a paste's, or
// pressKeys') go through. A key pressed on one is down on that one only: what one keyboard holds
// is no proof of what another does.
struct Keyboards {
    XDevice* user = open("Xvfb keyboard");
    XDevice* xtest = open("Virtual core XTEST keyboard");
    std::set<KeySym> held;

    Keyboards() = default;
    Keyboards(const Keyboards&) = delete;
    ~Keyboards() {
        // A test that stopped half-way leaves no key held for the next.
        for (KeySym symbol : std::vector<KeySym>(held.begin(), held.end())) press(symbol, false);
        for (XDevice* device : {user, xtest})
            if (device) XCloseDevice(X11Test::display(), device);
    }
    static XDevice* open(const char* name) {
        Display* d = X11Test::display();
        int count = 0;
        XDeviceInfo* list = XListInputDevices(d, &count);
        XDevice* device = nullptr;
        for (int i = 0; i < count && !device; ++i)
            if (QByteArray(list[i].name) == name) device = XOpenDevice(d, list[i].id);
        if (list) XFreeDeviceList(list);
        return device;
    }
    // The user presses or lets go of a key.
    void press(KeySym symbol, bool down) {
        if (down)
            held.insert(symbol);
        else
            held.erase(symbol);
        Display* d = X11Test::display();
        XTestFakeDeviceKeyEvent(d, user, XKeysymToKeycode(d, symbol), down ? True : False, nullptr, 0, CurrentTime);
        XSync(d, False);
    }
    void tap(KeySym symbol) {
        press(symbol, true);
        press(symbol, false);
    }
    // The keys a keyboard has down.
    static QStringList down(XDevice* device) {
        Display* d = X11Test::display();
        QStringList names;
        XDeviceState* state = XQueryDeviceState(d, device);
        if (!state) return {"(unreadable)"};
        auto* item = state->data;
        for (int i = 0; i < state->num_classes; ++i) {
            if (item->c_class == KeyClass) names = namesDown(reinterpret_cast<XKeyState*>(item)->keys);
            item = reinterpret_cast<XInputClass*>(reinterpret_cast<char*>(item) + item->length);
        }
        XFreeDeviceState(state);
        return names;
    }
    // What each keyboard has down, the core keyboard's view included: "user: …; xtest: …; core: …".
    std::string allDown() const {
        char keys[32] = {};
        XQueryKeymap(X11Test::display(), keys);
        return ("user: " + down(user).join(' ') + "; xtest: " + down(xtest).join(' ') +
                "; core: " + namesDown(keys).join(' '))
            .toStdString();
    }
    static std::string nothingDown() { return "user: ; xtest: ; core: "; }
};

// A window of another client that has the keyboard and writes down every key it is sent, in order:
// "+Super_L" pressed, "-Super_L" let go; a press of Insert also gives the modifiers it carries
// ("+Insert Shift"), lock modifiers aside.
struct KeyRecorder {
    Display* display = XOpenDisplay(nullptr);
    Window window = 0;
    QStringList keys;

    KeyRecorder() {
        if (!display) return;
        XSetWindowAttributes attributes{};
        attributes.event_mask = KeyPressMask | KeyReleaseMask | StructureNotifyMask;
        window = XCreateWindow(display, DefaultRootWindow(display), 50, 50, 200, 100, 0, CopyFromParent, InputOutput,
                               CopyFromParent, CWEventMask, &attributes);
        XStoreName(display, window, "Key recorder");
        XMapRaised(display, window);
        XSync(display, False);
        TestSupport::waitFor(
            [&] {
                XEvent event;
                return XCheckTypedWindowEvent(display, window, MapNotify, &event);
            },
            5000);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        XSync(display, False);
    }
    KeyRecorder(const KeyRecorder&) = delete;
    ~KeyRecorder() {
        if (display) XCloseDisplay(display);
    }
    bool hasFocus() const {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(display, &focus, &revert);
        return focus == window;
    }
    const QStringList& take() {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != KeyPress && event.type != KeyRelease) continue;
            const KeySym symbol = XkbKeycodeToKeysym(display, KeyCode(event.xkey.keycode), 0, 0);
            QString key = (event.type == KeyPress ? "+" : "-") + QString::fromLatin1(XKeysymToString(symbol));
            if (event.type == KeyPress && symbol == XK_Insert) {
                const std::pair<unsigned, const char*> masks[] = {{ShiftMask, "Shift"},
                                                                  {ControlMask, "Control"},
                                                                  {Mod1Mask, "Mod1"},
                                                                  {Mod4Mask, "Mod4"},
                                                                  {Mod5Mask, "Mod5"}};
                for (const auto& [mask, name] : masks)
                    if (event.xkey.state & mask) key += QString(" ") + name;
            }
            keys << key;
        }
        return keys;
    }
    // Forgets the keys sent so far.
    void clear() {
        XSync(display, False);
        take();
        keys.clear();
    }
    // Waits until `count` keys have come, then a little longer for any that should not.
    std::string waitForKeys(int count) {
        TestSupport::waitFor([&] { return take().size() >= count; }, 5000);
        TestSupport::spin(200);
        return take().join(", ").toStdString();
    }
};

// The keys of one paste, as the window in front is sent them.
inline QStringList pasteKeystroke() { return {"+Shift_L", "+Insert Shift", "-Insert", "-Shift_L"}; }
inline std::string pasteKeys() { return pasteKeystroke().join(", ").toStdString(); }

}  // namespace PasteTargets
