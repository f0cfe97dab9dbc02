#include "Platform/Desktop/SingleInstance.h"

#include "Platform/Files/FileWriter.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/UniqueFd.h"
#include "Platform/Files/UserFolders.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "com.pelwick.Quorvin.Instance", QtInfoMsg)

namespace {

const QByteArray kActivate = "activate\n";
const QByteArray kAnswer = "ok\n";

// The socket's address by the path's exact bytes (Qt's own would name a folder that is not UTF-8
// by its look-alike); absent when the path is too long for one.
std::optional<sockaddr_un> socketAddress(const QString& path) {
    const QByteArray bytes = NativePath::encode(path);
    sockaddr_un address{};
    if (bytes.isEmpty() || size_t(bytes.size()) >= sizeof address.sun_path) return std::nullopt;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    return address;
}

// A socket listening at the path, or -1.
int listeningSocket(const QString& path) {
    const auto address = socketAddress(path);
    if (!address) return -1;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0 || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) return -1;
    ::chmod(address->sun_path, 0600);
    if (::listen(fd.get(), 16) != 0) return -1;
    return fd.release();
}

// A socket connected to the one listening at the path, or -1. Never blocks, even on a full backlog.
int connectedSocket(const QString& path) {
    const auto address = socketAddress(path);
    if (!address) return -1;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0 || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0)
        return -1;
    return fd.release();
}

QString cleaned(QString part) {
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    return part.replace(unsafe, QStringLiteral("_"));
}

}  // namespace

QString SingleInstance::defaultPath() {
    QString runtime = UserFolders::runtimeHome();
    if (runtime.isEmpty()) runtime = UserFolders::temporary() + QStringLiteral("/quorvin-%1").arg(::geteuid());
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
    delete notifier_;
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlink(NativePath::encode(path_ + QStringLiteral(".socket")).constData());
    }
    if (lockFd_ >= 0) ::close(lockFd_);
}

SingleInstance::Claim SingleInstance::claim(int timeoutMs) {
    if (lockFd_ >= 0) return Claim::primary;
    const QString folder = QFileInfo(path_).absolutePath();
    if (const auto failure = FileWriter::shared().makePrivateFolder(folder)) {
        qCWarning(lcInstance, "Cannot use %s for the single-instance lock: %s",
                  qPrintable(NativePath::displayed(folder)), qPrintable(failure->reason));
        return Claim::unavailable;
    }
    const QByteArray lockPath = NativePath::encode(path_ + QStringLiteral(".lock"));
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
        const int connected = connectedSocket(socketPath);
        if (connected < 0 || !socket.setSocketDescriptor(connected)) {
            if (connected >= 0) ::close(connected);
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
    ::unlink(NativePath::encode(socketPath).constData());
    listenFd_ = listeningSocket(socketPath);
    if (listenFd_ < 0) {
        qCWarning(lcInstance, "Cannot listen on %s: %s", qPrintable(NativePath::displayed(socketPath)),
                  std::strerror(errno));
        return false;
    }
    notifier_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SingleInstance::serve);
    return true;
}

void SingleInstance::serve() {
    for (int fd; (fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;) {
        auto* socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(fd)) {
            ::close(fd);
            delete socket;
            continue;
        }
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
