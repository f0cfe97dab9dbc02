// A QR code of the largest accepted input (2,900 bytes) at each level that holds it, at the
// toolbox's 260-point size. The target is under 20 ms per code.
#include "BenchSupport.h"
#include "Source/Features/Toolbox/QRCodeGenerator.h"

#include <QGuiApplication>

namespace {

QString mixedText(qsizetype bytes) {
    QString text;
    const QString alphabet = QStringLiteral("Quorvin съешь же ещё этих мягких булок 0123456789 ");
    while (text.toUtf8().size() < bytes) text.append(alphabet.at(text.size() % alphabet.size()));
    while (text.toUtf8().size() > bytes) text.chop(1);
    while (text.toUtf8().size() < bytes) text.append(QLatin1Char('x'));
    return text;
}

void qrCode(benchmark::State& state, QRCodeGenerator::Correction correction, qsizetype bytes) {
    const QString text = mixedText(bytes);
    for (auto _ : state) {
        const auto result = QRCodeGenerator::image(text, correction, 260);
        if (result.failure) state.SkipWithError("no code was made");
        benchmark::DoNotOptimize(result.image.constBits());
    }
    state.SetLabel(QString::asprintf("%lld bytes", qlonglong(bytes)).toStdString());
}

}  // namespace

BENCHMARK_CAPTURE(qrCode, low_2900, QRCodeGenerator::Correction::low, 2900)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(qrCode, medium_2331, QRCodeGenerator::Correction::medium, 2331)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(qrCode, quartile_1663, QRCodeGenerator::Correction::quartile, 1663)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(qrCode, high_1273, QRCodeGenerator::Correction::high, 1273)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(qrCode, medium_short, QRCodeGenerator::Correction::medium, 40)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return runBenchmarks<QGuiApplication>(argc, argv); }
