#include "Views/Preferences/KeyboardShortcutsView.h"

#include "Platform/Core/NotificationCenter.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "Views/Preferences/SettingsForm.h"
#include "Views/Preferences/ShortcutRecorderButton.h"
#include "Views/Shared/SymbolButton.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

KeyboardShortcutsView::KeyboardShortcutsView(ShortcutManager& manager, QWidget* parent)
    : QWidget(parent), manager_(manager) {
    QVBoxLayout* page = SettingsForm::page(this);

    QGroupBox* shortcuts = SettingsForm::section(
        page, QStringLiteral("Global Shortcuts"),
        QStringLiteral("Click a shortcut to record a new one. At least one modifier key is required; press Escape "
                       "to cancel."));
    rows_ = new QGridLayout(shortcuts);
    rows_->setHorizontalSpacing(8);
    rows_->setVerticalSpacing(4);
    rows_->setColumnStretch(0, 1);

    auto* resetBox = SettingsForm::section(page, QString());
    auto* resetRow = new QHBoxLayout(resetBox);
    resetRow->addStretch(1);
    reset_ = new QPushButton(QStringLiteral("Reset to Defaults"));
    resetRow->addWidget(reset_);
    connect(reset_, &QPushButton::clicked, this, &KeyboardShortcutsView::resetToDefaults);
    page->addStretch(1);

    connect(&manager_, &ShortcutManager::bindingsChanged, this, &KeyboardShortcutsView::rebuildRows);
    NotificationCenter::defaultCenter().observe(GlobalHotkeyMonitor::registrationDidChange, this,
                                                [this](const QVariant&) { refresh(); });
    rebuildRows();
}

KeyboardShortcutsView::~KeyboardShortcutsView() { stopRecording(true); }

ShortcutRecorderButton* KeyboardShortcutsView::recorder(const QString& id) const {
    auto it = rowByID_.find(id);
    return it == rowByID_.end() ? nullptr : it->second.recorder;
}

SymbolButton* KeyboardShortcutsView::removeButton(const QString& id) const {
    auto it = rowByID_.find(id);
    return it == rowByID_.end() ? nullptr : it->second.remove;
}

QLabel* KeyboardShortcutsView::problemLabel(const QString& id) const {
    auto it = rowByID_.find(id);
    return it == rowByID_.end() ? nullptr : it->second.problem;
}

QString KeyboardShortcutsView::problemText(const QString& id) {
    const auto refusal = GlobalHotkeyMonitor::refusal(id);
    if (!refusal) return {};
    switch (*refusal) {
    case GlobalHotkeyMonitor::Refusal::taken: return QStringLiteral("Another program already uses this shortcut.");
    case GlobalHotkeyMonitor::Refusal::noKey: return QStringLiteral("This key is not on your keyboard.");
    case GlobalHotkeyMonitor::Refusal::noModifier: return QStringLiteral("This shortcut needs a modifier key.");
    case GlobalHotkeyMonitor::Refusal::failed: return QStringLiteral("This shortcut could not be registered.");
    }
    return {};
}

void KeyboardShortcutsView::rebuildRows() {
    QStringList ids;
    for (const HotkeyBinding& binding : manager_.bindings()) ids << binding.id;
    if (ids != shownIDs_) {
        // Another list of bindings: new rows.
        while (QLayoutItem* item = rows_->takeAt(0)) {
            if (QWidget* w = item->widget()) w->deleteLater();
            delete item;
        }
        rowByID_.clear();
        shownIDs_ = ids;
        int line = 0;
        for (const HotkeyBinding& binding : manager_.bindings()) {
            if (rowByID_.count(binding.id)) continue;  // only the first binding of an id is reachable
            Row row;
            row.name = new QLabel(binding.name);
            row.recorder = new ShortcutRecorderButton(binding);
            row.remove = new SymbolButton(QStringLiteral("xmark.circle.fill"), 13);
            row.remove->setToolTip(QStringLiteral("Remove this shortcut"));
            row.remove->setAccessibleName(QStringLiteral("Remove this shortcut"));
            row.remove->setCursor(Qt::PointingHandCursor);
            row.problem = SettingsForm::secondaryLabel(QString(), 0.9);
            row.problem->setWordWrap(true);
            row.problem->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            QPalette warning = row.problem->palette();
            warning.setColor(QPalette::PlaceholderText, SystemColors::red(SystemColors::isDark(palette())));
            row.problem->setPalette(warning);

            auto* controls = new QWidget;
            auto* controlsLayout = new QHBoxLayout(controls);
            controlsLayout->setContentsMargins(0, 0, 0, 0);
            controlsLayout->setSpacing(8);
            controlsLayout->addWidget(row.recorder, 0, Qt::AlignVCenter);
            controlsLayout->addWidget(row.remove, 0, Qt::AlignVCenter);

            rows_->addWidget(row.name, line, 0, Qt::AlignLeft | Qt::AlignVCenter);
            rows_->addWidget(controls, line, 1, Qt::AlignRight | Qt::AlignVCenter);
            rows_->addWidget(row.problem, line + 1, 0, 1, 2);
            line += 2;

            const QString id = binding.id;
            connect(row.recorder, &QAbstractButton::clicked, this, [this, id] { recorderClicked(id); });
            connect(row.remove, &QAbstractButton::clicked, this, [this, id] { remove(id); });
            rowByID_[id] = row;
        }
    }
    refresh();
}

void KeyboardShortcutsView::refresh() {
    for (const HotkeyBinding& binding : manager_.bindings()) {
        auto it = rowByID_.find(binding.id);
        if (it == rowByID_.end()) continue;
        Row& row = it->second;
        row.name->setText(binding.name);
        row.recorder->setBinding(binding);
        row.recorder->setRecording(recordingID_ == binding.id);
        // A removed binding keeps the button's place, but nothing can be clicked there.
        row.remove->setEnabled(binding.isEnabled);
        row.remove->setContentOpacity(binding.isEnabled ? 1.0 : 0.0);
        row.remove->setColor(SystemColors::tertiary(palette()));
        const QString problem = binding.isEnabled && recordingID_ != binding.id ? problemText(binding.id) : QString();
        row.problem->setText(problem);
        row.problem->setVisible(!problem.isEmpty());
    }
}

void KeyboardShortcutsView::recorderClicked(const QString& id) {
    if (recordingID_ == id) {
        stopRecording(true);  // a second click cancels
        return;
    }
    stopRecording(false);  // another row's recording ends without grabbing in between
    startRecording(id);
}

void KeyboardShortcutsView::startRecording(const QString& id) {
    recordingID_ = id;
    GlobalHotkeyMonitor::stopMonitoring();
    if (!eventMonitor_) {
        qApp->installEventFilter(this);
        eventMonitor_ = true;
    }
    refresh();
}

void KeyboardShortcutsView::stopRecording(bool resumeHotkeys) {
    const bool wasRecording = recordingID_.has_value();
    if (eventMonitor_) {
        qApp->removeEventFilter(this);
        eventMonitor_ = false;
        if (resumeHotkeys) GlobalHotkeyMonitor::restartMonitoring();
    }
    recordingID_.reset();
    if (wasRecording) refresh();
}

void KeyboardShortcutsView::remove(const QString& id) {
    manager_.disableBinding(id);
    // While a row records the hot keys stay released; the end of the recording grabs them again.
    if (!eventMonitor_) GlobalHotkeyMonitor::restartMonitoring();
}

void KeyboardShortcutsView::resetToDefaults() {
    manager_.setBindings(ShortcutManager::defaults());
    manager_.save();
    if (!eventMonitor_) GlobalHotkeyMonitor::restartMonitoring();
}

bool KeyboardShortcutsView::eventFilter(QObject* watched, QEvent* event) {
    if (!eventMonitor_) return false;
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claimed here, so that no shortcut of any window fires while a row records.
        event->accept();
        return true;
    case QEvent::KeyPress:
        // A key reaches its window first, then the widget with the focus: it counts once.
        if (watched->isWindowType()) keyDown(*static_cast<QKeyEvent*>(event));
        return true;
    case QEvent::KeyRelease:
        return true;
    default:
        return false;
    }
}

void KeyboardShortcutsView::keyDown(const QKeyEvent& event) {
    if (!recordingID_ || KeyCodes::isModifierKey(event.key())) return;
    const KeyCodes::Press press = KeyCodes::fromKeyEvent(event);
    if (press.keyCode == KeyCodes::kVK_Escape) {
        stopRecording(true);
        return;
    }
    const uint64_t modifiers = press.flags & KeyCodes::maskDeviceIndependent;
    if (modifiers == 0 || !press.keyCode) return;  // swallowed; the recording goes on
    const QString id = *recordingID_;
    manager_.updateBinding(id, *press.keyCode, modifiers);
    stopRecording(true);
}

void KeyboardShortcutsView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    stopRecording(true);  // the pane left the screen
}
