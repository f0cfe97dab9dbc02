#include "Source/Features/Updates/UpdateManager.h"

#include "Platform/Core/Dispatch.h"
#include "Platform/Core/SerialQueue.h"
#include "Platform/Files/NativePath.h"
#include "Platform/System/DetachedProcess.h"
#include "Source/Features/Updates/BodyInflater.h"
#include "Source/Features/Updates/ReleaseNotes.h"
#include "Source/Features/Updates/ReplyBody.h"
#include "Source/Features/Updates/UpdateInstaller.h"
#include "Source/Features/Updates/UpdateLog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcUpdates, "com.pelwick.Quorvin.Updates", QtInfoMsg)

namespace {
// A server that stops sending mid-way ends the check or download after this long.
constexpr int transferTimeoutMs = 60000;
constexpr qint64 downloadBuffer = 256 * 1024;
constexpr qint64 feedPiece = 64 * 1024;
// A compressed download is inflated this much at a time, and a turn of the event loop reads no piece
// that could take what it has made past this much (deflate makes at most 1032 bytes of each byte).
constexpr qint64 inflatePiece = 1024;
constexpr qint64 deflateMost = 1032;
constexpr qint64 turnOutput = 2 * 1024 * 1024;
// Writing is done on the queue, in order; no turn reads while this much waits to be written.
constexpr qint64 writeAhead = 8 * 1024 * 1024;

bool isTransportError(QNetworkReply::NetworkError error) {
    // HTTP answers (an error page too) arrive with codes from ContentAccessDenied on: their body counts.
    return error != QNetworkReply::NoError && error < QNetworkReply::ContentAccessDenied;
}

// Closes and removes a download (up to hundreds of megabytes: never on the GUI thread). Through the
// open folder and the name's exact bytes: it holds the download alone.
void removeDownload(int file, int lock, const QByteArray& folder) {
    if (file >= 0) ::close(file);
    if (lock >= 0) ::unlinkat(lock, "update.zip", 0);
    if (!folder.isEmpty()) ::rmdir(folder.constData());
    if (lock >= 0) ::close(lock);
}
}  // namespace

// A download under way, read a turn at a time.
struct UpdateManager::Download {
    UpdateFeed::Build build;
    QString temp;  // the temporary folder, for the messages
    std::unique_ptr<BodyInflater> inflater;
    qint64 sent = 0;  // the body's bytes as the server sent them
    bool tooLong = false;
    int writeFailed = 0;  // errno
    qint64 unwritten = 0;  // handed to the queue, not yet written
    bool scheduled = false;  // a turn is due
    bool ended = false;
    bool failed() const { return tooLong || writeFailed || (inflater && !inflater->problem().isEmpty()); }
    void stop(QNetworkReply* reply) {
        tooLong = true;
        reply->abort();
    }
};

UpdateManager::Environment UpdateManager::Environment::standard() {
    const Bundle& bundle = Bundle::main();
    Environment env;
    env.bundle = bundle;
    env.changelogPath = bundle.resourcePath(QStringLiteral("Changelog.json"));
    env.cachePath = ReleaseNotes::defaultCachePath();
    env.feedURL = bundle.feedURL();
    env.defaults = &UserDefaults::standard();
    env.updateKey = QString::fromLatin1(makerPublicKey);
    env.codeSigningKey = QString::fromLatin1(makerPublicKey);
    env.terminate = [] { QCoreApplication::quit(); };
    return env;
}

UpdateManager& UpdateManager::shared() {
    static auto* manager = new UpdateManager(Environment::standard());
    return *manager;
}

UpdateManager::UpdateManager(Environment environment, QObject* parent)
    : QObject(parent), env_(std::move(environment)),
      settings_(std::make_unique<UpdateSettings>(env_.defaults ? *env_.defaults : UserDefaults::standard())),
      queue_(std::make_unique<SerialQueue>("com.merovane.updater", QueuePriority::utility)) {
    // Only the cached notes are used at start: the pending build comes from a live check. The notes
    // shipped in the bundle are there at once; the kept feed may be long and is decoded on the queue.
    QList<Release> builtIn = ReleaseNotes::readBuiltIn(env_.changelogPath);
    releases_ = mergeKept(builtIn, {});
    queue_->async([self = QPointer<UpdateManager>(this), builtIn = std::move(builtIn), cache = env_.cachePath,
                   decode = env_.decodeFeed] {
        QList<Release> notes = mergeKept(builtIn, ReleaseNotes::readCachedReleases(cache, decode));
        Dispatch::main([self, notes = std::move(notes)]() mutable {
            if (!self) return;
            self->notesLoaded_ = true;
            if (!self->notesFetched_) self->setReleases(std::move(notes));
            if (std::exchange(self->toastWaiting_, false)) emit self->toastRequested(self->runningVersion());
        });
    });
}

UpdateManager::~UpdateManager() {
    queue_.reset();  // a verification under way finishes first; its answer finds no manager
    removeDownload(download_, downloadLock_, NativePath::encode(downloadFolder_));
}

void UpdateManager::setNetworkAccessManager(QNetworkAccessManager* network) { network_ = network; }

void UpdateManager::setSslConfiguration(const QSslConfiguration& configuration) { ssl_ = configuration; }

QNetworkAccessManager* UpdateManager::network() {
    if (!network_) network_ = new QNetworkAccessManager(this);
    return network_;
}

QNetworkRequest UpdateManager::request(const QUrl& url) const {
    QNetworkRequest request(url);
    request.setTransferTimeout(transferTimeoutMs);
    // Redirects are followed only to https.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    // Naming the encodings ourselves keeps Qt from inflating the answer on the GUI thread, whole, before
    // anyone can look at its length: a BodyInflater does it as it is read, within our own limits.
    request.setRawHeader("Accept-Encoding", BodyInflater::acceptedEncodings());
    if (ssl_) request.setSslConfiguration(*ssl_);
    return request;
}

QString UpdateManager::currentVersion(const Bundle& bundle) {
    return bundle.version().isEmpty() ? QStringLiteral("0") : bundle.version();
}

qint64 UpdateManager::currentBuild(const Bundle& bundle) {
    return UpdateInstaller::parseBuild(bundle.build()).value_or(0);
}

bool UpdateManager::autoInstall() const { return settings_->autoInstall.value(); }

QList<Release> UpdateManager::merge(const QList<Release>& builtIn, const QList<Release>& fetched) {
    return ReleaseNotes::merge(builtIn, fetched);
}

QList<Release> UpdateManager::mergeKept(const QList<Release>& builtIn, const QList<Release>& fetched) {
    QList<Release> merged = merge(builtIn, fetched);
    if (merged.size() > mostReleases) merged.resize(mostReleases);
    return merged;
}

void UpdateManager::setState(State state) {
    if (state == state_) return;
    state_ = std::move(state);
    emit stateChanged();
}

void UpdateManager::setReleases(QList<Release> releases) {
    if (releases == releases_) return;
    releases_ = std::move(releases);
    emit releasesChanged();
}

void UpdateManager::start() {
    if (timer_) return;
    // What a crash in the middle of an installation left beside the bundle, and downloads cut short.
    queue_->async([bundle = env_.bundle.bundlePath(), temp = UpdateInstaller::temporaryFolder()] {
        if (const int n = UpdateInstaller::sweepLeftovers(bundle))
            qCInfo(lcUpdates, "Removed %d unfinished update folders beside %s", n, qPrintable(bundle));
        if (const int n = UpdateInstaller::sweepDownloads(temp))
            qCInfo(lcUpdates, "Removed %d unfinished update downloads in %s", n, qPrintable(temp));
    });
    showToastIfJustUpdated();
    check(autoInstall());
    // The periodic check only tells; installing waits for the user or the next launch.
    timer_ = new QTimer(this);
    timer_->setInterval(checkInterval * 1000);
    timer_->setTimerType(Qt::VeryCoarseTimer);
    connect(timer_, &QTimer::timeout, this, [this] { check(false); });
    timer_->start();
}

void UpdateManager::showToastIfJustUpdated() {
    if (!settings_->updatedFromVersion.isStored()) return;
    const QString before = settings_->updatedFromVersion.value();
    settings_->updatedFromVersion.reset();
    if (before == runningVersion()) return;
    // The toast's landscape is chosen among the release notes: it waits until they are in.
    if (!notesLoaded_) {
        toastWaiting_ = true;
        return;
    }
    emit toastRequested(runningVersion());
}

void UpdateManager::check(bool install) {
    if (state_.kind() == State::Kind::checking || state_.kind() == State::Kind::installing || installing_) return;
    setState(State::checking());
    QNetworkReply* reply = network()->get(request(QUrl(env_.feedURL)));
    // Read as it comes, a piece at a time, and stopped as soon as it is longer than a feed can be.
    reply->setReadBufferSize(feedPiece);
    auto feed = std::make_shared<ReplyBody>(largestFeed);
    ReplyBody::stopOnUnreadEncoding(reply);
    connect(reply, &QNetworkReply::readyRead, reply, [reply, feed] { feed->read(reply); });
    connect(reply, &QNetworkReply::finished, this,
            [this, reply, install, feed] { feedArrived(reply, *feed, install); });
}

void UpdateManager::feedArrived(QNetworkReply* reply, ReplyBody& feed, bool install) {
    reply->deleteLater();
    const QString problem = feed.end(reply, !isTransportError(reply->error()));
    if (!problem.isEmpty()) return feedRefused(problem);
    if (isTransportError(reply->error())) {
        qCInfo(lcUpdates, "Update check failed: %s", qPrintable(reply->errorString()));
        setState(State::failed(unreachableMessage()));
        return;
    }
    const QByteArray body = feed.take();
    // A long feed takes a while to decode: on the queue, with the cache and the notes read there too.
    queue_->async([self = QPointer<UpdateManager>(this), body, install, decode = env_.decodeFeed,
                   cache = env_.cachePath, changelog = env_.changelogPath] {
        const std::optional<UpdateFeed> feed = decode(body);
        std::optional<UpdateFeed::Build> latest;
        QList<Release> notes;
        if (feed) {
            ReleaseNotes::writeCache(cache, body);
            latest = feed->latest;
            notes = mergeKept(ReleaseNotes::readBuiltIn(changelog), feed->releases);
        }
        Dispatch::main([self, latest, notes = std::move(notes), install]() mutable {
            if (self) self->feedDecoded(latest, std::move(notes), install);
        });
    });
}

void UpdateManager::feedDecoded(const std::optional<UpdateFeed::Build>& latest, QList<Release> releases, bool install) {
    if (!latest) return feedRefused(QStringLiteral("it is not an update feed"));
    notesFetched_ = true;
    setReleases(std::move(releases));
    // A build already swapped in counts as running until the program starts again.
    if (std::max(runningBuild(), replacedBuild_) >= latest->build) {
        setState(State::upToDate());
        return;
    }
    pending_ = latest;
    setState(State::available(latest->version));
    if (install) installPending();
}

void UpdateManager::feedRefused(const QString& problem) {
    // The text the user sees is the one for any answer that is not a feed; the log says why.
    qCInfo(lcUpdates, "Update check failed: the server at %s sent something Quorvin can't read: %s",
           qPrintable(env_.feedURL), qPrintable(problem));
    setState(State::failed(unreachableMessage()));
}

void UpdateManager::installPending() {
    if (!pending_ || installing_) return;
    installing_ = true;
    setState(State::installing());
    const UpdateFeed::Build build = *pending_;

    const QString bundlePath = env_.bundle.bundlePath();
    if (bundlePath.isEmpty())
        return failInstall(QStringLiteral("This Quorvin doesn’t run from an installed Quorvin.app, so it can’t update "
                                          "itself."));
    const QString parent = QFileInfo(bundlePath).absolutePath();
    if (::access(NativePath::encode(parent).constData(), W_OK) != 0)
        return failInstall(UpdateInstaller::replaceFailure(EACCES, NativePath::displayed(parent)));
    if (build.url.scheme() != QLatin1String("https"))
        return failInstall(QStringLiteral("The update isn’t offered over a secure connection."));
    if (build.length <= 0 || build.length > largestArchive)
        return failInstall(UpdateInstaller::signatureFailure(), QStringLiteral("announced length out of range"));

    // A private file in a private folder, locked while in use so that no start of ours sweeps it.
    const QString temp = UpdateInstaller::temporaryFolder();
    QByteArray pattern = NativePath::encode(UpdateInstaller::downloadFolderTemplate(temp));
    if (!::mkdtemp(pattern.data())) return failSaving(errno, temp);
    downloadFolder_ = NativePath::decode(pattern);
    downloadLock_ = ::open(pattern.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (downloadLock_ < 0 || ::flock(downloadLock_, LOCK_EX | LOCK_NB) != 0) return failSaving(errno, temp);
    const QByteArray filePath = pattern + "/update.zip";
    download_ = ::open(filePath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (download_ < 0) return failSaving(errno, temp);

    QNetworkReply* reply = network()->get(request(build.url));
    // Read as it comes: the network does not run ahead of the length check.
    reply->setReadBufferSize(downloadBuffer);
    auto download = std::make_shared<Download>(Download{build, temp, nullptr});
    ReplyBody::stopOnUnreadEncoding(reply);
    // The download stops as soon as it says or shows it is longer than announced.
    connect(reply, &QNetworkReply::metaDataChanged, this, [reply, download] {
        bool ok = false;
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong(&ok);
        if (ok && announced > download->build.length && !download->tooLong) download->stop(reply);
    });
    // What arrives, and the end, are taken on a later turn of the event loop, a bounded amount each.
    connect(reply, &QNetworkReply::readyRead, this, [this, reply, download] { readDownloadSoon(reply, download); });
    connect(reply, &QNetworkReply::finished, this, [this, reply, download] { readDownloadSoon(reply, download); });
}

void UpdateManager::readDownloadSoon(QNetworkReply* reply, const std::shared_ptr<Download>& download) {
    if (std::exchange(download->scheduled, true)) return;
    QMetaObject::invokeMethod(
        this,
        [this, reply = QPointer<QNetworkReply>(reply), download] {
            download->scheduled = false;
            if (reply) readDownload(reply, download);
        },
        Qt::QueuedConnection);
}

void UpdateManager::readDownload(QNetworkReply* reply, const std::shared_ptr<Download>& shared) {
    Download& download = *shared;
    if (download.ended || download.unwritten > writeAhead) return;
    if (!download.inflater)
        download.inflater = std::make_unique<BodyInflater>(reply->rawHeader("Content-Encoding"), download.build.length);
    BodyInflater& inflater = *download.inflater;
    // What the body decodes to is measured, and no more than one byte past the length is ever made.
    // Deflate makes up to some thousand bytes of each byte it reads: a compressed body is fed in small
    // pieces, and no turn makes more than turnOutput.
    const qint64 piece = inflater.encoding().isEmpty() ? downloadBuffer : inflatePiece;
    const qint64 most = inflater.encoding().isEmpty() ? piece : piece * deflateMost;
    QByteArray chunk;
    while (!download.failed() && chunk.size() + most <= turnOutput && reply->bytesAvailable() > 0) {
        const QByteArray raw = reply->read(piece);
        download.sent += raw.size();
        inflater.add(raw, chunk);
        // An encoding adds a little to what it wraps; far more is padding that decodes to nothing.
        if (inflater.isTooLong() || download.sent > download.build.length + downloadBuffer) download.stop(reply);
    }
    // A refused body is not read on, nor left to the transfer's time-out: refused from its first bytes on
    // when its encoding is not one we read.
    if (download.failed() && !reply->isFinished()) reply->abort();
    if (!download.failed() && !chunk.isEmpty()) writeDownload(reply, shared, std::move(chunk));
    if (!download.failed() && reply->bytesAvailable() > 0) {
        // Past the bound, the next turn is due when a write is done.
        if (download.unwritten <= writeAhead) readDownloadSoon(reply, shared);
        return;
    }
    if (reply->isFinished() && download.unwritten == 0) downloadEnded(reply, download);
}

void UpdateManager::writeDownload(QNetworkReply* reply, const std::shared_ptr<Download>& download, QByteArray chunk) {
    download->unwritten += chunk.size();
    queue_->async([fd = download_, chunk = std::move(chunk), self = QPointer<UpdateManager>(this),
                   reply = QPointer<QNetworkReply>(reply), download] {
        int error = 0;
        for (qsizetype done = 0; done < chunk.size();) {
            const ssize_t n = ::write(fd, chunk.constData() + done, size_t(chunk.size() - done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                error = n < 0 ? errno : EIO;
                break;
            }
            done += n;
        }
        Dispatch::main([self, reply, download, error, size = chunk.size()] {
            download->unwritten -= size;
            if (!self || !reply) return;
            if (error && !download->writeFailed) {
                download->writeFailed = error;
                reply->abort();
            }
            self->readDownloadSoon(reply, download);
        });
    });
}

void UpdateManager::downloadEnded(QNetworkReply* reply, Download& download) {
    download.ended = true;
    reply->deleteLater();
    const UpdateFeed::Build& build = download.build;
    if (download.tooLong) {
        // A compressed download is measured by what it inflates to.
        const QByteArray encoding = reply->rawHeader("Content-Encoding");
        return failInstall(
            UpdateInstaller::signatureFailure(),
            QStringLiteral("the download runs past the announced %1 bytes").arg(build.length) +
                (encoding.isEmpty()
                     ? QString()
                     : QStringLiteral(" once decoded from its %1 encoding").arg(QString::fromLatin1(encoding))) +
                QStringLiteral("; stopped with %1 bytes decoded").arg(download.inflater->decoded()));
    }
    if (download.writeFailed) return failSaving(download.writeFailed, download.temp);
    const bool cut = isTransportError(reply->error());
    BodyInflater& inflater = *download.inflater;  // made by the first turn
    if (!inflater.problem().isEmpty() || (!cut && !inflater.finish()))
        return failInstall(
            UpdateInstaller::signatureFailure(),
            QStringLiteral("the download of %1 can't be read: %2").arg(build.url.toString(), inflater.problem()));
    if (cut) {
        const bool insecure = reply->error() == QNetworkReply::InsecureRedirectError;
        return failInstall(
            insecure ? UpdateInstaller::insecureRedirectFailure() : UpdateInstaller::downloadFailure(),
            QStringLiteral("download of ") + build.url.toString() + QStringLiteral(": ") + reply->errorString());
    }
    downloadArrived(build, download.temp);
}

void UpdateManager::failSaving(int code, const QString& folder) {
    const QString reason = QString::fromLocal8Bit(std::strerror(code));
    failInstall(UpdateInstaller::saveFailure(code, folder),
                QStringLiteral("cannot save the download in %1: %2").arg(folder, reason));
}

void UpdateManager::downloadArrived(const UpdateFeed::Build& build, const QString& temp) {
    UpdateInstaller::Job job;
    job.archivePath = downloadFolder_ + QStringLiteral("/update.zip");
    job.length = build.length;
    job.signature = build.signature;
    job.updateKey = env_.updateKey;
    job.codeSigningKey = env_.codeSigningKey;
    job.bundlePath = env_.bundle.bundlePath();
    job.identifier = env_.bundle.identifier();
    job.feedBuild = build.build;
    job.runningBuild = std::max(runningBuild(), replacedBuild_);
    QPointer<UpdateManager> self(this);
    // The file is closed, and the folder stays locked until it is removed, on the queue.
    const int file = std::exchange(download_, -1);
    const int lock = std::exchange(downloadLock_, -1);
    const QByteArray folder = NativePath::encode(std::exchange(downloadFolder_, {}));
    queue_->async([job, self, file, lock, folder, temp] {
        if (::close(file) != 0) {
            const int error = errno;
            removeDownload(-1, lock, folder);
            return Dispatch::main([self, error, temp] {
                if (self) self->failSaving(error, temp);
            });
        }
        const UpdateInstaller::Outcome outcome = UpdateInstaller::verifyAndReplace(job);
        removeDownload(-1, lock, folder);
        Dispatch::main([self, outcome, build = job.feedBuild] {
            if (!self) return;
            if (!outcome.replaced) return self->failInstall(outcome.message, outcome.detail);
            self->replacedBuild_ = build;
            self->installed();
        });
    });
}

void UpdateManager::installed() {
    qCInfo(lcUpdates, "Installed build %lld in %s", static_cast<long long>(replacedBuild_),
           qPrintable(env_.bundle.bundlePath()));
    settings_->updatedFromVersion.set(runningVersion());
    // The shell waits for this process to end, then starts the new program; the pid and the path
    // reach it as arguments, never inside the script's text.
    const bool started = DetachedProcess::start(
        env_.shell, {QStringLiteral("-c"), relaunchScript(), QStringLiteral("quorvin-relaunch"),
                     QString::number(QCoreApplication::applicationPid()), env_.bundle.bundlePath() + "/bin/quorvin"});
    if (!started)
        return failInstall(QStringLiteral("Quorvin was updated but couldn’t restart. Quit Quorvin and open it again."),
                           QStringLiteral("cannot start ") + env_.shell);
    emit relaunching();
    if (env_.terminate) env_.terminate();
}

void UpdateManager::failInstall(const QString& message, const QString& detail) {
    if (!detail.isEmpty()) qCWarning(lcUpdates, "Update not installed: %s", qPrintable(detail));
    // The failure is told once the download is gone; until then no other installation starts.
    dropDownload([this, message] {
        installing_ = false;
        setState(State::failed(message));
    });
}

void UpdateManager::dropDownload(std::function<void()> then) {
    const int file = std::exchange(download_, -1);
    const int lock = std::exchange(downloadLock_, -1);
    const QByteArray folder = NativePath::encode(std::exchange(downloadFolder_, {}));
    if (file < 0 && lock < 0 && folder.isEmpty()) return then();
    // The folder stays locked until the queue has removed it.
    queue_->async([file, lock, folder, self = QPointer<UpdateManager>(this), then = std::move(then)] {
        removeDownload(file, lock, folder);
        Dispatch::main([self, then] {
            if (self) then();
        });
    });
}
