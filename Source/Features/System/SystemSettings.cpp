#include "Source/Features/System/SystemSettings.h"

#include "Platform/Core/NotificationCenter.h"

SystemSettings& SystemSettings::shared() {
    static SystemSettings* settings = [] {
        auto* s = new SystemSettings(UserDefaults::standard());
        s->updateInterval.postOnChange(Notification::updateIntervalDidChange);
        return s;
    }();
    return *settings;
}
