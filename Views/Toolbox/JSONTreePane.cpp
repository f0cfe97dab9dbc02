#include "Views/Toolbox/JSONTreePane.h"

#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/Gui/Symbols.h"
#include "Source/Features/Toolbox/JSONNode.h"
#include "Source/Features/Toolbox/JSONTool.h"
#include "Source/Features/Toolbox/PasteboardText.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/ActivitySpinner.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/ContentCard.h"
#include "Views/Toolbox/JSONRow.h"
#include "Views/Toolbox/JSONTreeRows.h"
#include "Views/Toolbox/SlimScrollBars.h"
#include "Views/Toolbox/SmallButton.h"
#include "Views/Toolbox/SymbolLabel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QStackedWidget>
#include <QThreadPool>
#include <QVBoxLayout>

namespace {

enum class Tone { primary, secondary, tertiary };

void runOnGlobalPool(std::function<void()> job) { QThreadPool::globalInstance()->start(std::move(job), 1); }

QColor toneColor(Tone tone, const QPalette& palette) {
    switch (tone) {
    case Tone::primary: return SystemColors::primary(palette);
    case Tone::secondary: return SystemColors::secondary(palette);
    case Tone::tertiary: return SystemColors::tertiary(palette);
    }
    return SystemColors::primary(palette);
}

QLabel* label(const QString& text, const QFont& font, Tone tone) {
    auto* l = new QLabel(text);
    l->setFont(font);
    l->setProperty("tone", int(tone));
    return l;
}

QLabel* symbolImage(const QString& symbol, double size, const QColor& color, Symbols::Weight weight, double dpr) {
    auto* l = new QLabel;
    l->setAlignment(Qt::AlignCenter);
    l->setPixmap(QPixmap::fromImage(Symbols::image(symbol, size, color, weight, dpr)));
    l->setProperty("symbol", symbol);
    return l;
}

// The list that shows the tree's rows; rows take the width of the list.
class TreeList : public QListView {
public:
    using QListView::QListView;

protected:
    void resizeEvent(QResizeEvent* event) override {
        const int before = viewport()->width();
        QListView::resizeEvent(event);
        // Row heights follow the width, since values wrap.
        if (viewport()->width() != before) scheduleDelayedItemsLayout();
    }
};

}  // namespace

JSONTreePane::JSONTreePane(ToolboxModel& model, QWidget* parent) : JSONTreePane(model, Executor(), parent) {}

JSONTreePane::JSONTreePane(ToolboxModel& model, Executor executor, QWidget* parent)
    : QWidget(parent), model_(model), executor_(executor ? std::move(executor) : Executor(runOnGlobalPool)) {
    setAutoFillBackground(true);
    rows_ = new JSONTreeRows(this);
    const bool dark = SystemColors::isDark(palette());
    const double dpr = devicePixelRatioF();

    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(horizontalPadding, verticalPadding, horizontalPadding, verticalPadding);
    outer->setSpacing(0);
    auto* content = new QWidget;
    content->setMaximumWidth(maximumContentWidth);
    outer->addStretch(0);
    outer->addWidget(content, 1);
    outer->addStretch(0);
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(16);

    // Source: its header, then the editor on the surface.
    auto* source = new QVBoxLayout;
    source->setSpacing(8);
    auto* sourceHeader = new QHBoxLayout;
    sourceHeader->setSpacing(8);
    sourceHeader->addWidget(new SymbolLabel(QStringLiteral("curlybraces"), QStringLiteral("Исходный JSON"),
                                            SystemFont::font(13, QFont::DemiBold)));
    spinner_ = new ActivitySpinner(14);
    spinner_->setToolTip(QStringLiteral("Разбор JSON"));
    invalid_ = new SymbolLabel(QStringLiteral("exclamationmark.circle.fill"), QStringLiteral("Есть ошибка"),
                               SystemFont::font(10, QFont::Medium), SystemColors::orange(dark));
    valid_ = new SymbolLabel(QStringLiteral("checkmark.circle.fill"), QStringLiteral("Корректный"),
                             SystemFont::font(10, QFont::Medium), SystemColors::green(dark));
    for (QWidget* w : std::initializer_list<QWidget*>{spinner_, invalid_, valid_}) {
        w->hide();
        sourceHeader->addWidget(w, 0, Qt::AlignVCenter);
    }
    sourceHeader->addStretch(1);
    sizeLabel_ = label(QString(), SystemFont::monospaced(10, QFont::Medium), Tone::tertiary);
    sizeLabel_->hide();
    sourceHeader->addWidget(sizeLabel_, 0, Qt::AlignVCenter);
    paste_ = new SmallButton(QStringLiteral("Вставить из буфера"), QStringLiteral("doc.on.clipboard"));
    sourceHeader->addWidget(paste_, 0, Qt::AlignVCenter);
    source->addLayout(sourceHeader);
    editor_ = new CodeTextView(true, QStringLiteral("Вставьте JSON"));
    editor_->setObjectName(QStringLiteral("jsonSource"));
    ContentCard* editorSurface = settingsSurface(editor_);
    editorSurface->setFixedHeight(editorHeight);
    source->addWidget(editorSurface);
    stack->addLayout(source);

    // Tree: its header, then the body on the surface.
    auto* tree = new QVBoxLayout;
    tree->setSpacing(8);
    auto* treeHeader = new QHBoxLayout;
    treeHeader->setSpacing(8);
    treeHeader->addWidget(new SymbolLabel(QStringLiteral("list.bullet.indent"), QStringLiteral("Структура"),
                                          SystemFont::font(13, QFont::DemiBold)));
    treeHeader->addStretch(1);
    collapse_ = new SmallButton(QStringLiteral("Свернуть всё"), QStringLiteral("arrow.down.right.and.arrow.up.left"));
    treeHeader->addWidget(collapse_, 0, Qt::AlignVCenter);
    tree->addLayout(treeHeader);

    body_ = new QStackedWidget;
    // The failure.
    failureView_ = new QWidget;
    {
        auto* l = new QVBoxLayout(failureView_);
        l->setSpacing(8);
        l->addStretch(1);
        l->addWidget(symbolImage(QStringLiteral("exclamationmark.triangle.fill"), 22, SystemColors::orange(dark),
                                 Symbols::Weight::regular, dpr));
        QLabel* title = label(QStringLiteral("Не удалось разобрать JSON"), SystemFont::font(13, QFont::DemiBold),
                              Tone::primary);
        title->setAlignment(Qt::AlignCenter);
        l->addWidget(title);
        failureDetail_ = label(QString(), SystemFont::font(11), Tone::secondary);
        failureDetail_->setAlignment(Qt::AlignCenter);
        failureDetail_->setWordWrap(true);
        failureDetail_->setMaximumWidth(420);
        failureDetail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // No alignment flag: an aligned item gets its width hint, and a wrapped label would keep one line.
        auto* detailRow = new QHBoxLayout;
        detailRow->addStretch(1);
        detailRow->addWidget(failureDetail_, 100);
        detailRow->addStretch(1);
        l->addLayout(detailRow);
        l->addStretch(1);
    }
    body_->addWidget(failureView_);
    // The rows.
    list_ = new TreeList;
    list_->setObjectName(QStringLiteral("jsonTree"));
    list_->setModel(rows_);
    delegate_ = new JSONRow(*rows_, list_);
    list_->setItemDelegate(delegate_);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setUniformItemSizes(false);
    list_->setLayoutMode(QListView::Batched);
    list_->setBatchSize(4000);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->verticalScrollBar()->setSingleStep(24);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setMouseTracking(true);
    list_->viewport()->setAttribute(Qt::WA_Hover);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->setAutoFillBackground(false);
    list_->viewport()->setAutoFillBackground(false);
    useSlimScrollBars(list_);
    body_->addWidget(list_);
    // The hint while the input is empty.
    hintView_ = new QWidget;
    {
        auto* l = new QVBoxLayout(hintView_);
        l->setSpacing(8);
        l->addStretch(1);
        QColor tertiary = SystemColors::tertiary(palette());
        l->addWidget(symbolImage(QStringLiteral("curlybraces.square"), 24, tertiary, Symbols::Weight::regular, dpr));
        QLabel* first = label(QStringLiteral("Вставьте JSON — дерево появится само"), SystemFont::font(12, QFont::Medium),
                              Tone::secondary);
        first->setAlignment(Qt::AlignCenter);
        l->addWidget(first);
        QLabel* second = label(QStringLiteral("Корневой объект будет раскрыт автоматически."), SystemFont::font(10),
                               Tone::tertiary);
        second->setAlignment(Qt::AlignCenter);
        l->addWidget(second);
        l->addStretch(1);
    }
    body_->addWidget(hintView_);
    ContentCard* bodySurface = settingsSurface(body_);
    bodySurface->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    tree->addWidget(bodySurface, 1);
    stack->addLayout(tree, 1);

    applyColors();

    connect(editor_, &CodeTextView::edited, this, [this](int position, int removed, const QString& added) {
        const QScopedValueRollback typing(typing_, true);
        model_.editInput(position, removed, added);
    });
    connect(&model_, &ToolboxModel::inputChanged, this, [this] {
        if (!typing_) editor_->setText(model_.input());  // else it shows the edit already
        refresh();
        scheduleParse();
    });
    connect(paste_, &QAbstractButton::clicked, this, [this] {
        PasteboardText::read(this, [this](std::optional<QString> text) {
            if (text) model_.setInput(*text);
            parse();
        });
    });
    connect(collapse_, &QAbstractButton::clicked, rows_, &JSONTreeRows::collapseAll);
    connect(rows_, &JSONTreeRows::expandedChanged, this, &JSONTreePane::refresh);
    connect(list_, &QListView::clicked, this, [this](const QModelIndex& index) { toggle(index.row()); });
    connect(list_, &QWidget::customContextMenuRequested, this, &JSONTreePane::showContextMenu);

    editor_->setText(model_.input());
    refresh();
}

JSONTreePane::~JSONTreePane() = default;

JSONNode* JSONTreePane::root() const { return rows_->root(); }

JSONTreePane::State JSONTreePane::state() const {
    if (isParsing_) return State::parsing;
    if (failure_) return State::failure;
    if (rows_->root()) return State::tree;
    return State::empty;
}

QWidget* JSONTreePane::statusWidget() const {
    if (isParsing_) return spinner_;
    if (failure_) return invalid_;
    if (rows_->root()) return valid_;
    return nullptr;
}

QString JSONTreePane::failureDetail(const TransformFailure& failure) { return failure.displayText(); }

void JSONTreePane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!rows_->root()) parse();
}

void JSONTreePane::parse() {
    parseWork_.cancel();
    if (lastParsed_ == model_.inputRevision()) return;
    lastParsed_ = model_.inputRevision();
    const QString text = model_.input();
    if (text.isEmpty()) {
        rows_->clear();
        failure_.reset();
        isParsing_ = false;
        ++parseToken_;  // a parse still under way is stale now
        refresh();
        return;
    }
    // The previous tree stays, closed to its root, until the result arrives.
    if (rows_->root()) rows_->collapseAll();
    isParsing_ = true;
    const qint64 token = ++parseToken_;
    ++parsesStarted_;
    refresh();
    QPointer<JSONTreePane> self(this);
    executor_([self, text, token] {
        auto result = std::make_shared<TransformResult<JSONValue>>(JSONTool::parse(text));
        if (result->ok()) JSONNode::arrange(result->value());
        Dispatch::main([self, result, token] {
            if (!self || self->parseToken_ != token) return;
            self->isParsing_ = false;
            if (result->ok()) {
                self->failure_.reset();
                self->delegate_->clearChevronAngles();
                self->rows_->setRoot(std::make_unique<JSONNode>(std::move(result->value()), true));
            } else {
                self->rows_->clear();
                self->failure_ = result->failure();
            }
            self->refresh();
        });
    });
}

void JSONTreePane::scheduleParse() {
    parseWork_.schedule(this, parseDelaySeconds, [this] { parse(); });
}

void JSONTreePane::toggle(int row) {
    JSONNode* node = rows_->node(row);
    if (!node || !node->isContainer()) return;
    const double from = rows_->isExpanded(node) ? 90.0 : 0.0;
    const double to = 90.0 - from;
    rows_->toggle(row);
    QPointer<QWidget> viewport = list_->viewport();
    delegate_->setChevronAngle(node, from);
    Motion::animate(
        this, Motion::state(),
        [this, node, from, to, viewport](double p) {
            delegate_->setChevronAngle(node, from + (to - from) * p);
            if (viewport) viewport->update();
        },
        [this, node] { delegate_->clearChevronAngle(node); });
}

void JSONTreePane::copyValue(int row) {
    const JSONNode* node = rows_->node(row);
    if (!node) return;
    Pasteboard& pasteboard = Pasteboard::general();
    pasteboard.clearContents();
    PasteboardItem item;
    item.setString(JSONRow::copyText(*node));
    pasteboard.writeObjects({item});
}

void JSONTreePane::copyKey(int row) {
    const JSONNode* node = rows_->node(row);
    if (!node || !node->key()) return;
    Pasteboard& pasteboard = Pasteboard::general();
    pasteboard.clearContents();
    PasteboardItem item;
    item.setString(*node->key());
    pasteboard.writeObjects({item});
}

QStringList JSONTreePane::contextMenuTitles(int row) const {
    const JSONNode* node = rows_->node(row);
    if (!node) return {};
    QStringList titles{QStringLiteral("Скопировать значение")};
    if (node->key()) titles.append(QStringLiteral("Скопировать ключ"));
    return titles;
}

void JSONTreePane::showContextMenu(const QPoint& pos) {
    const QModelIndex index = list_->indexAt(pos);
    if (!index.isValid()) return;
    const int row = index.row();
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QStringList titles = contextMenuTitles(row);
    menu->addAction(titles.value(0), this, [this, row] { copyValue(row); });
    if (titles.size() > 1) menu->addAction(titles.value(1), this, [this, row] { copyKey(row); });
    menu->popup(list_->viewport()->mapToGlobal(pos));
}

void JSONTreePane::refresh() {
    spinner_->setVisible(isParsing_);
    invalid_->setVisible(!isParsing_ && failure_.has_value());
    valid_->setVisible(!isParsing_ && !failure_ && rows_->root());
    const std::optional<QString> size = model_.inputSizeLabel();
    sizeLabel_->setText(size.value_or(QString()));
    sizeLabel_->setVisible(size.has_value());
    collapse_->setEnabled(!rows_->expanded().isEmpty());
    if (failure_) {
        failureDetail_->setText(failureDetail(*failure_));
        body_->setCurrentWidget(failureView_);
    } else if (rows_->root()) {
        body_->setCurrentWidget(list_);
    } else {
        body_->setCurrentWidget(hintView_);
    }
}

void JSONTreePane::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && rows_ && !property("applyingColors").toBool()) applyColors();
}

void JSONTreePane::applyColors() {
    setProperty("applyingColors", true);
    QPalette own = palette();
    own.setColor(QPalette::Window, SystemColors::windowBackground(own));
    setPalette(own);
    for (QLabel* l : findChildren<QLabel*>()) {
        const QVariant tone = l->property("tone");
        if (!tone.isValid()) continue;
        QPalette p = l->palette();
        p.setColor(QPalette::WindowText, toneColor(Tone(tone.toInt()), own));
        l->setPalette(p);
    }
    const bool dark = SystemColors::isDark(own);
    // The verdict sits on the window, nearly as light as the green.
    const QColor window = SystemColors::windowBackground(own);
    invalid_->setColor(SystemColors::legible(SystemColors::orange(dark), window));
    valid_->setColor(SystemColors::legible(SystemColors::green(dark), window));
    setProperty("applyingColors", false);
}
