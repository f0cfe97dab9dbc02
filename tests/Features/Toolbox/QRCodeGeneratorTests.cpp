#include "Platform/Files/FileWriter.h"
#include "Source/Extensions/PngData.h"
#include "Source/Features/Toolbox/QRCodeGenerator.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using QRCodeGenerator::Correction;
using QRCodeGenerator::Failure;

namespace {

// `bytes` UTF-8 bytes of mostly Cyrillic text (two bytes a letter, one Latin letter when odd).
QString cyrillicOfBytes(qsizetype bytes) {
    QString text;
    const QString alphabet = QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюя");
    for (qsizetype i = 0; i < bytes / 2; ++i) text.append(alphabet.at(i % alphabet.size()));
    if (bytes % 2) text.append(QLatin1Char('x'));
    return text;
}

// The largest byte count each level holds in 8-bit mode (the biggest symbol), capped by the limit.
qsizetype largestFor(Correction correction) {
    switch (correction) {
    case Correction::low: return QRCodeGenerator::maxBytes;  // the symbol would hold 2953
    case Correction::medium: return 2331;
    case Correction::quartile: return 1663;
    case Correction::high: return 1273;
    }
    return 0;
}

// Side of one module and the symbol's width in modules, read off the top-left finder pattern:
// the first dark run of the first dark row is seven modules long.
struct Geometry {
    int scale = 0;
    int margin = 0;
    int modules = 0;
};

Geometry measure(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) != 0) continue;
            int run = 0;
            while (x + run < image.width() && qGray(image.pixel(x + run, y)) == 0) ++run;
            Geometry g;
            g.scale = run / 7;
            g.margin = x;
            g.modules = g.scale ? image.width() / g.scale - 8 : 0;
            EXPECT_EQ(y, x) << "the finder pattern sits on the diagonal";
            EXPECT_EQ(run % 7, 0);
            return g;
        }
    }
    return {};
}

}  // namespace

TEST(QRCodeGenerator, InputsThatMakeNoCode) {
    struct Row {
        QString text;
        Correction correction;
        std::optional<Failure> failure;
        QString message;
    };
    const Row rows[] = {
        {QString(), Correction::medium, Failure{Failure::Kind::empty}, QStringLiteral("Нечего кодировать")},
        {QStringLiteral(" \n\t\r\n  \u00a0\u2028"), Correction::medium, Failure{Failure::Kind::empty},
         QStringLiteral("Нечего кодировать")},
        {QString(2900, QLatin1Char('a')), Correction::low, std::nullopt, {}},
        {QString(2901, QLatin1Char('a')), Correction::low, Failure{Failure::Kind::tooLarge, 2901},
         QStringLiteral("Слишком много данных для QR: 2901 байт. Предел около 2 900.")},
        // Blanks around the text are neither counted nor encoded.
        {QStringLiteral("  \n") + QString(2900, QLatin1Char('a')) + QStringLiteral(" \n "),
         Correction::low,
         std::nullopt,
         {}},
        {QString(1000, QChar(0x0436)), Correction::low, std::nullopt, {}},
        {QString(1500, QChar(0x0436)), Correction::low, Failure{Failure::Kind::tooLarge, 3000},
         QStringLiteral("Слишком много данных для QR: 3000 байт. Предел около 2 900.")},
        // Within the limit but more than the level's biggest symbol holds.
        {QString(2900, QLatin1Char('a')), Correction::high, Failure{Failure::Kind::renderFailed},
         QStringLiteral("Не удалось построить код")},
        {cyrillicOfBytes(2332), Correction::medium, Failure{Failure::Kind::renderFailed}, {}},
        {cyrillicOfBytes(1664), Correction::quartile, Failure{Failure::Kind::renderFailed}, {}},
        {cyrillicOfBytes(1274), Correction::high, Failure{Failure::Kind::renderFailed}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text.size());
        const auto result = QRCodeGenerator::image(row.text, row.correction, 260);
        EXPECT_EQ(result.failure, row.failure);
        EXPECT_EQ(result.image.isNull(), row.failure.has_value());
        if (row.failure && !row.message.isEmpty()) {
            EXPECT_EQ(row.failure->message(), row.message);
        }
    }
}

TEST(QRCodeGenerator, WholeModulesAndAFourModuleQuietZone) {
    struct Row {
        QString text;
        double pointSize;
        int modules;  // 0: any
        int side;  // 0: (modules + 8) × scale with the scale from the point size
    };
    const Row rows[] = {
        {QStringLiteral("Quorvin"), 260, 21, 348},  // version 1 at M
        {QString(30, QLatin1Char('q')), 260, 29, 296},  // version 3: scale 8
        {QString(30, QLatin1Char('q')), 28.9, 29, 37},  // smaller than the symbol: scale 1
        {QString(30, QLatin1Char('q')), -5, 29, 37},   {QString(30, QLatin1Char('q')), 58, 29, 74},
        {QString(500, QLatin1Char('z')), 260, 0, 0},   {QString(2000, QLatin1Char('z')), 1000, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(qPrintable(QString::asprintf("%d bytes at %.1f", int(row.text.size()), row.pointSize)));
        const QImage image = QRCodeGenerator::image(row.text, Correction::medium, row.pointSize).image;
        ASSERT_FALSE(image.isNull());
        ASSERT_EQ(image.width(), image.height());
        const Geometry g = measure(image);
        ASSERT_GT(g.scale, 0);
        if (row.modules) {
            EXPECT_EQ(g.modules, row.modules);
        }
        EXPECT_EQ((g.modules - 21) % 4, 0);
        EXPECT_EQ(g.scale, std::max(int(std::floor(row.pointSize / g.modules)), 1));
        EXPECT_EQ(g.margin, 4 * g.scale);
        EXPECT_EQ(image.width(), row.side ? row.side : (g.modules + 8) * g.scale);
        // Every module is one flat square of pure black or pure white; the quiet zone is white.
        for (int my = 0; my < g.modules + 8; ++my) {
            for (int mx = 0; mx < g.modules + 8; ++mx) {
                const QRgb first = image.pixel(mx * g.scale, my * g.scale);
                ASSERT_TRUE(first == qRgb(0, 0, 0) || first == qRgb(255, 255, 255));
                const bool quiet = mx < 4 || my < 4 || mx >= g.modules + 4 || my >= g.modules + 4;
                if (quiet) {
                    ASSERT_EQ(first, qRgb(255, 255, 255)) << mx << "," << my;
                }
                for (int dy = 0; dy < g.scale; ++dy)
                    for (int dx = 0; dx < g.scale; ++dx)
                        ASSERT_EQ(image.pixel(mx * g.scale + dx, my * g.scale + dy), first) << mx << "," << my;
            }
        }
    }
}

// Decodes what the generator makes with a real reader, at every level, up to the most each holds.
TEST(QRCodeGenerator, ReadsBackExactlyThroughAnIndependentDecoder) {
    const QString zbarimg = QStandardPaths::findExecutable(QStringLiteral("zbarimg"));
    if (zbarimg.isEmpty())
        GTEST_SKIP() << "zbarimg is not installed (Debian package zbar-tools): the round trip is not checked";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());

    const QStringList texts = {
        QStringLiteral("https://example.org/?q=1&r=2"),
        QStringLiteral("Съешь же ещё этих мягких французских булок, да выпей чаю."),
        QStringLiteral("Ёлка 🎄 mixed: Ωμέγα, 漢字, ä ö ü ß"),
        QStringLiteral("line one\nline two\n\tindented"),
    };
    int n = 0;
    for (Correction correction : QRCodeGenerator::allCorrections) {
        QStringList cases = texts;
        cases << cyrillicOfBytes(largestFor(correction));
        for (const QString& text : cases) {
            SCOPED_TRACE(qPrintable(QString::asprintf("%s, %d bytes", qPrintable(QRCodeGenerator::rawValue(correction)),
                                                      int(text.toUtf8().size()))));
            const auto result = QRCodeGenerator::image(text, correction, 260);
            ASSERT_FALSE(result.failure) << qPrintable(result.failure->message());
            // A symbol of more than 130 modules comes out one pixel a module at 260 points, which the
            // reader cannot take from a file; it gets the same code at two pixels a module.
            const Geometry g = measure(result.image);
            const QImage image =
                g.scale < 2 ? QRCodeGenerator::image(text, correction, 2.0 * g.modules).image : result.image;
            const auto png = pngData(image);
            ASSERT_TRUE(png);
            const QString path = folder.filePath(QString::asprintf("code-%d.png", n++));
            ASSERT_FALSE(FileWriter::shared().write(path, *png, 0600));

            QProcess reader;
            reader.start(zbarimg,
                         {QStringLiteral("--quiet"), QStringLiteral("--raw"), QStringLiteral("-Sbinary"), path});
            ASSERT_TRUE(reader.waitForFinished(30000));
            EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().constData();
            EXPECT_EQ(QString::fromUtf8(reader.readAllStandardOutput()), text);
        }
    }
}
