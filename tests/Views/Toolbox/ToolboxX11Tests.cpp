// The toolbox window on a real X server with the system clipboard: text copied by another program is
// pasted, typed keys reach the input, and copied results can be read by other programs.
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "TestSupport.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/JSONTreePane.h"
#include "Views/Toolbox/JSONTreeRows.h"
#include "Views/Toolbox/ToolboxView.h"
#include "Views/Toolbox/TransformPane.h"

#include <QAbstractButton>
#include <QMainWindow>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "X11TestSupport.h"

#include <X11/keysym.h>

namespace {

using Tool = ToolboxModel::Tool;

bool haveXclip() { return !QStandardPaths::findExecutable("xclip").isEmpty(); }

// A child process of ours, killed by its id when the test ends.
struct Child {
    ~Child() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }
    QProcess process;
};

// Another program takes the clipboard with this text and serves it until it loses it.
std::unique_ptr<Child> copyElsewhere(const QByteArray& text) {
    auto child = std::make_unique<Child>();
    child->process.start("xclip", {"-selection", "clipboard", "-quiet", "-t", "UTF8_STRING"});
    if (!child->process.waitForStarted(5000)) return nullptr;
    child->process.write(text);
    child->process.closeWriteChannel();
    return child;
}

// What another program reads from the clipboard, while we serve it.
std::optional<QByteArray> readElsewhere() {
    QProcess process;
    process.start("xclip", {"-selection", "clipboard", "-o", "-t", "UTF8_STRING"});
    if (!process.waitForStarted(5000)) return std::nullopt;
    if (!TestSupport::waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000)) {
        process.kill();
        process.waitForFinished(1000);
        return std::nullopt;
    }
    if (process.exitCode() != 0) return std::nullopt;
    return process.readAllStandardOutput();
}

void clickOn(QWidget* widget) {
    ASSERT_TRUE(widget && widget->isVisible());
    X11Test::click(widget->mapToGlobal(widget->rect().center()));
}

struct ToolboxX11 : ::testing::Test {
    UserDefaults defaults{QString()};
    ToolboxWindowController controller{defaults};

    void SetUp() override {
        if (!X11Test::display()) GTEST_SKIP() << "needs an X server";
        controller.show();
        controller.window()->move(40, 40);
        ASSERT_TRUE(TestSupport::waitFor([&] { return controller.window()->isActiveWindow(); }, 3000));
    }
};

}  // namespace

TEST_F(ToolboxX11, PastesAnotherProgramsCopyIntoTheTree) {
    if (!haveXclip()) GTEST_SKIP() << "needs xclip";
    auto* pane = qobject_cast<JSONTreePane*>(controller.view()->pane());
    ASSERT_NE(pane, nullptr);
    auto copy = copyElsewhere(QByteArrayLiteral(R"({"город": "Москва", "n": [1, 2]})"));
    ASSERT_TRUE(copy);
    TestSupport::spin(300);
    clickOn(pane->pasteButton());
    ASSERT_TRUE(TestSupport::waitFor([&] { return pane->state() == JSONTreePane::State::tree; }, 5000));
    EXPECT_EQ(controller.model().input(), QStringLiteral(R"({"город": "Москва", "n": [1, 2]})"));
    EXPECT_EQ(pane->rows().rowCount(), 3);
}

TEST_F(ToolboxX11, TypedKeysTransformAndTheResultReachesOtherPrograms) {
    if (!haveXclip()) GTEST_SKIP() << "needs xclip";
    controller.model().setSelection(Tool::forTransform(TextTransform::upper));
    auto* pane = qobject_cast<TransformPane*>(controller.view()->pane());
    ASSERT_NE(pane, nullptr);
    TestSupport::spin(100);
    clickOn(pane->inputView());
    for (KeySym key : {XK_a, XK_b, XK_c}) X11Test::pressKeys({}, key);
    ASSERT_TRUE(TestSupport::waitFor([&] { return controller.model().input() == "abc"; }, 3000))
        << controller.model().input().toStdString();
    EXPECT_EQ(controller.model().output(), "ABC");
    clickOn(pane->copyButton());
    TestSupport::spin(100);
    EXPECT_EQ(readElsewhere(), QByteArray("ABC"));
}
