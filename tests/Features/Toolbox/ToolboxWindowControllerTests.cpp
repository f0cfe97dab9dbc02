#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/Screens.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "TestSupport.h"
#include "Views/Toolbox/JSONTreePane.h"
#include "Views/Toolbox/ToolboxView.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMainWindow>
#include <QScreen>
#include <QToolBar>

#include <gtest/gtest.h>

namespace {

using Tool = ToolboxModel::Tool;
using C = ToolboxWindowController;

const QSizeF minimum(900, 660);

}  // namespace

TEST(ToolboxWindowFrame, SavedTextRoundTripsAndBadTextIsIgnored) {
    EXPECT_EQ(C::frameString(QRectF(10, 20.4, 1020, 740)), "10 20 1020 740");
    EXPECT_EQ(C::parseFrame("10 20 1020 740"), QRectF(10, 20, 1020, 740));
    EXPECT_EQ(C::parseFrame("-1900 5 901 661"), QRectF(-1900, 5, 901, 661));
    for (const char* bad : {"", "1 2 3", "1 2 3 4 5", "a b c d", "1 2 0 4", "1 2 -3 4", "1 2 nan 4"})
        EXPECT_FALSE(C::parseFrame(bad)) << bad;
}

TEST(ToolboxWindowFrame, ClampedToTheMinimumAndOntoAScreen) {
    const QList<QRectF> one{QRectF(0, 0, 1920, 1050)};
    // A frame that fits stays where it is.
    EXPECT_EQ(C::clampedFrame(QRectF(100, 100, 1020, 740), minimum, one), QRectF(100, 100, 1020, 740));
    // Smaller than the minimum: enlarged, then kept on the screen.
    EXPECT_EQ(C::clampedFrame(QRectF(100, 100, 500, 400), minimum, one), QRectF(100, 100, 900, 660));
    EXPECT_EQ(C::clampedFrame(QRectF(1500, 600, 500, 400), minimum, one), QRectF(1020, 390, 900, 660));
    // Off every screen (a monitor unplugged): onto the first one.
    EXPECT_EQ(C::clampedFrame(QRectF(5000, 3000, 1020, 740), minimum, one), QRectF(900, 310, 1020, 740));
    // Larger than its screen: shrunk to it, never below the minimum; the top edge stays in view.
    const QList<QRectF> small{QRectF(0, 0, 1024, 600)};
    EXPECT_EQ(C::clampedFrame(QRectF(0, 0, 1400, 900), minimum, small), QRectF(0, -60, 1024, 660));
    // Two screens: onto the one it overlaps most.
    const QList<QRectF> two{QRectF(0, 0, 1920, 1050), QRectF(-1280, 0, 1280, 1000)};
    EXPECT_EQ(C::clampedFrame(QRectF(-1500, 100, 1020, 740), minimum, two), QRectF(-1280, 100, 1020, 740));
}

TEST(ToolboxWindow, ShowBuildsOnceOpensOnTheTreeAndClosingOnlyHides) {
    UserDefaults defaults{QString()};
    ToolboxWindowController controller(defaults);
    EXPECT_EQ(controller.window(), nullptr);
    controller.show();
    QMainWindow* window = controller.window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), "Инструменты");
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
    auto* toolbar = window->findChild<QToolBar*>("ToolboxToolbar");
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(toolbar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    // Its first size where the screen has room for it (the offscreen platform's 800-pixel-wide
    // screen has not: there the window opens fitted into it).
    const QRect area = window->screen()->availableGeometry();
    const bool roomy = area.width() >= 1100 && area.height() >= 850;
    if (roomy)
        EXPECT_EQ(controller.view()->size(), QSize(1020, 740));
    else
        EXPECT_TRUE(area.contains(window->frameGeometry()));
    EXPECT_EQ(controller.view()->minimumSize(), QSize(900, 660));
    EXPECT_EQ(controller.titleLabel()->text(), "Дерево JSON");
    EXPECT_TRUE(qobject_cast<JSONTreePane*>(controller.view()->pane()));

    // Open on a transform with some input; show() again goes back to the tree and records the transform.
    controller.model().setSelection(Tool::forTransform(TextTransform::upper));
    controller.model().setInput(QStringLiteral("kept"));
    EXPECT_EQ(controller.titleLabel()->text(), "ВЕРХНИЙ РЕГИСТР");
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(controller.model().selection(), Tool::jsonTree());
    EXPECT_EQ(controller.view()->backStack().last(), Tool::forTransform(TextTransform::upper));
    controller.view()->backAction()->trigger();
    EXPECT_EQ(controller.model().selection(), Tool::forTransform(TextTransform::upper));

    // Closing hides the same window, keeps the model and saves the frame.
    if (roomy) window->move(40, 50);
    const QRect before = window->geometry();
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    ASSERT_TRUE(defaults.string("ToolboxWindow"));
    EXPECT_EQ(C::parseFrame(*defaults.string("ToolboxWindow"))->toRect(), Screens::fromQt(QRectF(before)).toRect());
    controller.show();
    EXPECT_EQ(controller.window(), window);
    EXPECT_EQ(window->geometry(), before);
    EXPECT_EQ(controller.model().input(), "kept");
}

