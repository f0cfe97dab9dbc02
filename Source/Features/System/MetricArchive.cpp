#include "Source/Features/System/MetricArchive.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Files/FileWriter.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Extensions/ApplicationSupport.h"

#include <QFileInfo>
#include <QLoggingCategory>

#include <cmath>

Q_LOGGING_CATEGORY(lcMetrics, "com.pelwick.Quorvin.Metrics", QtInfoMsg)

MetricArchive& MetricArchive::shared() {
    static auto* archive = [] {
        // The folder the monitor's and the disk scanners' files share: saves cut short by a crash or a kill.
        FileWriter::sweepUnfinishedWrites(URL::applicationSupportBase() + QStringLiteral("/DaveRovaz"));
        return new MetricArchive;
    }();
    return *archive;
}

MetricArchive::MetricArchive(QString filePath) : path_(std::move(filePath)) {}

MetricArchive::~MetricArchive() { queue_.waitUntilIdle(); }

QString MetricArchive::filePath() {
    std::lock_guard lock(pathMutex_);
    if (path_.isEmpty()) path_ = URL::applicationSupport(QStringLiteral("DaveRovaz")) + QStringLiteral("/metrics.log");
    return path_;
}

void MetricArchive::waitUntilIdle() { queue_.waitUntilIdle(); }

QByteArray MetricArchive::formatLine(const MetricSample& s) {
    const QString temperature =
        s.temperature ? QString::asprintf("%.1f", *s.temperature) : QStringLiteral("-");
    return QString::asprintf("%lld\t%.1f\t%.1f\t%.1f\t", static_cast<long long>(s.at.toSecsSinceEpoch()), s.cpu,
                             s.memory, s.disk)
               .toLatin1() +
           temperature.toLatin1() + '\n';
}

std::optional<MetricSample> MetricArchive::parseLine(QByteArrayView line) {
    while (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r')) line.chop(1);
    QByteArrayView fields[5];
    int count = 0;
    for (qsizetype start = 0;;) {
        const qsizetype tab = line.indexOf('\t', start);
        if (count == 5) return std::nullopt;
        fields[count++] = line.sliced(start, (tab < 0 ? line.size() : tab) - start);
        if (tab < 0) break;
        start = tab + 1;
    }
    if (count != 5) return std::nullopt;
    bool ok = false;
    const qlonglong seconds = fields[0].toLongLong(&ok);
    if (!ok) return std::nullopt;
    MetricSample sample;
    sample.at = QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
    double* values[3] = {&sample.cpu, &sample.memory, &sample.disk};
    for (int i = 0; i < 3; ++i) {
        const double v = fields[i + 1].toDouble(&ok);  // C locale, whatever the process locale
        if (!ok || !std::isfinite(v) || v < 0 || v > 100) return std::nullopt;
        *values[i] = v;
    }
    if (fields[4] != "-") {
        const double t = fields[4].toDouble(&ok);
        if (!ok || !std::isfinite(t)) return std::nullopt;
        sample.temperature = t;
    }
    return sample;
}

std::vector<MetricSample> MetricArchive::parse(const QByteArray& contents) {
    std::vector<MetricSample> samples;
    qsizetype start = 0;
    while (start < contents.size()) {
        qsizetype end = contents.indexOf('\n', start);
        if (end < 0) end = contents.size();
        if (auto sample = parseLine(QByteArrayView(contents).sliced(start, end - start))) samples.push_back(*sample);
        start = end + 1;
    }
    return samples;
}

void MetricArchive::trim() {
    queue_.async([this] { trimOnQueue(); });
}

void MetricArchive::reportFailure(const FileError& error) {
    const QString message = error.message();
    if (message == lastFailure_) return;  // every 30 s would flood the log
    lastFailure_ = message;
    qCWarning(lcMetrics, "Metric log %s", qPrintable(message));
}

void MetricArchive::trimOnQueue() {
    const QString path = filePath();
    linesSinceTrim_ = 0;
    FileError error;
    const std::optional<QByteArray> read = SafeFile::readRegular(path, largestFile, &error);
    tooLarge_ = error.isTooLarge();
    if (!read) {
        if (!error.isMissing()) reportFailure(error);
        tailKnown_ = true;
        endsWithNewline_ = true;
        setLastWritten(std::nullopt);
        return;
    }
    const QByteArray& contents = *read;
    const QDateTime now = Clock::shared().now();
    const QDateTime cutoff = now.addMSecs(qint64(-retention * 1000));
    QByteArray kept;
    kept.reserve(contents.size());
    std::optional<QDateTime> last;
    bool damaged = false;  // a line that is no sample: NULs, garbage, a line cut short
    qsizetype start = 0;
    while (start < contents.size()) {
        qsizetype end = contents.indexOf('\n', start);
        if (end < 0) end = contents.size();
        const QByteArrayView line = QByteArrayView(contents).sliced(start, end - start);
        const auto sample = parseLine(line);
        damaged = damaged || !sample;
        // A line from the future (a clock that was set ahead) would otherwise stay for good.
        if (sample && sample->at >= cutoff && sample->at <= now) {
            kept.append(line.data(), line.size());
            kept.append('\n');
            last = sample->at;
        }
        start = end + 1;
    }
    tailKnown_ = true;
    setLastWritten(last);
    if (kept == contents) {
        endsWithNewline_ = contents.isEmpty() || contents.endsWith('\n');
        return;
    }
    mode_t mode = 0644;
    if (damaged) {
        // Kept for the user as the other stores keep a damaged file; the new one gets its mode.
        const QString aside = SafeFile::asidePath(path, now);
        if (const auto failure = FileWriter::shared().moveAside(path, aside)) {
            reportFailure(FileError::refused(
                path,
                QStringLiteral("is damaged and cannot be kept aside (%1); it is left as it is").arg(failure->reason)));
            endsWithNewline_ = contents.endsWith('\n');
            return;
        }
        qCWarning(lcMetrics, "Metric log %s is damaged; kept it as %s and kept the lines that can be read",
                  qPrintable(path), qPrintable(aside));
        mode = SafeFile::regularFileMode(aside).value_or(mode);
    }
    if (const auto failure = FileWriter::shared().write(path, kept, mode)) {
        reportFailure(*failure);
        // The old file is still in place, unless it was kept aside.
        endsWithNewline_ = damaged || contents.isEmpty() || contents.endsWith('\n');
    } else {
        endsWithNewline_ = true;
    }
}

void MetricArchive::readTailOnQueue() {
    tailKnown_ = true;
    setLastWritten(std::nullopt);
    endsWithNewline_ = true;
    FileError error;
    const std::optional<QByteArray> contents = SafeFile::readRegular(filePath(), largestFile, &error);
    tooLarge_ = error.isTooLarge();
    if (tooLarge_) reportFailure(error);
    if (!contents) return;
    endsWithNewline_ = contents->isEmpty() || contents->endsWith('\n');
    const std::vector<MetricSample> samples = parse(*contents);
    if (!samples.empty()) setLastWritten(samples.back().at);
}

void MetricArchive::setLastWritten(std::optional<QDateTime> at) {
    lastWritten_ = std::move(at);
    lastWrittenMs_.store(lastWritten_ && lastWritten_->isValid() ? lastWritten_->toMSecsSinceEpoch() : noTime);
}

void MetricArchive::record(const MetricSample& sample) {
    // The same test as on the queue, against what it last told: a sample the log would not take
    // leaves the queue's thread asleep.
    const qint64 last = lastWrittenMs_.load();
    if (last != noTime && sample.at.isValid()) {
        const qint64 at = sample.at.toMSecsSinceEpoch();
        if (at >= last && at - last < qint64(spacing * 1000)) return;
    }
    queue_.async([this, sample] {
        if (!tailKnown_) readTailOnQueue();
        if (tooLarge_) return;
        // A clock set back (sample older than the last line) starts the spacing afresh.
        if (lastWritten_ && sample.at >= *lastWritten_ && lastWritten_->msecsTo(sample.at) < qint64(spacing * 1000))
            return;
        QByteArray line = formatLine(sample);
        if (!endsWithNewline_) line.prepend('\n');  // a line cut short by a crash stays on its own
        const QString path = filePath();
        if (!folderReady_) {
            if (const auto failure = FileWriter::shared().makePrivateFolder(QFileInfo(path).absolutePath())) {
                reportFailure(*failure);
                return;
            }
            folderReady_ = true;
        }
        if (const auto failure = FileWriter::shared().append(path, line, 0644)) {
            reportFailure(*failure);
            endsWithNewline_ = false;  // part of the line may be there
            return;
        }
        lastFailure_.clear();
        endsWithNewline_ = true;
        setLastWritten(sample.at);
        if (++linesSinceTrim_ >= linesBetweenTrims) trimOnQueue();
    });
}

void MetricArchive::load(std::function<void(std::vector<MetricSample>)> completion) {
    queue_.async([this, completion = std::move(completion)]() mutable {
        std::vector<MetricSample> samples;
        if (const std::optional<QByteArray> contents = SafeFile::readRegular(filePath(), largestFile)) {
            const QDateTime now = Clock::shared().now();
            const QDateTime cutoff = now.addMSecs(qint64(-retention * 1000));
            for (MetricSample& sample : parse(*contents)) {
                if (sample.at >= cutoff && sample.at <= now) samples.push_back(std::move(sample));
            }
        }
        Dispatch::main([completion = std::move(completion), samples = std::move(samples)]() mutable {
            completion(std::move(samples));
        });
    });
}
