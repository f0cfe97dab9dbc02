#pragma once

#include "Platform/Desktop/Workspace.h"

#include <cstdint>
#include <vector>

// The workspace on an X11 desktop: windows and the active window through EWMH on the
// application's X connection, identities and icons from the desktop entries (a file that is
// no application gets the icon of its type). GUI thread only.
class X11Workspace final : public Workspace {
    Q_OBJECT
public:
    explicit X11Workspace(QObject* parent = nullptr);
    ~X11Workspace() override;

    std::optional<RunningApplication> frontmostApplication() override;
    std::vector<RunningApplication> runningApplications() override;
    bool activate(const RunningApplication& app) override;
    bool terminate(const RunningApplication& app) override;
    QIcon icon(const QString& bundleIdentifierOrPath) override;
    void openUrl(const QUrl& url, std::function<void(bool opened)> done = {}) override;
    void revealFile(const QString& path, std::function<void(bool shown)> done = {}) override;
    void revealFiles(const QStringList& paths, std::function<void(bool shown)> done = {}) override;

    // The application a process is: its desktop entry, found through /proc/<pid>/exe.
    static RunningApplication applicationForPid(qint64 pid);
    // The client windows of a process, bottom to top.
    std::vector<uint32_t> windowsOf(qint64 pid);
    // How long an opener that is still running counts as having taken the URL: some run the
    // program they start in their own foreground.
    static constexpr int openerPatienceMs = 3000;
    // Whether an EWMH window manager runs.
    bool hasWindowManager();

private:
    // The root's active window changed: reports a new front application.
    void activeWindowChanged();
    bool connected() const;
    std::vector<uint32_t> cardinals(uint32_t window, const char* property, uint32_t type);
    std::optional<qint64> pidOfWindow(uint32_t window);
    bool rootListsCurrent();
    // The root's _NET_ACTIVE_WINDOW; without a window manager or its lists, the top-level window with
    // the keyboard focus, or the one under the pointer where the focus follows it.
    std::optional<uint32_t> activeWindow();
    // The root's mapped children that the window manager would manage, bottom to top.
    std::vector<uint32_t> viewableTopLevelWindows();
    std::vector<uint32_t> clientWindows(bool stacking);
    void sendToRoot(uint32_t window, const char* messageType, const std::vector<uint32_t>& data);

    void* connection_ = nullptr;  // xcb_connection_t
    uint32_t root_ = 0;
    qint64 lastFrontPid_ = 0;
};
