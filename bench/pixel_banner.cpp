// One frame of the release banner at 920 × 240 (it is painted eight times a second while shown),
// for the busiest themes and for the whole cycle. The walkers' images are cached before timing.
#include "Source/Features/Onboarding/PixelScene.h"

#include <QGuiApplication>
#include <QImage>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

namespace {

void frame(benchmark::State& state, int themeIndex, double dpr) {
    const PixelScene::Theme& theme = PixelScene::Theme::sequence()[themeIndex];
    QImage image;
    PixelScene::renderInto(image, QSizeF(920, 240), 0, theme, dpr);  // fills the sprite cache
    double t = 8.0e8;
    for (auto _ : state) {
        PixelScene::renderInto(image, QSizeF(920, 240), t, theme, dpr);
        benchmark::DoNotOptimize(image.constBits());
        t += 0.125;
    }
}

void BM_BannerFrameDusk(benchmark::State& state) { frame(state, 0, 1.0); }
void BM_BannerFrameNight(benchmark::State& state) { frame(state, 1, 1.0); }
void BM_BannerFrameRain(benchmark::State& state) { frame(state, 6, 1.0); }
void BM_BannerFramePolar(benchmark::State& state) { frame(state, 7, 1.0); }
void BM_BannerFramePolarHiDpi(benchmark::State& state) { frame(state, 7, 2.0); }

void BM_BannerFrameEveryTheme(benchmark::State& state) {
    QImage image;
    for (const PixelScene::Theme& theme : PixelScene::Theme::sequence())
        PixelScene::renderInto(image, QSizeF(920, 240), 0, theme);
    double t = 8.0e8;
    int k = 0;
    for (auto _ : state) {
        PixelScene::renderInto(image, QSizeF(920, 240), t, PixelScene::Theme::sequence()[k++ % 8]);
        benchmark::DoNotOptimize(image.constBits());
        t += 0.125;
    }
}

}  // namespace

BENCHMARK(BM_BannerFrameDusk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BannerFrameNight)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BannerFrameRain)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BannerFramePolar)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BannerFramePolarHiDpi)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BannerFrameEveryTheme)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return runBenchmarks<QGuiApplication>(argc, argv); }
