#include "Platform/Gui/Displays.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

namespace {
Displays* g_displays = nullptr;
}  // namespace

Displays& Displays::shared() {
    if (g_displays) return *g_displays;
    static auto* system = new QtDisplays;
    return *system;
}

void Displays::setShared(Displays* displays) { g_displays = displays; }

QtDisplays::QtDisplays(QObject* parent) {
    setParent(parent);
    if (!qGuiApp) return;
    connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen* screen) {
        watch(screen);
        scheduleChanged();
    });
    connect(qGuiApp, &QGuiApplication::screenRemoved, this, &QtDisplays::scheduleChanged);
    connect(qGuiApp, &QGuiApplication::primaryScreenChanged, this, &QtDisplays::scheduleChanged);
    for (QScreen* screen : QGuiApplication::screens()) watch(screen);
}

void QtDisplays::watch(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &QtDisplays::scheduleChanged);
    connect(screen, &QScreen::availableGeometryChanged, this, &QtDisplays::scheduleChanged);
}

void QtDisplays::scheduleChanged() {
    if (pending_) return;
    pending_ = true;
    // A hot-plug arrives as several signals; the screen list is whole once they are all in.
    QTimer::singleShot(0, this, [this] {
        pending_ = false;
        emit changed();
    });
}

std::vector<DisplayInfo> QtDisplays::screens() const {
    std::vector<DisplayInfo> list;
    if (!qGuiApp) return list;
    QScreen* primary = QGuiApplication::primaryScreen();
    auto add = [&list](QScreen* screen) {
        list.push_back({screen->name(), screen->geometry(), screen->availableGeometry(), std::nullopt});
    };
    if (primary) add(primary);
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary) add(screen);
    return list;
}
