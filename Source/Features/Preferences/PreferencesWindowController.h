#pragma once

#include <QObject>
#include <QPointer>

#include "Views/Shared/ScrollPositionKeeper.h"

#include <functional>
#include <memory>

class PreferencesRouter;
class PreferencesView;
class QWidget;

// The settings window: built once (ahead of use or on the first show), then shown and hidden
// any number of times; closing only hides it, so the next show brings back the same window on
// the same pane with its state. GUI thread only.
class PreferencesWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr int initialWidth = 1020;
    static constexpr int initialHeight = 640;
    static constexpr int minimumWidth = 720;
    static constexpr int minimumHeight = 560;
    // How long after launch the window is built ahead of use.
    static constexpr int buildAheadDelayMs = 8000;

    static PreferencesWindowController& shared();
    // A controller whose window follows the given router (the shared one for the shared controller).
    explicit PreferencesWindowController(PreferencesRouter& router, QObject* parent = nullptr);
    ~PreferencesWindowController() override;

    // The window; absent until built.
    QWidget* window() const { return window_.get(); }
    // Keeps the panes' scroll offsets across resizes; absent until built.
    ScrollPositionKeeper* scrollKeeper() const { return scrollKeeper_; }
    // The window's content; absent until built.
    PreferencesView* view() const { return view_; }

    // Builds the window when absent, then brings it to the front and activates it.
    void show();
    // Builds the window (1020 × 640 centred on the primary screen, never smaller than 720 × 560)
    // and lays it out without showing it.
    void build();
    // The start-up step: builds the window only when the menu panel is not visible and the window
    // does not exist yet; never shows it. Returns whether it built.
    bool buildAheadOfUse(bool menuPanelVisible);
    // Runs buildAheadOfUse after the delay, asking menuPanelVisible at that moment.
    void scheduleBuildAheadOfUse(std::function<bool()> menuPanelVisible, int delayMs = buildAheadDelayMs);

private:
    PreferencesRouter& router_;
    std::unique_ptr<QWidget> window_;
    QPointer<ScrollPositionKeeper> scrollKeeper_;
    PreferencesView* view_ = nullptr;
};
