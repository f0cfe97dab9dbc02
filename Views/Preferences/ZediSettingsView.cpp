#include "Views/Preferences/ZediSettingsView.h"

#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/Desktop/Workspace.h"
#include "Source/Features/Zedi/ZediManager.h"
#include "Views/Preferences/SettingsForm.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kIdRole = Qt::UserRole;


}  // namespace

ZediSettingsView::ZediSettingsView(ZediManager& zedi, QWidget* parent) : QWidget(parent), zedi_(zedi) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(20, 20, 20, 20);
    page->setSpacing(6);

    auto* box = new QGroupBox(QStringLiteral("Apps to Quit"));
    page->addWidget(box);
    page->addWidget(SettingsForm::footerLabel(QStringLiteral(
        "Zedi asks each of these apps to quit, as if you had closed its windows. Apps that are not running are skipped.")));

    auto* layout = new QVBoxLayout(box);
    list_ = new QListWidget;
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setIconSize(QSize(20, 20));
    list_->setMinimumHeight(180);
    layout->addWidget(list_);
    empty_ = new QLabel(QStringLiteral("No apps yet. Add the apps Zedi should quit with the + button."));
    empty_->setWordWrap(true);
    empty_->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(empty_);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(2);
    add_ = new QToolButton;
    add_->setText(QStringLiteral("+"));
    add_->setToolTip(QStringLiteral("Add an app"));
    add_->setPopupMode(QToolButton::InstantPopup);
    addMenu_ = new QMenu(add_);
    add_->setMenu(addMenu_);
    remove_ = new QToolButton;
    remove_->setText(QStringLiteral("−"));
    remove_->setToolTip(QStringLiteral("Remove the selected apps"));
    buttons->addWidget(add_);
    buttons->addWidget(remove_);
    buttons->addStretch(1);
    layout->addLayout(buttons);

    page->addStretch(1);

    connect(addMenu_, &QMenu::aboutToShow, this, &ZediSettingsView::rebuildAddMenu);
    connect(remove_, &QToolButton::clicked, this, [this] {
        zedi_.remove(QStringList(selection_.begin(), selection_.end()));
    });
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        selection_.clear();
        for (QListWidgetItem* item : list_->selectedItems()) selection_.insert(item->data(kIdRole).toString());
        remove_->setEnabled(!selection_.isEmpty());
    });
    connect(&zedi_, &ZediManager::appsChanged, this, &ZediSettingsView::refresh);
    refresh();
}

void ZediSettingsView::refresh() {
    const QStringList apps = zedi_.apps();
    const QSet<QString> keep = selection_;
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
        for (const QString& id : apps) {
            auto* item = new QListWidgetItem(zedi_.icon(id), ZediManager::displayName(id));
            item->setData(kIdRole, id);
            item->setToolTip(id);
            list_->addItem(item);
            item->setSelected(keep.contains(id));
        }
    }
    selection_.clear();
    for (QListWidgetItem* item : list_->selectedItems()) selection_.insert(item->data(kIdRole).toString());
    remove_->setEnabled(!selection_.isEmpty());
    empty_->setVisible(apps.isEmpty());
}

void ZediSettingsView::rebuildAddMenu() {
    addMenu_->clear();
    const QStringList listed = zedi_.apps();
    const qint64 self = QCoreApplication::applicationPid();
    std::vector<RunningApplication> running;
    for (const RunningApplication& app : zedi_.workspace().runningApplications()) {
        if (app.pid == self || app.bundleIdentifier.isEmpty() || listed.contains(app.bundleIdentifier)) continue;
        const bool seen = std::any_of(running.begin(), running.end(), [&](const RunningApplication& other) {
            return other.bundleIdentifier == app.bundleIdentifier;
        });
        if (!seen) running.push_back(app);
    }
    std::sort(running.begin(), running.end(), [](const RunningApplication& a, const RunningApplication& b) {
        return a.localizedName.localeAwareCompare(b.localizedName) < 0;
    });
    if (running.empty()) {
        addMenu_->addAction(QStringLiteral("No Other Running Apps"))->setEnabled(false);
    } else {
        addMenu_->addSection(QStringLiteral("Running Apps"));
        for (const RunningApplication& app : running) {
            const QString id = app.bundleIdentifier;
            QAction* action = addMenu_->addAction(zedi_.workspace().icon(id), app.localizedName);
            connect(action, &QAction::triggered, this, [this, id] { zedi_.add(id); });
        }
    }
    addMenu_->addSeparator();
    connect(addMenu_->addAction(QStringLiteral("Other App…")), &QAction::triggered, this,
            &ZediSettingsView::chooseOtherApplication);
}

void ZediSettingsView::chooseOtherApplication() {
    ApplicationChooser dialog(DesktopEntries::shared().all(), zedi_.apps(), QStringLiteral("Add an App"), {}, this);
    if (dialog.exec() == QDialog::Accepted && !dialog.chosenID().isEmpty()) zedi_.add(dialog.chosenID());
}
