// The toolbox window on a real X server: a saved frame comes back on the next build.
#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/Screens.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "TestSupport.h"
#include "Views/Toolbox/ToolboxView.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include <gtest/gtest.h>

namespace {
using C = ToolboxWindowController;
}

TEST(ToolboxWindow, ANewWindowRestoresTheSavedFrameNoSmallerThanTheMinimum) {
    UserDefaults defaults{QString()};
    const QRectF screen = Screens::visibleFrame(QGuiApplication::primaryScreen());
    int toolbar = 0;
    {
        ToolboxWindowController first(defaults);
        first.show();
        toolbar = first.window()->height() - first.view()->height();
        first.window()->setGeometry(60, 70, 1100, 800);
        ASSERT_TRUE(TestSupport::waitFor([&] { return first.window()->geometry() == QRect(60, 70, 1100, 800); }))
            << first.window()->geometry().x() << "," << first.window()->geometry().y() << " "
            << first.window()->geometry().width() << "x" << first.window()->geometry().height();
        first.window()->close();
    }
    {
        ToolboxWindowController second(defaults);
        second.show();
        EXPECT_TRUE(TestSupport::waitFor([&] { return second.window()->geometry() == QRect(60, 70, 1100, 800); }))
            << second.window()->x() << "," << second.window()->y();
    }
    // A frame saved smaller than the minimum (by hand, or by an older version) is enlarged.
    defaults.setString("ToolboxWindow", C::frameString(QRectF(screen.left() + 10, screen.top() + 10, 400, 300)));
    ToolboxWindowController third(defaults);
    third.show();
    EXPECT_EQ(third.view()->width(), 900);
    EXPECT_EQ(third.view()->height(), 660);
    EXPECT_EQ(third.window()->height(), 660 + toolbar);
}
