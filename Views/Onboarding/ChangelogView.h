#pragma once

#include "Source/Features/Onboarding/PixelScene.h"
#include "Source/Features/Updates/Release.h"

#include <QWidget>

#include <optional>

class ChangelogSelection;
class QListWidget;
class QSplitter;
class QStackedWidget;
class ReleaseDetail;
class UpdateManager;

// The changelog window's content: a sidebar of every release, newest first ("v" and the version),
// and the selected release's detail, or "No release notes yet" when there is none. It follows the
// selection and the updater's list live.
class ChangelogView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumWidth = 820;
    static constexpr int minimumHeight = 580;
    static constexpr int sidebarMinimumWidth = 150;
    static constexpr int sidebarWidth = 230;  // ideal and largest

    ChangelogView(ChangelogSelection& selection, UpdateManager& updates, QWidget* parent = nullptr);

    // The release the detail shows.
    std::optional<Release> selected() const;
    // "Quorvin v" and the shown version, and its date; empty without a release.
    QString navigationTitle() const;
    QString navigationSubtitle() const;

    QListWidget* sidebar() const { return sidebar_; }
    // The detail on screen; nullptr while the placeholder shows.
    ReleaseDetail* detail() const { return detail_; }
    QWidget* placeholder() const { return placeholder_; }

signals:
    void navigationTitleChanged();

private:
    void rebuildList();
    void syncSidebarSelection();
    void showSelected();

    ChangelogSelection& selection_;
    UpdateManager& updates_;
    QSplitter* splitter_;
    QListWidget* sidebar_;
    QStackedWidget* stack_;
    QWidget* placeholder_;
    ReleaseDetail* detail_ = nullptr;
    std::optional<Release> shown_;
    std::optional<PixelScene::Theme> shownScene_;
    bool syncing_ = false;
};
