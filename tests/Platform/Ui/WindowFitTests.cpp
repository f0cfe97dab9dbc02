#include "Platform/Gui/Screens.h"
#include "Platform/Ui/StatusBar.h"
#include "Platform/Ui/WindowFit.h"
#include "Platform/X11/Struts.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

namespace {
QRect screenGeometry() { return QGuiApplication::primaryScreen()->geometry(); }
}  // namespace

// A work area made small (here by a band kept at the top of the screen) lowers a window's minimum
// for the fit; a fit on a larger one gives back the minimum it was made with.
TEST(WindowFit, AFitOnASmallWorkAreaThenALargeOneFindsTheDesignedMinimumBack) {
    const QRect screen = screenGeometry();
    const QSize designed(screen.width() - 100, screen.height() - 100);
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setMinimumSize(designed);
    window.setGeometry(QRect(screen.topLeft() + QPoint(20, 20), designed));

    QWindow owner;
    const int kept = screen.height() / 2;
    Struts::reserveTop(&owner, QRect(screen.x(), screen.y(), screen.width(), kept));
    EXPECT_EQ(Screens::workArea(QGuiApplication::primaryScreen()).top(), screen.y() + kept);
    WindowFit::fitToWorkArea(&window);
    EXPECT_LE(window.minimumHeight(), screen.height() - kept);
    EXPECT_LE(window.height(), screen.height() - kept);
    EXPECT_GE(window.y(), screen.y() + kept);
    EXPECT_EQ(window.minimumWidth(), designed.width());

    // Twice on the small area: still what the area allows, not less.
    WindowFit::fitToWorkArea(&window);
    EXPECT_EQ(window.minimumHeight(), screen.height() - kept);

    Struts::release(&owner);
    EXPECT_EQ(Screens::workArea(QGuiApplication::primaryScreen()),
              QGuiApplication::primaryScreen()->availableGeometry());
    WindowFit::fitToWorkArea(&window);
    EXPECT_EQ(window.minimumSize(), designed);
    EXPECT_EQ(window.size(), designed);

    // A minimum its owner changes later is the one fits keep from then on: made smaller on the
    // large area, then larger while the small one had lowered it.
    const QSize smaller = designed - QSize(200, 200);
    window.setMinimumSize(smaller);
    window.resize(smaller);
    WindowFit::fitToWorkArea(&window);
    EXPECT_EQ(window.minimumSize(), smaller);
    EXPECT_EQ(window.size(), smaller);
    Struts::reserveTop(&owner, QRect(screen.x(), screen.y(), screen.width(), kept));
    WindowFit::fitToWorkArea(&window);
    const QSize larger = designed + QSize(40, 40);
    window.setMinimumSize(larger);
    Struts::release(&owner);
    WindowFit::fitToWorkArea(&window);
    EXPECT_EQ(window.minimumSize(), larger.boundedTo(Screens::workArea(QGuiApplication::primaryScreen()).size()));
}

// Without a window manager nothing leaves our strip out of the work area: our own fitting does,
// while the strip shows.
TEST(WindowFit, WindowsFitBelowOurStripWhileItShows) {
    const QRect screen = screenGeometry();
    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* item = bar.addItem();
    QImage image(300, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::red);
    item->setImage(image);
    QCoreApplication::processEvents();
    ASSERT_TRUE(bar.stripWindow()->isVisible());
    EXPECT_EQ(Screens::workArea(QGuiApplication::primaryScreen()).top(), screen.y() + 24);
    EXPECT_EQ(Screens::visibleFrame(QGuiApplication::primaryScreen()).height(), screen.height() - 24);

    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setGeometry(screen.right() - 400, screen.y(), 300, 200);
    WindowFit::fitToWorkArea(&window);
    EXPECT_EQ(window.geometry(), QRect(screen.right() - 400, screen.y() + 24, 300, 200));
    EXPECT_FALSE(window.geometry().intersects(bar.stripWindow()->geometry()));

    // Hidden (or gone into a tray), it gives the space back.
    item->setVisible(false);
    QCoreApplication::processEvents();
    EXPECT_FALSE(bar.stripWindow()->isVisible());
    EXPECT_EQ(Screens::workArea(QGuiApplication::primaryScreen()),
              QGuiApplication::primaryScreen()->availableGeometry());
}

// Only a change of the screens that leaves part of a window off every screen, where before it lay
// on them (on one or across several), moves it: a window the user left partly off stays put.
TEST(WindowFit, OnlyAChangeThatCutsAWindowMovesIt) {
    const QRect left(0, 0, 800, 600), right(800, 0, 800, 600), bottom(0, 600, 800, 600);
    const QList<QRect> two{left, right}, leftOnly{left}, shrunk{QRect(0, 0, 640, 480)};
    struct Case {
        const char* what;
        QRect frame;
        QList<QRect> before, now;
        bool cut;
    } cases[] = {
        {"across both, the right one goes", QRect(500, 300, 500, 200), two, leftOnly, true},
        {"wholly on the right one, which goes", QRect(900, 100, 300, 200), two, leftOnly, true},
        {"wholly on the left one, the right one goes", QRect(100, 100, 300, 200), two, leftOnly, false},
        {"on the screen, which shrinks under it", QRect(500, 300, 200, 100), leftOnly, shrunk, true},
        {"on the screen, which shrinks beside it", QRect(10, 10, 200, 100), leftOnly, shrunk, false},
        {"across both, a third one is added", QRect(500, 300, 500, 200), two, {left, right, bottom}, false},
        {"across one above the other, the lower goes", QRect(100, 500, 300, 200), {left, bottom}, leftOnly, true},
        {"partly off the left edge, the right one goes", QRect(-100, 100, 300, 200), two, leftOnly, false},
        {"partly off the bottom, across both, the right one goes", QRect(700, 500, 200, 200), two, leftOnly, false},
        {"partly off, the screen shrinks under it", QRect(600, 500, 300, 200), leftOnly, shrunk, false},
        {"across both, nothing changes", QRect(500, 300, 500, 200), two, two, false},
    };
    for (const Case& c : cases) EXPECT_EQ(WindowFit::cutByChange(c.frame, c.before, c.now), c.cut) << c.what;
}
