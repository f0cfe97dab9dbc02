#include "Views/Toolbox/SnippetsPane.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Toolbox/SnippetStore.h"
#include "Views/Shared/AdaptiveGrid.h"
#include "Views/Shared/ContinuousCorners.h"
#include "Views/Shared/Recessed.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/ExplanationRows.h"
#include "Views/Toolbox/InkLabel.h"
#include "Views/Toolbox/PaneButton.h"
#include "Views/Toolbox/PaneCard.h"
#include "Views/Toolbox/PaneScrollArea.h"
#include "Views/Toolbox/PlaceholderField.h"
#include "Views/Toolbox/PlaceholderForm.h"
#include "Views/Toolbox/SymbolLabel.h"
#include "Views/Toolbox/VariableButton.h"

#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QVBoxLayout>

using SnippetExpander::BuiltIn;

namespace {

constexpr int kIdRole = Qt::UserRole;
constexpr int kSummaryRole = Qt::UserRole + 1;

// A row of the snippet list: the title over a one-line summary of the text, in an inset list.
class SnippetRowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QFont titleFont() { return SystemFont::font(12, QFont::Medium); }
    static QFont summaryFont() { return SystemFont::font(10); }

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        const double height = 6 + QFontMetricsF(titleFont()).height() + 1 + QFontMetricsF(summaryFont()).height() + 6;
        return QSize(100, int(std::ceil(height)));
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = option.palette;
        const QRectF row = QRectF(option.rect).adjusted(8, 1, -8, -1);
        const bool selected = option.state & QStyle::State_Selected;
        const bool active = option.state & QStyle::State_Active;
        QColor title = SystemColors::primary(pal), summary = SystemColors::secondary(pal);
        if (selected) {
            painter->fillPath(ContinuousCorners::roundedRect(row, 6),
                              active ? SystemColors::accent(pal) : SystemColors::withOpacity(SystemColors::primary(pal), 0.1));
            if (active) {
                title = Qt::white;
                summary = QColor(255, 255, 255, 200);
            }
        }
        const QRectF text = row.adjusted(8, 5, -8, -5);
        const QFontMetricsF titleMetrics(titleFont()), summaryMetrics(summaryFont());
        painter->setFont(titleFont());
        painter->setPen(title);
        painter->drawText(QRectF(text.left(), text.top(), text.width(), titleMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          titleMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, text.width()));
        painter->setFont(summaryFont());
        painter->setPen(summary);
        painter->drawText(QRectF(text.left(), text.top() + titleMetrics.height() + 1, text.width(), summaryMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          summaryMetrics.elidedText(index.data(kSummaryRole).toString(), Qt::ElideRight, text.width()));
        painter->restore();
    }
};

QWidget* row(std::initializer_list<QWidget*> widgets, int spacing, bool stretchAfter = true) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    for (QWidget* w : widgets) {
        if (w) layout->addWidget(w);
        else layout->addStretch(1);
    }
    if (stretchAfter) layout->addStretch(1);
    return box;
}

QLabel* symbolImage(const QString& symbol, double size, const QColor& color, QSize frame) {
    auto* label = new QLabel;
    label->setPixmap(QPixmap::fromImage(Symbols::image(symbol, size, color, Symbols::Weight::medium, 2.0)));
    label->setFixedSize(frame);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

}  // namespace

SnippetsPane::SnippetsPane(SnippetStore* store, QWidget* parent)
    : QWidget(parent), model_(store ? *store : SnippetStore::shared()) {
    splitter_ = new QSplitter(Qt::Horizontal, this);
    splitter_->setChildrenCollapsible(false);
    splitter_->setHandleWidth(1);
    QWidget* listColumn = makeList();
    QWidget* editorColumn = makeEditor();
    listColumn->setMinimumWidth(200);
    editorColumn->setMinimumWidth(360);
    splitter_->addWidget(listColumn);
    splitter_->addWidget(editorColumn);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({240, 440});
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->addWidget(splitter_);

    connect(&model_.store(), &SnippetStore::snippetsChanged, this, &SnippetsPane::reloadList);
    connect(&model_, &SnippetsPaneModel::selectionChanged, this, &SnippetsPane::loadSelection);
    connect(&model_, &SnippetsPaneModel::draftChanged, this, &SnippetsPane::refreshDerived);
    connect(&model_, &SnippetsPaneModel::valuesChanged, this, &SnippetsPane::refreshPreview);
    connect(&model_.copyConfirmation(), &CopyConfirmation::didCopyChanged, this, [this](bool copied) {
        copy_->setTitle(copied ? QStringLiteral("Скопировано") : QStringLiteral("Скопировать"));
    });
    reloadList();
    loadSelection();
}

// MARK: List

QWidget* SnippetsPane::makeList() {
    auto* column = new QWidget;
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    list_ = new QListWidget;
    list_->setFrameShape(QFrame::NoFrame);
    list_->setItemDelegate(new SnippetRowDelegate(list_));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setContextMenuPolicy(Qt::CustomContextMenu);
    list_->viewport()->setAutoFillBackground(false);
    list_->setAutoFillBackground(false);
    list_->setSpacing(0);
    list_->setContentsMargins(0, 6, 0, 6);
    connect(list_, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> chosen = list_->selectedItems();
        model_.setSelection(chosen.isEmpty() ? std::nullopt
                                             : std::optional<QUuid>(chosen.first()->data(kIdRole).toUuid()));
    });
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QListWidgetItem* item = list_->itemAt(at);
        if (!item) return;
        const QUuid id = item->data(kIdRole).toUuid();
        auto* menu = new QMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        connect(menu->addAction(QStringLiteral("Удалить")), &QAction::triggered, this, [this, id] {
            for (const Snippet& snippet : model_.store().snippets())
                if (snippet.id == id) {
                    model_.remove(Snippet(snippet));
                    break;
                }
        });
        menu->popup(list_->viewport()->mapToGlobal(at));
    });
    stack->addWidget(list_, 1);

    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setFixedHeight(1);
    divider->setForegroundRole(QPalette::Mid);
    stack->addWidget(divider);

    auto* footer = new QWidget;
    footer->setFixedHeight(30);
    auto* buttons = new QHBoxLayout(footer);
    buttons->setContentsMargins(10, 0, 10, 0);
    buttons->setSpacing(6);
    add_ = new PaneButton(QString(), QStringLiteral("plus"), PaneButton::Look::borderless, PaneButton::ControlSize::regular);
    add_->setToolTip(QStringLiteral("Новый сниппет"));
    add_->setAccessibleName(QStringLiteral("Новый сниппет"));
    remove_ = new PaneButton(QString(), QStringLiteral("minus"), PaneButton::Look::borderless,
                             PaneButton::ControlSize::regular);
    remove_->setToolTip(QStringLiteral("Удалить"));
    remove_->setAccessibleName(QStringLiteral("Удалить"));
    connect(add_, &QAbstractButton::clicked, this, [this] {
        model_.addSnippet();
        // A new snippet shows from its top, with the keyboard in its title.
        editorScroll_->verticalScrollBar()->setValue(0);
        title_->setFocus(Qt::OtherFocusReason);
        title_->selectAll();
    });
    connect(remove_, &QAbstractButton::clicked, &model_, &SnippetsPaneModel::removeSelected);
    buttons->addWidget(add_);
    buttons->addWidget(remove_);
    buttons->addStretch(1);
    stack->addWidget(footer);
    return column;
}

void SnippetsPane::reloadList() {
    const QSignalBlocker block(list_);
    list_->clear();
    for (const Snippet& snippet : model_.store().snippets()) {
        auto* item = new QListWidgetItem(snippet.title, list_);
        item->setData(kIdRole, snippet.id);
        item->setData(kSummaryRole, SnippetsPaneModel::summary(snippet.body));
        item->setToolTip(snippet.title);
    }
    syncListSelection();
}

void SnippetsPane::syncListSelection() {
    const QSignalBlocker block(list_);
    QListWidgetItem* selected = nullptr;
    for (int i = 0; i < list_->count(); ++i)
        if (model_.selection() == list_->item(i)->data(kIdRole).toUuid()) selected = list_->item(i);
    if (selected) {
        list_->setCurrentItem(selected);
        selected->setSelected(true);
    } else {
        list_->clearSelection();
        list_->setCurrentItem(nullptr);
    }
    list_->viewport()->update();
    remove_->setEnabled(model_.selection().has_value());
}

// MARK: Editor

QWidget* SnippetsPane::makeEditor() {
    editorStack_ = new QStackedWidget;

    emptyEditor_ = new InkLabel(QStringLiteral("Выберите сниппет"), SystemFont::font(12), InkLabel::Ink::tertiary);
    emptyEditor_->setAlignment(Qt::AlignCenter);
    editorStack_->addWidget(emptyEditor_);

    auto* content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(18, 18, 18, 18);
    stack->setSpacing(14);

    title_ = new QLineEdit;
    title_->setFrame(false);
    title_->setPlaceholderText(QStringLiteral("Название"));
    title_->setFont(SystemFont::font(17, QFont::DemiBold));
    QPalette plain = title_->palette();
    plain.setColor(QPalette::Base, Qt::transparent);
    title_->setPalette(plain);
    connect(title_, &QLineEdit::textEdited, &model_, &SnippetsPaneModel::setTitle);
    stack->addWidget(title_);
    stack->addWidget(makeTemplateEditor());

    auto* picker = new PaneCard(0);
    picker->contentLayout()->setSpacing(10);
    picker->contentLayout()->addWidget(makeVariablePicker());
    stack->addWidget(picker);

    explanation_ = new PaneCard(0);
    QVBoxLayout* explained = explanation_->contentLayout();
    explained->setSpacing(10);
    explanationTitle_ =
        new SymbolLabel(QStringLiteral("wand.and.stars"), QStringLiteral("Что произойдёт при копировании"),
                        SystemFont::font(12, QFont::DemiBold));
    explained->addWidget(explanationTitle_);
    markdown_ = new InkLabel(
        QStringLiteral("Это Markdown-ссылка: название стоит в [квадратных скобках], а адрес — в (круглых)."),
        SystemFont::font(11), InkLabel::Ink::secondary);
    markdown_->setWordWrap(true);
    markdown_->setObjectName(QStringLiteral("markdown"));
    explained->addWidget(markdown_);
    explanationRows_ = new ExplanationRows;
    explained->addWidget(explanationRows_);
    stack->addWidget(explanation_);

    fillForm_ = new PaneCard(0);
    QVBoxLayout* form = fillForm_->contentLayout();
    form->setSpacing(6);
    form->addWidget(new SymbolLabel(QStringLiteral("pencil.line"), QStringLiteral("Нужно заполнить"),
                                    SystemFont::font(12, QFont::DemiBold)));
    form->addWidget(new InkLabel(QStringLiteral("Эти значения не сохраняются в шаблоне."), SystemFont::font(10),
                                 InkLabel::Ink::secondary));
    fillRows_ = new PlaceholderForm;
    connect(fillRows_, &PlaceholderForm::valueEdited, &model_, &SnippetsPaneModel::setValue);
    form->addWidget(fillRows_);
    stack->addWidget(fillForm_);

    stack->addWidget(makePreview());
    stack->addStretch(1);

    editorScroll_ = new PaneScrollArea(content, PaneScrollArea::Indicators::never);
    editorStack_->addWidget(editorScroll_);
    return editorStack_;
}

QWidget* SnippetsPane::makeTemplateEditor() {
    auto* box = new QWidget;
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(7);
    stack->addWidget(row({new SymbolLabel(QStringLiteral("text.alignleft"), QStringLiteral("Шаблон"),
                                          SystemFont::font(12, QFont::DemiBold)),
                          nullptr,
                          new InkLabel(QStringLiteral("обычный текст + переменные"), SystemFont::font(10),
                                       InkLabel::Ink::tertiary)},
                         0, false));

    template_ = new CodeTextView(true, QStringLiteral("Напишите текст сниппета"), &editorController_);
    connect(template_, &CodeTextView::textEdited, &model_, &SnippetsPaneModel::setBody);
    Recessed* well = recessed(template_, 10);
    // 150 to 210 points; the scrolling editor column always gives it its ideal 170.
    well->setFixedHeight(170);
    stack->addWidget(well);
    return box;
}

QWidget* SnippetsPane::makeVariablePicker() {
    auto* box = new QWidget;
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(10);
    auto* header = new QVBoxLayout;
    header->setSpacing(2);
    header->addWidget(new SymbolLabel(QStringLiteral("plus.circle"), QStringLiteral("Добавить переменную"),
                                      SystemFont::font(12, QFont::DemiBold)));
    auto* hint = new InkLabel(QStringLiteral("Нажмите — вставим туда, где стоит курсор."), SystemFont::font(11),
                              InkLabel::Ink::secondary);
    hint->setWordWrap(true);
    header->addWidget(hint);
    stack->addLayout(header);

    auto* grid = new AdaptiveGrid(138, AdaptiveGrid::stretch, 8, 8);
    for (BuiltIn builtIn : SnippetExpander::allBuiltIns) {
        auto* button = new VariableButton(SnippetsPaneModel::title(builtIn), SnippetExpander::token(builtIn),
                                          SnippetsPaneModel::symbol(builtIn));
        connect(button, &QAbstractButton::clicked, this, [this, builtIn] {
            model_.refreshBuiltIn(builtIn);
            insertToken(SnippetExpander::token(builtIn));
        });
        grid->addWidget(button);
        variableButtons_.append(button);
    }
    auto* custom = new VariableButton(QStringLiteral("Поле для ввода"), SnippetsPaneModel::customFieldToken,
                                      QStringLiteral("character.cursor.ibeam"));
    connect(custom, &QAbstractButton::clicked, this, [this] { insertToken(SnippetsPaneModel::customFieldToken); });
    grid->addWidget(custom);
    variableButtons_.append(custom);
    stack->addWidget(grid);
    return box;
}

void SnippetsPane::insertToken(const QString& token) { editorController_.insert(token); }

QWidget* SnippetsPane::makePreview() {
    auto* box = new QWidget;
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(6);

    count_ = new InkLabel(QString(), SystemFont::font(10), InkLabel::Ink::tertiary);
    refresh_ = new PaneButton(QString(), QStringLiteral("arrow.clockwise"), PaneButton::Look::borderless,
                              PaneButton::ControlSize::regular);
    refresh_->setToolTip(QStringLiteral("Обновить дату, время и данные из буфера"));
    refresh_->setAccessibleName(refresh_->toolTip());
    connect(refresh_, &QAbstractButton::clicked, &model_, &SnippetsPaneModel::refreshBuiltIns);
    copy_ = new PaneButton(QStringLiteral("Скопировать"), QStringLiteral("doc.on.doc"), PaneButton::Look::prominent,
                           PaneButton::ControlSize::large);
    connect(copy_, &QAbstractButton::clicked, &model_, &SnippetsPaneModel::copyExpanded);
    QWidget* header = row({new SymbolLabel(QStringLiteral("checkmark.circle"), QStringLiteral("Результат"),
                                           SystemFont::font(12, QFont::DemiBold)),
                           count_, nullptr, refresh_, copy_},
                          8, false);
    static_cast<QHBoxLayout*>(header->layout())->setAlignment(Qt::AlignVCenter);
    stack->addWidget(header);

    auto* card = new PaneCard(0);
    // A read-only text view rather than a label: it lays out only the lines in view, where a label lays out
    // the whole result several times over at every change.
    output_ = new CodeTextView(false);
    output_->document()->setDocumentMargin(10);
    output_->setFixedHeight(92);
    card->contentLayout()->addWidget(output_);
    stack->addWidget(card);

    warning_ = new QWidget;
    auto* warningRow = new QHBoxLayout(warning_);
    warningRow->setContentsMargins(0, 0, 0, 0);
    warningRow->setSpacing(4);
    const QColor orange = SystemColors::orange(SystemColors::isDark(palette()));
    warningRow->addWidget(symbolImage(QStringLiteral("exclamationmark.circle"), 10, orange, QSize(12, 13)), 0,
                          Qt::AlignTop);
    warningText_ = new InkLabel(QString(), SystemFont::font(10));
    warningText_->setColor(orange);
    warningText_->setWordWrap(true);
    warningText_->setMaximumHeight(int(std::ceil(QFontMetricsF(SystemFont::font(10)).lineSpacing() * 2)) + 1);
    warningRow->addWidget(warningText_, 1);
    stack->addWidget(warning_);
    return box;
}

// MARK: State

void SnippetsPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    model_.appear();
}

void SnippetsPane::loadSelection() {
    syncListSelection();
    const std::optional<Snippet>& draft = model_.draft();
    editorStack_->setCurrentIndex(draft ? 1 : 0);
    if (!draft) return;
    if (title_->text() != draft->title) title_->setText(draft->title);
    template_->setText(draft->body);
    fillRows_->clear();  // the fill-in values start empty
    refreshDerived();
}

void SnippetsPane::refreshDerived() {
    // Each edit comes here: only what the edit changed is laid out again.
    const QString body = model_.draft() ? model_.draft()->body : QString();
    const QStringList names = SnippetExpander::customPlaceholders(body);
    const QList<SnippetsPaneModel::ExplanationRow> rows =
        SnippetsPaneModel::explanation(names, SnippetExpander::builtIns(body));
    explanationRows_->setRows(rows);
    markdown_->setVisible(SnippetsPaneModel::isMarkdownLink(body));
    explanation_->setVisible(!rows.isEmpty());
    fillRows_->setNames(names);
    fillForm_->setVisible(!names.isEmpty());
    refreshPreview();
}

void SnippetsPane::refreshPreview() {
    const std::optional<Snippet>& draft = model_.draft();
    if (!draft) return;
    fillRows_->setValues(model_.values());
    const QString result = model_.result();
    QString shown = result.isEmpty() ? QStringLiteral("—") : result;
    if (shown.size() > previewLimit) {
        qsizetype cut = previewLimit;
        if (shown.at(cut).isLowSurrogate()) --cut;
        shown = shown.left(cut) + QStringLiteral("…");
    }
    output_->setText(shown);
    count_->setText(SnippetsPaneModel::characterCountText(result));
    refresh_->setVisible(!SnippetExpander::builtIns(draft->body).isEmpty());
    copy_->setEnabled(model_.canCopy());
    const QStringList missing = model_.missingNames();
    warning_->setVisible(!missing.isEmpty());
    QString warning = QStringLiteral("Заполните поля: ") + missing.join(QStringLiteral(", "));
    if (warning.size() > warningLimit) {
        qsizetype cut = warningLimit;
        if (warning.at(cut).isLowSurrogate()) --cut;
        warning = warning.left(cut) + QStringLiteral("…");
    }
    warningText_->setText(warning);
}

QList<PlaceholderField*> SnippetsPane::placeholderFields() const { return fillRows_->fields(); }

QStringList SnippetsPane::fillFormNames() const { return fillRows_->names(); }

QStringList SnippetsPane::explanationLines() const {
    QStringList lines;
    if (explanation_->isHidden()) return lines;
    lines.append(explanationTitle_->text());
    if (!markdown_->isHidden()) lines.append(markdown_->text());
    lines.append(explanationRows_->lines());
    return lines;
}
