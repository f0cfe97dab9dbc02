#pragma once

#include "Platform/Core/Dispatch.h"
#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QObject>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <vector>

class ClipboardManager;

// What the open clipboard popup shows and where its keyboard stands: the list (the store's
// unpinned items that match the query), the query, the highlighted row, the row the list
// scrolls to, the hovered pinned row, the pin-limit notice and whether the list is being
// scrolled. Keys that only change this state are handled here; the rest come back as an effect
// for the popup's controller. The views read this model and hand their clicks and hovers to it;
// the controller carries out the requests it publishes. GUI thread only; no widgets.
class ClipboardPopupModel : public QObject {
    Q_OBJECT
public:
    static constexpr int pinLimit = 5;
    static constexpr double pinLimitNoticeDuration = 2.2;

    // What a key asks of the popup beyond this model.
    enum class KeyEffect {
        none,
        dismiss,           // close with the animation
        paste,             // paste `row`
        pastePlain,        // paste `row` as plain text
        togglePin,         // pin or unpin `row` in place
        previewHighlight,  // the keyboard moved the highlight to `row`
        quit,
        openSettings,
        clearHistory,
    };
    struct KeyResult {
        bool consumed = false;
        KeyEffect effect = KeyEffect::none;
        int row = -1;
        bool operator==(const KeyResult&) const = default;
    };

    // The footer's commands.
    enum class Command { pastePlainHighlighted, pinHighlighted, clearHistory, openSettings, showAbout, quit };

    explicit ClipboardPopupModel(ClipboardManager& store, QObject* parent = nullptr);

    ClipboardManager& store() const { return store_; }

    // A new opening: empty query, fresh list, nothing highlighted, hovered or noticed; the list
    // follows the store until close().
    void open();
    void close();
    bool isOpen() const { return open_; }

    // --- The list ---
    const std::vector<ClipboardItem>& history() const { return history_; }
    void refreshHistorySnapshot();
    // Refreshes after an item was removed; the highlight stays on its item, else on its row.
    void reloadAfterMutation();
    // The store's pinned items, in order.
    std::vector<ClipboardItem> pinnedItems() const;
    // The row of the item in history(), -1 when it is not listed.
    int rowOf(const QUuid& id) const;

    QString searchQuery() const { return searchQuery_; }
    // A different query refreshes the list and clears the highlight.
    void setSearchQuery(const QString& query);

    // --- Highlight ---
    std::optional<QUuid> highlightedItemID() const { return highlightedItemID_; }
    // The highlighted row's index in history(), -1 when none.
    int highlightedRow() const;
    void setHighlightedRow(int row);
    // Highlights the row (a row outside the list clears the highlight); never scrolls.
    void applyHighlight(int row);
    void clearHighlight();
    // Keyboard movement: highlights the row and makes it the scroll target. Returns false when
    // the row is outside the list (nothing changes).
    bool setHighlight(int row);
    // Up from nothing starts at the bottom, down at the top; stays inside the list. Returns the
    // row highlighted, -1 for an empty list.
    int moveHighlight(int delta);
    std::optional<QUuid> keyboardScrollTarget() const { return keyboardScrollTarget_; }
    void setKeyboardScrollTarget(std::optional<QUuid> id);

    std::optional<QUuid> hoveredPinnedItemID() const { return hoveredPinnedItemID_; }
    void setHoveredPinnedItemID(std::optional<QUuid> id);

    // --- Pins ---
    bool pinLimitNoticeVisible() const { return pinLimitNoticeVisible_; }
    // Shows the notice until 2.2 s after the last request.
    void showPinLimitNotice();
    void hidePinLimitNotice();
    // Pinning this item would pass the limit.
    bool pinLimitReachedFor(const QUuid& id) const;
    // Pins or unpins the item while the popup stays open: the highlight, hover and scroll target
    // go and the list is refreshed. At the limit it shows the notice instead and returns false.
    bool togglePinInPlace(const QUuid& id);

    // --- Scrolling ---
    double scrollViewportMinY() const { return scrollViewportMinY_; }
    void setScrollViewportMinY(double y) { scrollViewportMinY_ = y; }
    bool isUserScrolling() const { return isUserScrolling_; }
    // The list's scroll phase: starting clears the highlight; both are published once.
    void reportScrollPhase(bool isScrolling);
    void setUserScrolling(bool isScrolling) { isUserScrolling_ = isScrolling; }

    // --- Keys ---
    // The popup's key table over this model. flags are modifier masks (Platform/X11/KeyCodes).
    KeyResult reduceKey(int keyCode, uint64_t flags, const QString& characters);

    // --- Requests from the views ---
    void requestPaste(int row, bool plain) { emit pasteRequested(row, plain); }
    void requestPastePinned(const QUuid& id) { emit pinnedPasteRequested(id); }
    void requestTogglePin(const QUuid& id) { emit pinToggleRequested(id); }
    void requestCommand(Command command) { emit commandRequested(command); }
    // The pointer moves over a listed item (its row as the view knows it); ignored while the
    // list scrolls.
    void pointerOverItem(const QUuid& id, int rowHint);
    // The pointer left a row: its highlight goes.
    void pointerLeftItem(const QUuid& id);
    // The pointer went somewhere that counts as off the list (the footer).
    void pointerOffList() { emit pointerLeftList(); }

signals:
    void historySnapshotChanged();
    void searchQueryChanged();
    void highlightedItemIDChanged();
    void keyboardScrollTargetChanged();
    void hoveredPinnedItemIDChanged();
    void pinLimitNoticeVisibleChanged();
    void scrollPhaseChanged(bool isScrolling);

    void pasteRequested(int row, bool plain);
    void pinnedPasteRequested(const QUuid& id);
    void pinToggleRequested(const QUuid& id);
    void commandRequested(ClipboardPopupModel::Command command);
    void rowHovered(int row);
    void pointerLeftList();

private:
    void setHighlightedItemID(std::optional<QUuid> id);
    void setPinLimitNoticeVisible(bool visible);

    ClipboardManager& store_;
    bool open_ = false;
    QMetaObject::Connection historyObserver_;
    std::vector<ClipboardItem> history_;
    QString searchQuery_;
    std::optional<QUuid> highlightedItemID_;
    std::optional<QUuid> keyboardScrollTarget_;
    std::optional<QUuid> hoveredPinnedItemID_;
    bool pinLimitNoticeVisible_ = false;
    WorkItem pinLimitNoticeWorkItem_;
    double scrollViewportMinY_ = 0;
    bool isUserScrolling_ = false;
};
