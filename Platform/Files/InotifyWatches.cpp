#include "Platform/Files/InotifyWatches.h"

#include <QFile>
#include <QSet>
#include <QSocketNotifier>

#include <cerrno>
#include <map>
#include <utility>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local InotifyWatches* current = nullptr;

InotifyWatches::AddWatch& addWatchCall() {
    static InotifyWatches::AddWatch call;
    return call;
}

int addWatch(int fd, const char* path, uint32_t mask) {
    if (const InotifyWatches::AddWatch& call = addWatchCall()) return call(fd, path, mask);
    return ::inotify_add_watch(fd, path, mask);
}

}  // namespace

InotifyWatches* InotifyWatches::forThisThread() {
    if (!current) current = new InotifyWatches;
    return current;
}

InotifyWatches::InotifyWatches() = default;

InotifyWatches::~InotifyWatches() {
    if (current == this) current = nullptr;
    delete notifier_;
    if (fd_ >= 0) ::close(fd_);
}

void InotifyWatches::setAddWatchForTesting(AddWatch addWatch) { addWatchCall() = std::move(addWatch); }

bool InotifyWatches::watch(const QObject* client, std::vector<Watch> watches, Notify notify) {
    clients_[client] = Client{std::move(watches), std::move(notify)};
    return !rewatch().contains(client);
}

void InotifyWatches::drop(const QObject* client) {
    if (!clients_.remove(client)) return;
    if (clients_.isEmpty()) {
        delete this;
        return;
    }
    rewatch();
}

QList<const QObject*> InotifyWatches::rewatch() {
    if (fd_ < 0) {
        // Tried again with each look while the user's instances are used up.
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0) return clients_.keys();
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &InotifyWatches::readEvents);
    }
    // What the watches saw so far is told first: a watch ended below must not take its events along.
    readEvents();
    // One watch for each file or folder, whichever paths name it, for what any client wants of it.
    struct Inode {
        QByteArray path;
        uint32_t mask = 0;
        std::vector<Target> targets;
    };
    std::map<std::pair<dev_t, ino_t>, Inode> inodes;
    for (auto client = clients_.cbegin(); client != clients_.cend(); ++client) {
        for (const Watch& watch : client->watches) {
            const QByteArray path = QFile::encodeName(watch.path);
            struct stat status {};
            // Gone meanwhile: the client looks at its paths again once they are watched.
            if (::stat(path.constData(), &status) != 0) continue;
            Inode& inode = inodes[{status.st_dev, status.st_ino}];
            if (inode.path.isEmpty()) inode.path = path;
            inode.mask |= watch.mask;
            inode.targets.push_back(Target{client.key(), watch.mask, watch.name});
        }
    }
    QList<const QObject*> refused;
    QHash<int, std::vector<Target>> targets;
    for (auto& [key, inode] : inodes) {
        const int wd = addWatch(fd_, inode.path.constData(), inode.mask);
        if (wd < 0) {
            // Gone meanwhile (as above), or not readable: only a watch refused for want of room
            // is asked for again.
            if (errno != ENOSPC && errno != ENOMEM) continue;
            for (const Target& target : inode.targets)
                if (!refused.contains(target.client)) refused << target.client;
            continue;
        }
        std::vector<Target>& onWatch = targets[wd];
        onWatch.insert(onWatch.end(), inode.targets.begin(), inode.targets.end());
    }
    for (auto it = targets_.cbegin(); it != targets_.cend(); ++it)
        if (!targets.contains(it.key())) ::inotify_rm_watch(fd_, it.key());
    targets_ = std::move(targets);
    return refused;
}

void InotifyWatches::readEvents() {
    QSet<const QObject*> told;
    alignas(inotify_event) char buffer[32 * 1024];
    for (;;) {
        const ssize_t length = ::read(fd_, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR) continue;
        if (length <= 0) break;
        for (const char* at = buffer; at < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            at += sizeof(inotify_event) + event->len;
            if (event->mask & IN_Q_OVERFLOW) {
                // Events were lost: every client looks again.
                for (auto client = clients_.cbegin(); client != clients_.cend(); ++client) told << client.key();
                continue;
            }
            const auto onWatch = targets_.constFind(event->wd);
            if (onWatch == targets_.cend()) continue;
            // A watch the kernel ended (its file or folder gone, its file system unmounted) is a
            // change of what every client watched there.
            const bool ended = event->mask & (IN_IGNORED | IN_UNMOUNT);
            for (const Target& target : *onWatch) {
                if (!ended) {
                    if (!(event->mask & target.mask)) continue;
                    if (target.name.isEmpty() ? event->len != 0 : event->len == 0 || target.name != event->name)
                        continue;
                }
                told << target.client;
            }
        }
    }
    for (const QObject* each : std::as_const(told)) {
        const auto client = clients_.constFind(each);
        if (client == clients_.cend()) continue;
        const Notify notify = client->notify;
        notify();
    }
}
