#include "Platform/Files/PathWatcher.h"

#include "Platform/Files/SafeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

#include <utility>

PathWatcher::PathWatcher(std::function<QStringList()> files, QObject* parent)
    : QObject(parent), files_(std::move(files)), watcher_(new QFileSystemWatcher(this)), settle_(new QTimer(this)) {
    settle_->setSingleShot(true);
    settle_->setInterval(settleMs);
    // Not put off by later changes: a folder other programs share may change all the time.
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &PathWatcher::noticed);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &PathWatcher::noticed);
    connect(settle_, &QTimer::timeout, this, &PathWatcher::settled);
    rearm();
}

PathWatcher::~PathWatcher() = default;

void PathWatcher::noticed(const QString& path) {
    // The path is looked at once the changes settle: a folder above the file may change all the
    // time (the home folder, say), and a burst of its changes costs one look.
    nearChanged_ = nearChanged_ || near_.contains(path);
    if (!settle_->isActive()) settle_->start();
}

void PathWatcher::settled() {
    // Of a folder above the file, only one that moved counts.
    const bool moved = rearm();
    if (std::exchange(nearChanged_, false) || moved) emit changed();
}

bool PathWatcher::rearm() {
    bool moved = false;
    // A folder made meanwhile is watched in turn, and what was made in it is looked at again.
    for (int round = 0; round < 8; ++round) {
        QStringList wanted;
        near_.clear();
        for (const QString& given : files_()) {
            const QString file = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
            const QString folder = QFileInfo(file).absolutePath();
            near_ << file << folder;
            wanted << file;
            for (QString up = folder;; up = QFileInfo(up).absolutePath()) {
                wanted << up;
                if (QDir(up).isRoot()) break;
            }
        }
        wanted.removeDuplicates();

        const QStringList files = watcher_->files(), folders = watcher_->directories();
        const auto armed = [&](const QString& path) { return files.contains(path) || folders.contains(path); };
        bool changedNow = false;
        for (auto it = watched_.begin(); it != watched_.end();) {
            if (wanted.contains(it.key())) {
                ++it;
                continue;
            }
            if (armed(it.key())) watcher_->removePath(it.key());
            it = watched_.erase(it);
        }
        for (const QString& path : std::as_const(wanted)) {
            // Followed as the watch follows a link.
            const QByteArray identity = SafeFile::identity(path, true);
            Watched& watched = watched_[path];
            // The watch of a file or folder removed is dropped; one moved away stays on it.
            if (watched.identity == identity && (!watched.armed || armed(path))) continue;
            changedNow = changedNow || watched.identity != identity;
            if (armed(path)) watcher_->removePath(path);
            watched.identity = identity;
            // One that cannot be watched (no longer there, not readable) is tried again when it changes.
            watched.armed = !identity.isEmpty() && watcher_->addPath(path);
        }
        if (!changedNow) break;
        moved = true;
    }
    return moved;
}
