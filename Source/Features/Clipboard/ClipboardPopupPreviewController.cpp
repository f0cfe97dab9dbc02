#include "Source/Features/Clipboard/ClipboardPopupPreviewController.h"

#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Views/Shared/Motion.h"

#include <QTimer>

#include <algorithm>
#include <cmath>

namespace L = ClipboardPopupLayout;

ClipboardPopupPreviewController::ClipboardPopupPreviewController(ClipboardPopupController& popup)
    : popup_(popup), model_(popup.model()), state_(popup.compositeState()) {}

void ClipboardPopupPreviewController::pointerMoved() {
    if (!popup_.panel() || !popup_.panel()->isVisible()) return;
    const QPointF p = popup_.pointerLocation();
    if (const auto shelf = popup_.shelfFrameOnScreen(); shelf && L::contains(*shelf, p)) {
        previewHideWorkItem_.cancel();
        model_.clearHighlight();
        hidePreview(true);
        const int row = int(std::floor((L::maxY(*shelf) - p.y() - 6) / L::pinnedRowHeight));
        const std::vector<ClipboardItem> pinned = model_.pinnedItems();
        model_.setHoveredPinnedItemID(
            row >= 0 && row < int(pinned.size()) ? std::optional<QUuid>(pinned[size_t(row)].id) : std::nullopt);
        return;
    }
    model_.setHoveredPinnedItemID(std::nullopt);
    if (!popup_.pointerIsOnListOrPreview()) {
        if (!previewHideWorkItem_.isPending()) {
            previewHideWorkItem_.schedule(this, L::previewHideDelay, [this] {
                if (!popup_.pointerIsOnListOrPreview()) pointerLeftList();
            });
        }
    } else {
        previewHideWorkItem_.cancel();
    }
}

void ClipboardPopupPreviewController::mouseMovedToRow(int row) {
    if (row < 0 || row >= int(model_.history().size())) {
        pointerLeftList();
        return;
    }
    previewHideWorkItem_.cancel();
    if (row == model_.highlightedRow()) {
        if (!state_.snapshot().preview && !previewWorkItem_.isPending()) schedulePreview(row);
        return;
    }
    model_.applyHighlight(row);
    schedulePreview(row);
}

void ClipboardPopupPreviewController::pointerLeftList() {
    model_.clearHighlight();
    hidePreview(true);
    model_.setHoveredPinnedItemID(std::nullopt);
}

void ClipboardPopupPreviewController::selectRowUnderPointer() {
    if (!popup_.mainFrameOnScreen()) return;
    const auto list = popup_.listRectOnScreen();
    const QPointF p = popup_.pointerLocation();
    if (!list || !L::contains(*list, p)) {
        model_.clearHighlight();
        return;
    }
    const double y = model_.scrollViewportMinY() + (L::maxY(*list) - p.y());
    if (const auto row = L::rowAtContentY(model_.history(), y))
        mouseMovedToRow(*row);
    else
        model_.clearHighlight();
}

void ClipboardPopupPreviewController::scrollPhaseChanged(bool isScrolling) {
    if (isScrolling) {
        hidePreview(true);
        return;
    }
    QTimer::singleShot(0, this, [this] { scrollingEnded(); });
}

void ClipboardPopupPreviewController::scrollingEnded() {
    model_.setUserScrolling(false);
    if (!popup_.mainFrameOnScreen()) return;
    const auto list = popup_.listRectOnScreen();
    if (!list || !L::contains(*list, popup_.pointerLocation())) {
        pointerLeftList();
        return;
    }
    selectRowUnderPointer();
}

bool ClipboardPopupPreviewController::needsPreview(const ClipboardItem& item) const {
    return L::needsPreview(item, popup_.mainPanelSize().width());
}

void ClipboardPopupPreviewController::schedulePreview(int row) {
    previewWorkItem_.cancel();
    const auto& rows = model_.history();
    if (row >= 0 && row < int(rows.size()) && needsPreview(rows[size_t(row)])) {
        if (currentPreviewRow_ == row && state_.snapshot().preview) return;
        previewWorkItem_.schedule(this, ClipboardPopupController::previewDelay, [this, row] { showPreview(row); });
        return;
    }
    hidePreview(true);
}

void ClipboardPopupPreviewController::showPreview(int row) {
    const auto& rows = model_.history();
    if (row < 0 || row >= int(rows.size()) || !popup_.panel() || !popup_.panel()->isVisible()) return;
    const auto column = popup_.previewColumnFrameOnScreen();
    if (!column) return;
    if (currentPreviewRow_ == row && state_.snapshot().preview) return;
    const auto list = popup_.listRectOnScreen();
    const QPointF p = popup_.pointerLocation();
    if (!popup_.mainFrameOnScreen() || !list || !L::contains(*list, p)) return;

    hidePreview(false);
    currentPreviewRow_ = row;
    const ClipboardItem item = rows[size_t(row)];
    const auto screen = ClipboardPopupController::screenAt(p);
    if (!screen) return;
    const double screenHeight = screen->visibleFrame.height();

    const double bodyWidth = L::previewBodyWidth(item.content, column->width() - 2 * L::sideInset);
    const QStringList lines = L::infoLines(item);
    const double infoHeight = L::infoHeight(int(lines.size()));
    const double head = infoHeight + 1;
    const double measured = L::measureContentHeight(item.content, bodyWidth, std::max(column->height(), 800.0));
    const double contentHeight = L::contentHeight(item.content.kind(), measured, screenHeight, head, column->height());

    const QSizeF card(bodyWidth + 32, head + contentHeight + 32);
    const QSizeF mainOffset = state_.snapshot().mainOffset;
    const L::PreviewCard placed = L::previewCard(card, p.y(), *column, *popup_.layoutFrameOnScreen(), mainOffset);

    ClipboardCompositeState::Snapshot snapshot = state_.snapshot();
    snapshot.preview = ClipboardPreviewPresentation{item, lines, bodyWidth, contentHeight, infoHeight};
    snapshot.previewOffset = placed.previewOffset;
    snapshot.previewBirth = placed.birth;
    state_.withAnimation(std::nullopt, [&] { state_.setSnapshot(snapshot); });
}

void ClipboardPopupPreviewController::hidePreview(bool animated) {
    previewWorkItem_.cancel();
    previewHideWorkItem_.cancel();
    currentPreviewRow_ = -1;
    if (!state_.snapshot().preview) return;
    if (animated) {
        const Motion::Animation fade =
            Motion::reduceMotion() ? Motion::Animation::easeOut(0.1) : Motion::Animation::easeIn(0.12);
        state_.withAnimation(fade, [this] { state_.clearPreview(); });
    } else {
        state_.withAnimation(std::nullopt, [this] { state_.clearPreview(); });
    }
}
