#pragma once

#include <QWidget>

class PowerManager;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

// The Power pane: the keep-awake switch, its mode ("preventSleepMode") and how long it lasts
// ("preventSleepMinutes").
class PowerSettingsView : public QWidget {
    Q_OBJECT
public:
    explicit PowerSettingsView(PowerManager& power, QWidget* parent = nullptr);

    // The status line under the switch for the manager's state (also used by tests).
    static QString statusText(const PowerManager& power);
    static QString durationTitle(int minutes);

private:
    void refresh();

    PowerManager& power_;
    QCheckBox* keepAwake_ = nullptr;
    QLabel* status_ = nullptr;
    QButtonGroup* modes_ = nullptr;
    QRadioButton* systemMode_ = nullptr;
    QRadioButton* displayMode_ = nullptr;
    QComboBox* duration_ = nullptr;
};
