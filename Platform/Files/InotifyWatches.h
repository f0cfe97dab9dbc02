#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class QSocketNotifier;

// One inotify instance for the watchers of a thread (the GUI thread's: the stores'), its watches
// shared between them: a folder on several watched paths is watched once, for what any of them
// wants of it. A watcher is told only of events it asked for, an event in a folder only when it
// names the entry the watcher asked about, so a busy folder beside or above a watched path costs
// a read of its events and nothing more.
class InotifyWatches : public QObject {
    Q_OBJECT
public:
    struct Watch {
        QString path;  // followed where it is a link, as the kernel's watch follows it
        uint32_t mask = 0;  // IN_* events
        // The entry of the folder at `path` whose events count; empty: events of `path` itself.
        QByteArray name;
    };
    // Told of the events it asked for (and, after the kernel lost some, of a change at once).
    using Notify = std::function<void()>;

    // The thread's instance; made with its first client and gone with its last.
    static InotifyWatches* forThisThread();

    // Watches what `watches` name now for the client (in place of what it watched before); false
    // when one of them is refused for want of room (the user's watches or inotify instances used
    // up): what was not refused is still watched, and the client asks again later. What cannot be
    // read is left unwatched.
    bool watch(const QObject* client, std::vector<Watch> watches, Notify notify);
    void drop(const QObject* client);

    // How a watch is added (inotify_add_watch; tests refuse some).
    using AddWatch = std::function<int(int fd, const char* path, uint32_t mask)>;
    static void setAddWatchForTesting(AddWatch addWatch);

private:
    InotifyWatches();
    ~InotifyWatches() override;
    // Places the watches every client wants now; the clients some of them were refused to.
    QList<const QObject*> rewatch();
    void readEvents();

    struct Client {
        std::vector<Watch> watches;
        Notify notify;
    };
    struct Target {
        const QObject* client;
        uint32_t mask;
        QByteArray name;
    };
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QHash<const QObject*, Client> clients_;
    QHash<int, std::vector<Target>> targets_;  // by watch descriptor
};
