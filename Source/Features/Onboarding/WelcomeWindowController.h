#pragma once

#include "Platform/X11/InputAccess.h"

#include <QObject>

#include <memory>

class OnboardingSettings;
class QWidget;
class WelcomeView;

// The first-run welcome window: built on the first show, then kept; its buttons and its close
// button only close it. GUI thread only.
class WelcomeWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr int width = 540;
    static constexpr int height = 650;
    // How long after launch the first-start check runs.
    static constexpr int launchDelayMs = 600;

    static WelcomeWindowController& shared();
    explicit WelcomeWindowController(InputAccess& access = InputAccess::shared(), QObject* parent = nullptr);
    ~WelcomeWindowController() override;

    // Absent until the first show.
    QWidget* window() const { return window_.get(); }
    WelcomeView* view() const { return view_; }

    // Builds the window when absent, then brings it to the front and activates it.
    void show();
    // The start-up step: when "welcomeShown" is not set, stores it and then shows the window.
    // Returns whether it showed.
    bool showOnFirstLaunch(OnboardingSettings& settings);
    // Runs showOnFirstLaunch after the delay.
    void scheduleFirstLaunch(OnboardingSettings& settings, int delayMs = launchDelayMs);

private:
    void build();

    InputAccess& access_;
    std::unique_ptr<QWidget> window_;
    WelcomeView* view_ = nullptr;
};
