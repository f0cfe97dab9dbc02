#pragma once

#include <QIcon>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

// A running application as the desktop sees it: a process that owns top-level windows.
struct RunningApplication {
    qint64 pid = 0;
    QString bundleIdentifier;  // the desktop id of its entry, or the executable name when none
    QString localizedName;     // the entry's Name=, else the executable name
    QString bundlePath;        // the .desktop file, or the executable
    bool operator==(const RunningApplication&) const = default;
};

// The desktop's applications and files: the front application, activating and quitting
// applications, icons and names, opening URLs, revealing and trashing files, launch at login.
class Workspace : public QObject {
    Q_OBJECT
public:
    static Workspace& shared();
    // The desktop's own workspace; the platform's backend defines it.
    static std::unique_ptr<Workspace> makeDefault();
    // Replaces the shared workspace (tests); nullptr restores the desktop's own one.
    static void setShared(Workspace* workspace);

    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    virtual std::vector<RunningApplication> runningApplications() = 0;
    // Raises and focuses the application's most recent window. False when it has none.
    virtual bool activate(const RunningApplication& app) = 0;
    // Asks the application to quit by closing its windows politely (never a signal).
    virtual bool terminate(const RunningApplication& app) = 0;
    virtual QIcon icon(const QString& bundleIdentifierOrPath) = 0;
    // Hands the URL to the program the desktop has for it. done (optional) learns on the GUI
    // thread whether one took it: false where nothing is set up for it, so the caller can say so.
    virtual void openUrl(const QUrl& url, std::function<void(bool opened)> done = {}) = 0;
    // Shows the file in the desktop's file manager; where none answers, opens its folder instead.
    // done (optional) learns on the GUI thread whether either came on screen.
    virtual void revealFile(const QString& path, std::function<void(bool shown)> done = {}) = 0;
    // Shows the files selected together in one file-manager window; where none answers, opens the
    // first one's folder. An empty list opens nothing.
    virtual void revealFiles(const QStringList& paths, std::function<void(bool shown)> done = {}) = 0;

signals:
    void frontmostApplicationChanged();
};
