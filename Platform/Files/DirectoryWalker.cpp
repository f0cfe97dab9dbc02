#include "Platform/Files/DirectoryWalker.h"

#include <QFile>

#include <string>
#include <unordered_set>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FileId {
    dev_t device;
    ino_t inode;
    bool operator==(const FileId&) const = default;
};

struct FileIdHash {
    size_t operator()(const FileId& id) const noexcept {
        return std::hash<std::uint64_t>()(std::uint64_t(id.inode) * 0x9E3779B97F4A7C15ull ^ std::uint64_t(id.device));
    }
};

class Walk {
public:
    Walk(const DirectoryWalker::Options& options, dev_t device) : options_(options), device_(device) {}

    bool cancelled() const { return options_.cancel && options_.cancel->load(std::memory_order_relaxed); }

    // Lists the open folder `fd` (taken over) whose path is in path_; gives the bytes of its files.
    std::int64_t folder(int fd, int depth) {
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return unlisted(depth);
        }
        std::int64_t bytes = 0;
        const size_t length = path_.size();
        const bool atRoot = length > 0 && path_.back() == '/';
        for (;;) {
            if (cancelled()) {
                totals.cancelled = true;
                break;
            }
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (!entry) {
                // A listing that breaks off part way is a folder we could not read.
                if (errno != 0) ++totals.unreadable;
                break;
            }
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
            ++totals.entries;
            struct stat st {};
            if (::fstatat(::dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
            const std::int64_t allocated = std::int64_t(st.st_blocks) * 512;
            if (S_ISLNK(st.st_mode)) {
                totals.linkBytes += allocated;
                continue;
            }
            if (!atRoot) path_ += '/';
            path_ += name;
            if (S_ISDIR(st.st_mode)) {
                if ((!options_.oneFileSystem || st.st_dev == device_) &&
                    (!options_.visitor || options_.visitor->shouldEnter(path_, depth + 1))) {
                    ++totals.folders;
                    totals.folderBytes += allocated;
                    if (options_.visitor) options_.visitor->enter(path_, depth + 1);
                    const int child = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                    bytes += child >= 0 ? folder(child, depth + 1) : unlisted(depth + 1);
                }
            } else {
                const std::int64_t counted = firstSight(st) ? allocated : 0;
                if (S_ISREG(st.st_mode)) ++totals.files;
                totals.fileBytes += counted;
                bytes += counted;
                if (options_.visitor) options_.visitor->file(path_, depth + 1, counted);
            }
            path_.resize(length);
        }
        ::closedir(dir);
        if (options_.visitor) options_.visitor->leave(path_, depth, bytes, true);
        return bytes;
    }

    std::int64_t unlisted(int depth) {
        if (!cancelled()) ++totals.unreadable;
        if (options_.visitor) options_.visitor->leave(path_, depth, 0, false);
        return 0;
    }

    DirectoryWalker::Totals totals;
    std::string path_;

private:
    // False for a further name of a hard-linked file already counted in this walk.
    bool firstSight(const struct stat& st) {
        if (st.st_nlink < 2) return true;
        return seen_.insert(FileId{st.st_dev, st.st_ino}).second;
    }

    const DirectoryWalker::Options& options_;
    dev_t device_;
    std::unordered_set<FileId, FileIdHash> seen_;
};

}  // namespace

DirectoryWalker::Totals DirectoryWalker::walk(const QString& path, const Options& options) {
    std::string start = QFile::encodeName(path).toStdString();
    while (start.size() > 1 && start.back() == '/') start.pop_back();
    Walk walk(options, 0);
    walk.path_ = start;
    if (options.visitor) options.visitor->enter(walk.path_, 0);
    const int fd = ::open(start.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0) {
        // A link or a file is no folder to walk; anything else is one we could not read.
        if (errno == ELOOP || errno == ENOTDIR) {
            if (options.visitor) options.visitor->leave(walk.path_, 0, 0, false);
            return walk.totals;
        }
        walk.unlisted(0);
        if (::lstat(start.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) walk.totals.folderBytes = std::int64_t(st.st_blocks) * 512;
        return walk.totals;
    }
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return walk.unlisted(0), walk.totals;
    }
    Walk rooted(options, st.st_dev);
    rooted.path_ = start;
    rooted.totals.folderBytes = std::int64_t(st.st_blocks) * 512;
    rooted.folder(fd, 0);
    return rooted.totals;
}

DirectoryWalker::Totals DirectoryWalker::walk(const QString& path) { return walk(path, Options{}); }
