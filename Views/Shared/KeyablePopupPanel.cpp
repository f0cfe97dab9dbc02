#include "Views/Shared/KeyablePopupPanel.h"

#include "Platform/X11/KeyboardFocus.h"
#include "Platform/X11/WindowManagerCheck.h"
#include "Platform/X11/XServer.h"
#include "Platform/X11/XcbReply.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

KeyablePopupPanel::KeyablePopupPanel(const QRect& contentRect, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setGeometry(contentRect);
    setFocusPolicy(Qt::StrongFocus);
}

KeyablePopupPanel::~KeyablePopupPanel() {
    if (dragsFromAnywhere_ && qApp) qApp->removeEventFilter(this);
}

void KeyablePopupPanel::setDragsFromAnywhere(bool enabled) {
    if (dragsFromAnywhere_ == enabled) return;
    dragsFromAnywhere_ = enabled;
    if (enabled) {
        qApp->installEventFilter(this);
    } else {
        qApp->removeEventFilter(this);
        pressed_ = false;
        endDrag();
    }
}

namespace {
// The window that has the keyboard, where it is not one of ours; none where nobody has it.
xcb_window_t othersKeyboardWindow() {
    xcb_connection_t* c = XServer::connection();
    if (!c) return XCB_NONE;
    XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
        focus->focus == XServer::root())
        return XCB_NONE;
    for (QWindow* window : QGuiApplication::allWindows())
        if (window->handle() && xcb_window_t(window->winId()) == focus->focus) return XCB_NONE;
    return focus->focus;
}

// The top-level window of the program (the one with WM_STATE) that holds `window`, where it asks to
// be full screen; none otherwise.
xcb_window_t fullScreenClientHolding(xcb_connection_t* c, xcb_window_t window) {
    const std::vector<xcb_atom_t> atoms = XServer::atoms({"WM_STATE", "_NET_WM_STATE", "_NET_WM_STATE_FULLSCREEN"});
    const xcb_window_t root = XServer::root();
    for (int depth = 0; depth < 8 && window != XCB_NONE && window != root; ++depth) {
        XcbReply<xcb_get_property_reply_t> state(
            xcb_get_property_reply(c, xcb_get_property(c, 0, window, atoms[0], atoms[0], 0, 0), nullptr));
        if (state && state->type == atoms[0]) {
            XcbReply<xcb_get_property_reply_t> wmState(xcb_get_property_reply(
                c, xcb_get_property(c, 0, window, atoms[1], XCB_ATOM_ATOM, 0, 32), nullptr));
            if (!wmState || wmState->format != 32) return XCB_NONE;
            const auto* names = static_cast<const xcb_atom_t*>(xcb_get_property_value(wmState.p));
            const int count = xcb_get_property_value_length(wmState.p) / 4;
            return std::find(names, names + count, atoms[2]) != names + count ? window : XCB_NONE;
        }
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        window = tree ? tree->parent : XCB_NONE;
    }
    return XCB_NONE;
}

// A window manager keeps a full-screen window above the others (and above our strip) only while it
// or a window of its own has the keyboard: the panel that takes it goes over it as one of its own.
void openOverFullScreen(QWidget* panel, xcb_window_t keyboardBefore) {
    xcb_connection_t* c = XServer::connection();
    if (!c || keyboardBefore == XCB_NONE || !WindowManagerCheck::runs(c, XServer::root())) return;
    const xcb_window_t client = fullScreenClientHolding(c, keyboardBefore);
    if (client == XCB_NONE) return;
    // After Qt's own, which it writes at every show.
    const auto id = xcb_window_t(panel->winId());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 32, 1, &client);
    xcb_flush(c);
}
}  // namespace

void KeyablePopupPanel::makeKeyAndOrderFront() {
    show();
    if (!isActiveWindow()) openOverFullScreen(this, keyboardBefore_);
    raise();
    KeyboardFocus::activate(windowHandle());
}

bool KeyablePopupPanel::isKeyWindow() const { return isActiveWindow(); }

void KeyablePopupPanel::takeKeyBackAfter(QWidget* window) {
    if (!window || window == this || keyHolders_.contains(window)) return;
    keyHolders_.append(window);
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, [this] { takeKeyBack(); });
}

void KeyablePopupPanel::takeKeyBack() {
    keyHolders_.removeAll(nullptr);
    QPointer<KeyablePopupPanel> self(this);
    // After the closing window has handed its focus on; not while another dialog is still up.
    QTimer::singleShot(0, this, [self] {
        if (!self || !self->isVisible() || self->isActiveWindow()) return;
        if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) return;
        for (const QPointer<QWidget>& holder : std::as_const(self->keyHolders_))
            if (holder && holder->isVisible()) return;
        self->makeKeyAndOrderFront();
    });
}

bool KeyablePopupPanel::ownsWidget(QObject* object) const {
    if (!object || !object->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(object);
    return widget == this || widget->window() == this;
}

bool KeyablePopupPanel::keepsOwnDrag(QObject* object) {
    for (QObject* o = object; o; o = o->parent()) {
        if (qobject_cast<QAbstractSlider*>(o) || qobject_cast<QLineEdit*>(o) || qobject_cast<QAbstractSpinBox*>(o) ||
            qobject_cast<QTextEdit*>(o) || qobject_cast<QPlainTextEdit*>(o))
            return true;
        if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) break;
    }
    return false;
}

void KeyablePopupPanel::endDrag() {
    if (!dragging_) return;
    dragging_ = false;
    emit draggingWindowChanged(false);
}

bool KeyablePopupPanel::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::Hide && watched->isWidgetType() && keyHolders_.contains(static_cast<QWidget*>(watched))) {
        watched->removeEventFilter(this);
        keyHolders_.removeAll(static_cast<QWidget*>(watched));
        takeKeyBack();
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    if (cancelling_ || !ownsWidget(watched)) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint global = mouse->globalPosition().toPoint();

    switch (type) {
    case QEvent::MouseButtonPress:
        if (mouse->button() != Qt::LeftButton || keepsOwnDrag(watched)) return false;
        pressed_ = true;
        pressGlobal_ = global;
        startPos_ = pos();
        pressTarget_ = static_cast<QWidget*>(watched);
        return false;
    case QEvent::MouseMove:
        if (!pressed_ || !(mouse->buttons() & Qt::LeftButton)) return false;
        if (!dragging_) {
            if ((global - pressGlobal_).manhattanLength() < QApplication::startDragDistance()) return false;
            dragging_ = true;
            emit draggingWindowChanged(true);
            // The widget under the press lets go as if the pointer had left it, so the drag
            // never ends in a click.
            if (pressTarget_ && pressTarget_ != this) {
                QMouseEvent cancel(QEvent::MouseButtonRelease, QPointF(-1e6, -1e6), QPointF(-1e6, -1e6),
                                   Qt::LeftButton, Qt::NoButton, mouse->modifiers());
                cancelling_ = true;
                QCoreApplication::sendEvent(pressTarget_, &cancel);
                cancelling_ = false;
            }
        }
        move(startPos_ + (global - pressGlobal_));
        return true;
    case QEvent::MouseButtonRelease:
        if (mouse->button() != Qt::LeftButton || !pressed_) return false;
        pressed_ = false;
        pressTarget_.clear();
        if (dragging_) {
            move(startPos_ + (global - pressGlobal_));
            endDrag();
            return true;
        }
        return false;
    default: return false;
    }
}

void KeyablePopupPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Before the window is mapped: a window manager may give it the keyboard at once.
    if (!event->spontaneous()) keyboardBefore_ = othersKeyboardWindow();
}

void KeyablePopupPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    const xcb_window_t before = std::exchange(keyboardBefore_, 0);
    xcb_connection_t* c = XServer::connection();
    if (!before || !c) return;
    // Once the panel is unmapped and the server has let the keyboard fall back: to nobody, unless a
    // window manager gives it on or a window took it meanwhile.
    QTimer::singleShot(0, qApp, [before] {
        xcb_connection_t* c = XServer::connection();
        if (!c || WindowManagerCheck::runs(c, XServer::root())) return;
        XcbReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        if (!focus || (focus->focus != XCB_NONE && focus->focus != XCB_INPUT_FOCUS_POINTER_ROOT &&
                       focus->focus != XServer::root()))
            return;
        // The window may have gone meanwhile: its error is taken here.
        xcb_generic_error_t* error =
            xcb_request_check(c, xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_PARENT, before, XCB_CURRENT_TIME));
        std::free(error);
    });
}
