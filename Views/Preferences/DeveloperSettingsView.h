#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class CopyButton;
class FileDialogs;
class FileWriter;
class QLabel;
class QPushButton;
class Workspace;

// The Developer pane: the install identifier with a copy button, the program's data folders shown
// in the file manager, and the system information exported to a text file the user chooses.
class DeveloperSettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* diagnosticsFileName = "Quorvin Diagnostics.txt";

    explicit DeveloperSettingsView(QWidget* parent = nullptr);
    DeveloperSettingsView(Workspace& workspace, FileDialogs& dialogs, FileWriter& writer, QWidget* parent = nullptr);

    // The folders of the program's data that exist now ("ClipboardHistory", "DaveRovaz" and
    // "Updates" under the data home, in that order). Nothing is created.
    static QStringList appDataFolders();

    void showAppData();
    // Asks where to save, writes the system information there and shows the file; a write that
    // fails says so under the buttons and shows nothing.
    void exportDiagnostics();

    QLabel* identifierLabel() const { return identifier_; }
    CopyButton* identifierCopyButton() const { return copy_; }
    QPushButton* showDataButton() const { return showData_; }
    QPushButton* exportButton() const { return export_; }
    // What the last action has to say (hidden when nothing).
    QLabel* statusLabel() const { return status_; }

private:
    void setStatus(const QString& text, bool problem = false);

    Workspace& workspace_;
    FileDialogs& dialogs_;
    FileWriter& writer_;
    QLabel* identifier_ = nullptr;
    CopyButton* copy_ = nullptr;
    QPushButton* showData_ = nullptr;
    QPushButton* export_ = nullptr;
    QLabel* status_ = nullptr;
};
