#include "Platform/Ui/StatusBar.h"
#include "Platform/X11/StaysOnTop.h"
#include "TestSupport.h"
#include "TestTrayHost.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>

// Xlib's macros (None, Bool, Status...) clash with names in the headers above: include it last.
#include "X11TestSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdio>

namespace {

QImage solid(int width, int height, QColor color)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

std::vector<unsigned long> cardinals(Display* dpy, Window window, const char* name)
{
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(dpy, window, XInternAtom(dpy, name, False), 0, 64, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success && data && format == 32) {
        const auto* longs = reinterpret_cast<const unsigned long*>(data);
        values.assign(longs, longs + count);
    }
    if (data)
        XFree(data);
    return values;
}

}  // namespace

TEST(StatusBarX11, StripIsADockAtTheTopRightOfTheRootThatKeepsItsHeight)
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
    // Managed where a window manager runs: only then does it leave the struts out of the work area.
    EXPECT_FALSE(attributes.override_redirect);
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

    // Its height at the top of the screen, over its own width; the older property too.
    const unsigned long left = root.width - attributes.width, right = root.width - 1;
    EXPECT_EQ(cardinals(dpy, window, "_NET_WM_STRUT_PARTIAL"),
              (std::vector<unsigned long>{0, 0, 24, 0, 0, 0, 0, 0, left, right, 0, 0}));
    EXPECT_EQ(cardinals(dpy, window, "_NET_WM_STRUT"), (std::vector<unsigned long>{0, 0, 24, 0}));
    // It follows the strip's width.
    second->setVisible(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return strip->width() == 8 + 40 + 8; }, 3000));
    const std::vector<unsigned long> narrower = cardinals(dpy, window, "_NET_WM_STRUT_PARTIAL");
    ASSERT_EQ(narrower.size(), 12u);
    EXPECT_EQ(narrower[8], static_cast<unsigned long>(root.width - 56));
    // Hidden, it gives the space back.
    first->setVisible(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !strip->isVisible(); }, 3000));
    EXPECT_TRUE(cardinals(dpy, window, "_NET_WM_STRUT_PARTIAL").empty());
    EXPECT_TRUE(cardinals(dpy, window, "_NET_WM_STRUT").empty());
}

// Without a window manager nothing keeps the strip above a window mapped after it: it goes back on
// top itself, but stays below our own popups over it.
TEST(StatusBarX11, WithoutAWindowManagerTheStripGoesBackAboveAWindowThatCoversIt)
{
    Display* dpy = X11Test::display();
    ASSERT_NE(dpy, nullptr);
    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* item = bar.addItem();
    item->setImage(solid(300, 16, Qt::red));
    QWidget* strip = bar.stripWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));
    const auto stripWindow = static_cast<Window>(strip->winId());

    // Another program's window opens over it.
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    XWindowAttributes root{};
    XGetWindowAttributes(dpy, DefaultRootWindow(dpy), &root);
    const Window cover = XCreateSimpleWindow(other, DefaultRootWindow(other), root.width - 400, 0, 300, 120, 0, 0,
                                             0x3366cc);
    XMapRaised(other, cover);
    XFlush(other);
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return X11Test::stackedBelow(stripWindow, cover) || X11Test::stackedBelow(cover, stripWindow); }));
    EXPECT_TRUE(TestSupport::waitFor([&] { return X11Test::stackedBelow(cover, stripWindow); }, 5000));
    const QString shot = QStringLiteral(QUORVIN_TEST_OUTPUT "/strip-back-on-top-without-a-window-manager.png");
    if (strip->screen()->grabWindow(0).save(shot))
        std::printf("screenshot: %s\n", qPrintable(shot));

    // Our own popup over the strip stays above it, and the strip still goes above the next window
    // of another program, below our popup.
    // An ordinary window of ours (the welcome, the toolbox) is no popup: it stays below the window
    // the user opened after it.
    QWidget popup(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    popup.setGeometry(root.width - 200, 10, 150, 80);
    QWidget ordinary;
    ordinary.setGeometry(root.width - 380, 30, 120, 120);
    ordinary.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ordinary));
    popup.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
    const auto popupWindow = static_cast<Window>(popup.winId());
    const auto ordinaryWindow = static_cast<Window>(ordinary.winId());
    ASSERT_TRUE(TestSupport::waitFor([&] { return X11Test::stackedBelow(stripWindow, popupWindow); }));
    const Window second = XCreateSimpleWindow(other, DefaultRootWindow(other), root.width - 400, 0, 390, 200, 0, 0,
                                              0xcc6633);
    XMapRaised(other, second);
    XFlush(other);
    EXPECT_TRUE(TestSupport::waitFor([&] { return X11Test::stackedBelow(second, stripWindow); }, 5000));
    EXPECT_TRUE(X11Test::stackedBelow(stripWindow, popupWindow));
    EXPECT_TRUE(X11Test::stackedBelow(ordinaryWindow, second));
    XWindowAttributes heard{};
    XGetWindowAttributes(dpy, DefaultRootWindow(dpy), &heard);
    EXPECT_TRUE(heard.your_event_mask & SubstructureNotifyMask);

    // A window of ours that moves all the time (the pet) looks for all of them as it changes: the
    // root's reports, a wake-up for each of its moves, are no longer asked for.
    QWidget mover(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
    mover.setGeometry(100, 0, 40, 24);
    mover.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mover));
    StaysOnTop driver(mover.windowHandle(), StaysOnTop::Watch::ownChanges);
    ASSERT_TRUE(TestSupport::waitFor([&] {
        XGetWindowAttributes(dpy, DefaultRootWindow(dpy), &heard);
        return !(heard.your_event_mask & SubstructureNotifyMask);
    }));
    const Window third = XCreateSimpleWindow(other, DefaultRootWindow(other), root.width - 300, 0, 200, 50, 0, 0,
                                             0x33cc66);
    XMapRaised(other, third);
    XFlush(other);
    EXPECT_TRUE(TestSupport::waitFor([&] {
        driver.changed();
        return X11Test::stackedBelow(third, stripWindow);
    }, 5000));
    XDestroyWindow(other, third);
    XDestroyWindow(other, second);
    XDestroyWindow(other, cover);
    XCloseDisplay(other);
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
    // Whoever follows the bar's place reads it as the pet does, during each move too, and finds it
    // whole: the strip while the items are on it, their places in the tray while they are there.
    int inconsistent = 0;
    QObject reader;
    QObject::connect(&bar, &StatusBar::placeChanged, &reader, [&] {
        const bool onStrip = bar.kind() == StatusBar::Kind::strip;
        if (onStrip != (bar.stripWindow() != nullptr))
            ++inconsistent;
        for (StatusItem* item : bar.items()) {
            const QRect place = item->screenRect();
            if (onStrip && item->isVisible() && place.isEmpty())
                ++inconsistent;  // not on the strip yet
            if (!onStrip && !place.isEmpty() && !bar.containsScreenPoint(place.center()))
                ++inconsistent;
        }
    });

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

    // An icon the tray places says so (the pet walks around our icons on the band).
    QSignalSpy places(&bar, &StatusBar::placeChanged);
    hidden->setVisible(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return tray.icons().size() == 3; }, 3000));
    EXPECT_TRUE(TestSupport::waitFor([&] { return places.count() > 0; }, 3000));
    hidden->setVisible(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return tray.icons().size() == 2; }, 3000));

    // The tray moves the window that holds our icons, not our icons in it: that says so too.
    TestSupport::spin(300);  // the notices of the undocking
    const QRect firstPlace = first->screenRect();
    QSignalSpy moves(&bar, &StatusBar::placeChanged);
    XMoveWindow(X11Test::display(), tray.panelWindow(), tray.panelScreenRect().x() - 200, 100);
    XSync(X11Test::display(), False);
    EXPECT_TRUE(TestSupport::waitFor([&] { return moves.count() > 0; }, 3000));
    EXPECT_EQ(first->screenRect(), firstPlace.translated(-200, 100));

    // The tray goes: the items are back on our strip at once, and whoever follows the bar hears of
    // it then, not only at the strip's own later moves.
    int stripNotices = 0, stripNoticesAtSwitch = -1;
    QObject::connect(&bar, &StatusBar::placeChanged, &reader, [&] {
        if (bar.kind() == StatusBar::Kind::strip) ++stripNotices;
    });
    QObject::connect(&bar, &StatusBar::appearanceChanged, &reader, [&] {
        if (bar.kind() == StatusBar::Kind::strip && stripNoticesAtSwitch < 0) stripNoticesAtSwitch = stripNotices;
    });
    tray.stop();
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.kind() == StatusBar::Kind::strip; }, 3000));
    EXPECT_EQ(changes.count(), 3);
    EXPECT_GT(stripNoticesAtSwitch, 0);
    EXPECT_EQ(bar.ink(), QColor(Qt::white));
    ASSERT_NE(bar.stripWindow(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bar.stripWindow()));
    // The items come back one by one; the strip's size follows the burst a moment later.
    EXPECT_TRUE(TestSupport::waitFor([&] { return bar.stripWindow()->width() == 8 + 18 + 6 + 30 + 8; }, 3000))
        << bar.stripWindow()->width();
    EXPECT_EQ(first->toolTip(), QStringLiteral("first"));

    // And into a new tray again, and out of it as the tray program is killed.
    ASSERT_TRUE(tray.start());
    ASSERT_TRUE(TestSupport::waitFor([&] { return tray.icons().size() == 2; }, 3000));
    EXPECT_EQ(bar.kind(), StatusBar::Kind::tray);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !first->screenRect().isEmpty(); }, 3000));
    tray.quit();
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.kind() == StatusBar::Kind::strip; }, 3000));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(bar.stripWindow()));
    EXPECT_EQ(inconsistent, 0);
}
