#include "Source/Features/MenuBarPet/MenuBarPetController.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Random.h"
#include "Platform/Desktop/FrontWindow.h"
#include "Platform/Gui/Displays.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Ui/StatusBar.h"
#include "Platform/X11/Compositing.h"
#include "Platform/X11/SelectionOwnerWatcher.h"
#include "Source/Features/MenuBarPet/PetSettings.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/System/SystemSampler.h"
#include "Views/Pet/PetWindow.h"

#include <QGuiApplication>
#include <QMenu>

namespace {

// Our bar strip, else our icons in the desktop's tray: the pet walks around them.
std::vector<QRect> ownBarWindows() {
    std::vector<QRect> rects;
    StatusBar& bar = StatusBar::system();
    if (QWidget* strip = bar.stripWindow(); strip && strip->isVisible()) {
        rects.push_back(strip->frameGeometry());
        return rects;
    }
    for (StatusItem* item : bar.items())
        if (const QRect r = item->screenRect(); !r.isEmpty()) rects.push_back(r);
    return rects;
}

}  // namespace

MenuBarPetController& MenuBarPetController::shared() {
    static auto* controller = new MenuBarPetController(
        MenuBarPet::Environment{Clock::shared(), Random::shared(), Displays::shared(), FrontWindow::shared(),
                                PetSettings::shared(), [] { return SystemSampler::shared().cpu(); }, true,
                                ownBarWindows},
        [] {
            PreferencesRouter::shared().setSelectedTab(PreferencesTab::companion);
            PreferencesWindowController::shared().show();
        });
    return *controller;
}

MenuBarPetController::MenuBarPetController(MenuBarPet::Environment environment, std::function<void()> openSettings,
                                           QObject* parent)
    : QObject(parent), openSettings_(std::move(openSettings)) {
    PetSettings& settings = environment.settings;
    pet_ = std::make_unique<MenuBarPet>(std::move(environment));
    connect(pet_.get(), &MenuBarPet::runningChanged, this, &MenuBarPetController::runningChanged);
    connect(pet_.get(), &MenuBarPet::changed, this, &MenuBarPetController::present);
    connect(pet_.get(), &MenuBarPet::bandChanged, this, &MenuBarPetController::present);
    // The companion pane writes the settings; the pet follows the switch and the species. The wander
    // switch is read whenever the pet considers moving.
    connect(&settings.enabled, &SettingBase::changed, this, &MenuBarPetController::applySetting);
    connect(&settings.species, &SettingBase::changed, this, &MenuBarPetController::applySetting);
}

void MenuBarPetController::followBar(StatusBar& bar) {
    connect(&bar, &StatusBar::placeChanged, pet_.get(), &MenuBarPet::ownWindowsChanged);
}

MenuBarPetController::~MenuBarPetController() { delete window_; }

void MenuBarPetController::applySetting() { pet_->applySetting(); }

void MenuBarPetController::runningChanged(bool running) {
    if (!running) {
        if (menu_) menu_->close();
        if (window_) window_->hide();
        return;
    }
    if (!window_) {
        window_ = new PetWindow;
        window_->setComposited(Compositing::isActive());
        if (!compositor_ && qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
            compositor_ = std::make_unique<SelectionOwnerWatcher>(SelectionOwnerWatcher::forDefaultScreen("_NET_WM_CM_S"));
            connect(compositor_.get(), &SelectionOwnerWatcher::ownerChanged, this, [this](quint32 owner) {
                if (!window_) return;
                window_->setComposited(owner != 0);
                window_->compositingChanged();
            });
        }
        PetWindow* w = window_;
        connect(w, &PetWindow::pressed, pet_.get(), &MenuBarPet::mouseDown);
        connect(w, &PetWindow::dragged, pet_.get(), &MenuBarPet::mouseDragged);
        connect(w, &PetWindow::released, pet_.get(), &MenuBarPet::mouseUp);
        connect(w, &PetWindow::menuRequested, this, [this](const QPoint& at) {
            if (menu_) menu_->close();
            menu_ = makeMenu();
            menu_->setAttribute(Qt::WA_DeleteOnClose);
            // The menu opens over the pet: the pet stays below it, and where it is, until it closes.
            window_->setKeepsOnTop(false);
            pet_->setMenuOpen(true);
            connect(menu_, &QMenu::aboutToHide, window_, [w = window_] { w->setKeepsOnTop(true); });
            connect(menu_, &QMenu::aboutToHide, pet_.get(), [pet = pet_.get()] { pet->setMenuOpen(false); });
            menu_->popup(at);
        });
        pet_->setPointerProbe([w = QPointer<PetWindow>(w)] { return w && w->pointerOverPet(); });
    }
    present();
    window_->winId();
    Compositing::leaveUnshadowed(window_->windowHandle(), Compositing::WindowRole::dock);
    window_->show();
}

void MenuBarPetController::present() {
    if (window_ && pet_->isRunning()) window_->present(pet_->look());
}

QMenu* MenuBarPetController::makeMenu() {
    auto* menu = new QMenu;
    menu->setObjectName(QStringLiteral("PetMenu"));
    const QColor ink = SystemColors::primary(menu->palette());
    for (const MenuBarPet::MenuItem& item : MenuBarPet::menuItems()) {
        if (item.action == MenuBarPet::MenuAction::settings) menu->addSeparator();
        QAction* action = menu->addAction(item.title);
        if (!item.symbol.isEmpty() && Symbols::has(item.symbol))
            action->setIcon(QIcon(QPixmap::fromImage(Symbols::image(item.symbol, 16, ink, Symbols::Weight::regular, 2.0))));
        const MenuBarPet::MenuAction what = item.action;
        QPointer<MenuBarPetController> owner(this);
        connect(action, &QAction::triggered, menu, [owner, what] {
            if (!owner) return;
            if (what == MenuBarPet::MenuAction::settings) {
                if (owner->openSettings_) owner->openSettings_();
                return;
            }
            owner->pet_->perform(what);
            owner->present();
        });
    }
    return menu;
}
