#include "FailingFileWriter.h"
#include "Platform/Desktop/LaunchAtLogin.h"
#include "Platform/Files/NativePath.h"
#include "Platform/Files/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

struct Autostart {
    QTemporaryDir home;
    QString folder = home.path() + "/config/autostart";
    LaunchAtLogin launch{folder, "/opt/Quorvin.app/bin/quorvin", FileWriter::shared()};

    QByteArray entry() const {
        QFile file(launch.entryPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void put(const QByteArray& text) {
        QDir().mkpath(folder);
        QFile file(launch.entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
};

}  // namespace

TEST(LaunchAtLogin, OnWritesOurEntryAndOffHidesIt) {
    Autostart autostart;
    EXPECT_FALSE(autostart.launch.isEnabled());
    EXPECT_FALSE(autostart.launch.setEnabled(false).has_value());  // nothing there, nothing written
    EXPECT_FALSE(QDir(autostart.folder).exists());

    ASSERT_FALSE(autostart.launch.setEnabled(true).has_value());
    EXPECT_EQ(autostart.launch.entryPath(), autostart.folder + "/com.pelwick.Quorvin.desktop");
    EXPECT_TRUE(autostart.launch.isEnabled());
    auto entry = LaunchAtLogin::parse(autostart.entry());
    ASSERT_TRUE(entry.has_value());
    EXPECT_TRUE(entry->ours);
    EXPECT_FALSE(entry->hidden);
    EXPECT_EQ(entry->exec, "/opt/Quorvin.app/bin/quorvin");
    EXPECT_TRUE(autostart.entry().startsWith("[Desktop Entry]\nType=Application\n"));

    ASSERT_FALSE(autostart.launch.setEnabled(false).has_value());
    EXPECT_FALSE(autostart.launch.isEnabled());
    entry = LaunchAtLogin::parse(autostart.entry());
    ASSERT_TRUE(entry.has_value());
    EXPECT_TRUE(entry->ours);
    EXPECT_TRUE(entry->hidden);
    EXPECT_TRUE(entry->switchedOff);

    ASSERT_FALSE(autostart.launch.setEnabled(true).has_value());
    EXPECT_TRUE(autostart.launch.isEnabled());
    // Nothing else is left in the folder (no temporary files).
    EXPECT_EQ(QDir(autostart.folder).entryList(QDir::Files | QDir::Hidden), QStringList{"com.pelwick.Quorvin.desktop"});
}

// A config folder named in bytes that are not UTF-8 is the one used, never the look-alike beside it.
TEST(LaunchAtLogin, TheDefaultFolderIsTakenByItsBytes) {
    QTemporaryDir home;
    const QByteArray base = NativePath::encode(home.path());
    const std::string lookAlike = (base + "/caf\xef\xbf\xbd/autostart").toStdString();
    ASSERT_TRUE(std::filesystem::create_directories(lookAlike));
    const QByteArray theirs = LaunchAtLogin::entryText("/opt/Other/quorvin", true);
    std::ofstream(lookAlike + "/com.pelwick.Quorvin.desktop") << theirs.toStdString();
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", base + "/caf\xff");
    const QString folder = LaunchAtLogin::defaultFolder();
    qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_EQ(NativePath::encode(folder), base + "/caf\xff/autostart");

    LaunchAtLogin launch{folder, "/opt/Quorvin.app/bin/quorvin", FileWriter::shared()};
    EXPECT_FALSE(launch.isEnabled());
    ASSERT_FALSE(launch.setEnabled(true).has_value());
    EXPECT_TRUE(launch.isEnabled());
    const auto entry = LaunchAtLogin::parse(SafeFile::readRegular(launch.entryPath(), 1 << 20).value_or(QByteArray()));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->exec, "/opt/Quorvin.app/bin/quorvin");
    std::ifstream in(lookAlike + "/com.pelwick.Quorvin.desktop");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), theirs.toStdString());
}

TEST(LaunchAtLogin, OnlyOurVisibleEntryCounts) {
    Autostart autostart;
    // The session settings switched our entry off.
    autostart.put(LaunchAtLogin::entryText("/x/quorvin", true).replace("X-GNOME-Autostart-enabled=true",
                                                                        "X-GNOME-Autostart-enabled=false"));
    EXPECT_FALSE(autostart.launch.isEnabled());
    ASSERT_FALSE(autostart.launch.setEnabled(true).has_value());
    EXPECT_TRUE(autostart.launch.isEnabled());

    // An entry of that name that is not ours: never on, never replaced, left alone when turned off.
    const QByteArray foreign = "[Desktop Entry]\nType=Application\nName=Something\nExec=/usr/bin/something\n";
    autostart.put(foreign);
    EXPECT_FALSE(autostart.launch.isEnabled());
    const auto refused = autostart.launch.setEnabled(true);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->path, autostart.launch.entryPath());
    EXPECT_EQ(autostart.entry(), foreign);
    EXPECT_FALSE(autostart.launch.setEnabled(false).has_value());
    EXPECT_EQ(autostart.entry(), foreign);
    // Our marker in another group does not make it ours.
    autostart.put("[Desktop Action x]\nX-Quorvin-Autostart=true\n[Desktop Entry]\nExec=quorvin\n");
    EXPECT_FALSE(autostart.launch.isEnabled());
}

TEST(LaunchAtLogin, ALinkAtTheEntryIsNeitherReadNorFollowed) {
    Autostart autostart;
    const QString target = autostart.home.path() + "/elsewhere.desktop";
    {
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(LaunchAtLogin::entryText("/x/quorvin", true));
    }
    QDir().mkpath(autostart.folder);
    ASSERT_TRUE(QFile::link(target, autostart.launch.entryPath()));
    EXPECT_FALSE(autostart.launch.isEnabled());
    EXPECT_TRUE(autostart.launch.setEnabled(true).has_value());
    EXPECT_FALSE(autostart.launch.setEnabled(false).has_value());
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), LaunchAtLogin::entryText("/x/quorvin", true));
}

TEST(LaunchAtLogin, AFailedWriteIsReportedAndLeavesItOff) {
    Autostart autostart;
    FailingFileWriter writer;
    LaunchAtLogin launch(autostart.folder, "/x/quorvin", writer);
    writer.failPathsContaining("autostart");
    const auto failed = launch.setEnabled(true);
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->reason, "No space left on device");
    EXPECT_FALSE(launch.isEnabled());
}

TEST(LaunchAtLogin, TheExecKeyQuotesAndEscapesThePath) {
    EXPECT_EQ(LaunchAtLogin::execValue("/usr/bin/quorvin"), "/usr/bin/quorvin");
    EXPECT_EQ(LaunchAtLogin::execValue("/home/me/My Apps/quorvin"), "\"/home/me/My Apps/quorvin\"");
    EXPECT_EQ(LaunchAtLogin::execValue("/opt/100%/quorvin"), "/opt/100%%/quorvin");
    // A '$' and a backslash are escaped inside the quotes, and the backslashes once more for the file.
    EXPECT_EQ(LaunchAtLogin::execValue("/a$b\\c"), "\"/a\\\\$b\\\\\\\\c\"");
    // Read back, the key holds the quoted argument.
    const auto entry = LaunchAtLogin::parse(LaunchAtLogin::entryText("/a$b\\c d", true));
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->exec, "\"/a\\$b\\\\c d\"");
}

// A path a desktop entry cannot hold is never written, nor any other in its place: turning on is
// refused, and turning off an entry already there keeps the path it names.
TEST(LaunchAtLogin, AProgramNoEntryCanNameIsNeverTurnedOn) {
    const QString earlier = "/opt/Quorvin.app/bin/quorvin";
    for (const QString& executable : {NativePath::decode("/home/me/x-\xe9/Quorvin.app/bin/quorvin"),
                                      QString("/home/me/two\nlines/quorvin"), QString()}) {
        Autostart autostart;
        LaunchAtLogin launch(autostart.folder, executable, FileWriter::shared());
        EXPECT_FALSE(launch.canNameExecutable());
        const auto refused = launch.setEnabled(true);
        ASSERT_TRUE(refused.has_value());
        EXPECT_EQ(refused->path, NativePath::displayed(executable));
        EXPECT_FALSE(QDir(autostart.folder).exists());
        EXPECT_FALSE(launch.isEnabled());

        autostart.put(LaunchAtLogin::entryText(earlier, true));
        EXPECT_TRUE(launch.setEnabled(true).has_value());
        ASSERT_FALSE(launch.setEnabled(false).has_value());
        EXPECT_FALSE(launch.isEnabled());
        EXPECT_EQ(autostart.entry(), LaunchAtLogin::entryText(earlier, false));
    }
}
