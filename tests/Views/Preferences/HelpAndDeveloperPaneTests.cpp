#include "FailingFileWriter.h"
#include "FakeFileDialogs.h"
#include "FakeWorkspace.h"
#include "Source/Features/Preferences/Support.h"
#include "Source/Features/Preferences/UserIdentity.h"
#include "TestSupport.h"
#include "Views/Preferences/DeveloperSettingsView.h"
#include "Views/Preferences/HelpSettingsView.h"
#include "Views/Shared/CopyButton.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Points the data home at a fresh folder for one test.
struct ScopedDataHome {
    QTemporaryDir dir;
    QByteArray before = qgetenv("XDG_DATA_HOME");
    ScopedDataHome() { qputenv("XDG_DATA_HOME", dir.path().toLocal8Bit()); }
    ~ScopedDataHome() { qputenv("XDG_DATA_HOME", before); }
    QString make(const QString& name) const {
        QDir().mkpath(dir.path() + "/" + name);
        return dir.path() + "/" + name;
    }
};

QString fileText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QStringLiteral("<unreadable>");
}

}  // namespace

TEST(HelpSettingsView, ContactRowsCopyWhatTheyShowAndTheReportOpensAMail) {
    FakeWorkspace workspace;
    HelpSettingsView pane(workspace);
    pane.resize(560, 480);
    pane.show();
    const std::vector<std::pair<QString, QString>> rows{{"Support email", Support::email()},
                                                       {"Telegram", Support::telegram().toString()},
                                                       {"Website", Support::website().toString()}};
    for (const auto& [title, value] : rows) {
        auto* row = pane.findChild<QWidget*>(title);
        ASSERT_NE(row, nullptr) << title.toStdString();
        auto* shown = row->findChild<QLabel*>("value");
        auto* copy = row->findChild<CopyButton*>();
        ASSERT_NE(shown, nullptr);
        ASSERT_NE(copy, nullptr);
        EXPECT_EQ(shown->text(), value);
        EXPECT_TRUE(shown->textInteractionFlags() & Qt::TextSelectableByMouse);
        EXPECT_EQ(copy->toolTip(), "Copy " + title.toLower());
        QTest::mouseClick(copy, Qt::LeftButton);
        EXPECT_EQ(QApplication::clipboard()->text(), value);
    }
    EXPECT_TRUE(Support::website().scheme() == "https" && Support::telegram().scheme() == "https");

    QTest::mouseClick(pane.systemInfoButton(), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), Support::systemInfo());
    EXPECT_EQ(pane.systemInfoButton()->toolTip(), "Copy system info");

    QTest::mouseClick(pane.reportButton(), Qt::LeftButton);
    ASSERT_EQ(workspace.opened.size(), 1u);
    EXPECT_EQ(workspace.opened[0], Support::reportURL(Support::systemInfo()));
}

TEST(DeveloperSettingsView, ShowsTheSameIdentifierAsTheSystemInfo) {
    FakeWorkspace workspace;
    FakeFileDialogs dialogs;
    DeveloperSettingsView pane(workspace, dialogs, FileWriter::shared());
    EXPECT_EQ(pane.identifierLabel()->text(), UserIdentity::id());
    EXPECT_EQ(pane.identifierCopyButton()->value(), UserIdentity::id());
    EXPECT_EQ(pane.identifierCopyButton()->toolTip(), "Copy install identifier");
    EXPECT_TRUE(Support::systemInfo().endsWith("\nInstall: " + pane.identifierLabel()->text()));
    EXPECT_EQ(pane.showDataButton()->text(), "Show App Data in Finder");
    EXPECT_EQ(pane.exportButton()->text(), "Export Diagnostics…");
}

TEST(DeveloperSettingsView, AppDataShowsTheFoldersThatExistTogether) {
    ScopedDataHome home;
    FakeWorkspace workspace;
    FakeFileDialogs dialogs;
    DeveloperSettingsView pane(workspace, dialogs, FileWriter::shared());

    // None yet: nothing to show, and the pane says so; nothing is created.
    EXPECT_TRUE(DeveloperSettingsView::appDataFolders().isEmpty());
    QTest::mouseClick(pane.showDataButton(), Qt::LeftButton);
    EXPECT_TRUE(workspace.revealedTogether.empty());
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_FALSE(QDir(home.dir.path() + "/ClipboardHistory").exists());

    const QString disk = home.make("DaveRovaz");
    QTest::mouseClick(pane.showDataButton(), Qt::LeftButton);
    ASSERT_EQ(workspace.revealedTogether.size(), 1u);
    EXPECT_EQ(workspace.revealedTogether[0], QStringList{disk});
    EXPECT_TRUE(pane.statusLabel()->isHidden());

    const QString updates = home.make("Updates");
    const QString clipboard = home.make("ClipboardHistory");
    home.make("Snippets");  // not one of the listed folders
    EXPECT_EQ(DeveloperSettingsView::appDataFolders(), (QStringList{clipboard, disk, updates}));
}

TEST(DeveloperSettingsView, DiagnosticsAreSavedWhereChosenOrTheFailureIsSaid) {
    QTemporaryDir folder;
    FakeWorkspace workspace;
    FakeFileDialogs dialogs;
    FailingFileWriter writer;
    DeveloperSettingsView pane(workspace, dialogs, writer);

    // Cancelled: nothing written, nothing shown.
    dialogs.nextSavePath.clear();
    QTest::mouseClick(pane.exportButton(), Qt::LeftButton);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].defaultName, "Quorvin Diagnostics.txt");
    EXPECT_EQ(dialogs.requests[0].nameFilters, QStringList{"Plain text (*.txt)"});
    EXPECT_TRUE(workspace.revealed.isEmpty());
    EXPECT_TRUE(QDir(folder.path()).isEmpty());

    // Saved: exactly the four lines, no line feed at the end, and the file is shown.
    const QString path = folder.path() + "/Quorvin Diagnostics.txt";
    dialogs.nextSavePath = path;
    QTest::mouseClick(pane.exportButton(), Qt::LeftButton);
    EXPECT_EQ(fileText(path), Support::systemInfo());
    EXPECT_EQ(fileText(path).count('\n'), 3);
    EXPECT_EQ(workspace.revealed, QStringList{path});
    EXPECT_TRUE(pane.statusLabel()->isHidden());

    // A write that fails says so and shows nothing; the earlier file is left whole.
    writer.failPathsContaining(folder.path());
    QTest::mouseClick(pane.exportButton(), Qt::LeftButton);
    EXPECT_EQ(workspace.revealed, QStringList{path});
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.statusLabel()->text(), "Couldn’t save the diagnostics: No space left on device.");
    EXPECT_EQ(fileText(path), Support::systemInfo());

    // The next good export clears the message.
    writer.succeedAgain();
    QTest::mouseClick(pane.exportButton(), Qt::LeftButton);
    EXPECT_TRUE(pane.statusLabel()->isHidden());
    EXPECT_EQ(workspace.revealed.size(), 2);
}

TEST(DeveloperSettingsView, AFileChosenAfterThePaneWentAwayIsStillSaved) {
    QTemporaryDir folder;
    FakeWorkspace workspace;
    FakeFileDialogs dialogs;
    dialogs.deferred = true;
    dialogs.nextSavePath = folder.path() + "/late.txt";
    auto* pane = new DeveloperSettingsView(workspace, dialogs, FileWriter::shared());
    QTest::mouseClick(pane->exportButton(), Qt::LeftButton);
    delete pane;
    dialogs.answerPending();
    EXPECT_EQ(fileText(folder.path() + "/late.txt"), Support::systemInfo());
    EXPECT_EQ(workspace.revealed, QStringList{folder.path() + "/late.txt"});
}

namespace {
using TestSupport::noteShowing;

// Clicks the note's copy button, checks what it copied, and closes the note.
void copyAndClose(QMessageBox* note, const QString& label, const QString& value) {
    QAbstractButton* copy = nullptr;
    for (QAbstractButton* b : note->buttons())
        if (b->text() == label) copy = b;
    ASSERT_NE(copy, nullptr) << label.toStdString();
    copy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), value);
    EXPECT_TRUE(note->isVisible());  // copying leaves it open
    note->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
}  // namespace

// Where no mail program or file manager answers, the pane says so and offers what to use instead.
TEST(HelpAndDeveloperPanes, WhereNothingAnswersANoteSaysSoAndCopiesWhatToUseInstead) {
    ScopedDataHome home;
    QTemporaryDir folder;
    FakeWorkspace workspace;
    workspace.openSucceeds = false;
    workspace.revealShows = false;

    HelpSettingsView help(workspace);
    help.show();
    QTest::mouseClick(help.reportButton(), Qt::LeftButton);
    QMessageBox* note = noteShowing(Support::email());
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().startsWith("No mail program could open the report."));
    copyAndClose(note, "Copy Address", Support::email());

    FakeFileDialogs dialogs;
    DeveloperSettingsView developer(workspace, dialogs, FileWriter::shared());
    developer.show();
    const QString disk = home.make("DaveRovaz");
    QTest::mouseClick(developer.showDataButton(), Qt::LeftButton);
    note = noteShowing(disk);
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().startsWith("No file manager could show the data folders."));
    copyAndClose(note, "Copy Path", disk);

    const QString path = folder.path() + "/Quorvin Diagnostics.txt";
    dialogs.nextSavePath = path;
    QTest::mouseClick(developer.exportButton(), Qt::LeftButton);
    note = noteShowing(path);
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->text().startsWith("The diagnostics were saved, but no file manager could show them."));
    copyAndClose(note, "Copy Path", path);

    // Where something answers, no note.
    workspace.openSucceeds = true;
    workspace.revealShows = true;
    QTest::mouseClick(help.reportButton(), Qt::LeftButton);
    QTest::mouseClick(developer.showDataButton(), Qt::LeftButton);
    EXPECT_EQ(noteShowing(Support::email()), nullptr);
    EXPECT_EQ(noteShowing(disk), nullptr);
}
