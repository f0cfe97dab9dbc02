#include "Views/Shared/KeyablePopupPanel.h"

#include "Platform/X11/KeyboardFocus.h"

#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QShowEvent>
#include <QTextEdit>
#include <QTimer>
#include <QWindow>

#include <utility>

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


void KeyablePopupPanel::makeKeyAndOrderFront() {
    show();
    if (!isActiveWindow()) KeyboardFocus::openOver(windowHandle(), keyboardBefore_);
    raise();
    KeyboardFocus::activate(windowHandle());
    KeyboardFocus::keepThroughWindowManagerChanges(windowHandle());
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
    if (!event->spontaneous()) keyboardBefore_ = KeyboardFocus::othersHolder();
}

void KeyablePopupPanel::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    KeyboardFocus::giveBackAfterClose(std::exchange(keyboardBefore_, 0));
}
