#include "Platform/Ui/StatusBar.h"
#include "TestSupport.h"
#include "TestTrayHost.h"

#include <QGuiApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>

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

TEST(StatusBarX11, AnAutomaticBarMovesToTheTrayAndBackAsTheTrayComesAndGoes)
{
    ASSERT_NE(X11Test::display(), nullptr);
    StatusBar bar;  // no tray yet
    ASSERT_TRUE(bar.followsTray());
    ASSERT_EQ(bar.kind(), StatusBar::Kind::strip);
    StatusItem* first = bar.addItem();
    first->setImage(solid(18, 18, Qt::red));
    first->setToolTip(QStringLiteral("first"));
    StatusItem* second = bar.addItem();
    second->setImage(solid(30, 16, Qt::blue));
    StatusItem* hidden = bar.addItem();
    hidden->setImage(solid(30, 16, Qt::green));
    hidden->setVisible(false);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bar.stripWindow()));
    QSignalSpy changes(&bar, &StatusBar::appearanceChanged);

    TestTrayHost::Options options;
    options.foreground = QColor(0xee, 0xee, 0xec);
    TestTrayHost tray(options);
    ASSERT_TRUE(tray.start());
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.kind() == StatusBar::Kind::tray; }, 3000));
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(bar.stripWindow(), nullptr);
    EXPECT_EQ(bar.ink(), QColor(0xee, 0xee, 0xec));  // as the tray asks
    // The visible items are docked, the hidden one is not; each knows where it is.
    ASSERT_TRUE(TestSupport::waitFor([&] { return tray.icons().size() == 2; }, 3000));
    TestSupport::spin(200);
    EXPECT_EQ(tray.icons().size(), 2u);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !first->screenRect().isEmpty(); }, 3000));
    const std::vector<quint32> docked = tray.icons();
    EXPECT_TRUE(std::any_of(docked.begin(), docked.end(),
                            [&](quint32 w) { return tray.iconScreenRect(w) == first->screenRect(); }));

    // A real click on a docked icon reaches its item.
    QSignalSpy clicks(first, &StatusItem::clicked);
    X11Test::click(first->screenRect().center());
    ASSERT_TRUE(TestSupport::waitFor([&] { return clicks.count() == 1; }, 3000));
    EXPECT_TRUE(bar.containsScreenPoint(first->screenRect().center()));

    // Docked, the bar looks at the tray's background once and redraws for it.
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.background().isValid(); }, 5000));
    EXPECT_EQ(changes.count(), 2);

    // The tray goes: the items are back on our strip at once.
    tray.stop();
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.kind() == StatusBar::Kind::strip; }, 3000));
    EXPECT_EQ(changes.count(), 3);
    EXPECT_EQ(bar.ink(), QColor(Qt::white));
    ASSERT_NE(bar.stripWindow(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bar.stripWindow()));
    // The items come back one by one; the strip's size follows the burst a moment later.
    EXPECT_TRUE(TestSupport::waitFor([&] { return bar.stripWindow()->width() == 8 + 18 + 6 + 30 + 8; }, 3000))
        << bar.stripWindow()->width();
    EXPECT_EQ(first->toolTip(), QStringLiteral("first"));

    // And into a new tray again.
    ASSERT_TRUE(tray.start());
    ASSERT_TRUE(TestSupport::waitFor([&] { return tray.icons().size() == 2; }, 3000));
    EXPECT_EQ(bar.kind(), StatusBar::Kind::tray);
}
