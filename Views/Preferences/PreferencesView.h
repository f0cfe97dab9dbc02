#pragma once

#include "Source/Features/Preferences/PreferencesTab.h"

#include <QWidget>

#include <functional>

class PreferencesRouter;
class QLabel;
class QListWidget;
class QScrollArea;

// The settings window's content: a sidebar of panes on the left, the selected pane under its
// title on the right. Follows the router both ways: choosing a row selects its tab, and a tab
// chosen elsewhere moves the sidebar selection, the title and the pane at once. Each change of
// tab builds the pane afresh; a pane keeps its state while it stays selected.
class PreferencesView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumContentWidth = 720;
    static constexpr int minimumContentHeight = 560;
    static constexpr int sidebarMinimumWidth = 180;
    static constexpr int sidebarIdealWidth = 196;
    static constexpr int sidebarMaximumWidth = 220;
    static constexpr int detailMinimumWidth = 440;
    static constexpr int sidebarRowHeight = 28;
    static constexpr int titleBarHeight = 52;

    // What panes ask of windows that views cannot reach themselves.
    struct Actions {
        std::function<void()> showChangelog;  // the changelog window on its newest release
    };

    explicit PreferencesView(PreferencesRouter& router, Actions actions = {}, QWidget* parent = nullptr);

    PreferencesRouter& router() const { return router_; }
    QListWidget* sidebar() const { return sidebar_; }
    QWidget* sidebarColumn() const { return sidebarColumn_; }
    QWidget* detailColumn() const { return detailColumn_; }
    QLabel* titleLabel() const { return title_; }
    QScrollArea* detailScrollArea() const { return scroll_; }
    // The pane shown in the detail area.
    QWidget* pane() const { return pane_; }
    // The tab whose pane is shown.
    PreferencesTab shownTab() const { return shownTab_; }

    // A fresh pane for a tab: the one place where each feature's pane is plugged in.
    static QWidget* makePane(PreferencesTab tab, const Actions& actions = {});
    // Whether a pane is the stand-in of a tab whose pane does not exist yet.
    static bool isPlaceholder(const QWidget* pane);

protected:
    void changeEvent(QEvent* event) override;

private:
    void applySidebarBackground();
    void present(PreferencesTab tab);
    void selectRow(PreferencesTab tab);

    PreferencesRouter& router_;
    Actions actions_;
    QWidget* sidebarColumn_ = nullptr;
    QListWidget* sidebar_ = nullptr;
    QWidget* detailColumn_ = nullptr;
    QLabel* title_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* pane_ = nullptr;
    PreferencesTab shownTab_ = PreferencesTab::general;
};
