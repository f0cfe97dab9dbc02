// Building every animation's image list for one species (the cost of the first show of a pet),
// and picking a list that is already cached (the cost of each animation tick).
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <QGuiApplication>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

void buildAll(benchmark::State& state, const char* id) {
    const PetSpecies& species = PetSpecies::named(id);
    for (auto _ : state) {
        state.PauseTiming();
        for (PetSprite::Animation a : PetSprite::allAnimations()) PetSprite::cache().erase({species.id, a});
        state.ResumeTiming();
        int images = 0;
        for (PetSprite::Animation a : PetSprite::allAnimations()) images += PetSprite::frames(a, species).size();
        benchmark::DoNotOptimize(images);
    }
}

void BM_PetAllFramesGinger(benchmark::State& state) { buildAll(state, "ginger"); }
void BM_PetAllFramesOwl(benchmark::State& state) { buildAll(state, "owl"); }
void BM_PetAllFramesCow(benchmark::State& state) { buildAll(state, "cow"); }

void BM_PetCachedLookup(benchmark::State& state) {
    for (const PetSpecies& s : PetSpecies::all())
        for (PetSprite::Animation a : PetSprite::allAnimations()) PetSprite::frames(a, s);
    const PetSpecies& species = PetSpecies::named("red-panda");
    for (auto _ : state) {
        const QList<QImage>& list = PetSprite::frames(PetSprite::Animation::sleep, species);
        benchmark::DoNotOptimize(&list);
    }
}

}  // namespace

BENCHMARK(BM_PetAllFramesGinger)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PetAllFramesOwl)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PetAllFramesCow)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PetCachedLookup)->Unit(benchmark::kNanosecond);

int main(int argc, char** argv) { return runBenchmarks<QGuiApplication>(argc, argv); }
