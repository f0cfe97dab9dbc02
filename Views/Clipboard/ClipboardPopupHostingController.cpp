#include "Views/Clipboard/ClipboardPopupHostingController.h"

#include "Views/Clipboard/ClipboardCompositeRootView.h"

#include <QAbstractScrollArea>
#include <QPainterPath>
#include <QRegion>

ClipboardPopupHostingController::ClipboardPopupHostingController(QWidget* panel, bool masksToDrawnParts)
    : QWidget(panel), panel_(panel), masks_(masksToDrawnParts) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
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

void ClipboardPopupHostingController::drawnShapeChanged() {
    suppressScrollers(this);
    if (!masks_ || !panel_ || !root_) return;
    const QRegion region = regionOfPieces(root_->drawnShape().translated(root_->pos() + pos()));
    panel_->setMask(region.isEmpty() ? QRegion(0, 0, 1, 1) : region);
}
