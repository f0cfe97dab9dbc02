#include "Platform/Ui/StatusBar.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

// Xlib's macros (None, Bool, Status...) clash with names in the headers above: include it last.
#include "X11TestSupport.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace {

QImage solid(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

}  // namespace

TEST(StatusBarX11, StripIsAnOverrideRedirectWindowAtTheTopRightOfTheRoot)
{
    Display* dpy = X11Test::display();
    ASSERT_NE(dpy, nullptr);

    StatusBar bar;  // no tray under a bare X server
    ASSERT_EQ(bar.kind(), StatusBar::Kind::strip);
    StatusItem* first = bar.addItem();
    first->setImage(solid(40, 16, Qt::red));
    StatusItem* second = bar.addItem();
    second->setImage(solid(18, 18, Qt::blue));
    QWidget* strip = bar.stripWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));

    const Window window = static_cast<Window>(strip->winId());
    XWindowAttributes attributes{};
    ASSERT_TRUE(XGetWindowAttributes(dpy, window, &attributes));
    EXPECT_TRUE(attributes.override_redirect);
    EXPECT_EQ(attributes.map_state, IsViewable);
    EXPECT_EQ(attributes.width, 8 + 40 + 6 + 18 + 8);
    EXPECT_EQ(attributes.height, 24);

    XWindowAttributes root{};
    ASSERT_TRUE(XGetWindowAttributes(dpy, DefaultRootWindow(dpy), &root));
    int x = -1, y = -1;
    Window child = 0;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    EXPECT_EQ(x + attributes.width, root.width);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(strip->geometry(), QRect(root.width - attributes.width, 0, attributes.width, 24));
}

TEST(StatusBarX11, SyntheticClicksReachTheItemUnderThePointer)
{
    Display* dpy = X11Test::display();
    ASSERT_NE(dpy, nullptr);
    int event = 0, error = 0, major = 0, minor = 0;
    ASSERT_TRUE(XTestQueryExtension(dpy, &event, &error, &major, &minor));

    // Another window of ours holds the focus; clicks on the strip must leave it there.
    QWidget other;
    other.setGeometry(100, 100, 200, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));

    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* first = bar.addItem();
    first->setImage(solid(40, 16, Qt::red));
    StatusItem* second = bar.addItem();
    second->setImage(solid(18, 18, Qt::blue));
    QWidget* strip = bar.stripWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));
    TestSupport::spin(100);

    QSignalSpy firstSpy(first, &StatusItem::clicked);
    QSignalSpy secondSpy(second, &StatusItem::clicked);
    X11Test::click(second->screenRect().center(), 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return secondSpy.count() == 1; }));
    EXPECT_EQ(secondSpy[0][0].toRect(), second->screenRect());
    EXPECT_EQ(secondSpy[0][1].value<Qt::MouseButton>(), Qt::LeftButton);

    X11Test::click(first->screenRect().center(), 3);
    ASSERT_TRUE(TestSupport::waitFor([&] { return firstSpy.count() == 1; }));
    EXPECT_EQ(firstSpy[0][1].value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(secondSpy.count(), 1);
    EXPECT_TRUE(bar.containsScreenPoint(first->screenRect().center()));

    TestSupport::spin(100);
    EXPECT_FALSE(strip->isActiveWindow());
    EXPECT_TRUE(other.isActiveWindow());
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(dpy, &focus, &revert);
    EXPECT_NE(focus, static_cast<Window>(strip->winId()));
}
