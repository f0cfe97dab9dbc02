#include "Views/Clipboard/ClipboardCompositeState.h"

void ClipboardCompositeState::setSnapshot(const Snapshot& snapshot) {
    if (snapshot_ == snapshot) return;
    snapshot_ = snapshot;
    emit snapshotChanged();
}

void ClipboardCompositeState::clearPreview() {
    Snapshot next = snapshot_;
    next.preview.reset();
    next.previewOffset = QSizeF(0, 0);
    setSnapshot(next);
}

void ClipboardCompositeState::setShelfHeight(double height) {
    if (shelfHeight_ == height) return;
    shelfHeight_ = height;
    emit shelfHeightChanged();
}

void ClipboardCompositeState::setListHeight(double height) {
    if (listHeight_ == height) return;
    listHeight_ = height;
    emit listHeightChanged();
}

void ClipboardCompositeState::setGrowsUpward(bool upward) {
    if (growsUpward_ == upward) return;
    growsUpward_ = upward;
    emit growsUpwardChanged();
}

void ClipboardCompositeState::withAnimation(std::optional<Motion::Animation> animation,
                                            const std::function<void()>& body) {
    const std::optional<Motion::Animation> outer = transaction_;
    transaction_ = animation ? std::optional<Motion::Animation>(Motion::resolved(*animation)) : std::nullopt;
    body();
    transaction_ = outer;
}
