#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

// The file dialogs the windows ask: several folders to add, a file to save to, a file to open.
// Each call returns at once; the answer comes later on the GUI thread, empty when the user cancels.
class FileDialogs {
public:
    struct Request {
        QString title;
        QString acceptLabel;    // empty: the dialog's own
        QString directory;      // where it opens; empty: the home folder
        QString defaultName;    // the proposed file name when saving
        QStringList nameFilters;  // e.g. "PNG image (*.png)"; empty: every file
    };
    using PathsHandler = std::function<void(const QStringList& paths)>;
    using PathHandler = std::function<void(const QString& path)>;

    virtual ~FileDialogs() = default;

    static FileDialogs& shared();
    // Replaces the shared dialogs (tests); nullptr restores the Qt ones.
    static void setShared(FileDialogs* dialogs);

    virtual void chooseFolders(QWidget* parent, const Request& request, PathsHandler done) = 0;
    virtual void chooseSaveFile(QWidget* parent, const Request& request, PathHandler done) = 0;
    virtual void chooseOpenFile(QWidget* parent, const Request& request, PathHandler done) = 0;
};

// Qt's own dialogs (the same on every desktop, and able to pick several folders at once), window-modal
// on their parent, never blocking the event loop.
class QtFileDialogs : public FileDialogs {
public:
    void chooseFolders(QWidget* parent, const Request& request, PathsHandler done) override;
    void chooseSaveFile(QWidget* parent, const Request& request, PathHandler done) override;
    void chooseOpenFile(QWidget* parent, const Request& request, PathHandler done) override;
};
