#include "Views/Clipboard/ClipboardPopupRootView.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "Source/Features/Clipboard/ClipboardPopupModel.h"
#include "Views/Clipboard/BlinkingCaret.h"
#include "Views/Clipboard/ClipboardCompositeState.h"
#include "Views/Clipboard/ClipboardFooterRow.h"
#include "Views/Clipboard/ClipboardHistoryList.h"
#include "Views/Clipboard/PinnedMenuRow.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/SymbolButton.h"

#include <QFontMetricsF>
#include <QGraphicsOpacityEffect>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace L = ClipboardPopupLayout;

namespace {
const QString kPlaceholder = QStringLiteral("Начните печатать");
const QString kNoticeText = QStringLiteral("Можно закрепить не больше 5 элементов");

QFont noticeFont() { return SystemFont::font(12, QFont::Medium); }
}  // namespace

// --- The search line --------------------------------------------------------------------------

// The magnifying glass, the query (or the placeholder) with the caret after it, and while a
// query is typed the number of matches and the clear button.
class ClipboardPopupRootView::SearchLine : public QWidget {
public:
    SearchLine(ClipboardPopupModel& model, QWidget* parent) : QWidget(parent), model_(model) {
        setAttribute(Qt::WA_TranslucentBackground);
        caret = new BlinkingCaret(this);
        clear = new SymbolButton(QStringLiteral("xmark.circle.fill"), 11);
        clear->setParent(this);
        clear->setFixedSize(16, 16);
        clear->setToolTip(QStringLiteral("Очистить поиск"));
        clear->setAccessibleName(QStringLiteral("Очистить поиск"));
        clear->setCursor(Qt::ArrowCursor);
        QObject::connect(clear, &QAbstractButton::clicked, this, [this] { model_.setSearchQuery(QString()); });
        chrome = model_.searchQuery().isEmpty() ? 0 : 1;
        relayout();
    }

    BlinkingCaret* caret = nullptr;
    SymbolButton* clear = nullptr;
    double chrome = 0;  // 0: empty query, 1: count and clear button shown (animated)
    QPointer<Motion::Animator> animator;

    QString shownText() const {
        return model_.searchQuery().isEmpty() ? kPlaceholder : model_.searchQuery();
    }
    QString countText() const {
        if (model_.searchQuery().isEmpty()) return {};
        return QString::asprintf("%lld", (long long)model_.history().size());
    }

    void queryChanged() {
        const double target = model_.searchQuery().isEmpty() ? 0 : 1;
        if (target != targetChrome_) {
            targetChrome_ = target;
            if (animator) animator->stop();
            const double from = chrome;
            animator = Motion::animate(this, Motion::state(), [this, from, target](double p) {
                chrome = from + (target - from) * p;
                relayout();
            });
        }
        relayout();
    }

    void relayout() {
        const double shown = std::clamp(chrome, 0.0, 1.0);
        const bool hasQuery = !model_.searchQuery().isEmpty();
        clear->setVisible(hasQuery || shown > 0.01);
        clear->setContentOpacity(shown);
        clear->move(int(width() - kMargin - clear->width()), (height() - clear->height()) / 2);
        const QRectF text = textRect();
        caret->move(int(std::lround(text.left() + textWidth() + 2)), int((height() - caret->height()) / 2.0));
        update();
    }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        relayout();
    }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        const double cy = height() / 2.0;
        Symbols::draw(p, QRectF(kMargin, cy - 7, 14, 14), QStringLiteral("magnifyingglass"), SystemColors::secondary(pal),
                      11 * 1.2, Symbols::Weight::medium);
        const QRectF text = textRect();
        p.setFont(SystemFont::font(12));
        if (model_.searchQuery().isEmpty()) {
            p.setPen(SystemColors::tertiary(pal));
            p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, elided());
        } else {
            p.setPen(SystemColors::primary(pal));
            p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, elided());
            const QString count = countText();
            p.setFont(SystemFont::monospacedDigits(10, QFont::Medium));
            p.setPen(SystemColors::withOpacity(SystemColors::tertiary(pal), std::clamp(chrome, 0.0, 1.0)));
            const double countWidth = QFontMetricsF(p.font()).horizontalAdvance(count);
            p.drawText(QRectF(clear->x() - kSpacing - countWidth - 1, 0, countWidth + 2, height()),
                       Qt::AlignVCenter | Qt::AlignRight, count);
        }
    }

private:
    static constexpr double kMargin = 16;
    static constexpr double kSpacing = 7;

    // Room for the query: after the glass, before the caret, the spacer and the count.
    QRectF textRect() const {
        const double left = kMargin + 14 + kSpacing;
        double right = width() - kMargin;
        if (!model_.searchQuery().isEmpty()) {
            const double count = QFontMetricsF(SystemFont::monospacedDigits(10, QFont::Medium)).horizontalAdvance(countText());
            right -= clear->width() + kSpacing + count + kSpacing;
        }
        right -= 6 + kSpacing + 2 + BlinkingCaret::barWidth;  // spacer, caret
        return QRectF(left, 0, std::max(0.0, right - left), height());
    }
    QString elided() const {
        const QFontMetricsF fm(SystemFont::font(12));
        return fm.elidedText(shownText(), model_.searchQuery().isEmpty() ? Qt::ElideRight : Qt::ElideLeft,
                             textRect().width());
    }
    double textWidth() const { return QFontMetricsF(SystemFont::font(12)).horizontalAdvance(elided()); }

    ClipboardPopupModel& model_;
    double targetChrome_ = -1;
};

// --- The footer -------------------------------------------------------------------------------

// The footer's rows; the pointer coming in counts as leaving the list.
class ClipboardPopupRootView::FooterStack : public QWidget {
public:
    FooterStack(ClipboardPopupModel& model, QWidget* parent) : QWidget(parent), model_(model) {
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void enterEvent(QEnterEvent* event) override {
        QWidget::enterEvent(event);
        model_.pointerOffList();
    }
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        int y = 6;
        for (QObject* child : children()) {
            auto* row = qobject_cast<ClipboardFooterRow*>(child);
            if (!row) continue;
            row->setGeometry(0, y, width(), ClipboardFooterRow::rowHeight);
            y += ClipboardFooterRow::rowHeight;
        }
    }

private:
    ClipboardPopupModel& model_;
};

// --- The pin-limit notice ---------------------------------------------------------------------

class ClipboardPopupRootView::PinLimitNoticeView : public QWidget {
public:
    explicit PinLimitNoticeView(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_TranslucentBackground);
        const QFontMetricsF fm(noticeFont());
        const double width = 13 + 14 + 6 + fm.horizontalAdvance(kNoticeText) + 13;
        setFixedSize(int(std::ceil(width)), int(noticeHeight));
    }
    QString text() const { return kNoticeText; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        const QPainterPath capsule = ContinuousCorners::capsule(QRectF(rect()));
        p.fillPath(capsule, SystemColors::withOpacity(pal.color(QPalette::Base), 0.96));
        p.strokePath(ContinuousCorners::capsule(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5)),
                     QPen(SystemColors::withOpacity(SystemColors::primary(pal), 0.14), 1));
        const double cy = height() / 2.0;
        Symbols::draw(p, QRectF(13, cy - 7, 14, 14), QStringLiteral("pin.fill"), SystemColors::primary(pal), 12 * 1.2,
                      Symbols::Weight::medium);
        p.setFont(noticeFont());
        p.setPen(SystemColors::primary(pal));
        p.drawText(QRectF(13 + 14 + 6, 0, width() - 13 - 14 - 6 - 13, height()), Qt::AlignVCenter | Qt::AlignLeft,
                   kNoticeText);
    }
};

// --- The column -------------------------------------------------------------------------------

ClipboardPopupRootView::ClipboardPopupRootView(ClipboardPopupModel& model, ClipboardCompositeState& layout,
                                               QWidget* parent)
    : QWidget(parent), model_(model), clipboard_(model.store()), layout_(layout) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);

    // Pinned card.
    pinnedStack_ = new QWidget;
    pinnedStack_->setAttribute(Qt::WA_TranslucentBackground);
    pinnedCard_ = new GlassCard(cardCornerRadius, QStringLiteral("clipboard-pinned"), true, std::nullopt, this);
    pinnedCard_->setContent(pinnedStack_);
    pinnedOpacity_ = new QGraphicsOpacityEffect(pinnedCard_);
    pinnedCard_->setGraphicsEffect(pinnedOpacity_);

    // Main card: the search line over the list.
    auto* mainContent = new QWidget;
    mainContent->setAttribute(Qt::WA_TranslucentBackground);
    search_ = new SearchLine(model_, mainContent);
    caret_ = search_->caret;
    clearButton_ = search_->clear;
    list_ = new ClipboardHistoryList(model_, mainContent);
    mainCard_ = new GlassCard(cardCornerRadius, QStringLiteral("clipboard-history"), true, std::nullopt, this);
    mainCard_->setContent(mainContent);

    // Footer card.
    auto* footer = new FooterStack(model_, nullptr);
    struct Command {
        QString title;
        std::optional<QString> shortcut;
        std::function<void()> action;
    };
    ClipboardPopupModel* m = &model_;
    using C = ClipboardPopupModel::Command;
    auto run = [m](C command) { return [m, command] { m->requestCommand(command); }; };
    const Command commands[] = {
        {QStringLiteral("Вставить как текст"), QStringLiteral("⌘↩"), run(C::pastePlainHighlighted)},
        {QStringLiteral("Закрепить выбранное"), QStringLiteral("⌘P"), run(C::pinHighlighted)},
        {QStringLiteral("Очистить историю"), QStringLiteral("⌥⌘⌫"), run(C::clearHistory)},
        {QStringLiteral("Настройки…"), QStringLiteral("⌘,"), run(C::openSettings)},
        {QStringLiteral("О приложении"), std::nullopt, run(C::showAbout)},
        {QStringLiteral("Завершить"), QStringLiteral("⌘Q"), run(C::quit)},
    };
    for (const Command& command : commands) footerRows_ << new ClipboardFooterRow(command.title, command.shortcut, command.action, footer);
    footerCard_ = new GlassCard(cardCornerRadius, QStringLiteral("clipboard-footer"), true, std::nullopt, this);
    footerCard_->setContent(footer);

    // The notice floats above the cards.
    notice_ = new PinLimitNoticeView(this);
    noticeOpacity_ = new QGraphicsOpacityEffect(notice_);
    notice_->setGraphicsEffect(noticeOpacity_);
    noticeProgress_ = model_.pinLimitNoticeVisible() ? 1 : 0;
    notice_->setVisible(noticeProgress_ > 0);
    notice_->raise();

    shownShelf_ = layout_.shelfHeight();
    shownGap_ = L::shelfGap(shownShelf_);
    shownList_ = layout_.listHeight();
    pinnedAlpha_ = shownShelf_ > 0 ? 1 : 0;
    rebuildPinnedRows();

    connect(&layout_, &ClipboardCompositeState::shelfHeightChanged, this, &ClipboardPopupRootView::columnChanged);
    connect(&layout_, &ClipboardCompositeState::listHeightChanged, this, &ClipboardPopupRootView::columnChanged);
    connect(&layout_, &ClipboardCompositeState::growsUpwardChanged, this, &ClipboardPopupRootView::relayout);
    connect(&clipboard_, &ClipboardManager::historyChanged, this, &ClipboardPopupRootView::rebuildPinnedRows);
    connect(&model_, &ClipboardPopupModel::hoveredPinnedItemIDChanged, this,
            &ClipboardPopupRootView::updatePinnedHover);
    connect(&model_, &ClipboardPopupModel::pinLimitNoticeVisibleChanged, this,
            &ClipboardPopupRootView::noticeChanged);
    connect(&model_, &ClipboardPopupModel::searchQueryChanged, this, &ClipboardPopupRootView::searchChanged);
    connect(&model_, &ClipboardPopupModel::historySnapshotChanged, search_, [this] { search_->update(); });
    relayout();
}

QWidget* ClipboardPopupRootView::searchField() const { return search_; }

QWidget* ClipboardPopupRootView::pinLimitNotice() const { return notice_; }

bool ClipboardPopupRootView::isPinnedCardShown() const { return pinnedCard_->isVisible(); }

QString ClipboardPopupRootView::searchText() const { return search_->shownText(); }

QString ClipboardPopupRootView::matchCountText() const { return search_->countText(); }

void ClipboardPopupRootView::searchChanged() { search_->queryChanged(); }

void ClipboardPopupRootView::rebuildPinnedRows() {
    std::vector<ClipboardItem> pinned;
    for (const ClipboardItem& item : clipboard_.history())
        if (item.isPinned) pinned.push_back(item);
    // Rows are kept by identity, so a row's hover state survives a change elsewhere.
    QList<PinnedMenuRow*> rows;
    QList<PinnedMenuRow*> old = pinnedRows_;
    for (const ClipboardItem& item : pinned) {
        PinnedMenuRow* row = nullptr;
        for (PinnedMenuRow* candidate : old) {
            if (candidate->item().id == item.id) {
                row = candidate;
                break;
            }
        }
        if (row) {
            old.removeOne(row);
            row->setItem(item);
        } else {
            ClipboardPopupModel* m = &model_;
            const QUuid id = item.id;
            row = new PinnedMenuRow(
                item, model_.hoveredPinnedItemID() == item.id, [m, id] { m->requestPastePinned(id); },
                [m, id] { m->requestTogglePin(id); }, pinnedStack_);
        }
        rows << row;
    }
    for (PinnedMenuRow* gone : old) gone->deleteLater();
    for (PinnedMenuRow* gone : old) gone->hide();
    pinnedRows_ = rows;
    int y = 6;
    for (PinnedMenuRow* row : pinnedRows_) {
        row->setGeometry(0, y, pinnedStack_->width(), PinnedMenuRow::rowHeight);
        row->show();
        y += PinnedMenuRow::rowHeight;
    }
    updatePinnedHover();
}

void ClipboardPopupRootView::updatePinnedHover() {
    const auto hovered = model_.hoveredPinnedItemID();
    for (PinnedMenuRow* row : std::as_const(pinnedRows_)) row->setHovered(hovered == row->item().id);
}

void ClipboardPopupRootView::columnChanged() {
    const double target = layout_.shelfHeight();
    const double targetGap = L::shelfGap(target);
    const double targetAlpha = target > 0 ? 1 : 0;
    const double targetList = layout_.listHeight();
    if (columnAnimator_) columnAnimator_->stop();
    const auto animation = layout_.transactionAnimation();
    if (!animation) {
        shownShelf_ = target;
        shownGap_ = targetGap;
        pinnedAlpha_ = targetAlpha;
        shownList_ = targetList;
        relayout();
        return;
    }
    const double fromShelf = shownShelf_, fromGap = shownGap_, fromAlpha = pinnedAlpha_, fromList = shownList_;
    columnAnimator_ = Motion::animate(this, *animation, [=, this](double p) {
        shownShelf_ = std::max(0.0, fromShelf + (target - fromShelf) * p);
        shownGap_ = std::max(0.0, fromGap + (targetGap - fromGap) * p);
        pinnedAlpha_ = std::clamp(fromAlpha + (targetAlpha - fromAlpha) * p, 0.0, 1.0);
        shownList_ = std::max(0.0, fromList + (targetList - fromList) * p);
        relayout();
    });
}

void ClipboardPopupRootView::noticeChanged() {
    const double target = model_.pinLimitNoticeVisible() ? 1 : 0;
    if (noticeAnimator_) noticeAnimator_->stop();
    const double from = noticeProgress_;
    noticeAnimator_ = Motion::animate(this, Motion::state(), [this, from, target](double p) {
        noticeProgress_ = from + (target - from) * p;
        relayout();
    });
}

void ClipboardPopupRootView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    relayout();
}

void ClipboardPopupRootView::relayout() {
    const double w = width();
    const double cardWidth = std::max(0.0, w - 2 * inset);
    const double listHeight = shownList_;
    const double stack = inset + shownShelf_ + shownGap_ + listHeight + cardSpacing + L::footerBlockHeight + inset;
    const double top = layout_.growsUpward() ? height() - stack : 0;
    double y = top + inset;

    const bool pinnedShown = shownShelf_ > 0.5 || pinnedAlpha_ > 0.01;
    pinnedCard_->setVisible(pinnedShown);
    pinnedOpacity_->setOpacity(std::clamp(pinnedAlpha_, 0.0, 1.0));
    pinnedOpacity_->setEnabled(pinnedAlpha_ < 0.999);
    pinnedCard_->setGeometry(QRectF(inset, y, cardWidth, std::max(0.0, shownShelf_)).toRect());
    for (PinnedMenuRow* row : std::as_const(pinnedRows_))
        row->setGeometry(0, row->y(), int(cardWidth), PinnedMenuRow::rowHeight);
    y += shownShelf_ + shownGap_;

    mainCard_->setGeometry(QRectF(inset, y, cardWidth, listHeight).toRect());
    search_->setGeometry(0, 0, int(cardWidth), int(L::searchLineHeight));
    list_->setGeometry(0, int(L::searchLineHeight), int(cardWidth),
                       int(std::lround(std::max(0.0, listHeight - L::searchLineHeight))));
    y += listHeight + cardSpacing;

    footerCard_->setGeometry(QRectF(inset, y, cardWidth, L::footerBlockHeight).toRect());

    // The notice drops onto the search line, clear of the pinned rows it speaks of.
    const double progress = std::clamp(noticeProgress_, 0.0, 1.0);
    notice_->setVisible(noticeProgress_ > 0.001);
    noticeOpacity_->setOpacity(progress);
    const double noticeRest = mainCard_->y() + (L::searchLineHeight - noticeHeight) / 2;
    const double noticeY = noticeRest - (1 - progress) * noticeDrop;
    notice_->move(int(std::lround((w - notice_->width()) / 2)), int(std::lround(noticeY)));
    notice_->raise();
    emit drawnShapeChanged();
}

QPainterPath ClipboardPopupRootView::drawnShape() const {
    QPainterPath shape;
    for (GlassCard* card : {pinnedCard_, mainCard_, footerCard_}) {
        if (!card->isVisibleTo(this) || card->height() <= 0) continue;
        shape.addPath(GlassCard::shape(QRectF(card->geometry()), card->cornerRadius(), std::nullopt));
    }
    if (notice_->isVisibleTo(this)) shape.addPath(ContinuousCorners::capsule(QRectF(notice_->geometry())));
    return shape;
}
