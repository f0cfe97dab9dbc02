#include "Views/Preferences/GeneralSettingsView.h"

#include "Platform/Core/Bundle.h"
#include "Platform/Desktop/LaunchAtLogin.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/System/SystemIdentity.h"
#include "Source/Features/System/SystemSettings.h"
#include "Source/Features/Updates/UpdateSettings.h"
#include "Views/Preferences/SettingsForm.h"
#include "Views/Shared/AppIconView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

constexpr int kIconSide = 56;

// The program's icon at 56 × 56: the bundle's "AppIcon" artwork, else the gauge symbol in the
// secondary style.
QPixmap headerIcon(const QPalette& palette) {
    const double dpr = 2.0;
    QPixmap pixmap(int(kIconSide * dpr), int(kIconSide * dpr));
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage artwork = AppIconView::artwork(int(kIconSide * dpr));
    const QRectF frame(0, 0, kIconSide, kIconSide);
    if (!artwork.isNull()) {
        p.drawImage(frame, artwork);
    } else {
        Symbols::draw(p, frame, QStringLiteral("gauge.medium"), SystemColors::secondary(palette), kIconSide * 0.85);
    }
    return pixmap;
}

}  // namespace

GeneralSettingsView::GeneralSettingsView(std::function<void()> showChangelog, QWidget* parent)
    : GeneralSettingsView(SystemSettings::shared(), LaunchAtLogin::shared(), UpdateManager::shared(),
                          UpdateSettings::shared(), std::move(showChangelog), parent) {}

GeneralSettingsView::GeneralSettingsView(SystemSettings& system, LaunchAtLogin& launchAtLogin, UpdateManager& updates,
                                         UpdateSettings& updateSettings, std::function<void()> showChangelog,
                                         QWidget* parent)
    : QWidget(parent), systemSettings_(system), launch_(launchAtLogin), updates_(updates),
      updateSettings_(updateSettings), showChangelog_(std::move(showChangelog)) {
    QVBoxLayout* page = SettingsForm::page(this);

    // Which version runs on which system.
    auto* header = new QHBoxLayout(SettingsForm::section(page, QString()));
    header->setContentsMargins(12, 6 + 8, 12, 6 + 8);
    header->setSpacing(14);
    auto* icon = new QLabel;
    icon->setObjectName(QStringLiteral("appIcon"));
    icon->setFixedSize(kIconSide, kIconSide);
    icon->setPixmap(headerIcon(palette()));
    header->addWidget(icon, 0, Qt::AlignVCenter);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* name = new QLabel(QStringLiteral("Quorvin"));
    name->setFont(SystemFont::font(13, QFont::Bold));
    version_ = SettingsForm::secondaryLabel(versionText(Bundle::main()));
    version_->setFont(SystemFont::font(11));
    system_ = new QLabel(SystemIdentity::current().nameAndVersion());
    system_->setFont(SystemFont::font(11));
    QPalette tertiary = system_->palette();
    tertiary.setColor(QPalette::WindowText, SystemColors::tertiary(palette()));
    system_->setPalette(tertiary);
    texts->addWidget(name);
    texts->addWidget(version_);
    texts->addWidget(system_);
    header->addLayout(texts);
    header->addStretch(1);

    // Changes made now would be lost silently: say so where the settings are.
    if (const auto failure = systemSettings_.updateInterval.store().readFailure()) {
        unreadable_ = new QLabel(
            QStringLiteral("The settings could not be read and will not be saved until the file is readable (%1).")
                .arg(failure->message()));
        unreadable_->setObjectName(QStringLiteral("unreadableSettings"));
        unreadable_->setWordWrap(true);
        unreadable_->setTextFormat(Qt::PlainText);
        auto* notice = new QVBoxLayout(SettingsForm::section(page, QStringLiteral("Settings")));
        notice->addWidget(unreadable_);
    }

    // Updates.
    auto* updatesBox = new QVBoxLayout(SettingsForm::section(page, QStringLiteral("Updates")));
    updatesBox->addWidget(SettingsForm::toggleRow(
        QStringLiteral("arrow.down.circle"), QStringLiteral("Install updates automatically"),
        QStringLiteral("Checked at every launch; a new version installs and the app restarts on its own"),
        &autoInstall_));
    connect(autoInstall_, &QCheckBox::toggled, this, [this](bool on) { updateSettings_.autoInstall.set(on); });
    QWidget* statusLabel = SettingsForm::symbolLabel(QStringLiteral("sparkles"), updateStatus(updates_.state()));
    status_ = statusLabel->findChild<QLabel*>(QStringLiteral("title"));
    status_->setWordWrap(true);
    auto* buttons = new QWidget;
    auto* buttonsLayout = new QHBoxLayout(buttons);
    buttonsLayout->setContentsMargins(0, 0, 0, 0);
    buttonsLayout->setSpacing(8);
    install_ = new QPushButton(QStringLiteral("Install and Restart"));
    install_->setDefault(true);  // the prominent one
    check_ = new QPushButton(QStringLiteral("Check Now"));
    buttonsLayout->addWidget(install_);
    buttonsLayout->addWidget(check_);
    updatesBox->addWidget(SettingsForm::labelledRow(statusLabel, buttons));
    // Both return at once: the check and the installation run on their own.
    connect(install_, &QPushButton::clicked, this, [this] { updates_.installPending(); });
    connect(check_, &QPushButton::clicked, this, [this] { updates_.check(false); });
    whatsNew_ = new QPushButton(QStringLiteral("What’s New…"));
    auto* whatsNewRow = new QHBoxLayout;
    whatsNewRow->addWidget(whatsNew_);
    whatsNewRow->addStretch(1);
    updatesBox->addLayout(whatsNewRow);
    connect(whatsNew_, &QPushButton::clicked, this, [this] {
        if (showChangelog_) showChangelog_();
    });
    connect(&updates_, &UpdateManager::stateChanged, this, &GeneralSettingsView::showUpdates);
    connect(&updateSettings_.autoInstall, &SettingBase::changed, this, &GeneralSettingsView::showUpdates);

    // Startup.
    auto* startup = new QVBoxLayout(SettingsForm::section(page, QStringLiteral("Startup")));
    startup->addWidget(SettingsForm::toggleRow(QStringLiteral("power"), QStringLiteral("Launch at Login"),
                                               QStringLiteral("Start Quorvin automatically when you log in"),
                                               &launchAtLogin_));
    connect(launchAtLogin_, &QCheckBox::toggled, this, &GeneralSettingsView::setLaunchAtLogin);
    // Said once it is tried: every other refusal is silent, the switch showing what the entry says.
    launchNotice_ = SettingsForm::secondaryLabel(
        QStringLiteral("Quorvin can’t start at login from this folder: a login entry can’t hold its name, which "
                       "isn’t plain UTF-8 text. Move Quorvin.app to another folder, then turn this on."));
    launchNotice_->setObjectName(QStringLiteral("launchAtLoginNotice"));
    launchNotice_->setWordWrap(true);
    launchNotice_->hide();
    startup->addWidget(launchNotice_);

    // System monitoring.
    auto* monitoring = new QVBoxLayout(SettingsForm::section(
        page, QStringLiteral("System Monitoring"),
        QStringLiteral("Choosing a longer update frequency period improves energy usage on the Mac. Polling for "
                       "updates frequently is a costly operation.")));
    interval_ = new QComboBox;
    interval_->setAccessibleName(QStringLiteral("Update frequency"));
    for (UpdateInterval choice : UpdateIntervals::allCases)
        interval_->addItem(UpdateIntervals::label(choice), UpdateIntervals::rawValue(choice));
    monitoring->addWidget(SettingsForm::labelledRow(
        SettingsForm::symbolLabel(QStringLiteral("clock"), QStringLiteral("Update frequency")), interval_));
    // Stored first; the setting then tells the sampler, the network monitor and the process list.
    connect(interval_, &QComboBox::activated, this, [this](int index) {
        if (auto choice = UpdateIntervals::fromRawValue(interval_->itemData(index).toDouble()))
            systemSettings_.updateInterval.set(*choice);
    });
    monitoring->addWidget(SettingsForm::toggleRow(
        QString(), QStringLiteral("Group terminal commands under their terminal"),
        QStringLiteral("Processes are grouped under the app macOS holds responsible for them — Docker's virtual "
                       "machine under Docker. Off, commands you run in a terminal stay on their own."),
        &groupTerminal_));
    connect(groupTerminal_, &QCheckBox::toggled, this,
            [this](bool on) { systemSettings_.groupTerminalProcesses.set(on); });

    page->addStretch(1);

    connect(&systemSettings_.updateInterval, &SettingBase::changed, this, &GeneralSettingsView::showSettings);
    connect(&systemSettings_.groupTerminalProcesses, &SettingBase::changed, this, &GeneralSettingsView::showSettings);
    showSettings();
    showUpdates();
    showLaunchAtLogin();
}

QString GeneralSettingsView::updateStatus(const UpdateManager::State& state) {
    using Kind = UpdateManager::State::Kind;
    switch (state.kind()) {
    case Kind::idle: return QStringLiteral("Updates");
    case Kind::checking: return QStringLiteral("Checking…");
    case Kind::upToDate: return QStringLiteral("You’re up to date");
    case Kind::available: return QStringLiteral("Version ") + state.text() + QStringLiteral(" is available");
    case Kind::installing: return QStringLiteral("Installing…");
    case Kind::failed: return state.text();
    }
    return {};
}

void GeneralSettingsView::showUpdates() {
    using Kind = UpdateManager::State::Kind;
    const UpdateManager::State& state = updates_.state();
    status_->setText(updateStatus(state));
    install_->setVisible(state.kind() == Kind::available);
    check_->setEnabled(state.kind() != Kind::checking && state.kind() != Kind::installing);
    const QSignalBlocker block(autoInstall_);
    autoInstall_->setChecked(updateSettings_.autoInstall.value());
}

QString GeneralSettingsView::versionText(const Bundle& bundle) {
    const QString version = bundle.version().isEmpty() ? QStringLiteral("1.0") : bundle.version();
    const QString build = bundle.build().isEmpty() ? QStringLiteral("1") : bundle.build();
    return QStringLiteral("Version ") + version + QStringLiteral(" (") + build + QLatin1Char(')');
}

void GeneralSettingsView::showSettings() {
    const QSignalBlocker blockPicker(interval_);
    const QSignalBlocker blockGroup(groupTerminal_);
    interval_->setCurrentIndex(interval_->findData(UpdateIntervals::rawValue(systemSettings_.updateInterval.value())));
    groupTerminal_->setChecked(systemSettings_.groupTerminalProcesses.value());
}

void GeneralSettingsView::showLaunchAtLogin() {
    const QSignalBlocker block(launchAtLogin_);
    launchAtLogin_->setChecked(launch_.isEnabled());
}

void GeneralSettingsView::setLaunchAtLogin(bool enabled) {
    if (const FileWriter::Result failed = launch_.setEnabled(enabled)) {
        qWarning().noquote() << "Launch at login not changed:" << failed->message();
        if (enabled && !launch_.canNameExecutable()) launchNotice_->show();
    }
    showLaunchAtLogin();  // the switch shows what the entry really says
}

void GeneralSettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    showLaunchAtLogin();
}
