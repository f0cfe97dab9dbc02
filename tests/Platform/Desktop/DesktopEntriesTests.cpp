#include "Platform/Desktop/DesktopEntries.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString applications = QStringLiteral(QUORVIN_FIXTURES "/applications");

void write(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QStringList ids(const std::vector<DesktopEntry>& entries) {
    QStringList out;
    for (const auto& e : entries) out << e.id;
    out.sort();
    return out;
}

}  // namespace

TEST(DesktopEntries, ParsesTheMainGroupOnly) {
    const auto terminal = DesktopEntries::parse(applications + "/org.gnome.Terminal.desktop", "org.gnome.Terminal.desktop");
    ASSERT_TRUE(terminal.has_value());
    EXPECT_EQ(terminal->name, "Terminal");  // neither Name[de] nor the action's Name
    EXPECT_EQ(terminal->exec, "gnome-terminal --window");
    EXPECT_EQ(terminal->execProgram, "gnome-terminal");
    EXPECT_EQ(terminal->tryExec, "gnome-terminal");
    EXPECT_EQ(terminal->icon, "org.gnome.Terminal");
    EXPECT_EQ(terminal->categories, QStringList({"GNOME", "GTK", "System", "TerminalEmulator"}));
    EXPECT_TRUE(terminal->isTerminalEmulator());
    EXPECT_FALSE(terminal->noDisplay);

    const auto firefox = DesktopEntries::parse(applications + "/firefox-esr.desktop", "firefox-esr.desktop");
    ASSERT_TRUE(firefox.has_value());
    EXPECT_EQ(firefox->exec, "/usr/lib/firefox-esr/firefox-esr %u");  // not the action's Exec
    EXPECT_EQ(firefox->execProgram, "firefox-esr");

    const auto transmission = DesktopEntries::parse(applications + "/kde/transmission.desktop", "kde-transmission.desktop");
    ASSERT_TRUE(transmission.has_value());
    EXPECT_EQ(transmission->execProgram, "transmission-gtk");  // past `env VAR=value`

    EXPECT_FALSE(DesktopEntries::parse(applications + "/ghost.desktop", "ghost.desktop").has_value());      // Hidden
    EXPECT_FALSE(DesktopEntries::parse(applications + "/website.desktop", "website.desktop").has_value());  // Link
    EXPECT_FALSE(DesktopEntries::parse(applications + "/missing.desktop", "missing.desktop").has_value());

    QTemporaryDir dir;
    write(dir.path() + "/quoted.desktop",
          "[Other Group]\nName=Wrong\n[Desktop Entry]\nType = Application\nName=My\\sApp\n"
          "Exec=\"/opt/My App/bin/my \\\\\"app\\\\\"\" --flag %F\nCategories=A\\;B;C\nNoDisplay=true\n");
    const auto quoted = DesktopEntries::parse(dir.path() + "/quoted.desktop", "quoted.desktop");
    ASSERT_TRUE(quoted.has_value());
    EXPECT_EQ(quoted->name, "My App");
    EXPECT_EQ(quoted->execProgram, "my \"app\"");
    EXPECT_EQ(quoted->categories, QStringList({"A;B", "C"}));
    EXPECT_TRUE(quoted->noDisplay);

    write(dir.path() + "/nameless.desktop", "[Desktop Entry]\nType=Application\nExec=foo\n");
    EXPECT_FALSE(DesktopEntries::parse(dir.path() + "/nameless.desktop", "nameless.desktop").has_value());
}

TEST(DesktopEntries, IndexesIdsAndEarlierFoldersWin) {
    DesktopEntries system({applications});
    EXPECT_EQ(ids(system.all()), QStringList({"firefox-esr.desktop", "kde-transmission.desktop",
                                              "org.gnome.Shell.desktop", "org.gnome.Terminal.desktop",
                                              "org.gnome.gedit.desktop", "tweaks.desktop"}));
    ASSERT_TRUE(system.entry("kde-transmission.desktop").has_value());
    EXPECT_EQ(system.entry("kde-transmission.desktop")->path, applications + "/kde/transmission.desktop");
    EXPECT_FALSE(system.entry("ghost.desktop").has_value());

    // A user folder before the system one: its files replace the system's, and Hidden=true removes one.
    QTemporaryDir user;
    write(user.path() + "/firefox-esr.desktop", "[Desktop Entry]\nType=Application\nName=My Firefox\nExec=firefox-esr\n");
    write(user.path() + "/org.gnome.gedit.desktop", "[Desktop Entry]\nType=Application\nName=Text Editor\nHidden=true\n");
    DesktopEntries layered({user.path(), QStringLiteral("/nonexistent/applications"), applications});
    EXPECT_EQ(layered.entry("firefox-esr.desktop")->name, "My Firefox");
    EXPECT_FALSE(layered.entry("org.gnome.gedit.desktop").has_value());
    EXPECT_EQ(layered.all().size(), system.all().size() - 1);
}

TEST(DesktopEntries, FindsTheEntryThatLaunchesAProgram) {
    DesktopEntries entries({applications});
    auto nameFor = [&](const QString& exe, const QString& argv0 = {}) {
        const auto e = entries.entryForProgram(exe, argv0);
        return e ? e->name : QString();
    };
    EXPECT_EQ(nameFor("/usr/lib/firefox-esr/firefox-esr"), "Firefox ESR");
    EXPECT_EQ(nameFor({}, "transmission-gtk"), "Transmission");      // argv[0] when the link is unreadable
    EXPECT_EQ(nameFor("/usr/bin/gedit"), "Text Editor");
    EXPECT_EQ(nameFor("/usr/bin/vim.basic", "vim"), "");              // only a hidden entry runs vim
    EXPECT_EQ(nameFor("/usr/libexec/gnome-terminal-server"), "Terminal");  // helper named after its program
    EXPECT_EQ(nameFor("/usr/bin/gnome"), "");
    EXPECT_EQ(nameFor("/usr/bin/unknown-tool"), "");
    EXPECT_EQ(nameFor({}, {}), "");

    QTemporaryDir dir;
    write(dir.path() + "/a-hidden.desktop", "[Desktop Entry]\nType=Application\nName=Background\nExec=player\nNoDisplay=true\n");
    write(dir.path() + "/b-player.desktop", "[Desktop Entry]\nType=Application\nName=Player\nExec=player %U\n");
    write(dir.path() + "/c-script.desktop", "[Desktop Entry]\nType=Application\nName=Script\nExec=sh -c \"run-me\"\n");
    write(dir.path() + "/com.example.Viewer.desktop",
          "[Desktop Entry]\nType=Application\nName=Viewer\nExec=flatpak run com.example.Viewer\n");
    write(dir.path() + "/d-wm.desktop", "[Desktop Entry]\nType=Application\nName=Classy\nExec=launch-classy\nStartupWMClass=ClassyApp\n");
    write(dir.path() + "/e-spaced.desktop", "[Desktop Entry]\nType=Application\nName=Spaced\nExec=\"/opt/My App/my app\"\n");
    DesktopEntries more({dir.path()});
    auto moreName = [&](const QString& exe, const QString& argv0 = {}) {
        const auto e = more.entryForProgram(exe, argv0);
        return e ? e->name : QString();
    };
    EXPECT_EQ(moreName("/usr/bin/player"), "Player");       // visible entries rank before NoDisplay ones
    EXPECT_EQ(moreName("/usr/bin/sh"), "");                 // a shell is never an application's program
    EXPECT_EQ(moreName("/usr/bin/flatpak"), "");
    EXPECT_EQ(moreName("/app/bin/viewer"), "Viewer");       // the id's last part
    EXPECT_EQ(moreName("/opt/classy/classyapp"), "Classy"); // StartupWMClass, any case
    EXPECT_EQ(moreName("/opt/My App/my app"), "Spaced");
    EXPECT_EQ(moreName({}, "player: worker [busy]"), "Player");  // a rewritten command line
}

TEST(DesktopEntries, WatchedFoldersRebuildOnChange) {
    QTemporaryDir root;
    const QString existing = root.path() + "/existing";
    const QString later = root.path() + "/later/applications";
    QDir().mkpath(existing);
    QDir().mkpath(root.path() + "/later");
    DesktopEntries entries({existing, later}, true);
    QSignalSpy changed(&entries, &DesktopEntries::changed);
    EXPECT_TRUE(entries.all().empty());

    write(existing + "/sub/one.desktop", "[Desktop Entry]\nType=Application\nName=One\nExec=one\n");
    ASSERT_TRUE(TestSupport::waitFor([&] { return entries.entry("sub-one.desktop").has_value(); }));
    EXPECT_GE(changed.count(), 1);

    // A folder that did not exist when the index was built.
    write(later + "/two.desktop", "[Desktop Entry]\nType=Application\nName=Two\nExec=two\n");
    ASSERT_TRUE(TestSupport::waitFor([&] { return entries.entry("two.desktop").has_value(); }));

    // New files in the subfolder found above are seen too, and removals.
    write(existing + "/sub/three.desktop", "[Desktop Entry]\nType=Application\nName=Three\nExec=three\n");
    ASSERT_TRUE(TestSupport::waitFor([&] { return entries.entry("sub-three.desktop").has_value(); }));
    QFile::remove(existing + "/sub/one.desktop");
    ASSERT_TRUE(TestSupport::waitFor([&] { return !entries.entry("sub-one.desktop").has_value(); }));
    EXPECT_EQ(entries.entryForProgram("/usr/bin/three")->id, "sub-three.desktop");
}
