#include "Source/Features/Preferences/AppSettings.h"

#include "Platform/Core/NotificationCenter.h"

AppSettings& AppSettings::shared() {
    static AppSettings* settings = [] {
        auto* s = new AppSettings(UserDefaults::standard());
        s->statusIcon.postOnChange(Notification::statusIconDidChange);
        return s;
    }();
    return *settings;
}
