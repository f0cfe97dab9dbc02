#include "Source/Features/System/MetricArchive.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Source/Extensions/ApplicationSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cmath>

#include <fcntl.h>
#include <unistd.h>

MetricArchive& MetricArchive::shared() {
    static auto* archive = new MetricArchive;
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

void MetricArchive::trimOnQueue() {
    const QString path = filePath();
    linesSinceTrim_ = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        tailKnown_ = true;
        endsWithNewline_ = true;
        lastWritten_.reset();
        return;
    }
    const QByteArray contents = file.readAll();
    file.close();
    const QDateTime cutoff = Clock::shared().now().addMSecs(qint64(-retention * 1000));
    QByteArray kept;
    kept.reserve(contents.size());
    std::optional<QDateTime> last;
    qsizetype start = 0;
    while (start < contents.size()) {
        qsizetype end = contents.indexOf('\n', start);
        if (end < 0) end = contents.size();
        const QByteArrayView line = QByteArrayView(contents).sliced(start, end - start);
        if (const auto sample = parseLine(line); sample && sample->at >= cutoff) {
            kept.append(line.data(), line.size());
            kept.append('\n');
            last = sample->at;
        }
        start = end + 1;
    }
    tailKnown_ = true;
    lastWritten_ = last;
    if (kept == contents) {
        endsWithNewline_ = contents.isEmpty() || contents.endsWith('\n');
        return;
    }
    QSaveFile out(path);
    if (out.open(QIODevice::WriteOnly) && out.write(kept) == kept.size() && out.commit()) {
        endsWithNewline_ = true;
    } else {
        endsWithNewline_ = contents.isEmpty() || contents.endsWith('\n');  // the old file is still in place
    }
}

void MetricArchive::readTailOnQueue() {
    tailKnown_ = true;
    lastWritten_.reset();
    endsWithNewline_ = true;
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly)) return;
    const QByteArray contents = file.readAll();
    endsWithNewline_ = contents.isEmpty() || contents.endsWith('\n');
    const std::vector<MetricSample> samples = parse(contents);
    if (!samples.empty()) lastWritten_ = samples.back().at;
}

void MetricArchive::record(const MetricSample& sample) {
    queue_.async([this, sample] {
        if (!tailKnown_) readTailOnQueue();
        // A clock set back (sample older than the last line) starts the spacing afresh.
        if (lastWritten_ && sample.at >= *lastWritten_ && lastWritten_->msecsTo(sample.at) < qint64(spacing * 1000))
            return;
        QByteArray line = formatLine(sample);
        if (!endsWithNewline_) line.prepend('\n');  // a line cut short by a crash stays on its own
        const QString path = filePath();
        QDir().mkpath(QFileInfo(path).absolutePath());
        const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) return;
        const ssize_t written = ::write(fd, line.constData(), size_t(line.size()));  // one write: one whole line
        ::close(fd);
        if (written != ssize_t(line.size())) {
            endsWithNewline_ = written <= 0 ? endsWithNewline_ : false;
            return;
        }
        endsWithNewline_ = true;
        lastWritten_ = sample.at;
        if (++linesSinceTrim_ >= linesBetweenTrims) trimOnQueue();
    });
}

void MetricArchive::load(std::function<void(std::vector<MetricSample>)> completion) {
    queue_.async([this, completion = std::move(completion)]() mutable {
        std::vector<MetricSample> samples;
        QFile file(filePath());
        if (file.open(QIODevice::ReadOnly)) {
            const QDateTime cutoff = Clock::shared().now().addMSecs(qint64(-retention * 1000));
            for (MetricSample& sample : parse(file.readAll())) {
                if (sample.at >= cutoff) samples.push_back(std::move(sample));
            }
        }
        Dispatch::main([completion = std::move(completion), samples = std::move(samples)]() mutable {
            completion(std::move(samples));
        });
    });
}
