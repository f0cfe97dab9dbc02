#pragma once

#include "Source/Features/Updates/UpdateManager.h"

#include <QString>
#include <QWidget>

#include <functional>

class Bundle;
class LaunchAtLogin;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class SystemSettings;
class UpdateSettings;

// The General pane: which version runs on which system, the updater's state and controls, launch
// at login, and the system monitor's update frequency and terminal grouping. Every control writes
// its setting at once; a settings file that could not be read is said here, since nothing is saved,
// and so is a program that no login entry can name.
class GeneralSettingsView : public QWidget {
    Q_OBJECT
public:
    // Over the shared settings and updater; showChangelog opens the changelog on its newest release.
    explicit GeneralSettingsView(std::function<void()> showChangelog, QWidget* parent = nullptr);
    GeneralSettingsView(SystemSettings& system, LaunchAtLogin& launchAtLogin, UpdateManager& updates,
                        UpdateSettings& updateSettings, std::function<void()> showChangelog,
                        QWidget* parent = nullptr);

    // The update row's text for a state of the updater.
    static QString updateStatus(const UpdateManager::State& state);

    // "Version <version> (<build>)", "1.0" and "1" standing in for what the bundle lacks.
    static QString versionText(const Bundle& bundle);

    QLabel* versionLabel() const { return version_; }
    QLabel* systemLabel() const { return system_; }
    QCheckBox* autoInstallToggle() const { return autoInstall_; }
    QLabel* updateStatusLabel() const { return status_; }
    QPushButton* installButton() const { return install_; }
    QPushButton* checkButton() const { return check_; }
    QPushButton* whatsNewButton() const { return whatsNew_; }
    QCheckBox* launchAtLoginToggle() const { return launchAtLogin_; }
    // Shown once turning launch at login on is refused because no login entry can name this program.
    QLabel* launchAtLoginNotice() const { return launchNotice_; }
    QComboBox* intervalPicker() const { return interval_; }
    QCheckBox* groupTerminalToggle() const { return groupTerminal_; }
    // The notice that the settings file could not be read and nothing is saved; null when it was read.
    QLabel* unreadableSettingsLabel() const { return unreadable_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setLaunchAtLogin(bool enabled);
    void showLaunchAtLogin();
    void showSettings();
    void showUpdates();

    SystemSettings& systemSettings_;
    LaunchAtLogin& launch_;
    UpdateManager& updates_;
    UpdateSettings& updateSettings_;
    std::function<void()> showChangelog_;
    QLabel* version_ = nullptr;
    QLabel* system_ = nullptr;
    QCheckBox* autoInstall_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* install_ = nullptr;
    QPushButton* check_ = nullptr;
    QPushButton* whatsNew_ = nullptr;
    QCheckBox* launchAtLogin_ = nullptr;
    QLabel* launchNotice_ = nullptr;
    QComboBox* interval_ = nullptr;
    QCheckBox* groupTerminal_ = nullptr;
    QLabel* unreadable_ = nullptr;
};
