// Every text transform on 1 MB of mixed-script text: Latin, Cyrillic, Greek, Han, emoji, combining marks
// and digits, in words of random letters so that no two paragraphs repeat.
#include "Source/Features/Toolbox/TextTransform.h"

#include <QCoreApplication>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

QString mixedText(qsizetype utf8Bytes, bool withHan) {
    struct Alphabet {
        char32_t first;
        char32_t last;
    };
    const Alphabet alphabets[] = {
        {U'a', U'z'}, {U'а', U'я'}, {U'α', U'ω'}, {0x4E00, 0x9FA5}, {0x1F600, 0x1F64F}, {U'0', U'9'},
    };
    std::mt19937 random(7);
    std::discrete_distribution<int> pick({40, 32, 8, withHan ? 10.0 : 0.0, 3, 7});
    QString text;
    qsizetype bytes = 0, word = 0;
    while (bytes < utf8Bytes) {
        const Alphabet& a = alphabets[pick(random)];
        const int length = 1 + int(random() % 9);
        for (int i = 0; i < length; ++i) {
            const char32_t c = a.first + random() % (a.last - a.first + 1);
            const char32_t upper = (i == 0 && random() % 4 == 0 && c >= U'a' && c <= U'z') ? c - 32 : c;
            text += QString::fromUcs4(&upper, 1);
            if (random() % 20 == 0 && a.first == U'a') text += QChar(0x0301);
        }
        text += ++word % 12 == 0    ? QStringLiteral("\n")
                : random() % 8 == 0 ? QStringLiteral(", ")
                                    : QStringLiteral(" ");
        bytes = word % 256 == 0 ? text.toUtf8().size() : bytes;
    }
    return text;
}

const QString& sample() {
    static const QString text = mixedText(1 << 20, true);
    return text;
}

QString inputFor(TextTransform transform) {
    switch (transform) {
    case TextTransform::base64Decode: return TextTransforms::apply(TextTransform::base64Encode, sample()).value();
    case TextTransform::urlDecode: return TextTransforms::apply(TextTransform::urlEncode, sample()).value();
    case TextTransform::htmlUnescape: return TextTransforms::apply(TextTransform::htmlEscape, sample()).value();
    case TextTransform::hexDecode: return TextTransforms::apply(TextTransform::hexEncode, sample()).value();
    case TextTransform::jsonUnescape: return TextTransforms::apply(TextTransform::jsonEscape, sample()).value();
    case TextTransform::jsonPretty:
    case TextTransform::jsonMinify: {
        // The same text as a JSON array of its lines.
        const QStringList lines = sample().split(u'\n');
        QString json = QStringLiteral("[");
        for (const QString& line : lines) {
            json += TextTransforms::apply(TextTransform::jsonEscape, line).value() + QStringLiteral(",\n");
        }
        json.chop(2);
        return json + u']';
    }
    default: return sample();
    }
}

void transformBench(benchmark::State& state) {
    const TextTransform transform = TextTransforms::allCases[state.range(0)];
    const QString input = inputFor(transform);
    state.SetLabel(TextTransforms::rawValue(transform).toStdString());
    for (auto _ : state) {
        TransformResult<QString> result = TextTransforms::apply(transform, input);
        if (!result.ok()) state.SkipWithError(result.failure().message.toStdString().c_str());
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(state.iterations() * input.toUtf8().size());
}
BENCHMARK(transformBench)->DenseRange(0, int(TextTransforms::allCases.size()) - 1)->Unit(benchmark::kMillisecond);

// The transliteration of Han characters costs about 15 µs each; the other scripts far less.
void slugWithoutHanBench(benchmark::State& state) {
    const QString input = mixedText(1 << 20, false);
    for (auto _ : state) benchmark::DoNotOptimize(TextTransforms::apply(TextTransform::slug, input));
    state.SetBytesProcessed(state.iterations() * input.toUtf8().size());
}
BENCHMARK(slugWithoutHanBench)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) { return runBenchmarks<QCoreApplication>(argc, argv); }
