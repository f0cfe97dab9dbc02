#pragma once

#include "Source/Features/Preferences/PreferencesTab.h"

#include <QObject>

// Which pane the settings window shows. A caller may choose a pane before it shows the window.
// The choice lives in memory only: every launch starts on General. GUI thread only.
class PreferencesRouter : public QObject {
    Q_OBJECT
public:
    static PreferencesRouter& shared();
    explicit PreferencesRouter(QObject* parent = nullptr);

    PreferencesTab selectedTab() const { return selectedTab_; }
    // Emits selectedTabChanged when the tab differs from the current one.
    void setSelectedTab(PreferencesTab tab);

signals:
    void selectedTabChanged(PreferencesTab tab);

private:
    PreferencesTab selectedTab_ = PreferencesTab::general;
};
