#include "Platform/Desktop/SingleInstance.h"

#include "Platform/Files/FileWriter.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/UniqueFd.h"
#include "Platform/Files/UserFolders.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

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

constexpr const char* kFolderName = "com.pelwick.Quorvin";

constexpr char kFolderByFd[] = "/proc/self/fd/";
constexpr char kSocketSuffix[] = ".socket";
// The longest name whose socket address fits whatever the folder's descriptor (ten digits at most).
constexpr qsizetype kLongestName =
    qsizetype(sizeof(sockaddr_un::sun_path)) - (sizeof kFolderByFd - 1) - 10 - 1 - (sizeof kSocketSuffix - 1) - 1;

// The lock's and the socket's name for `name`: as it is when the socket's address can hold it, else
// its start and a hash of the whole, always kLongestName long, so that no two names share one and a
// shortened name is never one kept as it was.
QByteArray fittedName(const QByteArray& name) {
    if (name.size() < kLongestName) return name;
    const QByteArray hash = QCryptographicHash::hash(name, QCryptographicHash::Sha256).toHex().left(32);
    return name.left(kLongestName - 1 - hash.size()) + '-' + hash;
}

// The socket's address in a folder held open, by its descriptor: short whatever the folder's path,
// and nothing put in the folder's place meanwhile is used. False when it cannot hold the name.
bool socketAddress(int folder, const QByteArray& name, sockaddr_un& address) {
    const QByteArray path = kFolderByFd + QByteArray::number(folder) + '/' + name + kSocketSuffix;
    address = {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path) {
        errno = ENAMETOOLONG;
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return true;
}

// A socket listening in the folder, or -1.
int listeningSocket(int folder, const QByteArray& name) {
    sockaddr_un address;
    if (!socketAddress(folder, name, address)) return -1;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0 || ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return -1;
    ::chmod(address.sun_path, 0600);
    if (::listen(fd.get(), 16) != 0) return -1;
    return fd.release();
}

// A socket connected to the one listening in the folder, or -1. Never blocks, even on a full backlog.
int connectedSocket(int folder, const QByteArray& name) {
    sockaddr_un address;
    if (!socketAddress(folder, name, address)) return -1;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (fd.get() < 0 || ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return -1;
    return fd.release();
}

QString folderOf(const QString& path) { return path.left(path.lastIndexOf(QLatin1Char('/'))); }

QString cleaned(QString part) {
    static const QRegularExpression unsafe(QStringLiteral("[^A-Za-z0-9._-]"));
    return part.replace(unsafe, QStringLiteral("_"));
}

}  // namespace

QString SingleInstance::fallbackFolder() {
    return UserFolders::temporary() + QStringLiteral("/quorvin-%1").arg(::geteuid());
}

QString SingleInstance::defaultPath() {
    QString runtime = UserFolders::runtimeHome();
    if (runtime.isEmpty()) runtime = fallbackFolder();
    QString user = qEnvironmentVariable("USER");
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name) user = QString::fromLocal8Bit(entry->pw_name);
    // "host:display.screen": the screen is the same display.
    QString display = qEnvironmentVariable("DISPLAY");
    if (const qsizetype colon = display.lastIndexOf(QLatin1Char(':')); colon >= 0) {
        const qsizetype dot = display.indexOf(QLatin1Char('.'), colon);
        if (dot > colon) display.truncate(dot);
    }
    if (display.isEmpty()) display = QStringLiteral("none");
    return runtime + QLatin1Char('/') + QLatin1String(kFolderName) + QStringLiteral("/instance-") + cleaned(user) +
           QLatin1Char('-') + cleaned(display);
}

SingleInstance::SingleInstance(const QString& path, const QString& fallback, QObject* parent)
    : QObject(parent), path_(path), fallback_(fallback),
      name_(fittedName(NativePath::encode(path.section(u'/', -1)))) {}

SingleInstance::~SingleInstance() {
    delete notifier_;
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        ::unlinkat(folderFd_, (name_ + kSocketSuffix).constData(), 0);
    }
    if (lockFd_ >= 0) ::close(lockFd_);
    if (folderFd_ >= 0) ::close(folderFd_);
}

bool SingleInstance::openFolder(const QString& folder, const QString& top, QString& reason) {
    QStringList chain{folder};
    while (chain.front() != top && chain.front().startsWith(top + QLatin1Char('/')))
        chain.prepend(folderOf(chain.front()));
    UniqueFd held;
    for (const QString& each : std::as_const(chain)) {
        if (const auto failure = FileWriter::shared().makePrivateFolder(each)) {
            reason = NativePath::displayed(failure->path) + QStringLiteral(": ") + failure->reason;
            return false;
        }
        // Opened through the one above, never through a link: what was checked is what is used.
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        UniqueFd next(
            held.get() < 0
                ? ::open(NativePath::encode(each).constData(), flags)
                : ::openat(held.get(), NativePath::encode(each.section(QLatin1Char('/'), -1)).constData(), flags));
        struct stat st {};
        if (next.get() < 0 || ::fstat(next.get(), &st) != 0) {
            reason = NativePath::displayed(each) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
            return false;
        }
        if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
            reason = NativePath::displayed(each) + QStringLiteral(": changed while it was made private");
            return false;
        }
        held.reset(next.release());
    }
    folderFd_ = held.release();
    return true;
}

bool SingleInstance::openPlace() {
    const QString folder = folderOf(path_);
    // A path in the fallback folder is made private from that folder down.
    const bool inFallback = !fallback_.isEmpty() && folder.startsWith(fallback_ + QLatin1Char('/'));
    QString reason;
    // Nothing is made in a runtime folder that is not ours (another user's, kept through sudo -E, say).
    struct stat runtime {};
    const QString runtimeFolder = folderOf(folder);
    if (!inFallback && ::stat(NativePath::encode(runtimeFolder).constData(), &runtime) == 0 &&
        runtime.st_uid != ::geteuid())
        reason = NativePath::displayed(runtimeFolder) + QStringLiteral(": belongs to another user");
    else if (openFolder(folder, inFallback ? fallback_ : folder, reason))
        return true;
    if (!fallback_.isEmpty() && !inFallback) {
        const QString instead = fallback_ + QLatin1Char('/') + QLatin1String(kFolderName);
        qCWarning(lcInstance, "Cannot use %s for the single-instance lock (%s); using %s instead",
                  qPrintable(NativePath::displayed(folder)), qPrintable(reason),
                  qPrintable(NativePath::displayed(instead)));
        path_ = instead + QLatin1Char('/') + path_.section(QLatin1Char('/'), -1);
        if (openFolder(instead, fallback_, reason)) return true;
    }
    qCWarning(lcInstance,
              "Cannot make the single-instance lock (%s): another start on this display is not noticed and runs "
              "beside this one",
              qPrintable(reason));
    return false;
}

SingleInstance::Claim SingleInstance::claim(int timeoutMs) {
    if (lockFd_ >= 0) return Claim::primary;
    if (folderFd_ < 0 && !openPlace()) return Claim::unavailable;
    const int fd = ::openat(folderFd_, (name_ + ".lock").constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        qCWarning(lcInstance, "Cannot make the single-instance lock in %s: %s",
                  qPrintable(NativePath::displayed(folderOf(path_))), std::strerror(errno));
        return Claim::unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lockFd_ = fd;
        return listen() ? Claim::primary : Claim::unavailable;
    }
    ::close(fd);

    // Another instance holds the lock; it may still be starting to listen.
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        const int connected = connectedSocket(folderFd_, name_);
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
    // Holding the lock, a socket left there is a dead instance's.
    ::unlinkat(folderFd_, (name_ + kSocketSuffix).constData(), 0);
    listenFd_ = listeningSocket(folderFd_, name_);
    if (listenFd_ < 0) {
        const QString socket = folderOf(path_) + QLatin1Char('/') + NativePath::decode(name_ + kSocketSuffix);
        qCWarning(lcInstance, "Cannot listen on %s: %s", qPrintable(NativePath::displayed(socket)),
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
        // A peer that never asks is not kept open.
        QTimer::singleShot(askWithinMs, socket, [socket] { socket->abort(); });
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
