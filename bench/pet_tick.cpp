// One 50 ms tick of the menu-bar pet: the behaviour step alone (sleeping: nothing to show most
// ticks; walking: a move every tick, a new frame every third), and the step with the window
// taking the new look (a move, and a repaint only for a new frame).
#include "PetBenchSupport.h"

#include "Views/Pet/PetWindow.h"

#include <QApplication>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

void run(benchmark::State& state, PetSprite::Animation animation, bool withWindow) {
    BenchPet bench(withWindow);
    for (auto _ : state) {
        bench.step(animation);
        if (withWindow) QApplication::processEvents();
    }
    if (withWindow) state.counters["paints"] = bench.controller->window()->paintCount();
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
