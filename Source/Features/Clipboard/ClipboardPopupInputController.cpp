#include "Source/Features/Clipboard/ClipboardPopupInputController.h"

#include "Platform/Gui/Screens.h"
#include "Platform/X11/GlobalMouseMonitor.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace L = ClipboardPopupLayout;

ClipboardPopupInputController::ClipboardPopupInputController(ClipboardPopupController& popup) : popup_(popup) {}

ClipboardPopupInputController::~ClipboardPopupInputController() { remove(); }

void ClipboardPopupInputController::install() {
    if (installed_) return;
    installed_ = true;
    qApp->installEventFilter(this);
    GlobalHotkeyMonitor::setInterceptor([this](int keyCode, uint64_t flags, const QString& characters) {
        return popup_.handleTappedKey(keyCode, flags, characters);
    });
    // Presses in other programs' windows; the monitor is shared, so it is never stopped here.
    if (GlobalMouseMonitor::shared().start())
        globalMouse_ = connect(&GlobalMouseMonitor::shared(), &GlobalMouseMonitor::mouseDown, this,
                               [this](const QPoint& pos, Qt::MouseButton) { globalMouseDown(pos); });
}

void ClipboardPopupInputController::remove() {
    if (!installed_) return;
    installed_ = false;
    if (qApp) qApp->removeEventFilter(this);
    GlobalHotkeyMonitor::setInterceptor({});
    disconnect(globalMouse_);
    globalMouse_ = {};
}

bool ClipboardPopupInputController::pointInDrawnParts(const QPointF& point) const {
    if (const auto painted = popup_.paintedFrameOnScreen(); painted && L::contains(*painted, point)) return true;
    if (const auto preview = popup_.previewFrameOnScreen(); preview && L::contains(*preview, point)) return true;
    return false;
}

void ClipboardPopupInputController::globalMouseDown(const QPoint& globalPos) {
    if (!popup_.panel()) return;
    if (!pointInDrawnParts(Screens::fromQt(QPointF(globalPos)))) popup_.dismiss(false);
}

bool ClipboardPopupInputController::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWindowType()) return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseMove: popup_.pointerMoved(); break;
    case QEvent::Leave:
        if (popup_.panel() && watched == popup_.panel()->windowHandle()) popup_.pointerMoved();
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton) break;
        if (!popup_.panel()) break;
        if (pointInDrawnParts(Screens::fromQt(mouse->globalPosition()))) break;
        popup_.dismiss(false);
        return true;  // the click only closes the popup
    }
    default: break;
    }
    return QObject::eventFilter(watched, event);
}
