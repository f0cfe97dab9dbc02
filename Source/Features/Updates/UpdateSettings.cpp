#include "Source/Features/Updates/UpdateSettings.h"

UpdateSettings& UpdateSettings::shared() {
    static auto* settings = new UpdateSettings(UserDefaults::standard());
    return *settings;
}
