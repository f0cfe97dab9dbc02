#pragma once

#include "Platform/Core/SerialQueue.h"
#include "Platform/Files/FileError.h"
#include "Source/Features/System/MetricSample.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <atomic>
#include <functional>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

// The 24-hour sample log "DaveRovaz/metrics.log": one line per sample, at most one every 30 s,
// "unix-seconds<TAB>cpu<TAB>memory<TAB>disk<TAB>temperature or -" with C-locale numbers. All file
// work runs in order on the archive's own queue. A log or folder that is a link is neither read
// nor written; failures are logged (once until the log works again).
class MetricArchive {
public:
    static MetricArchive& shared();

    // An empty path means "DaveRovaz/metrics.log" under the application support folder.
    explicit MetricArchive(QString filePath = {});
    ~MetricArchive();
    MetricArchive(const MetricArchive&) = delete;
    MetricArchive& operator=(const MetricArchive&) = delete;

    static constexpr double spacing = 30;        // seconds between logged samples, at least
    static constexpr double retention = 86400;   // seconds kept
    static constexpr int linesBetweenTrims = 2880;
    // The largest log read: a day of lines and as many more before a trim, at their longest, many
    // times over. A larger one is left as it is: neither read nor written.
    static constexpr qint64 largestFile = qint64(16) << 20;

    QString filePath();

    // Rewrites the log atomically without the samples older than 24 h or dated in the future, and
    // without the unreadable lines.
    // Run at launch; a log kept open for days is trimmed again every linesBetweenTrims lines.
    void trim();
    // Logs the sample unless the last logged one is less than 30 s older.
    void record(const MetricSample& sample);
    // Reads the samples of the last 24 h (none from the future), in file order, and hands them to
    // completion on the GUI thread; a missing or unreadable log gives none.
    void load(std::function<void(std::vector<MetricSample>)> completion);
    // Blocks until the queued file work is done (tests, shutdown).
    void waitUntilIdle();

    static QByteArray formatLine(const MetricSample& sample);  // with the line feed
    static std::optional<MetricSample> parseLine(QByteArrayView line);
    static std::vector<MetricSample> parse(const QByteArray& contents);

private:
    void trimOnQueue();
    void readTailOnQueue();
    void reportFailure(const FileError& error);
    void setLastWritten(std::optional<QDateTime> at);

    std::mutex pathMutex_;
    QString path_;
    // Queue-only state.
    bool tailKnown_ = false;
    bool endsWithNewline_ = true;
    std::optional<QDateTime> lastWritten_;
    int linesSinceTrim_ = 0;
    bool folderReady_ = false;
    bool tooLarge_ = false;
    QString lastFailure_;
    // The last logged sample's time in ms since the epoch (noTime for none), read by record() so
    // that samples the log would not take are never queued and the queue's thread sleeps.
    static constexpr qint64 noTime = std::numeric_limits<qint64>::min();
    std::atomic<qint64> lastWrittenMs_{noTime};

    SerialQueue queue_{"com.merovane.metricarchive", QueuePriority::utility};
};
