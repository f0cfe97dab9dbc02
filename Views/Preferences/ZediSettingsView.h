#pragma once

#include <QSet>
#include <QString>
#include <QWidget>

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QToolButton;
class ZediManager;

// The Zedi pane: the applications Zedi quits, with buttons to add and remove them.
class ZediSettingsView : public QWidget {
    Q_OBJECT
public:
    explicit ZediSettingsView(ZediManager& zedi, QWidget* parent = nullptr);

    // The identifiers of the selected rows.
    QSet<QString> selection() const { return selection_; }

    QListWidget* list() const { return list_; }
    QToolButton* addButton() const { return add_; }
    QToolButton* removeButton() const { return remove_; }
    // Rebuilds the add menu from the running applications (called before it opens).
    void rebuildAddMenu();
    QMenu* addMenu() const { return addMenu_; }
    // Picks an installed application in a dialog and adds it.
    void chooseOtherApplication();

private:
    void refresh();

    ZediManager& zedi_;
    QSet<QString> selection_;
    QListWidget* list_ = nullptr;
    QLabel* empty_ = nullptr;
    QToolButton* add_ = nullptr;
    QToolButton* remove_ = nullptr;
    QMenu* addMenu_ = nullptr;
};
