#include "Views/Monitor/ProcessWell.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/System/MonitorPopupModel.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Views/Monitor/ChildProcessRowView.h"
#include "Views/Monitor/GroupedProcessRowView.h"
#include "Views/Monitor/ProcessPlaceholderRow.h"
#include "Views/Shared/Motion.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QSequentialAnimationGroup>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kListPadding = 6;
constexpr double kSpacing = 1;
constexpr double kOverscan = 120;
constexpr size_t kSpareRows = 24;

// "Measuring usage…" with a small spinner.
class LoadingHeader : public QWidget {
public:
    explicit LoadingHeader(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TranslucentBackground);
        setFixedHeight(32);
        spin_.setStartValue(0.0);
        spin_.setEndValue(360.0);
        spin_.setDuration(900);
        spin_.setLoopCount(-1);
        connect(&spin_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
            angle_ = v.toDouble();
            update();
        });
    }

protected:
    void showEvent(QShowEvent*) override { spin_.start(); }
    void hideEvent(QHideEvent*) override { spin_.stop(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QString text = QStringLiteral("Measuring usage…");
        const QFont font = SystemFont::font(11, QFont::Medium);
        const double textWidth = QFontMetricsF(font).horizontalAdvance(text);
        const double side = 12, total = side + 6 + textWidth;
        const double x = (width() - total) / 2, cy = height() / 2.0;
        const QColor color = SystemColors::secondary(palette());
        QPen pen(SystemColors::withOpacity(color, 0.25), 2);
        p.setPen(pen);
        const QRectF ring(x + 1, cy - side / 2 + 1, side - 2, side - 2);
        p.drawEllipse(ring);
        pen.setColor(color);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        p.drawArc(ring, int(-angle_ * 16), 100 * 16);
        p.setFont(font);
        p.setPen(color);
        p.drawText(QRectF(x + side + 6, 0, textWidth + 2, height()), Qt::AlignVCenter | Qt::AlignLeft, text);
    }

private:
    QVariantAnimation spin_;
    double angle_ = 0;
};

// The magnifying glass over "No matching processes".
class NoMatches : public QWidget {
public:
    explicit NoMatches(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor color = SystemColors::secondary(palette());
        const QFont font = SystemFont::font(12);
        const double textHeight = QFontMetricsF(font).height();
        const double glass = 26, total = glass + 8 + textHeight;
        const double top = (height() - total) / 2;
        Symbols::draw(p, QRectF(0, top, width(), glass), QStringLiteral("magnifyingglass"), color, 22 * 1.2);
        p.setFont(font);
        p.setPen(color);
        p.drawText(QRectF(0, top + glass + 8, width(), textHeight), Qt::AlignCenter,
                   QStringLiteral("No matching processes"));
    }
};

}  // namespace

ProcessWell::ProcessWell(MonitorPopupModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_Hover);

    scroll_ = new ClearScrollArea(this);
    scroll_->setWidgetResizable(false);
    content_ = new QWidget;
    content_->setAttribute(Qt::WA_TranslucentBackground);
    scroll_->setContent(content_);
    connect(scroll_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!restoringScroll_) model_.setProcessScrollOffset(value);
        layoutRows();
    });

    noMatches_ = new NoMatches(this);
    noMatches_->hide();

    loading_ = new QWidget(this);
    loading_->setAttribute(Qt::WA_TranslucentBackground);
    loading_->setAccessibleName(QStringLiteral("Measuring usage"));
    auto* column = new QVBoxLayout(loading_);
    column->setContentsMargins(6, 2, 6, 0);
    column->setSpacing(1);
    column->addWidget(new LoadingHeader(loading_));
    const QStringList names = placeholderNames();
    for (int i = 0; i < placeholderCount; ++i) {
        auto* row = new ProcessPlaceholderRow(names[i % names.size()], loading_);
        placeholders_.push_back(row);
        column->addWidget(row);
    }
    column->addStretch(1);

    ProcessMonitor& monitor = model_.monitor();
    connect(&monitor, &ProcessMonitor::groupedProcessesChanged, this, [this] { scheduleRefresh(); });
    connect(&monitor, &ProcessMonitor::hasUsableCPUChanged, this, [this] { scheduleRefresh(); });
    for (auto signal : {&MonitorPopupModel::expandedGroupsChanged, &MonitorPopupModel::frozenOrderChanged,
                        &MonitorPopupModel::selectedHistoryTimestampChanged})
        connect(&model_, signal, this, [this] { scheduleRefresh(); });
    connect(&model_, &MonitorPopupModel::selectedTabChanged, this, [this] { scheduleRefresh(); });
    connect(&model_, &MonitorPopupModel::searchTextChanged, this, [this] { scheduleRefresh(); });
    connect(&model_, &MonitorPopupModel::pointerInListChanged, this, [this] { scheduleRefresh(); });

    loadingState_ = model_.isLoading();
    loadingOpacity_ = loadingState_ ? 1 : 0;
    loading_->setVisible(loadingState_);
    setSkeletonPulse(loadingState_);
    rebuildItems();
}

ProcessWell::~ProcessWell() = default;

QStringList ProcessWell::placeholderNames() {
    return {QStringLiteral("Application name"), QStringLiteral("Helper"),        QStringLiteral("Background service"),
            QStringLiteral("Agent"),            QStringLiteral("Window server"), QStringLiteral("Renderer process")};
}

// MARK: state

QStringList ProcessWell::displayedNames() const {
    QStringList names;
    names.reserve(qsizetype(displayed_.size()));
    for (const GroupedProcessInfo& g : displayed_) names << g.name;
    return names;
}

GroupedProcessRowView* ProcessWell::groupRow(const QString& name) const {
    return static_cast<GroupedProcessRowView*>(rows_.value(QStringLiteral("g:") + name));
}

ChildProcessRowView* ProcessWell::childRow(int32_t pid) const {
    return static_cast<ChildProcessRowView*>(rows_.value(QStringLiteral("c:") + QString::number(pid)));
}

int ProcessWell::contentHeight() const { return content_->height(); }

void ProcessWell::scheduleRefresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { refreshNow(); }, Qt::QueuedConnection);
}

void ProcessWell::refreshNow() {
    refreshQueued_ = false;
    setLoading(model_.isLoading());
    rebuildItems();
}

void ProcessWell::setLoading(bool loading) {
    if (loading == loadingState_) return;
    loadingState_ = loading;
    setSkeletonPulse(loading);
    if (loadingFade_) loadingFade_->stop();
    if (!loading) {
        // The rows take its place at once: fading out, it would lie over them.
        loadingOpacity_ = 0;
        loading_->setGraphicsEffect(nullptr);
        loading_->setVisible(false);
        return;
    }
    const double from = loadingOpacity_, to = loading ? 1.0 : 0.0;
    auto* fade = qobject_cast<QGraphicsOpacityEffect*>(loading_->graphicsEffect());
    if (!fade) {
        fade = new QGraphicsOpacityEffect(loading_);
        loading_->setGraphicsEffect(fade);
    }
    fade->setOpacity(from);
    loading_->setVisible(true);
    loading_->raise();
    loadingFade_ = Motion::animate(
        this, Motion::Animation::easeOut(0.25),
        [this, from, to, fade](double p) {
            loadingOpacity_ = from + (to - from) * p;
            fade->setOpacity(loadingOpacity_);
        },
        [this, loading] {
            loading_->setGraphicsEffect(nullptr);
            loading_->setVisible(loading);
        });
    if (!loadingFade_) {
        loadingOpacity_ = to;
        loading_->setGraphicsEffect(nullptr);
        loading_->setVisible(loading);
    }
}

void ProcessWell::setSkeletonPulse(bool pulse) {
    skeletonPulse_ = pulse;
    if (pulse_) pulse_->deleteLater();
    pulse_ = nullptr;
    auto apply = [this](double value) {
        pulseValue_ = value;
        for (QWidget* w : placeholders_) static_cast<ProcessPlaceholderRow*>(w)->setContentOpacity(value);
    };
    const double from = pulseValue_;
    if (pulse) {
        // Towards 0.45 and back in 0.9 s steps, eased in and out, until the pulse stops.
        auto* group = new QSequentialAnimationGroup(this);
        for (auto [a, b] : {std::pair{from, 0.45}, std::pair{0.45, from}}) {
            auto* half = new QVariantAnimation(group);
            half->setStartValue(a);
            half->setEndValue(b);
            half->setDuration(900);
            half->setEasingCurve(Motion::easingCurve(Motion::Animation::Kind::easeInOut));
            connect(half, &QVariantAnimation::valueChanged, this, [apply](const QVariant& v) { apply(v.toDouble()); });
            group->addAnimation(half);
        }
        group->setLoopCount(-1);
        group->start(QAbstractAnimation::DeleteWhenStopped);
        pulse_ = group;
    } else {
        auto* settle = new QVariantAnimation(this);
        settle->setStartValue(from);
        settle->setEndValue(1.0);
        settle->setDuration(200);
        settle->setEasingCurve(Motion::easingCurve(Motion::Animation::Kind::easeOut));
        connect(settle, &QVariantAnimation::valueChanged, this, [apply](const QVariant& v) { apply(v.toDouble()); });
        settle->start(QAbstractAnimation::DeleteWhenStopped);
        pulse_ = settle;
    }
}

// MARK: list

void ProcessWell::rebuildItems() {
    const MonitorTab tab = model_.selectedTab();
    displayed_ = model_.displayedProcesses();
    const QSet<QString>& expanded = model_.expandedGroups();
    children_.assign(displayed_.size(), {});
    items_.clear();
    double y = kListPadding;
    for (size_t g = 0; g < displayed_.size(); ++g) {
        const GroupedProcessInfo& group = displayed_[g];
        if (!items_.empty()) y += kSpacing;
        items_.push_back(Item{true, int(g), -1, QStringLiteral("g:") + group.name, y,
                              double(GroupedProcessRowView::rowHeight)});
        y += GroupedProcessRowView::rowHeight;
        if (group.count >= 2 && expanded.contains(group.name)) {
            children_[g] = MonitorPopupModel::sortedChildren(group.children, tab);
            for (size_t c = 0; c < children_[g].size(); ++c) {
                y += kSpacing;
                items_.push_back(Item{false, int(g), int(c),
                                      QStringLiteral("c:") + QString::number(children_[g][c].pid), y,
                                      double(ChildProcessRowView::rowHeight)});
                y += ChildProcessRowView::rowHeight;
            }
        }
    }
    y += kListPadding;
    const bool loading = loadingState_;
    const bool empty = !loading && displayed_.empty();
    noMatches_->setVisible(empty);
    scroll_->setVisible(!loading && !empty);
    content_->resize(std::max(1, width()), int(std::ceil(y)));
    // The range now, not when the scroll area next hears of the resize: a new list restores its
    // offset before it is first shown.
    scroll_->verticalScrollBar()->setRange(0, std::max(0, content_->height() - height()));
    restoreScroll();
    layoutRows();
}

void ProcessWell::restoreScroll() {
    if (!restoringScroll_ || loadingState_ || displayed_.empty() || height() <= 0) return;
    QScrollBar* bar = scroll_->verticalScrollBar();
    bar->setValue(std::min(model_.processScrollOffset(), bar->maximum()));
    restoringScroll_ = false;
}

void ProcessWell::layoutRows() {
    const MonitorTab tab = model_.selectedTab();
    const int top = scroll_->verticalScrollBar()->value();
    const double from = top - kOverscan, to = top + height() + kOverscan;
    const double rowWidth = std::max(0.0, content_->width() - 2 * kListPadding);
    const QSet<QString>& expanded = model_.expandedGroups();
    QHash<QString, QWidget*> keep;
    if (!loadingState_) {
        auto first = std::lower_bound(items_.begin(), items_.end(), from,
                                      [](const Item& item, double y) { return item.y + item.height < y; });
        for (auto it = first; it != items_.end() && it->y <= to; ++it) {
            const Item& item = *it;
            const QRect frame = QRectF(kListPadding, item.y, rowWidth, item.height).toRect();
            QWidget* row = rows_.take(item.key);
            // A row kept moves first: its figures roll only where they can be seen now.
            if (row) row->setGeometry(frame);
            if (item.isGroup) {
                const GroupedProcessInfo& group = displayed_[size_t(item.group)];
                const bool isExpanded = expanded.contains(group.name);
                if (row) {
                    static_cast<GroupedProcessRowView*>(row)->setProcess(group, tab, isExpanded);
                } else {
                    const QString name = group.name;
                    auto onToggle = [this, name] { model_.toggleExpanded(name); };
                    auto onSelect = [this, name] {
                        for (const GroupedProcessInfo& g : displayed_) {
                            if (g.name != name) continue;
                            model_.chooseGroup(g);
                            return;
                        }
                    };
                    auto onHover = [this, name](bool hovering) { groupHoverChanged(name, hovering); };
                    if (!spareRows_.empty()) {
                        auto* spare = spareRows_.back();
                        spareRows_.pop_back();
                        spare->showGroup(group, tab, isExpanded, onToggle, onSelect, onHover);
                        row = spare;
                    } else {
                        row = new GroupedProcessRowView(group, tab, isExpanded, onToggle, onSelect, onHover, content_);
                    }
                    row->setGeometry(frame);
                    row->show();
                }
            } else {
                const AppProcessInfo& process = children_[size_t(item.group)][size_t(item.child)];
                if (row) {
                    static_cast<ChildProcessRowView*>(row)->setProcess(process, tab);
                } else {
                    const int32_t pid = process.pid;
                    row = new ChildProcessRowView(
                        process, tab,
                        [this, pid](bool hovering) {
                            if (!hovering) {
                                model_.childHoverChanged({}, false);
                                return;
                            }
                            if (ChildProcessRowView* r = childRow(pid)) model_.childHoverChanged(r->process(), true);
                        },
                        content_);
                    row->setGeometry(frame);
                    row->show();
                }
            }
            keep.insert(item.key, row);
        }
    }
    // Hidden now: a figure rolling in a row that moved over one must not take it into its picture.
    for (auto it = rows_.cbegin(); it != rows_.cend(); ++it) {
        QWidget* stale = it.value();
        stale->hide();
        if (it.key().startsWith(QLatin1String("g:")) && spareRows_.size() < kSpareRows)
            spareRows_.push_back(static_cast<GroupedProcessRowView*>(stale));
        else
            stale->deleteLater();
    }
    rows_ = std::move(keep);
}

void ProcessWell::groupHoverChanged(const QString& name, bool hovering) {
    for (const GroupedProcessInfo& g : displayed_) {
        if (g.name == name) {
            model_.groupHoverChanged(g, hovering, displayedNames());
            return;
        }
    }
    if (!hovering) model_.setChartHighlightValue(std::nullopt);
}

// MARK: events

void ProcessWell::enterEvent(QEnterEvent* event) {
    model_.setPointerInList(true);
    QWidget::enterEvent(event);
}

void ProcessWell::leaveEvent(QEvent* event) {
    model_.setPointerInList(false);
    QWidget::leaveEvent(event);
}

void ProcessWell::resizeEvent(QResizeEvent*) {
    scroll_->setGeometry(rect());
    noMatches_->setGeometry(rect());
    loading_->setGeometry(rect());
    content_->resize(std::max(1, width()), content_->height());
    scroll_->verticalScrollBar()->setRange(0, std::max(0, content_->height() - height()));
    restoreScroll();
    layoutRows();
}
