#include "Views/DiskPane/DiskCleanupContent.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/DiskCleanScanner.h"
#include "Source/Features/System/VolumeUsageScanner.h"
#include "Views/DiskPane/CleanupItemRow.h"
#include "Views/Shared/ActivitySpinner.h"
#include "Views/DiskPane/VolumeUsageBrowser.h"
#include "Views/Shared/ClearScrollArea.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/NumericTextCell.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

#include <cmath>

namespace {
constexpr double kDividerOpacity = 0.25;
QFont segmentFont() { return SystemFont::font(12); }
QFont categoryFont() { return SystemFont::font(12, QFont::Medium); }
QFont totalFont() { return SystemFont::monospaced(11, QFont::DemiBold); }
}  // namespace

// A segmented control of the two modes.
class DiskCleanupContent::ModePicker : public QWidget {
public:
    ModePicker(DiskPaneModel& model, QWidget* parent) : QWidget(parent), model_(model) {
        setAttribute(Qt::WA_TranslucentBackground);
        setCursor(Qt::PointingHandCursor);
        connect(&model_, &DiskPaneModel::modeChanged, this, qOverload<>(&QWidget::update));
    }
    QRectF segment(int index) const {
        const double w = (width() - 2.0) / 2;
        return QRectF(1 + index * w, 1, w, height() - 2);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        for (int i = 0; i < int(DiskPaneModel::allModes.size()); ++i)
            if (segment(i).contains(event->position())) model_.setMode(DiskPaneModel::allModes[size_t(i)]);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette pal = palette();
        const bool dark = SystemColors::isDark(pal);
        p.setPen(Qt::NoPen);
        p.setBrush(SystemColors::withOpacity(SystemColors::primary(pal), dark ? 0.1 : 0.07));
        p.drawPath(ContinuousCorners::roundedRect(QRectF(rect()), 6));
        int selected = 0;
        for (int i = 0; i < int(DiskPaneModel::allModes.size()); ++i)
            if (DiskPaneModel::allModes[size_t(i)] == model_.mode()) selected = i;
        const QRectF chosen = segment(selected);
        if (!dark) {
            p.setBrush(QColor(0, 0, 0, 22));
            p.drawPath(ContinuousCorners::roundedRect(chosen.translated(0, 0.5), 5));
        }
        p.setBrush(dark ? QColor(255, 255, 255, 56) : QColor(255, 255, 255));
        p.drawPath(ContinuousCorners::roundedRect(chosen, 5));
        p.setFont(segmentFont());
        for (int i = 0; i < int(DiskPaneModel::allModes.size()); ++i) {
            p.setPen(SystemColors::primary(pal));
            p.drawText(segment(i), Qt::AlignCenter, DiskPaneModel::rawValue(DiskPaneModel::allModes[size_t(i)]));
        }
    }

private:
    DiskPaneModel& model_;
};

// A category's row: chevron, symbol, name and the group's total; a click opens or closes it.
class DiskCleanupContent::CategoryRow : public QAbstractButton {
public:
    CategoryRow(CleanupCategory category, QWidget* parent) : QAbstractButton(parent), category_(category) {
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        total_ = new NumericTextCell(this);
        total_->setFont(totalFont());
        setFixedHeight(int(std::ceil(QFontMetricsF(categoryFont()).height())) + 14);
    }
    CleanupCategory category() const { return category_; }
    void setTotal(double bytes, bool animated) {
        total_->setText(CleanupItem::format(bytes), animated);
        placeTotal();
    }
    QString totalText() const { return total_->text(); }
    void setOpen(bool open, bool animated) {
        if (animated && isVisible())
            turn_.animateTo(open ? 90 : 0, Motion::drawer());
        else
            turn_.setValue(open ? 90 : 0);
    }

protected:
    void resizeEvent(QResizeEvent*) override { placeTotal(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette pal = palette();
        const QColor secondary = SystemColors::secondary(pal);
        const QRectF inner = QRectF(rect()).adjusted(4, 7, -4, -7);
        double x = inner.left();
        Symbols::draw(p, QRectF(x, inner.top(), 8, inner.height()), QStringLiteral("chevron.right"), secondary,
                      8 * 1.2, Symbols::Weight::bold, turn_.value());
        x += 8 + 8;
        Symbols::draw(p, QRectF(x, inner.top(), 16, inner.height()), DiskCleanupContent::symbol(category_), secondary,
                      11 * 1.2);
        x += 16 + 8;
        p.setFont(categoryFont());
        p.setPen(SystemColors::primary(pal));
        p.drawText(QRectF(x, inner.top(), total_->geometry().left() - x, inner.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, CleanupCategories::rawValue(category_));
    }

private:
    void placeTotal() {
        const QRectF inner = QRectF(rect()).adjusted(4, 7, -4, -7);
        const double w = std::ceil(QFontMetricsF(totalFont()).horizontalAdvance(total_->text())) + 2;
        total_->place(QRectF(inner.right() - w, inner.top(), w, inner.height()), Qt::AlignRight | Qt::AlignVCenter);
        total_->setColor(SystemColors::primary(palette()));
    }

    CleanupCategory category_;
    NumericTextCell* total_ = nullptr;
    Motion::AnimatedValue turn_{this, 0.0, [this] { update(); }};
};

// The symbol over a line of text, shown while there are no groups.
class DiskCleanupContent::EmptyState : public QWidget {
public:
    explicit EmptyState(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void setText(const QString& text) {
        text_ = text;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QFont font = SystemFont::font(11);
        const double textHeight = QFontMetricsF(font).height();
        const double symbol = 26, total = symbol + 6 + textHeight;
        const double top = (height() - total) / 2;
        Symbols::draw(p, QRectF(0, top, width(), symbol), QStringLiteral("internaldrive"),
                      SystemColors::tertiary(palette()), 22 * 1.2);
        p.setFont(font);
        p.setPen(SystemColors::secondary(palette()));
        p.drawText(QRectF(0, top + symbol + 6, width(), textHeight + 2), Qt::AlignHCenter | Qt::AlignTop, text_);
    }

private:
    QString text_;
};

DiskCleanupContent::DiskCleanupContent(DiskPaneModel& model, DiskCleanScanner& scanner, VolumeUsageScanner& volume,
                                       std::function<void(const CleanupItem&)> onInspect, QWidget* parent)
    : QWidget(parent), model_(model), scanner_(scanner), volume_(volume), onInspect_(std::move(onInspect)) {
    setAttribute(Qt::WA_TranslucentBackground);
    picker_ = new ModePicker(model_, this);
    divider_ = new QWidget(this);
    divider_->setAutoFillBackground(true);

    scroll_ = new ClearScrollArea(this);
    scroll_->setWidgetResizable(true);
    listContent_ = new QWidget;
    listContent_->setAttribute(Qt::WA_TranslucentBackground);
    column_ = new QVBoxLayout(listContent_);
    column_->setContentsMargins(8, 8, 8, 8);
    column_->setSpacing(0);
    scroll_->setContent(listContent_);

    empty_ = new EmptyState(this);
    browser_ = new VolumeUsageBrowser(volume_, model_, this);
    spinner_ = new ActivitySpinner(16, this);

    connect(&model_, &DiskPaneModel::modeChanged, this, &DiskCleanupContent::refresh);
    connect(&model_, &DiskPaneModel::expandedChanged, this, [this] { applyExpansion(true); });
    connect(&scanner_, &DiskCleanScanner::groupsChanged, this, [this] {
        rebuildList();
        refresh();
    });
    connect(&scanner_, &DiskCleanScanner::stateChanged, this, &DiskCleanupContent::refresh);
    rebuildList();
    refresh();
}

QString DiskCleanupContent::symbol(CleanupCategory category) {
    switch (category) {
    case CleanupCategory::applications: return QStringLiteral("square.stack");
    case CleanupCategory::development: return QStringLiteral("hammer");
    case CleanupCategory::system: return QStringLiteral("gearshape");
    case CleanupCategory::custom: return QStringLiteral("folder.badge.gearshape");
    }
    return {};
}

QString DiskCleanupContent::emptyText() const {
    return scanner_.state().phase == DiskCleanScanner::Phase::complete
               ? QStringLiteral("Nothing left to reclaim")
               : QStringLiteral("Run a scan to see what can be freed");
}

QAbstractButton* DiskCleanupContent::categoryRow(CleanupCategory category) const {
    const auto it = categoryRows_.find(category);
    return it == categoryRows_.end() ? nullptr : it->second;
}

QString DiskCleanupContent::categoryTotalText(CleanupCategory category) const {
    const auto it = categoryRows_.find(category);
    return it == categoryRows_.end() ? QString() : it->second->totalText();
}

QList<CleanupItemRow*> DiskCleanupContent::itemRows() const {
    QList<CleanupItemRow*> rows;
    for (const QPointer<CleanupItemRow>& row : itemRows_)
        if (row) rows << row.data();
    return rows;
}

void DiskCleanupContent::refresh() {
    if (model_.mode() == DiskPaneModel::Mode::everything)
        content_ = Content::browser;
    else
        content_ = scanner_.groups().isEmpty() ? Content::empty : Content::list;
    browser_->setVisible(content_ == Content::browser);
    empty_->setVisible(content_ == Content::empty);
    scroll_->setVisible(content_ == Content::list);
    empty_->setText(emptyText());
    spinner_->setVisible(scanner_.state().phase == DiskCleanScanner::Phase::scanning);
    spinner_->raise();
    layoutContent();
}

void DiskCleanupContent::rebuildList() {
    while (column_->count() > 0) delete column_->takeAt(0);
    for (const QPointer<CleanupItemRow>& row : itemRows_) delete row.data();
    itemRows_.clear();
    // Category rows stay across results, so that their totals roll.
    QList<CleanupCategory> present;
    for (const CleanupGroup& group : scanner_.groups()) present << group.category;
    for (auto it = categoryRows_.begin(); it != categoryRows_.end();) {
        if (present.contains(it->first)) {
            ++it;
        } else {
            delete it->second;
            it = categoryRows_.erase(it);
        }
    }
    for (const CleanupGroup& group : scanner_.groups()) {
        CategoryRow*& row = categoryRows_[group.category];
        const bool fresh = !row;
        if (fresh) {
            row = new CategoryRow(group.category, listContent_);
            const CleanupCategory category = group.category;
            connect(row, &QAbstractButton::clicked, this, [this, category] { model_.toggleExpanded(category); });
        }
        row->setTotal(DiskPaneModel::groupTotal(group), !fresh);
        column_->addWidget(row);
        for (const CleanupItem& item : group.items) {
            auto* itemRow = new CleanupItemRow(
                item,
                [this, item] {
                    if (onInspect_)
                        onInspect_(item);
                    else
                        model_.setInspecting(item);
                },
                scanner_, listContent_);
            column_->addWidget(itemRow);
            itemRows_ << itemRow;
        }
    }
    column_->addStretch(1);
    applyExpansion(false);
}

void DiskCleanupContent::applyExpansion(bool animated) {
    for (auto& [category, row] : categoryRows_) row->setOpen(model_.isExpanded(category), animated);
    for (const QPointer<CleanupItemRow>& row : itemRows_)
        if (row) row->setVisible(model_.isExpanded(row->item().category));
}

void DiskCleanupContent::resizeEvent(QResizeEvent*) { layoutContent(); }

void DiskCleanupContent::layoutContent() {
    picker_->setGeometry(pickerPadding, pickerPadding, width() - 2 * pickerPadding, pickerHeight);
    const int dividerTop = pickerHeight + 2 * pickerPadding;
    divider_->setGeometry(0, dividerTop, width(), 1);
    QPalette pal = divider_->palette();
    pal.setColor(QPalette::Window, SystemColors::withOpacity(SystemColors::primary(palette()), 0.12 * kDividerOpacity));
    divider_->setPalette(pal);
    const QRect area(0, dividerTop + 1, width(), height() - dividerTop - 1);
    scroll_->setGeometry(area);
    empty_->setGeometry(area);
    browser_->setGeometry(area);
    const QSize hint = spinner_->sizeHint();
    spinner_->setGeometry(area.center().x() - hint.width() / 2, area.center().y() - hint.height() / 2, hint.width(),
                          hint.height());
}

QWidget* DiskCleanupContent::picker() const { return picker_; }
