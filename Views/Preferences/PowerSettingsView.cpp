#include "Views/Preferences/PowerSettingsView.h"

#include "Source/Features/Power/PowerManager.h"
#include "Source/Features/Power/PowerSettings.h"
#include "Views/Preferences/SettingsForm.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

QString PowerSettingsView::durationTitle(int minutes) {
    if (minutes <= 0) return QStringLiteral("Never");
    if (minutes % 60 == 0) {
        const int hours = minutes / 60;
        return hours == 1 ? QStringLiteral("1 hour") : QString::asprintf("%d hours", hours);
    }
    return minutes == 1 ? QStringLiteral("1 minute") : QString::asprintf("%d minutes", minutes);
}

QString PowerSettingsView::statusText(const PowerManager& power) {
    if (power.isPending()) return QStringLiteral("Turning on…");
    if (power.isActive()) {
        if (auto until = power.expiresAt()) {
            const QTime time = until->toLocalTime().time();
            return QString::asprintf("On until %02d:%02d.", time.hour(), time.minute());
        }
        return QStringLiteral("On until you turn it off.");
    }
    if (power.isUnavailable()) {
        return QStringLiteral("Keep awake is unavailable: no power service of the desktop answered.");
    }
    return QStringLiteral("Off.");
}

PowerSettingsView::PowerSettingsView(PowerManager& power, QWidget* parent)
    : QWidget(parent), power_(power) {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(20, 20, 20, 20);
    page->setSpacing(6);

    // Keep awake.
    auto* keepBox = SettingsForm::section(page, QStringLiteral("Keep Awake"),
                            QStringLiteral("Stops the computer from going to sleep while you are away from it."));
    auto* keepLayout = new QVBoxLayout(keepBox);
    keepAwake_ = new QCheckBox(QStringLiteral("Keep awake"));
    status_ = new QLabel;
    status_->setWordWrap(true);
    status_->setForegroundRole(QPalette::PlaceholderText);
    keepLayout->addWidget(keepAwake_);
    keepLayout->addWidget(status_);
    connect(keepAwake_, &QCheckBox::clicked, this, [this] { power_.toggle(); });

    // Mode.
    auto* modeBox = SettingsForm::section(page, QStringLiteral("Mode"),
                            QStringLiteral("A change takes effect at once while keep awake is on."));
    auto* modeLayout = new QVBoxLayout(modeBox);
    systemMode_ = new QRadioButton(QStringLiteral("Keep the system awake; the display may turn off"));
    displayMode_ = new QRadioButton(QStringLiteral("Keep the system and the display awake"));
    modes_ = new QButtonGroup(this);
    modes_->addButton(systemMode_);
    modes_->addButton(displayMode_);
    modeLayout->addWidget(systemMode_);
    modeLayout->addWidget(displayMode_);
    connect(modes_, &QButtonGroup::buttonClicked, this, [this](QAbstractButton* button) {
        const auto mode = button == displayMode_ ? PowerManager::Mode::display : PowerManager::Mode::system;
        power_.settings().mode.set(mode);
    });

    // Duration.
    auto* durationBox = SettingsForm::section(page, QStringLiteral("Duration"),
                                QStringLiteral("Keep awake turns itself off after this time."));
    auto* durationLayout = new QFormLayout(durationBox);
    duration_ = new QComboBox;
    durationLayout->addRow(QStringLiteral("Turn off after"), duration_);
    connect(duration_, &QComboBox::activated, this, [this](int index) {
        power_.settings().minutes.set(duration_->itemData(index).toInt());
    });

    page->addStretch(1);

    connect(&power_, &PowerManager::stateChanged, this, &PowerSettingsView::refresh);
    connect(&power_.settings().mode, &SettingBase::changed, this, &PowerSettingsView::refresh);
    connect(&power_.settings().minutes, &SettingBase::changed, this, &PowerSettingsView::refresh);
    refresh();
}

void PowerSettingsView::refresh() {
    keepAwake_->setChecked(power_.isActive() || power_.isPending());
    status_->setText(statusText(power_));

    const auto mode = power_.mode();
    systemMode_->setChecked(mode == PowerManager::Mode::system);
    displayMode_->setChecked(mode == PowerManager::Mode::display);

    std::vector<int> choices = PowerManager::minuteChoices();
    const int minutes = power_.minutes();
    if (std::find(choices.begin(), choices.end(), minutes) == choices.end()) {
        choices.insert(std::upper_bound(choices.begin() + 1, choices.end(), minutes), minutes);
    }
    const QSignalBlocker blocker(duration_);
    duration_->clear();
    for (int choice : choices) duration_->addItem(durationTitle(choice), choice);
    duration_->setCurrentIndex(duration_->findData(minutes));
}
