#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// One running program per user and display. The first start holds a lock file and listens on a
// local socket beside it, in a folder only the user can enter; a later start asks it to show
// itself and learns whether it answered. A folder that is a link, another user's, or that cannot be
// made is never used: the lock is never shared with another user. GUI thread only.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        primary,           // no other instance runs: this one listens now
        activatedRunning,  // the running instance was asked to show itself and said so
        runningButSilent,  // an instance runs but did not answer in time (frozen or starting)
        unavailable,       // the folder cannot be used safely: nothing is known
    };

    // "$XDG_RUNTIME_DIR/com.pelwick.Quorvin/instance-<user>-<display>" (without suffix); without a
    // runtime folder, the same in fallbackFolder().
    static QString defaultPath();
    // "$TMPDIR/quorvin-<uid>": the user's own folder in the shared temporary one.
    static QString fallbackFolder();
    // `path` names the lock (".lock") and the socket (".socket"); its folder is made 0700. A name too
    // long for a socket's address keeps its start and ends in a hash of the whole. Where that
    // folder cannot be used, and a `fallback` folder is given, the same names go in its
    // "com.pelwick.Quorvin", both folders made 0700.
    explicit SingleInstance(const QString& path, const QString& fallback = QString(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance or asks the running one to show itself, waiting at most
    // `timeoutMs` for its answer.
    Claim claim(int timeoutMs = 1000);
    // How long a start that connected may take to ask before it is let go.
    static constexpr int askWithinMs = 2000;

signals:
    // Another start asked this running instance to show itself.
    void activationRequested();

private:
    // Opens the folder the lock goes in: the path's own, else the fallback's; false when neither can
    // be used (the log says why).
    bool openPlace();
    // Holds `folder` open, each folder from `top` down to it made private; false with the reason.
    bool openFolder(const QString& folder, const QString& top, QString& reason);
    bool listen();
    void serve();

    QString path_;
    QString fallback_;
    QByteArray name_;  // the lock's and the socket's name without suffix, as bound
    int folderFd_ = -1;  // the folder they are in, held open: nothing put in its place is used
    int lockFd_ = -1;
    int listenFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};
