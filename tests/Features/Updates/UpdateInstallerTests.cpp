#include "Platform/Files/NativePath.h"
#include "Source/Features/Updates/BundleArchive.h"
#include "Source/Features/Updates/UpdateInstaller.h"
#include "Source/Features/Updates/UpdateManager.h"

#include "FileTreeSupport.h"
#include "TestSupport.h"
#include "UpdateTestSupport.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace UpdateTestSupport;
using Kind = UpdateManager::State::Kind;

namespace {

// A running bundle (build 10, version 1.0) in apps/, and newer bundles made to order.
class UpdateInstall : public ::testing::Test {
protected:
    void SetUp() override {
        running = dir.filePath("apps/Quorvin.app");
        writeBundle(running, {});
        ASSERT_TRUE(signBundle(running, keys));
    }

    // A new bundle: `before` runs before it is signed, `after` after.
    QByteArray archive(BundleSpec spec = {"com.pelwick.Quorvin", "2.0", "20"},
                       const std::function<void(const QString&)>& before = {},
                       const std::function<void(const QString&)>& after = {}, const QString& top = "Quorvin.app") {
        const QString path = dir.filePath(QStringLiteral("new%1/%2").arg(++made).arg(top));
        writeBundle(path, spec);
        if (before) before(path);
        signBundle(path, keys);
        if (after) after(path);
        return ZipBuilder().tree(path, top).build();
    }

    UpdateInstaller::Outcome install(const QByteArray& zip, qint64 feedBuild = 20,
                                     std::optional<QString> signature = std::nullopt,
                                     std::optional<qint64> length = std::nullopt) {
        const QString file = dir.filePath(QStringLiteral("download%1.zip").arg(++made));
        writeFile(file, zip);
        UpdateInstaller::Job job;
        job.archivePath = file;
        job.length = length.value_or(zip.size());
        job.signature = signature.value_or(keys.sign(zip));
        job.updateKey = job.codeSigningKey = keys.publicBase64();
        job.bundlePath = running;
        job.identifier = QStringLiteral("com.pelwick.Quorvin");
        job.feedBuild = feedBuild;
        job.runningBuild = 10;
        return UpdateInstaller::verifyAndReplace(job);
    }

    // The running bundle as it was, and nothing left beside it.
    void expectUntouched(const char* what) {
        EXPECT_EQ(QDir(dir.filePath("apps")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                  QStringList{"Quorvin.app"})
            << what;
        EXPECT_EQ(Bundle::forExecutable(running + "/bin/quorvin").build(), "10") << what;
        EXPECT_TRUE(CodeSignature::verify(running, keys.publicBase64())) << what;
    }

    QTemporaryDir dir;
    Keys keys;
    QString running;
    int made = 0;
};

}  // namespace

TEST_F(UpdateInstall, AnIntactNewerBuildTakesTheRunningBundlesPlace) {
    const UpdateInstaller::Outcome outcome = install(archive());
    ASSERT_TRUE(outcome.replaced) << qPrintable(outcome.detail);
    EXPECT_EQ(QDir(dir.filePath("apps")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"Quorvin.app"});
    const Bundle now = Bundle::forExecutable(running + "/bin/quorvin");
    EXPECT_EQ(now.build(), "20");
    EXPECT_EQ(now.version(), "2.0");
    EXPECT_TRUE(CodeSignature::verify(running, keys.publicBase64()));
    EXPECT_TRUE(QFileInfo(running + "/bin/quorvin").isExecutable());
}

TEST_F(UpdateInstall, TamperedArchivesAreRefusedWithNothingReplaced) {
    using namespace UpdateInstaller;
    const BundleSpec newer{"com.pelwick.Quorvin", "2.0", "20"};
    const QByteArray good = archive();
    const Keys stranger;
    const QString outside = dir.filePath("escaped");
    const QString absolute = QDir::tempPath() + QStringLiteral("/quorvin-absolute-%1").arg(QRandomGenerator::global()->generate());
    ZipBuilder base;
    base.tree(dir.filePath("new1/Quorvin.app"), "Quorvin.app");

    struct Case {
        const char* name;
        std::function<Outcome()> run;
        QString message;
    };
    const std::vector<Case> cases = {
        {"bad signature", [&] { return install(good, 20, stranger.sign(good)); }, signatureFailure()},
        {"signature over another archive", [&] { return install(good, 20, keys.sign(good + "x")); }, signatureFailure()},
        {"signature not base64", [&] { return install(good, 20, QStringLiteral("not base64!")); }, signatureFailure()},
        {"signature with a line break",
         [&] {
             QString s = keys.sign(good);
             s.insert(20, '\n');
             return install(good, 20, s);
         },
         signatureFailure()},
        {"truncated", [&] { return install(good.chopped(1), 20, keys.sign(good), good.size()); }, signatureFailure()},
        {"longer than announced", [&] { return install(good + "x", 20, keys.sign(good), good.size()); },
         signatureFailure()},
        {"wrong length", [&] { return install(good, 20, keys.sign(good), good.size() + 1); }, signatureFailure()},
        {"empty", [&] { return install(QByteArray(), 20, keys.sign(QByteArray()), 0); }, notQuorvinFailure()},
        {"traversal", [&] { return install(ZipBuilder(base).file("Quorvin.app/../../escaped", "x").build()); },
         notQuorvinFailure()},
        {"absolute name", [&] { return install(ZipBuilder(base).file(absolute, "x").build()); }, notQuorvinFailure()},
        {"link escape",
         [&] {
             return install(ZipBuilder(base).symlink("Quorvin.app/Resources/up", "../../..").build());
         },
         notQuorvinFailure()},
        {"link then a file through it",
         [&] {
             return install(ZipBuilder(base)
                                .symlink("Quorvin.app/out", dir.path())
                                .file("Quorvin.app/out/escaped", "x")
                                .build());
         },
         notQuorvinFailure()},
        {"character device",
         [&] {
             return install(ZipBuilder::withEntryType(ZipBuilder(base).file("Quorvin.app/dev", "").build(),
                                                      "Quorvin.app/dev", S_IFCHR));
         },
         notQuorvinFailure()},
        {"block device",
         [&] {
             return install(ZipBuilder::withEntryType(ZipBuilder(base).file("Quorvin.app/dev", "").build(),
                                                      "Quorvin.app/dev", S_IFBLK));
         },
         notQuorvinFailure()},
        {"socket",
         [&] {
             return install(ZipBuilder::withEntryType(ZipBuilder(base).file("Quorvin.app/sock", "").build(),
                                                      "Quorvin.app/sock", S_IFSOCK));
         },
         notQuorvinFailure()},
        // The zip reader turns a FIFO entry into an empty plain file, which no manifest lists.
        {"FIFO",
         [&] {
             return install(ZipBuilder::withEntryType(ZipBuilder(base).file("Quorvin.app/fifo", "").build(),
                                                      "Quorvin.app/fifo", S_IFIFO));
         },
         notSignedFailure()},
        {"no application folder", [&] { return install(archive(newer, {}, {}, "Quorvin")); }, notQuorvinFailure()},
        {"something beside the application",
         [&] { return install(ZipBuilder(base).file("Extra/readme", "x").build()); }, notQuorvinFailure()},
        {"not a zip", [&] { return install("this is no archive"); }, notQuorvinFailure()},
        {"another program", [&] { return install(archive({"org.example.Other", "2.0", "20"})); }, notQuorvinFailure()},
        {"no program",
         [&] { return install(archive(newer, [](const QString& p) { QFile::remove(p + "/bin/quorvin"); })); },
         notQuorvinFailure()},
        {"older build", [&] { return install(archive({"com.pelwick.Quorvin", "0.5", "5"}), 5); }, notNewerFailure()},
        {"same build", [&] { return install(archive({"com.pelwick.Quorvin", "1.0", "10"}), 10); }, notNewerFailure()},
        {"build other than the feed's", [&] { return install(archive({"com.pelwick.Quorvin", "2.1", "21"}), 20); },
         wrongBuildFailure()},
        {"unsigned manifest",
         [&] { return install(archive(newer, {}, [](const QString& p) { QFile::remove(p + "/_CodeSignature/signature"); })); },
         notSignedFailure()},
        {"manifest signed by another key",
         [&] { return install(archive(newer, {}, [&](const QString& p) { signBundle(p, stranger); })); },
         notSignedFailure()},
        {"altered manifest",
         [&] {
             return install(archive(newer, {}, [](const QString& p) {
                 QFile f(p + "/_CodeSignature/manifest");
                 f.open(QIODevice::Append);
                 f.write("644 " + QByteArray(64, 'a') + " Resources/more\n");
             }));
         },
         notSignedFailure()},
        {"altered program",
         [&] { return install(archive(newer, {}, [](const QString& p) { writeFile(p + "/bin/quorvin", "#!/bin/sh\nevil\n"); })); },
         notSignedFailure()},
        {"extra file not in the manifest",
         [&] { return install(archive(newer, {}, [](const QString& p) { writeFile(p + "/Resources/extra", "x"); })); },
         notSignedFailure()},
        {"changed mode",
         [&] {
             return install(archive(newer, {}, [](const QString& p) {
                 QFile::setPermissions(p + "/Resources/Changelog.json",
                                       QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther);
             }));
         },
         notSignedFailure()},
        // Refused, and what was unpacked goes however deep it is.
        {"a path deeper than PATH_MAX",
         [&] {
             QString deep = QStringLiteral("Quorvin.app");
             for (int i = 0; i < 2100; ++i) deep += QStringLiteral("/deep");
             return install(ZipBuilder(base).file(deep + "/leaf", "x").build());
         },
         notQuorvinFailure()},
        {"file of the manifest missing",
         [&] { return install(archive(newer, {}, [](const QString& p) { QFile::remove(p + "/Resources/Changelog.json"); })); },
         notSignedFailure()},
    };
    for (const Case& c : cases) {
        const Outcome outcome = c.run();
        EXPECT_FALSE(outcome.replaced) << c.name;
        EXPECT_EQ(outcome.message.toStdString(), c.message.toStdString()) << c.name << ": " << qPrintable(outcome.detail);
        expectUntouched(c.name);
    }
    EXPECT_FALSE(QFileInfo::exists(outside));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("escaped")));
    EXPECT_FALSE(QFileInfo::exists(absolute));
}

// A folder named in bytes that are not UTF-8, its look-alike beside it: the update goes into the
// real folder, and the look-alike's bundle stays as it was.
TEST_F(UpdateInstall, ABundleInAFolderNotNamedInUTF8IsUpdatedThereAndNotInItsLookAlike) {
    const QByteArray base = NativePath::encode(dir.path());
    const QByteArray real = base + "/x-\xe9", lookAlike = base + "/x-\xef\xbf\xbd";
    for (const QByteArray& folder : {real, lookAlike}) {
        ASSERT_TRUE(std::filesystem::create_directories(folder.toStdString()));
        std::filesystem::copy(running.toStdString(), (folder + "/Quorvin.app").toStdString(),
                              std::filesystem::copy_options::recursive);
    }
    running = NativePath::decode(real + "/Quorvin.app");
    const UpdateInstaller::Outcome outcome = install(archive());
    ASSERT_TRUE(outcome.replaced) << qPrintable(outcome.detail);
    const QString other = NativePath::decode(lookAlike + "/Quorvin.app");
    EXPECT_EQ(Bundle::forExecutable(running + "/bin/quorvin").build(), "20");
    EXPECT_EQ(Bundle::forExecutable(other + "/bin/quorvin").build(), "10");
    for (const QString& bundle : {running, other}) EXPECT_TRUE(CodeSignature::verify(bundle, keys.publicBase64()));
    for (const QByteArray& folder : {real, lookAlike})
        EXPECT_EQ(namesIn(folder), std::vector<std::string>{"Quorvin.app"}) << folder.toStdString();
    std::filesystem::remove_all(real.toStdString());
    std::filesystem::remove_all(lookAlike.toStdString());
}

// Folder modes are not signed: an archive made under umask 000 left bin/ writable by anyone.
TEST_F(UpdateInstall, FoldersAreInstalled0755WhateverTheArchiveOrTheUmaskSays) {
    const auto modes = [&] {
        QMap<QString, int> out;
        QDirIterator it(running, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        for (QString path = running; !path.isEmpty(); path = it.hasNext() ? it.next() : QString()) {
            struct stat st {};
            ::lstat(QFile::encodeName(path).constData(), &st);
            out.insert(QDir(running).relativeFilePath(path), int(st.st_mode & 07777));
        }
        return out;
    };
    const QMap<QString, int> expected = {{".", 0755},
                                         {"Info.json", 0644},
                                         {"Resources", 0755},
                                         {"Resources/Changelog.json", 0644},
                                         {"_CodeSignature", 0755},
                                         {"_CodeSignature/manifest", 0644},
                                         {"_CodeSignature/signature", 0644},
                                         {"bin", 0755},
                                         {"bin/quorvin", 0755}};
    int build = 20;
    for (const std::optional<int> folderMode : {std::optional<int>(0777), std::optional<int>()}) {
        const QString fresh = dir.filePath(QStringLiteral("wide%1/Quorvin.app").arg(build));
        writeBundle(fresh, {"com.pelwick.Quorvin", "2.0", QString::number(build)});
        for (const char* file : {"/Info.json", "/Resources/Changelog.json"})
            QFile::setPermissions(fresh + file,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        ASSERT_TRUE(signBundle(fresh, keys));
        for (const char* file : {"/_CodeSignature/manifest", "/_CodeSignature/signature"})
            QFile::setPermissions(fresh + file,
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
        // No folder entries: the folders are made for the files, under the umask of the moment.
        const mode_t before = ::umask(folderMode ? 022 : 0);
        const UpdateInstaller::Outcome outcome =
            install(ZipBuilder().tree(fresh, "Quorvin.app", folderMode).build(), build);
        ::umask(before);
        ASSERT_TRUE(outcome.replaced) << qPrintable(outcome.detail);
        EXPECT_EQ(modes(), expected) << (folderMode ? "folders 0777 in the archive" : "no folder entries");
        ++build;
    }
}

// A link inside the bundle lets whoever owns its target change the program after the check.
TEST_F(UpdateInstall, ASignedFileReplacedByALinkToAnIdenticalCopyOutsideFailsTheCheck) {
    const QString outside = dir.filePath("outside");
    QDir().mkpath(outside);
    const std::vector<std::pair<const char*, std::function<bool(const QString&)>>> cases = {
        {"program as a link",
         [&](const QString& p) {
             return QFile::copy(p + "/bin/quorvin", outside + "/a") && QFile::remove(p + "/bin/quorvin") &&
                    QFile::link(outside + "/a", p + "/bin/quorvin");
         }},
        {"program as a hard link",
         [&](const QString& p) {
             return QFile::copy(p + "/bin/quorvin", outside + "/b") && QFile::remove(p + "/bin/quorvin") &&
                    ::link(QFile::encodeName(outside + "/b").constData(),
                           QFile::encodeName(p + "/bin/quorvin").constData()) == 0;
         }},
        {"folder as a link",
         [&](const QString& p) {
             return QDir().rename(p + "/Resources", outside + "/Resources") &&
                    QFile::link(outside + "/Resources", p + "/Resources");
         }},
        {"manifest as a link",
         [&](const QString& p) {
             const QString m = p + "/" + CodeSignature::manifestPath;
             return QFile::copy(m, outside + "/manifest") && QFile::remove(m) && QFile::link(outside + "/manifest", m);
         }},
        {"manifest as a hard link",
         [&](const QString& p) {
             const QString m = p + "/" + CodeSignature::manifestPath;
             return QFile::copy(m, outside + "/manifest2") && QFile::remove(m) &&
                    ::link(QFile::encodeName(outside + "/manifest2").constData(), QFile::encodeName(m).constData()) ==
                        0;
         }},
    };
    int n = 0;
    for (const auto& [name, tamper] : cases) {
        const QString bundle = dir.filePath(QStringLiteral("linked%1/Quorvin.app").arg(++n));
        writeBundle(bundle, {});
        ASSERT_TRUE(signBundle(bundle, keys)) << name;
        ASSERT_TRUE(CodeSignature::verify(bundle, keys.publicBase64())) << name;
        ASSERT_TRUE(tamper(bundle)) << name;
        QString why;
        EXPECT_FALSE(CodeSignature::verify(bundle, keys.publicBase64(), &why)) << name;
        EXPECT_FALSE(why.isEmpty()) << name;
    }
}

namespace {

// Pids for the sweeps' rows: one whose process has ended, one that still runs, and our own.
struct LeftoverOwners {
    QString dead, live, self = QString::number(::getpid());
    QProcess alive;
    bool start() {
        QProcess ended;
        ended.start("true");
        if (!ended.waitForStarted()) return false;
        dead = QString::number(ended.processId());
        if (!ended.waitForFinished()) return false;
        alive.start("sleep", {"60"});
        if (!alive.waitForStarted()) return false;
        live = QString::number(alive.processId());
        return true;
    }
};

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

QStringList sortedEntries(const QString& folder) {
    return sorted(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System));
}

}  // namespace

// Only our own unpacking folders that no live process holds, however deep: by name, owner, link,
// process and lock, as in the temporary folder.
TEST_F(UpdateInstall, WhatACrashLeftBesideTheBundleIsSweptAndNothingElse) {
    LeftoverOwners owners;
    ASSERT_TRUE(owners.start());
    const QString dead = owners.dead, live = owners.live, self = owners.self;
    QProcess& alive = owners.alive;
    const QString apps = dir.filePath("apps");
    const auto leftover = [&](const QString& name) { writeFile(apps + "/" + name + "/Quorvin.app/Info.json", "{}"); };

    leftover(".quorvin-update-Ab12Cd");  // the older naming
    leftover(".quorvin-update-" + dead + "-Ef34Gh");
    ASSERT_TRUE(FileTree::makeDeepChain(apps + "/.quorvin-update-" + dead + "-Ef34Gh", 2100));  // past PATH_MAX
    leftover(".quorvin-update-" + live + "-Ij56Kl");  // its process still runs
    leftover(".quorvin-update-" + self + "-Mn78Op");  // this process's own
    leftover(".quorvin-update-" + dead + "-Qr90St");  // held by a process of another pid namespace
    leftover(".quorvin-update-notours");   // not a name we make
    writeFile(apps + "/.quorvin-update-Fi1e00", "x");  // a file
    writeFile(apps + "/Other.app/Info.json", "{}");
    writeFile(dir.filePath("elsewhere/keep"), "x");
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), apps + "/.quorvin-update-Link01"));
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), apps + "/.quorvin-update-Ab12Cd/link"));
    const int lock =
        ::open(QFile::encodeName(apps + "/.quorvin-update-" + dead + "-Qr90St").constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);

    EXPECT_EQ(UpdateInstaller::sweepLeftovers(running), 2);
    EXPECT_EQ(sortedEntries(apps),
              sorted({".quorvin-update-" + dead + "-Qr90St", ".quorvin-update-" + live + "-Ij56Kl",
                      ".quorvin-update-" + self + "-Mn78Op", ".quorvin-update-Fi1e00", ".quorvin-update-Link01",
                      ".quorvin-update-notours", "Other.app", "Quorvin.app"}));
    EXPECT_EQ(readFile(dir.filePath("elsewhere/keep")), "x");

    ::close(lock);
    alive.kill();
    ASSERT_TRUE(alive.waitForFinished());
    EXPECT_EQ(UpdateInstaller::sweepLeftovers(running), 2);
    EXPECT_EQ(UpdateInstaller::sweepLeftovers(QString()), 0);  // no bundle: nothing to look at
}

// Only our own downloads that no live process holds: by name, owner, link, process and lock.
TEST(UpdateDownloadSweep, LeftoverDownloadsGoAndLiveOnesAndStrangersStay) {
    QTemporaryDir dir;
    const QString tmp = dir.filePath("tmp");
    LeftoverOwners owners;
    ASSERT_TRUE(owners.start());
    const QString dead = owners.dead, live = owners.live, self = owners.self;
    QProcess& alive = owners.alive;
    const auto leftover = [&](const QString& name) { writeFile(tmp + "/" + name + "/update.zip", "partial"); };

    leftover("quorvin-update-Ab12Cd");  // the older naming
    leftover("quorvin-update-" + dead + "-Ef34Gh");
    leftover("quorvin-update-" + live + "-Ij56Kl");  // its process still runs
    leftover("quorvin-update-" + self + "-Mn78Op");  // this process's own
    leftover("quorvin-update-" + dead + "-Qr90St");  // held by a process of another pid namespace
    leftover("quorvin-update-notours");
    leftover("quorvin-update-1-2-3");
    writeFile(tmp + "/quorvin-update-Uv12Wx/sub/file", "x");  // holds a folder: no download of ours
    writeFile(tmp + "/quorvin-update-Fi1e00", "x");  // a file
    writeFile(dir.filePath("elsewhere/keep"), "x");
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), tmp + "/quorvin-update-Link01"));
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere/keep"), tmp + "/quorvin-update-Ab12Cd/link"));
    const int lock =
        ::open(QFile::encodeName(tmp + "/quorvin-update-" + dead + "-Qr90St").constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);

    EXPECT_EQ(UpdateInstaller::sweepDownloads(tmp), 2);
    EXPECT_EQ(sortedEntries(tmp),
              sorted({"quorvin-update-" + dead + "-Qr90St", "quorvin-update-" + live + "-Ij56Kl",
                      "quorvin-update-" + self + "-Mn78Op", "quorvin-update-1-2-3", "quorvin-update-Fi1e00",
                      "quorvin-update-Link01", "quorvin-update-Uv12Wx", "quorvin-update-notours"}));
    EXPECT_EQ(readFile(dir.filePath("elsewhere/keep")), "x");

    ::close(lock);
    alive.kill();
    ASSERT_TRUE(alive.waitForFinished());
    EXPECT_EQ(UpdateInstaller::sweepDownloads(tmp), 2);
    EXPECT_EQ(UpdateInstaller::sweepDownloads(dir.filePath("none")), 0);
}

TEST(BundleArchiveLimits, EntryCountAndUnpackedSizeAreCappedWhateverTheHeadersSay) {
    QTemporaryDir dir;
    ZipBuilder many;
    many.folder("Quorvin.app/");
    for (int i = 0; i < 30; ++i) many.file(QStringLiteral("Quorvin.app/f%1").arg(i), "x");
    QDir().mkpath(dir.filePath("a"));
    EXPECT_FALSE(BundleArchive::unpack(many.build(), dir.filePath("a"), {1 << 20, 20}).error.isEmpty());
    QDir().mkpath(dir.filePath("b"));
    EXPECT_TRUE(BundleArchive::unpack(many.build(), dir.filePath("b"), {1 << 20, 31}).error.isEmpty());

    // Compressed small, large unpacked: stopped at the cap.
    const QByteArray big = ZipBuilder().file("Quorvin.app/zeros", QByteArray(8 << 20, '\0')).build();
    ASSERT_LT(big.size(), 1 << 20);
    QDir().mkpath(dir.filePath("c"));
    EXPECT_FALSE(BundleArchive::unpack(big, dir.filePath("c"), {1 << 20, 100}).error.isEmpty());

    for (const char* name : {"", "/a", "a/../b", "a//b", "./a", "a/.", "..", "a\\b"})
        EXPECT_FALSE(BundleArchive::isSafeEntryName(QString::fromLatin1(name))) << name;
    EXPECT_TRUE(BundleArchive::isSafeEntryName("Quorvin.app/bin/"));
    EXPECT_TRUE(BundleArchive::isSafeEntryName("Quorvin.app/Resources/a..b"));
}

TEST(UpdateRelaunch, TheShellWaitsForTheProcessAndStartsThePathAsOneArgument) {
    QTemporaryDir dir;
    // A path that would break any quoting inside the script's text.
    const QString folder = dir.filePath(QStringLiteral("we\"ird $(touch pwned) `x` \\ name"));
    const QString program = folder + "/quorvin";
    writeFile(program, "#!/bin/sh\necho started > \"$(dirname \"$0\")/../ran\"\n",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess waiter;
    waiter.start("sleep", {"0.5"});
    ASSERT_TRUE(waiter.waitForStarted());
    QProcess shell;
    shell.start("/bin/sh", {"-c", UpdateManager::relaunchScript(), "quorvin-relaunch",
                            QString::number(waiter.processId()), program});
    ASSERT_TRUE(shell.waitForStarted());
    TestSupport::spin(200);
    EXPECT_FALSE(QFile::exists(dir.filePath("ran")));  // still waiting for the process
    ASSERT_TRUE(waiter.waitForFinished());
    ASSERT_TRUE(shell.waitForFinished(5000));
    EXPECT_EQ(readFile(dir.filePath("ran")), "started\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("pwned")));
}

// $TMPDIR named in bytes that are not UTF-8: the sweep works there, not in the look-alike beside it.
TEST(UpdateDownloadSweep, ATemporaryFolderNamedInBytesThatAreNotUTF8IsSweptByItsBytes) {
    QTemporaryDir dir;
    const QByteArray base = NativePath::encode(dir.path());
    const QByteArray real = base + "/caf\xff", lookAlike = base + "/caf\xef\xbf\xbd";
    for (const QByteArray& folder : {real, lookAlike}) {
        ASSERT_TRUE(std::filesystem::create_directories((folder + "/quorvin-update-Ab12Cd").toStdString()));
        std::ofstream((folder + "/quorvin-update-Ab12Cd/update.zip").toStdString()) << "partial";
    }
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", real);
    const QString temp = UpdateInstaller::temporaryFolder();
    qputenv("TMPDIR", saved);
    EXPECT_EQ(NativePath::encode(temp), real);
    EXPECT_EQ(UpdateInstaller::sweepDownloads(temp), 1);
    EXPECT_FALSE(std::filesystem::exists((real + "/quorvin-update-Ab12Cd").toStdString()));
    EXPECT_TRUE(std::filesystem::exists((lookAlike + "/quorvin-update-Ab12Cd/update.zip").toStdString()));
    std::filesystem::remove_all(base.toStdString());
}
