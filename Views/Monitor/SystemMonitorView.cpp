#include "Views/Monitor/SystemMonitorView.h"

#include "Platform/Core/RawValues.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/System/MetricArchive.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/ProcessMonitor.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/System/SystemStats.h"
#include "Views/DiskPane/MonitorDiskTab.h"
#include "Views/Monitor/BlurFade.h"
#include "Views/Monitor/MonitorContentFader.h"
#include "Views/Monitor/MonitorTabContent.h"
#include "Views/Monitor/MonitorTabPicker.h"
#include "Views/Monitor/StatsDashboard.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/GlassCardContainer.h"

#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QShortcut>
#include <QTimer>

#include <cmath>

namespace {
constexpr double kHeaderTop = 52;
constexpr double kHeaderHeight = 132;
constexpr double kMidTop = 208;
constexpr double kMidHeight = 38;
constexpr double kBodyTop = 258;
constexpr double kBodyHeight = 378;
constexpr double kStatsHeight = 572;
constexpr double kDropletWidth = 36;
constexpr double kDropletHeight = 18;
constexpr double kBarHeight = 48;

QRectF lerp(const QRectF& a, const QRectF& b, double t) {
    return QRectF(a.x() + (b.x() - a.x()) * t, a.y() + (b.y() - a.y()) * t, a.width() + (b.width() - a.width()) * t,
                  a.height() + (b.height() - a.height()) * t);
}
double lerp(double a, double b, double t) { return a + (b - a) * t; }

}  // namespace

// MARK: enumerations

namespace {
constexpr RawValues::Entry<SystemMonitorView::CardSlot> cardSlots[]{
    {SystemMonitorView::CardSlot::header, "header"},
    {SystemMonitorView::CardSlot::mid, "mid"},
    {SystemMonitorView::CardSlot::body, "body"},
};
}  // namespace

QString SystemMonitorView::rawValue(CardSlot slot) { return RawValues::rawValue(cardSlots, slot); }

SystemMonitorView::SlotGeometry SystemMonitorView::glassRect(CardSlot slot, bool fused, bool statsMode,
                                                             double areaHeight) {
    const double lack = std::max(0.0, contentHeight - areaHeight);
    if (statsMode) {
        switch (slot) {
        case CardSlot::header: return {0, 636 - lack, 0, 24};
        case CardSlot::mid: return {158, 38, 40, 24};
        case CardSlot::body: return {288, 170.1, 70, 24};
        }
    }
    if (fused) return {60, 516 - lack, 0, 24};
    switch (slot) {
    case CardSlot::header: return {0, 196, 0, 24};
    case CardSlot::mid: return {208, 38, 0, 19};
    case CardSlot::body: return {258, 378 - lack, 0, 24};
    }
    return {};
}

double SystemMonitorView::areaHeightFor(double viewHeight) {
    return std::clamp(viewHeight - 2 * padding, leastContentHeight, contentHeight);
}

const Motion::Animation& SystemMonitorView::statsMorph() {
    static const Motion::Animation animation = Motion::Animation::spring(0.45, 1.0);
    return animation;
}

SystemMonitorView::Sources SystemMonitorView::Sources::shared() {
    static const double physical = [] {
        const auto memory = SystemStats::getMemory();
        return memory ? double(memory->total) : 0.0;
    }();
    Sources s;
    s.monitor = &ProcessMonitor::shared();
    s.network = &NetworkMonitor::shared();
    s.sampler = &SystemSampler::shared();
    s.archive = &MetricArchive::shared();
    s.disk = &MonitorDiskTab::shared();
    s.physicalMemory = physical;
    return s;
}

// MARK: construction

SystemMonitorView::SystemMonitorView(MonitorTab initialTab, std::function<void()> onDismiss, QWidget* parent)
    : SystemMonitorView(initialTab, std::move(onDismiss), Sources::shared(), parent) {}

SystemMonitorView::SystemMonitorView(MonitorTab initialTab, std::function<void()> onDismiss, Sources sources,
                                     QWidget* parent)
    : QWidget(parent), sources_(sources), onDismiss_(std::move(onDismiss)) {
    if (!sources_.monitor) sources_.monitor = &ProcessMonitor::shared();
    if (!sources_.network) sources_.network = &NetworkMonitor::shared();
    if (!sources_.sampler) sources_.sampler = &SystemSampler::shared();
    if (!sources_.archive) sources_.archive = &MetricArchive::shared();
    if (!sources_.disk) sources_.disk = &MonitorDiskTab::shared();
    model_ = new MonitorPopupModel(initialTab, *sources_.monitor, *sources_.archive, sources_.physicalMemory, this);
    shownHeaderTab_ = model_->listTab();
    fader_ = new MonitorContentFader(this);
    content_ = std::make_unique<MonitorTabContent>(*model_, *sources_.monitor, *sources_.disk);
    build();
}

SystemMonitorView::~SystemMonitorView() {
    // The content goes before the model it works on.
    delete container_;
}

void SystemMonitorView::build() {
    setAttribute(Qt::WA_TranslucentBackground);
    container_ = new GlassCardContainer(8, this);
    area_ = new QWidget;
    area_->setAttribute(Qt::WA_TranslucentBackground);
    container_->setContent(area_);

    // Glass, back to front: body, mid, header, navigation, action.
    for (CardSlot slot : {CardSlot::body, CardSlot::mid, CardSlot::header}) {
        auto* card = new GlassCard(24, std::nullopt, true, std::nullopt, area_);
        card->setAttribute(Qt::WA_TransparentForMouseEvents);
        cards_[size_t(slot)] = card;
    }
    navGlass_ = new GlassCard(24, std::nullopt, true, std::nullopt, area_);
    actionGlass_ = new GlassCard(24, std::nullopt, true, std::nullopt, area_);
    navGlass_->setAttribute(Qt::WA_TransparentForMouseEvents);
    actionGlass_->setAttribute(Qt::WA_TransparentForMouseEvents);

    picker_ = new MonitorTabPicker(model_->selectedTab(), [this](MonitorTab tab) { model_->selectTab(tab); }, area_);
    picker_->setGeometry(12, 12, 312, MonitorTabPicker::stripHeight);

    listCards_ = new QWidget(area_);
    listCards_->setAttribute(Qt::WA_TranslucentBackground);
    headerHolder_ = new QWidget(listCards_);
    headerHolder_->setGeometry(12, int(kHeaderTop) - 8, 312, int(kHeaderHeight) + 8);
    midHolder_ = new QWidget(listCards_);
    midHolder_->setGeometry(0, int(kMidTop), int(contentWidth), int(kMidHeight));
    bodyHolder_ = new QWidget(listCards_);
    placeForAreaHeight();
    for (QWidget* holder : {headerHolder_, midHolder_, bodyHolder_}) holder->setAttribute(Qt::WA_TranslucentBackground);
    picker_->raise();  // above the list cards' layer, which spans the whole area

    escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape_->setContext(Qt::WindowShortcut);
    connect(escape_, &QShortcut::activated, this, [this] {
        if (!isShowingDetail() && onDismiss_) onDismiss_();
    });

    connect(sources_.disk, &MonitorDiskTab::inspectedItemChanged, this, [this] { navigationChanged(); });
    connect(model_, &MonitorPopupModel::selectedProcessChanged, this, [this] { navigationChanged(); });
    connect(model_, &MonitorPopupModel::selectedTabChanged, this, &SystemMonitorView::tabChanged);

    rebuildListContent(Motion::Animation::linear(0));
    lastStatsMode_ = isStatsMode();
    lastShowingDetail_ = isShowingDetail();
    applyMode(Motion::Animation::linear(0));
}

void SystemMonitorView::resizeEvent(QResizeEvent*) {
    const double area = areaHeightFor(height());
    container_->setGeometry(int(padding), int(padding), std::max(0, width() - int(2 * padding)), int(area));
    if (area != areaHeight_) {
        areaHeight_ = area;
        placeForAreaHeight();
        applyMode(Motion::Animation::linear(0));
    }
    setCardsShape({&glassTo_});
}

void SystemMonitorView::placeForAreaHeight() {
    const double lack = contentHeight - areaHeight_;
    listCards_->setGeometry(0, 0, int(contentWidth), int(areaHeight_));
    const double bodyHeight = kBodyHeight - lack;
    bodyHolder_->setGeometry(0, int(kBodyTop), int(contentWidth), int(bodyHeight));
    bodyHolder_->setMask(QRegion(
        ContinuousCorners::roundedRect(QRectF(0, 0, contentWidth, bodyHeight), 24).toFillPolygon().toPolygon()));
    if (body_) body_->setGeometry(0, 0, bodyHolder_->width(), bodyHolder_->height());
    if (stats_) stats_->setGeometry(12, int(kHeaderTop), 312, int(kStatsHeight - lack));
    const std::array<QRect, 3> frames = detailFrames();
    for (size_t part = 0; part < detail_.size(); ++part)
        if (detail_[part]) detail_[part]->setGeometry(frames[part]);
}

std::array<QRect, 3> SystemMonitorView::detailFrames() const {
    // The navigation bar, the content card and the action bar; the content gives up what the
    // area lacks.
    const int lack = int(contentHeight - areaHeight_);
    return {QRect(0, 0, int(contentWidth), int(kBarHeight)), QRect(12, 72, 312, 492 - lack),
            QRect(0, 588 - lack, int(contentWidth), int(kBarHeight))};
}

// MARK: derived

bool SystemMonitorView::isShowingDetail() const {
    return model_->selectedProcess().has_value() || sources_.disk->inspectedItemID().has_value();
}

QString SystemMonitorView::paneSource() const {
    return model_->listTab() == MonitorTab::disk ? QStringLiteral("disk") : QStringLiteral("process");
}

bool SystemMonitorView::escapeClosesPopup() const { return escape_->isEnabled() && !isShowingDetail(); }

GlassCard* SystemMonitorView::cardGlass(CardSlot slot) const { return cards_[size_t(slot)]; }

QWidget* SystemMonitorView::detailPiece(int part) const {
    return part >= 0 && part < 3 ? detail_[size_t(part)].data() : nullptr;
}

QString SystemMonitorView::detailIdentity() const {
    if (const auto& group = model_->selectedProcess()) return QStringLiteral("detail-") + group->name;
    if (const auto id = sources_.disk->inspectedItemID()) return QStringLiteral("detail-") + *id;
    return {};
}

void SystemMonitorView::tabChanged(MonitorTab tab, MonitorTab previous) {
    const Motion::Animation animation =
        tab == MonitorTab::stats || previous == MonitorTab::stats ? statsMorph() : Motion::move();
    picker_->setSelection(tab);
    if (shownHeaderTab_ != model_->listTab()) rebuildListContent(animation);
    applyMode(animation);
}

void SystemMonitorView::reformNavigation(const std::function<void()>& change) {
    // The change announces itself (a selected process, an inspected item), which reforms the view.
    change();
    navigationChanged();
}

void SystemMonitorView::navigationChanged() {
    // Opening a detail grows the droplets into bars; closing one morphs back.
    if (isShowingDetail() == lastShowingDetail_ && detailIdentity() == shownDetail_) return;
    applyMode(lastShowingDetail_ ? Motion::morph() : Motion::droplet());
}

// MARK: content

void SystemMonitorView::rebuildListContent(const Motion::Animation& animation) {
    const MonitorTab listTab = model_->listTab();
    const bool animated = !(animation.kind == Motion::Animation::Kind::linear && animation.duration <= 0);
    // The header follows the list tab; the middle and body follow the pane source.
    if (!header_ || shownHeaderTab_ != listTab) {
        if (header_) fader_->fadeOutAndDelete(header_, animation);
        header_ = content_->makeHeader(listTab, headerHolder_);
        header_->show();
        shownHeaderTab_ = listTab;
        if (animated) fader_->fadeIn(header_, animation);
    }
    if (!mid_ || !body_ || shownPane_ != paneSource()) {
        if (mid_) fader_->fadeOutAndDelete(mid_, animation);
        if (body_) fader_->fadeOutAndDelete(body_, animation);
        mid_ = content_->makeMiddle(listTab, midHolder_);
        body_ = content_->makeBody(listTab, bodyHolder_);
        mid_->show();
        body_->show();
        shownPane_ = paneSource();
        if (animated) {
            fader_->fadeIn(mid_, animation);
            fader_->fadeIn(body_, animation);
        }
    }
}

// MARK: modes

void SystemMonitorView::applyMode(const Motion::Animation& animation) {
    const bool fused = isFused();
    const bool stats = isStatsMode();
    const bool detail = isShowingDetail();
    const bool instant = animation.duration <= 0 && !animation.isSpring();

    // Glass.
    std::array<GlassFrame, 5> target{};
    const double lack = contentHeight - areaHeight_;
    for (CardSlot slot : {CardSlot::header, CardSlot::mid, CardSlot::body}) {
        const SlotGeometry g = glassRect(slot, fused, stats, areaHeight_);
        // In Stats mode the middle and body cards shrink into the header card; our card surface is
        // translucent, so they fade as they go instead of showing through it.
        const double opacity = stats && slot != CardSlot::header ? 0 : 1;
        target[size_t(slot)] = GlassFrame{QRectF(g.inset, g.top, contentWidth - 2 * g.inset, g.height),
                                          slot == CardSlot::mid && !fused ? 19.0 : 24.0, opacity};
    }
    const double dropletX = (contentWidth - kDropletWidth) / 2;
    target[3] = detail ? GlassFrame{QRectF(0, 0, contentWidth, kBarHeight), 24, 1}
                       : GlassFrame{QRectF(dropletX, 56, kDropletWidth, kDropletHeight), 24, 0};
    target[4] = detail ? GlassFrame{QRectF(0, 588 - lack, contentWidth, kBarHeight), 24, 1}
                       : GlassFrame{QRectF(dropletX, stats ? 156 : 572 - lack, kDropletWidth, kDropletHeight), 24, 0};
    bool glassMoves = false;
    for (size_t i = 0; i < target.size(); ++i)
        glassMoves = glassMoves || target[i].rect != glassTo_[i].rect || target[i].radius != glassTo_[i].radius ||
                     target[i].opacity != glassTo_[i].opacity;
    if (glassMoves || instant) {
        if (glassAnimator_) glassAnimator_->stop();
        glassFrom_ = glassNow_;
        glassTo_ = target;
        if (instant || !isVisible()) {
            placeGlass(1);
            setCardsShape({&glassTo_});
        } else {
            setCardsShape({&glassFrom_, &glassTo_});
            glassAnimator_ = Motion::animate(
                this, animation, [this](double p) { placeGlass(p); }, [this] { setCardsShape({&glassTo_}); });
            if (!glassAnimator_) {
                placeGlass(1);
                setCardsShape({&glassTo_});
            }
        }
    }

    // The tab strip: hidden and inert while a detail is shown.
    picker_->setAttribute(Qt::WA_TransparentForMouseEvents, detail);
    const double pickerTarget = detail ? 0 : 1;
    if (pickerTarget != pickerOpacity_ || instant) {
        if (pickerAnimator_) pickerAnimator_->stop();
        QGraphicsOpacityEffect* effect = MonitorContentFader::opacityEffect(picker_);
        const double from = pickerOpacity_;
        pickerOpacity_ = pickerTarget;
        auto finish = [this] {
            if (pickerOpacity_ >= 1) picker_->setGraphicsEffect(nullptr);
            picker_->setVisible(pickerOpacity_ > 0);
        };
        picker_->setVisible(true);
        if (instant || !isVisible()) {
            effect->setOpacity(pickerTarget);
            finish();
        } else {
            pickerAnimator_ = Motion::animate(
                picker_, animation, [effect, from, pickerTarget](double p) {
                    effect->setOpacity(std::clamp(lerp(from, pickerTarget, p), 0.0, 1.0));
                },
                finish);
            if (!pickerAnimator_) finish();
        }
    }

    // The list cards: blurred and faded in Stats mode, faded under a detail; inert while fused.
    listCards_->setAttribute(Qt::WA_TransparentForMouseEvents, fused);
    {
        const double radius = stats ? 10 : 0, opacity = fused ? 0 : 1;
        const bool statsChanged = stats != lastStatsMode_;
        const Motion::Animation timing = statsChanged ? Motion::Animation::easeOut(stats ? 0.12 : 0.4) : animation;
        BlurFade* effect = qobject_cast<BlurFade*>(listCards_->graphicsEffect());
        const double fromRadius = effect ? effect->radius() : (listCards_->isHidden() ? radius : 0);
        const double fromOpacity = effect ? effect->opacity() : (listCards_->isHidden() ? 0 : 1);
        if (fromRadius != radius || fromOpacity != opacity || instant) {
            if (listAnimator_) listAnimator_->stop();
            if (!effect) {
                effect = new BlurFade(fromRadius, fromOpacity, listCards_);
                listCards_->setGraphicsEffect(effect);
            }
            listEffect_ = effect;
            listCards_->setVisible(true);
            auto finish = [this, opacity] {
                listCards_->setVisible(opacity > 0);
                if (opacity >= 1) listCards_->setGraphicsEffect(nullptr);
            };
            if (instant || !isVisible() || (statsChanged && timing.duration <= 0)) {
                effect->set(radius, opacity);
                finish();
            } else {
                listAnimator_ = Motion::animate(
                    listCards_, timing,
                    [effect, fromRadius, fromOpacity, radius, opacity](double p) {
                        effect->set(lerp(fromRadius, radius, p), std::clamp(lerp(fromOpacity, opacity, p), 0.0, 1.0));
                    },
                    finish);
                if (!listAnimator_) finish();
            }
        }
    }

    // The stats dashboard: blurs in, blurs out.
    if (stats && !stats_) {
        auto* dashboard = new StatsDashboard(*sources_.sampler, area_);
        dashboard->setGeometry(12, int(kHeaderTop), 312, int(kStatsHeight - lack));
        stats_ = dashboard;
        dashboard->show();
        if (!instant && isVisible()) {
            dashboard->setGraphicsEffect(new BlurFade(12, 0, dashboard));
            QPointer<QWidget> target(dashboard);
            fader_->blur(dashboard, 0, 1, Motion::Animation::easeOut(0.42), [target] {
                if (target) target->setGraphicsEffect(nullptr);
            });
        }
    } else if (!stats && stats_) {
        QWidget* leaving = stats_;
        stats_ = nullptr;
        leaving->setEnabled(false);
        leaving->setAttribute(Qt::WA_TransparentForMouseEvents);
        if (instant || !isVisible()) {
            leaving->deleteLater();
        } else {
            QPointer<QWidget> target(leaving);
            fader_->blur(leaving, 10, 0, Motion::Animation::easeOut(0.12), [target] {
                if (target) target->deleteLater();
            });
        }
    }

    syncDetail(instant ? Motion::Animation::linear(0) : animation);
    escape_->setEnabled(!detail);
    lastStatsMode_ = stats;
    lastShowingDetail_ = detail;
}

void SystemMonitorView::setCardsShape(const std::vector<const std::array<GlassFrame, 5>*>& frames) {
    QPainterPath shape;
    shape.setFillRule(Qt::WindingFill);
    QRegion region;
    const QPointF offset(padding, padding);  // where the content area sits in the view
    for (const std::array<GlassFrame, 5>* set : frames) {
        for (const GlassFrame& frame : *set) {
            if (frame.opacity <= 0.001 || frame.rect.isEmpty()) continue;
            const QPainterPath card =
                GlassCard::shape(frame.rect.translated(offset), std::max(0.0, frame.radius), std::nullopt);
            shape.addPath(card);
            // One region per card: overlapping cards joined into one polygon would cancel out.
            region += QRegion(card.toFillPolygon().toPolygon());
        }
    }
    cardsShape_ = shape;
    if (opaqueBacking_) update();
    if (region == cardsRegion_) return;
    cardsRegion_ = region;
    emit cardsRegionChanged();
}

void SystemMonitorView::setOpaqueBacking(bool opaque) {
    if (opaque == opaqueBacking_) return;
    opaqueBacking_ = opaque;
    update();
}

void SystemMonitorView::paintEvent(QPaintEvent*) {
    if (!opaqueBacking_) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(cardsShape_, SystemColors::windowBackground(palette()));
}

void SystemMonitorView::placeGlass(double progress) {
    for (size_t i = 0; i < glassNow_.size(); ++i) {
        GlassFrame& now = glassNow_[i];
        now.rect = lerp(glassFrom_[i].rect, glassTo_[i].rect, progress);
        now.radius = lerp(glassFrom_[i].radius, glassTo_[i].radius, progress);
        now.opacity = std::clamp(lerp(glassFrom_[i].opacity, glassTo_[i].opacity, progress), 0.0, 1.0);
        GlassCard* card = i < 3 ? cards_[i] : (i == 3 ? navGlass_ : actionGlass_);
        QRectF r = now.rect;
        if (r.width() < 0) r.setWidth(0);
        if (r.height() < 0) r.setHeight(0);
        card->setGeometry(r.toAlignedRect());
        card->setCornerRadius(std::max(0.0, now.radius));
        {
            card->setVisible(now.opacity > 0.001);
            if (now.opacity >= 1) {
                card->setGraphicsEffect(nullptr);
            } else if (now.opacity > 0.001) {
                MonitorContentFader::opacityEffect(card)->setOpacity(now.opacity);
            }
        }
    }
}

void SystemMonitorView::syncDetail(const Motion::Animation& animation) {
    const QString identity = detailIdentity();
    if (identity == shownDetail_) return;
    const bool instant = animation.duration <= 0 && !animation.isSpring();
    for (size_t i = 0; i < detail_.size(); ++i) {
        if (!detail_[i]) continue;
        QWidget* old = detail_[i];
        detail_[i] = nullptr;
        if (instant)
            old->deleteLater();
        else
            fader_->fadeOutAndDelete(old, i == 1 ? animation : Motion::Animation::easeOut(0.1));
    }
    shownDetail_ = identity;
    if (identity.isEmpty()) return;

    const std::array<QRect, 3> frames = detailFrames();
    for (int part = 0; part < 3; ++part) {
        MonitorDiskTab* disk = sources_.disk;
        QWidget* piece = content_->makeDetail(
            part, [this, disk] { reformNavigation([disk] { disk->clearInspectedItem(); }); }, area_);
        piece->setObjectName(identity);
        piece->setGeometry(frames[size_t(part)]);
        piece->show();
        detail_[size_t(part)] = piece;
        if (!instant && isVisible()) {
            if (part == 1)
                fader_->fadeIn(piece, animation);
            else
                fader_->fadeIn(piece, Motion::Animation::easeOut(0.2), 0.16);
        }
    }
}
