#pragma once

#include "Platform/Desktop/Workspace.h"

#include <QIcon>
#include <QStringList>

#include <vector>

// An in-memory workspace: running applications, a front one, the icon it gives every file, and
// a record of what was asked of it. Activating an application brings it to the front unless the
// workspace is stubborn.
class FakeWorkspace : public Workspace {
public:
    std::vector<RunningApplication> running;
    std::optional<RunningApplication> front;
    QIcon fileIcon;
    std::vector<qint64> activated;
    std::vector<qint64> terminated;
    std::vector<QUrl> opened;
    QStringList revealed;
    std::vector<QStringList> revealedTogether;  // each revealFiles() call
    bool terminateSucceeds = true;
    bool stubborn = false;
    bool revealShows = true;  // a file manager answers
    bool openSucceeds = true;  // a program takes the URLs

    std::optional<RunningApplication> frontmostApplication() override { return front; }
    std::vector<RunningApplication> runningApplications() override { return running; }
    bool activate(const RunningApplication& app) override {
        activated.push_back(app.pid);
        if (stubborn) return true;
        front = app;
        emit frontmostApplicationChanged();
        return true;
    }
    bool terminate(const RunningApplication& app) override {
        terminated.push_back(app.pid);
        return terminateSucceeds;
    }
    QIcon icon(const QString&) override { return fileIcon; }
    void openUrl(const QUrl& url, std::function<void(bool)> done = {}) override {
        opened.push_back(url);
        if (done) done(openSucceeds);
    }
    void revealFile(const QString& path, std::function<void(bool)> done = {}) override {
        revealed << path;
        if (done) done(revealShows);
    }
    void revealFiles(const QStringList& paths, std::function<void(bool)> done = {}) override {
        revealedTogether.push_back(paths);
        if (done) done(revealShows && !paths.isEmpty());
    }

    static RunningApplication app(qint64 pid, const QString& id, const QString& name = {}) {
        return RunningApplication{pid, id, name.isEmpty() ? id : name, QStringLiteral("/usr/share/applications/") + id};
    }
};
