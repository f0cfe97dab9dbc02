#include "Platform/Desktop/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "com.pelwick.Quorvin.Instance", QtInfoMsg)

namespace {

const QByteArray kActivate = "activate\n";
const QByteArray kAnswer = "ok\n";

// The folder exists as a real directory of ours, mode 0700; never through a link.
bool makePrivateFolder(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno == ENOENT) {
        QDir().mkpath(QFileInfo(folder).absolutePath());
        ::mkdir(path.constData(), 0700);
    }
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool ours = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
                      ((st.st_mode & 07777) == 0700 || ::fchmod(fd, 0700) == 0);
    ::close(fd);
    return ours;
}

QString cleaned(QString part) {
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    return part.replace(unsafe, QStringLiteral("_"));
}

}  // namespace

QString SingleInstance::defaultPath() {
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty()) runtime = QDir::tempPath() + QStringLiteral("/quorvin-%1").arg(::geteuid());
    QString user = qEnvironmentVariable("USER");
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name) user = QString::fromLocal8Bit(entry->pw_name);
    // "host:display.screen": the screen is the same display.
    QString display = qEnvironmentVariable("DISPLAY");
    if (const qsizetype colon = display.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        const qsizetype dot = display.indexOf(QLatin1Char('.'), colon);
        if (dot > colon) display.truncate(dot);
    }
    if (display.isEmpty()) display = QStringLiteral("none");
    return runtime + QStringLiteral("/com.pelwick.Quorvin/instance-") + cleaned(user) + QLatin1Char('-') + cleaned(display);
}

SingleInstance::SingleInstance(const QString& path, QObject* parent) : QObject(parent), path_(path) {}

SingleInstance::~SingleInstance() {
    if (server_) server_->close();
    if (lockFd_ >= 0) ::close(lockFd_);
}

SingleInstance::Claim SingleInstance::claim(int timeoutMs) {
    if (lockFd_ >= 0) return Claim::primary;
    if (!makePrivateFolder(QFileInfo(path_).absolutePath())) {
        qCWarning(lcInstance, "Cannot use %s for the single-instance lock", qPrintable(QFileInfo(path_).absolutePath()));
        return Claim::unavailable;
    }
    const QByteArray lockPath = QFile::encodeName(path_ + QStringLiteral(".lock"));
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return Claim::unavailable;
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lockFd_ = fd;
        return listen() ? Claim::primary : Claim::unavailable;
    }
    ::close(fd);

    // Another instance holds the lock; it may still be starting to listen.
    const QDeadlineTimer deadline(timeoutMs);
    const QString socketPath = path_ + QStringLiteral(".socket");
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (!socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            QThread::msleep(20);
            continue;
        }
        socket.write(kActivate);
        socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 1)));
        QByteArray answer;
        while (!answer.contains('\n') && !deadline.hasExpired() &&
               socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
            answer += socket.readAll();
        return answer.startsWith(kAnswer) ? Claim::activatedRunning : Claim::runningButSilent;
    }
    return Claim::runningButSilent;
}

bool SingleInstance::listen() {
    const QString socketPath = path_ + QStringLiteral(".socket");
    // Holding the lock, a socket left there is a dead instance's.
    QFile::remove(socketPath);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath)) {
        qCWarning(lcInstance, "Cannot listen on %s: %s", qPrintable(socketPath), qPrintable(server_->errorString()));
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::serve);
    return true;
}

void SingleInstance::serve() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > 64) socket->abort();
                return;
            }
            if (socket->readLine(64) == kActivate) {
                socket->write(kAnswer);
                socket->flush();
                emit activationRequested();
            }
            socket->disconnectFromServer();
        });
    }
}
