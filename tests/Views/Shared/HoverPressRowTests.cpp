#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Views/Shared/HoverPressRow.h"
#include "TestSupport.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A parent that counts the presses that reach it.
class PressCounter : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        ++presses;
        event->accept();
    }
};

struct Rig {
    PressCounter host;
    HoverPressRow* row;
    Rig(HoverPressRow::Hover hover, HoverPressRow::Fade fade) : row(new HoverPressRow(hover, fade, &host)) {
        AccessibilityDisplayOptions::shared().setOverride(false, std::nullopt);
        host.resize(200, 60);
        row->setGeometry(0, 10, 200, 28);
        host.show();
    }
    ~Rig() { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }
    void enter() {
        QEnterEvent event(QPointF(10, 10), QPointF(10, 20), row->mapToGlobal(QPointF(10, 10)));
        QApplication::sendEvent(row, &event);
    }
    void leave() {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(row, &event);
    }
};

TEST(HoverPressRow, AClickIsALeftPressAndAReleaseInside) {
    Rig rig(HoverPressRow::Hover::followsPointer, HoverPressRow::Fade::none);
    QSignalSpy clicks(rig.row, &HoverPressRow::clicked);
    QTest::mousePress(rig.row, Qt::LeftButton, {}, QPoint(20, 14));
    EXPECT_TRUE(rig.row->isPressed());
    QTest::mouseRelease(rig.row, Qt::LeftButton, {}, QPoint(20, 14));
    EXPECT_FALSE(rig.row->isPressed());
    EXPECT_EQ(clicks.count(), 1);

    // Released outside the row: no click, and the press is over.
    QTest::mousePress(rig.row, Qt::LeftButton, {}, QPoint(20, 14));
    QTest::mouseRelease(rig.row, Qt::LeftButton, {}, QPoint(20, 40));
    EXPECT_FALSE(rig.row->isPressed());
    // Another button, or a release without a press, is no click either.
    QTest::mouseClick(rig.row, Qt::RightButton, {}, QPoint(20, 14));
    QTest::mouseRelease(rig.row, Qt::LeftButton, {}, QPoint(20, 14));
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(rig.host.presses, 0);  // the row keeps its presses
}

TEST(HoverPressRow, ARowThatIsNotClickableLetsPressesThrough) {
    class Passive : public HoverPressRow {
    public:
        explicit Passive(QWidget* parent) : HoverPressRow(Hover::followsPointer, Fade::none, parent) {
            setClickable(false);
        }
    };
    PressCounter host;
    host.resize(200, 60);
    auto* row = new Passive(&host);
    row->setGeometry(0, 10, 200, 28);
    host.show();
    QSignalSpy clicks(row, &HoverPressRow::clicked);
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(20, 14));
    EXPECT_EQ(clicks.count(), 0);
    EXPECT_FALSE(row->isPressed());
    EXPECT_EQ(host.presses, 1);
}

TEST(HoverPressRow, APointerRowHoversAndFadesWithThePointer) {
    Rig rig(HoverPressRow::Hover::followsPointer, HoverPressRow::Fade::animated);
    QSignalSpy changes(rig.row, &HoverPressRow::hoveredChanged);
    rig.enter();
    EXPECT_TRUE(rig.row->isHovered());
    ASSERT_EQ(changes.count(), 1);
    EXPECT_TRUE(changes[0][0].toBool());
    EXPECT_LT(rig.row->hoverAmount(), 1.0);  // fading in, not there at once
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.row->hoverAmount() == 1.0; }, 2000));
    rig.enter();  // no second change for the same state
    EXPECT_EQ(changes.count(), 1);
    rig.leave();
    EXPECT_FALSE(rig.row->isHovered());
    ASSERT_EQ(changes.count(), 2);
    EXPECT_FALSE(changes[1][0].toBool());
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.row->hoverAmount() == 0.0; }, 2000));
}

TEST(HoverPressRow, AnOwnedRowReportsThePointerAndHoversWhenTold) {
    Rig rig(HoverPressRow::Hover::setByOwner, HoverPressRow::Fade::none);
    QSignalSpy over(rig.row, &HoverPressRow::pointerOver);
    QSignalSpy changes(rig.row, &HoverPressRow::hoveredChanged);
    rig.enter();
    EXPECT_FALSE(rig.row->isHovered());
    rig.row->setMouseTracking(true);
    QTest::mouseMove(rig.row, QPoint(30, 12));
    QTest::qWait(20);
    rig.leave();
    ASSERT_GE(over.count(), 3);
    EXPECT_TRUE(over.first()[0].toBool());
    EXPECT_TRUE(over[over.count() - 2][0].toBool());
    EXPECT_FALSE(over.last()[0].toBool());
    EXPECT_EQ(changes.count(), 0);

    // Without a fade the amount follows the state at once.
    rig.row->setHovered(true);
    EXPECT_TRUE(rig.row->isHovered());
    EXPECT_EQ(rig.row->hoverAmount(), 1.0);
    EXPECT_EQ(changes.count(), 1);
    rig.row->setHovered(false);
    EXPECT_EQ(rig.row->hoverAmount(), 0.0);
}

}  // namespace
