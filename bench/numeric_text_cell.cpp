// Drawing one frame of a rolling figure (two texts, as each frame of a roll draws) and a still
// one, over the figures of 350 process rows; beside them the same two texts drawn by
// QPainter::drawText, which lays each out again at every frame.
#include "Views/Shared/NumericTextCell.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <utility>
#include <vector>

namespace {

constexpr int kRows = 350;

QString figure(int i) { return QString::number(i % 1000 / 10.0, 'f', 1) + QLatin1Char('%'); }

// Cells in a shown window, each stopped at the first frame of a roll from one figure to another
// (no event loop turns, so the roll stays where it is).
struct Cells {
    QWidget window;
    std::vector<NumericTextCell*> cells;
    explicit Cells(bool rolling) {
        window.resize(120, 40);
        window.show();
        for (int i = 0; i < kRows; ++i) {
            auto* cell = new NumericTextCell(&window);
            cell->place(QRectF(4, 10, 80, 17), Qt::AlignRight | Qt::AlignVCenter);
            cell->setText(figure(i * 7), false);
            if (rolling) cell->setText(figure(i * 7 + 3), true);
            cells.push_back(cell);
        }
    }
};

void drawCells(benchmark::State& state, bool rolling) {
    Cells cells(rolling);
    QImage image(cells.cells.front()->size(), QImage::Format_ARGB32_Premultiplied);
    size_t i = 0;
    for (auto _ : state) {
        image.fill(Qt::transparent);
        cells.cells[i++ % cells.cells.size()]->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(image.constBits());
    }
}

void BM_NumericTextCellRollFrame(benchmark::State& state) { drawCells(state, true); }
void BM_NumericTextCellStill(benchmark::State& state) { drawCells(state, false); }

// A widget that draws a roll frame as the cell did before it kept its texts laid out: both texts
// laid out afresh in every frame.
class DrawTextCell : public QWidget {
public:
    DrawTextCell(QWidget* parent, QString previous, QString text)
        : QWidget(parent), previous_(std::move(previous)), text_(std::move(text)) {
        setAttribute(Qt::WA_TranslucentBackground);
        setGeometry(4, 8, 80, 21);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setFont(font());
        painter.setPen(QColor(0, 0, 0, 120));
        painter.drawText(QRectF(0, -7.35, 80, 17), int(Qt::AlignRight | Qt::AlignVCenter), previous_);
        painter.setPen(QColor(0, 0, 0, 135));
        painter.drawText(QRectF(0, 11.35, 80, 17), int(Qt::AlignRight | Qt::AlignVCenter), text_);
    }

private:
    QString previous_, text_;
};

void BM_DrawTextRollFrame(benchmark::State& state) {
    QWidget window;
    window.resize(120, 40);
    window.show();
    std::vector<DrawTextCell*> cells;
    for (int i = 0; i < kRows; ++i) cells.push_back(new DrawTextCell(&window, figure(i * 7), figure(i * 7 + 3)));
    QImage image(cells.front()->size(), QImage::Format_ARGB32_Premultiplied);
    size_t i = 0;
    for (auto _ : state) {
        image.fill(Qt::transparent);
        cells[i++ % cells.size()]->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(image.constBits());
    }
}

}  // namespace

BENCHMARK(BM_NumericTextCellRollFrame)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NumericTextCellStill)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DrawTextRollFrame)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) { return runBenchmarks<QApplication>(argc, argv); }
