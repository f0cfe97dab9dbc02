#pragma once

#include <QString>
#include <QWidget>

class Bundle;
class LaunchAtLogin;
class QCheckBox;
class QComboBox;
class QLabel;
class SystemSettings;

// The General pane: which version runs on which system, launch at login, and the system monitor's
// update frequency and terminal grouping. Every control writes its setting at once.
class GeneralSettingsView : public QWidget {
    Q_OBJECT
public:
    explicit GeneralSettingsView(QWidget* parent = nullptr);
    GeneralSettingsView(SystemSettings& system, LaunchAtLogin& launchAtLogin, QWidget* parent = nullptr);

    // "Version <version> (<build>)", "1.0" and "1" standing in for what the bundle lacks.
    static QString versionText(const Bundle& bundle);

    QLabel* versionLabel() const { return version_; }
    QLabel* systemLabel() const { return system_; }
    QCheckBox* launchAtLoginToggle() const { return launchAtLogin_; }
    QComboBox* intervalPicker() const { return interval_; }
    QCheckBox* groupTerminalToggle() const { return groupTerminal_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setLaunchAtLogin(bool enabled);
    void showLaunchAtLogin();
    void showSettings();

    SystemSettings& systemSettings_;
    LaunchAtLogin& launch_;
    QLabel* version_ = nullptr;
    QLabel* system_ = nullptr;
    QCheckBox* launchAtLogin_ = nullptr;
    QComboBox* interval_ = nullptr;
    QCheckBox* groupTerminal_ = nullptr;
};
