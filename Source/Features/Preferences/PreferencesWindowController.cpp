#include "Source/Features/Preferences/PreferencesWindowController.h"

#include "Platform/Ui/AppWindow.h"
#include "Source/Features/Onboarding/ChangelogWindowController.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Views/Preferences/PreferencesView.h"
#include "Views/Shared/ScrollPositionKeeper.h"

#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

PreferencesWindowController& PreferencesWindowController::shared() {
    static auto* controller = new PreferencesWindowController(PreferencesRouter::shared());
    return *controller;
}

PreferencesWindowController::PreferencesWindowController(PreferencesRouter& router, QObject* parent)
    : QObject(parent), router_(router) {}

PreferencesWindowController::~PreferencesWindowController() = default;

void PreferencesWindowController::show() {
    if (!window_) build();
    if (!window_) return;
    AppWindow::bringToFront(window_.get());
}

void PreferencesWindowController::build() {
    if (window_) return;
    // Titled, closable and resizable; no minimise button.
    auto window = AppWindow::make(QStringLiteral("PreferencesWindow"), AppWindow::Frame::resizable);
    window->setWindowTitle(QStringLiteral("Settings"));

    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PreferencesView::Actions actions;
    actions.showChangelog = [] { ChangelogWindowController::shared().show(); };
    view_ = new PreferencesView(router_, actions);
    // Below its minimum (a small screen) the content scrolls rather than being cut.
    layout->addWidget(AppWindow::scrollingWhenSmall(view_));
    window->setMinimumSize(minimumWidth, minimumHeight);

    // Centred on the primary screen's work area.
    AppWindow::centre(window.get(), QSize(initialWidth, initialHeight));

    scrollKeeper_ = new ScrollPositionKeeper(window.get());

    // Lay the whole tree out now so that the first show has nothing left to build.
    AppWindow::layOutAhead(window.get());
    window_ = std::move(window);
}

bool PreferencesWindowController::buildAheadOfUse(bool menuPanelVisible) {
    if (menuPanelVisible || window_) return false;
    build();
    return window_ != nullptr;
}

void PreferencesWindowController::scheduleBuildAheadOfUse(std::function<bool()> menuPanelVisible, int delayMs) {
    QTimer::singleShot(delayMs, this, [this, menuPanelVisible = std::move(menuPanelVisible)] {
        buildAheadOfUse(menuPanelVisible && menuPanelVisible());
    });
}
