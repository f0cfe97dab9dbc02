#pragma once

#include "Platform/Core/Dispatch.h"
#include "Platform/Desktop/SleepInhibitor.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class PowerSettings;
class UserDefaults;

// Keep-awake: while active, holds the desktop's sleep inhibitors chosen by the mode setting
// ("system": the computer stays awake, the display may sleep; "display": the display stays on
// too) for the minutes setting (0: until switched off). Released on switch-off, expiry and quit;
// a change of either setting while active starts again with it. GUI thread only.
class PowerManager : public QObject {
    Q_OBJECT
public:
    enum class Mode { system, display };
    static QString rawValue(Mode mode);
    static std::optional<Mode> modeFromRawValue(const QString& raw);

    // The durations offered, in minutes; 0 is no limit.
    static const std::vector<int>& minuteChoices();

    static PowerManager& shared();
    // Over the settings in `defaults`; secondsPerMinute shortens the expiry in tests.
    PowerManager(std::unique_ptr<SleepInhibitor> inhibitor, UserDefaults& defaults,
                 double secondsPerMinute = 60.0, QObject* parent = nullptr);
    ~PowerManager() override;

    PowerSettings& settings() const { return *settings_; }
    Mode mode() const;   // the stored mode; an unknown value reads as "system"
    int minutes() const; // the stored minutes; negative or non-whole values read as 0

    bool isActive() const { return active_; }
    // Asked the services and waiting for their answer.
    bool isPending() const { return pending_; }
    // The last switch-on found no service that keeps the computer awake.
    bool isUnavailable() const { return unavailable_; }
    // When an active keep-awake ends by itself; absent without a limit or when off.
    std::optional<QDateTime> expiresAt() const { return expiresAt_; }

    void activate();
    void deactivate();
    void toggle();
    // Releases at once, waiting for the services (connected to the application's quit).
    void prepareForQuit();

signals:
    void stateChanged();

private:
    void begin();
    void granted(quint64 generation, std::optional<SleepInhibitor::Handle> handle);
    void release(bool wait);
    void settingChanged();

    std::unique_ptr<SleepInhibitor> inhibitor_;
    std::unique_ptr<PowerSettings> settings_;
    double secondsPerMinute_;
    bool active_ = false;
    bool pending_ = false;
    bool unavailable_ = false;
    std::optional<QDateTime> expiresAt_;
    quint64 generation_ = 0;
    std::optional<SleepInhibitor::Handle> handle_;
    WorkItem expiry_;
};
