#include "Source/Features/System/StackSampler.h"

#include "Platform/Files/FileWriter.h"
#include "Platform/Files/UserFolders.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QLoggingCategory>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <map>

Q_LOGGING_CATEGORY(lcSamples, "com.pelwick.Quorvin.Samples", QtInfoMsg)

namespace StackSampler {

namespace {
constexpr int kMaxFileNameBytes = 255;
constexpr double kPassTimeoutSeconds = 2.0;
constexpr int kPauseMs = 40;
}  // namespace

QString toolPath() { return QStandardPaths::findExecutable(QStringLiteral("eu-stack")); }

bool isAvailable() { return !toolPath().isEmpty(); }

QString fileName(const QString& groupName, const QDateTime& now) {
    QString name = groupName;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    name.remove(QChar(0));
    const QString suffix = QStringLiteral("-sample-") + QString::number(now.toSecsSinceEpoch()) + QStringLiteral(".txt");
    const int room = kMaxFileNameBytes - int(suffix.toUtf8().size());
    while (name.toUtf8().size() > room) {
        name.chop(1);
        // Never leave half a surrogate pair behind.
        if (!name.isEmpty() && name.back().isHighSurrogate()) name.chop(1);
    }
    return name + suffix;
}

QString reportFolder() {
    const QString base = UserFolders::cacheHome() + QStringLiteral("/Quorvin");
    const QString folder = base + QStringLiteral("/Samples");
    // Ours, real folders (not links), and private.
    for (const QString& dir : {base, folder}) {
        if (const auto error = FileWriter::shared().makePrivateFolder(dir)) {
            qCWarning(lcSamples, "Cannot use the folder %s", qPrintable(error->message()));
            return {};
        }
    }
    return folder;
}

std::vector<Thread> parse(const QByteArray& output) {
    std::vector<Thread> threads;
    for (const QByteArray& raw : output.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("TID ")) {
            Thread t;
            QByteArray id = line.mid(4);
            if (id.endsWith(':')) id.chop(1);
            bool ok = false;
            t.tid = id.toLongLong(&ok);
            if (ok) threads.push_back(std::move(t));
            continue;
        }
        if (!line.startsWith('#') || threads.empty()) continue;
        // "#3  0x00007f... [- 1] symbol"
        QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2) continue;
        fields.remove(0, 2);
        if (fields.size() >= 2 && fields[0] == "-" && fields[1] == "1") fields.remove(0, 2);
        QString symbol = QString::fromUtf8(fields.join(' '));
        if (symbol.isEmpty()) symbol = QStringLiteral("??? ") + QString::fromLatin1(line.simplified().split(' ').value(1));
        threads.back().frames.push_back(symbol);
    }
    return threads;
}

QString report(int64_t pid, const QString& processName, double seconds, const std::vector<std::vector<Thread>>& passes,
               const QDateTime& at) {
    QString text;
    text += QStringLiteral("Sampling process %1 (%2) for %3 seconds with eu-stack\n")
                .arg(pid)
                .arg(processName)
                .arg(QString::asprintf("%.0f", seconds));
    text += QStringLiteral("Date: ") + at.toLocalTime().toString(Qt::ISODate) + QLatin1Char('\n');
    text += QStringLiteral("Samples: %1\n").arg(passes.size());

    // Per thread (in order of first appearance): each distinct stack and how often it was seen.
    std::vector<int64_t> order;
    std::map<int64_t, int> seen;
    std::map<int64_t, std::vector<std::pair<std::vector<QString>, int>>> stacks;
    for (const auto& pass : passes) {
        for (const Thread& t : pass) {
            if (!seen.count(t.tid)) order.push_back(t.tid);
            ++seen[t.tid];
            auto& list = stacks[t.tid];
            auto it = std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.first == t.frames; });
            if (it == list.end())
                list.emplace_back(t.frames, 1);
            else
                ++it->second;
        }
    }
    for (int64_t tid : order) {
        auto& list = stacks[tid];
        std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
        const int total = seen[tid];
        text += QStringLiteral("\nThread %1: %2 samples\n").arg(tid).arg(total);
        for (const auto& [frames, count] : list) {
            text += QStringLiteral("  %1 of %2 samples (%3):\n")
                        .arg(count)
                        .arg(total)
                        .arg(QString::asprintf("%.0f%%", 100.0 * count / std::max(total, 1)));
            // Outermost call first, each deeper call indented one more step.
            int depth = 0;
            for (auto f = frames.rbegin(); f != frames.rend(); ++f, ++depth)
                text += QString(4 + std::min(depth, 40) * 2, QLatin1Char(' ')) + *f + QLatin1Char('\n');
        }
    }
    return text;
}

bool sample(int64_t pid, const QString& processName, double seconds, const QString& path, const QString& tool) {
    if (tool.isEmpty() || pid <= 0 || path.isEmpty()) return false;
    const QDateTime started = QDateTime::currentDateTime();
    std::vector<std::vector<Thread>> passes;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(seconds * 1000)) {
        QProcess process;
        process.setProgram(tool);
        process.setArguments({QStringLiteral("-p"), QString::number(pid)});
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start();
        if (!process.waitForStarted(int(kPassTimeoutSeconds * 1000))) return false;
        if (!process.waitForFinished(int(kPassTimeoutSeconds * 1000))) {
            process.kill();
            process.waitForFinished(500);
        } else if (process.exitStatus() == QProcess::NormalExit) {
            std::vector<Thread> threads = parse(process.readAllStandardOutput());
            if (!threads.empty()) passes.push_back(std::move(threads));
        }
        QThread::msleep(kPauseMs);
    }
    if (passes.empty()) return false;
    const QByteArray text = report(pid, processName, seconds, passes, started).toUtf8();
    if (const auto error = FileWriter::shared().write(path, text, 0600)) {
        qCWarning(lcSamples, "Cannot write the sample report %s", qPrintable(error->message()));
        return false;
    }
    return true;
}

}  // namespace StackSampler
