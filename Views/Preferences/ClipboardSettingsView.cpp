#include "Views/Preferences/ClipboardSettingsView.h"

#include "Platform/Desktop/DesktopEntries.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Ui/AppWindow.h"
#include "Platform/X11/KeyboardFocus.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Views/Preferences/SettingsForm.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kIdRole = Qt::UserRole;

QIcon symbolIcon(const QString& name, const QColor& color, double size = 16) {
    return QIcon(QPixmap::fromImage(Symbols::image(name, size, color, Symbols::Weight::regular, 2.0)));
}

// The history-size field: digits only; a number out of range stays editable and is brought to
// the nearest bound when editing ends; an emptied field goes back to the value it had.
class HistorySizeBox final : public QSpinBox {
public:
    explicit HistorySizeBox(QWidget* parent = nullptr) : QSpinBox(parent) {
        setSingleStep(1);
        setKeyboardTracking(false);
        setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        setAccelerated(true);
    }

protected:
    QValidator::State validate(QString& input, int&) const override {
        const QString text = input.trimmed();
        if (text.isEmpty()) return QValidator::Intermediate;
        if (text.size() > 6) return QValidator::Invalid;
        for (QChar c : text)
            if (!c.isDigit()) return QValidator::Invalid;
        const int value = text.toInt();
        return value >= minimum() && value <= maximum() ? QValidator::Acceptable : QValidator::Intermediate;
    }

    void fixup(QString& input) const override {
        const QString text = input.trimmed();
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok) {
            input = QString::number(this->value());
            return;
        }
        input = QString::number(std::clamp(value, minimum(), maximum()));
    }
};

}  // namespace

ClipboardSettingsView::IgnoredApp ClipboardSettingsView::IgnoredApp::make(const QString& bundleID,
                                                                          const DesktopEntries& entries) {
    IgnoredApp app;
    app.bundleID = bundleID;
    const auto entry = entries.entry(bundleID);
    if (!entry) {
        app.name = bundleID;
        return app;
    }
    QString name = entry->name.isEmpty() ? bundleID : entry->name;
    // Only a trailing ".app" is a bundle suffix; one inside the name is part of it.
    if (name.endsWith(QLatin1String(".app")) && name.size() > 4) name.chop(4);
    app.name = name;
    const QIcon icon = DesktopEntries::icon(*entry);
    if (!icon.isNull()) app.icon = QIcon(icon.pixmap(QSize(16, 16), 2.0));
    return app;
}

ClipboardSettingsView::ClipboardSettingsView(QWidget* parent)
    : ClipboardSettingsView(ClipboardManager::shared(), DesktopEntries::shared(), parent) {}

ClipboardSettingsView::ClipboardSettingsView(ClipboardManager& clipboard, DesktopEntries& entries, QWidget* parent)
    : QWidget(parent), clipboard_(clipboard), entries_(entries) {
    build();
}

int ClipboardSettingsView::maxItems() const { return clipboard_.settings().maxItems.value(); }

void ClipboardSettingsView::build() {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(20, 20, 20, 20);
    page->setSpacing(6);

    // History.
    auto* historyBox = SettingsForm::section(page, QStringLiteral("History"),
                               QString::asprintf("Between %d and %d. Pinned items are never trimmed, no matter "
                                                 "how low this is set.",
                                                 *clipboard_.settings().maxItems.minimum(),
                                                 *clipboard_.settings().maxItems.maximum()));
    auto* historyRow = new QHBoxLayout(historyBox);
    historyRow->addWidget(SettingsForm::symbolLabel(QStringLiteral("tray.full"), QStringLiteral("Items to keep")));
    historyRow->addStretch(1);
    itemsField_ = new HistorySizeBox;
    itemsField_->setMinimumWidth(60 + 24);
    itemsField_->setAccessibleName(QStringLiteral("Items to keep"));
    historyRow->addWidget(itemsField_);
    SettingsForm::bind(itemsField_, clipboard_.settings().maxItems, [this](int value) { setMaxItems(value); });

    // Ignored apps.
    auto* appsBox = SettingsForm::section(page, QStringLiteral("Ignored Apps"),
                            QStringLiteral("Use this for password managers and anything else that shouldn't be "
                                           "recorded."));
    auto* appsLayout = new QVBoxLayout(appsBox);
    auto* listArea = new QGridLayout;
    list_ = new QListWidget;
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setIconSize(QSize(16, 16));
    list_->setFixedHeight(128);
    listArea->addWidget(list_, 0, 0);
    emptyState_ = new QWidget;
    emptyState_->setAttribute(Qt::WA_TransparentForMouseEvents);
    {
        auto* column = new QVBoxLayout(emptyState_);
        column->setAlignment(Qt::AlignCenter);
        column->setSpacing(3);
        auto* icon = new QLabel;
        icon->setPixmap(QPixmap::fromImage(
            Symbols::image(QStringLiteral("hand.raised"), 22, SystemColors::secondary(), Symbols::Weight::regular, 2.0)));
        icon->setAlignment(Qt::AlignCenter);
        auto* title = new QLabel(QStringLiteral("No Ignored Apps"));
        QFont titleFont = title->font();
        titleFont.setBold(true);
        title->setFont(titleFont);
        title->setAlignment(Qt::AlignCenter);
        auto* description = new QLabel(QStringLiteral("Copies made in apps you add here are never recorded."));
        description->setForegroundRole(QPalette::PlaceholderText);
        description->setAlignment(Qt::AlignCenter);
        description->setWordWrap(true);
        QFont small = description->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        description->setFont(small);
        column->addWidget(icon);
        column->addWidget(title);
        column->addWidget(description);
    }
    listArea->addWidget(emptyState_, 0, 0);
    appsLayout->addLayout(listArea);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    addButton_ = new QPushButton(symbolIcon(QStringLiteral("plus"), SystemColors::primary()), QStringLiteral("Add App…"));
    removeButton_ = new QPushButton(symbolIcon(QStringLiteral("minus"), SystemColors::primary()), QStringLiteral("Remove"));
    for (QPushButton* button : {addButton_, removeButton_}) {
        QFont font = button->font();
        font.setPointSizeF(font.pointSizeF() * 0.9);
        button->setFont(font);
    }
    buttons->addWidget(addButton_);
    buttons->addWidget(removeButton_);
    buttons->addStretch(1);
    appsLayout->addLayout(buttons);
    connect(addButton_, &QPushButton::clicked, this, [this] { addIgnoredApp(); });
    connect(removeButton_, &QPushButton::clicked, this, &ClipboardSettingsView::removeSelectedApp);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        const auto selected = list_->selectedItems();
        if (selected.isEmpty())
            selection_.reset();
        else
            selection_ = selected.first()->data(kIdRole).toString();
        removeButton_->setEnabled(selection_.has_value());
    });

    // Clear.
    auto* clearBox = new QGroupBox;
    page->addWidget(clearBox);
    auto* clearRow = new QHBoxLayout(clearBox);
    clearRow->addWidget(
        SettingsForm::symbolLabel(QStringLiteral("trash"), QStringLiteral("Clear all history"), QStringLiteral("This can't be undone.")));
    clearRow->addStretch(1);
    clearButton_ = new QPushButton(QStringLiteral("Clear…"));
    QPalette destructive = clearButton_->palette();
    destructive.setColor(QPalette::ButtonText, SystemColors::red());
    clearButton_->setPalette(destructive);
    clearRow->addWidget(clearButton_);
    connect(clearButton_, &QPushButton::clicked, this, &ClipboardSettingsView::confirmClear);

    page->addStretch(1);
    refreshList();
}

void ClipboardSettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    loadIgnoredApps();
}

void ClipboardSettingsView::setMaxItems(int value) {
    Setting<int>& setting = clipboard_.settings().maxItems;
    clipboard_.applyHistoryLimit(setting.held(value));
    // The field shows the value held even when the stored one did not change.
    const QSignalBlocker blocker(itemsField_);
    itemsField_->setValue(setting.value());
}

void ClipboardSettingsView::loadIgnoredApps() {
    ignoredApps_.clear();
    for (const QString& id : clipboard_.settings().ignoredApps.value())
        ignoredApps_.push_back(IgnoredApp::make(id, entries_));
    selection_.reset();
    refreshList();
}

void ClipboardSettingsView::saveIgnoredApps() {
    QStringList ids;
    for (const IgnoredApp& app : ignoredApps_) ids << app.bundleID;
    clipboard_.settings().ignoredApps.set(ids);
}

void ClipboardSettingsView::refreshList() {
    {
        const QSignalBlocker blocker(list_);
        list_->clear();
        const QIcon fallback = symbolIcon(QStringLiteral("questionmark.app.dashed"), SystemColors::secondary());
        for (const IgnoredApp& app : ignoredApps_) {
            auto* item = new QListWidgetItem(app.icon.isNull() ? fallback : app.icon, app.name);
            item->setData(kIdRole, app.bundleID);
            item->setToolTip(app.bundleID);
            list_->addItem(item);
            if (selection_ && *selection_ == app.bundleID) item->setSelected(true);
        }
    }
    emptyState_->setVisible(ignoredApps_.empty());
    removeButton_->setEnabled(selection_.has_value());
}

void ClipboardSettingsView::addIgnoredApp() {
    if (chooser_) {
        chooser_->raise();
        KeyboardFocus::activate(chooser_->windowHandle());
        return;
    }
    auto* dialog = new ApplicationChooser(entries_.all(), {}, QStringLiteral("Add App"),
                                          QStringLiteral("Select an app whose copies should be ignored"), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::ApplicationModal);
    connect(dialog, &ApplicationChooser::chosen, this, [this](const QString& id) { addIgnoredApp(id); });
    chooser_ = dialog;
    dialog->show();
}

void ClipboardSettingsView::addIgnoredApp(const QString& bundleID) {
    if (bundleID.isEmpty()) return;
    const bool listed = std::any_of(ignoredApps_.begin(), ignoredApps_.end(),
                                    [&bundleID](const IgnoredApp& app) { return app.bundleID == bundleID; });
    if (listed) return;
    ignoredApps_.push_back(IgnoredApp::make(bundleID, entries_));
    saveIgnoredApps();
    refreshList();
}

void ClipboardSettingsView::removeSelectedApp() {
    if (!selection_) return;
    const QString id = *selection_;
    std::erase_if(ignoredApps_, [&id](const IgnoredApp& app) { return app.bundleID == id; });
    selection_.reset();
    saveIgnoredApps();
    refreshList();
}

void ClipboardSettingsView::confirmClear() {
    if (confirmation_) return;
    confirmingClear_ = true;
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Clear clipboard history?"),
                                  QStringLiteral("Clear clipboard history?"), QMessageBox::NoButton, this);
    alert->setInformativeText(
        QStringLiteral("Every saved item, including pinned ones, is deleted. This can't be undone."));
    QPushButton* clear = alert->addButton(QStringLiteral("Clear History"), QMessageBox::DestructiveRole);
    QPushButton* cancel = alert->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    alert->setEscapeButton(cancel);
    alert->setDefaultButton(cancel);
    alert->setWindowModality(Qt::ApplicationModal);
    AppWindow::makeRoomForTitle(alert);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    connect(alert, &QMessageBox::buttonClicked, this, [this, clear](QAbstractButton* button) {
        if (button == clear) clipboard_.clear();
    });
    connect(alert, &QDialog::finished, this, [this] { confirmingClear_ = false; });
    confirmation_ = alert;
    alert->show();
}
