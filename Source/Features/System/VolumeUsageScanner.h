#pragma once

#include "Platform/Core/SerialQueue.h"
#include "Platform/Files/FileWriter.h"
#include "Source/Features/System/UsageNode.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// Walks the root file system (one device, links never followed) and keeps a shallow tree of the
// items of at least 20,000,000 bytes, six levels deep, saved to "volumeUsage.json". Published
// values change on the GUI thread only; walks, reading and saving the file run on
// "com.merovane.volumeusage".
class VolumeUsageScanner : public QObject {
    Q_OBJECT
public:
    enum class Phase { scanning, complete, idle };
    struct State {
        Phase phase = Phase::idle;
        QString path;    // scanning: the folder last reported
        QDateTime date;  // complete: when the shown tree was made
        bool operator==(const State&) const = default;
    };

    struct Places {
        QString root = QStringLiteral("/");
        QSet<QString> skipped;  // folders never entered, as whole paths
        QString storePath;      // volumeUsage.json
        // The most a saved tree is read of, room for hundreds of thousands of kept items (each
        // 20 MB or more); anything larger is not one.
        static constexpr qint64 largestStore = qint64(256) << 20;
        static Places current();
    };

    // How the saved tree is read and written.
    struct StoreAccess {
        std::function<std::optional<QByteArray>(const QString&)> read;
        std::function<FileWriter::Result(const QString&, const QByteArray&)> write;
        static StoreAccess real();
    };

    static constexpr double keepFloor = 20000000.0;
    static constexpr int keptDepth = 6;
    // The name of the root of a walk that could list it.
    static inline const QString rootName = QStringLiteral("Macintosh HD");

    static VolumeUsageScanner& shared();
    // The saved tree is read on the queue; it shows once the GUI thread hears of it, unless a walk
    // finished first.
    explicit VolumeUsageScanner(Places places, StoreAccess store = StoreAccess::real(), QObject* parent = nullptr);
    ~VolumeUsageScanner() override;

    State state() const { return state_; }
    const std::optional<UsageNode>& root() const { return root_; }
    qint64 unreadable() const { return unreadable_; }

    // Starts a walk unless one runs; the shown tree stays until the new one is done.
    void scan();
    // Stops a running walk; the earlier tree, its date and its unreadable count stay.
    void cancel();

    // One walk of `root` on the calling thread; `report` hears the root and each folder directly in it.
    static UsageNode walk(const QString& root, const QSet<QString>& skipped, const std::atomic<bool>& cancelled,
                          const std::function<void(const QString&)>& report, qint64* unreadable);

    void waitUntilIdle() { queue_->waitUntilIdle(); }

signals:
    void stateChanged();
    void rootChanged();
    void unreadableChanged();

private:
    struct Stored {
        UsageNode root;
        qint64 unreadable = 0;
        QDateTime date;
    };
    static std::optional<Stored> restore(const QString& storePath, const StoreAccess& store);
    void showRestored(Stored stored);
    void setState(State state);
    void persist(const UsageNode& root, qint64 unreadable, const QDateTime& at);

    Places places_;
    StoreAccess store_;
    State state_;
    std::optional<UsageNode> root_;
    qint64 unreadable_ = 0;
    QDateTime rootDate_;  // when root_ was made
    std::shared_ptr<std::atomic<bool>> cancel_;
    std::unique_ptr<SerialQueue> queue_;
};
