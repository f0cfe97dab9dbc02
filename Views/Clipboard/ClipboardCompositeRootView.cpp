#include "Views/Clipboard/ClipboardCompositeRootView.h"

#include "Source/Features/Clipboard/ClipboardPopupModel.h"
#include "Views/Clipboard/ClipboardCompositeState.h"
#include "Views/Clipboard/ClipboardPopupRootView.h"
#include "Views/Clipboard/ClipboardPreviewCompositeLayer.h"
#include "Views/Shared/GlassCardContainer.h"

#include <cmath>

ClipboardCompositeRootView::ClipboardCompositeRootView(ClipboardPopupModel& model, ClipboardCompositeState& layout,
                                                       QSizeF mainSize, QWidget* parent)
    : QWidget(parent), model_(model), layout_(layout), mainSize_(mainSize) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    container_ = new GlassCardContainer(containerSpacing, this);
    stage_ = new QWidget;
    stage_->setAttribute(Qt::WA_TranslucentBackground);
    container_->setContent(stage_);

    column_ = new ClipboardPopupRootView(model_, layout_, stage_);
    column_->resize(QSizeF(mainSize_.width(), mainSize_.height()).toSize());
    connect(column_, &ClipboardPopupRootView::drawnShapeChanged, this, &ClipboardCompositeRootView::drawnShapeChanged);
    connect(&layout_, &ClipboardCompositeState::snapshotChanged, this, &ClipboardCompositeRootView::snapshotChanged);
    snapshotChanged();
}

void ClipboardCompositeRootView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    container_->setGeometry(rect());
}

void ClipboardCompositeRootView::snapshotChanged() {
    const auto& snapshot = layout_.snapshot();
    leaving_.removeAll(nullptr);
    column_->move(int(std::lround(snapshot.mainOffset.width())), int(std::lround(snapshot.mainOffset.height())));

    const bool sameItem = preview_ && snapshot.preview && preview_->preview().item.id == snapshot.preview->item.id;
    if (preview_ && !sameItem) {
        ClipboardPreviewCompositeLayer* old = preview_;
        preview_.clear();
        if (const auto animation = layout_.transactionAnimation()) {
            leaving_ << old;
            connect(old, &QObject::destroyed, this, &ClipboardCompositeRootView::drawnShapeChanged,
                    Qt::QueuedConnection);
            old->removeAnimated(*animation);
        } else {
            old->hide();
            old->deleteLater();
        }
    }
    if (snapshot.preview) {
        if (!preview_) {
            preview_ = new ClipboardPreviewCompositeLayer(*snapshot.preview, snapshot.previewBirth, stage_);
            connect(preview_, &ClipboardPreviewCompositeLayer::drawnShapeChanged, this,
                    &ClipboardCompositeRootView::drawnShapeChanged);
        }
        const QPoint origin = ClipboardPreviewCompositeLayer::areaOrigin();
        preview_->move(int(std::lround(snapshot.previewOffset.width())) - origin.x(),
                       int(std::lround(snapshot.previewOffset.height())) - origin.y());
        preview_->show();
        preview_->raise();
    }
    emit drawnShapeChanged();
}

QPainterPath ClipboardCompositeRootView::drawnShape() const {
    QPainterPath shape = column_->drawnShape().translated(column_->pos());
    auto add = [&shape](ClipboardPreviewCompositeLayer* layer) {
        if (layer && layer->isVisible()) shape.addPath(layer->drawnShape().translated(layer->pos()));
    };
    add(preview_);
    for (const auto& layer : leaving_) add(layer);
    return shape;
}
