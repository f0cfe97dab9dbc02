#include "NoLocksFolder.h"

#include <QFile>

#include <cerrno>
#include <map>
#include <mutex>
#include <utility>

#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::mutex foldersMutex;
// The error flock gives, by device and inode.
std::map<std::pair<unsigned long long, unsigned long long>, int> folders;

}  // namespace

NoLocksFolder::NoLocksFolder(const QString& folder, int error) {
    struct stat st {};
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0) return;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    std::lock_guard lock(foldersMutex);
    folders[{device_, inode_}] = error;
}

NoLocksFolder::~NoLocksFolder() {
    std::lock_guard lock(foldersMutex);
    folders.erase({device_, inode_});
}

// Linked into a test program that makes a NoLocksFolder, in place of the C library's: the
// program's calls come here, and go on to the kernel unless the folder is one of those above.
extern "C" int flock(int fd, int operation) {
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        std::lock_guard lock(foldersMutex);
        if (const auto it = folders.find({st.st_dev, st.st_ino}); it != folders.end()) {
            errno = it->second;
            return -1;
        }
    }
    return int(::syscall(SYS_flock, fd, operation));
}
