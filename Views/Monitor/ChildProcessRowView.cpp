#include "Views/Monitor/ChildProcessRowView.h"

#include "Platform/Core/OneLine.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Monitor/GroupedProcessRowView.h"
#include "Views/Shared/ContinuousCorners.h"

#include <QEvent>
#include <QPainter>

#include <algorithm>

namespace {
constexpr double kPadH = 6;
QFont nameFont() { return SystemFont::font(10.5); }
QFont pidFont() { return SystemFont::monospaced(9); }
QFont figureFont() { return SystemFont::monospaced(10); }
}  // namespace

ChildProcessRowView::ChildProcessRowView(AppProcessInfo process, MonitorTab tab,
                                         std::function<void(bool)> onHoverChanged, QWidget* parent)
    : HoverPressRow(Hover::followsPointer, Fade::animated, parent), process_(std::move(process)), tab_(tab),
      onHoverChanged_(std::move(onHoverChanged)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);
    setFixedHeight(rowHeight);
    setAccessibleName(process_.processName);
    for (NumericTextCell** cell : {&cpuText_, &memoryText_}) {
        *cell = new NumericTextCell(this);
        (*cell)->setFont(figureFont());
        (*cell)->setColor(SystemColors::withOpacity(SystemColors::secondary(palette()), 0.6));
    }
    cpuText_->setText(process_.cpuString(), false);
    memoryText_->setText(process_.memoryString(), false);
    setClickable(false);
    connect(this, &HoverPressRow::hoveredChanged, this, [this](bool hovered) {
        if (onHoverChanged_) onHoverChanged_(hovered);
    });
}

void ChildProcessRowView::setProcess(const AppProcessInfo& process, MonitorTab tab) {
    const bool drawnChanged = process.processName != process_.processName || process.pid != process_.pid;
    process_ = process;
    tab_ = tab;
    cpuText_->setText(process_.cpuString(), true);
    memoryText_->setText(process_.memoryString(), true);
    if (drawnChanged) {
        placeFigures();
        update();
    }
}

void ChildProcessRowView::placeFigures() {
    const Block b = block(width());
    const double x = b.left + indent + b.nameWidth + pidSpacing + b.pidWidth;
    const QFontMetricsF nm(nameFont()), fm(figureFont());
    const double baseline = (height() + nm.ascent() - nm.descent()) / 2;
    const QRectF line(0, baseline - fm.ascent(), 0, fm.height());
    cpuText_->place(QRectF(x, line.top(), GroupedProcessRowView::cpuColumn, line.height()),
                    Qt::AlignRight | Qt::AlignTop);
    memoryText_->place(QRectF(x + GroupedProcessRowView::cpuColumn, line.top(), GroupedProcessRowView::memoryColumn,
                              line.height()),
                       Qt::AlignRight | Qt::AlignTop);
}

void ChildProcessRowView::resizeEvent(QResizeEvent*) { placeFigures(); }

void ChildProcessRowView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        for (NumericTextCell* cell : {cpuText_, memoryText_})
            cell->setColor(SystemColors::withOpacity(SystemColors::secondary(palette()), 0.6));
    HoverPressRow::changeEvent(event);
}

void ChildProcessRowView::hoverStateChanged(bool) {
    // The hover fill is about to change under the figures.
    cpuText_->backgroundChanged();
    memoryText_->backgroundChanged();
}

void ChildProcessRowView::hoverAmountChanged() {
    cpuText_->backgroundChanged();
    memoryText_->backgroundChanged();
    update();
}

QString ChildProcessRowView::pidText(int32_t pid) { return QStringLiteral("PID ") + QString::number(pid); }

ChildProcessRowView::Block ChildProcessRowView::block(double rowWidth) const {
    const double inner = std::max(0.0, rowWidth - 2 * kPadH);
    Block b;
    b.pidWidth = QFontMetricsF(pidFont()).horizontalAdvance(pidText(process_.pid));
    const double fixed = indent + pidSpacing + b.pidWidth + GroupedProcessRowView::cpuColumn +
                         GroupedProcessRowView::memoryColumn + GroupedProcessRowView::trailingColumn;
    const double natural = QFontMetricsF(nameFont()).horizontalAdvance(OneLine::of(process_.processName));
    b.nameWidth = std::clamp(inner - fixed, 0.0, natural);
    b.left = kPadH + std::max(0.0, (inner - fixed - b.nameWidth) / 2);
    return b;
}

void ChildProcessRowView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF r(rect());
    p.fillPath(ContinuousCorners::roundedRect(r, 6),
               SystemColors::withOpacity(SystemColors::primary(pal), 0.02 + 0.04 * hoverAmount()));

    const Block b = block(r.width());
    double x = b.left + indent;
    // Text on one baseline.
    const QFontMetricsF nm(nameFont());
    const double baseline = (r.height() + nm.ascent() - nm.descent()) / 2;
    p.setFont(nameFont());
    p.setPen(SystemColors::secondary(pal));
    const QString name = OneLine::of(process_.processName);
    p.drawText(QPointF(x, baseline), nm.elidedText(name, Qt::ElideMiddle, b.nameWidth + 0.5));
    x += b.nameWidth + pidSpacing;
    p.setFont(pidFont());
    p.setPen(SystemColors::tertiary(pal));
    p.drawText(QPointF(x, baseline), pidText(process_.pid));
    // The figures are cells of their own (placeFigures).
}
