// The clipboard store on a real X server: copies made by other processes, our writes read by
// other processes, and a paste typed into a window of our own through XTest.
#include "ClipboardTestSupport.h"

#include "Source/Features/Clipboard/ClipboardItem.h"
#include "Source/Features/Clipboard/ClipboardPaster.h"

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QMutex>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <memory>

#include <unistd.h>

// X11 headers last: their macros clash with Qt's names.
#include "PasteTargetSupport.h"

#include <X11/keysym.h>

using namespace ClipboardTest;
using namespace PasteTargets;

namespace {

const char* kServeVariable = "QUORVIN_TEST_CLIPBOARD_SERVE";
const char* kSilentVariable = "QUORVIN_TEST_CLIPBOARD_SILENT";
const char* kSequenceVariable = "QUORVIN_TEST_CLIPBOARD_SEQUENCE";
const char* kTextFieldVariable = PasteTargets::kTitleVariable;

qint64 microsecondsNow() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch()).count();
}

bool haveXclip() { return !QStandardPaths::findExecutable("xclip").isEmpty(); }

// Another process takes the CLIPBOARD selection through xclip and serves it until it loses it.
std::unique_ptr<Child> xclipCopy(const QStringList& arguments, const QByteArray& input = {}) {
    auto child = std::make_unique<Child>();
    child->process.start("xclip", QStringList{"-selection", "clipboard", "-quiet"} + arguments);
    if (!child->process.waitForStarted(5000)) return nullptr;
    if (!input.isNull()) child->process.write(input);
    child->process.closeWriteChannel();
    return child;
}

// Reads the selection from another process, serving its requests while we wait.
std::optional<QByteArray> xclipRead(const QString& target, const QString& selection = "clipboard") {
    QProcess process;
    process.start("xclip", {"-selection", selection, "-o", "-t", target});
    if (!process.waitForStarted(5000)) return std::nullopt;
    if (!TestSupport::waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) return std::nullopt;
    return process.readAllStandardOutput();
}

class ClipboardX11 : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveXclip()) GTEST_SKIP() << "xclip is not installed";
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + "/ClipboardHistory";
    }
    void TearDown() override {
        if (manager) manager->waitForPendingWrites();
        manager.reset();
    }
    ClipboardManager& start() {
        manager = std::make_unique<ClipboardManager>(Pasteboard::general(), defaults, folder);
        manager->waitForPendingWrites();  // the history file is read on the image queue
        manager->startMonitoring();
        return *manager;
    }
    // Another program copies a picture; true once the history holds `count` entries.
    bool copyPicture(const QByteArray& png, size_t count) {
        const QString path = dir.path() + "/copied.png";
        if (!writeFile(path, png)) return false;
        const auto owner = xclipCopy({"-t", "image/png", "-i", path});
        return owner && TestSupport::waitFor(
                            [&] {
                                manager->waitForPendingWrites();
                                return manager->history().size() == count;
                            },
                            8000);
    }

    QTemporaryDir dir;
    QString folder;
    UserDefaults defaults{QString()};
    std::unique_ptr<ClipboardManager> manager;
};

// Runs this program again as the helper test `name`, with `variable` set to `value`.
void startHelper(Child& helper, const char* name, const char* variable, const QByteArray& value) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(variable, value);
    helper.process.setProcessEnvironment(env);
    helper.process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=ClipboardX11Helper.") + name});
}

}  // namespace

// Not a test of its own: the concealed-copy test runs this program again with the variable set, so
// that another process owns the selection with several formats at once.
TEST(ClipboardX11Helper, ServeClipboard) {
    const QByteArray request = qgetenv(kServeVariable);
    if (request.isEmpty()) GTEST_SKIP() << "helper for ClipboardX11.ConcealedCopyFromAnotherProcessStaysInMemory";
    auto* mime = new QMimeData();
    for (const QByteArray& pair : request.split(';')) {
        const qsizetype eq = pair.indexOf('=');
        if (eq <= 0) continue;
        QByteArray value = pair.mid(eq + 1);
        if (value.startsWith('@')) value = readFile(QString::fromLocal8Bit(value.mid(1)));  // "@path": a file's bytes
        mime->setData(QString::fromLatin1(pair.left(eq)), value);
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(mime, QClipboard::Clipboard);
    ASSERT_TRUE(TestSupport::waitFor([&] { return clipboard->ownsClipboard(); }, 5000));
    printf("ready\n");
    fflush(stdout);
    TestSupport::waitFor([&] { return !clipboard->ownsClipboard(); }, 60000);
}

// Not a test of its own: owns CLIPBOARD and never answers a request for it.
TEST(ClipboardX11Helper, HoldClipboardSilently) {
    if (qgetenv(kSilentVariable).isEmpty()) GTEST_SKIP() << "helper for ClipboardX11.TheGuiThreadAnswersWhileAnOwnerNeverAnswers";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), window, CurrentTime);
    XSync(display, False);
    printf("ready\n");
    fflush(stdout);
    for (int i = 0; i < 600; ++i) usleep(100000);  // events are never read
}

// Not a test of its own: copies "sequence N" for N = 1...count, 150 ms apart, printing when each
// copy took the selection.
TEST(ClipboardX11Helper, CopyInSequence) {
    const int count = qgetenv(kSequenceVariable).toInt();
    if (count <= 0) GTEST_SKIP() << "helper for ClipboardX11.CopiesMade150MsApartAreAllRecorded";
    QClipboard* clipboard = QGuiApplication::clipboard();
    for (int i = 1; i <= count; ++i) {
        auto* mime = new QMimeData();
        mime->setText(QStringLiteral("sequence %1").arg(i));
        clipboard->setMimeData(mime, QClipboard::Clipboard);
        printf("copied %d %lld\n", i, microsecondsNow());
        fflush(stdout);
        TestSupport::spin(150);
    }
    TestSupport::waitFor([&] { return !clipboard->ownsClipboard(); }, 20000);
}

TEST_F(ClipboardX11, TextImagesAndFilesCopiedByAnotherProcessAreRecorded) {
    start();
    auto text = xclipCopy({}, "copied by xclip");
    ASSERT_TRUE(text);
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 1; }, 5000));
    EXPECT_EQ(manager->history()[0].content.textValue(), "copied by xclip");

    const QByteArray png = pngBytes(33, 17);
    const QString pngPath = dir.path() + "/copied.png";
    ASSERT_TRUE(writeFile(pngPath, png));
    auto image = xclipCopy({"-t", "image/png", "-i", pngPath});
    ASSERT_TRUE(image);
    ASSERT_TRUE(TestSupport::waitFor([&] {
        manager->waitForPendingWrites();
        return manager->history().size() == 2;
    }, 8000));
    const ClipboardImageReference* ref = manager->history()[0].content.imageReference();
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->pixelSize, QSizeF(33, 17));
    EXPECT_EQ(ref->fingerprint, sha256(png));  // the copied PNG is kept byte for byte
    EXPECT_EQ(readFile(ref->path), png);

    auto files = xclipCopy({"-t", "text/uri-list"}, "file:///tmp/one.txt\r\nfile:///tmp/two%20words\r\n");
    ASSERT_TRUE(files);
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 3; }, 5000));
    EXPECT_EQ(manager->history()[0].content.fileURLs(),
              (QList<QUrl>{QUrl::fromLocalFile("/tmp/one.txt"), QUrl::fromLocalFile("/tmp/two words")}));

    // The same text again merges into its entry.
    auto again = xclipCopy({}, "copied by xclip");
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history()[0].content.isText(); }, 5000));
    EXPECT_EQ(manager->history()[0].copyCount, 2);
    EXPECT_EQ(manager->history().size(), 3u);

    // The history survives a restart.
    manager->waitForPendingWrites();
    manager.reset();
    start();
    ASSERT_EQ(manager->history().size(), 3u);
    EXPECT_EQ(manager->history()[0].content.textValue(), "copied by xclip");
    EXPECT_TRUE(manager->history()[2].content.isImage());
}

TEST_F(ClipboardX11, ConcealedCopyFromAnotherProcessStaysInMemory) {
    start();
    Child helper;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kServeVariable, "text/plain=hunter2-secret;x-kde-passwordManagerHint=secret");
    helper.process.setProcessEnvironment(env);
    helper.process.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ClipboardX11Helper.ServeClipboard"});
    ASSERT_TRUE(helper.process.waitForStarted(5000));
    ASSERT_TRUE(TestSupport::waitFor([&] { return helper.process.readAllStandardOutput().contains("ready") ||
                                                  manager->history().size() == 1; }, 10000));
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 1; }, 5000));
    EXPECT_TRUE(manager->history()[0].isConcealed);
    EXPECT_EQ(manager->history()[0].content.textValue(), "hunter2-secret");

    auto text = xclipCopy({}, "an ordinary copy");
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return manager->history().size() == 1 && !manager->history()[0].isConcealed;
    }, 5000));
    manager->waitForPendingWrites();
    const QByteArray file = readFile(folder + "/history.json");
    EXPECT_TRUE(file.contains("an ordinary copy"));
    EXPECT_FALSE(file.contains("hunter2"));
    helper.process.waitForFinished(5000);  // it exits once it has lost the selection
}

TEST_F(ClipboardX11, OurWritesAreReadByOtherProcesses) {
    Pasteboard& board = Pasteboard::general();
    const qint64 before = board.changeCount();

    PasteboardItem text;
    text.setString("written by us \u00e9");
    board.clearContents();
    board.writeObjects({text});
    EXPECT_GT(board.changeCount(), before);
    EXPECT_EQ(board.string(), QString("written by us \u00e9"));
    EXPECT_EQ(xclipRead("UTF8_STRING"), QByteArray("written by us \u00e9"));

    PasteboardItem secret;
    secret.setString("pw");
    secret.setData(PasteboardType::concealed, {});
    board.writeObjects({secret});
    const auto targets = xclipRead("TARGETS");
    ASSERT_TRUE(targets);
    EXPECT_TRUE(targets->contains("x-kde-passwordManagerHint"));
    EXPECT_TRUE(targets->contains("org.nspasteboard.ConcealedType"));
    EXPECT_EQ(xclipRead("x-kde-passwordManagerHint"), QByteArray("secret"));

    const QByteArray png = pngBytes(5, 9);
    PasteboardItem image;
    image.setData(PasteboardType::png, png);
    board.writeObjects({image});
    EXPECT_EQ(xclipRead("image/png"), png);

    PasteboardItem one, two;
    one.setData(PasteboardType::fileURLs, Pasteboard::uriList({QUrl::fromLocalFile("/tmp/a")}));
    two.setData(PasteboardType::fileURLs, Pasteboard::uriList({QUrl::fromLocalFile("/tmp/b c")}));
    board.writeObjects({one, two});
    const auto uris = xclipRead("text/uri-list");
    ASSERT_TRUE(uris);
    EXPECT_EQ(Pasteboard::urlsFromUriList(*uris), (QList<QUrl>{QUrl::fromLocalFile("/tmp/a"), QUrl::fromLocalFile("/tmp/b c")}));
}

// PRIMARY holds what the user last highlighted, and terminals paste it with Shift+Insert: a text
// or a file list (its paths) takes it, and so does a picture, offered as itself alone: a terminal
// asking for text gets none, never another program's.
TEST_F(ClipboardX11, TextsFileListsAndPicturesTakeThePrimarySelection) {
    start();
    const QByteArray png = pngBytes(12, 8);
    ASSERT_TRUE(copyPicture(png, 1));
    auto files = xclipCopy({"-t", "text/uri-list"}, "file:///tmp/one.txt\r\nfile:///tmp/junk-%E9\r\n");
    ASSERT_TRUE(files);
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 2; }, 5000));
    const ClipboardItem filesItem = manager->history()[0], imageItem = manager->history()[1];
    ASSERT_TRUE(filesItem.content.isFiles() && imageItem.content.isImage());

    const QByteArray highlight = "highlighted in a terminal";
    Child terminal;
    terminal.process.start("xclip", {"-selection", "primary", "-quiet"});
    ASSERT_TRUE(terminal.process.waitForStarted(5000));
    terminal.process.write(highlight);
    terminal.process.closeWriteChannel();
    ASSERT_TRUE(TestSupport::waitFor([&] { return xclipRead("UTF8_STRING", "primary") == highlight; }, 5000));

    manager->paste(imageItem);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 3000));
    for (const char* target : {"UTF8_STRING", "STRING", "TEXT", "text/plain"}) {
        const auto text = xclipRead(target, "primary");
        EXPECT_TRUE(!text || text->isEmpty()) << target << ": " << text->toStdString();
    }
    const auto targets = xclipRead("TARGETS", "primary");
    ASSERT_TRUE(targets);
    EXPECT_TRUE(targets->contains("image/png"));
    EXPECT_FALSE(targets->contains("STRING") || targets->contains("TEXT") || targets->contains("text"))
        << targets->toStdString();
    EXPECT_EQ(xclipRead("image/png", "primary"), png);
    EXPECT_TRUE(TestSupport::waitFor([&] { return terminal.process.state() == QProcess::NotRunning; }, 5000));

    // Both selections offer the paths as text, under the types terminals and text fields ask for.
    manager->paste(filesItem);
    const QByteArray paths = "/tmp/one.txt\nfile:///tmp/junk-%E9";
    for (const char* selection : {"primary", "clipboard"}) {
        for (const char* target : {"UTF8_STRING", "STRING", "text/plain"})
            EXPECT_EQ(xclipRead(target, selection), paths) << selection << " " << target;
    }
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 3000));

    manager->paste(ClipboardItem::make(ClipboardContent::text("pasted text"), QDateTime::currentDateTimeUtc()));
    EXPECT_EQ(xclipRead("UTF8_STRING", "primary"), QByteArray("pasted text"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 3000));

    // Another program took both selections after the last event we heard of (a script's xclip, a
    // clipboard tool): a paste takes them all the same, or it would deliver what that one holds.
    Display* other = XOpenDisplay(nullptr);
    ASSERT_TRUE(other);
    const Window owner = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 1, 1, 0, 0, 0);
    TestSupport::spin(50);
    usleep(5000);
    for (const char* selection : {"PRIMARY", "CLIPBOARD"})
        XSetSelectionOwner(other, XInternAtom(other, selection, False), owner, CurrentTime);
    XSync(other, False);
    manager->paste(imageItem);
    for (const char* selection : {"PRIMARY", "CLIPBOARD"})
        EXPECT_NE(XGetSelectionOwner(other, XInternAtom(other, selection, False)), owner) << selection;
    XCloseDisplay(other);
    EXPECT_EQ(xclipRead("image/png", "primary"), png);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 3000));
}

TEST_F(ClipboardX11, APasteArrivesInTheFocusedWindowAndIsNotRecorded) {
    QLineEdit edit;
    edit.setWindowTitle("Paste target");
    edit.resize(320, 40);
    edit.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return edit.windowHandle() && edit.windowHandle()->isExposed(); }, 5000));
    edit.activateWindow();
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    ASSERT_TRUE(x11 && x11->display());
    XSetInputFocus(x11->display(), Window(edit.winId()), RevertToParent, CurrentTime);
    XFlush(x11->display());
    ASSERT_TRUE(TestSupport::waitFor([&] { return edit.hasFocus() && QApplication::focusWidget() == &edit; }, 5000));

    start();
    auto previous = xclipCopy({}, "copied before");
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 1; }, 5000));
    const ClipboardItem item = ClipboardItem::make(ClipboardContent::text("typed by the paste"), QDateTime::currentDateTimeUtc());

    manager->paste(item);
    ASSERT_TRUE(TestSupport::waitFor([&] { return edit.text() == "typed by the paste"; }, 5000)) << edit.text().toStdString();

    // The change the paste made is its own echo: nothing new after the release and a few polls.
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 3000));
    TestSupport::spin(1000);
    ASSERT_EQ(manager->history().size(), 1u);
    EXPECT_EQ(manager->history()[0].content.textValue(), "copied before");
    EXPECT_EQ(xclipRead("UTF8_STRING"), QByteArray("typed by the paste"));
}

// Not a test of its own: the paste tests run this program again with the variable set to a window
// title, so that a Qt text field of another process takes the paste. Its text goes to stdout.
TEST(ClipboardX11Helper, QtTextField) {
    const QString title = qEnvironmentVariable(kTextFieldVariable);
    if (title.isEmpty()) GTEST_SKIP() << "helper for the ClipboardX11.APaste… tests";
    QLineEdit edit;
    edit.setWindowTitle(title);
    edit.resize(320, 40);
    QObject::connect(&edit, &QLineEdit::textChanged, [](const QString& text) {
        std::printf("%s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    QObject::connect(qApp, &QApplication::focusChanged, [&edit](QWidget*, QWidget* now) {
        if (now != &edit) return;
        std::printf("focused\n");
        std::fflush(stdout);
    });
    edit.show();
    TestSupport::waitFor([] { return false; }, 30000);  // killed by the test
}

namespace {
// A Qt line edit of another process, which prints its text as it changes.
Target qtField() {
    return {QCoreApplication::applicationFilePath(), {"--gtest_filter=ClipboardX11Helper.QtTextField"}, Reads::stdout};
}
// What a terminal target runs: its line made raw, it touches `ready` and writes the first keys typed,
// as many bytes as `text` has, to `pasted`.
QString terminalScript(const QString& ready, const QString& pasted, const QString& text) {
    return QString("stty raw -echo; : > '%1'; head -c %2 > '%3'").arg(ready).arg(text.toUtf8().size()).arg(pasted);
}
}  // namespace

// Terminals paste the PRIMARY selection with Shift+Insert and type ^V for Control+V; text fields
// paste the CLIPBOARD with either. Real programs of each kind take the paste. A picture pasted into
// a terminal, with another program's text in PRIMARY, types nothing before the text pasted next.
TEST_F(ClipboardX11, APasteArrivesInTerminalsAndTextFieldsOfOtherPrograms) {
    const QString text = QStringLiteral("typed by the paste");
    const QString pasted = dir.path() + "/pasted";
    const QString ready = dir.path() + "/ready";
    const QString script = terminalScript(ready, pasted, text);
    const Target targets[] = {
        {"xterm", {"-title", "%T", "-e", "sh", "-c", script}, Reads::file},
        {"lxterminal", {"--no-remote", "-t", "%T", "-e", "sh -c \"" + script + "\""}, Reads::file},  // VTE
        gtkEntry(),
        qtField(),
    };
    start();
    ASSERT_TRUE(copyPicture(pngBytes(6, 6), 1));
    const ClipboardItem picture = manager->history()[0];
    ASSERT_TRUE(picture.content.isImage());
    int index = 0;
    for (const Target& target : targets) {
        SCOPED_TRACE(QFileInfo(target.program).fileName().toStdString());
        QFile::remove(pasted);
        QFile::remove(ready);
        TargetProgram program;
        ASSERT_NO_FATAL_FAILURE(program.start(target, QString("Paste target %1").arg(++index), ready));

        if (target.reads == Reads::file) {
            auto highlighted = std::make_unique<Child>();
            highlighted->process.start("xclip", {"-selection", "primary", "-quiet"});
            ASSERT_TRUE(highlighted->process.waitForStarted(5000));
            highlighted->process.write("highlighted elsewhere\n");
            highlighted->process.closeWriteChannel();
            ASSERT_TRUE(TestSupport::waitFor([&] { return xclipRead("UTF8_STRING", "primary").has_value(); }, 5000));
            manager->paste(picture);
            ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 3000));
            TestSupport::spin(300);
        }
        SelectionRequests requests(program.window.toUInt());
        manager->paste(ClipboardItem::make(ClipboardContent::text(text), QDateTime::currentDateTimeUtc()));
        if (target.reads == Reads::file) {
            const bool arrived = TestSupport::waitFor(
                [&] {
                    QFile file(pasted);
                    return file.open(QIODevice::ReadOnly) && file.size() >= text.toUtf8().size();
                },
                10000);
            QFile file(pasted);
            file.open(QIODevice::ReadOnly);
            EXPECT_TRUE(arrived) << "typed: " << file.readAll().toHex().toStdString();
            EXPECT_EQ(file.readAll(), text.toUtf8());
        } else {
            ASSERT_TRUE(program.waitUntilShown(target, requests, text)) << program.output.toStdString();
            program.expectText(target, text);
        }
        ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 3000));
    }
}

// The user holds keys on the server's own keyboard, as a person does, not on the XTEST keyboard the
// paste types on. The paste waits until no modifier is held (Super through ⌘1, Shift pressed just
// then), sends its keystroke bare after the last one is let go, and presses or lets go of nothing
// the user does not: the window in front is sent the user's keys and then the paste's, and no
// keyboard has a key down after. Held past the bound nothing is typed. Lock keys are never waited
// for or touched. Each paste is followed by another, which arrives whole.
TEST_F(ClipboardX11, APasteWaitsUntilTheModifiersAreLetGoAndLeavesEveryKeyboardAsItWas) {
    struct Held {
        KeySym key;
        int letGoMs;  // after the paste; negative: before it
    };
    struct Row {
        const char* name;
        std::vector<Held> held;
        bool typed = true;  // else held past the bound
    };
    const int pastBound = int(ClipboardPaster::heldKeysWait * 1000) + 1000;
    const Row rows[] = {
        {"Super held 0.4 s", {{XK_Super_L, 400}}},
        {"Shift pressed during the paste", {{XK_Shift_L, 150}}},
        {"Control", {{XK_Control_L, 100}}},
        {"Alt", {{XK_Alt_L, 100}}},
        {"AltGr", {{XK_ISO_Level3_Shift, 100}}},
        {"Super and Shift let go one after the other", {{XK_Super_L, 60}, {XK_Shift_L, 250}}},
        {"Super let go just before", {{XK_Super_L, -1}}},
        {"Super let go at once", {{XK_Super_L, 0}}},
        {"Super let go after 20 ms", {{XK_Super_L, 20}}},
        {"Super held past the bound", {{XK_Super_L, pastBound}}, false},
    };
    Keyboards keyboards;
    ASSERT_TRUE(keyboards.user && keyboards.xtest) << "XInput devices of the server";
    KeyRecorder window;
    ASSERT_TRUE(window.display && TestSupport::waitFor([&] { return window.hasFocus(); }, 3000));
    start();
    const ClipboardItem item = ClipboardItem::make(ClipboardContent::text("held"), QDateTime::currentDateTimeUtc());
    auto pasteAndWait = [&] {
        manager->paste(item);
        ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 5000));
    };

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const Held& held : row.held)
            ASSERT_NE(XKeysymToKeycode(X11Test::display(), held.key), 0) << "no key of the server's map has it";
        window.clear();
        QStringList expected;
        std::vector<Held> order = row.held;
        std::stable_sort(order.begin(), order.end(),
                         [](const Held& a, const Held& b) { return a.letGoMs < b.letGoMs; });
        for (const Held& held : row.held) {
            keyboards.press(held.key, true);
            expected << "+" + QString::fromLatin1(XKeysymToString(held.key));
        }
        for (const Held& held : order) expected << "-" + QString::fromLatin1(XKeysymToString(held.key));
        int waited = 0;
        for (const Held& held : order)
            if (held.letGoMs < 0) keyboards.press(held.key, false);
        manager->paste(item);
        for (const Held& held : order) {
            if (held.letGoMs < 0) continue;
            TestSupport::spin(held.letGoMs - waited);
            waited = held.letGoMs;
            keyboards.press(held.key, false);
        }
        if (row.typed) expected << pasteKeystroke();
        EXPECT_EQ(window.waitForKeys(int(expected.size())), expected.join(", ").toStdString());
        ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 5000));
        EXPECT_EQ(keyboards.allDown(), Keyboards::nothingDown());

        window.clear();
        pasteAndWait();
        EXPECT_EQ(window.waitForKeys(4), pasteKeys()) << "the next paste";
        EXPECT_EQ(keyboards.allDown(), Keyboards::nothingDown());
    }

    // Num Lock on: a lock key is no modifier held; the paste goes at once and leaves it on.
    Display* d = X11Test::display();
    const unsigned numLock = XkbKeysymToModifiers(d, XK_Num_Lock);
    ASSERT_NE(numLock, 0u);
    auto lockedMods = [d] {
        XkbStateRec state{};
        XkbGetState(d, XkbUseCoreKbd, &state);
        return unsigned(state.locked_mods);
    };
    keyboards.tap(XK_Num_Lock);
    ASSERT_TRUE(TestSupport::waitFor([&] { return lockedMods() & numLock; }, 3000));
    window.clear();
    pasteAndWait();
    EXPECT_EQ(window.waitForKeys(4), pasteKeys()) << "Num Lock on";
    EXPECT_TRUE(lockedMods() & numLock);
    EXPECT_EQ(keyboards.allDown(), Keyboards::nothingDown());
    keyboards.tap(XK_Num_Lock);
}

// A desktop that acts on a lone Super tap (xcape sends F12 for one) never sees one from a paste
// chosen with ⌘1: Super, the digit, Super let go, then the paste.
TEST_F(ClipboardX11, APasteChosenWithSuperMakesNoLoneSuperTap) {
    if (QStandardPaths::findExecutable("xcape").isEmpty()) GTEST_SKIP() << "scripts/deps.sh --test installs xcape";
    Keyboards keyboards;
    ASSERT_TRUE(keyboards.user && keyboards.xtest);
    KeyRecorder window;
    ASSERT_TRUE(window.display && TestSupport::waitFor([&] { return window.hasFocus(); }, 3000));
    Child xcape;
    xcape.process.start("xcape", {"-d", "-e", "Super_L=F12"});  // -d: in the foreground
    ASSERT_TRUE(xcape.process.waitForStarted(5000));
    // A lone tap of the user's gives F12: xcape is watching.
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            keyboards.tap(XK_Super_L);
            TestSupport::spin(200);
            return window.take().contains("+F12");
        },
        10000));
    start();
    window.clear();
    keyboards.press(XK_Super_L, true);
    keyboards.tap(XK_1);
    manager->paste(ClipboardItem::make(ClipboardContent::text("no tap"), QDateTime::currentDateTimeUtc()));
    TestSupport::spin(400);
    keyboards.press(XK_Super_L, false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 5000));
    TestSupport::spin(500);
    EXPECT_EQ(window.take().join(", ").toStdString(),
              (QStringList{"+Super_L", "+1", "-1", "-Super_L"} + pasteKeystroke()).join(", ").toStdString());
    EXPECT_EQ(keyboards.allDown(), Keyboards::nothingDown());
}

// A paste chosen with Super still held 0.4 s lands in a GTK entry, a Qt field and xterm; Shift
// pressed during one and let go, and the two pastes after it, all land.
TEST_F(ClipboardX11, APasteChosenWithKeysHeldLandsInFieldsAndTerminals) {
    const QString text = QStringLiteral("pasted amid held keys");
    const QString pasted = dir.path() + "/pasted";
    const QString ready = dir.path() + "/ready";
    const QString script = terminalScript(ready, pasted, text);
    const Target xterm{"xterm", {"-title", "%T", "-e", "sh", "-c", script}, Reads::file};
    Keyboards keyboards;
    ASSERT_TRUE(keyboards.user && keyboards.xtest);
    start();
    const ClipboardItem item = ClipboardItem::make(ClipboardContent::text(text), QDateTime::currentDateTimeUtc());
    int index = 0;
    for (const Target& target : {gtkEntry(), qtField(), xterm}) {
        SCOPED_TRACE(QFileInfo(target.program).fileName().toStdString());
        QFile::remove(pasted);
        QFile::remove(ready);
        TargetProgram program;
        ASSERT_NO_FATAL_FAILURE(program.start(target, QString("Held paste target %1").arg(++index), ready));
        SelectionRequests requests(program.window.toUInt());
        keyboards.press(XK_Super_L, true);
        manager->paste(item);
        TestSupport::spin(400);
        keyboards.press(XK_Super_L, false);
        if (target.reads == Reads::file) {
            EXPECT_TRUE(TestSupport::waitFor([&] { return QFileInfo(pasted).size() >= text.toUtf8().size(); }, 10000));
            EXPECT_EQ(readFile(pasted), text.toUtf8());
        } else {
            const bool shown = program.waitUntilShown(target, requests, text);
            EXPECT_TRUE(shown) << "nothing pasted; the field has: " << program.output.toStdString();
            if (shown) program.expectText(target, text);
        }
        ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 5000));
        EXPECT_EQ(keyboards.allDown(), Keyboards::nothingDown());
    }

    // Three pastes into one GTK entry, Shift pressed during the first: three times the text, and
    // no paste lost to a Shift left down (a bare Insert would switch the entry to overwrite).
    TargetProgram program;
    ASSERT_NO_FATAL_FAILURE(program.start(gtkEntry(), "Held paste target thrice"));
    for (int paste = 1; paste <= 3; ++paste) {
        SCOPED_TRACE(paste);
        SelectionRequests requests(program.window.toUInt());
        if (paste == 1) keyboards.press(XK_Shift_L, true);
        manager->paste(item);
        if (paste == 1) {
            TestSupport::spin(150);
            keyboards.press(XK_Shift_L, false);
        }
        EXPECT_TRUE(TestSupport::waitFor([&] { return requests.forData > 0; }, 5000)) << "no paste asked for the text";
        ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isPasting(); }, 5000));
    }
    program.expectText(gtkEntry(), text + text + text);
    EXPECT_EQ(keyboards.allDown(), Keyboards::nothingDown());
}

TEST_F(ClipboardX11, TheGuiThreadAnswersWhileAnOwnerNeverAnswers) {
    start();
    static QMutex mutex;
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& msg) {
        QMutexLocker lock(&mutex);
        if (type == QtWarningMsg) warnings.append(msg);
    });

    Child silent;
    startHelper(silent, "HoldClipboardSilently", kSilentVariable, "1");
    ASSERT_TRUE(silent.process.waitForStarted(5000));
    ASSERT_TRUE(TestSupport::waitFor([&] { return silent.process.readAllStandardOutput().contains("ready"); }, 10000));

    // While the read waits out the owner, the GUI thread keeps answering.
    double stall = 0;
    {
        TestSupport::GuiStallMeter meter;
        TestSupport::spin(2500);
        stall = meter.longestMs();
    }
    EXPECT_LT(stall, 250) << "the GUI thread was held up for " << stall << " ms";
    EXPECT_TRUE(manager->history().empty());

    // The next real copy is recorded.
    auto text = xclipCopy({}, "after the silent owner");
    ASSERT_TRUE(text);
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 1; }, 5000));
    EXPECT_EQ(manager->history()[0].content.textValue(), "after the silent owner");
    qInstallMessageHandler(previous);
    QMutexLocker lock(&mutex);
    EXPECT_EQ(warnings.filter("did not answer").size(), 1) << warnings.join('\n').toStdString();
}

TEST_F(ClipboardX11, CopiesMade150MsApartAreAllRecorded) {
    constexpr int count = 50;
    start();
    std::map<QString, qint64> seen;  // text -> when it reached the history
    QObject::connect(manager.get(), &ClipboardManager::historyChanged, [&] {
        if (!manager->history().empty()) seen.emplace(manager->history()[0].content.textValue(), microsecondsNow());
    });
    Child copier;
    startHelper(copier, "CopyInSequence", kSequenceVariable, QByteArray::number(count));
    ASSERT_TRUE(copier.process.waitForStarted(5000));
    QByteArray output;
    ASSERT_TRUE(TestSupport::waitFor([&] {
        output += copier.process.readAllStandardOutput();
        return output.contains(QStringLiteral("copied %1 ").arg(count).toLatin1());
    }, 30000));
    TestSupport::spin(500);

    std::vector<qint64> latencies;
    for (const QByteArray& line : output.split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() != 3 || fields[0] != "copied") continue;
        const auto found = seen.find(QStringLiteral("sequence %1").arg(QString::fromLatin1(fields[1])));
        if (found != seen.end()) latencies.push_back(found->second - fields[2].toLongLong());
    }
    EXPECT_EQ(int(latencies.size()), count);
    EXPECT_EQ(int(manager->history().size()), count);
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        const double median = double(latencies[latencies.size() / 2]) / 1000.0;
        printf("copy-to-history latency over %zu copies: median %.1f ms, max %.1f ms\n", latencies.size(), median,
               double(latencies.back()) / 1000.0);
        RecordProperty("median_latency_ms", QString::number(median, 'f', 1).toStdString());
    }
}

TEST_F(ClipboardX11, LargeCopiesArriveInPiecesAndLongTextsAreCut) {
    start();
    // Text well over the limit, served in pieces: its first megabyte is kept.
    QByteArray text;
    for (int i = 0; text.size() < 3 * ClipboardManager::maxTextBytes; ++i) text += "line " + QByteArray::number(i) + "\n";
    const QString textPath = dir.path() + "/long.txt";
    ASSERT_TRUE(writeFile(textPath, text));
    Child textOwner;
    startHelper(textOwner, "ServeClipboard", kServeVariable, "text/plain=@" + textPath.toLocal8Bit());
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 1; }, 10000));
    EXPECT_EQ(manager->history()[0].content.textValue().toUtf8(), text.left(ClipboardManager::maxTextBytes));

    // An owner that serves one transfer at a time is not left waiting on the one we cut short:
    // others still get the whole text from it.
    manager->clear();
    auto xclipOwner = xclipCopy({}, text);
    ASSERT_TRUE(xclipOwner);
    ASSERT_TRUE(TestSupport::waitFor([&] { return manager->history().size() == 1; }, 10000));
    EXPECT_EQ(xclipRead("UTF8_STRING"), text);

    // A large image comes whole.
    QImage noise(900, 700, QImage::Format_RGB32);
    quint32 seed = 7;
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, (seed = seed * 1664525u + 1013904223u) >> 8);
    const QByteArray png = encoded(noise);
    ASSERT_GT(png.size(), 1000000);
    const QString pngPath = dir.path() + "/noise.png";
    ASSERT_TRUE(writeFile(pngPath, png));
    Child imageOwner;
    startHelper(imageOwner, "ServeClipboard", kServeVariable, "image/png=@" + pngPath.toLocal8Bit());
    ASSERT_TRUE(TestSupport::waitFor([&] {
        manager->waitForPendingWrites();
        return manager->history().size() == 2;
    }, 10000));
    const ClipboardImageReference* ref = manager->history()[0].content.imageReference();
    ASSERT_TRUE(ref);
    EXPECT_EQ(readFile(ref->path), png);
}
