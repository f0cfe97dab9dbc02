#include "Platform/Files/PathWatcher.h"

#include "Platform/Files/InotifyWatches.h"
#include "Platform/Files/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <atomic>
#include <utility>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> looks{0};

// A file or folder itself moved away or removed.
constexpr uint32_t selfEvents = IN_DELETE_SELF | IN_MOVE_SELF;
// An entry of a folder made, removed or replaced.
constexpr uint32_t entryEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM;
// A file written in place, its modes changed, or a link to it gone (replaced by a rename, removed).
constexpr uint32_t fileEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | selfEvents;

bool isLink(const QString& path) {
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISLNK(status.st_mode);
}

bool isReadable(const QString& path) { return ::access(QFile::encodeName(path).constData(), R_OK) == 0; }

}  // namespace

struct PathWatcher::Look {
    QByteArrayList identities;  // of each file and folder on the paths, followed as a watch follows a link
    QByteArrayList stamps;  // of the files
    std::vector<InotifyWatches::Watch> watches;
};

PathWatcher::PathWatcher(std::function<QStringList()> files, QObject* parent)
    : QObject(parent), files_(std::move(files)), watches_(InotifyWatches::forThisThread()), settle_(new QTimer(this)),
      retry_(new QTimer(this)) {
    settle_->setSingleShot(true);
    settle_->setInterval(settleMs);
    retry_->setInterval(retryMs);
    // Not put off by later changes: a file another program writes bit by bit is looked at meanwhile.
    connect(settle_, &QTimer::timeout, this, &PathWatcher::settled);
    connect(retry_, &QTimer::timeout, this, &PathWatcher::retry);
    rearm();
}

PathWatcher::~PathWatcher() { watches_->drop(this); }

int PathWatcher::looksSoFar() { return looks; }

void PathWatcher::noticed() {
    changedMeanwhile_ = true;
    if (!settle_->isActive()) settle_->start();
}

void PathWatcher::settled() {
    const bool moved = rearm();
    if (std::exchange(changedMeanwhile_, false) || moved) emit changed();
}

void PathWatcher::retry() {
    const QByteArrayList before = stamps_;
    const bool moved = rearm();
    if (moved || stamps_ != before) emit changed();
}

PathWatcher::Look PathWatcher::look() const {
    Look look;
    for (const QString& given : files_()) {
        const QString file = QDir::cleanPath(QFileInfo(given).absoluteFilePath());
        look.stamps << SafeFile::stamp(file);
        // The folders from the root down, then the file.
        QStringList chain{file};
        for (QString up = QFileInfo(file).absolutePath();; up = QFileInfo(up).absolutePath()) {
            chain.prepend(up);
            if (QDir(up).isRoot()) break;
        }
        QByteArrayList identities;
        for (const QString& path : std::as_const(chain)) {
            identities << SafeFile::identity(path, true);
            if (identities.last().isEmpty()) break;  // what lies below is missing too
        }
        look.identities << identities << QByteArray("/");
        for (qsizetype i = 0; i < identities.size() && !identities[i].isEmpty(); ++i) {
            const bool isFile = i + 1 == chain.size();
            look.watches.push_back({chain[i], isFile ? fileEvents : selfEvents, {}});
            if (isFile) continue;
            // Its next name where that is missing, a link (which may be made to lead elsewhere) or
            // a file that cannot be watched itself: the only entry of the folder whose changes
            // count. A file watched itself tells of its own replacement (its links counted down).
            const QString& next = chain[i + 1];
            if (identities[i + 1].isEmpty() || isLink(next) || (i + 2 == chain.size() && !isReadable(next)))
                look.watches.push_back({chain[i], entryEvents, QFile::encodeName(QFileInfo(next).fileName())});
        }
    }
    return look;
}

bool PathWatcher::rearm() {
    ++looks;
    Look now = look();
    bool refused = false;
    for (int round = 0; round < 8; ++round) {
        refused = !watches_->watch(this, now.watches, [this] { noticed(); });
        // What changed while the watches were placed is watched in turn, and counts as a change.
        Look after = look();
        const bool same = after.identities == now.identities;
        now = std::move(after);
        if (same) break;
    }
    const bool moved = now.identities != identities_;
    identities_ = std::move(now.identities);
    stamps_ = std::move(now.stamps);
    if (refused && !retry_->isActive()) retry_->start();
    if (!refused) retry_->stop();
    return moved;
}
