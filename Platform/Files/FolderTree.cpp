#include "Platform/Files/FolderTree.h"

#include "Platform/Files/NativePath.h"
#include "Platform/Files/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace FolderTree {

namespace {

constexpr int openFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// A folder on the way down: its name in the one above, who it is, and its folders still to remove.
struct Level {
    QByteArray name;
    dev_t device;
    ino_t inode;
    std::vector<QByteArray> folders;
};

// Removes every entry of the open folder but its folders, which it lists in `folders`.
int removeAllButFolders(int fd, std::vector<QByteArray>* folders) {
    const int listing = ::dup(fd);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        const int code = errno;
        if (listing >= 0) ::close(listing);
        return code;
    }
    std::vector<QByteArray> others;
    int code = 0;
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        const bool folder = e->d_type == DT_DIR || (e->d_type == DT_UNKNOWN && [&] {
                                struct stat st {};
                                return ::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
                            }());
        (folder ? *folders : others).emplace_back(e->d_name);
        errno = 0;
    }
    if (errno != 0) code = errno;
    ::closedir(dir);
    for (const QByteArray& name : others) {
        if (code == 0 && ::unlinkat(fd, name.constData(), 0) != 0 && errno != ENOENT) code = errno;
    }
    return code;
}

}  // namespace

std::optional<FileError> remove(int parent, const QByteArray& name) {
    const auto failed = [&name](int code) { return FileError::fromErrno(NativePath::decode(name), code); };
    UniqueFd top(::openat(parent, name.constData(), openFlags));
    struct stat st {};
    if (top.get() < 0 || ::fstat(top.get(), &st) != 0) return failed(errno);
    const dev_t device = st.st_dev;
    std::vector<Level> levels;
    levels.push_back({name, st.st_dev, st.st_ino, {}});
    // Only the folder being worked on is open; the way back up is checked against `levels`.
    int current = top.release();
    const auto closeCurrent = [&current] {
        if (current >= 0) ::close(current);
        current = -1;
    };
    bool listed = false;
    while (true) {
        Level& level = levels.back();
        if (!listed) {
            if (const int code = removeAllButFolders(current, &level.folders)) {
                closeCurrent();
                return failed(code);
            }
            listed = true;
        }
        if (!level.folders.empty()) {
            QByteArray child = std::move(level.folders.back());
            level.folders.pop_back();
            const int fd = ::openat(current, child.constData(), openFlags);
            if (fd < 0 && errno == ENOENT) continue;
            if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_dev != device) {
                const int code = fd < 0 ? errno : EXDEV;
                if (fd >= 0) ::close(fd);
                closeCurrent();
                return failed(code);
            }
            closeCurrent();
            current = fd;
            levels.push_back({std::move(child), st.st_dev, st.st_ino, {}});
            listed = false;
            continue;
        }
        // Emptied: up to the folder above, which must be the one we came down from, to remove it.
        if (levels.size() == 1) {
            closeCurrent();
            if (::unlinkat(parent, name.constData(), AT_REMOVEDIR) != 0) return failed(errno);
            return std::nullopt;
        }
        const int up = ::openat(current, "..", openFlags);
        const Level& above = levels[levels.size() - 2];
        if (up < 0 || ::fstat(up, &st) != 0 || st.st_dev != above.device || st.st_ino != above.inode) {
            const int code = up < 0 ? errno : ESTALE;
            if (up >= 0) ::close(up);
            closeCurrent();
            return failed(code);
        }
        closeCurrent();
        current = up;
        if (::unlinkat(current, level.name.constData(), AT_REMOVEDIR) != 0) {
            closeCurrent();
            return failed(errno);
        }
        levels.pop_back();
    }
}

}  // namespace FolderTree
