#include "Source/Features/Onboarding/WelcomeWindowController.h"

#include "Platform/Ui/WindowFit.h"
#include "Source/Features/Onboarding/OnboardingSettings.h"
#include "Views/Onboarding/WelcomeView.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStyle>
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
    if (window_->isMinimized()) window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    WindowFit::fitToWorkArea(window_.get());
    window_->show();
    window_->raise();
    window_->activateWindow();
    view_->setFocus(Qt::ActiveWindowFocusReason);
}

void WelcomeWindowController::build() {
    // Titled and closable; neither resizable nor minimisable. No title text.
    auto window = std::make_unique<QWidget>(
        nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window->setObjectName(QStringLiteral("WelcomeWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->setFixedSize(width, height);

    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<QWidget> target = window.get();
    view_ = new WelcomeView(
        [target] {
            if (target) target->close();
        },
        access_);
    layout->addWidget(view_);

    QRect area(0, 0, width, height);
    if (QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
    window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(width, height), area));
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
