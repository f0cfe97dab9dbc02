#pragma once

#include "Source/Features/System/MonitorPopupModel.h"
#include "Source/Features/System/MonitorTab.h"
#include "Views/Shared/Motion.h"

#include <QHash>
#include <QPainterPath>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class BlurFade;
class GlassCard;
class GlassCardContainer;
class MetricArchive;
class MonitorContentFader;
class MonitorDiskTab;
class MonitorTabContent;
class MonitorTabPicker;
class NetworkMonitor;
class ProcessMonitor;
class QShortcut;
class SystemSampler;

// The monitor popup's root view: a tab strip over three glass cards (a header with the chart
// well or the disk capacity, a narrow middle card with the search row or the disk scan buttons,
// a body with the process well or the cleanup list). The Stats tab fuses the cards into one
// that holds the stats dashboard; a process detail or a cleanup detail replaces them with a
// navigation bar, one content card and an action bar. The popup's state lives in its model (which
// the view makes and owns); the view turns the model's changes into layout and animation.
class SystemMonitorView : public QWidget {
    Q_OBJECT
public:
    enum class CardSlot { header, mid, body };
    static QString rawValue(CardSlot slot);                            // "header", "mid", "body"
    struct SlotGeometry {
        double top = 0;
        double height = 0;
        double inset = 0;         // horizontal inset on each side
        double cornerRadius = 24;
        bool operator==(const SlotGeometry&) const = default;
    };
    static constexpr double contentWidth = 336;
    static constexpr double contentHeight = 636;
    static constexpr double padding = 12;
    // The least content height: the header and middle cards whole and a few rows of the body.
    static constexpr double leastContentHeight = 380;

    // A slot's place inside the content area for a mode, the area 636 points high. A lower area
    // (a screen too low for the popup) keeps every card whole: the cards that scroll (the body,
    // the fused card, the Stats card) give up the height it lacks.
    static SlotGeometry glassRect(CardSlot slot, bool fused, bool statsMode, double areaHeight = contentHeight);
    // The content height of a view `viewHeight` high: 636 where it fits, never below the least.
    static double areaHeightFor(double viewHeight);
    double areaHeight() const { return areaHeight_; }

    // Where the view's data comes from.
    struct Sources {
        ProcessMonitor* monitor = nullptr;
        NetworkMonitor* network = nullptr;
        SystemSampler* sampler = nullptr;
        MetricArchive* archive = nullptr;
        MonitorDiskTab* disk = nullptr;
        double physicalMemory = 0;  // bytes
        static Sources shared();
    };

    SystemMonitorView(MonitorTab initialTab, std::function<void()> onDismiss, QWidget* parent = nullptr);
    SystemMonitorView(MonitorTab initialTab, std::function<void()> onDismiss, Sources sources,
                      QWidget* parent = nullptr);
    ~SystemMonitorView() override;

    const Sources& sources() const { return sources_; }
    MonitorPopupModel& model() const { return *model_; }

    // Runs the change inside the animation that moves between list and detail: Motion.morph when
    // a detail is shown now (the change closes it), Motion.droplet otherwise.
    void reformNavigation(const std::function<void()>& change);

    // Derived.
    bool isShowingDetail() const;
    bool isFused() const { return isShowingDetail() || model_->selectedTab() == MonitorTab::stats; }
    bool isStatsMode() const { return model_->selectedTab() == MonitorTab::stats && !isShowingDetail(); }
    QString paneSource() const;
    static const Motion::Animation& statsMorph();

    // What is on screen now (tests).
    MonitorTabPicker* tabPicker() const { return picker_; }
    QWidget* headerContent() const { return header_; }
    QWidget* midContent() const { return mid_; }
    QWidget* bodyContent() const { return body_; }
    QWidget* statsContent() const { return stats_; }
    QWidget* detailPiece(int part) const;  // 0 navigation, 1 main, 2 actions
    GlassCard* cardGlass(CardSlot slot) const;
    GlassCard* navigationGlass() const { return navGlass_; }
    GlassCard* actionGlass() const { return actionGlass_; }
    QWidget* listCards() const { return listCards_; }
    bool escapeClosesPopup() const;

    // Without a compositor the window cannot show the desktop through its glass: the view then
    // paints the window colour under its cards, and the window is cut to cardsRegion(). While
    // the cards move, the region holds where they come from and where they go.
    void setOpaqueBacking(bool opaque);
    bool opaqueBacking() const { return opaqueBacking_; }
    QRegion cardsRegion() const { return cardsRegion_; }

signals:
    void cardsRegionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void build();
    void tabChanged(MonitorTab tab, MonitorTab previous);
    void rebuildListContent(const Motion::Animation& animation);
    void applyMode(const Motion::Animation& animation);
    void placeGlass(double progress);
    void syncDetail(const Motion::Animation& animation);
    QString detailIdentity() const;
    void navigationChanged();

    Sources sources_;
    std::function<void()> onDismiss_;
    MonitorPopupModel* model_ = nullptr;
    MonitorContentFader* fader_ = nullptr;
    std::unique_ptr<MonitorTabContent> content_;

    // Widgets.
    GlassCardContainer* container_ = nullptr;
    QWidget* area_ = nullptr;
    std::array<GlassCard*, 3> cards_{};
    GlassCard* navGlass_ = nullptr;
    GlassCard* actionGlass_ = nullptr;
    MonitorTabPicker* picker_ = nullptr;
    QWidget* listCards_ = nullptr;
    BlurFade* listEffect_ = nullptr;
    QPointer<QWidget> header_, mid_, body_, stats_;
    QWidget* headerHolder_ = nullptr;
    QWidget* midHolder_ = nullptr;
    QWidget* bodyHolder_ = nullptr;
    std::array<QPointer<QWidget>, 3> detail_{};
    QString shownDetail_;
    QString shownPane_;
    MonitorTab shownHeaderTab_;
    QShortcut* escape_ = nullptr;

    // Glass geometry: where each surface was when the running transition began, and where it goes.
    struct GlassFrame {
        QRectF rect;
        double radius = 24;
        double opacity = 1;
    };
    std::array<GlassFrame, 5> glassFrom_{}, glassTo_{}, glassNow_{};
    // The cards' shapes in the given frames (those not fully transparent), in view coordinates.
    void setCardsShape(const std::vector<const std::array<GlassFrame, 5>*>& frames);
    // Places the holders and pieces whose height follows the content height.
    void placeForAreaHeight();
    std::array<QRect, 3> detailFrames() const;
    double areaHeight_ = contentHeight;
    QPointer<Motion::Animator> glassAnimator_;
    QPointer<Motion::Animator> listAnimator_;
    QPointer<Motion::Animator> pickerAnimator_;
    bool lastStatsMode_ = false;
    bool lastShowingDetail_ = false;
    double pickerOpacity_ = 1;
    bool opaqueBacking_ = false;
    QPainterPath cardsShape_;
    QRegion cardsRegion_;
};
