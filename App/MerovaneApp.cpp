#include "App/MerovaneApp.h"

#include "App/AppDelegate.h"
#include "Platform/Core/UserDefaults.h"

#include <QApplication>

MerovaneApp::MerovaneApp() { migrateLegacyDefaults(UserDefaults::standard(), UserDefaults::legacy()); }

int MerovaneApp::migrateLegacyDefaults(UserDefaults& standard, UserDefaults& legacy) {
    static const QString migratedKey = QStringLiteral("migratedLegacyDefaults");
    if (standard.boolValue(migratedKey).value_or(false)) return 0;
    int copied = 0;
    for (const QString& key : legacy.keys()) {
        if (key == migratedKey || standard.contains(key)) continue;
        standard.set(key, legacy.value(key));
        ++copied;
    }
    standard.setBool(migratedKey, true);
    return copied;
}

int MerovaneApp::run() {
    AppDelegate::shared().applicationDidFinishLaunching();
    const int code = QApplication::exec();
    AppDelegate::shared().applicationWillTerminate();
    return code;
}
