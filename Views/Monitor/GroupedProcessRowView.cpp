#include "Views/Monitor/GroupedProcessRowView.h"

#include "Platform/Core/OneLine.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Views/Monitor/ProcessIcon.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/SymbolButton.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>

#include <cmath>

namespace {
constexpr double kPadH = 6;
constexpr uint64_t kGiB = 1073741824ULL;
}  // namespace

GroupedProcessRowView::GroupedProcessRowView(GroupedProcessInfo process, MonitorTab tab, bool isExpanded,
                                             std::function<void()> onToggle, std::function<void()> onSelect,
                                             std::function<void(bool)> onHoverChanged, QWidget* parent)
    : HoverPressRow(Hover::followsPointer, Fade::animated, parent), process_(std::move(process)), tab_(tab),
      isExpanded_(isExpanded), onToggle_(std::move(onToggle)), onSelect_(std::move(onSelect)),
      onHoverChanged_(std::move(onHoverChanged)),
      chevronTurn_(this, 0.0, [this] { expand_->setRotation(chevronTurn_.value()); }) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);
    setFixedHeight(rowHeight);
    setAccessibleName(process_.name);
    expand_ = new SymbolButton(QStringLiteral("chevron.right"), 8, QFont::Bold, this);
    expand_->setColor(SystemColors::withOpacity(SystemColors::secondary(palette()), 0.7));
    expand_->setCursor(Qt::PointingHandCursor);
    connect(expand_, &QAbstractButton::clicked, this, [this] {
        if (onToggle_) onToggle_();
    });
    expand_->setVisible(process_.count >= 2);
    turnChevron(false);
    for (NumericTextCell** cell : {&cpuText_, &memoryText_}) {
        *cell = new NumericTextCell(this);
        (*cell)->setFont(SystemFont::monospaced(11));
    }
    cpuText_->setText(process_.cpuString(), false);
    memoryText_->setText(process_.memoryString(), false);
    colourFigures();
    connect(this, &HoverPressRow::hoveredChanged, this, [this](bool hovered) {
        if (onHoverChanged_) onHoverChanged_(hovered);
    });
    connect(this, &HoverPressRow::clicked, this, [this] {
        if (onSelect_) onSelect_();
    });
}

void GroupedProcessRowView::setProcess(const GroupedProcessInfo& process, MonitorTab tab, bool isExpanded) {
    const bool expandChanged = isExpanded != isExpanded_;
    const bool drawnChanged =
        process.name != process_.name || process.count != process_.count || process.bundlePath != process_.bundlePath;
    process_ = process;
    tab_ = tab;
    isExpanded_ = isExpanded;
    expand_->setVisible(process_.count >= 2);
    if (expandChanged) turnChevron(true);
    cpuText_->setText(process_.cpuString(), true);
    memoryText_->setText(process_.memoryString(), true);
    colourFigures();
    if (drawnChanged) update();
}

void GroupedProcessRowView::showGroup(GroupedProcessInfo process, MonitorTab tab, bool isExpanded,
                                      std::function<void()> onToggle, std::function<void()> onSelect,
                                      std::function<void(bool)> onHoverChanged) {
    process_ = std::move(process);
    tab_ = tab;
    isExpanded_ = isExpanded;
    onToggle_ = std::move(onToggle);
    onSelect_ = std::move(onSelect);
    onHoverChanged_ = std::move(onHoverChanged);
    setAccessibleName(process_.name);
    resetHovered(false);
    expand_->setVisible(process_.count >= 2);
    turnChevron(false);
    cpuText_->setText(process_.cpuString(), false);
    memoryText_->setText(process_.memoryString(), false);
    colourFigures();
    update();
}

void GroupedProcessRowView::colourFigures() {
    cpuText_->setColor(cpuColor(process_.totalCPU, tab_, palette()));
    memoryText_->setColor(memColor(process_.totalMemory, tab_, palette()));
}

void GroupedProcessRowView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange) colourFigures();
    HoverPressRow::changeEvent(event);
}

void GroupedProcessRowView::hoverStateChanged(bool) {
    // The hover fill is about to change under the figures.
    cpuText_->backgroundChanged();
    memoryText_->backgroundChanged();
}

void GroupedProcessRowView::hoverAmountChanged() {
    cpuText_->backgroundChanged();
    memoryText_->backgroundChanged();
    update();
}

void GroupedProcessRowView::turnChevron(bool animated) {
    expand_->setAccessibleName(isExpanded_ ? QStringLiteral("Collapse children") : QStringLiteral("Expand children"));
    const double target = isExpanded_ ? 90 : 0;
    if (animated && isVisible())
        chevronTurn_.animateTo(target);
    else
        chevronTurn_.setValue(target);
}

GroupedProcessRowView::Load GroupedProcessRowView::cpuLoad(double totalCPU, MonitorTab tab) {
    if (tab != MonitorTab::cpu) return Load::muted;
    if (totalCPU > 50) return Load::high;
    if (totalCPU > 20) return Load::raised;
    return Load::normal;
}

GroupedProcessRowView::Load GroupedProcessRowView::memLoad(uint64_t totalMemory, MonitorTab tab) {
    if (tab != MonitorTab::memory) return Load::muted;
    if (totalMemory > 2 * kGiB) return Load::high;
    if (totalMemory > kGiB) return Load::raised;
    return Load::normal;
}

QColor GroupedProcessRowView::color(Load load, const QPalette& palette) {
    const bool dark = SystemColors::isDark(palette);
    switch (load) {
    case Load::high: return SystemColors::red(dark);
    case Load::raised: return SystemColors::orange(dark);
    case Load::normal: return SystemColors::secondary(palette);
    case Load::muted: return SystemColors::withOpacity(SystemColors::secondary(palette), 0.7);
    }
    return SystemColors::secondary(palette);
}

QColor GroupedProcessRowView::cpuColor(double totalCPU, MonitorTab tab, const QPalette& palette) {
    return color(cpuLoad(totalCPU, tab), palette);
}

QColor GroupedProcessRowView::memColor(uint64_t totalMemory, MonitorTab tab, const QPalette& palette) {
    return color(memLoad(totalMemory, tab), palette);
}

QString GroupedProcessRowView::badgeText(int count) {
    return count >= 2 ? QStringLiteral("+") + QString::number(count - 1) : QString();
}

void GroupedProcessRowView::resizeEvent(QResizeEvent*) {
    expand_->setGeometry(int(kPadH), (rowHeight - 20) / 2, int(expandColumn), 20);
    const double memoryLeft = width() - kPadH - trailingColumn - memoryColumn;
    const double cpuLeft = memoryLeft - cpuColumn;
    cpuText_->place(QRectF(cpuLeft, 0, cpuColumn, height()), Qt::AlignVCenter | Qt::AlignRight);
    memoryText_->place(QRectF(memoryLeft, 0, memoryColumn, height()), Qt::AlignVCenter | Qt::AlignRight);
}

void GroupedProcessRowView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    const QRectF r(rect());
    if (hoverAmount() > 0)
        p.fillPath(ContinuousCorners::roundedRect(r, 6),
                   SystemColors::withOpacity(SystemColors::primary(pal), 0.07 * hoverAmount()));

    const double x = kPadH + expandColumn;
    const double right = r.width() - kPadH;
    const double memoryLeft = right - trailingColumn - memoryColumn;
    const double cpuLeft = memoryLeft - cpuColumn;
    // A rolling figure takes its picture of the row beside the name: the name is then neither laid
    // out nor drawn.
    if (event->region().intersects(QRectF(x, 0, cpuLeft - x, r.height()).toAlignedRect())) paintName(p, x, cpuLeft);

    // The figures are cells of their own.

    if (hoverAmount() > 0) {
        p.setOpacity(hoverAmount());
        Symbols::draw(p, QRectF(right - trailingColumn, 0, trailingColumn, r.height()), QStringLiteral("chevron.right"),
                      SystemColors::tertiary(pal), 8 * 1.2, Symbols::Weight::semibold);
    }
}

void GroupedProcessRowView::paintName(QPainter& p, double x, double cpuLeft) const {
    const QPalette& pal = palette();
    const double height = this->height();
    const double cy = height / 2;
    ProcessIcon::paint(p, QRectF(x, cy - iconSide / 2, iconSide, iconSide), process_.bundlePath, process_.name);
    x += iconSide + iconSpacing;

    // The name, and the badge of further processes.
    const QString badge = badgeText(process_.count);
    const QFont badgeFont = SystemFont::monospaced(9, QFont::Medium);
    double badgeWidth = 0;
    if (!badge.isEmpty()) badgeWidth = QFontMetricsF(badgeFont).horizontalAdvance(badge) + 8;
    const QFont nameFont = SystemFont::font(11.5);
    const QFontMetricsF nameMetrics(nameFont);
    const double nameRoom = std::max(0.0, cpuLeft - x - (badge.isEmpty() ? 0 : badgeWidth + 5));
    const QString name = nameMetrics.elidedText(OneLine::of(process_.name), Qt::ElideRight, nameRoom);
    p.setFont(nameFont);
    p.setPen(SystemColors::primary(pal));
    p.drawText(QRectF(x, 0, nameRoom, height), Qt::AlignVCenter | Qt::AlignLeft, name);
    if (!badge.isEmpty()) {
        const double bx = x + nameMetrics.horizontalAdvance(name) + 5;
        const double bh = QFontMetricsF(badgeFont).height() + 2;
        const QRectF capsule(bx, cy - bh / 2, badgeWidth, bh);
        p.fillPath(ContinuousCorners::capsule(capsule), SystemColors::quaternary(pal));
        p.setFont(badgeFont);
        p.setPen(SystemColors::secondary(pal));
        p.drawText(capsule, Qt::AlignCenter, badge);
    }
}
