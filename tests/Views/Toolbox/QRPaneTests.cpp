#include "FailingFileWriter.h"
#include "FakeFileDialogs.h"
#include "TestSupport.h"
#include "ToolboxPaneTestSupport.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/InkLabel.h"
#include "Views/Toolbox/PaneButton.h"
#include "Views/Toolbox/QRImageView.h"
#include "Views/Toolbox/QRPane.h"
#include "Views/Toolbox/SegmentedPicker.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

struct QRPaneTest : ::testing::Test {
    ToolboxPaneTest::ScopedFakePasteboard fake;
    ScopedFileDialogs dialogs;
    ToolboxModel model;
    std::unique_ptr<QRPane> pane;

    void SetUp() override { AccessibilityDisplayOptions::shared().setOverride(true, false); }
    void TearDown() override { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }

    QRPane& open() {
        pane = std::make_unique<QRPane>(model);
        pane->resize(630, 600);
        pane->show();
        TestSupport::spin(20);
        return *pane;
    }
};

}  // namespace

TEST_F(QRPaneTest, OpeningWithAnEmptyInputTakesTheClipboardsText) {
    fake.pasteboard.simulateCopyText(QStringLiteral("https://example.org"));
    QRPane& p = open();
    EXPECT_EQ(model.input(), QStringLiteral("https://example.org"));
    EXPECT_EQ(p.editor()->text(), QStringLiteral("https://example.org"));
    EXPECT_TRUE(p.codeView()->isVisible());
    EXPECT_FALSE(p.failureView()->isVisible());
    EXPECT_FALSE(p.imageView()->image().isNull());
    EXPECT_EQ(p.counterLabel()->text(), QStringLiteral("19 / 2900 байт"));

    // A pane opened on a text leaves the clipboard unread.
    pane.reset();
    model.setInput(QStringLiteral("своё"));
    const int reads = fake.pasteboard.readCount();
    open();
    EXPECT_EQ(fake.pasteboard.readCount(), reads);
    EXPECT_EQ(model.input(), QStringLiteral("своё"));

    // "Из буфера" replaces it.
    QTest::mouseClick(pane->pasteButton(), Qt::LeftButton);
    EXPECT_EQ(model.input(), QStringLiteral("https://example.org"));
}

TEST_F(QRPaneTest, FailuresShowInPlaceOfTheCode) {
    model.setInput(QStringLiteral("   \n"));
    QRPane& p = open();
    EXPECT_FALSE(p.codeView()->isVisible());
    EXPECT_FALSE(p.copyButton()->isVisible());
    EXPECT_TRUE(p.failureView()->isVisible());
    EXPECT_EQ(p.failureView()->size(), QSize(260, 260));
    EXPECT_EQ(p.failureSymbolName(), QStringLiteral("qrcode"));
    EXPECT_EQ(p.failureLabel()->text(), QStringLiteral("Нечего кодировать"));

    model.setInput(QString(2901, QLatin1Char('a')));
    EXPECT_EQ(p.counterLabel()->text(), QStringLiteral("2901 / 2900 байт"));
    EXPECT_EQ(p.counterLabel()->color(), SystemColors::orange(false));
    EXPECT_EQ(p.failureSymbolName(), QStringLiteral("exclamationmark.triangle.fill"));
    EXPECT_EQ(p.failureLabel()->text(), QStringLiteral("Слишком много данных для QR: 2901 байт. Предел около 2 900."));

    model.setInput(QStringLiteral("ok"));
    EXPECT_TRUE(p.codeView()->isVisible());
    EXPECT_NE(p.counterLabel()->color(), SystemColors::orange(false));
}

TEST_F(QRPaneTest, TypingAndTheLevelRedrawTheCode) {
    model.setInput(QStringLiteral("a"));
    QRPane& p = open();
    const QImage before = p.imageView()->image();
    p.editor()->setFocus();
    p.editor()->moveCursor(QTextCursor::End);
    QTest::keyClicks(p.editor(), QStringLiteral("bc"));
    EXPECT_EQ(model.input(), QStringLiteral("abc"));
    EXPECT_NE(p.imageView()->image(), before);

    EXPECT_EQ(p.levelDescription()->text(), QStringLiteral("Компромисс по умолчанию."));
    SegmentedPicker* picker = p.levelPicker();
    QTest::mouseClick(picker, Qt::LeftButton, {}, picker->segmentRect(3).center().toPoint());
    EXPECT_EQ(p.qrModel().correction(), QRCodeGenerator::Correction::high);
    EXPECT_EQ(p.levelDescription()->text(), QStringLiteral("Читается даже поцарапанным — для печати и наклеек."));
    // A new pane starts at the default level again.
    open();
    EXPECT_EQ(pane->qrModel().correction(), QRCodeGenerator::Correction::medium);
    EXPECT_EQ(pane->levelPicker()->currentIndex(), 1);
}

TEST_F(QRPaneTest, AKeyInALargeInputLeavesTheModelsInputInPlaceAndCountsItsBytes) {
    // Blanks and a two-byte letter at the ends: the counter weighs all of it, the failure only the
    // trimmed text.
    const QString text = QStringLiteral(" \n") + QString(600'000, QLatin1Char('a')) + QStringLiteral("é ");
    model.setInput(text);
    QRPane& p = open();
    p.editor()->setFocus();
    QTextCursor cursor = p.editor()->textCursor();
    cursor.setPosition(int(text.size() / 2));
    p.editor()->setTextCursor(cursor);
    QTest::keyClicks(p.editor(), "a");  // the first key gives each its own room to grow
    const QChar* kept = model.input().constData();
    QTest::keyClicks(p.editor(), "bc");
    QKeyEvent letter(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("д"));
    QApplication::sendEvent(p.editor(), &letter);
    QTest::keyClick(p.editor(), Qt::Key_Backspace);
    // Holding the text, the code's model made the input copy itself at each key.
    EXPECT_EQ(model.input().constData(), kept);
    ASSERT_EQ(model.input(), p.editor()->text());
    const qint64 bytes = model.input().toUtf8().size();
    EXPECT_EQ(p.counterLabel()->text(), QString::number(bytes) + QStringLiteral(" / 2900 байт"));
    EXPECT_EQ(p.counterLabel()->color(), SystemColors::orange(false));
    EXPECT_EQ(p.failureLabel()->text(), QStringLiteral("Слишком много данных для QR: %1 байт. Предел около 2 900.")
                                            .arg(model.input().trimmed().toUtf8().size()));
    // Back within the limit, the code shows again.
    model.setInput(QStringLiteral("ok"));
    EXPECT_TRUE(p.codeView()->isVisible());
    EXPECT_EQ(p.counterLabel()->text(), QStringLiteral("2 / 2900 байт"));
}

TEST_F(QRPaneTest, CopyAndSave) {
    model.setInput(QStringLiteral("Quorvin"));
    QRPane& p = open();
    QTest::mouseClick(p.copyButton(), Qt::LeftButton);
    EXPECT_EQ(p.copyButton()->title(), QStringLiteral("Скопировано"));
    EXPECT_TRUE(fake.pasteboard.data(PasteboardType::png));

    QTemporaryDir folder;
    dialogs.fake.nextSavePath = folder.filePath(QStringLiteral("code"));
    QTest::mouseClick(p.saveButton(), Qt::LeftButton);
    ASSERT_EQ(dialogs.fake.requests.size(), 1u);
    EXPECT_EQ(dialogs.fake.requests[0].defaultName, QStringLiteral("qr.png"));
    QImage saved;
    ASSERT_TRUE(saved.load(folder.filePath(QStringLiteral("code.png")), "PNG"));
    EXPECT_EQ(saved.size(), p.qrModel().code().image.size());

    dialogs.fake.nextSavePath.clear();  // cancelled: nothing written, nothing said
    QTest::mouseClick(p.saveButton(), Qt::LeftButton);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 1);
    EXPECT_FALSE(p.saveFailureLabel()->isVisible());

    FailingFileWriter failing;
    failing.failPathsContaining(QStringLiteral("denied"));
    dialogs.fake.nextSavePath = folder.filePath(QStringLiteral("denied.png"));
    QTest::mouseClick(p.saveButton(), Qt::LeftButton);
    EXPECT_TRUE(p.saveFailureLabel()->isVisible());
    EXPECT_TRUE(p.saveFailureLabel()->text().startsWith(QStringLiteral("Не удалось сохранить PNG: ")));
    EXPECT_FALSE(QFileInfo::exists(folder.filePath(QStringLiteral("denied.png"))));
}

TEST_F(QRPaneTest, RussianTextsFitAtTheSmallestWindow) {
    model.setInput(QStringLiteral("x"));
    QRPane& p = open();
    for (InkLabel* label : p.findChildren<InkLabel*>()) {
        if (!label->isVisible() || label->wordWrap()) continue;
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    for (PaneButton* button : p.findChildren<PaneButton*>())
        if (button->isVisible()) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << button->title().toStdString();
        }
    EXPECT_GE(p.levelPicker()->width(), p.levelPicker()->minimumSizeHint().width());
}
