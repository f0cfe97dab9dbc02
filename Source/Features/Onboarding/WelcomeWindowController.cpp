#include "Source/Features/Onboarding/WelcomeWindowController.h"

#include "Platform/Ui/AppWindow.h"
#include "Source/Features/Onboarding/OnboardingSettings.h"
#include "Views/Onboarding/WelcomeView.h"

#include <QPointer>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

WelcomeWindowController& WelcomeWindowController::shared() {
    static auto* controller = new WelcomeWindowController;
    return *controller;
}

WelcomeWindowController::WelcomeWindowController(InputAccess& access, QObject* parent)
    : QObject(parent), access_(access) {}

WelcomeWindowController::~WelcomeWindowController() = default;

void WelcomeWindowController::show() {
    if (!window_) build();
    // A tray program has no dock presence to switch on while the window is open.
    AppWindow::bringToFront(window_.get());
    view_->setFocus(Qt::ActiveWindowFocusReason);
}

void WelcomeWindowController::build() {
    // Titled and closable; neither resizable nor minimisable. No title text.
    auto window = AppWindow::make(QStringLiteral("WelcomeWindow"), AppWindow::Frame::fixed);
    window->setFixedSize(width, height);

    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<QWidget> target = window.get();
    view_ = new WelcomeView(
        [target] {
            if (target) target->close();
        },
        access_);
    // A screen shorter than the window scrolls the view rather than squeezing its lines.
    layout->addWidget(AppWindow::scrollingWhenSmall(view_));

    AppWindow::centre(window.get(), QSize(width, height));
    window_ = std::move(window);
}

bool WelcomeWindowController::showOnFirstLaunch(OnboardingSettings& settings) {
    if (settings.welcomeShown.value()) return false;
    settings.welcomeShown.set(true);
    show();
    return true;
}

void WelcomeWindowController::scheduleFirstLaunch(OnboardingSettings& settings, int delayMs) {
    QTimer::singleShot(delayMs, this, [this, &settings] { showOnFirstLaunch(settings); });
}
