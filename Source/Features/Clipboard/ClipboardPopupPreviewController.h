#pragma once

#include "Platform/Core/Dispatch.h"

#include <QObject>

class ClipboardCompositeState;
class ClipboardPopupController;
class ClipboardPopupModel;
struct ClipboardItem;

// The clipboard popup's pointer tracking and hover preview: highlights the row under the pointer
// (or the pin on the shelf), shows the preview card of an entry the row cannot show whole after a
// short delay in the room beside the list, and hides it when the pointer leaves the list and the
// card, when the list scrolls or the search changes. Owned by the popup's controller, whose panel,
// model and geometry it reads. GUI thread only.
class ClipboardPopupPreviewController : public QObject {
public:
    explicit ClipboardPopupPreviewController(ClipboardPopupController& popup);

    void pointerMoved();
    void mouseMovedToRow(int row);
    void pointerLeftList();
    void selectRowUnderPointer();
    // The list's scrolling began (the preview goes) or ended (the row under the pointer is taken).
    void scrollPhaseChanged(bool isScrolling);
    void schedulePreview(int row);
    void hidePreview(bool animated);
    void showPreview(int row);
    bool isPreviewPending() const { return previewWorkItem_.isPending(); }
    bool isPreviewHidePending() const { return previewHideWorkItem_.isPending(); }
    int currentPreviewRow() const { return currentPreviewRow_; }

private:
    void scrollingEnded();
    bool needsPreview(const ClipboardItem& item) const;

    ClipboardPopupController& popup_;
    ClipboardPopupModel& model_;
    ClipboardCompositeState& state_;
    WorkItem previewWorkItem_;
    int currentPreviewRow_ = -1;
    WorkItem previewHideWorkItem_;
};
