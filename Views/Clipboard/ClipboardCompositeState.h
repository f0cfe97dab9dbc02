#pragma once

#include "Source/Features/Clipboard/ClipboardPreviewPresentation.h"
#include "Views/Shared/Motion.h"

#include <QObject>
#include <QPointF>
#include <QSizeF>

#include <functional>
#include <optional>

// The layout of the open clipboard popup that its controller writes and its views draw: where
// the main column and the preview card stand in the panel, what the preview shows, and the
// heights of the pinned block and the list block.
//
// A change made inside withAnimation() is published with that animation: views read
// transactionAnimation() while they handle the change signal and animate toward the new value
// (no animation outside such a block).
class ClipboardCompositeState : public QObject {
    Q_OBJECT
public:
    struct Snapshot {
        std::optional<ClipboardPreviewPresentation> preview;
        QSizeF mainOffset;     // main column from the panel's top-left corner (right, down)
        QSizeF previewOffset;  // preview card's area from the panel's top-left corner
        QPointF previewBirth{0, 0.5};  // fractions of the preview area the card grows from

        static Snapshot empty() { return {}; }
        bool operator==(const Snapshot&) const = default;
    };

    explicit ClipboardCompositeState(QObject* parent = nullptr) : QObject(parent) {}

    const Snapshot& snapshot() const { return snapshot_; }
    void setSnapshot(const Snapshot& snapshot);
    // No preview: the preview goes and its offset returns to zero; the rest stays.
    void clearPreview();

    // Height of the pinned block: 0 without pins, else 12 + 28 × min(pins, 5).
    double shelfHeight() const { return shelfHeight_; }
    void setShelfHeight(double height);
    // Height of the list block, the 30-point search line included.
    double listHeight() const { return listHeight_; }
    void setListHeight(double height);
    // The popup opened above the pointer (its cards sit at the column's bottom).
    bool growsUpward() const { return growsUpward_; }
    void setGrowsUpward(bool upward);

    // Runs body with its changes published under the animation (nullopt: without animation).
    void withAnimation(std::optional<Motion::Animation> animation, const std::function<void()>& body);
    const std::optional<Motion::Animation>& transactionAnimation() const { return transaction_; }

signals:
    void snapshotChanged();
    void shelfHeightChanged();
    void listHeightChanged();
    void growsUpwardChanged();

private:
    Snapshot snapshot_;
    double shelfHeight_ = 0;
    double listHeight_ = 0;
    bool growsUpward_ = true;
    std::optional<Motion::Animation> transaction_;
};
