#pragma once

#include <QByteArrayList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class InotifyWatches;
class QTimer;

// Tells a moment after a file changes, however it changed: rewritten in place, replaced by a
// rename or removed, or a folder on its path moved away, removed, made again or made a link. What
// each path names now is watched, never a folder that was moved elsewhere: the file (which tells
// of its own replacement too), and each folder above for its own move or removal, and for the
// next name on the path where that is missing or a link. A change there is waited out, then the
// paths are asked for again (a link may lead elsewhere now) and watched anew. Nothing else in
// those folders wakes it: a busy home folder costs nothing. Where a watch is refused (the user's
// inotify watches or instances used up), it is tried again every `retryMs`, and the files' stamps
// are looked at meanwhile. Lives on its thread's event loop; the watchers of a thread share one
// inotify instance.
class PathWatcher : public QObject {
    Q_OBJECT
public:
    // `files` gives the files to watch (absolute paths).
    explicit PathWatcher(std::function<QStringList()> files, QObject* parent = nullptr);
    ~PathWatcher() override;

    // How long after a change `changed` comes: a save is a few changes, which it waits out.
    static constexpr int settleMs = 250;
    // How often a refused watch is tried again, and the files looked at meanwhile.
    static constexpr int retryMs = 1000;

    // How many times the watchers of this process have looked at their paths (at start, after a
    // change, while a watch is refused): what a change beside them would cost.
    static int looksSoFar();

signals:
    // Once for the changes made within `settleMs` of the first.
    void changed();

private:
    // Watches what the paths name now; true when any of them names another file or folder than
    // before (or none).
    bool rearm();
    void noticed();
    // The changes settled: looks at the paths again, and tells of a change of the files.
    void settled();
    // While a watch is refused: tries it again, and tells of a change of the files' stamps.
    void retry();

    struct Look;
    // What the paths name now, and what of it to watch.
    Look look() const;

    std::function<QStringList()> files_;
    InotifyWatches* watches_;
    QTimer* settle_;
    QTimer* retry_;
    QByteArrayList identities_;  // of what the paths named when last looked at
    QByteArrayList stamps_;  // of the files then
    bool changedMeanwhile_ = false;
};
