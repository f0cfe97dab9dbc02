#include "Platform/Files/PathWatcher.h"

#include "Platform/Files/InotifyWatches.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <functional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

QByteArray native(const QString& path) { return QFile::encodeName(path); }

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A folder standing for the home folder, with a store's file a few folders down.
struct Home {
    QTemporaryDir dir{TestSupport::tempRoot() + "/path-watcher-XXXXXX"};
    QString home = dir.path() + "/home";
    QString data = home + "/.local/share";
    QString folder = data + "/Store";
    QString file = folder + "/store.json";
    Home() {
        QDir().mkpath(folder);
        writeBytes(file, "{}");
    }
};

// The inotify instances this process holds.
int inotifyInstances() {
    int count = 0;
    for (const QString& fd : QDir("/proc/self/fd").entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        if (::readlink(native("/proc/self/fd/" + fd).constData(), target, sizeof target - 1) > 0 &&
            QByteArray(target) == "anon_inode:inotify")
            ++count;
    }
    return count;
}

// Makes and removes `count` files in `folder`, a folder too.
void churn(const QString& folder, int count) {
    for (int i = 0; i < count; ++i) {
        const QByteArray path = native(folder + QString::asprintf("/churn-%d", i));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd >= 0) ::close(fd);
        ::rename(path.constData(), (path + ".moved").constData());
        ::unlink((path + ".moved").constData());
    }
    QDir(folder).mkdir("churn-folder");
    QDir(folder).rmdir("churn-folder");
}

// Refuses what inotify refuses once the user's watches are used up (through a stand-in for the
// call), or once the process has no descriptor left for an instance (for real), while it stands;
// counts the watches asked for.
class Refusal {
public:
    enum class Kind { watchesUsedUp, noInstanceLeft };
    explicit Refusal(Kind kind) : kind_(kind) {
        InotifyWatches::setAddWatchForTesting([this](int fd, const char* path, uint32_t mask) {
            ++tries;
            if (kind_ == Kind::watchesUsedUp && refusing_) {
                errno = ENOSPC;
                return -1;
            }
            return ::inotify_add_watch(fd, path, mask);
        });
        if (kind_ == Kind::noInstanceLeft) {
            ::getrlimit(RLIMIT_NOFILE, &saved_);
            rlimit low = saved_;
            low.rlim_cur = std::min<rlim_t>(saved_.rlim_cur, 1024);
            ::setrlimit(RLIMIT_NOFILE, &low);
            fill();
        }
    }
    ~Refusal() {
        allow();
        InotifyWatches::setAddWatchForTesting({});
    }
    void allow() {
        if (!std::exchange(refusing_, false) || kind_ != Kind::noInstanceLeft) return;
        for (const int fd : fillers_) ::close(fd);
        fillers_.clear();
        ::setrlimit(RLIMIT_NOFILE, &saved_);
    }
    // Runs `step` with a descriptor to spare.
    void withDescriptor(const std::function<void()>& step) {
        if (!fillers_.empty()) {
            ::close(fillers_.back());
            fillers_.pop_back();
        }
        step();
        if (refusing_ && kind_ == Kind::noInstanceLeft) fill();
    }
    int tries = 0;

private:
    void fill() {
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) fillers_.push_back(fd);
    }
    Kind kind_;
    bool refusing_ = true;
    rlimit saved_{};
    std::vector<int> fillers_;
};

}  // namespace

// Whatever happens to the file or to a folder on its path, `changed` comes a moment after.
TEST(PathWatcher, EachChangeOfTheFileOrItsPathIsToldOf) {
    Home home;
    PathWatcher watcher([file = home.file] { return QStringList{file}; });
    QSignalSpy changes(&watcher, &PathWatcher::changed);
    const QString elsewhere = home.data + "/Elsewhere", other = home.data + "/Other";
    const auto relink = [&](const QString& target) {
        // Made beside it and renamed over it, as `ln -sfn` does.
        const QString link = home.data + "/Store.new";
        ASSERT_EQ(::symlink(native(target).constData(), native(link).constData()), 0);
        ASSERT_EQ(::rename(native(link).constData(), native(home.folder).constData()), 0);
    };
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"rewritten in place",
         [&] {
             QFile file(home.file);
             ASSERT_TRUE(file.open(QIODevice::ReadWrite));
             file.write("{ }");
         }},
        {"replaced by a rename",
         [&] {
             ASSERT_TRUE(writeBytes(home.file + ".new", "{\"a\": 1}"));
             ASSERT_EQ(::rename(native(home.file + ".new").constData(), native(home.file).constData()), 0);
         }},
        {"removed", [&] { ASSERT_TRUE(QFile::remove(home.file)); }},
        {"made again", [&] { ASSERT_TRUE(writeBytes(home.file, "{}")); }},
        {"its folder moved away", [&] { ASSERT_TRUE(QDir().rename(home.folder, elsewhere)); }},
        {"its folder made again",
         [&] {
             ASSERT_TRUE(QDir().mkdir(home.folder));
             ASSERT_TRUE(writeBytes(home.file, "{}"));
         }},
        {"its folder made a link to the one moved away",
         [&] {
             ASSERT_TRUE(QDir(home.folder).removeRecursively());
             ASSERT_EQ(::symlink(native(elsewhere).constData(), native(home.folder).constData()), 0);
         }},
        {"written through the link", [&] { ASSERT_TRUE(writeBytes(elsewhere + "/store.json", "{\"b\": 2}")); }},
        {"the link led elsewhere",
         [&] {
             ASSERT_TRUE(QDir().mkpath(other));
             ASSERT_TRUE(writeBytes(other + "/store.json", "{}"));
             relink(other);
         }},
        {"written where it leads now", [&] { ASSERT_TRUE(writeBytes(other + "/store.json", "{\"c\": 3}")); }},
        {"a folder above moved away", [&] { ASSERT_TRUE(QDir().rename(home.data, home.home + "/share-moved")); }},
        {"and moved back", [&] { ASSERT_TRUE(QDir().rename(home.home + "/share-moved", home.data)); }},
        {"and written again", [&] { ASSERT_TRUE(writeBytes(other + "/store.json", "{\"d\": 4}")); }},
    };
    for (const auto& [name, step] : steps) {
        SCOPED_TRACE(name);
        changes.clear();
        step();
        EXPECT_TRUE(TestSupport::waitFor([&] { return !changes.isEmpty(); }, 3000));
        TestSupport::spin(PathWatcher::settleMs);
    }
}

// Files made and removed beside the watched paths (in the home folder, in a folder above, in the
// file's own folder) neither wake the watchers nor make them look at their paths again; the
// stores' watchers share one inotify instance.
TEST(PathWatcher, ChurnBesideTheWatchedPathsWakesNothing) {
    Home home;
    const int instancesBefore = inotifyInstances();
    const QStringList files = {home.file, home.data + "/Other/other.json", home.home + "/.config/settings.json"};
    for (const QString& file : files) {
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
        ASSERT_TRUE(writeBytes(file, "{}"));
    }
    std::vector<std::unique_ptr<PathWatcher>> watchers;
    int changes = 0;
    for (const QString& file : files) {
        watchers.push_back(std::make_unique<PathWatcher>([file] { return QStringList{file}; }));
        QObject::connect(watchers.back().get(), &PathWatcher::changed, [&changes] { ++changes; });
    }
    EXPECT_LE(inotifyInstances() - instancesBefore, 1);

    const int looks = PathWatcher::looksSoFar();
    for (const QString& folder : {home.home, home.data, home.folder, home.home + "/.config"}) {
        SCOPED_TRACE(qPrintable(folder));
        churn(folder, 200);
        TestSupport::spin(2 * PathWatcher::settleMs);
        EXPECT_EQ(PathWatcher::looksSoFar(), looks);
        EXPECT_EQ(changes, 0);
    }

    // The file's own change is seen, and looked at.
    ASSERT_TRUE(writeBytes(home.file, "{\"a\": 1}"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return changes == 1; }, 3000));
    EXPECT_GT(PathWatcher::looksSoFar(), looks);
}

// A watch refused because the user's watches are used up, or an instance refused because no
// descriptor is left, is tried again; meanwhile a change of the file's stamp is still told of (and
// no folder is read), and once the watch stands, a change no stamp shows is too.
TEST(PathWatcher, ARefusedWatchIsTriedAgainAndTheFileLookedAtMeanwhile) {
    for (const Refusal::Kind kind : {Refusal::Kind::watchesUsedUp, Refusal::Kind::noInstanceLeft}) {
        SCOPED_TRACE(kind == Refusal::Kind::watchesUsedUp ? "watches used up" : "no instance left");
        Home home;
        // No other watcher holds an instance already.
        if (kind == Refusal::Kind::noInstanceLeft) {
            ASSERT_EQ(inotifyInstances(), 0);
        }
        Refusal refusal(kind);
        PathWatcher watcher([file = home.file] { return QStringList{file}; });
        QSignalSpy changes(&watcher, &PathWatcher::changed);

        // Rewritten in place, as an editor may: the same file with another stamp.
        refusal.withDescriptor([&] { EXPECT_TRUE(writeBytes(home.file, "{\"saved\": 1}")); });
        EXPECT_TRUE(TestSupport::waitFor([&] { return changes.size() == 1; }, 3 * PathWatcher::retryMs));

        refusal.allow();
        const int triesAllowed = refusal.tries;
        ASSERT_TRUE(TestSupport::waitFor([&] { return refusal.tries > triesAllowed; }, 3 * PathWatcher::retryMs));
        changes.clear();
        // Rewritten in place with its size and time kept: only a watch sees it.
        struct stat before {};
        ASSERT_EQ(::stat(native(home.file).constData(), &before), 0);
        {
            QFile file(home.file);
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            ASSERT_EQ(file.write("{\"saved\": 2}"), 12);
        }
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, native(home.file).constData(), times, 0), 0);
        EXPECT_TRUE(TestSupport::waitFor([&] { return !changes.isEmpty(); }, 3000));
        // Nothing is tried again once the watches stand.
        const int triesWatched = refusal.tries;
        TestSupport::spin(2 * PathWatcher::retryMs);
        EXPECT_EQ(refusal.tries, triesWatched);
    }
}
