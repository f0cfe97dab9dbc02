#pragma once

#include "Source/Features/Onboarding/ChangelogSelection.h"
#include "Views/Shared/ScrollPositionKeeper.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

class ChangelogView;
class QWidget;
class UpdateManager;

// The "What’s New" window: built on the first show (920 × 660, centred), then kept and shown again
// where the user left it. Every show stores the version to show. GUI thread only.
class ChangelogWindowController : public QObject {
    Q_OBJECT
public:
    static constexpr int width = 920;
    static constexpr int height = 660;

    static ChangelogWindowController& shared();
    // A controller over the given updater (the shared one for the shared controller).
    explicit ChangelogWindowController(UpdateManager& updates, QObject* parent = nullptr);
    ~ChangelogWindowController() override;

    // Absent until the first show.
    QWidget* window() const { return window_.get(); }
    ChangelogView* view() const { return view_; }
    ScrollPositionKeeper* scrollKeeper() const { return scrollKeeper_; }
    ChangelogSelection& selection() { return selection_; }

    // Opens the window on that version, or on the newest release when absent.
    void show(const std::optional<QString>& version = std::nullopt);

private:
    void build();
    void updateTitle();

    UpdateManager& updates_;
    ChangelogSelection selection_;
    std::unique_ptr<QWidget> window_;
    ChangelogView* view_ = nullptr;
    QPointer<ScrollPositionKeeper> scrollKeeper_;
};
