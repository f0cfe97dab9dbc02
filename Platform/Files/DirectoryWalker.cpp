#include "Platform/Files/DirectoryWalker.h"

#include "Platform/Files/NativePath.h"

#include <string>
#include <unordered_set>
#include <vector>

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
    // `up` (deep folders only) gets the parent folder reopened, as the parent gave its own up.
    std::int64_t folder(int fd, int depth, int* up = nullptr) {
        return depth < kHeldLevels ? streamed(fd, depth) : readWhole(fd, depth, up);
    }

    std::int64_t unlisted(int depth) {
        if (!cancelled()) ++totals.unreadable;
        if (options_.visitor) options_.visitor->leave(path_, depth, 0, false);
        return 0;
    }

    DirectoryWalker::Totals totals;
    std::string path_;

private:
    // A folder above this depth stays open while the walk is below it; deeper ones are read whole
    // and closed first, so a walk holds about this many folders open however deep the tree goes.
    static constexpr int kHeldLevels = 24;

    // Reads the folder entry by entry, keeping it open throughout.
    std::int64_t streamed(int fd, int depth) {
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return unlisted(depth);
        }
        std::int64_t bytes = 0;
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
            if (isDots(entry->d_name)) continue;
            int held = ::dirfd(dir);
            const int outer = anchor_;
            anchor_ = held;
            bytes += visit(held, entry->d_name, depth, nullptr);
            anchor_ = outer;
        }
        ::closedir(dir);
        if (options_.visitor) options_.visitor->leave(path_, depth, bytes, true);
        return bytes;
    }

    // Reads the folder's names first, then closes it while each sub-folder is walked; the
    // sub-folder hands it back reopened through "..", checked to be the same folder (a sub-folder
    // moved elsewhere hands back its new parent: then this one is found again by name).
    std::int64_t readWhole(int fd, int depth, int* up) {
        struct stat self {};
        std::vector<std::string> names;
        bool broken = false;
        const int listing = ::fstat(fd, &self) == 0 ? ::dup(fd) : -1;
        DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
        if (!dir) {
            if (listing >= 0) ::close(listing);
            handBack(fd, up);
            ::close(fd);
            return unlisted(depth);
        }
        deep_.push_back(Level{path_.rfind('/') + 1, FileId{self.st_dev, self.st_ino}});
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir);
            if (!entry) {
                broken = errno != 0;
                break;
            }
            if (!isDots(entry->d_name)) names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
        std::int64_t bytes = 0;
        for (const std::string& name : names) {
            if (cancelled()) {
                totals.cancelled = true;
                break;
            }
            bytes += visit(fd, name.c_str(), depth, &self);
            if (fd < 0) {
                broken = true;  // moved away meanwhile: the rest is out of reach
                break;
            }
        }
        if (broken) ++totals.unreadable;
        if (fd >= 0) {
            handBack(fd, up);
            ::close(fd);
        } else if (up) {
            *up = -1;
        }
        deep_.pop_back();
        if (options_.visitor) options_.visitor->leave(path_, depth, bytes, true);
        return bytes;
    }

    // Opens the deep folders again by name from the innermost folder held open, down to the
    // innermost one; each must be the folder it was. -1 when one of them is no longer there.
    int reopenDeepest() const {
        int fd = ::dup(anchor_);
        for (const Level& level : deep_) {
            if (fd < 0) break;
            const std::string name = path_.substr(level.nameStart, path_.find('/', level.nameStart) - level.nameStart);
            const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            ::close(fd);
            struct stat st {};
            fd = next;
            if (fd >= 0 && (::fstat(fd, &st) != 0 || !(FileId{st.st_dev, st.st_ino} == level.id))) {
                ::close(fd);
                fd = -1;
            }
        }
        return fd;
    }

    static void handBack(int fd, int* up) {
        if (up) *up = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    }

    static bool isDots(const char* name) {
        return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
    }

    // One entry of the folder `fd` at `depth` (its path in path_); gives the bytes it holds. With
    // `self` (a deep folder), `fd` is closed while a sub-folder is walked and comes back reopened,
    // or -1 when the folder could not be found again.
    std::int64_t visit(int& fd, const char* name, int depth, const struct stat* self) {
        ++totals.entries;
        struct stat st {};
        if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;  // gone meanwhile
        const std::int64_t allocated = std::int64_t(st.st_blocks) * 512;
        if (S_ISLNK(st.st_mode)) {
            totals.linkBytes += allocated;
            return 0;
        }
        const size_t length = path_.size();
        if (length == 0 || path_.back() != '/') path_ += '/';
        path_ += name;
        std::int64_t bytes = 0;
        if (S_ISDIR(st.st_mode)) {
            if ((!options_.oneFileSystem || st.st_dev == device_) &&
                (!options_.visitor || options_.visitor->shouldEnter(path_, depth + 1))) {
                ++totals.folders;
                totals.folderBytes += allocated;
                if (options_.visitor) options_.visitor->enter(path_, depth + 1);
                const int child = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child < 0) {
                    bytes = unlisted(depth + 1);
                } else if (!self) {
                    bytes = folder(child, depth + 1);
                } else {
                    ::close(fd);
                    int back = -1;
                    bytes = folder(child, depth + 1, &back);
                    struct stat again {};
                    if (back >= 0 &&
                        (::fstat(back, &again) != 0 || again.st_dev != self->st_dev || again.st_ino != self->st_ino)) {
                        // The sub-folder was moved elsewhere while it was walked: it is the one lost.
                        ++totals.unreadable;
                        ::close(back);
                        back = -1;
                    }
                    // Else this folder is found again by name from the folders above, if it is still there.
                    fd = back >= 0 ? back : reopenDeepest();
                }
            }
        } else {
            const std::int64_t counted = firstSight(st) ? allocated : 0;
            if (S_ISREG(st.st_mode)) ++totals.files;
            totals.fileBytes += counted;
            bytes += counted;
            if (options_.visitor) options_.visitor->file(path_, depth + 1, counted);
        }
        path_.resize(length);
        return bytes;
    }

    // False for a further name of a hard-linked file already counted in this walk.
    bool firstSight(const struct stat& st) {
        if (st.st_nlink < 2) return true;
        return seen_.insert(FileId{st.st_dev, st.st_ino}).second;
    }

    // A folder being read whole: where its name starts in path_, and which folder it is.
    struct Level {
        size_t nameStart;
        FileId id;
    };

    const DirectoryWalker::Options& options_;
    dev_t device_;
    std::unordered_set<FileId, FileIdHash> seen_;
    int anchor_ = -1;  // the innermost folder held open, above the deep ones
    std::vector<Level> deep_;  // the folders being read whole, outermost first
};

}  // namespace

DirectoryWalker::Totals DirectoryWalker::walk(const QString& path, const Options& options) {
    std::string start = NativePath::encode(path).toStdString();
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
