#include "Platform/X11/X11Workspace.h"

#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/Files/NativePath.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeDatabase>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

namespace {

QString executableOf(qint64 pid) {
    QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
    if (exe.endsWith(QLatin1String(" (deleted)"))) exe.chop(10);
    return exe;
}

QString argv0Of(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = file.read(4096);
    return QString::fromLocal8Bit(bytes.left(bytes.indexOf('\0') >= 0 ? bytes.indexOf('\0') : bytes.size()));
}

}  // namespace

std::unique_ptr<Workspace> Workspace::makeDefault() { return std::make_unique<X11Workspace>(); }

X11Workspace::X11Workspace(QObject* parent) : Workspace() {
    setParent(parent);
    xcb_connection_t* c = qtXcbConnection();
    if (!c) return;
    connection_ = c;
    root_ = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
        // Xlib's default screen is the one Qt uses.
        if (Display* display = x11->display()) root_ = uint32_t(XDefaultRootWindow(display));
    }
    // Follow the active window: add property changes to what this client hears on the root.
    XServer::hear(root_, XCB_EVENT_MASK_PROPERTY_CHANGE, true);
    XServer::subscribe(this, [this](const xcb_generic_event_t* event) {
        if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY) return false;
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->window == root_ && notify->atom == XServer::atom("_NET_ACTIVE_WINDOW")) activeWindowChanged();
        return false;
    });
}

X11Workspace::~X11Workspace() { XServer::unsubscribe(this); }

bool X11Workspace::connected() const { return connection_ != nullptr; }

std::vector<uint32_t> X11Workspace::cardinals(uint32_t window, const char* property, uint32_t type) {
    std::vector<uint32_t> values;
    if (!connected() || window == 0) return values;
    auto* c = static_cast<xcb_connection_t*>(connection_);
    // A window may vanish at any moment: its error is taken here, not left for the event loop.
    xcb_generic_error_t* error = nullptr;
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, XServer::atom(property), type, 0, 16384), &error));
    std::free(error);
    if (!reply || reply->format != 32 || reply->type != type) return values;
    const int count = xcb_get_property_value_length(reply.p) / 4;
    const auto* data = static_cast<const uint32_t*>(xcb_get_property_value(reply.p));
    values.assign(data, data + count);
    return values;
}

std::optional<qint64> X11Workspace::pidOfWindow(uint32_t window) {
    const auto values = cardinals(window, "_NET_WM_PID", XCB_ATOM_CARDINAL);
    if (values.empty() || values.front() == 0) return std::nullopt;
    return qint64(values.front());
}

std::optional<uint32_t> X11Workspace::activeWindow() {
    // What a window manager that has gone left on the root is not read.
    if (rootListsCurrent()) {
        const auto active = cardinals(root_, "_NET_ACTIVE_WINDOW", XCB_ATOM_WINDOW);
        if (!active.empty() && active.front() != 0) return active.front();
        if (!active.empty() || hasWindowManager()) return std::nullopt;
    }
    // No window manager names it: the window with the keyboard focus, up to its top-level window.
    auto* c = static_cast<xcb_connection_t*>(connection_);
    XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus) return std::nullopt;
    xcb_window_t window = focus->focus;
    if (window == XCB_INPUT_FOCUS_POINTER_ROOT || window == root_) {
        // The keys go to the window under the pointer (where a window manager that left put them).
        XcbReply<xcb_query_pointer_reply_t> pointer(xcb_query_pointer_reply(c, xcb_query_pointer(c, root_), nullptr));
        if (!pointer || !pointer->same_screen || pointer->child == XCB_NONE) return std::nullopt;
        return pointer->child;
    }
    while (window != XCB_NONE && window != XCB_INPUT_FOCUS_POINTER_ROOT && window != root_) {
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree) return std::nullopt;
        if (tree->parent == root_) return window;
        window = tree->parent;
    }
    return std::nullopt;
}

std::vector<uint32_t> X11Workspace::viewableTopLevelWindows() {
    std::vector<uint32_t> windows;
    auto* c = static_cast<xcb_connection_t*>(connection_);
    XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root_), nullptr));
    if (!tree) return windows;
    const xcb_window_t* children = xcb_query_tree_children(tree.p);
    const int count = xcb_query_tree_children_length(tree.p);
    std::vector<xcb_get_window_attributes_cookie_t> asked;
    asked.reserve(size_t(count));
    for (int i = 0; i < count; ++i) asked.push_back(xcb_get_window_attributes(c, children[i]));
    for (int i = 0; i < count; ++i) {
        XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, asked[size_t(i)], nullptr));
        if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE && !attributes->override_redirect)
            windows.push_back(children[i]);
    }
    return windows;  // bottom to top
}

bool X11Workspace::rootListsCurrent() {
    return WindowManagerCheck::rootListsCurrent(static_cast<xcb_connection_t*>(connection_), root_);
}

std::vector<uint32_t> X11Workspace::clientWindows(bool stacking) {
    if (!rootListsCurrent()) return {};
    if (stacking) {
        auto windows = cardinals(root_, "_NET_CLIENT_LIST_STACKING", XCB_ATOM_WINDOW);
        if (!windows.empty()) return windows;
    }
    return cardinals(root_, "_NET_CLIENT_LIST", XCB_ATOM_WINDOW);
}

bool X11Workspace::hasWindowManager() {
    return WindowManagerCheck::runs(static_cast<xcb_connection_t*>(connection_), root_);
}

RunningApplication X11Workspace::applicationForPid(qint64 pid) {
    RunningApplication app;
    app.pid = pid;
    const QString argv0 = argv0Of(pid);
    QString exe = executableOf(pid);
    if (exe.isEmpty()) exe = argv0;
    const QString program = QFileInfo(exe).fileName();
    if (auto entry = DesktopEntries::shared().entryForProgram(exe, argv0)) {
        app.bundleIdentifier = entry->id;
        app.localizedName = entry->name.isEmpty() ? program : entry->name;
        app.bundlePath = entry->path;
    } else {
        app.bundleIdentifier = program;
        app.localizedName = program;
        app.bundlePath = exe;
    }
    return app;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
    if (!connected()) return std::nullopt;
    const auto active = activeWindow();
    if (!active) return std::nullopt;
    const auto pid = pidOfWindow(*active);
    if (!pid) return std::nullopt;
    return applicationForPid(*pid);
}

std::vector<RunningApplication> X11Workspace::runningApplications() {
    std::vector<RunningApplication> apps;
    if (!connected()) return apps;
    QSet<qint64> seen;
    for (uint32_t window : clientWindows(false)) {
        const auto pid = pidOfWindow(window);
        if (!pid || seen.contains(*pid)) continue;
        seen.insert(*pid);
        apps.push_back(applicationForPid(*pid));
    }
    return apps;
}

std::vector<uint32_t> X11Workspace::windowsOf(qint64 pid) {
    std::vector<uint32_t> windows;
    if (!connected() || pid <= 0) return windows;
    std::vector<uint32_t> candidates = clientWindows(true);
    // Without a window manager and its lists, the windows on screen.
    if (candidates.empty() && !hasWindowManager()) candidates = viewableTopLevelWindows();
    for (uint32_t window : candidates) {
        if (pidOfWindow(window) == pid) windows.push_back(window);
    }
    return windows;
}

void X11Workspace::sendToRoot(uint32_t window, const char* messageType, const std::vector<uint32_t>& data) {
    auto* c = static_cast<xcb_connection_t*>(connection_);
    xcb_client_message_event_t event;
    std::memset(&event, 0, sizeof event);
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = XServer::atom(messageType);
    for (size_t i = 0; i < data.size() && i < 5; ++i) event.data.data32[i] = data[i];
    xcb_send_event(c, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
}

bool X11Workspace::activate(const RunningApplication& app) {
    const auto windows = windowsOf(app.pid);
    if (windows.empty()) return false;
    const uint32_t window = windows.back();
    auto* c = static_cast<xcb_connection_t*>(connection_);
    if (hasWindowManager()) {
        // Source 2: a pager acting for the user, which window managers obey.
        sendToRoot(window, "_NET_ACTIVE_WINDOW", {2, XCB_CURRENT_TIME, 0});
        xcb_flush(c);
        return true;
    }
    // No window manager: raise and focus it ourselves.
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    std::free(xcb_request_check(c, xcb_configure_window_checked(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above)));
    xcb_void_cookie_t focus =
        xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_PARENT, window, XCB_CURRENT_TIME);
    if (xcb_generic_error_t* error = xcb_request_check(c, focus)) {
        std::free(error);  // not viewable
        return false;
    }
    return true;
}

bool X11Workspace::terminate(const RunningApplication& app) {
    const auto windows = windowsOf(app.pid);
    if (windows.empty()) return false;
    auto* c = static_cast<xcb_connection_t*>(connection_);
    const bool managed = hasWindowManager();
    const uint32_t protocols = XServer::atom("WM_PROTOCOLS");
    const uint32_t deleteWindow = XServer::atom("WM_DELETE_WINDOW");
    int asked = 0;
    for (uint32_t window : windows) {
        if (managed) {
            sendToRoot(window, "_NET_CLOSE_WINDOW", {XCB_CURRENT_TIME, 2});
            ++asked;
            continue;
        }
        // Without a window manager, ask the window itself, if it takes the request.
        const auto supported = cardinals(window, "WM_PROTOCOLS", XCB_ATOM_ATOM);
        if (std::find(supported.begin(), supported.end(), deleteWindow) == supported.end()) continue;
        xcb_client_message_event_t event;
        std::memset(&event, 0, sizeof event);
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols;
        event.data.data32[0] = deleteWindow;
        event.data.data32[1] = XCB_CURRENT_TIME;
        xcb_void_cookie_t sent =
            xcb_send_event_checked(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
        if (xcb_generic_error_t* error = xcb_request_check(c, sent)) {
            std::free(error);  // the window is gone
            continue;
        }
        ++asked;
    }
    xcb_flush(c);
    return asked > 0;
}

QIcon X11Workspace::icon(const QString& bundleIdentifierOrPath) {
    const QString key = bundleIdentifierOrPath;
    if (key.isEmpty()) return {};
    if (key.startsWith(QLatin1Char('/'))) {
        if (key.endsWith(QLatin1String(".desktop"))) {
            if (auto entry = DesktopEntries::parse(key, QFileInfo(key).fileName())) return DesktopEntries::icon(*entry);
            return {};
        }
        const QFileInfo info(key);
        if (info.isFile() && info.isExecutable()) {
            if (auto entry = DesktopEntries::shared().entryForProgram(key)) return DesktopEntries::icon(*entry);
        }
        // Any other file: the icon of its type.
        if (info.isDir()) return QIcon::fromTheme(QStringLiteral("folder"));
        const QMimeType type = QMimeDatabase().mimeTypeForFile(info);
        QIcon icon = QIcon::fromTheme(type.iconName());
        return icon.isNull() ? QIcon::fromTheme(type.genericIconName()) : icon;
    }
    if (auto entry = DesktopEntries::shared().entry(key)) return DesktopEntries::icon(*entry);
    QString name = key;
    if (name.endsWith(QLatin1String(".desktop"))) name.chop(8);
    return QIcon::fromTheme(name);
}

void X11Workspace::openUrl(const QUrl& url, std::function<void(bool opened)> done) {
    // xdg-open says whether something took the URL: it ends with a failure where nothing is set
    // up for it. Without it, Qt's own search for a browser is all there is.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        const bool opened = QDesktopServices::openUrl(url);
        if (!opened) qWarning().noquote() << "Nothing opens" << url.toDisplayString(QUrl::RemoveQuery);
        if (done) done(opened);
        return;
    }
    auto* process = new QProcess(this);
    process->setProgram(opener);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    auto pending = std::make_shared<std::function<void(bool)>>(std::move(done));
    const QString shown = url.toDisplayString(QUrl::RemoveQuery);  // a mail's body is no log's business
    const auto answer = [pending, shown](bool opened) {
        if (!opened) qWarning().noquote() << "Nothing opened" << shown;
        if (!*pending) return;
        const auto once = std::move(*pending);
        *pending = nullptr;
        once(opened);
    };
    QTimer::singleShot(openerPatienceMs, process, [answer] { answer(true); });
    connect(process, &QProcess::finished, this, [process, answer](int code, QProcess::ExitStatus status) {
        answer(status == QProcess::NormalExit && code == 0);
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, this, [process, answer](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart) return;
        answer(false);
        process->deleteLater();
    });
    process->start();
}

void X11Workspace::revealFile(const QString& path, std::function<void(bool shown)> done) {
    revealFiles(QStringList{path}, std::move(done));
}

void X11Workspace::revealFiles(const QStringList& paths, std::function<void(bool shown)> done) {
    if (paths.isEmpty()) {
        if (done) done(false);
        return;
    }
    QStringList uris;
    // URIs of the exact bytes: a name that is not UTF-8 still names its own file.
    for (const QString& path : paths) uris << NativePath::fileUrl(QFileInfo(path).absoluteFilePath());
    const QUrl folder(NativePath::fileUrl(QFileInfo(paths.first()).absolutePath()));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {  // no session bus: no file manager to ask, and no answer would come
        openUrl(folder, std::move(done));
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    message << uris << QString();
    QDBusPendingCall call = bus.asyncCall(message, 5000);
    auto* watcher = new QDBusPendingCallWatcher(call, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, folder, done = std::move(done)](QDBusPendingCallWatcher* w) mutable {
                w->deleteLater();
                if (!w->isError()) {
                    if (done) done(true);
                    return;
                }
                // No file manager answered: open the folder instead.
                openUrl(folder, std::move(done));
            });
}

void X11Workspace::activeWindowChanged() {
    const auto active = activeWindow();
    const qint64 pid = active ? pidOfWindow(*active).value_or(0) : 0;
    if (pid != lastFrontPid_) {
        lastFrontPid_ = pid;
        emit frontmostApplicationChanged();
    }
}
