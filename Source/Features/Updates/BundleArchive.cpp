#include "Source/Features/Updates/BundleArchive.h"

#include "Platform/Files/NativePath.h"

#include <QStringList>

#include <archive.h>
#include <archive_entry.h>

#include <cstring>
#include <memory>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
struct ReadFree {
    void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteFree {
    void operator()(archive* a) const { archive_write_free(a); }
};

BundleArchive::Result refuse(const QString& why) { return {QString(), why}; }

constexpr mode_t folderMode = 0755;
constexpr int deepestFolder = 64;

// Sets every folder at and below the open folder to 0755, links left alone. Folders the archive
// names and those made for them alike: their modes are not part of what the maker signs.
bool fixFolderModes(int fd, int depth) {
    if (depth > deepestFolder || ::fchmod(fd, folderMode) != 0) return false;
    const int listing = ::dup(fd);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0) ::close(listing);
        return false;
    }
    bool ok = true;
    while (const dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        struct stat st {};
        if (::fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            ok = false;
        else if (!S_ISDIR(st.st_mode))
            continue;
        const int child = ok ? ::openat(fd, e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1;
        ok = child >= 0 && fixFolderModes(child, depth + 1);
        if (child >= 0) ::close(child);
        if (!ok) break;
    }
    ::closedir(dir);
    return ok;
}
}  // namespace

namespace BundleArchive {

bool isSafeEntryName(const QString& name) {
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))) return false;
    if (name.contains(QChar(0))) return false;
    QString trimmed = name;
    if (trimmed.endsWith(QLatin1Char('/'))) trimmed.chop(1);  // folders end in a slash
    for (const QString& part : trimmed.split(QLatin1Char('/')))
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")) return false;
    return true;
}

Result unpack(const QByteArray& zip, const QString& folder, const Limits& limits) {
    std::unique_ptr<archive, ReadFree> in(archive_read_new());
    std::unique_ptr<archive, WriteFree> out(archive_write_disk_new());
    if (!in || !out) return refuse(QStringLiteral("out of memory"));
    // The central directory, not the local headers, says what each entry is.
    archive_read_support_format_zip_seekable(in.get());
    // Whatever is written lands where our checked name says, never through a link, with its mode
    // bits but no owner or set-id bits.
    archive_write_disk_set_options(out.get(), ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT |
                                                  ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_NO_OVERWRITE);
    if (archive_read_open_memory(in.get(), zip.constData(), size_t(zip.size())) != ARCHIVE_OK)
        return refuse(QStringLiteral("not a zip archive"));

    QString top;
    qint64 total = 0;
    int count = 0;
    archive_entry* entry = nullptr;
    for (;;) {
        const int r = archive_read_next_header(in.get(), &entry);
        if (r == ARCHIVE_EOF) break;
        if (r != ARCHIVE_OK) return refuse(QStringLiteral("damaged archive: ") + QString::fromUtf8(archive_error_string(in.get())));
        if (++count > limits.entries) return refuse(QStringLiteral("too many entries"));

        const char* rawName = archive_entry_pathname_utf8(entry);
        if (!rawName) rawName = archive_entry_pathname(entry);
        const QString name = rawName ? QString::fromUtf8(rawName) : QString();
        if (!isSafeEntryName(name)) return refuse(QStringLiteral("unsafe entry name: ") + name);
        const mode_t type = archive_entry_filetype(entry);
        if (archive_entry_hardlink(entry) || archive_entry_symlink(entry) || (type != AE_IFREG && type != AE_IFDIR))
            return refuse(QStringLiteral("entry that is not a plain file or folder: ") + name);

        const QString first = name.section(QLatin1Char('/'), 0, 0);
        if (top.isEmpty()) top = first;
        if (first != top || !top.endsWith(QLatin1String(".app")) || top.size() <= 4)
            return refuse(QStringLiteral("entry outside the one application folder: ") + name);

        const qint64 announced = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
        if (announced < 0 || announced > limits.totalBytes - total) return refuse(QStringLiteral("archive too large"));

        const QByteArray target = NativePath::encode(folder) + '/' + name.toUtf8();
        archive_entry_set_pathname(entry, target.constData());
        archive_entry_set_perm(entry, type == AE_IFDIR ? folderMode : archive_entry_perm(entry) & 0777);
        if (archive_write_header(out.get(), entry) != ARCHIVE_OK)
            return refuse(QStringLiteral("cannot unpack ") + name + QStringLiteral(": ") +
                          QString::fromUtf8(archive_error_string(out.get())));
        if (type == AE_IFREG) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            for (;;) {
                const int rr = archive_read_data_block(in.get(), &block, &size, &offset);
                if (rr == ARCHIVE_EOF) break;
                if (rr != ARCHIVE_OK) return refuse(QStringLiteral("damaged entry: ") + name);
                // The sizes in a zip's headers may lie: count what really comes out.
                total += qint64(size);
                if (total > limits.totalBytes) return refuse(QStringLiteral("archive too large"));
                if (archive_write_data_block(out.get(), block, size, offset) != ARCHIVE_OK)
                    return refuse(QStringLiteral("cannot unpack ") + name + QStringLiteral(": ") +
                                  QString::fromUtf8(archive_error_string(out.get())));
            }
        }
        if (archive_write_finish_entry(out.get()) != ARCHIVE_OK)
            return refuse(QStringLiteral("cannot unpack ") + name);
    }
    if (archive_write_close(out.get()) != ARCHIVE_OK) return refuse(QStringLiteral("cannot finish unpacking"));
    if (top.isEmpty()) return refuse(QStringLiteral("empty archive"));
    const int topFd = ::open((NativePath::encode(folder) + '/' + top.toUtf8()).constData(),
                             O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    const bool fixed = topFd >= 0 && fixFolderModes(topFd, 0);
    if (topFd >= 0) ::close(topFd);
    if (!fixed) return refuse(QStringLiteral("cannot set the folders' modes"));
    return {top, QString()};
}

}  // namespace BundleArchive
