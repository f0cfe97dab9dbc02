#include "Source/Features/Onboarding/ChangelogWindowController.h"

#include "Platform/Ui/WindowFit.h"
#include "Source/Features/Updates/UpdateManager.h"
#include "Views/Onboarding/ChangelogView.h"
#include "Views/Shared/ScrollPositionKeeper.h"

#include <QGuiApplication>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>

ChangelogWindowController& ChangelogWindowController::shared() {
    static auto* controller = new ChangelogWindowController(UpdateManager::shared());
    return *controller;
}

ChangelogWindowController::ChangelogWindowController(UpdateManager& updates, QObject* parent)
    : QObject(parent), updates_(updates) {}

ChangelogWindowController::~ChangelogWindowController() = default;

void ChangelogWindowController::show(const std::optional<QString>& version) {
    std::optional<QString> chosen = version;
    if (!chosen && !updates_.releases().isEmpty()) chosen = updates_.releases().front().version;
    selection_.setVersion(chosen);
    if (!window_) build();
    if (window_->isMinimized()) window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    WindowFit::fitToWorkArea(window_.get());
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void ChangelogWindowController::build() {
    // Titled, closable and resizable; no minimise button.
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                         Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    window->setObjectName(QStringLiteral("ChangelogWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose, false);
    window->setAttribute(Qt::WA_QuitOnClose, false);

    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new ChangelogView(selection_, updates_);
    layout->addWidget(view_);
    window->setMinimumSize(ChangelogView::minimumWidth, ChangelogView::minimumHeight);

    // Centred only when built; afterwards it reopens where the user left it.
    QRect area(0, 0, width, height);
    if (QScreen* screen = QGuiApplication::primaryScreen()) area = screen->availableGeometry();
    window->setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, QSize(width, height), area));

    scrollKeeper_ = new ScrollPositionKeeper(window.get());
    window_ = std::move(window);
    connect(view_, &ChangelogView::navigationTitleChanged, this, &ChangelogWindowController::updateTitle);
    updateTitle();
}

void ChangelogWindowController::updateTitle() {
    if (!window_) return;
    // The shown release names the window, with its date as the subtitle.
    const QString title = view_->navigationTitle();
    if (title.isEmpty()) {
        window_->setWindowTitle(QStringLiteral("What’s New"));
        return;
    }
    const QString subtitle = view_->navigationSubtitle();
    window_->setWindowTitle(subtitle.isEmpty() ? title : title + QStringLiteral(" — ") + subtitle);
}
