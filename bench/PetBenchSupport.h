#pragma once

#include "PetTestSupport.h"

#include "Source/Features/MenuBarPet/MenuBarPetController.h"

#include <memory>

// The pet over the fake rig, with its controller (and window, when asked), its frames built
// beforehand as after the first seconds of a session. step() is one tick that keeps it in one
// animation on the stretch between 450 and 840, whatever chance says.
struct BenchPet {
    PetRig rig;
    std::unique_ptr<MenuBarPetController> controller;

    explicit BenchPet(bool withWindow) {
        rig.pet.reset();  // the controller's pet is the one
        controller = std::make_unique<MenuBarPetController>(
            MenuBarPet::Environment{rig.clock, rig.random, rig.displays, rig.front, rig.settings,
                                    [this] { return rig.cpu; }, false},
            [] {});
        if (withWindow) {
            controller->applySetting();
        } else {
            pet().start();
            QObject::disconnect(&pet(), nullptr, controller.get(), nullptr);
        }
        for (PetSprite::Animation a : PetSprite::allAnimations()) PetSprite::frames(a, pet().species());
    }
    MenuBarPet& pet() { return controller->pet(); }
    void step(PetSprite::Animation animation) {
        if (pet().animation() != animation || pet().x() < 450 || pet().x() > 840) {
            pet().setX(600);
            pet().setAnimation(animation, 1e9);
        }
        rig.clock.advance(MenuBarPet::tickInterval);
        pet().tick();
    }
};
