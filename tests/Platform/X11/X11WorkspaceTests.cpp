// The parts of the X11 workspace that need no X server.
#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/Files/NativePath.h"
#include "Platform/X11/X11Workspace.h"
#include "TestSupport.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

TEST(X11WorkspaceIcons, ApplicationIconsComeFromTheirDesktopEntries) {
    const QString folder = QDir(TestSupport::tempRoot()).filePath("xdg_data_home/applications");
    QDir().mkpath(folder);
    const QString png = QDir(TestSupport::tempRoot()).filePath("red.png");
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(png));
    QFile entry(folder + "/org.example.Painter.desktop");
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write("[Desktop Entry]\nType=Application\nName=Painter\nExec=painter %F\nIcon=" + png.toUtf8() + "\n");
    entry.close();
    DesktopEntries::shared().rebuild();

    X11Workspace workspace;
    EXPECT_FALSE(workspace.icon("org.example.Painter.desktop").isNull());
    EXPECT_FALSE(workspace.icon(entry.fileName()).isNull());
    EXPECT_TRUE(workspace.icon("").isNull());
    EXPECT_TRUE(workspace.icon("/nonexistent/thing.desktop").isNull());
}

TEST(X11WorkspaceIcons, WithoutAnXServerThereIsNoWindowToReport) {
    X11Workspace workspace;  // offscreen: no X connection
    EXPECT_FALSE(workspace.frontmostApplication().has_value());
    EXPECT_TRUE(workspace.runningApplications().empty());
    EXPECT_FALSE(workspace.activate(X11Workspace::applicationForPid(QCoreApplication::applicationPid())));
    EXPECT_FALSE(workspace.terminate(X11Workspace::applicationForPid(QCoreApplication::applicationPid())));
}

TEST(X11WorkspaceIcons, AProcessIsNamedByItsExecutableWhenNoEntryOwnsIt) {
    const RunningApplication self = X11Workspace::applicationForPid(QCoreApplication::applicationPid());
    EXPECT_EQ(self.pid, QCoreApplication::applicationPid());
    const QString executable = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_EQ(self.bundleIdentifier, executable);
    EXPECT_EQ(self.localizedName, executable);
    EXPECT_EQ(self.bundlePath, QCoreApplication::applicationFilePath());
}

namespace {

// A file manager on the session bus that remembers what it was asked to show.
class RecordingFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QList<QStringList> shown;

public slots:
    void ShowItems(const QStringList& uris, const QString&) { shown << uris; }
};

}  // namespace

TEST(X11WorkspaceReveal, FilesAreShownTogetherByTheFileManager) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) GTEST_SKIP() << "No session bus (./test runs these under dbus-run-session).";
    RecordingFileManager manager;
    ASSERT_TRUE(bus.registerObject("/org/freedesktop/FileManager1", &manager, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService("org.freedesktop.FileManager1"));

    X11Workspace workspace;
    const QString a = QDir(TestSupport::tempRoot()).filePath("reveal a");
    const QString b = QDir(TestSupport::tempRoot()).filePath("reveal-b");
    // A name that is not UTF-8 is named by its own bytes.
    const QString c = NativePath::decode(NativePath::encode(TestSupport::tempRoot()) + "/reveal\xff");
    std::optional<bool> answer;
    workspace.revealFiles({a, b, c}, [&](bool shown) { answer = shown; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return answer.has_value(); }, 5000));
    EXPECT_TRUE(*answer);
    ASSERT_EQ(manager.shown.size(), 1);
    EXPECT_EQ(manager.shown[0],
              (QStringList{QUrl::fromLocalFile(a).toString(QUrl::FullyEncoded),
                           QUrl::fromLocalFile(b).toString(QUrl::FullyEncoded),
                           QUrl::fromLocalFile(TestSupport::tempRoot()).toString(QUrl::FullyEncoded) + "/reveal%FF"}));

    // Nothing to show: nothing is asked.
    answer.reset();
    workspace.revealFiles({}, [&](bool shown) { answer = shown; });
    EXPECT_EQ(answer, false);
    TestSupport::spin(50);
    EXPECT_EQ(manager.shown.size(), 1);

    bus.unregisterService("org.freedesktop.FileManager1");
    bus.unregisterObject("/org/freedesktop/FileManager1");
}

namespace {
// PATH narrowed to one folder that holds a stand-in for xdg-open, for one test.
struct ScopedOpener {
    QTemporaryDir bin;
    QByteArray path = qgetenv("PATH"), browser = qgetenv("BROWSER"), defaultBrowser = qgetenv("DEFAULT_BROWSER");
    ScopedOpener() {
        qputenv("PATH", bin.path().toLocal8Bit());
        qunsetenv("BROWSER");
        qunsetenv("DEFAULT_BROWSER");
    }
    ~ScopedOpener() {
        qputenv("PATH", path);
        if (!browser.isNull()) qputenv("BROWSER", browser);
        if (!defaultBrowser.isNull()) qputenv("DEFAULT_BROWSER", defaultBrowser);
    }
    // An opener that notes what it was given and ends with `code` (xdg-open ends with 3 or 4
    // where nothing is set up for the URL); none at all for a negative code.
    void install(int code) {
        QFile::remove(bin.filePath("xdg-open"));
        if (code < 0) return;
        QFile script(bin.filePath("xdg-open"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '%1'\nexit %2\n")
                         .arg(bin.filePath("asked"))
                         .arg(code)
                         .toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList asked() const {
        QFile file(bin.filePath("asked"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                              : QStringList();
    }
};

std::optional<bool> waitForAnswer(const std::function<void(std::function<void(bool)>)>& ask) {
    auto answer = std::make_shared<std::optional<bool>>();
    ask([answer](bool done) { *answer = done; });
    TestSupport::waitFor([&] { return answer->has_value(); }, 10000);
    return *answer;
}
}  // namespace

// Opening a URL says whether anything took it, so the views can say so where nothing did.
TEST(X11WorkspaceOpen, TheCallerLearnsWhetherAnythingTookTheURL) {
    ScopedOpener opener;
    X11Workspace workspace;
    const QUrl mail(QStringLiteral("mailto:support@example.org?subject=a%20b"));

    opener.install(0);
    EXPECT_EQ(waitForAnswer([&](auto done) { workspace.openUrl(mail, done); }), true);
    EXPECT_EQ(opener.asked(), QStringList{mail.toString(QUrl::FullyEncoded)});

    opener.install(3);  // nothing set up for mail
    EXPECT_EQ(waitForAnswer([&](auto done) { workspace.openUrl(mail, done); }), false);
    opener.install(-1);  // no opener, no browser
    EXPECT_EQ(waitForAnswer([&](auto done) { workspace.openUrl(QUrl("https://example.org/"), done); }), false);

    // A reveal no file manager answers opens the folder; where that fails too, the caller hears so.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface()->isServiceRegistered("org.freedesktop.FileManager1")) return;
    const QString file = QDir(TestSupport::tempRoot()).filePath("shown.txt");
    opener.install(4);
    EXPECT_EQ(waitForAnswer([&](auto done) { workspace.revealFile(file, done); }), false);
    EXPECT_EQ(opener.asked().last(), QUrl::fromLocalFile(TestSupport::tempRoot()).toString(QUrl::FullyEncoded));
    opener.install(0);
    EXPECT_EQ(waitForAnswer([&](auto done) { workspace.revealFile(file, done); }), true);
}

#include "X11WorkspaceTests.moc"
