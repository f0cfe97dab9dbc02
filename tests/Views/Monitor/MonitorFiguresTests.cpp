// The rolling figures of the process rows: what rolls, what each frame repaints, when it ends,
// and that the cell's own painting leaves the window as a full repaint would.
#include "MonitorTestSupport.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/SystemSampler.h"
#include "Views/Monitor/ChildProcessRowView.h"
#include "Views/Monitor/GroupedProcessRowView.h"
#include "Views/Monitor/ProcessWell.h"
#include "Views/Monitor/SystemMonitorView.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/NumericTextCell.h"

#include <QBackingStore>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <map>

namespace {

using TestSupport::Paints;

GroupedProcessInfo group(const QString& name, double cpu, uint64_t memory) {
    GroupedProcessInfo g;
    g.name = name;
    g.totalCPU = cpu;
    g.totalMemory = memory;
    g.count = 1;
    g.children = {AppProcessInfo{1, name, name, cpu, memory, {}, {}, {}}};
    return g;
}

// A window holding a glass card with one group row on it, as in the popup: translucent as where
// a compositor runs, or opaque.
struct RowOnGlass {
    QWidget window;
    GlassCard* card;
    GroupedProcessRowView* row;
    explicit RowOnGlass(const GroupedProcessInfo& g, bool translucent = true) {
        window.setAttribute(Qt::WA_TranslucentBackground, translucent);
        window.resize(360, 120);
        card = new GlassCard(24, std::nullopt, true, std::nullopt, &window);
        card->setGeometry(10, 10, 340, 100);
        row = new GroupedProcessRowView(g, MonitorTab::cpu, false, {}, {}, {}, &window);
        row->setGeometry(20, 40, 320, GroupedProcessRowView::rowHeight);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        TestSupport::spin(50);
    }
    // The window as its backing store holds it (without what other windows show beneath it).
    QImage onScreen() const {
        const auto* image = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
        return image ? image->copy() : QImage();
    }
    QRect cellInWindow(NumericTextCell* cell) const { return QRect(cell->mapTo(&window, QPoint()), cell->size()); }
    // Paints what is due in the window now, as its next frame would.
    void paintDue() { QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest); }
};

// Compared as premultiplied colour: a backing store without an alpha channel holds that.
bool samePixels(const QImage& a, const QImage& b, const QRect& r, int tolerance = 2) {
    const QImage p = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage q = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const bool alpha = a.hasAlphaChannel() && b.hasAlphaChannel();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb u = p.pixel(x, y), v = q.pixel(x, y);
            if (std::abs(qRed(u) - qRed(v)) > tolerance || std::abs(qGreen(u) - qGreen(v)) > tolerance ||
                std::abs(qBlue(u) - qBlue(v)) > tolerance || (alpha && std::abs(qAlpha(u) - qAlpha(v)) > tolerance))
                return false;
        }
    return true;
}

struct Figures : ::testing::Test {
    void SetUp() override { AccessibilityDisplayOptions::shared().setOverride(false, false); }
    void TearDown() override { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }
};

}  // namespace

TEST_F(Figures, AChangedFigureRollsRepaintingItsCellAloneAndThenNothingRepaints) {
    for (bool translucent : {true, false}) {
        SCOPED_TRACE(translucent ? "translucent window" : "opaque window");
        RowOnGlass rig(group("Browser", 12.5, 400u << 20), translucent);
        NumericTextCell* cpu = rig.row->cpuCell();
        NumericTextCell* memory = rig.row->memoryCell();
        // The scene as the widgets draw it afresh (the backing store of a translucent window on this
        // platform keeps traces of earlier contents where the glass lets them through).
        const QImage before = rig.window.grab().toImage();
        Paints paints, wholeRoll;
        rig.row->setProcess(group("Browser", 37.5, 400u << 20), MonitorTab::cpu, false);
        EXPECT_TRUE(cpu->isAnimating());
        EXPECT_FALSE(memory->isAnimating());  // unchanged
        TestSupport::spin(60);                // the picture of what is under the cell, then frames
        EXPECT_TRUE(cpu->paintsOpaquely());
        paints.clear();
        TestSupport::spin(120);
        // Mid-roll: frames reach the cell, never the row, the card or the window behind it.
        EXPECT_GT(paints.of(cpu), 2);
        EXPECT_EQ(paints.total, paints.of(cpu));
        // The cell's picture is what lay under it: its empty left part looks as before the change.
        const QRect cell = rig.cellInWindow(cpu);
        EXPECT_TRUE(samePixels(before, rig.onScreen(), QRect(cell.left(), cell.top() + 2, 12, cell.height() - 4)));
        // The roll ends well within a second, and after it the window is still.
        ASSERT_TRUE(TestSupport::waitFor([&] { return !cpu->isAnimating(); }, 900));
        // Each frame paints and flushes every rolling cell: a roll draws at the clock's rate, not
        // at every turn of the animation timer.
        const double rollSeconds = Motion::value().settlingDuration();
        EXPECT_LE(wholeRoll.of(cpu), int(std::ceil(rollSeconds * NumericTextCell::framesPerSecond)) + 2);
        EXPECT_FALSE(cpu->paintsOpaquely());
        EXPECT_EQ(cpu->text(), "37.5%");
        TestSupport::spin(50);
        paints.clear();
        TestSupport::spin(300);
        EXPECT_EQ(paints.total, 0);
        if (translucent) continue;
        // What the roll left is what a window showing the new figure from the start has.
        const QImage settled = rig.onScreen();
        rig.window.hide();
        RowOnGlass fresh(group("Browser", 37.5, 400u << 20), false);
        EXPECT_TRUE(samePixels(settled, fresh.onScreen(), cell.adjusted(-4, -4, 4, 4) & rig.window.rect()));
    }
}

// A frame repaints only where the texts were and are: what it leaves must be what a repaint of the
// whole cell draws, from texts of one width to another, in both columns.
TEST_F(Figures, EachFrameOfARollLeavesWhatARepaintOfTheWholeCellDraws) {
    RowOnGlass rig(group("Browser", 9.5, 40u << 20), false);
    rig.row->setProcess(group("Browser", 37.5, 1200u << 20), MonitorTab::cpu, false);
    NumericTextCell* cells[] = {rig.row->cpuCell(), rig.row->memoryCell()};
    int frames = 0;
    auto painted = [&] { return cells[0]->paintCount() + cells[1]->paintCount(); };
    while (cells[0]->isAnimating() || cells[1]->isAnimating()) {
        // The roll's next frame, or its end.
        const int before = painted();
        ASSERT_TRUE(TestSupport::waitFor([&] {
            rig.paintDue();
            return painted() > before || !(cells[0]->isAnimating() || cells[1]->isAnimating());
        }));
        rig.paintDue();
        const QImage left = rig.onScreen();
        for (NumericTextCell* cell : cells) cell->repaint();
        const QImage whole = rig.onScreen();
        for (NumericTextCell* cell : cells)
            EXPECT_TRUE(samePixels(left, whole, rig.cellInWindow(cell), 16)) << "frame " << frames;
        ++frames;
    }
    EXPECT_GT(frames, 3);
}

TEST_F(Figures, TheSameFiguresAndACellOutOfSightDoNotRoll) {
    RowOnGlass rig(group("Browser", 12.5, 400u << 20));
    Paints paints;
    rig.row->setProcess(group("Browser", 12.5, 400u << 20), MonitorTab::cpu, false);
    TestSupport::spin(100);
    EXPECT_EQ(paints.total, 0) << "nothing changed, nothing repaints";

    // Scrolled out of its window's sight, a row takes new figures at once.
    rig.row->move(20, 400);
    TestSupport::spin(20);
    rig.row->setProcess(group("Browser", 50.5, 800u << 20), MonitorTab::cpu, false);
    EXPECT_FALSE(rig.row->cpuCell()->isAnimating());
    EXPECT_FALSE(rig.row->memoryCell()->isAnimating());
    EXPECT_EQ(rig.row->cpuCell()->text(), "50.5%");
    // A hidden window rolls nothing either.
    rig.row->move(20, 40);
    rig.window.hide();
    rig.row->setProcess(group("Browser", 60.5, 800u << 20), MonitorTab::cpu, false);
    EXPECT_FALSE(rig.row->cpuCell()->isAnimating());
}

TEST_F(Figures, AHoverOrAMoveOfTheRowDuringARollDropsThePictureAndShowsUnderTheCell) {
    RowOnGlass rig(group("Browser", 12.5, 400u << 20));
    NumericTextCell* cpu = rig.row->cpuCell();
    // A row that moves while its figure rolls (the list re-sorted) paints no picture of its old
    // place: another row's figure would show beneath its own.
    rig.row->setProcess(group("Browser", 25.5, 400u << 20), MonitorTab::cpu, false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return cpu->paintsOpaquely(); }));
    rig.row->move(20, 70);
    EXPECT_FALSE(cpu->paintsOpaquely());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !cpu->isAnimating(); }, 1500));
    rig.row->move(20, 40);
    rig.paintDue();

    rig.row->setProcess(group("Browser", 37.5, 400u << 20), MonitorTab::cpu, false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return cpu->paintsOpaquely(); }));
    QTest::mouseMove(rig.window.windowHandle(), rig.row->mapTo(&rig.window, QPoint(40, 10)));
    QCoreApplication::processEvents();
    ASSERT_TRUE(rig.row->isHovered());
    EXPECT_FALSE(cpu->paintsOpaquely());
    // Once the hover fill has faded in, the cell's empty part shows it as the rest of the row does.
    ASSERT_TRUE(TestSupport::waitFor([&] { return rig.row->hoverAmount() >= 1 && !cpu->isAnimating(); }, 1500));
    rig.paintDue();
    const QImage shot = rig.onScreen();
    const QRect cell = rig.cellInWindow(cpu);
    const QPoint inCell(cell.left() + 3, cell.center().y());
    const QPoint besideCell(cell.left() - 3, cell.center().y());  // the row's fill, where no text is
    EXPECT_LE(std::abs(shot.pixelColor(inCell).red() - shot.pixelColor(besideCell).red()), 2);
    EXPECT_LE(std::abs(shot.pixelColor(inCell).alpha() - shot.pixelColor(besideCell).alpha()), 2);
}

TEST_F(Figures, AListRefreshRollsTheChangedFiguresOfRowsInViewAndRepaintsNoRow) {
    MonitorRig rig;
    SyntheticProc& proc = rig.proc();
    for (int i = 0; i < 60; ++i) proc.add({100 + i, 1, "task" + QByteArray::number(i), "", 0, quint64(1000 + i * 10)});
    rig.refresh();
    for (int i = 0; i < 60; ++i) proc.burn(100 + i, quint64(2 * i));
    rig.refresh();
    SystemSampler sampler{QStringLiteral(QUORVIN_FIXTURES "/linux-desktop"), nullptr};
    MetricArchive archive{TestSupport::tempRoot() + "/figures-metrics.log"};
    SystemMonitorView::Sources sources;
    sources.monitor = &rig.monitor();
    sources.sampler = &sampler;
    sources.archive = &archive;
    sources.physicalMemory = 16.0 * 1024 * 1024 * 1024;
    QWidget host;
    host.resize(360, 660);
    auto* view = new SystemMonitorView(MonitorTab::memory, [] {}, sources, &host);
    view->setGeometry(0, 0, 360, 660);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    TestSupport::spin(600);
    auto* well = qobject_cast<ProcessWell*>(view->bodyContent());
    ASSERT_NE(well, nullptr);
    well->refreshNow();
    TestSupport::spin(100);
    // The Mem tab keeps its order while CPU figures change: the same rows stay in view.
    GroupedProcessRowView* top = well->groupRow(well->displayed().front().name);
    const QString lastName = well->displayed().back().name;
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(well->groupRow(lastName), nullptr);  // far below the view, never built

    Paints paints;
    for (int i = 0; i < 60; ++i) proc.burn(100 + i, quint64(3 * i + 1));
    rig.refresh();
    well->refreshNow();
    EXPECT_TRUE(top->cpuCell()->isAnimating());
    EXPECT_FALSE(top->memoryCell()->isAnimating());
    int rolling = 0;
    std::map<const QObject*, int> rollingIn;
    for (GroupedProcessRowView* row : well->findChildren<GroupedProcessRowView*>()) {
        rollingIn[row] = int(row->cpuCell()->isAnimating()) + int(row->memoryCell()->isAnimating());
        if (row->cpuCell()->isAnimating()) {
            ++rolling;
            // Only rows the viewport shows roll.
            const QRect inViewport(row->mapTo(well->scrollArea()->viewport(), QPoint()), row->size());
            EXPECT_TRUE(inViewport.intersects(well->scrollArea()->viewport()->rect())) << row->process().name.toStdString();
        }
    }
    EXPECT_GT(rolling, 5);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !top->cpuCell()->isAnimating(); }, 1500));
    // A row is drawn only into the pictures its rolling cells take, never frame by frame.
    for (GroupedProcessRowView* row : well->findChildren<GroupedProcessRowView*>())
        EXPECT_LE(paints.of(row), rollingIn[row]) << row->process().name.toStdString();
    for (GlassCard* card : view->findChildren<GlassCard*>()) EXPECT_LE(paints.of(card), rolling);
    TestSupport::spin(100);
    paints.clear();
    TestSupport::spin(300);
    EXPECT_EQ(paints.total, 0);

    // Scrolled away while figures roll, and back: rows out of view roll nothing, and every row in
    // view (a new one, or one that showed another group before) shows its group's figures at rest.
    auto rowsShowTheirGroups = [&] {
        int shown = 0;
        for (const GroupedProcessInfo& g : well->displayed()) {
            GroupedProcessRowView* row = well->groupRow(g.name);
            if (!row) continue;
            ++shown;
            EXPECT_TRUE(row->isVisible()) << g.name.toStdString();
            EXPECT_EQ(row->process().name, g.name);
            EXPECT_EQ(row->accessibleName(), g.name);
            EXPECT_EQ(row->cpuCell()->text(), g.cpuString()) << g.name.toStdString();
            EXPECT_EQ(row->memoryCell()->text(), g.memoryString()) << g.name.toStdString();
            EXPECT_FALSE(row->cpuCell()->isAnimating()) << g.name.toStdString();
            EXPECT_FALSE(row->isHovered());
        }
        return shown;
    };
    for (int i = 0; i < 60; ++i) proc.burn(100 + i, quint64(i + 5));
    rig.refresh();
    well->refreshNow();
    ASSERT_TRUE(top->cpuCell()->isAnimating());
    QScrollBar* bar = well->scrollArea()->verticalScrollBar();
    bar->setValue(bar->maximum());
    for (GroupedProcessRowView* row : well->findChildren<GroupedProcessRowView*>()) {
        if (row->isVisible()) continue;
        EXPECT_FALSE(row->cpuCell()->isAnimating() || row->memoryCell()->isAnimating());
    }
    EXPECT_GT(rowsShowTheirGroups(), 5);
    EXPECT_NE(well->groupRow(lastName), nullptr);
    for (int i = 0; i < 60; ++i) proc.burn(100 + i, quint64(2 * i + 3));
    rig.refresh();
    well->refreshNow();
    bar->setValue(0);
    EXPECT_GT(rowsShowTheirGroups(), 5);
    EXPECT_EQ(well->groupRow(lastName), nullptr);
}

// Each frame of a roll draws texts laid out once: the cell draws them where and as
// QPainter::drawText would, and rolling between figures already drawn lays nothing out again.
TEST_F(Figures, TheCellDrawsItsTextAsDrawTextWouldAndLaysEachTextOutOnce) {
    QWidget window;
    window.resize(200, 60);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* cell = new NumericTextCell(&window);
    cell->setColor(QColor(30, 60, 200));
    cell->show();
    const QRectF rects[] = {{10, 10, 80, 17}, {10.3, 10.6, 80.4, 16.5}, {11.7, 12.25, 61.1, 18.8}};
    const Qt::Alignment alignments[] = {Qt::AlignRight | Qt::AlignVCenter, Qt::AlignLeft | Qt::AlignVCenter,
                                        Qt::AlignHCenter | Qt::AlignBottom, Qt::AlignLeft | Qt::AlignTop};
    for (const QString& text : {QStringLiteral("37.5%"), QStringLiteral("1.2 GB"), QStringLiteral("0.0%")})
        for (const QRectF& rect : rects)
            for (Qt::Alignment alignment : alignments) {
                SCOPED_TRACE((text + " " + QString::number(rect.x()) + " " + QString::number(int(alignment))).toStdString());
                cell->setText(text, false);
                cell->place(rect, alignment);
                QImage drawn(cell->size(), QImage::Format_ARGB32_Premultiplied);
                drawn.fill(Qt::transparent);
                cell->render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
                QImage expected(cell->size(), QImage::Format_ARGB32_Premultiplied);
                expected.fill(Qt::transparent);
                QPainter painter(&expected);
                painter.setRenderHint(QPainter::Antialiasing);
                painter.setFont(cell->font());
                painter.setPen(cell->color());
                painter.drawText(rect.translated(-cell->pos()), int(alignment), text);
                painter.end();
                QImage blank(drawn.size(), drawn.format());
                blank.fill(Qt::transparent);
                ASSERT_NE(expected, blank);
                EXPECT_TRUE(samePixels(drawn, expected, drawn.rect(), 0));
            }

    // Rolls back and forth between two figures: each is laid out once, however many frames.
    cell->place(rects[0], alignments[0]);
    const int before = NumericTextCell::textsLaidOut();
    const int paintsBefore = cell->paintCount();
    for (const QString& text : {QStringLiteral("81.5%"), QStringLiteral("82.5%"), QStringLiteral("81.5%")}) {
        cell->setText(text, true);
        ASSERT_TRUE(cell->isAnimating());
        ASSERT_TRUE(TestSupport::waitFor([&] { return !cell->isAnimating(); }, 1500));
    }
    QCoreApplication::sendPostedEvents(&window, QEvent::UpdateRequest);  // the last frame
    EXPECT_GT(cell->paintCount() - paintsBefore, 6);
    EXPECT_EQ(NumericTextCell::textsLaidOut() - before, 2);
}
