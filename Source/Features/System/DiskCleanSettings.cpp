#include "Source/Features/System/DiskCleanSettings.h"

DiskCleanSettings& DiskCleanSettings::shared() {
    static DiskCleanSettings* settings = new DiskCleanSettings(UserDefaults::standard());
    return *settings;
}
