#include "Source/Features/Clipboard/ClipboardPopupModel.h"

#include "Platform/X11/KeyCodes.h"
#include "Source/Features/Clipboard/ClipboardManager.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

constexpr uint64_t kModifierMask = 0x1E0000;

bool isNavigationKey(int keyCode) {
    using namespace KeyCodes;
    switch (keyCode) {
    case kVK_Return: case kVK_ANSI_KeypadEnter: case kVK_Tab: case kVK_Escape: case kVK_Delete:
    case kVK_Home: case kVK_PageUp: case kVK_ForwardDelete: case kVK_End: case kVK_PageDown:
    case kVK_LeftArrow: case kVK_RightArrow: case kVK_DownArrow: case kVK_UpArrow:
        return true;
    default:
        return false;
    }
}

// The digit of a main-row digit key, 1 … 9.
std::optional<int> digitForKey(int keyCode) {
    using namespace KeyCodes;
    switch (keyCode) {
    case kVK_ANSI_1: return 1;
    case kVK_ANSI_2: return 2;
    case kVK_ANSI_3: return 3;
    case kVK_ANSI_4: return 4;
    case kVK_ANSI_5: return 5;
    case kVK_ANSI_6: return 6;
    case kVK_ANSI_7: return 7;
    case kVK_ANSI_8: return 8;
    case kVK_ANSI_9: return 9;
    default: return std::nullopt;
    }
}

// Whether the text starts with a printable character (not a control character).
bool startsPrintable(const QString& characters) {
    if (characters.isEmpty()) return false;
    char32_t first = characters.at(0).unicode();
    if (characters.at(0).isHighSurrogate() && characters.size() > 1 && characters.at(1).isLowSurrogate())
        first = QChar::surrogateToUcs4(characters.at(0), characters.at(1));
    return QChar::category(first) != QChar::Other_Control;
}

// The text without its last user-perceived character.
QString droppingLastCharacter(const QString& s) {
    if (s.isEmpty()) return s;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, s);
    finder.toEnd();
    const qsizetype previous = finder.toPreviousBoundary();
    return s.left(std::max<qsizetype>(0, previous));
}

// The query without the spaces and tabs around it (line breaks stay).
QString trimmedQuery(const QString& query) {
    qsizetype start = 0, end = query.size();
    while (start < end && (query[start] == u' ' || query[start] == u'\t')) ++start;
    while (end > start && (query[end - 1] == u' ' || query[end - 1] == u'\t')) --end;
    return query.mid(start, end - start);
}

}  // namespace

ClipboardPopupModel::ClipboardPopupModel(ClipboardManager& store, QObject* parent) : QObject(parent), store_(store) {}

void ClipboardPopupModel::open() {
    open_ = true;
    searchQuery_.clear();
    emit searchQueryChanged();
    refreshHistorySnapshot();
    disconnect(historyObserver_);
    historyObserver_ = connect(
        &store_, &ClipboardManager::historyChanged, this, [this] { refreshHistorySnapshot(); }, Qt::QueuedConnection);
    setHighlightedRow(-1);
    setKeyboardScrollTarget(std::nullopt);
    setHoveredPinnedItemID(std::nullopt);
    isUserScrolling_ = false;
    scrollViewportMinY_ = 0;
    hidePinLimitNotice();
}

void ClipboardPopupModel::close() {
    open_ = false;
    disconnect(historyObserver_);
    historyObserver_ = {};
    scrollViewportMinY_ = 0;
    isUserScrolling_ = false;
    setHighlightedRow(-1);
    setKeyboardScrollTarget(std::nullopt);
    setHoveredPinnedItemID(std::nullopt);
    hidePinLimitNotice();
}

// --- The list ---------------------------------------------------------------------------------

void ClipboardPopupModel::refreshHistorySnapshot() {
    const QString query = trimmedQuery(searchQuery_);
    std::vector<ClipboardItem> rows;
    rows.reserve(store_.history().size());
    for (const ClipboardItem& item : store_.history()) {
        if (item.isPinned) continue;
        if (!query.isEmpty()) {
            if (item.isConcealed) continue;
            if (!item.content.searchText().contains(query, Qt::CaseInsensitive)) continue;
        }
        rows.push_back(item);
    }
    history_ = std::move(rows);
    emit historySnapshotChanged();
}

void ClipboardPopupModel::reloadAfterMutation() {
    const int remembered = highlightedRow();
    refreshHistorySnapshot();
    if (highlightedRow() >= 0) return;
    if (remembered < 0 || history_.empty())
        setHighlightedRow(-1);
    else
        setHighlightedRow(std::min(remembered, int(history_.size()) - 1));
}

std::vector<ClipboardItem> ClipboardPopupModel::pinnedItems() const {
    std::vector<ClipboardItem> pinned;
    for (const ClipboardItem& item : store_.history())
        if (item.isPinned) pinned.push_back(item);
    return pinned;
}

int ClipboardPopupModel::rowOf(const QUuid& id) const {
    for (size_t i = 0; i < history_.size(); ++i)
        if (history_[i].id == id) return int(i);
    return -1;
}

void ClipboardPopupModel::setSearchQuery(const QString& query) {
    if (query == searchQuery_) return;
    searchQuery_ = query;
    refreshHistorySnapshot();
    clearHighlight();
    emit searchQueryChanged();
}

// --- Highlight --------------------------------------------------------------------------------

int ClipboardPopupModel::highlightedRow() const { return highlightedItemID_ ? rowOf(*highlightedItemID_) : -1; }

void ClipboardPopupModel::setHighlightedRow(int row) {
    if (row >= 0 && row < int(history_.size()))
        setHighlightedItemID(history_[size_t(row)].id);
    else
        setHighlightedItemID(std::nullopt);
}

void ClipboardPopupModel::applyHighlight(int row) { setHighlightedRow(row); }

void ClipboardPopupModel::clearHighlight() { setHighlightedItemID(std::nullopt); }

bool ClipboardPopupModel::setHighlight(int row) {
    if (row < 0 || row >= int(history_.size())) return false;
    setHighlightedRow(row);
    setKeyboardScrollTarget(history_[size_t(row)].id);
    return true;
}

int ClipboardPopupModel::moveHighlight(int delta) {
    const int count = int(history_.size());
    if (count == 0) return -1;
    const int r = highlightedRow();
    const int next = r >= 0 ? std::max(std::min(r + delta, count - 1), 0) : (delta < 1 ? count - 1 : 0);
    setHighlight(next);
    return next;
}

void ClipboardPopupModel::setHighlightedItemID(std::optional<QUuid> id) {
    if (highlightedItemID_ == id) return;
    highlightedItemID_ = id;
    emit highlightedItemIDChanged();
}

void ClipboardPopupModel::setKeyboardScrollTarget(std::optional<QUuid> id) {
    if (keyboardScrollTarget_ == id) return;
    keyboardScrollTarget_ = id;
    emit keyboardScrollTargetChanged();
}

void ClipboardPopupModel::setHoveredPinnedItemID(std::optional<QUuid> id) {
    if (hoveredPinnedItemID_ == id) return;
    hoveredPinnedItemID_ = id;
    emit hoveredPinnedItemIDChanged();
}

// --- Pins -------------------------------------------------------------------------------------

void ClipboardPopupModel::showPinLimitNotice() {
    setPinLimitNoticeVisible(true);
    pinLimitNoticeWorkItem_.schedule(this, pinLimitNoticeDuration, [this] { setPinLimitNoticeVisible(false); });
}

void ClipboardPopupModel::hidePinLimitNotice() {
    pinLimitNoticeWorkItem_.cancel();
    setPinLimitNoticeVisible(false);
}

void ClipboardPopupModel::setPinLimitNoticeVisible(bool visible) {
    if (pinLimitNoticeVisible_ == visible) return;
    pinLimitNoticeVisible_ = visible;
    emit pinLimitNoticeVisibleChanged();
}

bool ClipboardPopupModel::pinLimitReachedFor(const QUuid& id) const {
    // The store's own state of the item counts, not a row's copy of it.
    for (const ClipboardItem& item : store_.history())
        if (item.id == id) return !item.isPinned && store_.pinnedCount() >= pinLimit;
    return false;
}

bool ClipboardPopupModel::togglePinInPlace(const QUuid& id) {
    if (pinLimitReachedFor(id)) {
        showPinLimitNotice();
        return false;
    }
    clearHighlight();
    setHoveredPinnedItemID(std::nullopt);
    setKeyboardScrollTarget(std::nullopt);
    store_.togglePin(id);
    refreshHistorySnapshot();
    return true;
}

// --- Scrolling and the pointer ----------------------------------------------------------------

void ClipboardPopupModel::reportScrollPhase(bool isScrolling) {
    if (isScrolling == isUserScrolling_) return;
    if (isScrolling) {
        isUserScrolling_ = true;
        clearHighlight();
    }
    // The end is settled by the controller, which looks for the row under the pointer first.
    emit scrollPhaseChanged(isScrolling);
}

void ClipboardPopupModel::pointerOverItem(const QUuid& id, int rowHint) {
    if (isUserScrolling_) return;
    const int row = rowHint >= 0 && rowHint < int(history_.size()) && history_[size_t(rowHint)].id == id ? rowHint
                                                                                                         : rowOf(id);
    if (row >= 0) emit rowHovered(row);
}

void ClipboardPopupModel::pointerLeftItem(const QUuid& id) {
    if (highlightedItemID_ == id) clearHighlight();
}

// --- Keys -------------------------------------------------------------------------------------

ClipboardPopupModel::KeyResult ClipboardPopupModel::reduceKey(int keyCode, uint64_t flags, const QString& characters) {
    using namespace KeyCodes;
    const uint64_t mods = flags & kModifierMask;
    const int count = int(history_.size());
    const int row = highlightedRow();
    const bool rowInList = row >= 0 && row < count;
    const KeyResult consumed{true};
    const KeyResult ignored{false};
    auto effect = [](KeyEffect e, int r = -1) { return KeyResult{true, e, r}; };
    auto onRow = [&](KeyEffect e) { return rowInList ? effect(e, row) : consumed; };
    auto highlighted = [&](bool moved) { return moved ? effect(KeyEffect::previewHighlight, highlightedRow()) : consumed; };

    if (mods == 0 && keyCode == kVK_Delete && !searchQuery_.isEmpty()) {
        setSearchQuery(droppingLastCharacter(searchQuery_));
        return consumed;
    }
    if (mods == 0 && keyCode == kVK_Escape) {
        if (searchQuery_.isEmpty()) return effect(KeyEffect::dismiss);
        setSearchQuery(QString());
        return consumed;
    }
    if ((mods == 0 || mods == maskShift) && !isNavigationKey(keyCode) && startsPrintable(characters)) {
        setSearchQuery(searchQuery_ + characters);
        return consumed;
    }
    if (mods == maskShift) return ignored;

    if (mods == 0) {
        switch (keyCode) {
        case kVK_End: return highlighted(setHighlight(count - 1));
        case kVK_DownArrow: return highlighted(moveHighlight(1) >= 0);
        case kVK_UpArrow: return highlighted(moveHighlight(-1) >= 0);
        case kVK_Home: return highlighted(setHighlight(0));
        case kVK_Return:
        case kVK_ANSI_KeypadEnter: return onRow(KeyEffect::paste);
        default: return ignored;
        }
    }
    if (mods == maskCommand) {
        switch (keyCode) {
        case kVK_ANSI_Q: return effect(KeyEffect::quit);
        case kVK_ANSI_P: return onRow(KeyEffect::togglePin);
        case kVK_Return:
        case kVK_ANSI_KeypadEnter: return onRow(KeyEffect::pastePlain);
        case kVK_ANSI_Comma:
        case kVK_ANSI_Period: return effect(KeyEffect::openSettings);
        case kVK_Delete:
            if (rowInList) {
                store_.removeItem(history_[size_t(row)].id);
                reloadAfterMutation();
            }
            return consumed;
        default:
            if (const auto digit = digitForKey(keyCode))
                return *digit - 1 < count ? effect(KeyEffect::paste, *digit - 1) : consumed;
            return ignored;
        }
    }
    if (mods == (maskCommand | maskAlternate) && keyCode == kVK_Delete) return effect(KeyEffect::clearHistory);
    return ignored;
}
