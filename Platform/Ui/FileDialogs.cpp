#include "Platform/Ui/FileDialogs.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileDialog>

namespace {

FileDialogs* g_override = nullptr;

QFileDialog* makeDialog(QWidget* parent, const FileDialogs::Request& request) {
    auto* dialog = new QFileDialog(parent, request.title,
                                   request.directory.isEmpty() ? QDir::homePath() : request.directory);
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    if (!request.acceptLabel.isEmpty()) dialog->setLabelText(QFileDialog::Accept, request.acceptLabel);
    if (!request.nameFilters.isEmpty()) dialog->setNameFilters(request.nameFilters);
    return dialog;
}

// Answers exactly once: with the chosen paths on accept, with nothing on reject or close.
void run(QFileDialog* dialog, std::function<void(const QStringList&)> done) {
    QObject::connect(dialog, &QDialog::finished, dialog, [dialog, done = std::move(done)](int result) {
        const QStringList paths = result == QDialog::Accepted ? dialog->selectedFiles() : QStringList{};
        if (done) done(paths);
    });
    dialog->open();
}

FileDialogs::PathsHandler firstOf(FileDialogs::PathHandler done) {
    return [done = std::move(done)](const QStringList& paths) {
        if (done) done(paths.isEmpty() ? QString() : paths.first());
    };
}

}  // namespace

FileDialogs& FileDialogs::shared() {
    static QtFileDialogs qtDialogs;
    return g_override ? *g_override : qtDialogs;
}

void FileDialogs::setShared(FileDialogs* dialogs) { g_override = dialogs; }

void QtFileDialogs::chooseFolders(QWidget* parent, const Request& request, PathsHandler done) {
    QFileDialog* dialog = makeDialog(parent, request);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    // Qt's folder dialog picks one folder; its views can hold more.
    for (auto* view : dialog->findChildren<QAbstractItemView*>(QStringLiteral("listView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (auto* view : dialog->findChildren<QAbstractItemView*>(QStringLiteral("treeView")))
        view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    run(dialog, std::move(done));
}

void QtFileDialogs::chooseSaveFile(QWidget* parent, const Request& request, PathHandler done) {
    QFileDialog* dialog = makeDialog(parent, request);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    if (!request.defaultName.isEmpty()) dialog->selectFile(request.defaultName);
    run(dialog, firstOf(std::move(done)));
}

void QtFileDialogs::chooseOpenFile(QWidget* parent, const Request& request, PathHandler done) {
    QFileDialog* dialog = makeDialog(parent, request);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    run(dialog, firstOf(std::move(done)));
}
