#include "Source/Features/System/SystemSettings.h"

#include "Platform/Core/NotificationCenter.h"

SystemSettings& SystemSettings::shared() {
    static SystemSettings* settings = [] {
        auto* s = new SystemSettings(UserDefaults::standard());
        QObject::connect(&s->updateInterval, &SettingBase::changed, [] {
            NotificationCenter::defaultCenter().post(Notification::updateIntervalDidChange);
        });
        return s;
    }();
    return *settings;
}
