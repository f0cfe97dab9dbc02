#include "Source/Features/System/SystemMonitorPopupController.h"

#include "Platform/Core/Dispatch.h"
#include "Platform/Gui/Screens.h"
#include "Platform/System/OwnMemory.h"
#include "Platform/Ui/WindowFit.h"
#include "Platform/X11/Compositing.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Views/DiskPane/MonitorDiskTab.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Shared/PopupEntrance.h"
#include "Views/Monitor/SystemMonitorView.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

SystemMonitorPopupController& SystemMonitorPopupController::shared() {
    static SystemMonitorPopupController* instance = new SystemMonitorPopupController();
    return *instance;
}

KeyablePopupPanel* SystemMonitorPopupController::panel() const { return panel_; }

SystemMonitorView* SystemMonitorPopupController::view() const {
    return panel_ ? panel_->findChild<SystemMonitorView*>() : nullptr;
}

QRectF SystemMonitorPopupController::centredFrame(const QSizeF& size, const QRectF& visibleFrame) {
    const double x = visibleFrame.left() + (visibleFrame.width() - size.width()) / 2;
    const double free = visibleFrame.height() - size.height();
    const double y = free >= 0 ? visibleFrame.top() + free * 2.0 / 3.0 : visibleFrame.bottom() - size.height();
    return QRectF(QPointF(x, y), size);
}

void SystemMonitorPopupController::show(MonitorTab tab) {
    if (panel_ && panel_->isVisible()) {
        panel_->makeKeyAndOrderFront();
        return;
    }

    auto* panel = new KeyablePopupPanel(QRect(0, 0, int(panelWidth), int(panelHeight)));
    panel->setWindowFlags(panel->windowFlags() | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
    panel->setDragsFromAnywhere(true);
    panel->setWindowTitle(QStringLiteral("Quorvin"));

    QPointer<SystemMonitorPopupController> self(this);
    auto* view = new SystemMonitorView(tab, [self] {
        if (self) self->dismiss();
    });
    view->setFixedWidth(int(panelWidth));
    view->setMinimumHeight(int(minimumHeight));
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    // Not opaque with a clear background where a compositor draws transparency; elsewhere the
    // window is cut to the cards, as the menu panel is.
    if (Compositing::isActive()) {
        panel->setAttribute(Qt::WA_TranslucentBackground);
    } else {
        panel->setAutoFillBackground(false);
        view->setOpaqueBacking(true);
        auto cut = [panel, view] { panel->setMask(view->cardsRegion()); };
        connect(view, &SystemMonitorView::cardsRegionChanged, panel, cut);
        cut();
    }

    panel->setMinimumSize(int(panelWidth), int(minimumHeight));
    panel->setMaximumSize(int(panelWidth), int(panelHeight));
    panel->resize(int(panelWidth), int(panelHeight));

    centreOnActiveScreen(panel);
    // A screen lower than the popup gets it shorter than its usual minimum.
    WindowFit::fitToWorkArea(panel);
    view->setMinimumHeight(std::min(view->minimumHeight(), panel->height()));
    // A change of the screens that cuts it closes it.
    WindowFit::whenCutByScreens(panel, [this, panel] {
        if (panel_ == panel) dismiss();
    });
    panel->installEventFilter(this);
    panel->winId();
    Compositing::leaveUnshadowed(panel->windowHandle(), Compositing::WindowRole::popupMenu);
    panel->makeKeyAndOrderFront();
    animateIn(panel, view);

    ProcessMonitor::shared().startProcessList();

    KeyablePopupPanel* previous = panel_;
    panel_ = panel;
    if (previous) {
        previous->removeEventFilter(this);
        previous->deleteLater();
    }
    emit panelChanged();
}

void SystemMonitorPopupController::centreOnActiveScreen(KeyablePopupPanel* panel) {
    const QPointF pointer = Screens::mouseLocation();
    QScreen* target = nullptr;
    for (QScreen* screen : QGuiApplication::screens()) {
        if (Screens::frame(screen).contains(pointer)) {
            target = screen;
            break;
        }
    }
    if (!target) target = QGuiApplication::primaryScreen();
    if (!target) return;
    const QRectF frame = centredFrame(QSizeF(panelWidth, panelHeight), Screens::visibleFrame(target));
    panel->move(Screens::toQt(frame).topLeft().toPoint());
}

void SystemMonitorPopupController::animateIn(KeyablePopupPanel* panel, QWidget* container) {
    panel->setWindowOpacity(1);
    if (!container) return;
    const QRectF frame = Screens::fromQt(QRectF(panel->frameGeometry()));
    PopupEntrance::run(container, PopupEntrance::anchorAt(Screens::mouseLocation(), frame), 0.92, 0.32, 1.0);
}

void SystemMonitorPopupController::dismiss() {
    if (!panel_) return;
    KeyablePopupPanel* panel = panel_;
    panel_ = nullptr;
    panel->removeEventFilter(this);
    panel->close();
    panel->deleteLater();
    ProcessMonitor::shared().stopProcessList();
    MonitorDiskTab::shared().clearInspectedItem();
    // Once the popup's widgets are deleted and a list refresh under way has been dropped, the
    // pages they held go back to the system.
    Dispatch::mainAfter(releaseDelay, this, [] { OwnMemory::returnFreePages(); });
    // This platform has no activation policy to return to: a tray program never shows in a dock.
    emit panelChanged();
}

bool SystemMonitorPopupController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == panel_ && event->type() == QEvent::WindowDeactivate) windowDidResignKey();
    return QObject::eventFilter(watched, event);
}

void SystemMonitorPopupController::windowDidResignKey() {
    QPointer<SystemMonitorPopupController> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (self) self->decideAfterResignKey();
        },
        Qt::QueuedConnection);
}

void SystemMonitorPopupController::decideAfterResignKey() {
    KeyablePopupPanel* panel = panel_;
    if (!panel) return;
    const bool leftDown = QGuiApplication::mouseButtons() & Qt::LeftButton;
    if (panel->isDraggingWindow() && leftDown) return;
    if (leftDown && panel->frameGeometry().contains(QCursor::pos())) {
        panel->makeKeyAndOrderFront();
        return;
    }
    if (panel->isActiveWindow()) return;
    // A sheet, dialog or menu of the panel's own, or any modal window of the application: the
    // panel stays, and takes the key back when it closes.
    if (QWidget* holder =
            QApplication::activePopupWidget() ? QApplication::activePopupWidget() : QApplication::activeModalWidget()) {
        panel->takeKeyBackAfter(holder);
        return;
    }
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top == panel || !top->isVisible()) continue;
        for (QWidget* p = top->parentWidget(); p; p = p->parentWidget()) {
            if (p == panel) {
                panel->takeKeyBackAfter(top);
                return;
            }
        }
    }
    dismiss();
}
