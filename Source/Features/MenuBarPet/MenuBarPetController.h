#pragma once

#include "Source/Features/MenuBarPet/MenuBarPet.h"
#include "Views/Pet/PetWindow.h"

#include <QObject>
#include <QMenu>
#include <QPointer>

#include <functional>
#include <memory>

class SelectionOwnerWatcher;
class StatusBar;

// The menu-bar pet: its behaviour (MenuBarPet) shown in a PetWindow, the pointer and the context
// menu wired between them, and the companion settings followed as they change. One shared
// instance for the program. GUI thread only.
class MenuBarPetController : public QObject {
    Q_OBJECT
public:
    static MenuBarPetController& shared();
    // A controller over its own environment (tests); openSettings runs for "Companion Settings…".
    MenuBarPetController(MenuBarPet::Environment environment, std::function<void()> openSettings,
                         QObject* parent = nullptr);
    ~MenuBarPetController() override;

    // Re-reads the settings: the species, and whether the pet shows.
    void applySetting();
    // The pet walks around the bar's strip or tray icons: it plans its room again when they move.
    void followBar(StatusBar& bar);

    MenuBarPet& pet() { return *pet_; }
    // The window while the pet runs; absent when stopped.
    PetWindow* window() const { return window_; }
    // A fresh context menu; its actions act on the pet (or open the settings).
    QMenu* makeMenu();
    // The menu that is open, if any.
    QMenu* openMenu() const { return menu_; }

private:
    void runningChanged(bool running);
    void present();

    std::unique_ptr<MenuBarPet> pet_;
    std::function<void()> openSettings_;
    QPointer<PetWindow> window_;
    QPointer<QMenu> menu_;
    std::unique_ptr<SelectionOwnerWatcher> compositor_;
};
