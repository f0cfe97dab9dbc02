#include "Views/Monitor/ProcessDetailView.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Core/OneLine.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Desktop/Workspace.h"
#include "Platform/Files/SafeFile.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/System/ProcessSignaller.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Source/Features/System/StackSampler.h"
#include "Views/Monitor/MetricChartCard.h"
#include "Views/Monitor/ProcessHierarchyList.h"
#include "Views/Monitor/ProcessIcon.h"
#include "Views/Monitor/ProcessInfoRow.h"
#include "Views/Monitor/ProcessMetricPicker.h"
#include "Views/Monitor/ProcessSampleNotice.h"
#include "Views/Shared/DetailNavigationBar.h"
#include "Views/Shared/GlassActionBar.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/SymbolButton.h"
#include "Views/Shared/UnshownNote.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QThreadPool>
#include <QVBoxLayout>

#include <algorithm>
#include <csignal>

namespace {

QLabel* makeLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(font);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, color);
    label->setPalette(pal);
    return label;
}

}  // namespace

ProcessDetailView::ProcessDetailView(GroupedProcessInfo group, Part part, std::function<void()> onBack,
                                     QWidget* parent)
    : ProcessDetailView(std::move(group), part, std::move(onBack), ProcessMonitor::shared(), parent) {}

ProcessDetailView::ProcessDetailView(GroupedProcessInfo group, Part part, std::function<void()> onBack,
                                     ProcessMonitor& monitor, QWidget* parent)
    : QWidget(parent), group_(std::move(group)), part_(part), onBack_(std::move(onBack)), monitor_(&monitor) {
    setAttribute(Qt::WA_TranslucentBackground);
    switch (part_) {
    case Part::navigation: buildNavigation(); break;
    case Part::actions: buildActions(); break;
    case Part::main: buildMain(); break;
    }
}

ProcessDetailView::~ProcessDetailView() = default;

// MARK: derived

std::optional<GroupedProcessInfo> ProcessDetailView::live() const {
    if (!monitor_) return std::nullopt;
    for (const GroupedProcessInfo& g : monitor_->groupedProcesses())
        if (g.name == group_.name) return g;
    return std::nullopt;
}

GroupedProcessInfo ProcessDetailView::current() const { return live().value_or(group_); }

std::optional<AppProcessInfo> ProcessDetailView::primary(const GroupedProcessInfo& group) {
    const AppProcessInfo* best = nullptr;
    for (const AppProcessInfo& child : group.children)
        if (!best || child.memoryBytes > best->memoryBytes) best = &child;
    if (!best) return std::nullopt;
    return *best;
}

QString ProcessDetailView::label(DetailMetric metric) {
    return metric == DetailMetric::cpu ? QStringLiteral("CPU") : QStringLiteral("Memory");
}

const std::vector<double>& ProcessDetailView::chartSeries() const {
    return metric_ == DetailMetric::memory ? memoryHistory_ : cpuHistory_;
}

void ProcessDetailView::appendSample(const GroupedProcessInfo& group, const QDateTime& at) {
    cpuHistory_.push_back(group.totalCPU);
    memoryHistory_.push_back(double(group.totalMemory));
    sampleDates_.push_back(at);
    if (cpuHistory_.size() > historyLength) {
        const auto drop = ptrdiff_t(cpuHistory_.size() - historyLength);
        cpuHistory_.erase(cpuHistory_.begin(), cpuHistory_.begin() + drop);
        memoryHistory_.erase(memoryHistory_.begin(), memoryHistory_.begin() + drop);
        sampleDates_.erase(sampleDates_.begin(), sampleDates_.begin() + drop);
    }
    if (chart_) chart_->setSeries(chartSeries(), sampleDates_, std::nullopt);
}

// MARK: texts

QString ProcessDetailView::subtitle(const std::optional<AppProcessInfo>& primary) {
    if (primary && primary->bundleID && !primary->bundleID->isEmpty()) return *primary->bundleID;
    return QStringLiteral("Unix process");
}

QString ProcessDetailView::quitTitle(QuitStyle style) {
    return style == QuitStyle::force ? QStringLiteral("Force Quit") : QStringLiteral("Quit");
}

QString ProcessDetailView::quitMessage(QuitStyle style, const QString& groupName) {
    return quitTitle(style) + QLatin1Char(' ') + groupName + QLatin1Char('?');
}

QString ProcessDetailView::quitInformative(QuitStyle style, int count) {
    QString text = style == QuitStyle::force ? QStringLiteral("The process is killed immediately. Unsaved work is lost.")
                                             : QStringLiteral("The process is asked to exit and can save its work first.");
    if (count >= 2) text += QStringLiteral(" All ") + QString::number(count) + QStringLiteral(" processes in this group are affected.");
    return text;
}

QString ProcessDetailView::runningText(size_t count) {
    return QString::asprintf("%lld", static_cast<long long>(count)) + QStringLiteral(" running");
}

QString ProcessDetailView::sampleMenuTitle(bool samplerAvailable) {
    return samplerAvailable ? QStringLiteral("Sample for 3s…")
                            : QStringLiteral("Sample for 3s… (needs eu-stack from elfutils)");
}

std::vector<int64_t> ProcessDetailView::quitTargets(const std::optional<GroupedProcessInfo>& live) {
    std::vector<int64_t> pids;
    if (!live) return pids;
    for (const AppProcessInfo& child : live->children)
        if (ProcessSignaller::isSignallable(child.pid)) pids.push_back(child.pid);
    return pids;
}

// MARK: pieces

void ProcessDetailView::buildNavigation() {
    auto* more = new SymbolButton(QStringLiteral("ellipsis"), 13, QFont::DemiBold);
    more->setFixedSize(32, 32);
    more->setColor(SystemColors::primary(palette()));
    more->setToolTip(QStringLiteral("More actions"));
    more->setAccessibleName(QStringLiteral("More actions"));
    more->setCursor(Qt::PointingHandCursor);

    menu_ = new QMenu(this);
    copyPID_ = menu_->addAction(QStringLiteral("Copy PID"), this, [this] { copyPID(); });
    copyName_ = menu_->addAction(QStringLiteral("Copy Name"), this, [this] { copyName(); });
    reveal_ = menu_->addAction(QStringLiteral("Reveal in Finder"), this, [this] { revealInFileManager(); });
    menu_->addSeparator();
    sample_ = menu_->addAction(sampleMenuTitle(true), this, [this] { sampleProcess(); });
    connect(menu_, &QMenu::aboutToShow, this, [this] { updateMenu(); });
    connect(more, &QAbstractButton::clicked, this, [this, more] {
        updateMenu();
        menu_->popup(more->mapToGlobal(QPoint(more->width() - menu_->sizeHint().width(), more->height())));
    });
    updateMenu();

    auto* bar =
        new DetailNavigationBar(OneLine::of(group_.name), QStringLiteral("Back to all processes"), onBack_, more, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
}

void ProcessDetailView::updateMenu() {
    if (!menu_) return;
    const GroupedProcessInfo now = current();
    const bool hasPrimary = primary(now).has_value();
    copyPID_->setEnabled(hasPrimary);
    copyName_->setEnabled(true);
    reveal_->setEnabled(now.bundlePath.has_value() && !now.bundlePath->isEmpty());
    const bool available = StackSampler::isAvailable();
    sample_->setText(sampleMenuTitle(available));
    sample_->setEnabled(hasPrimary && available);
}

void ProcessDetailView::buildActions() {
    auto* force = new QPushButton(quitTitle(QuitStyle::force));
    auto* normal = new QPushButton(quitTitle(QuitStyle::normal));
    QPalette destructive = force->palette();
    destructive.setColor(QPalette::ButtonText, SystemColors::red());
    force->setPalette(destructive);
    force->setCursor(Qt::PointingHandCursor);
    normal->setCursor(Qt::PointingHandCursor);
    connect(force, &QPushButton::clicked, this, [this] { presentQuitConfirmation(QuitStyle::force); });
    connect(normal, &QPushButton::clicked, this, [this] { presentQuitConfirmation(QuitStyle::normal); });
    auto* bar = new GlassActionBar(force, normal, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar);
}

void ProcessDetailView::buildMain() {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    picker_ = new ProcessMetricPicker(this, this);
    column->addWidget(picker_, 0, Qt::AlignHCenter);

    chartHolder_ = new QWidget(this);
    chartHolder_->setFixedHeight(112 + MetricChartCard::overhang);
    chartHolder_->installEventFilter(this);
    column->addSpacing(-MetricChartCard::overhang);
    column->addWidget(chartHolder_);
    rebuildChart(false);

    // Identity.
    auto* identity = new QWidget(this);
    auto* identityColumn = new QVBoxLayout(identity);
    identityColumn->setContentsMargins(2, 0, 2, 0);
    identityColumn->setSpacing(10);
    auto* head = new QHBoxLayout;
    head->setSpacing(10);
    head->addWidget(new ProcessIcon(group_.bundlePath, group_.name, 38, identity), 0, Qt::AlignVCenter);
    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    auto* title = makeLabel(OneLine::of(group_.name), SystemFont::font(13, QFont::DemiBold),
                            SystemColors::primary(palette()), identity);
    title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    names->addWidget(title);
    subtitle_ = makeLabel(QString(), SystemFont::monospaced(10), SystemColors::secondary(palette()), identity);
    subtitle_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    names->addWidget(subtitle_);
    head->addLayout(names, 1);
    auto* figures = new QVBoxLayout;
    figures->setSpacing(2);
    figure_ = makeLabel(QString(), SystemFont::monospaced(13, QFont::DemiBold), SystemColors::primary(palette()), identity);
    figure_->setAlignment(Qt::AlignRight);
    figures->addWidget(figure_, 0, Qt::AlignRight);
    auto* now = makeLabel(QStringLiteral("now"), SystemFont::font(9), SystemColors::tertiary(palette()), identity);
    figures->addWidget(now, 0, Qt::AlignRight);
    head->addLayout(figures);
    identityColumn->addLayout(head);

    auto infoRow = [&](const QString& label, const QString& value, bool copyable) {
        identityColumn->addLayout(ProcessInfoRow::make(label, value, copyable, identity));
    };
    const std::optional<AppProcessInfo> first = primary();
    if (first) {
        if (const std::optional<QString> started = first->startedAtString()) infoRow(QStringLiteral("Started at"), *started, false);
    }
    if (group_.bundlePath && !group_.bundlePath->isEmpty()) infoRow(QStringLiteral("Bundle path"), *group_.bundlePath, true);
    column->addWidget(identity);

    // Process hierarchy.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(2, 0, 2, 0);
    header->addWidget(makeLabel(QStringLiteral("Process hierarchy"), SystemFont::font(10, QFont::Medium),
                                SystemColors::tertiary(palette()), this));
    header->addStretch(1);
    running_ = makeLabel(QString(), SystemFont::monospaced(9), SystemColors::tertiary(palette()), this);
    header->addWidget(running_);
    column->addSpacing(-4);  // the hierarchy's own spacing is 6
    column->addLayout(header);
    auto* scroll = new QScrollArea(this);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    auto* list = new ProcessHierarchyList(scroll);
    scroll->setWidget(list);
    scroll->setContentsMargins(2, 0, 2, 0);
    hierarchy_ = list;
    column->addSpacing(-4);
    column->addWidget(scroll, 1);

    // Sampling: every list the monitor publishes.
    if (monitor_) {
        connect(monitor_, &ProcessMonitor::groupedProcessesChanged, this,
                [this](const std::vector<GroupedProcessInfo>& groups) {
                    for (const GroupedProcessInfo& g : groups) {
                        if (g.name != group_.name) continue;
                        appendSample(g, Clock::shared().now());
                        break;
                    }
                    refreshFigures();
                });
    }
    refreshFigures();
}

void ProcessDetailView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (part_ == Part::main && !sampledOnAppearance_) {
        sampledOnAppearance_ = true;
        if (cpuHistory_.empty()) appendSample(current(), Clock::shared().now());
    }
}

bool ProcessDetailView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == chartHolder_ && event->type() == QEvent::Resize) {
        for (MetricChartCard* card : chartHolder_->findChildren<MetricChartCard*>(Qt::FindDirectChildrenOnly))
            card->setGeometry(0, 0, chartHolder_->width(), chartHolder_->height());
    }
    return QWidget::eventFilter(watched, event);
}

void ProcessDetailView::setMetric(DetailMetric metric) {
    if (metric == metric_) return;
    metric_ = metric;
    if (picker_) picker_->update();
    if (part_ == Part::main) {
        rebuildChart(true);
        refreshFigures();
    }
}

void ProcessDetailView::rebuildChart(bool animated) {
    if (!chartHolder_) return;
    MetricChartCard::Model model;
    model.series = chartSeries();
    model.timestamps = sampleDates_;
    model.tint = SystemColors::blue();
    model.kind = metric_ == DetailMetric::memory ? MetricChartKind::bytes : MetricChartKind::percent;
    model.height = 112;
    model.barCount = int(historyLength);
    model.barGap = 1;
    // A new chart for a new metric: its hover and pin start empty.
    MetricChartCard* old = chart_;
    chart_ = new MetricChartCard(model, std::nullopt, chartHolder_);
    chart_->setGeometry(0, 0, chartHolder_->width(), chartHolder_->height());
    chart_->show();
    if (old) {
        if (!animated || !isVisible()) {
            old->deleteLater();
        } else {
            auto* fadeOut = new QGraphicsOpacityEffect(old);
            old->setGraphicsEffect(fadeOut);
            old->setAttribute(Qt::WA_TransparentForMouseEvents);
            auto* fadeIn = new QGraphicsOpacityEffect(chart_);
            fadeIn->setOpacity(0);
            chart_->setGraphicsEffect(fadeIn);
            QPointer<MetricChartCard> incoming(chart_), outgoing(old);
            Motion::Animator* a = Motion::animate(
                chart_, Motion::state(),
                [fadeIn, fadeOut](double p) {
                    fadeIn->setOpacity(std::clamp(p, 0.0, 1.0));
                    fadeOut->setOpacity(std::clamp(1 - p, 0.0, 1.0));
                },
                [incoming, outgoing] {
                    if (incoming) incoming->setGraphicsEffect(nullptr);
                    if (outgoing) outgoing->deleteLater();
                });
            if (!a) {
                chart_->setGraphicsEffect(nullptr);
                old->deleteLater();
            }
        }
    }
}

void ProcessDetailView::refreshFigures() {
    if (part_ != Part::main) return;
    const GroupedProcessInfo now = current();
    subtitle_->setText(subtitle(primary(now)));
    figure_->setText(metric_ == DetailMetric::memory ? now.memoryString() : now.cpuString());
    running_->setText(runningText(now.children.size()));
    static_cast<ProcessHierarchyList*>(hierarchy_)->set(now.children, metric_ == DetailMetric::memory);
    if (chart_ && chartHolder_) chart_->setGeometry(0, 0, chartHolder_->width(), chartHolder_->height());
}

// MARK: actions

void ProcessDetailView::copyPID() {
    const std::optional<AppProcessInfo> first = primary();
    if (!first) return;
    PasteboardItem item;
    item.setString(QString::number(first->pid));
    Pasteboard::general().clearContents();
    Pasteboard::general().writeObjects({item});
}

void ProcessDetailView::copyName() {
    PasteboardItem item;
    item.setString(current().name);
    Pasteboard::general().clearContents();
    Pasteboard::general().writeObjects({item});
}

void ProcessDetailView::revealInFileManager() {
    const GroupedProcessInfo now = current();
    if (!now.bundlePath || now.bundlePath->isEmpty()) return;
    QPointer<ProcessDetailView> self(this);
    const QString path = *now.bundlePath;
    Workspace::shared().revealFile(path, [self, path](bool shown) {
        if (self && !shown) UnshownNote::showPath(self, QStringLiteral("Reveal in Finder"), path);
    });
}

void ProcessDetailView::sampleProcess() {
    const GroupedProcessInfo now = current();
    const std::optional<AppProcessInfo> first = primary(now);
    if (!first) return;
    const QString tool = StackSampler::toolPath();
    const QString folder = StackSampler::reportFolder();
    if (tool.isEmpty() || folder.isEmpty()) {
        presentSampleResult(QString(), false, false);
        emit sampleFinished(QString(), false);
        return;
    }
    const QString path = folder + QLatin1Char('/') + StackSampler::fileName(now.name, Clock::shared().now());
    const int64_t pid = first->pid;
    const QString processName = first->processName;
    QPointer<ProcessDetailView> self(this);
    QThreadPool::globalInstance()->start(
        [pid, processName, path, tool, self] {
            const bool ok = StackSampler::sample(pid, processName, StackSampler::sampleSeconds, path, tool);
            Dispatch::main([self, path, ok] {
                const bool exists = ok && SafeFile::isRegular(path);
                if (self) {
                    self->finishSample(path, exists);
                } else if (exists) {
                    Workspace::shared().revealFile(path);
                }
            });
        },
        QThread::HighPriority);
}

void ProcessDetailView::finishSample(const QString& path, bool succeeded) {
    if (succeeded) {
        QPointer<ProcessDetailView> self(this);
        Workspace::shared().revealFile(path, [self, path](bool shown) {
            if (self) self->presentSampleResult(path, true, shown);
        });
    } else {
        presentSampleResult(path, false, false);
    }
    emit sampleFinished(path, succeeded);
}

void ProcessDetailView::presentSampleResult(const QString& path, bool succeeded, bool shown) {
    if (succeeded && shown) return;
    if (sampleNotice_) sampleNotice_->close();
    sampleNotice_ = ProcessSampleNotice::open(path, succeeded, window());
}

void ProcessDetailView::presentQuitConfirmation(QuitStyle style) {
    const GroupedProcessInfo now = current();
    const QString title = quitTitle(style);
    QMessageBox alert(style == QuitStyle::force ? QMessageBox::Critical : QMessageBox::Warning, title,
                      quitMessage(style, OneLine::of(group_.name)), QMessageBox::NoButton, window());
    alert.setWindowModality(Qt::ApplicationModal);
    alert.setInformativeText(quitInformative(style, now.count));
    QPushButton* confirm = alert.addButton(title, QMessageBox::DestructiveRole);
    QPushButton* cancel = alert.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    alert.setDefaultButton(confirm);
    alert.setEscapeButton(cancel);
    QPointer<ProcessDetailView> self(this);
    alert.exec();
    if (self && alert.clickedButton() == confirm) quit(style);
}

void ProcessDetailView::quit(QuitStyle style) {
    const int signal = style == QuitStyle::force ? SIGKILL : SIGTERM;
    for (int64_t pid : quitTargets(live())) {
        ProcessSignaller::shared().send(pid, signal);
        if (ProcessMonitor* m = monitor_) {
            QPointer<ProcessMonitor> weak(m);
            Dispatch::mainAfter(0.5, m, [weak] {
                if (weak) weak->scheduleProcessRefresh();
            });
        }
    }
    if (onBack_) onBack_();
}
