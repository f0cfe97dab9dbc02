#pragma once

#include <QDialog>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <optional>
#include <vector>

class ClipboardManager;
class DesktopEntries;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;

// The Clipboard pane: how many items the history keeps (pinned items never trimmed), the
// applications whose copies are never recorded (desktop ids in list order) and erasing the whole
// history after a confirmation. It edits the clipboard manager's settings.
//
// The history size takes effect when its editing ends (Return, leaving the field, or a click of
// the stepper), never on each keystroke, so typing a number over another never trims to its
// first digit.
class ClipboardSettingsView : public QWidget {
    Q_OBJECT
public:
    // One row of the ignored-apps list.
    struct IgnoredApp {
        QString bundleID;  // the desktop id stored in the setting
        QString name;      // the entry's name without a trailing ".app"; the id when not installed
        QIcon icon;        // 16 × 16; null when not installed
        // Resolves name and icon of an id through the desktop entries.
        static IgnoredApp make(const QString& bundleID, const DesktopEntries& entries);
    };

    // The pane over the shared clipboard history and the installed applications.
    explicit ClipboardSettingsView(QWidget* parent = nullptr);
    ClipboardSettingsView(ClipboardManager& clipboard, DesktopEntries& entries, QWidget* parent = nullptr);

    int maxItems() const;
    const std::vector<IgnoredApp>& ignoredApps() const { return ignoredApps_; }
    std::optional<QString> selection() const { return selection_; }
    bool confirmingClear() const { return confirmingClear_; }

    // The history size, as the field hands it over: held to the setting's range and then applied
    // (stored, the history trimmed and saved when that removed anything).
    void setMaxItems(int value);
    void loadIgnoredApps();
    void saveIgnoredApps();
    // Opens the application chooser; the chosen application is added.
    void addIgnoredApp();
    // Adds an application by id unless it is listed already.
    void addIgnoredApp(const QString& bundleID);
    void removeSelectedApp();
    // Shows the confirmation; "Clear History" clears the whole history.
    void confirmClear();

    QSpinBox* itemsField() const { return itemsField_; }
    QListWidget* list() const { return list_; }
    QWidget* emptyState() const { return emptyState_; }
    QPushButton* addButton() const { return addButton_; }
    QPushButton* removeButton() const { return removeButton_; }
    QPushButton* clearButton() const { return clearButton_; }
    // The open chooser and confirmation, when they are showing.
    QDialog* appChooser() const { return chooser_; }
    QMessageBox* confirmation() const { return confirmation_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void refreshList();

    ClipboardManager& clipboard_;
    DesktopEntries& entries_;
    std::vector<IgnoredApp> ignoredApps_;
    std::optional<QString> selection_;
    bool confirmingClear_ = false;

    QSpinBox* itemsField_ = nullptr;
    QListWidget* list_ = nullptr;
    QWidget* emptyState_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPointer<QDialog> chooser_;
    QPointer<QMessageBox> confirmation_;
};
