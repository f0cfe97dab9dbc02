#include "App/AppDelegate.h"

#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "App/MenuPanelController.h"
#include "Source/Features/Preferences/StatusIcon.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/X11/GlobalMouseMonitor.h"
#include "Platform/X11/KeyCodes.h"
#include "Platform/X11/KeyboardFocus.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Ui/StatusBar.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Source/Features/MenuBarPet/MenuBarPetController.h"
#include "Source/Features/Onboarding/OnboardingSettings.h"
#include "Source/Features/Onboarding/ChangelogWindowController.h"
#include "Source/Features/Onboarding/WelcomeWindowController.h"
#include "Source/Features/Preferences/AppSettings.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Views/Shared/ScrollPositionKeeper.h"
#include "Source/Features/ScreenDimmer/ScreenDimmer.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/Updates/UpdateManager.h"
#include "Source/Features/Updates/UpdateToastController.h"
#include "Source/Features/Widgets/MenuBarWidgetController.h"
#include "Source/Features/Zedi/ZediManager.h"
#include "Views/Shared/KeyablePopupPanel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

Q_LOGGING_CATEGORY(lcApp, "com.pelwick.Quorvin.App", QtInfoMsg)

AppDelegate& AppDelegate::shared() {
    static auto* delegate = new AppDelegate;
    return *delegate;
}

void AppDelegate::applicationDidFinishLaunching() {
    if (launched_) return;
    launched_ = true;

    // 1. A menu-bar program: no window of its own keeps it running or ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    // 2. The metric log, the screen dimmer.
    MetricArchive::shared().trim();
    ScreenDimmer::shared();

    // 3. Clipboard history and the metrics engine.
    ClipboardManager::shared().startMonitoring();
    NetworkMonitor::shared().start();
    SystemSampler::shared().start();
    ProcessMonitor::shared().startHistories();

    // 4. Our modal windows take the keyboard where no window manager gives it; global hot keys, the
    // pet as its setting says, and the updater: the toast after an update, the launch check and the
    // six-hour timer.
    KeyboardFocus::install();
    GlobalHotkeyMonitor::startMonitoring();
    ClipboardPopupController::install();
    MenuBarPetController::shared().applySetting();
    UpdateToastController::shared().setWhatsNewHandler(
        [](const QString& version) { ChangelogWindowController::shared().show(version); });
    connect(&UpdateManager::shared(), &UpdateManager::toastRequested, this,
            [](const QString& version) { UpdateToastController::shared().show(version); });
    UpdateManager::shared().start();

    // 5. The status item.
    statusItem_ = StatusBar::system().addItem();
    statusItem_->setToolTip(QStringLiteral("Quorvin"));
    updateStatusIcon();
    // Every item of ours opens the menu panel: the widgets too.
    connect(&StatusBar::system(), &StatusBar::itemClicked, this,
            [this](StatusItem* item, const QRect& rect, Qt::MouseButton button) { statusItemClicked(item, rect, button); });
    connect(&StatusBar::system(), &StatusBar::appearanceChanged, this, &AppDelegate::updateStatusIcon);
    // The pet walks around the strip, which grows and shrinks with the widgets.
    MenuBarPetController::shared().followBar(StatusBar::system());

    // 6. Icon changes, and the widget status items.
    connect(&AppSettings::shared().statusIcon, &SettingBase::changed, this, &AppDelegate::updateStatusIcon);
    MenuBarWidgetController::shared().rebuild();

    // 7. What closes the menu panel.
    installEventMonitors();
    ZediManager::setOpenSettingsHandler([] {
        NotificationCenter::defaultCenter().post(Notification::dismissPopover);
        PreferencesRouter::shared().setSelectedTab(PreferencesTab::zedi);
        PreferencesWindowController::shared().show();
    });

    // 8. The welcome window at first start; the menu panel ready for the first click; the settings
    // window built ahead of use.
    WelcomeWindowController::shared().scheduleFirstLaunch(OnboardingSettings::shared());
    Dispatch::main([] { MenuPanelController::shared().prewarm(); });
    PreferencesWindowController::shared().scheduleBuildAheadOfUse(
        [] { return MenuPanelController::shared().isVisible(); });
}

void AppDelegate::updateStatusIcon() {
    if (!statusItem_) return;
    const double dpr = qApp->devicePixelRatio();
    const QString id = AppSettings::shared().statusIcon.value();
    const QColor ink = StatusBar::system().ink();
    statusItem_->setImage(StatusIcon::tinted(StatusIcon::statusItemImage(id, dpr), ink));
    // A tray paints its icons at its own size: the template is drawn for that size, not scaled.
    statusItem_->setSquareDrawing(id + QLatin1Char('|') + ink.name(QColor::HexArgb),
                                  [id, ink](QPainter& painter, const QRect& square) {
        const double scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const double side = square.width() * 0.8;
        QImage glyph = StatusIcon::tinted(StatusIcon::statusItemImage(id, scale * side / StatusIcon::originalSide), ink);
        if (glyph.isNull()) return;
        const QSizeF size = QSizeF(glyph.size()) / scale;
        glyph.setDevicePixelRatio(1.0);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        const QPointF centre = QRectF(square).center();
        painter.drawImage(QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size), glyph);
    });
}

void AppDelegate::openMenuPanel() {
    if (!statusItem_) return;
    MenuPanelController& panel = MenuPanelController::shared();
    if (!panel.isVisible()) panel.show(statusItem_->screenRect(), statusItem_);
    if (panel.isVisible()) qCInfo(lcApp, "Opened the menu panel for another start");
}

void AppDelegate::statusItemClicked(StatusItem* item, const QRect& rect, Qt::MouseButton button) {
    if (button != Qt::LeftButton && button != Qt::RightButton) return;
    MenuPanelController::shared().toggle(rect, item);
}

void AppDelegate::installEventMonitors() {
    if (monitorsInstalled_) return;
    monitorsInstalled_ = true;
    // Clicks in other programs' windows.
    GlobalMouseMonitor::shared().start();
    globalMouse_ = connect(&GlobalMouseMonitor::shared(), &GlobalMouseMonitor::mouseDown, this,
                           [](const QPoint& pos, Qt::MouseButton) { MenuPanelController::shared().mouseDown(pos); });
    dismissObserver_ = NotificationCenter::defaultCenter().observe(
        Notification::dismissPopover, this, [](const QVariant&) { MenuPanelController::shared().close(); });
    // Escape and clicks in the program's own windows.
    qApp->installEventFilter(this);
}

void AppDelegate::removeEventMonitors() {
    if (!monitorsInstalled_) return;
    monitorsInstalled_ = false;
    qApp->removeEventFilter(this);
    disconnect(globalMouse_);
    disconnect(dismissObserver_);
    GlobalMouseMonitor::shared().stop();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::MouseButtonPress) return false;
    MenuPanelController& panel = MenuPanelController::shared();
    if (!panel.isVisible()) return false;
    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        std::optional<int> code;
        if (key->nativeScanCode() != 0) code = KeyCodes::fromX11KeyCode(key->nativeScanCode());
        if (!code) code = KeyCodes::fromQtKey(key->key());
        if (code != KeyCodes::kVK_Escape) return false;
        panel.close();
        return true;
    }
    // A press reaches a window first, then its widgets: one look per press.
    if (!watched->isWindowType()) return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton && mouse->button() != Qt::RightButton) return false;
    panel.mouseDown(mouse->globalPosition().toPoint());
    return false;
}

void AppDelegate::applicationWillTerminate() {
    if (terminated_ || !launched_) return;
    terminated_ = true;
    removeEventMonitors();
    GlobalHotkeyMonitor::stopMonitoring();
    ProcessMonitor::shared().stop();
    NetworkMonitor::shared().stop();
    SystemSampler::shared().stop();
}
