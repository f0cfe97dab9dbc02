#include "TestSupport.h"
#include "ToolboxPaneTestSupport.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemColors.h"
#include "Views/Toolbox/InkLabel.h"
#include "Views/Toolbox/PaneButton.h"
#include "Views/Toolbox/PasswordPane.h"
#include "Views/Toolbox/SegmentedPicker.h"

#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

using PasswordGenerator::Style;

namespace {

struct PasswordPaneTest : ::testing::Test {
    ToolboxPaneTest::ScopedFakePasteboard fake;
    PasswordPane pane;

    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(true, false);
        pane.resize(630, 600);
        pane.show();
        TestSupport::spin(20);
    }
    void TearDown() override { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }

    void clickSegment(int index) {
        SegmentedPicker* picker = pane.stylePicker();
        QTest::mouseClick(picker, Qt::LeftButton, {}, picker->segmentRect(index).center().toPoint());
    }
};

}  // namespace

TEST_F(PasswordPaneTest, ShowsAPasswordWithItsStrengthOnFirstSight) {
    EXPECT_EQ(pane.passwordText()->toPlainText(), pane.model().password());
    EXPECT_EQ(pane.passwordText()->toPlainText().size(), 20);
    EXPECT_EQ(pane.strengthLabel()->text(), QStringLiteral("Хороший"));
    // Yellow, darkened until it reads on the card.
    EXPECT_NEAR(pane.strengthLabel()->color().hslHueF(), SystemColors::yellow(false).hslHueF(), 0.01);
    EXPECT_EQ(pane.entropyLabel()->text(), QStringLiteral("66 бит энтропии"));
    EXPECT_EQ(pane.unitLabel()->text(), QStringLiteral("Групп"));
    EXPECT_EQ(pane.lengthLabel()->text(), QStringLiteral("3"));
    EXPECT_EQ(pane.stylePicker()->currentIndex(), 0);
    EXPECT_TRUE(pane.digitToggle()->isChecked());
    EXPECT_TRUE(pane.capitalToggle()->isChecked());

    const QString first = pane.model().password();
    QTest::mouseClick(pane.regenerateButton(), Qt::LeftButton);
    EXPECT_NE(pane.passwordText()->toPlainText(), first);
}

TEST_F(PasswordPaneTest, StyleSegmentsChangeTheSliderTheTextsAndTheSwitches) {
    clickSegment(1);
    EXPECT_EQ(pane.model().options().style, Style::random);
    EXPECT_EQ(pane.lengthSlider()->minimum(), 8);
    EXPECT_EQ(pane.lengthSlider()->maximum(), 64);
    EXPECT_EQ(pane.lengthSlider()->value(), 8);
    EXPECT_EQ(pane.lengthLabel()->text(), QStringLiteral("8"));
    EXPECT_EQ(pane.unitLabel()->text(), QStringLiteral("Символов"));
    EXPECT_EQ(pane.strengthLabel()->text(), QStringLiteral("Приемлемый"));
    EXPECT_TRUE(pane.symbolToggle()->isVisible());
    EXPECT_TRUE(pane.digitToggle()->isVisible());

    clickSegment(3);
    EXPECT_EQ(pane.model().options().style, Style::numeric);
    EXPECT_FALSE(pane.digitToggle()->isVisible());
    EXPECT_FALSE(pane.capitalToggle()->isVisible());
    EXPECT_FALSE(pane.symbolToggle()->isVisible());
    EXPECT_NEAR(pane.strengthLabel()->color().hslHueF(), SystemColors::red(false).hslHueF(), 0.01);
    EXPECT_EQ(pane.descriptionLabel()->text(),
              QStringLiteral("Только цифры — для PIN-кодов и полей, где больше ничего не принимают."));

    // The slider moves by whole steps and the password follows.
    EXPECT_EQ(pane.model().options().length, 8);  // within the numeric range: kept
    pane.lengthSlider()->setFocus();
    QTest::keyClick(pane.lengthSlider(), Qt::Key_Right);
    EXPECT_EQ(pane.model().options().length, 9);
    EXPECT_EQ(pane.passwordText()->toPlainText().size(), 9);
    EXPECT_EQ(pane.lengthLabel()->text(), QStringLiteral("9"));
}

TEST_F(PasswordPaneTest, CopyingShowsTheConfirmationUntilTheTimeAfterTheLastClick) {
    PaneButton* copy = pane.copyButton();
    EXPECT_EQ(copy->title(), QStringLiteral("Скопировать"));
    QTest::mouseClick(copy, Qt::LeftButton);
    EXPECT_EQ(copy->title(), QStringLiteral("Скопировано"));
    EXPECT_EQ(fake.pasteboard.string(), pane.model().password());
    EXPECT_TRUE(fake.pasteboard.types().contains(PasteboardType::concealed));
    TestSupport::spin(1000);
    QTest::mouseClick(copy, Qt::LeftButton);
    TestSupport::spin(1000);  // 2 s after the first click, 1 s after the second
    EXPECT_EQ(copy->title(), QStringLiteral("Скопировано"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return copy->title() == QStringLiteral("Скопировать"); }, 1500));
}

TEST_F(PasswordPaneTest, RussianTextsFitAtTheSmallestWindow) {
    for (int segment = 0; segment < 4; ++segment) {
        clickSegment(segment);
        pane.model().setLength(1000);
        TestSupport::spin(10);
        for (InkLabel* label : {pane.descriptionLabel(), pane.strengthLabel(), pane.entropyLabel(), pane.unitLabel()})
            EXPECT_GE(label->width(), label->wordWrap() ? 0 : label->sizeHint().width()) << label->text().toStdString();
        EXPECT_LE(pane.descriptionLabel()->heightForWidth(pane.descriptionLabel()->width()),
                  pane.descriptionLabel()->height());
        for (PaneButton* button : {pane.regenerateButton(), pane.copyButton()})
            EXPECT_GE(button->width(), button->sizeHint().width());
        EXPECT_GE(pane.stylePicker()->width(), pane.stylePicker()->minimumSizeHint().width());
        // The longest password keeps to two lines without shrinking below 60 %.
        EXPECT_GE(pane.passwordFontSize(), 12.0);
    }
}
