#include "Platform/Ui/BarStripWindow.h"
#include "Platform/Ui/StatusBar.h"
#include "Platform/Ui/TrayStatusBackend.h"
#include "TestSupport.h"

#include <QApplication>
#include <QCursor>
#include <QHelpEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

// A solid image of the given logical size drawn at the given scale.
QImage solid(int width, int height, QColor color, qreal scale = 1.0)
{
    QImage image(qRound(width * scale), qRound(height * scale), QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    image.setDevicePixelRatio(scale);
    return image;
}

QRect screenGeometry() { return QGuiApplication::primaryScreen()->geometry(); }

// The strip's window follows its layout once control is back in the event loop.
void settle() { QCoreApplication::processEvents(); }

}  // namespace

TEST(StatusBarLayout, ItemsRunRightToLeftWithSpacingAndEndPadding)
{
    const auto l = BarStripWindow::layout({40, 18, 0});
    EXPECT_EQ(l.width, 8 + 40 + 6 + 18 + 6 + 0 + 8);
    ASSERT_EQ(l.rects.size(), 3u);
    EXPECT_EQ(l.rects[0], QRect(l.width - 8 - 40, 0, 40, 24));
    EXPECT_EQ(l.rects[1], QRect(l.rects[0].left() - 6 - 18, 0, 18, 24));
    EXPECT_EQ(l.rects[2].left(), 8);
    EXPECT_EQ(BarStripWindow::layout({}).width, 16);
}

TEST(StatusBarStrip, LaysOutVisibleItemsAtTheTopRightAndRelayoutsOnChanges)
{
    StatusBar bar(StatusBar::Kind::strip);
    ASSERT_EQ(bar.kind(), StatusBar::Kind::strip);
    QWidget* strip = bar.stripWindow();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->objectName(), "StatusBarWindow");
    EXPECT_FALSE(strip->isVisible());  // nothing to show yet

    StatusItem* first = bar.addItem();
    first->setImage(solid(40, 16, Qt::red));
    StatusItem* second = bar.addItem();
    second->setImage(solid(18, 18, Qt::blue, 2.0));  // 36 px at scale 2: 18 logical
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));

    const QRect screen = screenGeometry();
    EXPECT_EQ(strip->geometry(), QRect(screen.right() + 1 - 80, screen.top(), 80, 24));
    EXPECT_EQ(first->screenRect(), QRect(screen.right() + 1 - 8 - 40, screen.top(), 40, 24));
    EXPECT_EQ(second->screenRect(), QRect(screen.right() + 1 - 8 - 40 - 6 - 18, screen.top(), 18, 24));
    EXPECT_TRUE(bar.containsScreenPoint(second->screenRect().center()));
    EXPECT_TRUE(bar.containsScreenPoint(QPoint(screen.right(), screen.top())));
    EXPECT_FALSE(bar.containsScreenPoint(QPoint(screen.right(), screen.top() + 24)));

    // Hiding the rightmost item moves the other one to the right edge: its place at once, the
    // window when the event loop runs.
    first->setVisible(false);
    EXPECT_TRUE(first->screenRect().isEmpty());
    EXPECT_EQ(second->screenRect(), QRect(screen.right() + 1 - 8 - 18, screen.top(), 18, 24));
    settle();
    EXPECT_EQ(strip->geometry(), QRect(screen.right() + 1 - 34, screen.top(), 34, 24));

    // A wider image relayouts too.
    second->setImage(solid(60, 12, Qt::green));
    EXPECT_EQ(second->screenRect(), QRect(screen.right() + 1 - 8 - 60, screen.top(), 60, 24));
    settle();
    EXPECT_EQ(strip->width(), 76);

    second->setVisible(false);
    settle();
    EXPECT_FALSE(strip->isVisible());
    EXPECT_FALSE(bar.containsScreenPoint(QPoint(screen.right(), screen.top())));
    first->setVisible(true);
    settle();
    EXPECT_TRUE(strip->isVisible());
    EXPECT_EQ(strip->width(), 56);
}

TEST(StatusBarStrip, ABurstOfChangesResizesTheShownWindowOnce)
{
    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* first = bar.addItem();
    first->setImage(solid(18, 18, Qt::red));
    QWidget* strip = bar.stripWindow();
    EXPECT_TRUE(strip->isVisible());  // shown at once
    settle();

    struct Counter : QObject {
        int resizes = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::Resize)
                ++resizes;
            return false;
        }
    } counter;
    strip->installEventFilter(&counter);
    // What lies on the band changed: the pet plans its walk again, once for the burst.
    QSignalSpy placeChanges(&bar, &StatusBar::placeChanged);
    // As at start-up: items added one by one, each given its image.
    std::vector<StatusItem*> added;
    for (int i = 0; i < 8; ++i) {
        added.push_back(bar.addItem());
        added.back()->setImage(solid(30, 16, Qt::blue));
    }
    EXPECT_EQ(counter.resizes, 0);
    EXPECT_EQ(placeChanges.count(), 0);
    settle();
    EXPECT_EQ(counter.resizes, 1);
    EXPECT_GE(placeChanges.count(), 1);
    EXPECT_LE(placeChanges.count(), 2);  // the resize, and the move it makes to stay at the right edge
    EXPECT_EQ(strip->width(), 8 + 18 + 8 * (6 + 30) + 8);
    EXPECT_EQ(added.back()->screenRect().left(), screenGeometry().right() + 1 - strip->width() + 8);
}

TEST(StatusBarStrip, ClicksReportTheItemRectAndButton)
{
    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* first = bar.addItem();
    first->setImage(solid(40, 16, Qt::red));
    StatusItem* second = bar.addItem();
    second->setImage(solid(18, 18, Qt::blue));
    QWidget* strip = bar.stripWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));

    QSignalSpy firstSpy(first, &StatusItem::clicked);
    QSignalSpy secondSpy(second, &StatusItem::clicked);
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() - 8 - 20, 12));
    ASSERT_EQ(firstSpy.count(), 1);
    EXPECT_EQ(firstSpy[0][0].toRect(), first->screenRect());
    EXPECT_EQ(firstSpy[0][1].value<Qt::MouseButton>(), Qt::LeftButton);

    QTest::mouseClick(strip, Qt::RightButton, {}, QPoint(strip->width() - 8 - 40 - 6 - 1, 2));
    ASSERT_EQ(secondSpy.count(), 1);
    EXPECT_EQ(secondSpy[0][0].toRect(), second->screenRect());
    EXPECT_EQ(secondSpy[0][1].value<Qt::MouseButton>(), Qt::RightButton);

    // The padding and the gaps belong to no item.
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() - 4, 12));
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() - 8 - 40 - 3, 12));
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(3, 12));
    EXPECT_EQ(firstSpy.count(), 1);
    EXPECT_EQ(secondSpy.count(), 1);

    // A click handler may remove its own item.
    QObject::connect(second, &StatusItem::clicked, &bar, [&bar, second] { bar.removeItem(second); });
    QPointer<StatusItem> watched(second);
    QTest::mouseClick(strip, Qt::LeftButton, {}, QPoint(strip->width() - 8 - 40 - 6 - 9, 12));
    EXPECT_TRUE(watched.isNull());
    EXPECT_EQ(bar.items(), std::vector<StatusItem*>{first});
    settle();
    EXPECT_EQ(strip->width(), 56);
}

// The offscreen platform activates every window it shows, so only the window's requests are
// checked here; StatusBarX11Tests checks that a click leaves the focus where it was. A managed
// window: the window manager leaves a dock's struts out of the work area only for windows it manages.
TEST(StatusBarStrip, AsksForAnUnfocusableDockWindowOnTop)
{
    StatusBar bar(StatusBar::Kind::strip);
    QWidget* strip = bar.stripWindow();
    EXPECT_TRUE(strip->isWindow());
    EXPECT_TRUE(strip->windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(strip->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(strip->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(strip->windowFlags().testFlag(Qt::X11BypassWindowManagerHint));
    EXPECT_TRUE(strip->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(strip->focusPolicy(), Qt::NoFocus);
}

TEST(StatusBarStrip, DrawsEachImageCentredInItsSlot)
{
    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* first = bar.addItem();
    first->setImage(solid(40, 16, QColor(230, 40, 40)));
    StatusItem* second = bar.addItem();
    second->setImage(solid(18, 18, QColor(40, 90, 230), 2.0));
    StatusItem* third = bar.addItem();
    third->setImage(solid(10, 24, QColor(40, 200, 60)));
    QWidget* strip = bar.stripWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));

    const QImage shot = strip->grab().toImage().scaled(strip->size()).convertToFormat(QImage::Format_RGB32);
    shot.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/StatusBarStrip.png"));
    ASSERT_EQ(shot.size(), QSize(8 + 40 + 6 + 18 + 6 + 10 + 8, 24));

    const QColor background(0x1e, 0x1e, 0x1e);
    const auto at = [&](int x, int y) { return shot.pixelColor(x, y); };
    const int w = shot.width();
    // Red 40x16: rows 4..19 of the rightmost slot.
    EXPECT_EQ(at(w - 8 - 1, 4), QColor(230, 40, 40));
    EXPECT_EQ(at(w - 8 - 40, 19), QColor(230, 40, 40));
    EXPECT_EQ(at(w - 8 - 20, 3), background);
    EXPECT_EQ(at(w - 8 - 20, 20), background);
    EXPECT_EQ(at(w - 8 - 40 - 1, 12), background);  // gap
    EXPECT_EQ(at(w - 4, 12), background);           // end padding
    // Blue at its logical 18x18: rows 3..20.
    const int blueLeft = w - 8 - 40 - 6 - 18;
    EXPECT_EQ(at(blueLeft, 3), QColor(40, 90, 230));
    EXPECT_EQ(at(blueLeft + 17, 20), QColor(40, 90, 230));
    EXPECT_EQ(at(blueLeft + 9, 2), background);
    EXPECT_EQ(at(blueLeft + 18, 12), background);
    // Green fills the whole height of the leftmost slot.
    EXPECT_EQ(at(8, 0), QColor(40, 200, 60));
    EXPECT_EQ(at(17, 23), QColor(40, 200, 60));
    EXPECT_EQ(at(7, 12), background);
}

TEST(StatusBarStrip, ShowsTheItemToolTipOnHover)
{
    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* first = bar.addItem();
    first->setImage(solid(30, 16, Qt::red));
    first->setToolTip(QStringLiteral("Quorvin"));
    StatusItem* second = bar.addItem();
    second->setImage(solid(30, 16, Qt::blue));
    QWidget* strip = bar.stripWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));

    const QPoint local = first->screenRect().center() - strip->pos();
    QHelpEvent help(QEvent::ToolTip, local, strip->mapToGlobal(local));
    QApplication::sendEvent(strip, &help);
    EXPECT_EQ(QToolTip::text(), "Quorvin");

    first->setToolTip(QStringLiteral("Changed"));
    QApplication::sendEvent(strip, &help);
    EXPECT_EQ(QToolTip::text(), "Changed");

    const QPoint other = second->screenRect().center() - strip->pos();
    QHelpEvent none(QEvent::ToolTip, other, strip->mapToGlobal(other));
    QApplication::sendEvent(strip, &none);
    EXPECT_TRUE(TestSupport::waitFor([] { return QToolTip::text().isEmpty(); }));
}

TEST(StatusBar, RemovingOrDeletingAnItemTakesItOffTheBar)
{
    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* a = bar.addItem();
    a->setImage(solid(20, 20, Qt::red));
    StatusItem* b = bar.addItem();
    b->setImage(solid(30, 20, Qt::red));
    StatusItem* c = bar.addItem();
    c->setImage(solid(40, 20, Qt::red));
    QPointer<StatusItem> watched(b);

    bar.removeItem(b);
    EXPECT_TRUE(watched.isNull());
    EXPECT_EQ(bar.items(), (std::vector<StatusItem*>{a, c}));
    settle();
    EXPECT_EQ(bar.stripWindow()->width(), 8 + 20 + 6 + 40 + 8);

    delete a;
    EXPECT_EQ(bar.items(), std::vector<StatusItem*>{c});
    settle();
    EXPECT_EQ(bar.stripWindow()->width(), 8 + 40 + 8);
    EXPECT_EQ(c->screenRect().right(), screenGeometry().right() - 8);

    StatusBar otherBar(StatusBar::Kind::strip);
    otherBar.removeItem(c);  // not its item: left alone
    EXPECT_EQ(bar.items().size(), 1u);
}

TEST(StatusBar, ChangesAreSignalledOnlyWhenSomethingChanged)
{
    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* item = bar.addItem();
    QSignalSpy spy(item, &StatusItem::changed);
    const QImage image = solid(20, 20, Qt::red);
    item->setImage(image);
    item->setImage(image);
    item->setToolTip("a");
    item->setToolTip("a");
    item->setVisible(true);
    EXPECT_EQ(spy.count(), 2);
    // The same pixels at another scale are another logical size.
    QImage scaled = image;
    scaled.setDevicePixelRatio(2.0);
    item->setImage(scaled);
    EXPECT_EQ(spy.count(), 3);
    EXPECT_EQ(item->screenRect().width(), 10);
}

TEST(StatusBar, AutomaticKindPicksTheStripWithoutATray)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    StatusBar bar;
    EXPECT_EQ(bar.kind(), StatusBar::Kind::strip);
    EXPECT_EQ(&StatusBar::system(), &StatusBar::system());
    EXPECT_EQ(StatusBar::system().kind(), StatusBar::Kind::strip);
}

TEST(StatusBarTray, OneIconPerItemWithImageToolTipAndClicks)
{
    StatusBar bar(StatusBar::Kind::tray);
    ASSERT_EQ(bar.kind(), StatusBar::Kind::tray);
    EXPECT_EQ(bar.stripWindow(), nullptr);
    StatusItem* item = bar.addItem();
    item->setImage(solid(40, 10, Qt::red));
    item->setToolTip(QStringLiteral("Quorvin"));

    auto* icon = item->findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), "Quorvin");
    settle();
    EXPECT_TRUE(icon->isVisible());
    const QImage shown = icon->icon().pixmap(QSize(40, 40)).toImage();
    EXPECT_EQ(shown.size(), QSize(40, 40));  // square, the wide image centred on it
    EXPECT_EQ(shown.pixelColor(20, 20), QColor(Qt::red));
    EXPECT_EQ(shown.pixelColor(20, 5).alpha(), 0);

    QSignalSpy spy(item, &StatusItem::clicked);
    emit icon->activated(QSystemTrayIcon::Trigger);
    emit icon->activated(QSystemTrayIcon::Context);
    emit icon->activated(QSystemTrayIcon::MiddleClick);
    ASSERT_EQ(spy.count(), 3);
    EXPECT_EQ(spy[0][1].value<Qt::MouseButton>(), Qt::LeftButton);
    EXPECT_EQ(spy[1][1].value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(spy[2][1].value<Qt::MouseButton>(), Qt::MiddleButton);
    // Without a geometry from the tray, the click is placed at the pointer.
    EXPECT_TRUE(spy[0][0].toRect().contains(QCursor::pos()));

    item->setToolTip(QStringLiteral("Other"));
    EXPECT_EQ(icon->toolTip(), "Other");
    item->setVisible(false);
    EXPECT_FALSE(icon->isVisible());
    EXPECT_TRUE(item->screenRect().isEmpty());
    item->setVisible(true);
    settle();
    EXPECT_TRUE(icon->isVisible());

    // Icons made in one burst are shown together once the event loop runs (in the order made;
    // the X11 tests look at where a tray puts them).
    StatusItem* second = bar.addItem();
    StatusItem* third = bar.addItem();
    EXPECT_FALSE(second->findChild<QSystemTrayIcon*>()->isVisible());
    EXPECT_FALSE(third->findChild<QSystemTrayIcon*>()->isVisible());
    settle();
    EXPECT_TRUE(second->findChild<QSystemTrayIcon*>()->isVisible());
    EXPECT_TRUE(third->findChild<QSystemTrayIcon*>()->isVisible());

    QPointer<QSystemTrayIcon> watched(icon);
    bar.removeItem(item);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watched.isNull());
}

TEST(StatusBarTray, ASquareDrawingIsDrawnAtTheSizeTheTrayPaints)
{
    StatusBar bar(StatusBar::Kind::tray);
    StatusItem* item = bar.addItem();
    item->setImage(solid(40, 10, Qt::red));
    std::vector<QRect> squares;
    item->setSquareDrawing(QStringLiteral("a"), [&squares](QPainter& painter, const QRect& square) {
        squares.push_back(square);
        painter.fillRect(square.adjusted(1, 1, -1, -1), Qt::green);
    });
    auto* icon = item->findChild<QSystemTrayIcon*>();
    ASSERT_NE(icon, nullptr);

    for (int side : {22, 24}) {
        const QImage shown = icon->icon().pixmap(QSize(side, side)).toImage();
        ASSERT_EQ(shown.size(), QSize(side, side));
        EXPECT_EQ(squares.back(), QRect(0, 0, side, side));
        EXPECT_EQ(shown.pixelColor(side - 2, side - 2), QColor(Qt::green));  // drawn, not scaled
        EXPECT_EQ(shown.pixelColor(side - 1, side - 1).alpha(), 0);
    }
    // A tray painting into a wider rectangle gets a centred square.
    QImage wide(30, 22, QImage::Format_ARGB32_Premultiplied);
    wide.fill(Qt::transparent);
    QPainter painter(&wide);
    icon->icon().paint(&painter, QRect(0, 0, 30, 22));
    painter.end();
    EXPECT_EQ(squares.back(), QRect(4, 0, 22, 22));

    // The same key is no change; another one, or going back to the image, is.
    QSignalSpy changes(item, &StatusItem::changed);
    item->setSquareDrawing(QStringLiteral("a"), [](QPainter&, const QRect&) {});
    EXPECT_EQ(changes.count(), 0);
    item->setSquareDrawing({}, {});
    EXPECT_EQ(changes.count(), 1);
    const QImage image = icon->icon().pixmap(QSize(40, 40)).toImage();
    EXPECT_EQ(image.pixelColor(20, 20), QColor(Qt::red));
}

TEST(StatusBar, EveryItemsClickReachesTheBar)
{
    StatusBar bar(StatusBar::Kind::strip);
    StatusItem* first = bar.addItem();
    first->setImage(solid(40, 16, Qt::red));
    StatusItem* second = bar.addItem();
    second->setImage(solid(18, 18, Qt::blue));
    QWidget* strip = bar.stripWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(strip));
    QSignalSpy spy(&bar, &StatusBar::itemClicked);
    QTest::mouseClick(strip, Qt::LeftButton, {}, first->screenRect().center() - strip->pos());
    QTest::mouseClick(strip, Qt::RightButton, {}, second->screenRect().center() - strip->pos());
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy[0][0].value<StatusItem*>(), first);
    EXPECT_EQ(spy[0][1].toRect(), first->screenRect());
    EXPECT_EQ(spy[1][0].value<StatusItem*>(), second);
    EXPECT_EQ(spy[1][2].value<Qt::MouseButton>(), Qt::RightButton);
    // The strip's ink is white whatever the palette.
    EXPECT_EQ(bar.ink(), QColor(Qt::white));
}

TEST(TrayStatusBackend, WideImagesSitCentredOnASquare)
{
    const QImage square = TrayStatusBackend::squareImage(solid(40, 10, Qt::red, 2.0));
    EXPECT_EQ(square.size(), QSize(80, 80));
    EXPECT_EQ(square.devicePixelRatio(), 2.0);
    EXPECT_EQ(square.pixelColor(0, 29).alpha(), 0);
    EXPECT_EQ(square.pixelColor(0, 40), QColor(Qt::red));
    EXPECT_EQ(square.pixelColor(79, 49), QColor(Qt::red));
    EXPECT_EQ(square.pixelColor(40, 50).alpha(), 0);
    const QImage blank = TrayStatusBackend::squareImage(QImage());
    EXPECT_FALSE(blank.isNull());
    EXPECT_EQ(blank.width(), blank.height());
}
