#include "Views/Clipboard/ClipboardPopupHostingController.h"

#include "Views/Clipboard/ClipboardCompositeRootView.h"
#include "Views/Clipboard/ClipboardPopupRootView.h"

#include <QAbstractScrollArea>
#include <QBackingStore>
#include <QPainterPath>
#include <QRegion>
#include <QTimer>
#include <QWindow>

ClipboardPopupHostingController::ClipboardPopupHostingController(QWidget* panel, bool masksToDrawnParts)
    : QWidget(panel), panel_(panel), masks_(masksToDrawnParts) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    settle_ = new QTimer(this);
    settle_->setSingleShot(true);
    settle_->setInterval(settleMs);
    connect(settle_, &QTimer::timeout, this, &ClipboardPopupHostingController::shrinkToDrawing);
}

void ClipboardPopupHostingController::setLayoutFrame(const QRect& frame, const QRect& drawn) {
    layoutFrame_ = frame;
    covered_ = QRect(QPoint(0, 0), frame.size());
    setGeometry(covered_);
    if (panel_) panel_->setGeometry(frame);
    const QRect first = drawn.adjusted(-drawnMargin, -drawnMargin, drawnMargin, drawnMargin)
                            .translated(-frame.topLeft())
                            .intersected(covered_);
    cover(first);
}

void ClipboardPopupHostingController::setRootView(ClipboardCompositeRootView* root) {
    root_ = root;
    root_->setParent(this);
    root_->setGeometry(rect());
    connect(root_, &ClipboardCompositeRootView::drawnShapeChanged, this,
            &ClipboardPopupHostingController::drawnShapeChanged);
    drawnShapeChanged();
}

void ClipboardPopupHostingController::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (root_) root_->setGeometry(rect());
}

void ClipboardPopupHostingController::suppressScrollers(QWidget* root) {
    if (!root) return;
    const auto areas = root->findChildren<QAbstractScrollArea*>();
    for (QAbstractScrollArea* area : areas) {
        area->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    if (auto* self = qobject_cast<QAbstractScrollArea*>(root)) {
        self->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        self->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
}

QRegion ClipboardPopupHostingController::regionOfPieces(const QPainterPath& path) {
    // Each closed piece on its own: filling the path as a whole would cut out where two pieces
    // overlap (a notice over a card).
    QRegion region;
    QPainterPath piece;
    auto flush = [&] {
        if (!piece.isEmpty()) region += QRegion(piece.toFillPolygon().toPolygon());
        piece.clear();
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            flush();
            piece.moveTo(e);
            break;
        case QPainterPath::LineToElement: piece.lineTo(e); break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                piece.cubicTo(e, path.elementAt(i + 1), path.elementAt(i + 2));
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement: break;
        }
    }
    flush();
    return region;
}

QRect ClipboardPopupHostingController::neededRect() const {
    if (!root_) return {};
    const QRect drawn = root_->drawnShape().boundingRect().toAlignedRect().translated(root_->pos());
    if (drawn.isEmpty()) return {};
    return drawn.adjusted(-drawnMargin, -drawnMargin, drawnMargin, drawnMargin).intersected(rect());
}

QRect ClipboardPopupHostingController::roomRect() const {
    if (!root_) return {};
    QRect room = neededRect();
    if (QWidget* column = root_->mainColumn()) room |= column->geometry().translated(root_->pos());
    // The preview layer reaches beyond its card as far as the card's spring may overshoot.
    if (QWidget* preview = root_->previewLayer()) room |= preview->geometry().translated(root_->pos());
    return room.intersected(rect());
}

bool ClipboardPopupHostingController::isPanelMapped() const {
    return panel_ && panel_->windowHandle() && panel_->windowHandle()->isVisible();
}

void ClipboardPopupHostingController::cover(const QRect& area) {
    if (area.isEmpty() || area == covered_ || !panel_) return;
    covered_ = area;
    // The tree stays where it is on screen: it moves inside the panel as much as the panel moves.
    move(-area.topLeft());
    panel_->setGeometry(QRect(layoutFrame_.topLeft() + area.topLeft(), area.size()));
    // Painted now, together with the new geometry: the server keeps the old picture at the old
    // corner until then. Not while the window is being painted (a drawing that changes as the
    // entrance renders it): a second painter on it fails, and the one under way with it; the
    // painting under way is followed by one of the new area.
    if (!isPanelMapped()) return;
    QBackingStore* store = panel_->backingStore();
    if (store && store->paintDevice() && store->paintDevice()->paintingActive())
        panel_->update();
    else
        panel_->repaint();
}

void ClipboardPopupHostingController::shrinkToDrawing() {
    const QRect needed = neededRect();
    if (needed.isEmpty() || !covered_.contains(needed)) return;
    cover(needed);
    if (masks_ && panel_ && root_) drawnShapeChanged();
}

void ClipboardPopupHostingController::drawnShapeChanged() {
    suppressScrollers(this);
    if (!panel_ || !root_) return;
    if (!layoutFrame_.isEmpty()) {
        const QRect needed = neededRect();
        if (!needed.isEmpty() && !covered_.contains(needed) && !isPanelMapped()) {
            cover(covered_ | needed);
        } else if (!needed.isEmpty() && !covered_.contains(needed)) {
            // Growing waits for nothing, so no drawing shows cut off; it takes the whole room of
            // what moves at once rather than a little at every frame.
            cover(covered_ | roomRect());
        }
        // Only a change restarts the wait: the tree also reports drawings that stayed as they were.
        if (covered_ == needed || needed.isEmpty())
            settle_->stop();
        else if (needed != lastNeeded_ || !settle_->isActive())
            settle_->start();
        lastNeeded_ = needed;
    }
    if (!masks_) return;
    const QRegion region = regionOfPieces(root_->drawnShape().translated(root_->pos() + pos()));
    panel_->setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
}
