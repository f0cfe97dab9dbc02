#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

class Pasteboard;
struct PasteboardContents;
struct PasteboardFetch;

// Watches the pasteboard for copies: each change notice is acted on at once (or the contents the
// pasteboard reads ahead are taken), and a poll every 0.4 s catches what a notice missed. The
// contents of each change reach `changed` once; what is on the pasteboard when the watcher is
// made is not reported. While `paused` answers true, changes wait. GUI thread only.
class ClipboardWatcher : public QObject {
    Q_OBJECT
public:
    ClipboardWatcher(Pasteboard& pasteboard, std::function<bool()> paused,
                     std::function<void(const PasteboardContents&)> changed);
    ~ClipboardWatcher() override;

    // Starts (or restarts) watching.
    void start();
    bool isActive() const { return timer_ && timer_->isActive(); }
    // Reads the pasteboard when its change count moved; what was read is reported when the read
    // ends (at once for a pasteboard that answers at once).
    void check();

    // What a capture reads of a change: the next type wanted, given what was read so far. Pure:
    // it runs on the pasteboard's reading thread.
    static std::optional<PasteboardFetch> nextFetch(const PasteboardContents& sofar);
    // Whether a copy is marked as one kept in memory only.
    static bool isConcealed(const QStringList& types);
    // The copied local files, when the contents are a complete list of them.
    static std::optional<QList<QUrl>> fileURLs(const PasteboardContents& contents);
    // The image type to record of those offered: PNG first, else one Qt reads.
    static QString imageType(const QStringList& types);

private:
    void scheduleCheck();
    void poll();
    void handle(const PasteboardContents& contents);

    Pasteboard& pasteboard_;
    std::function<bool()> paused_;
    std::function<void(const PasteboardContents&)> changed_;
    QPointer<QTimer> timer_;
    QMetaObject::Connection changeNotices_;
    bool reading_ = false;
    bool checkScheduled_ = false;
    bool watching_ = false;
    std::optional<qint64> unhandledSincePoll_;
    qint64 lastChangeCount_ = 0;
};
