#include "Views/Shared/ScrollPositionKeeper.h"

#include "Platform/Core/Dispatch.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QScrollBar>
#include <QWidget>

ScrollPositionKeeper::ScrollPositionKeeper(QWidget* window) : QObject(window), window_(window) {
    Q_ASSERT(Dispatch::isMainThread());
    settle_.setSingleShot(true);
    settle_.setInterval(settleMs);
    connect(&settle_, &QTimer::timeout, this, [this] {
        restore();
        resizing_ = false;
        offsets_.clear();
        for (const QMetaObject::Connection& c : std::as_const(rangeConnections_)) disconnect(c);
        rangeConnections_.clear();
    });
    if (window_) window_->installEventFilter(this);
}

ScrollPositionKeeper::~ScrollPositionKeeper() {
    if (window_) window_->removeEventFilter(this);
}

bool ScrollPositionKeeper::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_ || event->type() != QEvent::Resize) return false;
    // The filter runs before the window lays out its new size: the offsets are still the old ones.
    if (!resizing_) {
        resizing_ = true;
        capture();
    }
    settle_.start();
    if (!restorePending_) {
        restorePending_ = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                restorePending_ = false;
                if (resizing_) restore();
            },
            Qt::QueuedConnection);
    }
    return false;
}

void ScrollPositionKeeper::capture() {
    offsets_.clear();
    for (const QMetaObject::Connection& c : std::as_const(rangeConnections_)) disconnect(c);
    rangeConnections_.clear();
    if (!window_) return;
    for (QAbstractScrollArea* area : window_->findChildren<QAbstractScrollArea*>()) {
        const QPoint offset(area->horizontalScrollBar()->value(), area->verticalScrollBar()->value());
        offsets_.insert(area, {QPointer<QAbstractScrollArea>(area), offset});
        // A layout that settles later changes the range and clamps the offset: put it back.
        QPointer<QAbstractScrollArea> guard(area);
        for (QScrollBar* bar : {area->horizontalScrollBar(), area->verticalScrollBar()}) {
            const bool horizontal = bar == area->horizontalScrollBar();
            rangeConnections_.append(connect(bar, &QScrollBar::rangeChanged, this, [this, guard, horizontal] {
                auto it = offsets_.constFind(guard.data());
                if (!resizing_ || !guard || it == offsets_.cend()) return;
                QScrollBar* b = horizontal ? guard->horizontalScrollBar() : guard->verticalScrollBar();
                b->setValue(horizontal ? it->second.x() : it->second.y());
            }));
        }
    }
}

void ScrollPositionKeeper::restore() {
    for (const auto& [area, offset] : std::as_const(offsets_)) {
        if (!area) continue;
        area->horizontalScrollBar()->setValue(offset.x());
        area->verticalScrollBar()->setValue(offset.y());
    }
}
