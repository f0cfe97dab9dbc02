// Renders every state of the password, QR and snippets panes, light and dark, at the window's
// smallest and usual detail sizes, for a person to look at (QUORVIN_TEST_OUTPUT/toolbox-*.png).
#include "TestSupport.h"
#include "ToolboxPaneTestSupport.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Views/Toolbox/PasswordPane.h"

#include <QSlider>

#include <gtest/gtest.h>

namespace {

using ToolboxPaneTest::darkPalette;

// The detail column at the window's minimum (900 × 660) and usual (1020 × 740) sizes.
const QSize kSmallest(630, 600);
const QSize kUsual(740, 680);

struct Gallery : ::testing::Test {
    ToolboxPaneTest::ScopedFakePasteboard pasteboard;

    void SetUp() override { AccessibilityDisplayOptions::shared().setOverride(true, false); }
    void TearDown() override { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }

    static void save(QWidget& pane, const QString& name, bool dark) {
        if (dark) pane.setPalette(darkPalette());
        TestSupport::spin(300);
        const QImage image = ToolboxPaneTest::grabOnWindow(pane);
        EXPECT_TRUE(image.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/toolbox-") + name + (dark ? "-dark" : "-light") +
                               ".png"));
    }
};

}  // namespace

TEST_F(Gallery, PasswordPaneInEveryStyle) {
    for (bool dark : {false, true}) {
        for (PasswordGenerator::Style style : PasswordGenerator::allStyles) {
            PasswordPane pane;
            pane.resize(kSmallest);
            pane.show();
            pane.model().setStyle(style);
            const QString name = QStringLiteral("password-") + PasswordGenerator::rawValue(style);
            save(pane, name, dark);
            pane.model().setLength(1000);
            pane.model().copy(pasteboard.pasteboard);
            save(pane, name + QStringLiteral("-longest-copied"), dark);
        }
    }
}
