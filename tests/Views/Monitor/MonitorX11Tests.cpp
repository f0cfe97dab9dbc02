// The monitor popup as the X server shows it. With no compositor the window is cut to its cards
// and every part of a card is painted, never left black; with one, the cards hide what is behind.
// The screenshots go to QUORVIN_TEST_OUTPUT/monitor-x11-*.png.
#include "App/MenuPanelController.h"
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/X11/Compositing.h"
#include "Source/Features/System/GroupedProcessInfo.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "TestSupport.h"
#include "Views/Monitor/ProcessDetailView.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Monitor/SystemMonitorView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

#include <unistd.h>

#include "X11TestSupport.h"

#include <X11/keysym.h>

namespace {

// Share of pure black pixels in a rectangle of the screen, as the X server has it.
double blackShare(const QRect& globalRect) {
    const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    int black = 0, total = 0;
    for (int y = globalRect.top(); y <= globalRect.bottom(); ++y) {
        for (int x = globalRect.left(); x <= globalRect.right(); ++x) {
            if (!shot.rect().contains(x, y)) continue;
            ++total;
            if ((shot.pixel(x, y) & 0xffffff) == 0) ++black;
        }
    }
    return total == 0 ? 1.0 : double(black) / total;
}

const QColor backdropColour(230, 200, 40);
const QColor backdropInk(20, 30, 90);

// A window behind the popup: plain yellow with lines of dark text, so that what shows through a
// card or around it can be seen and measured.
class Backdrop : public QWidget {
public:
    Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint) {
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }
    // A plain fill without text (none: the yellow with text).
    void setPlain(std::optional<QColor> colour) {
        plain_ = colour;
        repaint();
        TestSupport::spin(400);  // the X server, and a compositor, catch up
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (plain_) {
            p.fillRect(rect(), *plain_);
            return;
        }
        p.fillRect(rect(), backdropColour);
        QFont font = p.font();
        font.setPixelSize(15);
        font.setBold(true);
        p.setFont(font);
        p.setPen(backdropInk);
        for (int y = 30; y < height(); y += 40)
            p.drawText(QRect(0, y, width(), 24), Qt::AlignLeft | Qt::AlignVCenter,
                       QStringLiteral("Text behind the popup 0123456789 ").repeated(20));
    }

private:
    std::optional<QColor> plain_;
};

// How much of what lies behind a window shows through it at a point (0 none, 1 all): the change
// of the screen there between a black and a white backdrop.
double seeThrough(Backdrop& backdrop, const QPoint& global) {
    backdrop.setPlain(Qt::black);
    const QColor overBlack = QGuiApplication::primaryScreen()->grabWindow(0).toImage().pixelColor(global);
    backdrop.setPlain(Qt::white);
    const QColor overWhite = QGuiApplication::primaryScreen()->grabWindow(0).toImage().pixelColor(global);
    backdrop.setPlain(std::nullopt);
    return (std::abs(overWhite.red() - overBlack.red()) + std::abs(overWhite.green() - overBlack.green()) +
            std::abs(overWhite.blue() - overBlack.blue())) / (3.0 * 255);
}

QImage screenShot() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

bool near(QColor a, QColor b, int tolerance = 12) {
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

void save(const QImage& shot, const QRect& around, const QString& name) {
    QDir().mkpath(QStringLiteral(QUORVIN_TEST_OUTPUT));
    const QString setUp = Compositing::isActive() ? QStringLiteral("composited") : QStringLiteral("plain");
    shot.copy(around.adjusted(-20, -20, 20, 20))
        .save(QStringLiteral(QUORVIN_TEST_OUTPUT "/monitor-x11-%1-%2.png").arg(setUp, name));
}

// This test program as the one process of a group, for a detail to show.
GroupedProcessInfo thisProcess() {
    GroupedProcessInfo group;
    group.name = QStringLiteral("Quorvin Tests");
    group.count = 1;
    AppProcessInfo me;
    me.pid = int32_t(::getpid());
    me.name = group.name;
    me.processName = QStringLiteral("test_monitor_x11");
    group.children = {me};
    return group;
}

}  // namespace

TEST(MonitorPopupX11, NoCornerIsBlackAndNoCardLetsTheWindowsBehindThrough) {
    AccessibilityDisplayOptions::shared().setOverride(true, false);  // short transitions
    Backdrop backdrop;
    backdrop.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&backdrop));
    // The menu panel first, as a measure of the glass.
    MenuPanelController& menu = MenuPanelController::shared();
    menu.show(QRect(QPoint(40, 40), QSize(1, 1)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(menu.panel()));
    TestSupport::spin(600);
    const double menuLeak = seeThrough(backdrop, menu.panel()->mapToGlobal(QPoint(8, 60)));  // beside the gauges
    save(screenShot(), menu.panel()->frameGeometry(), QStringLiteral("menu"));
    menu.close();

    SystemMonitorPopupController& controller = SystemMonitorPopupController::shared();
    controller.show(MonitorTab::cpu);
    KeyablePopupPanel* panel = controller.panel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    const bool composed = Compositing::isActive();
    // The list, not its skeleton: the second refresh gives the first usable figures.
    EXPECT_TRUE(TestSupport::waitFor([] { return ProcessMonitor::shared().hasUsableCPU(); }, 15000));
    TestSupport::spin(900);

    // What the backdrop itself shows at each point, to compare the screen with.
    const QImage behind = backdrop.grab().toImage();
    auto at = [&](const QImage& shot, QPoint local) { return shot.pixelColor(panel->mapToGlobal(local)); };
    auto backdropAt = [&](QPoint local) { return behind.pixelColor(backdrop.mapFromGlobal(panel->mapToGlobal(local))); };
    const int w = panel->width(), h = panel->height();
    const QRect frame(panel->mapToGlobal(QPoint(0, 0)), panel->size());
    // Outside the cards: the corners, and the gap between the header card and the middle one.
    const QList<QPoint> around{{1, 1}, {w - 2, 1}, {1, h - 2}, {w - 2, h - 2}, {w / 2, 12 + 202}};
    // On the cards: the tab strip's card, the search row's and the process list's.
    const QList<QPoint> inside{{w / 2, 12 + 8}, {20, 12 + 226}, {w / 2, 12 + 300}, {30, h - 40}};
    auto check = [&](const QString& name, const QList<QPoint>& outside, const QList<QPoint>& covered) {
        const QImage shot = screenShot();
        if (!composed) {
            EXPECT_FALSE(panel->mask().isEmpty()) << name.toStdString();
        }
        save(shot, frame, name);
        for (const QPoint& p : outside) {
            EXPECT_TRUE(near(at(shot, p), backdropAt(p)))
                << name.toStdString() << ": the window behind does not show at " << p.x() << "," << p.y() << " ("
                << at(shot, p).name().toStdString() << ")";
        }
        for (const QPoint& p : covered) {
            const QColor c = at(shot, p);
            EXPECT_NE(c.rgb() & 0xffffff, 0u) << name.toStdString() << ": black at " << p.x() << "," << p.y();
            // The glass may take a hint of the colour behind it, never the colour itself.
            const QColor b = backdropAt(p);
            const int distance =
                std::abs(c.red() - b.red()) + std::abs(c.green() - b.green()) + std::abs(c.blue() - b.blue());
            EXPECT_GT(distance, 120) << name.toStdString() << ": the window behind shows through at " << p.x() << ","
                                     << p.y() << " (" << c.name().toStdString() << ")";
        }
    };
    if (!composed) {
        EXPECT_FALSE(panel->mask().isEmpty());
        EXPECT_FALSE(panel->mask().contains(QPoint(1, 1)));
    }
    check(QStringLiteral("cpu"), around, inside);

    // The process list hides what is behind it at least as well as the menu panel's cards do,
    // and well enough for its small grey figures to read.
    const QPoint listPoint = panel->mapToGlobal(QPoint(w / 2, h - 30));
    const double listLeak = seeThrough(backdrop, listPoint);
    EXPECT_LE(listLeak, menuLeak + 0.01) << "list " << listLeak << ", menu panel " << menuLeak;
    EXPECT_LE(listLeak, 0.06);
    if (!composed) {
        EXPECT_EQ(listLeak, 0);
    }

    // Stats fuses the cards into one: the gap is card now, the corners stay outside.
    controller.view()->model().selectTab(MonitorTab::stats);
    TestSupport::spin(900);
    check(QStringLiteral("stats"), around.mid(0, 4), {{w / 2, 12 + 202}, {w / 2, h - 60}});
    if (!composed) {
        EXPECT_TRUE(panel->mask().contains(QPoint(w / 2, 12 + 202)));
    }

    // A detail: navigation bar, one card and the action bar, with gaps between them.
    controller.view()->model().selectTab(MonitorTab::cpu);
    TestSupport::spin(600);
    controller.view()->model().selectProcess(thisProcess());
    TestSupport::spin(900);
    check(QStringLiteral("detail"), {{1, 1}, {w / 2, 12 + 54}, {w / 2, 12 + 582}}, {{w / 2, 12 + 24}, {w / 2, 12 + 300}});

    controller.dismiss();
    TestSupport::spin(50);
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
}

TEST(MonitorPopupX11, TheProcessDetailsHierarchyIsPaintedOnTheCard) {
    // With the full animations, as most people see it.
    AccessibilityDisplayOptions::shared().setOverride(false, false);
    SystemMonitorPopupController& controller = SystemMonitorPopupController::shared();
    controller.show(MonitorTab::cpu);
    ASSERT_NE(controller.panel(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.panel()));

    GroupedProcessInfo group = thisProcess();
    group.totalCPU = 1.5;
    group.totalMemory = 40u << 20;
    group.children[0].cpuUsage = 1.5;
    group.children[0].memoryBytes = group.totalMemory;
    controller.view()->model().selectProcess(group);
    TestSupport::spin(1500);

    QScrollArea* hierarchy = nullptr;
    for (ProcessDetailView* detail : controller.panel()->findChildren<ProcessDetailView*>()) {
        if (auto* scroll = detail->findChild<QScrollArea*>()) hierarchy = scroll;
    }
    ASSERT_NE(hierarchy, nullptr);
    ASSERT_TRUE(hierarchy->isVisible());
    QWidget* rows = hierarchy->widget();
    ASSERT_NE(rows, nullptr);
    ASSERT_GT(rows->height(), 0);
    const QRect onScreen(rows->mapToGlobal(QPoint(0, 0)), QSize(rows->width(), std::min(rows->height(), 34)));
    EXPECT_LT(blackShare(onScreen), 0.2) << "the process rows were left unpainted";

    controller.dismiss();
    TestSupport::spin(50);
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
}

// A note of the popup's own (the stack sample's) takes the key while it is open; once it closes,
// Escape reaches the popup again and closes it.
TEST(MonitorPopupX11, AfterANoteOfThePopupClosesEscapeClosesThePopup) {
    AccessibilityDisplayOptions::shared().setOverride(true, false);  // short transitions
    SystemMonitorPopupController& controller = SystemMonitorPopupController::shared();
    controller.show(MonitorTab::cpu);
    KeyablePopupPanel* panel = controller.panel();
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(panel));
    ASSERT_TRUE(TestSupport::waitFor([&] { return panel->isActiveWindow(); }, 5000));

    controller.view()->model().selectProcess(thisProcess());
    ProcessDetailView* detail = nullptr;
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            const auto found = panel->findChildren<ProcessDetailView*>();
            detail = found.isEmpty() ? nullptr : found.first();
            return detail != nullptr;
        },
        5000));
    detail->finishSample(QStringLiteral("/nonexistent/sample.txt"), false);
    QPointer<QWidget> note;
    ASSERT_TRUE(TestSupport::waitFor(
        [&] {
            note = QApplication::activeModalWidget();
            return note && note->isActiveWindow();
        },
        5000));
    X11Test::pressKeys({}, XK_Escape);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !note || !note->isVisible(); }, 5000));

    EXPECT_TRUE(TestSupport::waitFor([&] { return panel->isActiveWindow(); }, 5000));
    EXPECT_EQ(controller.panel(), panel);
    // Escape leaves the details, then closes the popup.
    X11Test::pressKeys({}, XK_Escape);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !controller.view()->model().selectedProcess(); }, 5000));
    QPointer<KeyablePopupPanel> closing(panel);
    X11Test::pressKeys({}, XK_Escape);
    EXPECT_TRUE(TestSupport::waitFor([&] { return controller.panel() == nullptr; }, 5000));
    if (controller.panel()) controller.dismiss();
    EXPECT_TRUE(TestSupport::waitFor([&] { return closing.isNull(); }));
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
}
