#include "Views/Shared/WindowVisibilityReader.h"

#include <QEvent>
#include <QWindow>

WindowVisibilityReader::WindowVisibilityReader(bool* isVisible, QWidget* parent)
    : QWidget(parent), binding_(isVisible), reported_(isVisible ? *isVisible : false) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(0, 0);
    watchChain();
    scheduleReport();
}

WindowVisibilityReader::~WindowVisibilityReader() {
    for (const QPointer<QWidget>& w : std::as_const(chain_))
        if (w) w->removeEventFilter(this);
    if (handle_) handle_->removeEventFilter(this);
}

bool WindowVisibilityReader::hostWindowVisible() const {
    const QWidget* top = parentWidget() ? window() : nullptr;
    if (!top || !top->isVisible() || top->isMinimized()) return false;
    const QWindow* handle = top->windowHandle();
    if (!handle || handle->visibility() == QWindow::Hidden || handle->visibility() == QWindow::Minimized) return false;
    return handle->isExposed();
}

void WindowVisibilityReader::watchChain() {
    for (const QPointer<QWidget>& w : std::as_const(chain_))
        if (w) w->removeEventFilter(this);
    chain_.clear();
    for (QWidget* w = parentWidget(); w; w = w->parentWidget()) {
        w->installEventFilter(this);
        chain_.append(w);
        if (w->isWindow()) break;
    }
    watchWindowHandle();
}

void WindowVisibilityReader::watchWindowHandle() {
    QWindow* handle = parentWidget() ? window()->windowHandle() : nullptr;
    if (handle == handle_) return;
    if (handle_) handle_->removeEventFilter(this);
    disconnect(visibilityConnection_);
    handle_ = handle;
    if (handle_) {
        handle_->installEventFilter(this);
        visibilityConnection_ = connect(handle_, &QWindow::visibilityChanged, this, [this] { scheduleReport(); });
    }
}

bool WindowVisibilityReader::event(QEvent* event) {
    if (event->type() == QEvent::ParentChange) {
        watchChain();
        scheduleReport();
    }
    return QWidget::event(event);
}

bool WindowVisibilityReader::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ParentChange:
        watchChain();
        scheduleReport();
        break;
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
    case QEvent::WinIdChange:
        if (watched != handle_) watchWindowHandle();
        scheduleReport();
        break;
    case QEvent::Expose:
    case QEvent::PlatformSurface:
        if (watched == handle_) scheduleReport();
        break;
    default: break;
    }
    return false;
}

void WindowVisibilityReader::scheduleReport() {
    if (reportPending_) return;
    reportPending_ = true;
    QMetaObject::invokeMethod(this, &WindowVisibilityReader::report, Qt::QueuedConnection);
}

void WindowVisibilityReader::report() {
    reportPending_ = false;
    const bool visible = hostWindowVisible();
    const bool current = binding_ ? *binding_ : reported_;
    reported_ = visible;
    if (visible == current) return;
    if (binding_) *binding_ = visible;
    emit isVisibleChanged(visible);
}
