#include "Platform/Files/FileWriter.h"

#include "Platform/Files/LinuxFileWriter.h"
#include "Platform/Files/NativePath.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <atomic>
#include <mutex>
#include <set>
#include <tuple>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::atomic<FileWriter*> g_override{nullptr};

using HeldName = std::tuple<dev_t, ino_t, QByteArray>;

std::mutex& heldMutex() {
    static std::mutex mutex;
    return mutex;
}

std::set<HeldName>& heldNames() {
    static auto* names = new std::set<HeldName>;
    return *names;
}
}  // namespace

FileWriter& FileWriter::shared() {
    static LinuxFileWriter system;
    FileWriter* writer = g_override.load();
    return writer ? *writer : system;
}

void FileWriter::setShared(FileWriter* writer) { g_override.store(writer); }

QString FileWriter::temporaryName() {
    return QStringLiteral(".quorvin-write-") +
           QString::number(QRandomGenerator::global()->generate64(), 16).rightJustified(16, QLatin1Char('0'));
}

bool FileWriter::isTemporaryName(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^\\.quorvin-write-[0-9a-f]{16}$"));
    return pattern.match(name).hasMatch();
}

void FileWriter::holdTemporary(dev_t device, ino_t folder, const QByteArray& name) {
    const std::lock_guard lock(heldMutex());
    heldNames().insert({device, folder, name});
}

void FileWriter::releaseTemporary(dev_t device, ino_t folder, const QByteArray& name) {
    const std::lock_guard lock(heldMutex());
    heldNames().erase({device, folder, name});
}

int FileWriter::sweepUnfinishedWrites(const QString& folder) {
    const int fd = ::open(NativePath::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat folderStat {};
    DIR* dir = ::fstat(fd, &folderStat) == 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        ::close(fd);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!isTemporaryName(NativePath::decode(entry->d_name))) continue;
        struct stat st {};
        if (::fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != ::geteuid())
            continue;
        // Held across the check and the removal, so no write can take the name in between.
        const std::lock_guard lock(heldMutex());
        if (heldNames().count({folderStat.st_dev, folderStat.st_ino, QByteArray(entry->d_name)}) > 0) continue;
        if (::unlinkat(fd, entry->d_name, 0) == 0) ++removed;
    }
    ::closedir(dir);
    return removed;
}
