#include "PetTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Animation = PetSprite::Animation;
using Segment = MenuBarPet::Segment;

// Ticks until the shown frame index changes, at a steady 50 ms.
int ticksPerFrame(PetRig& rig, Animation animation) {
    rig.pet->setAnimation(animation, 1000);
    int ticks = 0;
    while (rig.pet->frameIndex() == 0 && rig.pet->animation() == animation && ticks < 50) {
        rig.tick();
        ++ticks;
    }
    return ticks;
}

}  // namespace

TEST(MenuBarPetLayout, WalkableStretchesOfTheBand) {
    // No notch: one stretch from 30 % to 62 % of the width, less the pet.
    EXPECT_EQ(MenuBarPet::split({432, 860.8}, std::nullopt, 32), (std::vector<Segment>{{432, 860.8}}));
    // A notch keeps a 4-point gap on either side of the whole pet.
    const double lo = 0.3 * 1512, hi = 0.62 * 1512 - 32;
    const auto pieces = MenuBarPet::split({lo, hi}, std::pair{660.0, 840.0}, 32);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_DOUBLE_EQ(pieces[0].lo, 453.6);
    EXPECT_DOUBLE_EQ(pieces[0].hi, 624);
    EXPECT_DOUBLE_EQ(pieces[1].lo, 844);
    EXPECT_DOUBLE_EQ(pieces[1].hi, 905.44);
    // A stretch shorter than a pet is dropped; when both are, the whole range stays.
    EXPECT_EQ(MenuBarPet::split({453.6, 905.44}, std::pair{470.0, 880.0}, 32), (std::vector<Segment>{{453.6, 905.44}}));
    EXPECT_EQ(MenuBarPet::split({453.6, 905.44}, std::pair{470.0, 700.0}, 32), (std::vector<Segment>{{704, 905.44}}));
    // An inverted range has no stretch at all, notch or not.
    EXPECT_TRUE(MenuBarPet::split({30, -1.2}, std::nullopt, 32).empty());
    EXPECT_TRUE(MenuBarPet::split({30, -1.2}, std::pair{10.0, 20.0}, 32).empty());

    // Several obstacles, in any order, each with its gap.
    EXPECT_EQ(MenuBarPet::split({432, 860.8}, std::vector<std::pair<double, double>>{{700, 1440}, {500, 524}}, 32),
              (std::vector<Segment>{{432, 464}, {528, 664}}));

    PetRig rig;
    rig.start();
    EXPECT_EQ(rig.pet->segments(), (std::vector<Segment>{{432, 0.62 * 1440 - 32}}));
    EXPECT_EQ(rig.pet->band(), QRect(0, 0, 1440, 24));

    // Our own bar strip on the band is an obstacle (a window below the band is not); one that
    // grows is walked around from the next choice on.
    rig.ownWindows = {QRect(800, 0, 640, 24), QRect(100, 300, 800, 24)};
    rig.pet->layoutOnHomeScreen();
    EXPECT_EQ(rig.pet->segments(), (std::vector<Segment>{{432, 764}}));
    rig.ownWindows = {QRect(700, 0, 740, 24)};
    rig.pet->pickNext();
    EXPECT_EQ(rig.pet->segments(), (std::vector<Segment>{{432, 664}}));

    // At 1024 with every widget labelled the strip reaches 442: a pet sitting where the strip now
    // lies moves into the room as soon as the strip says it changed, not at its next choice.
    rig.displays.set({FakeDisplays::screen("A", 0, 1024)});
    rig.pet->setAnimation(Animation::sit, 100);
    rig.pet->setX(580);
    rig.ownWindows = {QRect(442, 0, 582, 24)};
    rig.pet->ownWindowsChanged();
    EXPECT_EQ(rig.pet->segments(), (std::vector<Segment>{{0.3 * 1024, 406}}));
    EXPECT_TRUE(rig.pet->segments().front().contains(rig.pet->x())) << rig.pet->x();
    for (int i = 0; i < 40; ++i) {
        rig.tick();
        EXPECT_LE(rig.pet->x() + MenuBarPet::petWidth, 442) << i;
    }
    // Not while the user drags it: the drop finds the room.
    rig.pet->mouseDown(rig.pet->x() + 10);
    rig.pet->mouseDragged(rig.pet->x() + 10 + 60);
    ASSERT_TRUE(rig.pet->isDragging());
    const double dragged = rig.pet->x();
    rig.ownWindows = {QRect(420, 0, 604, 24)};
    rig.pet->ownWindowsChanged();
    ASSERT_FALSE(rig.pet->segments().front().contains(dragged));
    EXPECT_DOUBLE_EQ(rig.pet->x(), dragged);
    rig.pet->mouseUp(1);
    EXPECT_DOUBLE_EQ(rig.pet->x(), 420 - 4 - MenuBarPet::petWidth);
}

TEST(MenuBarPetLayout, BandHeightAndVerticalPlace) {
    // The desktop's top panel sets the band; without one it is 24 points.
    EXPECT_EQ(MenuBarPet::bandHeight(FakeDisplays::screen("A", 0, 1000)), 24);
    EXPECT_EQ(MenuBarPet::bandHeight(FakeDisplays::screen("A", 0, 1000, 900, 32)), 32);
    DisplayInfo sidePanel = FakeDisplays::screen("A", 0, 1000);
    sidePanel.visibleFrame = QRect(48, 0, 952, 900);
    EXPECT_EQ(MenuBarPet::bandHeight(sidePanel), 24);

    PetRig rig;
    for (auto [panel, top] : {std::pair{0, 2}, {25, 2}, {32, 6}, {21, 0}}) {
        rig.pet->stop();
        rig.displays.set({FakeDisplays::screen("A", 100, 1440, 900, panel)});
        rig.pet->start();
        const MenuBarPet::Look look = rig.pet->look();
        EXPECT_EQ(look.petTop, top) << panel;
        EXPECT_EQ(look.band.topLeft(), QPoint(100, 0));
    }
}

TEST(MenuBarPetLayout, PlacementOnAStretchAndScreensThatComeAndGo) {
    PetRig rig;
    rig.random.unit(0.5);  // one stretch: no draw for which
    rig.pet->start();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 432 + 0.5 * 428.8);  // x 0 lay on no stretch: a random place
    QSignalSpy band(rig.pet.get(), &MenuBarPet::bandChanged);
    // A wider screen: the pet is still on a stretch and stays where it is.
    rig.displays.set({FakeDisplays::screen("A", 0, 1920)});
    EXPECT_DOUBLE_EQ(rig.pet->x(), 646.4);
    EXPECT_EQ(band.count(), 1);
    EXPECT_EQ(rig.pet->segments().front().lo, 576);
    // The home display disappears: the pet lives on the first screen.
    rig.pet->setX(0);
    rig.displays.set({FakeDisplays::screen("B", -1280, 1280)});
    EXPECT_FALSE(rig.pet->homeDisplay().has_value());
    EXPECT_EQ(rig.pet->look().display, QStringLiteral("B"));
    EXPECT_EQ(rig.pet->band(), QRect(-1280, 0, 1280, 24));
    EXPECT_TRUE(rig.pet->segments().front().contains(rig.pet->x()));
    // No screens: nothing changes.
    rig.displays.set({});
    EXPECT_EQ(rig.pet->band(), QRect(-1280, 0, 1280, 24));
}

TEST(MenuBarPetLayout, ANarrowScreenLeavesAStillPet) {
    PetRig rig;
    rig.displays.list = {FakeDisplays::screen("A", 0, 90)};
    rig.pet->setX(200);
    rig.start();
    EXPECT_TRUE(rig.pet->segments().empty());
    EXPECT_DOUBLE_EQ(rig.pet->x(), 58);  // held inside the band
    rig.pet->setAnimation(Animation::walk, 100);
    rig.cpu = 90;
    for (int i = 0; i < 40; ++i) rig.tick();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 58);
    rig.pet->setAnimation(Animation::run, 100);
    for (int i = 0; i < 40; ++i) rig.tick();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 58);
    // A drag still moves it, and a drop with no stretch leaves it where it fell.
    rig.pet->mouseDown(60);
    rig.pet->mouseDragged(40);
    EXPECT_DOUBLE_EQ(rig.pet->x(), 38);
    rig.pet->mouseUp(1);
    EXPECT_DOUBLE_EQ(rig.pet->x(), 38);
    EXPECT_EQ(rig.pet->animation(), Animation::sit);
}

TEST(MenuBarPetTick, FramesLastWholeTicks) {
    PetRig rig;
    rig.start();
    rig.pet->setX(600);
    EXPECT_EQ(ticksPerFrame(rig, Animation::walk), 3);
    EXPECT_EQ(ticksPerFrame(rig, Animation::sit), 4);
    for (Animation a : {Animation::run, Animation::vanish, Animation::appear, Animation::jump, Animation::teleportOut,
                        Animation::teleportIn, Animation::love, Animation::stretch})
        EXPECT_EQ(ticksPerFrame(rig, a), 2) << int(a);
    // Looping animations wrap around.
    rig.pet->setAnimation(Animation::walk, 1000);
    for (int i = 0; i < 12; ++i) rig.tick();
    EXPECT_EQ(rig.pet->frameIndex(), 0);
    EXPECT_EQ(rig.pet->animation(), Animation::walk);
    // The shown image is the current frame's, the same image object while it lasts.
    rig.tick();
    const QImage shown = rig.pet->look().frame;
    EXPECT_EQ(shown.cacheKey(), PetSprite::frames(Animation::walk, rig.pet->species())[0].cacheKey());
}

TEST(MenuBarPetTick, StepsAreCappedAndSpeedsFollowTheTable) {
    PetRig rig;
    rig.start();
    rig.pet->setDirection(1);
    rig.pet->setX(500);
    rig.pet->setAnimation(Animation::walk, 100);
    rig.tick(3.0);  // a stall moves the pet 0.1 s worth
    EXPECT_NEAR(rig.pet->x(), 502.2, 1e-9);
    rig.tick();
    EXPECT_NEAR(rig.pet->x(), 503.3, 1e-9);
    rig.pet->setDirection(-1);
    rig.tick();
    EXPECT_NEAR(rig.pet->x(), 502.2, 1e-9);

    const PetSpecies& cat = PetSpecies::named("ginger");
    const PetSpecies& owl = PetSpecies::named("owl");
    EXPECT_EQ(MenuBarPet::speed(Animation::walk, cat, 0), 22);
    EXPECT_EQ(MenuBarPet::speed(Animation::walk, owl, 0), 12);
    EXPECT_EQ(MenuBarPet::speed(Animation::run, cat, 150), 90);
    EXPECT_EQ(MenuBarPet::speed(Animation::run, cat, 80), 78);
    EXPECT_EQ(MenuBarPet::speed(Animation::run, cat, -1), 30);
    EXPECT_EQ(MenuBarPet::speed(Animation::play, owl, 50), 34);
    EXPECT_EQ(MenuBarPet::speed(Animation::play, cat, 50), 0);
    for (Animation a : PetSprite::allAnimations()) {
        if (a != Animation::walk && a != Animation::run && a != Animation::play) {
            EXPECT_EQ(MenuBarPet::speed(a, owl, 90), 0);
        }
    }
    // The CPU is read at every tick while running.
    rig.pet->setAnimation(Animation::run, 100);
    rig.cpu = 80;
    const double before = rig.pet->x();
    rig.tick();
    EXPECT_NEAR(rig.pet->x(), before - 0.05 * 78, 1e-9);
}

TEST(MenuBarPetTick, TimeRunningOutPicksTheNextThing) {
    PetRig rig;
    rig.start();
    rig.pet->setX(600);
    rig.pet->setAnimation(Animation::sit, 0.09);
    rig.random.unit(0.5);  // sit again for 3 s: frames run on
    rig.random.unit(0.9);  // no turn
    rig.tick();
    rig.tick();
    EXPECT_EQ(rig.pet->animation(), Animation::sit);
    EXPECT_NEAR(rig.pet->stateTimeLeft(), 3.0, 1e-9);
    rig.tick();
    EXPECT_NEAR(rig.pet->stateTimeLeft(), 2.95, 1e-9);
    EXPECT_EQ(rig.random.misses, 0);
}

TEST(MenuBarPetBehaviour, PickNextByLoadAndChance) {
    struct Row {
        double cpu;
        double r;
        Animation animation;
        double duration;
    };
    const Row rows[] = {
        {61, 0.0, Animation::run, 3}, {100, 0.99, Animation::run, 3},
        {3.9, 0.69, Animation::sleep, 10}, {0, 0.7, Animation::yawn, 2}, {0, 0.84, Animation::yawn, 2},
        {0, 0.85, Animation::stretch, 4},
        {60, 0.44, Animation::walk, 3}, {4, 0.45, Animation::sit, 3}, {30, 0.6, Animation::groom, 3},
        {30, 0.72, Animation::play, 3.6}, {30, 0.84, Animation::stretch, 4}, {30, 0.88, Animation::yawn, 2},
        {30, 0.91, Animation::eat, 4}, {30, 0.94, Animation::wave, 2}, {30, 0.96, Animation::sleep, 6},
        // A reading that could not be taken is not idle: the chance table decides.
        {-1, 0.3, Animation::walk, 3}, {-1, 0.5, Animation::sit, 3}, {-1, 0.97, Animation::sleep, 6},
    };
    for (const Row& row : rows) {
        PetRig rig;
        rig.start();
        rig.pet->setAnimation(Animation::dangle, 1);
        rig.cpu = row.cpu;
        rig.random.unit(row.r);
        if (row.animation == Animation::run || row.animation == Animation::walk) rig.random.unit(0);  // duration
        rig.random.unit(0.5);  // no turn
        rig.pet->pickNext();
        EXPECT_EQ(rig.pet->animation(), row.animation) << row.cpu << " " << row.r;
        EXPECT_DOUBLE_EQ(rig.pet->stateTimeLeft(), row.duration) << row.cpu << " " << row.r;
        EXPECT_EQ(rig.random.misses, 0);
    }
    // Durations drawn from their ranges; a draw below 0.4 turns the pet around.
    PetRig rig;
    rig.start();
    rig.pet->setDirection(1);
    rig.cpu = 70;
    rig.random.unit(0.2);
    rig.random.unit(0.5);
    rig.random.unit(0.39);
    rig.pet->pickNext();
    EXPECT_DOUBLE_EQ(rig.pet->stateTimeLeft(), 4.5);
    EXPECT_EQ(rig.pet->direction(), -1);
    rig.cpu = 30;
    rig.random.unit(0.1);
    rig.random.unit(1 - 0x1p-53);
    rig.random.unit(0.4);
    rig.pet->pickNext();
    EXPECT_NEAR(rig.pet->stateTimeLeft(), 7, 1e-9);
    EXPECT_EQ(rig.pet->direction(), -1);
}

TEST(MenuBarPetBehaviour, ChoosingTheRunningAnimationDoesNotRestartIt) {
    PetRig rig;
    rig.start();
    rig.pet->setAnimation(Animation::sit, 1);
    rig.pet->setFrameIndex(7);
    rig.pet->setFrameClock(0.1);
    rig.random.unit(0.5);
    rig.random.unit(0.5);
    rig.pet->pickNext();
    EXPECT_EQ(rig.pet->frameIndex(), 7);
    EXPECT_DOUBLE_EQ(rig.pet->frameClock(), 0.1);
    rig.random.unit(0.65);  // groom
    rig.random.unit(0.5);
    rig.pet->pickNext();
    EXPECT_EQ(rig.pet->animation(), Animation::groom);
    EXPECT_EQ(rig.pet->frameIndex(), 0);
    EXPECT_DOUBLE_EQ(rig.pet->frameClock(), 0);
}

TEST(MenuBarPetBehaviour, OneShotsEndIntoTheirChains) {
    PetRig rig;
    rig.start();
    rig.pet->setX(600);
    auto finish = [&](Animation a) {
        rig.pet->setAnimation(a, MenuBarPet::infinity);
        rig.pet->setFrameIndex(5);
        rig.pet->finishOneShot();
        EXPECT_EQ(rig.pet->frameIndex(), 0);
        EXPECT_DOUBLE_EQ(rig.pet->frameClock(), 0);
        return std::pair{rig.pet->animation(), rig.pet->stateTimeLeft()};
    };
    EXPECT_EQ(finish(Animation::appear), std::pair(Animation::sit, 3.0));
    EXPECT_EQ(finish(Animation::love), std::pair(Animation::sit, 3.0));
    EXPECT_EQ(finish(Animation::yawn), std::pair(Animation::sit, 3.0));
    rig.random.unit(0.49);
    EXPECT_EQ(finish(Animation::jump), std::pair(Animation::wave, 2.0));
    rig.random.unit(0.5);
    EXPECT_EQ(finish(Animation::jump), std::pair(Animation::sit, 2.0));
    rig.random.unit(0.5);
    EXPECT_EQ(finish(Animation::teleportIn), std::pair(Animation::walk, 3.5));
    EXPECT_EQ(finish(Animation::teleportOut), std::pair(Animation::teleportIn, MenuBarPet::infinity));
    EXPECT_DOUBLE_EQ(rig.pet->x(), 600);  // no target: stays
    EXPECT_EQ(finish(Animation::vanish), std::pair(Animation::appear, MenuBarPet::infinity));
    EXPECT_DOUBLE_EQ(rig.pet->lastMigration(), rig.clock.monotonic());

    // A one-shot runs through its frames by itself and then ends.
    rig.pet->setAnimation(Animation::jump, MenuBarPet::infinity);
    rig.random.unit(0.1);
    int ticks = 0;
    while (rig.pet->animation() == Animation::jump && ticks < 100) {
        rig.tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 20);  // 10 frames of two ticks
    EXPECT_EQ(rig.pet->animation(), Animation::wave);
    // A yawn chosen with 2 s ends with its frames (12 of four ticks) or its time, whichever first.
    rig.pet->setAnimation(Animation::yawn, 2);
    rig.random.unit(0.5);
    rig.random.unit(0.5);
    for (int i = 0; i < 41; ++i) rig.tick();
    EXPECT_EQ(rig.pet->animation(), Animation::sit);
    EXPECT_EQ(rig.pet->stateTimeLeft(), 3);
}

TEST(MenuBarPetBehaviour, EndsOfAStretchTurnOrTeleport) {
    PetRig rig;
    rig.start();
    const std::vector<Segment> two{{100, 200}, {300, 400}};
    rig.pet->setSegments(two);
    rig.pet->setAnimation(Animation::walk, 100);

    // Walking out on the right with a stretch beyond: half the time a teleport to its near end.
    rig.pet->setX(201);
    rig.pet->setDirection(1);
    rig.random.unit(0.49);
    rig.pet->keepOnSegment();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 200);
    EXPECT_EQ(rig.pet->animation(), Animation::teleportOut);
    EXPECT_EQ(rig.pet->teleportTarget(), 300.0);
    EXPECT_EQ(rig.pet->direction(), 1);
    rig.pet->finishOneShot();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 300);
    EXPECT_EQ(rig.pet->animation(), Animation::teleportIn);
    EXPECT_FALSE(rig.pet->teleportTarget().has_value());

    // Otherwise it turns around.
    rig.pet->setAnimation(Animation::walk, 100);
    rig.pet->setX(299);
    rig.pet->setDirection(-1);
    rig.random.unit(0.5);
    rig.pet->keepOnSegment();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 300);
    EXPECT_EQ(rig.pet->direction(), 1);
    EXPECT_EQ(rig.pet->animation(), Animation::walk);
    // Going left out of the second stretch lands on the first one's upper end.
    rig.pet->setDirection(-1);
    rig.random.unit(0);
    rig.pet->keepOnSegment();
    EXPECT_EQ(rig.pet->teleportTarget(), 200.0);

    // No neighbour: a turn with no draw.
    rig.pet->setAnimation(Animation::walk, 100);
    rig.random.draws = 0;
    rig.pet->setX(99);
    rig.pet->setDirection(-1);
    rig.pet->keepOnSegment();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 100);
    EXPECT_EQ(rig.pet->direction(), 1);
    rig.pet->setX(420);  // nearest stretch is the second
    rig.pet->keepOnSegment();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 400);
    EXPECT_EQ(rig.pet->direction(), -1);
    EXPECT_EQ(rig.random.draws, 0);
    // Inside, or at an end walking inwards: nothing.
    rig.pet->setX(100);
    rig.pet->setDirection(1);
    rig.pet->keepOnSegment();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 100);
    EXPECT_EQ(rig.pet->direction(), 1);
    // One-shots are left alone.
    rig.pet->setAnimation(Animation::love, MenuBarPet::infinity);
    rig.pet->setX(50);
    rig.pet->keepOnSegment();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 50);
}

TEST(MenuBarPetPointer, ClicksDoubleClicksAndTheHeart) {
    PetRig rig;
    rig.start();
    rig.pet->setX(600);
    rig.pet->setAnimation(Animation::walk, 5);
    // A move of 3 points or less between down and up is a click.
    rig.pet->mouseDown(610);
    rig.pet->mouseDragged(613);
    rig.pet->mouseUp(1);
    EXPECT_EQ(rig.pet->animation(), Animation::love);
    EXPECT_EQ(rig.pet->stateTimeLeft(), MenuBarPet::infinity);
    EXPECT_DOUBLE_EQ(rig.pet->x(), 600);
    // The second release of a double click jumps, whatever runs.
    rig.pet->mouseDown(610);
    rig.pet->mouseUp(2);
    EXPECT_EQ(rig.pet->animation(), Animation::jump);
    for (Animation busy : {Animation::vanish, Animation::appear, Animation::teleportOut, Animation::teleportIn,
                           Animation::love, Animation::jump, Animation::yawn}) {
        rig.pet->setAnimation(busy, MenuBarPet::infinity);
        rig.pet->mouseDown(610);
        rig.pet->mouseUp(1);
        EXPECT_EQ(rig.pet->animation(), busy) << int(busy);
    }
    rig.pet->setAnimation(Animation::teleportIn, MenuBarPet::infinity);
    rig.pet->mouseDown(610);
    rig.pet->mouseUp(2);
    EXPECT_EQ(rig.pet->animation(), Animation::jump);

    // Hover pops the heart; leaving hides it.
    EXPECT_EQ(rig.pet->look().heart.opacity, 0);
    rig.pet->setPointerOverPet(true);
    rig.tick();
    EXPECT_TRUE(rig.pet->isHovered());
    EXPECT_TRUE(rig.pet->heart().isShown());
    rig.clock.advance(1);
    EXPECT_EQ(rig.pet->look().heart.opacity, 1);
    EXPECT_EQ(rig.pet->look().heart.scale, 1);
    rig.pet->setPointerOverPet(false);
    rig.tick();
    EXPECT_FALSE(rig.pet->isHovered());
    EXPECT_FALSE(rig.pet->heart().isShown());
    EXPECT_GT(rig.pet->look().heart.opacity, 0);  // fading
    rig.clock.advance(0.25);
    EXPECT_EQ(rig.pet->look().heart.opacity, 0);
    EXPECT_FALSE(rig.pet->look().heart.animating);
}

TEST(MenuBarPetPointer, DraggingAndDropping) {
    PetRig rig;
    rig.displays.list = {FakeDisplays::screen("A", 0, 1512)};
    rig.displays.list[0].notch = std::pair{660.0, 840.0};
    rig.start();
    rig.pet->setX(500);
    rig.pet->setAnimation(Animation::walk, 5);
    rig.pet->setPointerOverPet(true);
    rig.tick();
    ASSERT_TRUE(rig.pet->heart().isShown());
    const double x0 = rig.pet->x();

    rig.pet->mouseDown(x0 + 10);
    rig.pet->mouseDragged(x0 + 14);
    EXPECT_TRUE(rig.pet->isDragging());
    EXPECT_EQ(rig.pet->animation(), Animation::dangle);
    // The heart goes as soon as the drag starts, though the pointer is over the pet.
    EXPECT_FALSE(rig.pet->heart().isShown());
    EXPECT_FALSE(rig.pet->isHovered());
    EXPECT_DOUBLE_EQ(rig.pet->x(), x0 + 4);
    // Anywhere on the band, held to its ends; ticks leave the position to the pointer.
    rig.pet->mouseDragged(5000);
    EXPECT_DOUBLE_EQ(rig.pet->x(), 1512 - 32);
    for (int i = 0; i < 10; ++i) rig.tick();
    EXPECT_DOUBLE_EQ(rig.pet->x(), 1512 - 32);
    EXPECT_FALSE(rig.pet->isHovered());
    rig.pet->mouseDragged(-300);
    EXPECT_DOUBLE_EQ(rig.pet->x(), 0);
    // Dropped on the notch: the nearer end of the nearer stretch, then a 3 s sit.
    rig.pet->mouseDragged(700 + 10);
    rig.pet->mouseUp(1);
    EXPECT_FALSE(rig.pet->isDragging());
    EXPECT_FALSE(rig.pet->didDrag());
    EXPECT_DOUBLE_EQ(rig.pet->x(), 624);
    EXPECT_EQ(rig.pet->animation(), Animation::sit);
    EXPECT_EQ(rig.pet->stateTimeLeft(), 3);
    rig.pet->mouseDown(634);
    rig.pet->mouseDragged(770);  // 760: nearer the right stretch
    rig.pet->mouseUp(1);
    EXPECT_DOUBLE_EQ(rig.pet->x(), 844);
    // Dropped on a stretch: stays.
    rig.pet->mouseDown(854);
    rig.pet->mouseDragged(884);
    rig.pet->mouseUp(1);
    EXPECT_DOUBLE_EQ(rig.pet->x(), 874);
    // The pointer still over the pet after the drop: the heart comes back.
    rig.tick();
    EXPECT_TRUE(rig.pet->isHovered());
    // A stopped pet ignores the pointer.
    rig.pet->stop();
    rig.pet->mouseDown(880);
    rig.pet->mouseDragged(1000);
    EXPECT_FALSE(rig.pet->isDragging());
    EXPECT_DOUBLE_EQ(rig.pet->x(), 874);
}

TEST(MenuBarPetPointer, MenuItemsAndTheirEffects) {
    const std::vector<MenuBarPet::MenuItem> items = MenuBarPet::menuItems();
    ASSERT_EQ(items.size(), 6u);
    const char* titles[] = {"Pet", "Feed", "Play", "Jump!", "Nap", "Companion Settings…"};
    const char* symbols[] = {"heart", "fork.knife", "gamecontroller", "arrow.up", "moon.zzz", ""};
    for (size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(items[i].title, QString::fromUtf8(titles[i]));
        EXPECT_EQ(items[i].symbol, QString::fromUtf8(symbols[i]));
    }
    struct Effect {
        MenuBarPet::MenuAction action;
        Animation animation;
        double timeLeft;
    };
    const Effect effects[] = {{MenuBarPet::MenuAction::pet, Animation::love, MenuBarPet::infinity},
                              {MenuBarPet::MenuAction::feed, Animation::eat, 5},
                              {MenuBarPet::MenuAction::playTime, Animation::play, 3.6},
                              {MenuBarPet::MenuAction::hop, Animation::jump, MenuBarPet::infinity},
                              {MenuBarPet::MenuAction::nap, Animation::sleep, 12}};
    PetRig rig;
    rig.start();
    for (const Effect& e : effects) {
        // Unlike a click, a menu item acts during a jump.
        rig.pet->setAnimation(Animation::jump, MenuBarPet::infinity);
        rig.pet->setFrameIndex(4);
        rig.pet->perform(e.action);
        EXPECT_EQ(rig.pet->animation(), e.animation);
        EXPECT_EQ(rig.pet->stateTimeLeft(), e.timeLeft);
        EXPECT_EQ(rig.pet->frameIndex(), 0);
        for (Animation busy : {Animation::vanish, Animation::appear, Animation::teleportOut, Animation::teleportIn,
                               Animation::love, Animation::yawn}) {
            rig.pet->setAnimation(busy, MenuBarPet::infinity);
            rig.pet->perform(e.action);
            EXPECT_EQ(rig.pet->animation(), busy);
        }
    }
    rig.pet->setAnimation(Animation::walk, 3);
    rig.pet->perform(MenuBarPet::MenuAction::settings);
    EXPECT_EQ(rig.pet->animation(), Animation::walk);
}

// While its menu is open the pet stays under it, whatever it was about to do; it goes on once the
// menu closes.
TEST(MenuBarPetPointer, AnOpenMenuHoldsThePetWhereItIs) {
    const auto wantsScreenB = [](PetRig& r) {
        r.pet->setInterestDisplay(QStringLiteral("B"));
        r.pet->setFocusDwell(40);
        r.random.unit(0);
    };
    const std::pair<const char*, std::function<void(PetRig&)>> rows[] = {
        {"walking", [](PetRig& r) { r.pet->setAnimation(Animation::walk, 100); }},
        {"running",
         [](PetRig& r) {
             r.cpu = 90;
             r.pet->setAnimation(Animation::run, 100);
         }},
        {"at the end of its stretch",
         [](PetRig& r) {
             r.pet->setAnimation(Animation::walk, 100);
             r.pet->setX(r.pet->segments().back().hi);
         }},
        {"teleporting",
         [](PetRig& r) {
             r.pet->setSegments({{500, 600}, {700, 800}});
             r.pet->setAnimation(Animation::walk, 100);
             r.pet->setX(601);
             r.random.unit(0);
             r.pet->keepOnSegment();
             ASSERT_EQ(r.pet->animation(), Animation::teleportOut);
         }},
        {"its time up, another screen in view",
         [&](PetRig& r) {
             r.pet->setAnimation(Animation::sit, 0.01);
             wantsScreenB(r);
         }},
        {"vanishing to another screen",
         [&](PetRig& r) {
             wantsScreenB(r);
             r.pet->pickNext();
             ASSERT_EQ(r.pet->animation(), Animation::vanish);
         }},
    };
    for (const auto& [what, set] : rows) {
        SCOPED_TRACE(what);
        PetRig rig;
        rig.displays.list = {FakeDisplays::screen("A", 0, 1440), FakeDisplays::screen("B", 1440, 1920)};
        rig.start();
        rig.pet->setX(600);
        rig.pet->setDirection(1);
        set(rig);
        const double x = rig.pet->x();
        rig.pet->setMenuOpen(true);
        for (int i = 0; i < 60; ++i) {
            rig.tick();
            ASSERT_DOUBLE_EQ(rig.pet->x(), x) << i;
            ASSERT_EQ(MenuBarPet::speed(rig.pet->animation(), rig.pet->species(), rig.cpu), 0) << i;
        }
        EXPECT_NE(rig.pet->animation(), Animation::vanish);
        EXPECT_NE(rig.pet->animation(), Animation::teleportOut);
        EXPECT_EQ(rig.pet->look().display, QStringLiteral("A"));
        const double timeLeft = rig.pet->stateTimeLeft();
        rig.pet->setMenuOpen(false);
        rig.tick();
        EXPECT_NE(rig.pet->stateTimeLeft(), timeLeft);
    }
}

TEST(MenuBarPetWandering, NoOtherDisplayOrWanderingOffMeansNoMove) {
    PetRig rig;
    rig.start();
    rig.front.rect = QRect(100, 100, 400, 300);
    EXPECT_TRUE(rig.pet->otherDisplays().empty());
    rig.pet->setFocusDwell(40);
    rig.pet->checkFocus(1);
    EXPECT_EQ(rig.pet->focusDwell(), 40);
    EXPECT_EQ(rig.front.asked, 0);  // one display: nobody asks where the user works
    rig.random.unit(0);
    rig.random.unit(0);
    EXPECT_FALSE(rig.pet->wantsToWander().has_value());

    rig.displays.set({FakeDisplays::screen("A", 0, 1440), FakeDisplays::screen("B", 1440, 1920)});
    EXPECT_EQ(rig.pet->otherDisplays(), std::vector<QString>{"B"});
    rig.settings.wanders.set(false);
    EXPECT_TRUE(rig.pet->otherDisplays().empty());
    rig.front.rect = QRect(1600, 100, 400, 300);
    rig.pet->setFocusDwell(10);
    rig.pet->checkFocus(1);
    EXPECT_EQ(rig.pet->focusDwell(), 10);
    rig.random.queue.clear();
    rig.random.unit(0);
    rig.random.unit(0);
    EXPECT_FALSE(rig.pet->wantsToWander().has_value());
    // Screens without an id are never destinations.
    rig.settings.wanders.set(true);
    rig.displays.set({FakeDisplays::screen("A", 0, 1440), FakeDisplays::screen("", 1440, 800),
                      FakeDisplays::screen("C", 2240, 800)});
    EXPECT_EQ(rig.pet->otherDisplays(), std::vector<QString>{"C"});
}

TEST(MenuBarPetWandering, DwellGrowsRestartsAndDecays) {
    PetRig rig;
    rig.displays.list = {FakeDisplays::screen("A", 0, 1440), FakeDisplays::screen("B", 1440, 1920),
                         FakeDisplays::screen("C", 3360, 1280)};
    rig.start();
    rig.front.rect = QRect(1500, 200, 800, 600);  // on B
    rig.pet->setAnimation(Animation::sit, 1000);
    for (int i = 0; i < 600; ++i) rig.tick();  // 30 s
    EXPECT_NEAR(rig.pet->focusDwell(), 30, 1e-6);
    EXPECT_EQ(rig.pet->interestDisplay(), QStringLiteral("B"));
    for (int i = 0; i < 400; ++i) rig.tick();
    EXPECT_NEAR(rig.pet->focusDwell(), 40, 1e-6);  // the ceiling
    // Another display: dwell restarts from the elapsed time of that check.
    rig.front.rect = QRect(3400, 200, 800, 600);
    rig.pet->checkFocus(1.05);
    EXPECT_EQ(rig.pet->interestDisplay(), QStringLiteral("C"));
    EXPECT_DOUBLE_EQ(rig.pet->focusDwell(), 1.05);
    rig.pet->checkFocus(60);
    EXPECT_DOUBLE_EQ(rig.pet->focusDwell(), 40);
    // Back on the home display: twice as fast down, not below 0.
    rig.front.rect = QRect(100, 100, 400, 300);
    rig.pet->setFocusDwell(30);
    rig.pet->checkFocus(10);
    EXPECT_DOUBLE_EQ(rig.pet->focusDwell(), 10);
    rig.pet->checkFocus(10);
    EXPECT_DOUBLE_EQ(rig.pet->focusDwell(), 0);
    // No front window, or one off every screen: nothing changes.
    rig.pet->setFocusDwell(5);
    rig.front.rect.reset();
    rig.pet->checkFocus(1);
    rig.front.rect = QRect(-5000, 0, 100, 100);
    rig.pet->checkFocus(1);
    EXPECT_DOUBLE_EQ(rig.pet->focusDwell(), 5);
    EXPECT_EQ(rig.pet->interestDisplay(), QStringLiteral("C"));
}

TEST(MenuBarPetWandering, ChancesPauseAndTheMove) {
    PetRig rig;
    rig.displays.list = {FakeDisplays::screen("A", 0, 1440), FakeDisplays::screen("B", 1440, 1920),
                         FakeDisplays::screen("C", 3360, 1280)};
    rig.start();
    rig.pet->setInterestDisplay(QStringLiteral("B"));
    rig.pet->setFocusDwell(40);
    // Full dwell: 0.4 to follow, then 0.02 for a random move when that draw fails.
    rig.random.unit(0.399);
    EXPECT_EQ(rig.pet->wantsToWander(), QStringLiteral("B"));
    rig.random.unit(0.4);
    rig.random.unit(0.019);
    rig.random.index(1);
    EXPECT_EQ(rig.pet->wantsToWander(), QStringLiteral("C"));
    rig.random.unit(0.4);
    rig.random.unit(0.02);
    EXPECT_FALSE(rig.pet->wantsToWander().has_value());
    rig.pet->setFocusDwell(20);
    rig.random.unit(0.199);
    EXPECT_EQ(rig.pet->wantsToWander(), QStringLiteral("B"));
    EXPECT_EQ(rig.random.misses, 0);

    // A decision that moves: vanish, then appear on the destination at a random place.
    rig.pet->setX(600);
    rig.random.unit(0.1);
    rig.pet->pickNext();
    EXPECT_EQ(rig.pet->animation(), Animation::vanish);
    EXPECT_EQ(rig.pet->pendingDisplay(), QStringLiteral("B"));
    EXPECT_EQ(rig.pet->focusDwell(), 0);
    rig.random.unit(0.25);
    for (int i = 0; i < 28; ++i) rig.tick();
    EXPECT_EQ(rig.pet->animation(), Animation::appear);
    EXPECT_EQ(rig.pet->homeDisplay(), QStringLiteral("B"));
    EXPECT_FALSE(rig.pet->pendingDisplay().has_value());
    EXPECT_EQ(rig.pet->band(), QRect(1440, 0, 1920, 24));
    EXPECT_DOUBLE_EQ(rig.pet->x(), 576 + 0.25 * (0.62 * 1920 - 32 - 576));
    EXPECT_DOUBLE_EQ(rig.pet->lastMigration(), rig.clock.monotonic());
    EXPECT_EQ(rig.pet->otherDisplays(), (std::vector<QString>{"A", "C"}));
    for (int i = 0; i < 28; ++i) rig.tick();
    EXPECT_EQ(rig.pet->animation(), Animation::sit);
    EXPECT_EQ(rig.pet->stateTimeLeft(), 3);

    // No move within 45 s of the last one, even at full dwell; afterwards moves again.
    rig.pet->setInterestDisplay(QStringLiteral("A"));
    rig.pet->setFocusDwell(40);
    rig.clock.advance(44.9 - 1.4);
    rig.random.draws = 0;
    EXPECT_FALSE(rig.pet->wantsToWander().has_value());
    EXPECT_EQ(rig.random.draws, 0);
    rig.clock.advance(0.2);
    rig.random.unit(0);
    EXPECT_EQ(rig.pet->wantsToWander(), QStringLiteral("A"));
}

TEST(MenuBarPetSettings, ApplySettingStartsStopsAndChangesSpecies) {
    PetRig rig;
    QSignalSpy running(rig.pet.get(), &MenuBarPet::runningChanged);
    rig.pet->applySetting();
    rig.pet->applySetting();  // already running: not started twice
    EXPECT_TRUE(rig.pet->isRunning());
    EXPECT_EQ(running.count(), 1);
    EXPECT_EQ(rig.pet->species().id, QStringLiteral("ginger"));

    rig.pet->setAnimation(Animation::walk, 4);
    rig.pet->setX(700);
    rig.tick();
    // Only the wander switch: the pet carries on.
    rig.settings.wanders.set(false);
    rig.pet->applySetting();
    EXPECT_EQ(rig.pet->animation(), Animation::walk);
    // Another species reappears with its appear animation.
    rig.settings.species.set("owl");
    rig.pet->applySetting();
    EXPECT_EQ(rig.pet->species().id, QStringLiteral("owl"));
    EXPECT_EQ(rig.pet->animation(), Animation::appear);
    EXPECT_EQ(rig.pet->stateTimeLeft(), MenuBarPet::infinity);
    // An id no species has is the default species.
    rig.settings.species.set("Owl");
    rig.pet->applySetting();
    EXPECT_EQ(rig.pet->species().id, QStringLiteral("ginger"));

    // Off stops; stop and start resume the same place and animation.
    rig.pet->setAnimation(Animation::groom, 2);
    const double x = rig.pet->x();
    rig.settings.enabled.set(false);
    rig.pet->applySetting();
    EXPECT_FALSE(rig.pet->isRunning());
    rig.clock.advance(30);
    rig.tick();
    EXPECT_EQ(rig.pet->animation(), Animation::groom);
    rig.settings.enabled.set(true);
    rig.pet->applySetting();
    EXPECT_TRUE(rig.pet->isRunning());
    EXPECT_EQ(rig.pet->animation(), Animation::groom);
    EXPECT_DOUBLE_EQ(rig.pet->x(), x);
    EXPECT_EQ(running.count(), 3);
    // A species chosen while stopped does not play appear.
    rig.pet->stop();
    rig.settings.species.set("cow");
    rig.pet->applySetting();
    EXPECT_EQ(rig.pet->animation(), Animation::groom);
    EXPECT_EQ(rig.pet->species().id, QStringLiteral("cow"));
}

TEST(MenuBarPetLook, FacingPositionAndHeart) {
    PetRig rig;
    rig.start();
    rig.pet->setX(600.5);
    rig.pet->setDirection(-1);
    MenuBarPet::Look look = rig.pet->look();
    EXPECT_EQ(look.petLeft, 601);  // halves away from zero
    EXPECT_TRUE(look.flipped);
    EXPECT_EQ(look.display, QStringLiteral("A"));
    rig.pet->setX(-0.5);
    EXPECT_EQ(rig.pet->look().petLeft, -1);

    // The heart: grows from 0.3 with a spring that overshoots and settles; bobs while shown.
    EXPECT_DOUBLE_EQ(HoverHeart::growScale(0), 0.3);
    double peak = 0;
    for (double t = 0; t < 0.5; t += 0.005) peak = std::max(peak, HoverHeart::growScale(t));
    EXPECT_GT(peak, 1.05);
    EXPECT_NEAR(HoverHeart::growScale(HoverHeart::growDuration()), 1, 0.001);
    HoverHeart heart;
    heart.pop(10);
    EXPECT_DOUBLE_EQ(heart.look(10).opacity, 0);
    EXPECT_NEAR(heart.look(10.06).opacity, 0.5, 1e-9);
    EXPECT_DOUBLE_EQ(heart.look(10.3).rise, 0);
    EXPECT_NEAR(heart.look(10.9).rise, 1.5, 1e-9);
    EXPECT_NEAR(heart.look(11.5).rise, 0, 1e-9);
    heart.hide(10.06);  // from the opacity shown then
    EXPECT_NEAR(heart.look(10.185).opacity, 0.25, 1e-9);
    EXPECT_EQ(heart.look(10.185).rise, 0);

    const QImage& image = HoverHeart::image();
    ASSERT_EQ(image.size(), QSize(7, 6));
    EXPECT_EQ(image.pixel(0, 0), 0u);
    EXPECT_EQ(image.pixel(1, 0), 0xff2b1d14);
    EXPECT_EQ(image.pixel(1, 1), 0xffff6b8b);
    EXPECT_EQ(image.pixel(3, 5), 0xff2b1d14);
    EXPECT_EQ(image.pixel(3, 4), 0xffff6b8b);
}
