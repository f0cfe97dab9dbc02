#include "Views/Clipboard/ClipboardHistoryList.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Source/Features/Clipboard/ClipboardPopupModel.h"
#include "Views/Clipboard/ClipboardMenuRow.h"

#include <QPainter>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kTopPadding = ClipboardPopupLayout::listPadding / 2;
constexpr double kWheelStep = 48;  // points per notch of a wheel
}  // namespace

ClipboardHistoryList::ClipboardHistoryList(ClipboardPopupModel& model, QWidget* parent)
    : QWidget(parent), model_(model) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);
    scrollEnd_ = new QTimer(this);
    scrollEnd_->setSingleShot(true);
    scrollEnd_->setInterval(scrollEndDelayMs);
    connect(scrollEnd_, &QTimer::timeout, this, [this] {
        scrolling_ = false;
        model_.reportScrollPhase(false);
    });
    connect(&model_, &ClipboardPopupModel::historySnapshotChanged, this, &ClipboardHistoryList::reload);
    connect(&model_, &ClipboardPopupModel::highlightedItemIDChanged, this,
            &ClipboardHistoryList::updateHighlights);
    connect(&model_, &ClipboardPopupModel::keyboardScrollTargetChanged, this, [this] {
        if (const auto target = model_.keyboardScrollTarget()) scrollRowToCentre(model_.rowOf(*target));
    });
    reload();
}

double ClipboardHistoryList::contentHeight() const {
    return tops_.empty() ? 0 : tops_.back() + kTopPadding;
}

double ClipboardHistoryList::maximumScrollOffset() const { return std::max(0.0, contentHeight() - height()); }

void ClipboardHistoryList::setScrollOffset(double offset) {
    offset = std::clamp(offset, 0.0, maximumScrollOffset());
    if (offset == offset_) return;
    offset_ = offset;
    model_.setScrollViewportMinY(offset_);
    layoutRows();
}

void ClipboardHistoryList::scrollRowToCentre(int row) {
    if (row < 0 || row + 1 >= int(tops_.size())) return;
    const double centre = (tops_[size_t(row)] + tops_[size_t(row) + 1]) / 2;
    setScrollOffset(centre - height() / 2.0);
}

void ClipboardHistoryList::reload() {
    const auto& rows = model_.history();
    tops_.assign(1, kTopPadding);
    tops_.reserve(rows.size() + 1);
    double top = kTopPadding;
    for (const ClipboardItem& item : rows) {
        top += ClipboardPopupLayout::rowHeight(item);
        tops_.push_back(top);
    }
    if (rows.empty()) tops_.clear();
    const double clamped = std::clamp(offset_, 0.0, maximumScrollOffset());
    if (clamped != offset_) {
        offset_ = clamped;
        model_.setScrollViewportMinY(offset_);
    }
    layoutRows();
    update();
}

ClipboardMenuRow* ClipboardHistoryList::makeRow() {
    if (!spare_.isEmpty()) return spare_.takeLast();
    auto* row = new ClipboardMenuRow(ClipboardItem(), 0, false, false, nullptr, nullptr, nullptr, this);
    // The callbacks read the row's current item and index: rows are reused.
    row->setCallbacks([this, row](bool inside) { rowHovered(row, inside); },
                      [this, row] { model_.requestPaste(row->index(), false); },
                      [this, row] { model_.requestPaste(row->index(), true); });
    return row;
}

void ClipboardHistoryList::layoutRows() {
    const auto& rows = model_.history();
    const int count = int(rows.size());
    QHash<QUuid, ClipboardMenuRow*> keep;
    if (count > 0 && height() > 0) {
        const double top = offset_, bottom = offset_ + height();
        // The first row whose end lies below the top of the view.
        auto it = std::upper_bound(tops_.begin() + 1, tops_.end(), top);
        int first = int(it - tops_.begin()) - 1;
        for (int i = std::max(first, 0); i < count && tops_[size_t(i)] < bottom; ++i) {
            const ClipboardItem& item = rows[size_t(i)];
            ClipboardMenuRow* row = shown_.take(item.id);
            if (!row) row = keep.value(item.id, nullptr);
            if (!row) row = makeRow();
            row->setItem(item, i);
            const bool lit = model_.highlightedItemID() == item.id;
            row->setHighlighted(lit);
            row->setHovered(lit);
            row->setGeometry(0, int(std::lround(tops_[size_t(i)] - offset_)), width(),
                             ClipboardMenuRow::heightFor(item));
            row->show();
            keep.insert(item.id, row);
        }
    }
    for (ClipboardMenuRow* row : std::as_const(shown_)) {
        row->hide();
        spare_.append(row);
    }
    shown_ = keep;
}

void ClipboardHistoryList::updateHighlights() {
    const auto lit = model_.highlightedItemID();
    for (auto it = shown_.cbegin(); it != shown_.cend(); ++it) {
        it.value()->setHighlighted(lit == it.key());
        it.value()->setHovered(lit == it.key());
    }
}

void ClipboardHistoryList::rowHovered(ClipboardMenuRow* row, bool inside) {
    if (inside)
        model_.pointerOverItem(row->item().id, row->index());
    else
        model_.pointerLeftItem(row->item().id);
}

QList<ClipboardMenuRow*> ClipboardHistoryList::visibleRows() const {
    QList<ClipboardMenuRow*> rows = shown_.values();
    std::sort(rows.begin(), rows.end(), [](ClipboardMenuRow* a, ClipboardMenuRow* b) { return a->y() < b->y(); });
    return rows;
}

QString ClipboardHistoryList::emptyText() const {
    if (!model_.history().empty()) return {};
    return model_.searchQuery().isEmpty() ? QStringLiteral("История пуста") : QStringLiteral("Ничего не найдено");
}

void ClipboardHistoryList::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (maximumScrollOffset() <= 0) return;
    double delta = 0;
    if (!event->pixelDelta().isNull())
        delta = event->pixelDelta().y();
    else
        delta = event->angleDelta().y() / 120.0 * kWheelStep;
    if (delta == 0) return;
    if (!scrolling_) {
        scrolling_ = true;
        model_.reportScrollPhase(true);
    }
    scrollEnd_->start();
    setScrollOffset(offset_ - delta);
}

void ClipboardHistoryList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const double clamped = std::clamp(offset_, 0.0, maximumScrollOffset());
    if (clamped != offset_) {
        offset_ = clamped;
        model_.setScrollViewportMinY(offset_);
    }
    layoutRows();
}

void ClipboardHistoryList::paintEvent(QPaintEvent*) {
    const QString text = emptyText();
    if (text.isEmpty()) return;
    QPainter p(this);
    p.setFont(SystemFont::font(12));
    p.setPen(SystemColors::tertiary(palette()));
    p.drawText(QRectF(0, kTopPadding, width(), emptyLineHeight), Qt::AlignCenter, text);
}
