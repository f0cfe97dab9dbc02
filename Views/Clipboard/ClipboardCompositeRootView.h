#pragma once

#include "Views/Clipboard/ClipboardPreviewCompositeLayer.h"

#include <QPainterPath>
#include <QPointer>
#include <QSizeF>
#include <QWidget>

class ClipboardCompositeState;
class ClipboardPopupModel;
class ClipboardPopupRootView;
class GlassCardContainer;

// The whole content of the clipboard popup's panel: the main column at the snapshot's
// mainOffset (it jumps, never slides) and, while the snapshot has a preview, the preview layer at
// previewOffset. A preview of another item is a new layer that replays its entrance; a cleared
// preview fades out with the animation it was cleared with, or goes at once.
class ClipboardCompositeRootView : public QWidget {
    Q_OBJECT
public:
    static constexpr double containerSpacing = 10;

    ClipboardCompositeRootView(ClipboardPopupModel& model, ClipboardCompositeState& layout, QSizeF mainSize,
                               QWidget* parent = nullptr);

    ClipboardPopupRootView* mainColumn() const { return column_; }
    // The preview layer shown now (not one that is fading out), or nullptr.
    ClipboardPreviewCompositeLayer* previewLayer() const { return preview_; }
    GlassCardContainer* container() const { return container_; }

    // Everything drawn (cards, notice, preview card), in this view's coordinates.
    QPainterPath drawnShape() const;

signals:
    // The drawn parts moved, grew, appeared or went; also when views were added.
    void drawnShapeChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void snapshotChanged();

    ClipboardPopupModel& model_;
    ClipboardCompositeState& layout_;
    QSizeF mainSize_;
    GlassCardContainer* container_ = nullptr;
    QWidget* stage_ = nullptr;
    ClipboardPopupRootView* column_ = nullptr;
    QPointer<ClipboardPreviewCompositeLayer> preview_;
    QList<QPointer<ClipboardPreviewCompositeLayer>> leaving_;
};
