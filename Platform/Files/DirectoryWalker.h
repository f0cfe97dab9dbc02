#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <string_view>

// Walks a folder tree with openat/fdopendir/fstatat and adds up allocated sizes (st_blocks * 512).
// Links are never followed (a link counts as itself), a folder that cannot be listed is counted and
// passed over, and a hard-linked file counts once per walk (by device and inode), as du does.
// Safe to run on any thread; one walk per walker call.
class DirectoryWalker {
public:
    struct Totals {
        std::int64_t fileBytes = 0;    // everything but folders and links
        std::int64_t folderBytes = 0;  // the folders' own blocks, the start folder's included
        std::int64_t linkBytes = 0;
        std::int64_t files = 0;  // regular files
        std::int64_t folders = 0;
        std::int64_t entries = 0;     // every entry looked at
        std::int64_t unreadable = 0;  // folders that could not be listed (or were moved away while walked),
                                      // the start folder's included
        bool cancelled = false;

        std::int64_t allocatedBytes() const { return fileBytes + folderBytes + linkBytes; }
    };

    // Told about the walk as it goes, on the walking thread. Paths are the start path joined with
    // the names below it; depth 0 is the start folder.
    class Visitor {
    public:
        virtual ~Visitor() = default;
        // A folder met at `depth` (>= 1); false passes over it: nothing in or of it is counted.
        virtual bool shouldEnter(std::string_view path, int depth) {
            (void)path;
            (void)depth;
            return true;
        }
        // A folder is about to be opened (the start folder too); every enter has its leave.
        virtual void enter(std::string_view path, int depth) {
            (void)path;
            (void)depth;
        }
        // A regular file or other non-folder, non-link entry with its allocated bytes (0 for a further
        // link to a file already counted).
        virtual void file(std::string_view path, int depth, std::int64_t bytes) {
            (void)path;
            (void)depth;
            (void)bytes;
        }
        // A folder is done: `fileBytes` is what its non-folder entries and sub-folders' files hold.
        // `listed` is false when it could not be listed (then nothing of it was counted).
        virtual void leave(std::string_view path, int depth, std::int64_t fileBytes, bool listed) {
            (void)path;
            (void)depth;
            (void)fileBytes;
            (void)listed;
        }
    };

    struct Options {
        bool oneFileSystem = false;                  // never enter a folder on another device
        const std::atomic<bool>* cancel = nullptr;   // looked at before every entry
        Visitor* visitor = nullptr;
    };

    // Walks the folder at `path` (a link there is not followed: it is not a folder to walk).
    static Totals walk(const QString& path, const Options& options);
    static Totals walk(const QString& path);
};
