#include "Source/Features/Preferences/PreferencesWindowController.h"

#include "Platform/Ui/WindowFit.h"
#include "Source/Features/Onboarding/ChangelogWindowController.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Views/Preferences/PreferencesView.h"
#include "Views/Shared/ScrollPositionKeeper.h"

#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStyle>
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
    if (window_->isMinimized()) window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    WindowFit::fitToWorkArea(window_.get());
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void PreferencesWindowController::build() {
    if (window_) return;
    // Titled, closable and resizable; no minimise button.
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                         Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    window->setObjectName(QStringLiteral("PreferencesWindow"));
    window->setWindowTitle(QStringLiteral("Settings"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setAttribute(Qt::WA_QuitOnClose, false);

    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    PreferencesView::Actions actions;
    actions.showChangelog = [] { ChangelogWindowController::shared().show(); };
    view_ = new PreferencesView(router_, actions);
    layout->addWidget(view_);
    window->setMinimumSize(minimumWidth, minimumHeight);

    // Centred on the primary screen's work area.
    QRect area(0, 0, initialWidth, initialHeight);
    if (QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
    window->setGeometry(
        QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(initialWidth, initialHeight), area));

    scrollKeeper_ = new ScrollPositionKeeper(window.get());

    // Lay the whole tree out now so that the first show has nothing left to build.
    window->ensurePolished();
    for (QWidget* child : window->findChildren<QWidget*>()) child->ensurePolished();
    layout->activate();
    for (QLayout* inner : window->findChildren<QLayout*>()) inner->activate();
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
