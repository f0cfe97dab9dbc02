#include "Platform/Ui/FileDialogs.h"
#include "TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

namespace {

QFileDialog* openDialog() {
    QFileDialog* found = nullptr;
    (void)QTest::qWaitFor([&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) found = d;
        return found != nullptr;
    }, 2000);
    return found;
}

class QtFileDialogsTest : public ::testing::Test {
protected:
    QtFileDialogs dialogs;
    QWidget owner;
    QTemporaryDir dir;
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        owner.resize(300, 200);
        owner.show();
    }
};

TEST_F(QtFileDialogsTest, FolderDialogAllowsSeveralFoldersAndAnswersOnceWithTheChoice) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("one"));
    std::optional<QStringList> answer;
    int answers = 0;
    dialogs.chooseFolders(&owner, {.title = "Add folders", .acceptLabel = "Add", .directory = dir.path()},
                          [&](const QStringList& paths) { answer = paths; ++answers; });
    QFileDialog* dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->windowTitle(), "Add folders");
    EXPECT_EQ(dialog->labelText(QFileDialog::Accept), "Add");
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog->testOption(QFileDialog::DontUseNativeDialog));
    auto* list = dialog->findChild<QAbstractItemView*>("listView");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(answer.has_value());  // nothing until the user answers

    QPointer<QFileDialog> guard(dialog);
    dialog->selectFile(dir.filePath("one"));
    static_cast<QDialog*>(dialog)->accept();
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, QStringList{dir.filePath("one")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return guard.isNull(); }, 2000));  // the dialog goes with its answer
    EXPECT_EQ(answers, 1);
}

TEST_F(QtFileDialogsTest, TwoFoldersPickedInTheListAreBothReturned) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("one"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("two"));
    QStringList answer;
    dialogs.chooseFolders(&owner, {.title = "Add", .directory = dir.path()},
                          [&](const QStringList& paths) { answer = paths; });
    QFileDialog* dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    auto* list = dialog->findChild<QAbstractItemView*>("listView");
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->model()->rowCount(list->rootIndex()) == 2; }, 3000));
    auto* selection = list->selectionModel();
    for (int row = 0; row < 2; ++row)
        selection->select(list->model()->index(row, 0, list->rootIndex()),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    static_cast<QDialog*>(dialog)->accept();
    answer.sort();
    EXPECT_EQ(answer, (QStringList{dir.filePath("one"), dir.filePath("two")}));
}

TEST_F(QtFileDialogsTest, CancellingAnswersEmpty) {
    bool answered = false;
    QString saved = "untouched";
    dialogs.chooseSaveFile(&owner, {.title = "Save", .directory = dir.path(), .defaultName = "qr.png",
                                    .nameFilters = {"PNG image (*.png)"}},
                           [&](const QString& path) { saved = path; answered = true; });
    QFileDialog* dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
    dialog->reject();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(saved.isEmpty());
}

TEST_F(QtFileDialogsTest, SaveDialogProposesTheDefaultNameInItsFolder) {
    QString saved;
    dialogs.chooseSaveFile(&owner, {.title = "Save", .directory = dir.path(), .defaultName = "qr.png"},
                           [&](const QString& path) { saved = path; });
    QFileDialog* dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    static_cast<QDialog*>(dialog)->accept();
    EXPECT_EQ(saved, dir.filePath("qr.png"));
}

TEST_F(QtFileDialogsTest, OpenDialogReturnsAnExistingFile) {
    QFile file(dir.filePath("notes.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    QString opened;
    dialogs.chooseOpenFile(&owner, {.title = "Open", .directory = dir.path()},
                           [&](const QString& path) { opened = path; });
    QFileDialog* dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    dialog->selectFile(file.fileName());
    static_cast<QDialog*>(dialog)->accept();
    EXPECT_EQ(opened, file.fileName());
}

}  // namespace
