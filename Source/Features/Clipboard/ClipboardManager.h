#pragma once

#include "Platform/Core/Dispatch.h"
#include "Source/Features/Clipboard/ClipboardHistoryStore.h"
#include "Source/Features/Clipboard/ClipboardItem.h"
#include "Source/Features/Clipboard/ClipboardSettings.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QUuid>

#include <memory>
#include <optional>
#include <vector>

class ClipboardPaster;
class ClipboardWatcher;
class Pasteboard;
struct PasteboardContents;
struct PasteboardFetch;

// The clipboard history: polls the pasteboard, records copies of text, images and files, keeps
// pins in front, bounds the history by the user's limit, stores it in
// "ClipboardHistory/history.json" with images in "ClipboardHistory/Images", and pastes entries
// into the application in front. GUI thread only; images are encoded, hashed and written, and
// the history file is read at start-up, encoded and written, on the image queue. Its parts: the
// watcher (capture), the history store (files and images) and the paster.
class ClipboardManager : public QObject {
    Q_OBJECT
public:
    enum class PinToggleResult { pinned, unpinned, limitReached, notPinnable };

    static constexpr int maxPinned = ClipboardHistoryStore::maxPinned;
    static constexpr double pollInterval = 0.4;
    static constexpr double concealedLifetime = 60.0;
    static constexpr double pasteRelease = 0.5;
    // A longer copied text is kept as its first bytes (cut between characters).
    static constexpr qsizetype maxTextBytes = 1 << 20;
    // Larger copied image data and file lists are not recorded.
    static constexpr qsizetype maxImageBytes = qsizetype(64) << 20;
    static constexpr qsizetype maxFileListBytes = 1 << 20;

    // The three markers of copies that are kept in memory only.
    static const QStringList concealedTypes;

    // The shared store over the general pasteboard, the standard defaults and
    // Application Support's "ClipboardHistory". Created on first use, never destroyed.
    static ClipboardManager& shared();

    // A store over the given pasteboard and the settings in `defaults`, keeping its file and images
    // in `historyFolder` (its "history.json" and "Images"). Runs the start-up sequence. A change of
    // the limit trims at once.
    ClipboardManager(Pasteboard& pasteboard, UserDefaults& defaults, const QString& historyFolder,
                     QObject* parent = nullptr);
    ~ClipboardManager() override;

    // Pins first, then unpinned entries newest first; a concealed entry among the unpinned ones.
    const std::vector<ClipboardItem>& history() const { return history_; }
    int pinnedCount() const;

    // Starts (or restarts) watching the pasteboard: each change notice is acted on at once, and
    // a poll every 0.4 s catches what a notice missed.
    void startMonitoring();
    bool isMonitoring() const;

    PinToggleResult togglePin(const QUuid& id);
    void removeItem(const QUuid& id);
    // Removes every entry, pins included, the history file, its kept-aside copies and every stored image.
    void clear();
    // Stores the limit and trims to it.
    void applyHistoryLimit(int limit);
    ClipboardSettings& settings() { return settings_; }

    // Puts the entry on the pasteboard and posts the paste chord (Shift+Insert) to the focused
    // window once the user holds no modifier key (see ClipboardPaster). The pasteboard change this
    // makes is not recorded.
    void paste(const ClipboardItem& item);
    // Pastes the pasteboard's text without formatting.
    void pastePlainText();
    void pastePlainText(const QString& text);
    // The pasteboard's text: its plain text, else the characters of its RTF, else of its HTML.
    static std::optional<QString> plainText(const PasteboardContents& contents);
    // What a capture reads of a change, and what pastePlainText() reads: the next type wanted,
    // given what was read so far. Pure: they run on the pasteboard's reading thread.
    static std::optional<PasteboardFetch> nextCaptureFetch(const PasteboardContents& sofar);
    static std::optional<PasteboardFetch> nextPlainTextFetch(const PasteboardContents& sofar);
    // Posts Shift+Insert (down, Insert down, Insert up, up): text fields paste the CLIPBOARD with
    // it and terminals the PRIMARY selection, which a paste fills with the same contents.
    void simulateCmdV();

    bool isPasting() const;
    const std::optional<ClipboardContent>& lastPastedContent() const;
    QString historyFileURL() const;
    QString imagesDirectory() const;
    // True when the history file could not be read at start-up (it was moved aside).
    bool historyFileWasDamaged() const { return historyFileDamaged_; }
    // True from start-up until the history file has been read; copies made meanwhile are taken in
    // then, in the order they were made.
    bool isLoading() const { return loading_; }
    // True when saving would overwrite something that could not be kept aside (or is not ours):
    // the history then lives in memory only for this session.
    bool savesBlocked() const { return savesBlocked_; }
    // Whether a file name is one this store gives its images: an upper-case UUID plus ".png".
    static bool isStoredImageName(const QString& name);

    // Steps of the store, also reached by tests and benchmarks.
    // Reads the pasteboard when its change count moved; what was read is recorded when the read
    // ends (at once for a pasteboard that answers at once).
    void checkClipboard();
    // Reads the history file on the calling thread (start-up reads it on the image queue).
    void loadHistory(int limit);
    void saveHistory();
    bool trimHistory(int limit);
    void normalizePinnedLimit();
    void cleanupOrphanedImages();
    int insertionIndex(const QDateTime& date) const;
    // The limit as read (held to its range, the default when absent), written back when the store
    // held something else.
    static int normalizeConfiguredHistoryLimit(UserDefaults& defaults);
    static int normalizeConfiguredHistoryLimit(Setting<int>& limit);
    // The limit trims use: the setting's, except after a settings reset caused by a damaged file
    // (until the limit is set again), when the user's limit is unknown and only the range's top
    // is safe.
    int historyLimit();
    // Blocks until queued image writes and history-file writes have finished, and the history
    // file read at start-up (if still being read) has been taken in.
    void waitForPendingWrites();
    // On quitting: a start-up read still under way is stopped and dropped with the copies made
    // meanwhile (the file stays as it is), then the queued writes finish, a save waiting for
    // another instance's lock only a bounded time.
    void prepareForQuit();
    // The delay after which a concealed entry is dropped (tests shorten it).
    void setConcealedLifetimeForTesting(double seconds) { concealedLifetime_ = seconds; }

signals:
    void historyChanged();

private:
    void installLoaded(ClipboardHistoryStore::Loaded loaded);
    void finishLoading();
    void discardStartUpLoad();
    void publish();
    // A copy made while the history file is read at start-up, taken in once it is.
    struct CopyDuringLoad {
        ClipboardContent content;
        std::optional<QString> sourceApp;
        QDateTime copiedAt;
        bool concealed = false;
    };

    void takeInCopiesDuringLoad();
    void handleChange(const PasteboardContents& contents);
    void recordContents(const PasteboardContents& contents, const std::optional<QString>& sourceApp);
    void dropConcealedItems();
    void addConcealed(const QString& text, const std::optional<QString>& sourceApp, const QDateTime& copiedAt);
    void addContent(const ClipboardContent& content, const std::optional<QString>& sourceApp,
                    const QDateTime& copiedAt);
    void persistImage(const QByteArray& data, const std::optional<QString>& sourceApp);
    void deleteUncommittedImage(const ClipboardContent& content);
    void deleteImageFiles(const std::vector<ClipboardItem>& removed);
    void noteRemoved(const std::vector<ClipboardItem>& removed);
    // The entries a save writes: all but a concealed one.
    std::vector<ClipboardItem> savedItems() const;
    // Takes in what another instance saved in the history file, when it has.
    void refreshFromDisk();
    void adoptMerged(std::vector<ClipboardItem> merged);

    ClipboardSettings settings_;
    bool limitFromReset_ = false;
    std::vector<ClipboardItem> history_;
    quint64 imageWriteGeneration_ = 0;
    std::unique_ptr<ClipboardHistoryStore> files_;
    std::unique_ptr<ClipboardPaster> paster_;
    std::unique_ptr<ClipboardWatcher> watcher_;
    WorkItem concealedExpiry_;
    double concealedLifetime_ = concealedLifetime;
    bool historyFileDamaged_ = false;
    bool loading_ = false;
    std::vector<CopyDuringLoad> copiesDuringLoad_;
    bool savesBlocked_ = false;
};
