#pragma once

#include "Platform/Core/Bundle.h"
#include "Source/Features/Updates/Release.h"
#include "Source/Features/Updates/UpdateFeed.h"
#include "Source/Features/Updates/UpdateSettings.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslConfiguration>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QNetworkRequest;
class QUrl;
class ReplyBody;
class SerialQueue;

// The program's single updater. It checks the update feed at launch and every six hours,
// publishes what it found in `state`, keeps the merged release notes for the changelog, remembers
// the newest build found and installs it: downloaded to a private file, checked (length,
// signature, identity, build, signed manifest) away from the GUI thread, swapped in for the
// running bundle, and the program started again from it. The GUI thread never waits on the
// network, on decoding a feed or on unpacking.
class UpdateManager : public QObject {
    Q_OBJECT
public:
    class State {
    public:
        enum class Kind { idle, checking, upToDate, available, installing, failed };

        static State idle() { return {Kind::idle, {}}; }
        static State checking() { return {Kind::checking, {}}; }
        static State upToDate() { return {Kind::upToDate, {}}; }
        static State available(QString version) { return {Kind::available, std::move(version)}; }
        static State installing() { return {Kind::installing, {}}; }
        static State failed(QString message) { return {Kind::failed, std::move(message)}; }

        Kind kind() const { return kind_; }
        // The newer build's version (available) or the message shown to the user (failed).
        const QString& text() const { return text_; }
        bool operator==(const State&) const = default;

    private:
        State(Kind kind, QString text) : kind_(kind), text_(std::move(text)) {}
        Kind kind_;
        QString text_;
    };

    // Where a manager finds the running program, its keys and files, and what it runs.
    struct Environment {
        Bundle bundle;          // the running program
        QString changelogPath;  // the built-in release notes
        QString cachePath;      // the last good feed
        QString feedURL;        // the bundle's feed
        UserDefaults* defaults = nullptr;
        // Base64 Ed25519 public keys: archives, and the bundle manifests inside them.
        QString updateKey;
        QString codeSigningKey;
        // The relaunch: the shell that waits for this process to end, and how the program quits.
        QString shell = QStringLiteral("/bin/sh");
        std::function<void()> terminate;
        // Decodes a feed, the kept one and each fetched one; called on the updater's queue only.
        std::function<std::optional<UpdateFeed>(const QByteArray&)> decodeFeed = UpdateFeed::decode;

        // The running program's bundle, its "Changelog.json", Application Support/Updates/feed.json,
        // the standard defaults, the maker's keys, and an ordinary quit.
        static Environment standard();
    };

    // The maker's public key, which signs archives and bundle manifests alike.
    static constexpr const char* makerPublicKey = "Z9QXUAJHd16NeDPQur2VUYubAxKxGN3SiJSJ1j/1kKk=";
    // The six-hour check, in seconds.
    static constexpr int checkInterval = 21600;
    // The largest feed read; a bigger body is not a feed.
    static constexpr qint64 largestFeed = 4 * 1024 * 1024;
    // The most release notes kept, the newest; a feed may list more.
    static constexpr int mostReleases = 500;
    // The largest archive accepted, whatever the feed announces.
    static constexpr qint64 largestArchive = 512LL * 1024 * 1024;
    // The shell script of the relaunch: waits for the process $1 to end, then starts the program $2.
    static QString relaunchScript() {
        return QStringLiteral("while kill -0 \"$1\" 2>/dev/null; do sleep 0.2; done; exec \"$2\"");
    }
    static QString unreachableMessage() { return QStringLiteral("Couldn’t reach the update server."); }

    static UpdateManager& shared();
    explicit UpdateManager(Environment environment, QObject* parent = nullptr);
    ~UpdateManager() override;

    const Environment& environment() const { return env_; }
    // Replaces the network access (tests: a manager whose TLS trusts a test certificate).
    void setNetworkAccessManager(QNetworkAccessManager* network);
    void setSslConfiguration(const QSslConfiguration& configuration);

    const State& state() const { return state_; }
    // Merged release notes, newest first. At creation the built-in ones only: those of the kept
    // feed are decoded away from the GUI thread and join them later (releasesChanged).
    const QList<Release>& releases() const { return releases_; }
    // The newest build found by the last check that found one.
    const std::optional<UpdateFeed::Build>& pending() const { return pending_; }
    const QTimer* timer() const { return timer_; }
    // Whether the kept feed's notes have been read.
    bool notesLoaded() const { return notesLoaded_; }

    // The running version ("0" when it has none) and build (0 when missing or not a number).
    static QString currentVersion(const Bundle& bundle = Bundle::main());
    static qint64 currentBuild(const Bundle& bundle = Bundle::main());
    QString runningVersion() const { return currentVersion(env_.bundle); }
    qint64 runningBuild() const { return currentBuild(env_.bundle); }
    bool autoInstall() const;

    // At launch: the toast after an update, a check that installs when "autoInstallUpdates" is on,
    // and the six-hour timer whose checks never install.
    void start();
    // Starts a check unless one or an installation is running.
    void check(bool install);
    // Installs the pending build; returns at once when there is none or an installation runs.
    void installPending();
    // Once after an update: asks for the toast when the version that ran before differs.
    void showToastIfJustUpdated();

    // Built-in notes first, fetched second; see ReleaseNotes::merge.
    static QList<Release> merge(const QList<Release>& builtIn, const QList<Release>& fetched);
    // The merge, with only the newest mostReleases kept.
    static QList<Release> mergeKept(const QList<Release>& builtIn, const QList<Release>& fetched);

signals:
    void stateChanged();
    void releasesChanged();
    // The toast should greet the user with this version.
    void toastRequested(const QString& version);
    // An installation is in place and the program is about to start again.
    void relaunching();

private:
    void setState(State state);
    void setReleases(QList<Release> releases);
    QNetworkAccessManager* network();
    QNetworkRequest request(const QUrl& url) const;
    void feedArrived(QNetworkReply* reply, ReplyBody& feed, bool install);
    void feedRefused(const QString& problem);
    void feedDecoded(const std::optional<UpdateFeed::Build>& latest, QList<Release> releases, bool install);
    void failInstall(const QString& message, const QString& detail = {});
    void failSaving(int code, const QString& folder);
    struct Download;
    void readDownloadSoon(QNetworkReply* reply, const std::shared_ptr<Download>& download);
    void readDownload(QNetworkReply* reply, const std::shared_ptr<Download>& download);
    void downloadEnded(QNetworkReply* reply, Download& download);
    void writeDownload(QNetworkReply* reply, const std::shared_ptr<Download>& download, QByteArray chunk);
    void downloadArrived(const UpdateFeed::Build& build, const QString& temp);
    void installed();
    // Closes and removes the download on the queue, then runs `then` on the GUI thread.
    void dropDownload(std::function<void()> then);

    Environment env_;
    State state_ = State::idle();
    QList<Release> releases_;
    std::optional<UpdateFeed::Build> pending_;
    QTimer* timer_ = nullptr;
    // The notes read at creation arrive later; a check's notes are newer and win.
    bool notesLoaded_ = false;
    bool notesFetched_ = false;
    bool toastWaiting_ = false;

    QPointer<QNetworkAccessManager> network_;
    std::optional<QSslConfiguration> ssl_;
    std::unique_ptr<UpdateSettings> settings_;
    std::unique_ptr<SerialQueue> queue_;
    bool installing_ = false;
    qint64 replacedBuild_ = 0;  // the build swapped in, until the program starts again
    // The download under way: its private folder and file.
    QString downloadFolder_;
    int downloadLock_ = -1;  // the folder, open and locked
    int download_ = -1;  // the file, open for writing
};
