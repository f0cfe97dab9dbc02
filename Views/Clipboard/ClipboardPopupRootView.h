#pragma once

#include <QList>
#include <QPainterPath>
#include <QPointer>
#include <QWidget>

class BlinkingCaret;
class ClipboardCompositeState;
class ClipboardFooterRow;
class ClipboardHistoryList;
class ClipboardManager;
class ClipboardPopupModel;
class GlassCard;
class PinnedMenuRow;
class QGraphicsOpacityEffect;
class SymbolButton;
namespace Motion {
class Animator;
}

// The clipboard popup's main column: the pinned card (while there are pins), the main card with
// the search line over the history list, and the footer of commands, 16 in from the edges and
// 12 apart, standing at the bottom of the column when the popup opened upward and at its top
// otherwise; the pin-limit notice floats over them. The views only draw what the popup's model,
// its layout state and the store publish, and hand every click and hover to the model.
class ClipboardPopupRootView : public QWidget {
    Q_OBJECT
public:
    static constexpr double inset = 16;
    static constexpr double cardSpacing = 12;
    static constexpr double cardCornerRadius = 16;
    static constexpr double noticeDrop = 12;  // how far the notice falls as it fades in
    static constexpr double noticeHeight = 32;

    ClipboardPopupRootView(ClipboardPopupModel& model, ClipboardCompositeState& layout, QWidget* parent = nullptr);

    GlassCard* pinnedCard() const { return pinnedCard_; }
    GlassCard* mainCard() const { return mainCard_; }
    GlassCard* footerCard() const { return footerCard_; }
    ClipboardHistoryList* historyList() const { return list_; }
    QWidget* searchField() const;
    QList<PinnedMenuRow*> pinnedRows() const { return pinnedRows_; }
    QList<ClipboardFooterRow*> footerRows() const { return footerRows_; }
    QWidget* pinLimitNotice() const;
    bool isPinnedCardShown() const;

    // The search line's texts as drawn (tests).
    QString searchText() const;
    QString matchCountText() const;
    SymbolButton* clearSearchButton() const { return clearButton_; }
    BlinkingCaret* caret() const { return caret_; }

    // The cards and the notice as drawn, in this view's coordinates.
    QPainterPath drawnShape() const;

signals:
    void drawnShapeChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class SearchLine;
    class FooterStack;
    class PinLimitNoticeView;

    void relayout();
    void rebuildPinnedRows();
    void updatePinnedHover();
    void columnChanged();
    void noticeChanged();
    void searchChanged();

    ClipboardPopupModel& model_;
    ClipboardManager& clipboard_;
    ClipboardCompositeState& layout_;

    GlassCard* pinnedCard_ = nullptr;
    QWidget* pinnedStack_ = nullptr;
    QGraphicsOpacityEffect* pinnedOpacity_ = nullptr;
    GlassCard* mainCard_ = nullptr;
    SearchLine* search_ = nullptr;
    BlinkingCaret* caret_ = nullptr;
    SymbolButton* clearButton_ = nullptr;
    ClipboardHistoryList* list_ = nullptr;
    GlassCard* footerCard_ = nullptr;
    PinLimitNoticeView* notice_ = nullptr;
    QGraphicsOpacityEffect* noticeOpacity_ = nullptr;
    QList<PinnedMenuRow*> pinnedRows_;
    QList<ClipboardFooterRow*> footerRows_;

    // Values as drawn now; they follow the layout state, animated when it changes inside an
    // animation.
    double shownShelf_ = 0;
    double shownGap_ = 0;
    double shownList_ = 0;
    double pinnedAlpha_ = 0;
    double noticeProgress_ = 0;
    QPointer<Motion::Animator> columnAnimator_;
    QPointer<Motion::Animator> noticeAnimator_;
};
