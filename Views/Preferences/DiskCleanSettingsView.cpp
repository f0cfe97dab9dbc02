#include "Views/Preferences/DiskCleanSettingsView.h"

#include "Platform/Core/Dispatch.h"
#include "Platform/Core/SerialQueue.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Ui/FileDialogs.h"
#include "Source/Features/System/DiskCleanScanner.h"
#include "Source/Features/System/DiskCleanSettings.h"
#include "Source/Features/System/DiskPaneModel.h"
#include "Views/Preferences/SettingsForm.h"
#include "Views/Shared/SymbolButton.h"

#include <QCheckBox>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QVBoxLayout>

namespace {

constexpr int kPathRole = Qt::UserRole;

// A line of secondary text after a symbol.
QWidget* symbolLabel(const QString& symbol, const QString& text, QLabel** labelOut = nullptr) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* glyph = new QLabel;
    glyph->setPixmap(QPixmap::fromImage(Symbols::image(symbol, 15, SystemColors::secondary(), Symbols::Weight::regular,
                                                       row->devicePixelRatioF())));
    glyph->setFixedWidth(18);
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(glyph, 0, Qt::AlignTop);
    layout->addWidget(label, 1);
    if (labelOut) *labelOut = label;
    return row;
}

}  // namespace

DiskCleanSettingsView::DiskCleanSettingsView(QWidget* parent)
    : DiskCleanSettingsView(DiskCleanScanner::shared(), DiskCleanSettings::shared(), parent) {}

DiskCleanSettingsView::DiskCleanSettingsView(DiskCleanScanner& scanner, DiskCleanSettings& settings, QWidget* parent)
    : QWidget(parent), scanner_(scanner), settings_(settings) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(20, 20, 20, 20);
    page->setSpacing(6);

    // What the scanner promises.
    auto* intro = new QGroupBox;
    auto* introLayout = new QVBoxLayout(intro);
    introLayout->addWidget(symbolLabel(QStringLiteral("checkmark.shield"),
                                       QStringLiteral("Only caches the tool that made them can rebuild are listed. "
                                                      "Everything cleaned goes to the Trash first, so it can be put back.")));
    page->addWidget(intro);
    page->addSpacing(10);

    // The switches.
    auto* builtIn = SettingsForm::section(page, QStringLiteral("Built-in Targets"));
    auto* builtInLayout = new QVBoxLayout(builtIn);
    builtInLayout->setSpacing(8);
    auto addSwitch = [&](const QString& title, const QString& subtitle, bool defaultOn) {
        auto* box = new QCheckBox(title);
        auto* description = new QLabel(subtitle);
        description->setWordWrap(true);
        description->setForegroundRole(QPalette::PlaceholderText);
        QFont small = description->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        description->setFont(small);
        description->setContentsMargins(24, 0, 0, 0);
        auto* pair = new QVBoxLayout;
        pair->setSpacing(0);
        pair->addWidget(box);
        pair->addWidget(description);
        builtInLayout->addLayout(pair);
        switches_ << box;
        targets_ << std::make_pair(title, defaultOn);
        // Only the switch the user turns is written: untouched rows keep having no entry.
        connect(box, &QCheckBox::toggled, this, [this, title](bool on) { settings_.setEnabled(title, on); });
    };
    for (const CleanupCandidate& row : DiskCleanScanner::candidates()) addSwitch(row.name, row.consequence, row.defaultOn);
    addSwitch(CleanupCatalog::perAppCaches,
              QStringLiteral("Each app\u2019s own folder in ~/Library/Caches, when it passes 50 MB."), true);
    connect(&settings_.targets, &SettingBase::changed, this, &DiskCleanSettingsView::refreshSwitches);
    refreshSwitches();
    page->addSpacing(10);

    // The custom folders.
    auto* custom = SettingsForm::section(page, QStringLiteral("Custom Targets"));
    page->addWidget(symbolLabel(QStringLiteral("exclamationmark.triangle"),
                                QStringLiteral("Advanced: add only folders whose contents are safe to delete. "
                                               "Folders must be inside your home folder.")));
    auto* customLayout = new QVBoxLayout(custom);
    list_ = new QListWidget;
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setMinimumHeight(110);
    list_->setIconSize(QSize(16, 16));
    customLayout->addWidget(list_);
    empty_ = new QLabel(QStringLiteral("No custom targets added yet."), list_->viewport());
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setForegroundRole(QPalette::PlaceholderText);
    list_->viewport()->installEventFilter(this);
    refusal_ = new QLabel;
    refusal_->setWordWrap(true);
    QPalette warn = refusal_->palette();
    warn.setColor(QPalette::WindowText,
                  SystemColors::legible(SystemColors::orange(), SystemColors::windowBackground()));
    refusal_->setPalette(warn);
    refusal_->hide();
    customLayout->addWidget(refusal_);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    auto* add = new SymbolButton(QStringLiteral("plus"), 13);
    auto* remove = new SymbolButton(QStringLiteral("minus"), 13);
    add->setToolTip(QStringLiteral("Add folders"));
    remove->setToolTip(QStringLiteral("Remove the selected folders"));
    for (SymbolButton* button : {add, remove}) {
        button->setColor(SystemColors::primary());
        button->setCursor(Qt::PointingHandCursor);
        button->setFixedSize(22, 22);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    customLayout->addLayout(buttons);
    add_ = add;
    remove_ = remove;
    connect(add, &QAbstractButton::clicked, this, &DiskCleanSettingsView::addFolders);
    connect(remove, &QAbstractButton::clicked, this, &DiskCleanSettingsView::removeSelection);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        selection_.clear();
        for (QListWidgetItem* item : list_->selectedItems()) selection_.insert(item->data(kPathRole).toString());
        remove_->setEnabled(!selection_.isEmpty());
    });
    page->addStretch(1);
    refreshList();

    // The stored folders, those the scanner may touch, in stored order.
    const QStringList stored = settings_.customTargets.value();
    admitInBackground(stored, [this](const QStringList& admitted) {
        for (const QString& path : admitted)
            if (!path.isEmpty()) custom_ << path;
        loaded_ = true;
        refreshList();
        emit customChanged();
    });
}

void DiskCleanSettingsView::admitInBackground(const QStringList& paths,
                                             std::function<void(const QStringList& admitted)> done) {
    // Off the GUI thread: a folder that answers slowly (a dead mount, say) holds up no window.
    static SerialQueue* queue = new SerialQueue("com.merovane.diskclean.settings", QueuePriority::userInitiated);
    ++pending_;
    QPointer<DiskCleanSettingsView> self(this);
    const HomeGuard guard = scanner_.guard();
    queue->async([self, guard, paths, done = std::move(done)]() mutable {
        QStringList admitted;
        for (const QString& path : paths) admitted << guard.admit(path);
        Dispatch::main([self, admitted, done = std::move(done)] {
            if (!self) return;
            --self->pending_;
            done(admitted);
        });
    });
}

void DiskCleanSettingsView::refreshSwitches() {
    for (int i = 0; i < switches_.size(); ++i) {
        const QSignalBlocker blocker(switches_[i]);
        switches_[i]->setChecked(settings_.isEnabled(targets_[i].first, targets_[i].second));
    }
}

void DiskCleanSettingsView::refreshList() {
    const QString home = scanner_.guard().home();
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
        const QIcon folder(QPixmap::fromImage(Symbols::image(QStringLiteral("folder"), 16, SystemColors::secondary())));
        for (const QString& path : custom_) {
            auto* item = new QListWidgetItem(folder, DiskPaneModel::displayPath(path, home));
            item->setData(kPathRole, path);
            item->setToolTip(path);
            list_->addItem(item);
            item->setSelected(selection_.contains(path));
        }
    }
    selection_.clear();
    for (QListWidgetItem* item : list_->selectedItems()) selection_.insert(item->data(kPathRole).toString());
    remove_->setEnabled(!selection_.isEmpty());
    add_->setEnabled(loaded_);
    empty_->setVisible(loaded_ && custom_.isEmpty());
    empty_->setGeometry(list_->viewport()->rect());
}

void DiskCleanSettingsView::addFolders() {
    FileDialogs::Request request;
    request.title = QStringLiteral("Add Custom Targets");
    request.acceptLabel = QStringLiteral("Add");
    request.directory = scanner_.guard().home();
    QPointer<DiskCleanSettingsView> self(this);
    FileDialogs::shared().chooseFolders(this, request, [self](const QStringList& paths) {
        if (self && !paths.isEmpty()) self->addChosen(paths);
    });
}

void DiskCleanSettingsView::addChosen(const QStringList& chosen) {
    admitInBackground(chosen, [this, chosen](const QStringList& admitted) {
        QHash<QString, QString> answers;
        for (int i = 0; i < chosen.size(); ++i) answers.insert(chosen[i], admitted.value(i));
        const auto choice = DiskPaneModel::filterFolders(chosen, custom_,
                                                         [&answers](const QString& path) { return answers.value(path); });
        custom_ << choice.added;
        const QString note = refusalText(choice.refused, scanner_.guard().home());
        refusal_->setText(note);
        refusal_->setVisible(!note.isEmpty());
        store();
        refreshList();
        emit customChanged();
    });
}

QString DiskCleanSettingsView::refusalText(const QStringList& refused, const QString& home) {
    if (refused.isEmpty()) return {};
    QStringList shown;
    for (const QString& path : refused) shown << DiskPaneModel::displayPath(path, home);
    return QStringLiteral("Not added, not inside your home folder: ") + shown.join(QStringLiteral(", "));
}

void DiskCleanSettingsView::removeSelection() {
    if (selection_.isEmpty()) return;
    QStringList kept;
    for (const QString& path : custom_)
        if (!selection_.contains(path)) kept << path;
    custom_ = kept;
    selection_.clear();
    refusal_->hide();
    store();
    refreshList();
    emit customChanged();
}

bool DiskCleanSettingsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_->viewport() && event->type() == QEvent::Resize) empty_->setGeometry(list_->viewport()->rect());
    return QWidget::eventFilter(watched, event);
}

void DiskCleanSettingsView::store() { settings_.customTargets.set(custom_); }
