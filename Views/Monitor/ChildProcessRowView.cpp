#include "Views/Monitor/ChildProcessRowView.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Monitor/GroupedProcessRowView.h"
#include "Views/Shared/ContinuousCorners.h"

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
    cpuText_.setText(this, process_.cpuString(), false);
    memoryText_.setText(this, process_.memoryString(), false);
    setClickable(false);
    connect(this, &HoverPressRow::hoveredChanged, this, [this](bool hovered) {
        if (onHoverChanged_) onHoverChanged_(hovered);
    });
}

void ChildProcessRowView::setProcess(const AppProcessInfo& process, MonitorTab tab) {
    process_ = process;
    tab_ = tab;
    cpuText_.setText(this, process_.cpuString(), true);
    memoryText_.setText(this, process_.memoryString(), true);
    update();
}

QString ChildProcessRowView::pidText(int32_t pid) { return QStringLiteral("PID ") + QString::number(pid); }

ChildProcessRowView::Block ChildProcessRowView::block(double rowWidth) const {
    const double inner = std::max(0.0, rowWidth - 2 * kPadH);
    Block b;
    b.pidWidth = QFontMetricsF(pidFont()).horizontalAdvance(pidText(process_.pid));
    const double fixed = indent + pidSpacing + b.pidWidth + GroupedProcessRowView::cpuColumn +
                         GroupedProcessRowView::memoryColumn + GroupedProcessRowView::trailingColumn;
    const double natural = QFontMetricsF(nameFont()).horizontalAdvance(process_.processName);
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
    p.drawText(QPointF(x, baseline), nm.elidedText(process_.processName, Qt::ElideMiddle, b.nameWidth + 0.5));
    x += b.nameWidth + pidSpacing;
    p.setFont(pidFont());
    p.setPen(SystemColors::tertiary(pal));
    p.drawText(QPointF(x, baseline), pidText(process_.pid));
    x += b.pidWidth;

    p.setFont(figureFont());
    const QColor figures = SystemColors::withOpacity(SystemColors::secondary(pal), 0.6);
    const QFontMetricsF fm(figureFont());
    const QRectF line(0, baseline - fm.ascent(), 0, fm.height());
    cpuText_.paint(p, QRectF(x, line.top(), GroupedProcessRowView::cpuColumn, line.height()),
                   Qt::AlignRight | Qt::AlignTop, figures);
    x += GroupedProcessRowView::cpuColumn;
    memoryText_.paint(p, QRectF(x, line.top(), GroupedProcessRowView::memoryColumn, line.height()),
                      Qt::AlignRight | Qt::AlignTop, figures);
}
