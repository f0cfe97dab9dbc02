#include "Source/Features/Updates/BundleArchive.h"
#include "Source/Features/Updates/UpdateInstaller.h"
#include "Source/Features/Updates/UpdateManager.h"

#include "TestSupport.h"
#include "UpdateTestSupport.h"

#include <QDirIterator>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

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

TEST_F(UpdateInstall, WhatACrashLeftBesideTheBundleIsSweptAndNothingElse) {
    writeFile(dir.filePath("apps/.quorvin-update-Ab12Cd/Quorvin.app/Info.json"), "{}");
    writeFile(dir.filePath("apps/.quorvin-update-notours/keep"), "x");   // not a name we make
    writeFile(dir.filePath("apps/Other.app/Info.json"), "{}");
    writeFile(dir.filePath("elsewhere/keep"), "x");
    ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), dir.filePath("apps/.quorvin-update-Link01")));
    EXPECT_EQ(UpdateInstaller::sweepLeftovers(running), 1);
    EXPECT_EQ(QDir(dir.filePath("apps")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
              (QStringList{".quorvin-update-Link01", ".quorvin-update-notours", "Other.app", "Quorvin.app"}));
    EXPECT_TRUE(QFile::exists(dir.filePath("elsewhere/keep")));
    EXPECT_EQ(UpdateInstaller::sweepLeftovers(QString()), 0);  // no bundle: nothing to look at
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
