#include "FailingFileWriter.h"
#include "Source/Features/Toolbox/QRPaneModel.h"
#include "TestSupport.h"
#include "ToolboxPaneTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using QRCodeGenerator::Correction;

namespace {

// Pixels per module, measured on the dark run of the top-left finder pattern (seven modules).
int pixelsPerModule(const QImage& image) {
    const QImage gray = image.convertToFormat(QImage::Format_Grayscale8);
    for (int y = 0; y < gray.height(); ++y) {
        const uchar* line = gray.constScanLine(y);
        int x = 0;
        while (x < gray.width() && line[x] > 127) ++x;
        if (x == gray.width()) continue;
        int run = 0;
        while (x + run < gray.width() && line[x + run] <= 127) ++run;
        return run / 7;
    }
    return 0;
}

}  // namespace

TEST(QRPaneModel, TheCounterCountsTheTextAsTyped) {
    EXPECT_EQ(QRPaneModel::counterText(QString()), QStringLiteral("0 / 2900 байт"));
    EXPECT_EQ(QRPaneModel::counterText(QStringLiteral("ёж")), QStringLiteral("4 / 2900 байт"));
    EXPECT_FALSE(QRPaneModel::isOverLimit(QString(2900, QLatin1Char('a'))));
    EXPECT_TRUE(QRPaneModel::isOverLimit(QString(2901, QLatin1Char('a'))));
    EXPECT_FALSE(QRPaneModel::isOverLimit(QString(1450, QChar(0x0436))));  // 2900 bytes of Cyrillic
    EXPECT_TRUE(QRPaneModel::isOverLimit(QString(1451, QChar(0x0436))));

    // Blanks around the text count here but are not encoded: the counter warns while a code shows.
    QRPaneModel model;
    model.setCorrection(Correction::low);  // the only level that holds 2899 bytes
    const QString padded = QStringLiteral("  ") + QString(2899, QLatin1Char('a')) + QStringLiteral("  ");
    model.setInput(padded);
    EXPECT_TRUE(QRPaneModel::isOverLimit(padded));
    EXPECT_FALSE(model.code().failure);

    model.setInput(QString(2901, QLatin1Char('a')));
    ASSERT_TRUE(model.code().failure);
    EXPECT_EQ(model.code().failure->message(),
              QStringLiteral("Слишком много данных для QR: 2901 байт. Предел около 2 900."));
    model.setInput(QStringLiteral(" \n\t "));
    ASSERT_TRUE(model.code().failure);
    EXPECT_EQ(model.code().failure->kind, QRCodeGenerator::Failure::Kind::empty);
}

TEST(QRPaneModel, LevelsAndTheirTexts) {
    QRPaneModel model;
    EXPECT_EQ(model.correction(), Correction::medium);
    EXPECT_EQ(QRPaneModel::segmentTitle(Correction::low), QStringLiteral("7%"));
    EXPECT_EQ(QRPaneModel::segmentTitle(Correction::high), QStringLiteral("30%"));
    EXPECT_EQ(QRPaneModel::description(Correction::medium), QStringLiteral("Компромисс по умолчанию."));
    EXPECT_EQ(QRPaneModel::description(Correction::high),
              QStringLiteral("Читается даже поцарапанным — для печати и наклеек."));

    const QString text(120, QLatin1Char('x'));
    model.setInput(text);
    const QImage medium = model.code().image;
    int redraws = 0;
    QObject::connect(&model, &QRPaneModel::codeChanged, [&redraws] { ++redraws; });
    model.setCorrection(Correction::high);
    EXPECT_EQ(redraws, 1);
    EXPECT_NE(model.code().image, medium);  // more modules for the same text
    model.setCorrection(Correction::high);
    EXPECT_EQ(redraws, 1);
}

TEST(QRPaneModel, CodesAreDrawnWithAtLeastTwoPixelsPerModule) {
    QRPaneModel model;
    model.setDevicePixelRatio(1);
    EXPECT_EQ(model.devicePixelRatio(), 2.0);
    model.setInput(QStringLiteral("https://example.org"));
    const QImage small = model.code().image;
    EXPECT_EQ(small.devicePixelRatio(), 2.0);
    // The symbol stays within 260 points; its margin may reach beyond.
    const int scale = pixelsPerModule(small);
    const int modules = small.width() / scale - 8;
    EXPECT_LE(modules * scale / 2.0, QRPaneModel::pointSize);
    EXPECT_GE(scale, 2);

    // The largest code at the lowest level has more than 130 modules: still two pixels each.
    model.setCorrection(Correction::low);
    model.setInput(QString(2900, QLatin1Char('a')));
    ASSERT_FALSE(model.code().failure);
    const int largeScale = pixelsPerModule(model.code().image);
    EXPECT_GT(model.code().image.width() / largeScale - 8, 130);
    EXPECT_GE(largeScale, 2);

    model.setDevicePixelRatio(3);
    EXPECT_EQ(model.code().image.devicePixelRatio(), 3.0);
}

TEST(QRPaneModel, CopyAndSaveWriteThePNGOfTheCode) {
    FakePasteboard pasteboard;
    QRPaneModel model;
    EXPECT_FALSE(model.copy(pasteboard));  // no code, nothing written
    EXPECT_EQ(pasteboard.writeCount(), 0);

    model.setInput(QStringLiteral("Привет"));
    ASSERT_TRUE(model.copy(pasteboard));
    const auto png = pasteboard.data(PasteboardType::png);
    ASSERT_TRUE(png);
    QImage copied;
    ASSERT_TRUE(copied.loadFromData(*png, "PNG"));
    EXPECT_EQ(copied.size(), model.code().image.size());
    EXPECT_TRUE(model.copyConfirmation().didCopy());

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("qr.png"));
    EXPECT_FALSE(QRPaneModel::save(path, model.pngData()));
    QImage saved;
    ASSERT_TRUE(saved.load(path, "PNG"));
    EXPECT_EQ(saved.size(), model.code().image.size());

    FailingFileWriter failing;
    failing.failPathsContaining(QStringLiteral("full"));
    const auto error = QRPaneModel::save(folder.filePath(QStringLiteral("full.png")), model.pngData());
    ASSERT_TRUE(error);
    EXPECT_TRUE(QRPaneModel::saveFailureText(*error).startsWith(QStringLiteral("Не удалось сохранить PNG: ")));
    EXPECT_TRUE(QRPaneModel::saveFailureText(*error).contains(QStringLiteral("full.png")));

    EXPECT_EQ(QRPaneModel::withPngSuffix(QStringLiteral("/tmp/code")), QStringLiteral("/tmp/code.png"));
    EXPECT_EQ(QRPaneModel::withPngSuffix(QStringLiteral("/tmp/code.PNG")), QStringLiteral("/tmp/code.PNG"));
}

TEST(QRPaneModel, ClipboardTextGoesOnlyWhereItMayGo) {
    ToolboxPaneTest::ScopedFakePasteboard fake;
    QRPaneModel model;
    QStringList arrived;
    QObject::connect(&model, &QRPaneModel::textFromClipboard, [&arrived](const QString& t) { arrived.append(t); });

    model.readClipboard(true);  // an empty pasteboard: nothing
    fake.pasteboard.simulateCopy({{PasteboardType::png, QByteArray("x")}});
    model.readClipboard(false);  // a picture but no text: nothing
    EXPECT_TRUE(arrived.isEmpty());

    fake.pasteboard.simulateCopyText(QStringLiteral("https://example.org"));
    model.readClipboard(true);
    EXPECT_EQ(arrived, QStringList{QStringLiteral("https://example.org")});
    model.setInput(QStringLiteral("typed"));
    model.readClipboard(true);  // the input is not empty any more
    EXPECT_EQ(arrived.size(), 1);
    model.readClipboard(false);  // the button replaces it
    EXPECT_EQ(arrived.size(), 2);

    fake.pasteboard.setOwnerAnswers(false);
    model.readClipboard(false);
    EXPECT_EQ(arrived.size(), 2);
}
