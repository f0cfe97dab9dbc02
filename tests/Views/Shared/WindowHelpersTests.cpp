#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Shared/ScrollPositionKeeper.h"
#include "Views/Shared/WindowVisibilityReader.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

// Sends a mouse event at a point of the screen as the window system would: to the widget that
// took the press, wherever it has moved since.
void mouse(QWidget* target, QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
    const QPoint local = target->mapFromGlobal(global);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(local), QPointF(global), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

struct Panel {
    KeyablePopupPanel panel{QRect(100, 100, 200, 150)};
    QPushButton* button = new QPushButton("Press", &panel);
    QSlider* slider = new QSlider(Qt::Horizontal, &panel);
    Panel() {
        button->setGeometry(20, 20, 80, 30);
        slider->setGeometry(20, 80, 150, 30);
        panel.show();
        QApplication::processEvents();
    }
};

TEST(KeyablePopupPanel, DragsFromAnywhereWhenAsked) {
    Panel p;
    p.panel.setDragsFromAnywhere(true);
    QSignalSpy clicked(p.button, &QPushButton::clicked);
    QSignalSpy dragging(&p.panel, &KeyablePopupPanel::draggingWindowChanged);
    const QPoint start = p.panel.pos();
    const QPoint onButton = p.button->mapToGlobal(QPoint(10, 10));

    // A drag that starts on a button moves the panel and does not click the button.
    mouse(p.button, QEvent::MouseButtonPress, onButton, Qt::LeftButton);
    EXPECT_TRUE(p.button->isDown());
    EXPECT_FALSE(p.panel.isDraggingWindow());
    mouse(p.button, QEvent::MouseMove, onButton + QPoint(30, 20), Qt::LeftButton);
    EXPECT_TRUE(p.panel.isDraggingWindow());
    EXPECT_FALSE(p.button->isDown());
    EXPECT_EQ(p.panel.pos(), start + QPoint(30, 20));
    mouse(p.button, QEvent::MouseMove, onButton + QPoint(35, 20), Qt::LeftButton);
    EXPECT_EQ(p.panel.pos(), start + QPoint(35, 20));
    mouse(p.button, QEvent::MouseButtonRelease, onButton + QPoint(35, 20), Qt::NoButton);
    EXPECT_FALSE(p.panel.isDraggingWindow());
    EXPECT_EQ(p.panel.pos(), start + QPoint(35, 20));
    EXPECT_EQ(clicked.count(), 0);
    EXPECT_EQ(dragging.count(), 2);

    // A press without movement stays a click.
    const QPoint again = p.button->mapToGlobal(QPoint(10, 10));
    mouse(p.button, QEvent::MouseButtonPress, again, Qt::LeftButton);
    mouse(p.button, QEvent::MouseMove, again + QPoint(1, 0), Qt::LeftButton);
    mouse(p.button, QEvent::MouseButtonRelease, again + QPoint(1, 0), Qt::NoButton);
    EXPECT_EQ(clicked.count(), 1);
    EXPECT_EQ(p.panel.pos(), start + QPoint(35, 20));

    // A drag on the panel's own background moves it too.
    const QPoint before = p.panel.pos();
    const QPoint background = p.panel.mapToGlobal(QPoint(150, 10));
    mouse(&p.panel, QEvent::MouseButtonPress, background, Qt::LeftButton);
    mouse(&p.panel, QEvent::MouseMove, background + QPoint(-10, 20), Qt::LeftButton);
    mouse(&p.panel, QEvent::MouseButtonRelease, background + QPoint(-10, 20), Qt::NoButton);
    EXPECT_EQ(p.panel.pos(), before + QPoint(-10, 20));

    // A slider keeps its own drag.
    const QPoint still = p.panel.pos();
    const QPoint onSlider = p.slider->mapToGlobal(QPoint(5, 15));
    mouse(p.slider, QEvent::MouseButtonPress, onSlider, Qt::LeftButton);
    mouse(p.slider, QEvent::MouseMove, onSlider + QPoint(95, 0), Qt::LeftButton);
    mouse(p.slider, QEvent::MouseButtonRelease, onSlider + QPoint(95, 0), Qt::NoButton);
    EXPECT_EQ(p.panel.pos(), still);
}

TEST(KeyablePopupPanel, StaysPutWithoutDragsFromAnywhere) {
    Panel p;
    EXPECT_FALSE(p.panel.dragsFromAnywhere());
    const QPoint start = p.panel.pos();
    const QPoint from = p.panel.mapToGlobal(QPoint(150, 10)), to = from + QPoint(-50, 50);
    mouse(&p.panel, QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(&p.panel, QEvent::MouseMove, to, Qt::LeftButton);
    EXPECT_FALSE(p.panel.isDraggingWindow());
    mouse(&p.panel, QEvent::MouseButtonRelease, to, Qt::NoButton);
    EXPECT_EQ(p.panel.pos(), start);
    // Turning it off in the middle of a drag ends the drag.
    p.panel.setDragsFromAnywhere(true);
    mouse(&p.panel, QEvent::MouseButtonPress, from, Qt::LeftButton);
    mouse(&p.panel, QEvent::MouseMove, to, Qt::LeftButton);
    EXPECT_TRUE(p.panel.isDraggingWindow());
    p.panel.setDragsFromAnywhere(false);
    EXPECT_FALSE(p.panel.isDraggingWindow());
    mouse(&p.panel, QEvent::MouseButtonRelease, to, Qt::NoButton);
}

TEST(KeyablePopupPanel, IsAFramelessToolWindowThatTakesFocus) {
    KeyablePopupPanel panel(QRect(10, 20, 360, 660));
    EXPECT_EQ(panel.geometry(), QRect(10, 20, 360, 660));
    EXPECT_TRUE(panel.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(panel.windowType(), Qt::Tool);
    EXPECT_FALSE(panel.windowFlags() & Qt::WindowDoesNotAcceptFocus);
    auto* field = new QPushButton(&panel);
    field->setFocusPolicy(Qt::StrongFocus);
    panel.makeKeyAndOrderFront();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&panel));
    EXPECT_TRUE(panel.isKeyWindow());
}

TEST(WindowVisibilityReader, ReportsShowHideAndMinimise) {
    QWidget window;
    window.resize(200, 100);
    bool visible = true;  // the owner's flag before anything is known
    auto* reader = new WindowVisibilityReader(&visible, &window);
    QSignalSpy changes(reader, &WindowVisibilityReader::isVisibleChanged);
    // Never shown: no window on screen; written later, not at once.
    EXPECT_TRUE(visible);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !visible; }, 1000));
    EXPECT_EQ(changes.count(), 1);

    window.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return visible; }, 2000));
    window.showMinimized();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !visible; }, 2000));
    window.showNormal();
    ASSERT_TRUE(TestSupport::waitFor([&] { return visible; }, 2000));
    window.hide();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !visible; }, 2000));
    const int count = int(changes.count());
    EXPECT_EQ(count, 5);
    // Only changes are written.
    window.hide();
    TestSupport::spin(50);
    EXPECT_EQ(changes.count(), count);
}

TEST(WindowVisibilityReader, FollowsTheReaderIntoAnotherWindow) {
    QWidget first, second;
    auto* holder = new QWidget(&first);
    bool visible = false;
    auto* reader = new WindowVisibilityReader(&visible, holder);
    first.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return visible; }, 2000));
    // The holder moves to a window that is not shown.
    holder->setParent(&second);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !visible; }, 2000));
    second.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return visible; }, 2000));
    first.hide();
    TestSupport::spin(50);
    EXPECT_TRUE(visible);
    EXPECT_TRUE(reader->hostWindowVisible());
}

TEST(ScrollPositionKeeper, KeepsOffsetsAcrossAResizeBurst) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* area = new QScrollArea;
    auto* content = new QLabel;
    content->setFixedSize(300, 2000);
    area->setWidget(content);
    layout->addWidget(area);
    window.resize(320, 400);
    ScrollPositionKeeper keeper(&window);
    window.show();
    TestSupport::spin(300);
    ASSERT_FALSE(keeper.isResizing());

    area->verticalScrollBar()->setValue(900);
    // Growing the window to beyond the content's remaining height would clamp the offset; the
    // keeper puts it back where the range allows.
    window.resize(320, 600);
    QApplication::processEvents();
    EXPECT_TRUE(keeper.isResizing());
    EXPECT_EQ(area->verticalScrollBar()->value(), 900);
    window.resize(320, 1500);
    QApplication::processEvents();
    EXPECT_EQ(area->verticalScrollBar()->value(), area->verticalScrollBar()->maximum());
    window.resize(320, 700);  // the range grows back within the same burst
    QApplication::processEvents();
    EXPECT_EQ(area->verticalScrollBar()->value(), 900);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !keeper.isResizing(); }, 2000));
    EXPECT_EQ(area->verticalScrollBar()->value(), 900);

    // After the burst, a scroll by the user is the new offset to keep.
    area->verticalScrollBar()->setValue(300);
    window.resize(320, 650);
    QApplication::processEvents();
    EXPECT_EQ(area->verticalScrollBar()->value(), 300);
}

}  // namespace
