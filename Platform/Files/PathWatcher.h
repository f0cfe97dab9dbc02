#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class QFileSystemWatcher;
class QTimer;

// Tells a moment after a file changes, however it changed: rewritten in place, replaced by a
// rename or removed, or a folder on its path moved away, removed or made again. What each path
// names now is watched, never a folder that was moved elsewhere: the file, and every folder from
// it up to the root, are looked at again once a change (or a burst of them) has settled. The paths
// themselves are asked for again then too (a link may lead elsewhere now). Lives on its thread's
// event loop.
class PathWatcher : public QObject {
    Q_OBJECT
public:
    // `files` gives the files to watch (absolute paths).
    explicit PathWatcher(std::function<QStringList()> files, QObject* parent = nullptr);
    ~PathWatcher() override;

    // How long after a change `changed` comes: a save is a few changes, which it waits out.
    static constexpr int settleMs = 250;

signals:
    // Once for the changes made within `settleMs` of the first.
    void changed();

private:
    // Watches what the paths name now; true when any of them names another file or folder than
    // before (or none).
    bool rearm();
    void noticed(const QString& path);
    // The changes settled: looks at the paths again, and tells of a change of the files.
    void settled();

    struct Watched {
        QByteArray identity;  // of what the path named when looked at; empty when nothing
        bool armed = false;
    };
    std::function<QStringList()> files_;
    QFileSystemWatcher* watcher_;
    QTimer* settle_;
    QHash<QString, Watched> watched_;
    QSet<QString> near_;  // the files and their folders: a change there is a change of a file
    bool nearChanged_ = false;  // one of them changed since the last look
};
