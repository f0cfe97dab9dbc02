#include "App/MerovaneApp.h"

#include "App/AppDelegate.h"
#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/AssetImages.h"
#include "Source/Features/Preferences/AppSettings.h"

#include <QApplication>
#include <QIcon>

MerovaneApp::MerovaneApp() {
    migrateLegacyDefaults(UserDefaults::standard(), []() -> UserDefaults& { return UserDefaults::legacy(); });
}

int MerovaneApp::migrateLegacyDefaults(UserDefaults& standard, const std::function<UserDefaults&()>& legacyDomain) {
    AppSettings settings(standard);
    if (settings.migratedLegacyDefaults.value() || standard.readFailure()) return 0;
    if (standard.startedFromDamagedFile()) {
        settings.migratedLegacyDefaults.set(true);
        return 0;
    }
    UserDefaults& legacy = legacyDomain();
    int copied = 0;
    for (const QString& key : legacy.keys()) {
        if (key == settings.migratedLegacyDefaults.key() || standard.contains(key)) continue;
        standard.set(key, legacy.value(key));
        ++copied;
    }
    settings.migratedLegacyDefaults.set(true);
    return copied;
}

void MerovaneApp::setUpIcons() {
    QApplication::setWindowIcon(AssetImages::applicationIcon());
    // Used only for names the desktop's own theme lacks; hicolor alone has no mime icons.
    if (QIcon::fallbackThemeName().isEmpty() || QIcon::fallbackThemeName() == QLatin1String("hicolor"))
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
}

int MerovaneApp::run() {
    AppDelegate::shared().applicationDidFinishLaunching();
    const int code = QApplication::exec();
    AppDelegate::shared().applicationWillTerminate();
    return code;
}
