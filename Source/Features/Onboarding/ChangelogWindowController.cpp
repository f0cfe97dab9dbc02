#include "Source/Features/Onboarding/ChangelogWindowController.h"

#include "Platform/Ui/AppWindow.h"
#include "Source/Features/Updates/UpdateManager.h"
#include "Views/Onboarding/ChangelogView.h"
#include "Views/Shared/ScrollPositionKeeper.h"

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
    AppWindow::bringToFront(window_.get());
}

void ChangelogWindowController::build() {
    // Titled, closable and resizable; no minimise button.
    auto window = AppWindow::make(QStringLiteral("ChangelogWindow"), AppWindow::Frame::resizable);

    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    view_ = new ChangelogView(selection_, updates_);
    layout->addWidget(view_);
    window->setMinimumSize(ChangelogView::minimumWidth, ChangelogView::minimumHeight);

    // Centred only when built; afterwards it reopens where the user left it.
    AppWindow::centre(window.get(), QSize(width, height));

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
