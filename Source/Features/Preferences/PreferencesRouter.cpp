#include "Source/Features/Preferences/PreferencesRouter.h"

PreferencesRouter& PreferencesRouter::shared() {
    static auto* router = new PreferencesRouter;
    return *router;
}

PreferencesRouter::PreferencesRouter(QObject* parent) : QObject(parent) {}

void PreferencesRouter::setSelectedTab(PreferencesTab tab) {
    if (tab == selectedTab_) return;
    selectedTab_ = tab;
    emit selectedTabChanged(tab);
}
