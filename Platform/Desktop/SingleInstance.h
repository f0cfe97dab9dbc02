#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// One running program per user and display. The first start holds a lock file and listens on a
// local socket beside it, in a folder only the user can enter; a later start asks it to show
// itself and learns whether it answered. GUI thread only.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        primary,           // no other instance runs: this one listens now
        activatedRunning,  // the running instance was asked to show itself and said so
        runningButSilent,  // an instance runs but did not answer in time (frozen or starting)
        unavailable,       // the folder cannot be used safely: nothing is known
    };

    // "$XDG_RUNTIME_DIR/com.pelwick.Quorvin/instance-<user>-<display>" (without suffix).
    static QString defaultPath();
    // `path` names the lock (".lock") and the socket (".socket"); its folder is made 0700.
    explicit SingleInstance(const QString& path, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance or asks the running one to show itself, waiting at most
    // `timeoutMs` for its answer.
    Claim claim(int timeoutMs = 1000);

signals:
    // Another start asked this running instance to show itself.
    void activationRequested();

private:
    bool listen();
    void serve();

    QString path_;
    int lockFd_ = -1;
    int listenFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};
