#pragma once

#include "Platform/Desktop/Workspace.h"

#include <QStringList>

#include <vector>

// An in-memory workspace: a list of running applications, a front one, and a record of what
// was asked of it.
class FakeWorkspace : public Workspace {
public:
    std::vector<RunningApplication> running;
    std::optional<qint64> frontPid;
    std::vector<qint64> activated;
    std::vector<qint64> terminated;
    std::vector<QUrl> opened;
    QStringList revealed;
    bool terminateSucceeds = true;

    std::optional<RunningApplication> frontmostApplication() override {
        for (const auto& app : running) {
            if (frontPid && app.pid == *frontPid) return app;
        }
        return std::nullopt;
    }
    std::vector<RunningApplication> runningApplications() override { return running; }
    bool activate(const RunningApplication& app) override {
        activated.push_back(app.pid);
        frontPid = app.pid;
        emit frontmostApplicationChanged();
        return true;
    }
    bool terminate(const RunningApplication& app) override {
        terminated.push_back(app.pid);
        return terminateSucceeds;
    }
    QIcon icon(const QString&) override { return {}; }
    bool openUrl(const QUrl& url) override {
        opened.push_back(url);
        return true;
    }
    void revealFile(const QString& path) override { revealed << path; }

    static RunningApplication app(qint64 pid, const QString& id, const QString& name = {}) {
        return RunningApplication{pid, id, name.isEmpty() ? id : name, QStringLiteral("/usr/share/applications/") + id};
    }
};
