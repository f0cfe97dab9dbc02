#include "Source/Features/Clipboard/ClipboardHistoryOnDisk.h"

#include "Platform/Files/FileWriter.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"
#include "Source/Extensions/ClipboardItemCodable.h"
#include "Source/Features/Clipboard/ClipboardHistoryReader.h"
#include "Source/Features/Clipboard/ClipboardHistoryStore.h"

#include <QFile>
#include <QUuid>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include <sys/stat.h>

namespace {

// A file changed less than this ago may still be being written (another program rewriting it in
// place, paused between two writes).
constexpr qint64 kQuietMs = 1500;

bool isBeingWritten(const QString& file) {
    struct stat st {};
    if (::lstat(NativePath::encode(file).constData(), &st) != 0) return false;
    const qint64 changedAt = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    return std::abs(QDateTime::currentMSecsSinceEpoch() - changedAt) < kQuietMs;
}

ClipboardHistoryOnDisk readOnce(const QString& file, const QString& imagesDirectory, const QDateTime& now, int limit,
                                const std::function<bool()>& stop) {
    using State = ClipboardHistoryOnDisk::State;
    ClipboardHistoryOnDisk found;
    found.stamp = SafeFile::stamp(file);
    const std::unique_ptr<QFile> in = SafeFile::openRegular(file, &found.error);
    if (!in) {
        found.state = found.error.isMissing() ? State::missing
                      : found.error.code == 0 ? State::refused
                                              : State::unreadable;
        return found;
    }
    ClipboardHistoryReader source(*in, stop);
    std::optional<QString> saves;
    const auto records = source.keptRecords(limit, nullptr, &found.skipped, &saves);
    if (source.stopped) {
        found.state = State::stopped;
        return found;
    }
    if (!records) {
        found.error = source.failure ? *source.failure : FileError{file, QStringLiteral("is damaged"), EINVAL};
        found.state = State::unreadable;
        return found;
    }
    found.state = State::read;
    found.lineage = ClipboardHistoryLineage::of(saves, found.stamp);
    for (const ClipboardItemCodable& record : *records) {
        // A record without an id would be a new entry at every read: only a file of an older version has one.
        if (!record.itemID || QUuid(*record.itemID).isNull()) continue;
        if (auto item = record.toClipboardItem(now, imagesDirectory)) found.items.push_back(std::move(*item));
    }
    return found;
}

}  // namespace

ClipboardHistoryOnDisk ClipboardHistoryOnDisk::read(const QString& file, const QString& imagesDirectory,
                                                    const QDateTime& now, int limit,
                                                    const std::function<bool()>& stop) {
    for (int look = 0;; ++look) {
        ClipboardHistoryOnDisk found = readOnce(file, imagesDirectory, now, limit, stop);
        if (found.state == State::stopped || found.state == State::missing) return found;
        if (look == rereads || !readAgain(file, found.stamp, found.state != State::read)) return found;
        if (!waitUntilStill(file, stop)) {
            found.state = State::stopped;
            return found;
        }
    }
}

bool ClipboardHistoryOnDisk::readAgain(const QString& file, const QByteArray& stamp, bool failed) {
    return SafeFile::stamp(file) != stamp || (failed && isBeingWritten(file));
}

bool ClipboardHistoryOnDisk::waitUntilStill(const QString& file, const std::function<bool()>& stop) {
    QByteArray before = SafeFile::stamp(file);
    for (int look = 0; look < 50; ++look) {
        for (int slice = 0; slice < 4; ++slice) {
            if (stop && stop()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        const QByteArray now = SafeFile::stamp(file);
        if (now == before && !isBeingWritten(file)) return true;
        before = now;
    }
    return true;
}

std::optional<FileError> ClipboardHistoryOnDisk::keepCopyAside(const QString& file, int skipped) {
    FileError readError;
    const std::optional<QByteArray> bytes =
        SafeFile::readRegular(file, ClipboardHistoryReader::largestFile, &readError);
    if (!bytes) return readError;
    if (const std::optional<QString> kept = SafeFile::keptAsideAlready(file, *bytes)) {
        qCInfo(lcClipboard, "History file %s: what it holds that cannot be read is kept as %s already",
               qPrintable(file), qPrintable(*kept));
        return std::nullopt;
    }
    const QString aside = SafeFile::asidePath(file, QDateTime::currentDateTimeUtc());
    if (auto error = FileWriter::shared().writePrivate(aside, *bytes)) return error;
    qCWarning(lcClipboard, "History file %s holds %d records that cannot be read; kept a copy as %s", qPrintable(file),
              skipped, qPrintable(aside));
    return std::nullopt;
}
