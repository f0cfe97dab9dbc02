// One 50 ms tick of the menu-bar pet: the behaviour step alone (sleeping: nothing to show most
// ticks; walking: a move every tick, a new frame every third), and the step with the window
// taking the new look (a move, and a repaint only for a new frame).
#include "PetTestSupport.h"

#include "Source/Features/MenuBarPet/MenuBarPetController.h"
#include "Views/Pet/PetWindow.h"

#include <QApplication>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

void run(benchmark::State& state, PetSprite::Animation animation, bool withWindow) {
    PetRig rig;
    rig.pet.reset();
    MenuBarPetController controller(
        MenuBarPet::Environment{rig.clock, rig.random, rig.displays, rig.front, rig.settings, [&rig] { return rig.cpu; },
                                false},
        [] {});
    MenuBarPet& pet = controller.pet();
    if (withWindow) {
        controller.applySetting();
    } else {
        pet.start();
        QObject::disconnect(&pet, nullptr, &controller, nullptr);
    }
    // Frames built beforehand, as after the first seconds of a real session.
    for (PetSprite::Animation a : PetSprite::allAnimations()) PetSprite::frames(a, pet.species());
    for (auto _ : state) {
        // Kept on the stretch and in the same animation, whatever chance says.
        if (pet.animation() != animation || pet.x() < 450 || pet.x() > 840) {
            pet.setX(600);
            pet.setAnimation(animation, 1e9);
        }
        rig.clock.advance(MenuBarPet::tickInterval);
        pet.tick();
        if (withWindow) QApplication::processEvents();
    }
    if (withWindow) state.counters["paints"] = controller.window()->paintCount();
}

void BM_PetTickSleeping(benchmark::State& state) { run(state, PetSprite::Animation::sleep, false); }
void BM_PetTickWalking(benchmark::State& state) { run(state, PetSprite::Animation::walk, false); }
void BM_PetTickWalkingWithWindow(benchmark::State& state) { run(state, PetSprite::Animation::walk, true); }
void BM_PetTickSleepingWithWindow(benchmark::State& state) { run(state, PetSprite::Animation::sleep, true); }

}  // namespace

BENCHMARK(BM_PetTickSleeping)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PetTickWalking)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PetTickSleepingWithWindow)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PetTickWalkingWithWindow)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
