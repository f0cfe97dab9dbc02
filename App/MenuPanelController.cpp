#include "App/MenuPanelController.h"

#include "Platform/X11/Compositing.h"
#include "Platform/X11/SelectionOwnerWatcher.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Gui/Displays.h"
#include "Platform/Gui/Screens.h"
#include "Platform/Ui/StatusBar.h"
#include "Platform/Ui/WindowFit.h"
#include "Source/Features/Power/PowerManager.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "Views/Shared/ScrollPositionKeeper.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/Zedi/ZediManager.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Shared/PopupEntrance.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLayout>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kEntranceScale = 0.92;
constexpr double kEntranceResponse = 0.32;
constexpr double kEntranceDamping = 1.0;
}  // namespace

MenuPanelController& MenuPanelController::shared() {
    static auto* controller = new MenuPanelController;
    return *controller;
}

MenuPanelController::MenuPanelController(std::function<MonitorView*()> makeView, QObject* parent)
    : QObject(parent), makeView_(std::move(makeView)) {
    if (!makeView_) {
        makeView_ = [] {
            return new MonitorView(SystemSampler::shared(), NetworkMonitor::shared(), PowerManager::shared(),
                                   ZediManager::shared(), defaultHooks());
        };
    }
}

MenuPanelController::~MenuPanelController() { delete panel_.data(); }

MonitorView::Hooks MenuPanelController::defaultHooks() {
    MonitorView::Hooks hooks;
    hooks.showMonitor = [](MonitorTab tab) { SystemMonitorPopupController::shared().show(tab); };
    hooks.showSettings = [] { PreferencesWindowController::shared().show(); };
    hooks.showToolbox = [] { ToolboxWindowController::shared().show(); };
    hooks.quit = [] { QCoreApplication::quit(); };
    return hooks;
}

void MenuPanelController::prewarm() {
    if (panel_) return;
    view_ = makeView_();
    const QSize size(MonitorView::panelWidth, view_->height());
    panel_ = new KeyablePopupPanel(QRect(QPoint(0, 0), size));
    panel_->setObjectName(QStringLiteral("MenuPanel"));
    panel_->setWindowTitle(QStringLiteral("Quorvin"));
    panel_->setWindowFlags(panel_->windowFlags() | Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
    if (Compositing::isActive()) panel_->setAttribute(Qt::WA_TranslucentBackground);
    else panel_->setAutoFillBackground(false);
    view_->setParent(panel_);
    view_->move(0, 0);
    panel_->setFixedSize(size);
    if (QLayout* layout = view_->layout()) layout->activate();
    fitToCompositor();
    if (!compositor_) {
        // A compositor that quits or starts while the panel is open.
        compositor_ = new SelectionOwnerWatcher(SelectionOwnerWatcher::forDefaultScreen("_NET_WM_CM_S"), this);
        connect(compositor_, &SelectionOwnerWatcher::ownerChanged, this, [this] {
            if (panel_) fitToCompositor();
        });
    }
    // Draw once off screen so that fonts, glyphs and layouts are ready for the first show.
    QPixmap scratch(size);
    scratch.fill(Qt::transparent);
    view_->render(&scratch, QPoint(), QRegion(), QWidget::DrawChildren);
}

// The panel lives as long as the program, the compositor may not: a translucent window that no
// compositor draws shows black around its cards, so it is cut to them and backed as an opaque one.
void MenuPanelController::fitToCompositor() {
    const bool cut = !panel_->testAttribute(Qt::WA_TranslucentBackground) || !Compositing::isActive();
    view_->setOpaqueBacking(cut);
    if (cut) panel_->setMask(view_->cardsRegion());
    else panel_->clearMask();
}

bool MenuPanelController::isVisible() const { return panel_ && panel_->isVisible(); }

void MenuPanelController::toggle(const QRect& statusItemRect, StatusItem* item) {
    if (isVisible()) {
        close();
        return;
    }
    if (outsideClose_.isValid() && outsideClose_.elapsed() < reopenGuardMs) return;
    show(statusItemRect, item);
}

QRectF MenuPanelController::panelFrame(const QRectF& item, const QSizeF& size, const QRectF& visible) {
    const double w = size.width(), h = size.height();
    const double minX = visible.left() + screenMargin;
    const double maxX = visible.right() - screenMargin - w;
    double x = item.center().x() - w / 2;
    x = maxX < minX ? minX : std::clamp(x, minX, maxX);

    const double itemBottom = item.top();            // upward space: the lower edge has the smaller y
    const double itemTop = item.top() + item.height();
    const double lowest = visible.top() + screenMargin;
    const double highest = visible.top() + visible.height() - screenMargin;  // upper limit of the panel's top
    double y = itemBottom - gap - h;                 // under the item
    if (y < lowest) {
        const double above = itemTop + gap;
        if (above + h <= highest) {
            y = above;
        } else {
            y = std::max(lowest, std::min(y, highest - h));
            y = std::max(y, visible.top());
        }
    }
    return QRectF(x, y, w, h);
}

void MenuPanelController::show(const QRect& statusItemRect, StatusItem* item) {
    prewarm();
    if (isVisible()) return;
    NotificationCenter::defaultCenter().post(Notification::menuPanelWillShow);

    QRect itemRect = statusItemRect;
    if (!itemRect.isValid()) itemRect = QRect(QCursor::pos(), QSize(1, 1));
    place(itemRect);
    forgetAnchor();
    anchor_ = item;
    if (item && item->bar()) {
        // The item moves, or the screen's work area it is kept in changes (after the item, at times).
        anchorMoves_ << connect(item->bar(), &StatusBar::placeChanged, this, &MenuPanelController::followAnchor)
                     << connect(&Displays::shared(), &Displays::changed, this, &MenuPanelController::followAnchor);
    }
    // A change of the screens that cuts the panel: it goes with its item, or closes.
    WindowFit::whenCutByScreens(panel_, [this] {
        if (anchor_) followAnchor();
        else close();
    });

    fitToCompositor();
    view_->refresh();
    panel_->winId();
    Compositing::leaveUnshadowed(panel_->windowHandle(), Compositing::WindowRole::dropdownMenu);
    panel_->makeKeyAndOrderFront();
    // The panel grows out of the point nearest the status item.
    const QRect frame = panel_->geometry();
    const double anchorX = (itemRect.center().x() - frame.x()) / std::max(1.0, double(frame.width()));
    const double anchorY = frame.y() >= itemRect.center().y() ? 0.0 : 1.0;
    PopupEntrance::run(view_, QPointF(anchorX, anchorY), kEntranceScale, kEntranceResponse, kEntranceDamping);
}

void MenuPanelController::place(const QRect& itemRect) {
    QScreen* screen = QGuiApplication::screenAt(itemRect.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QSizeF size(panel_->size());
    const QRectF upward = panelFrame(Screens::fromQt(QRectF(itemRect)), size,
                                     screen ? Screens::visibleFrame(screen) : Screens::fromQt(QRectF(itemRect)));
    const QRectF frame = Screens::toQt(upward);
    panel_->move(QPoint(int(std::lround(frame.x())), int(std::lround(frame.y()))));
    WindowFit::fitToWorkArea(panel_);
}

void MenuPanelController::followAnchor() {
    if (!isVisible()) return;
    if (!anchor_ || !anchor_->isVisible()) {
        close();
        return;
    }
    // Between tray and strip the item has no place for a moment: the panel waits for it.
    const QRect itemRect = anchor_->screenRect();
    if (!itemRect.isEmpty()) place(itemRect);
}

void MenuPanelController::forgetAnchor() {
    for (const QMetaObject::Connection& c : std::as_const(anchorMoves_)) disconnect(c);
    anchorMoves_.clear();
    anchor_.clear();
}

void MenuPanelController::close() {
    if (!isVisible()) return;
    // An entrance still running ends here: the next show starts its own.
    if (PopupEntrance::of(view_)) view_->setGraphicsEffect(nullptr);
    panel_->hide();
    forgetAnchor();
    NotificationCenter::defaultCenter().post(Notification::menuPanelDidHide);
}

void MenuPanelController::mouseDown(const QPoint& globalPos) {
    if (!isVisible()) return;
    if (panel_->frameGeometry().contains(globalPos)) return;
    if (StatusBar::system().containsScreenPoint(globalPos)) return;
    outsideClose_.start();
    close();
}
