#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class DiskCleanScanner;
class DiskCleanSettings;
class QAbstractButton;
class QCheckBox;
class QLabel;
class QListWidget;

// The Disk Clean pane: a switch per cleanup target (the catalogue's rows and the per-app caches)
// and the list of custom folders with add and remove buttons. Every change is stored at once and
// counts from the next scan. Folders outside the home folder are not added; the pane says which.
class DiskCleanSettingsView : public QWidget {
    Q_OBJECT
public:
    explicit DiskCleanSettingsView(QWidget* parent = nullptr);
    DiskCleanSettingsView(DiskCleanScanner& scanner, DiskCleanSettings& settings, QWidget* parent = nullptr);

    // The custom folders as listed (once loaded), and the selected ones.
    const QStringList& custom() const { return custom_; }
    // Whether the stored folders are listed and no chosen folders are being checked.
    bool isSettled() const { return loaded_ && pending_ == 0; }
    QSet<QString> selection() const { return selection_; }

    // Asks for folders to add (the folder dialog, several at once, "Add").
    void addFolders();
    // Adds the chosen folders that lie inside the home folder and are not listed yet. The folders
    // are looked at off the GUI thread; the list changes when that is done.
    void addChosen(const QStringList& chosen);
    void removeSelection();
    // The note on chosen folders that were left out, none when every one was added.
    static QString refusalText(const QStringList& refused, const QString& home);

    // What is on screen (tests).
    QList<QCheckBox*> switches() const { return switches_; }
    QListWidget* list() const { return list_; }
    QLabel* emptyLabel() const { return empty_; }
    QLabel* refusalLabel() const { return refusal_; }
    QAbstractButton* addButton() const { return add_; }
    QAbstractButton* removeButton() const { return remove_; }

signals:
    // The list of custom folders changed, or a check of chosen folders ended.
    void customChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Normalises each path off the GUI thread (links in its parents resolved); an empty text for a
    // path the scanner may not touch. The answer comes on the GUI thread unless the view is gone.
    void admitInBackground(const QStringList& paths, std::function<void(const QStringList& admitted)> done);
    void store();
    void refreshList();
    void refreshSwitches();

    DiskCleanScanner& scanner_;
    DiskCleanSettings& settings_;
    QStringList custom_;
    bool loaded_ = false;
    int pending_ = 0;
    QSet<QString> selection_;
    QList<QCheckBox*> switches_;
    QList<std::pair<QString, bool>> targets_;  // name, default; in switch order
    QListWidget* list_ = nullptr;
    QLabel* empty_ = nullptr;
    QLabel* refusal_ = nullptr;
    QAbstractButton* add_ = nullptr;
    QAbstractButton* remove_ = nullptr;
};
