#include "Views/Monitor/ProcessHierarchyList.h"

#include "Platform/Core/OneLine.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Monitor/ProcessIcon.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

ProcessHierarchyList::ProcessHierarchyList(QWidget* parent) : QWidget(parent) {}

void ProcessHierarchyList::set(std::vector<AppProcessInfo> children, bool memory) {
    std::stable_sort(children.begin(), children.end(),
                     [](const AppProcessInfo& a, const AppProcessInfo& b) { return a.cpuUsage > b.cpuUsage; });
    const bool countChanged = children.size() != children_.size();
    children_ = std::move(children);
    memory_ = memory;
    const double target = double(children_.size()) * rowHeight;
    if (countChanged && filled_)
        height_.animateTo(target, Motion::move());
    else
        height_.setValue(target);
    filled_ = true;
    update();
}

void ProcessHierarchyList::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QFont nameFont = SystemFont::font(11), pidFont = SystemFont::monospaced(9),
                figureFont = SystemFont::monospaced(10);
    const QFontMetricsF nm(nameFont), pm(pidFont), fm(figureFont);
    const int first = std::max(0, event->rect().top() / rowHeight);
    const int last = std::min(int(children_.size()) - 1, event->rect().bottom() / rowHeight);
    for (int i = first; i <= last; ++i) {
        const AppProcessInfo& child = children_[size_t(i)];
        const double top = i * rowHeight;
        if (i >= 1) {
            p.setPen(QPen(SystemColors::withOpacity(SystemColors::tertiary(pal), 0.35), 1));
            p.drawLine(QPointF(0, top + 0.5), QPointF(width(), top + 0.5));
        }
        const double cy = top + rowHeight / 2.0;
        ProcessIcon::paint(p, QRectF(0, cy - 8, 16, 16), child.bundlePath, child.name);
        const QString figure = memory_ ? child.memoryString() : child.cpuString();
        const double figureWidth = fm.horizontalAdvance(figure);
        const double textLeft = 16 + 8, textRight = width() - figureWidth - 6;
        p.setFont(nameFont);
        p.setPen(SystemColors::primary(pal));
        const double block = nm.height() + 1 + pm.height();
        const double y0 = cy - block / 2;
        p.drawText(QRectF(textLeft, y0, std::max(0.0, textRight - textLeft), nm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   nm.elidedText(OneLine::of(child.processName), Qt::ElideMiddle, std::max(0.0, textRight - textLeft)));
        p.setFont(pidFont);
        p.setPen(SystemColors::tertiary(pal));
        p.drawText(QRectF(textLeft, y0 + nm.height() + 1, std::max(0.0, textRight - textLeft), pm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("PID ") + QString::number(child.pid));
        p.setFont(figureFont);
        p.setPen(SystemColors::secondary(pal));
        p.drawText(QRectF(width() - figureWidth - 1, top, figureWidth + 1, rowHeight),
                   Qt::AlignRight | Qt::AlignVCenter, figure);
    }
}
