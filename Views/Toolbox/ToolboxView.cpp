#include "Views/Toolbox/ToolboxView.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/Gui/Symbols.h"
#include "Views/Shared/HairlineSplitter.h"
#include "Views/Shared/SidebarGlyph.h"
#include "Views/Toolbox/JSONTreePane.h"
#include "Views/Toolbox/PasswordPane.h"
#include "Views/Toolbox/QRPane.h"
#include "Views/Toolbox/SlimScrollBars.h"
#include "Views/Toolbox/SnippetsPane.h"
#include "Views/Toolbox/TransformPane.h"

#include <QAction>
#include <QApplication>
#include <QStyle>
#include <QEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>

namespace {

using Tool = ToolboxModel::Tool;
using Entry = ToolboxView::SidebarEntry;

constexpr int entryRole = Qt::UserRole + 1;  // index into the entries the list was built from
constexpr int rowInset = 6;
constexpr int rowPadding = 5;
constexpr int glyphTextGap = 6;

const std::array<Tool, 4> fixedTools{Tool::jsonTree(), Tool::password(), Tool::qr(), Tool::snippets()};

bool matches(const QString& title, const QString& query) { return title.contains(query, Qt::CaseInsensitive); }

// Draws the sidebar's headers, rows and note from the entries the view keeps on each item.
class SidebarDelegate : public QStyledItemDelegate {
public:
    SidebarDelegate(const QList<Entry>* entries, QObject* parent) : QStyledItemDelegate(parent), entries_(entries) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const Entry& e = entry(index);
        const int width = option.rect.width() > 0 ? option.rect.width() : ToolboxView::sidebarIdealWidth;
        return QSize(width, e.kind == Entry::Kind::header ? ToolboxView::sidebarHeaderHeight
                                                           : ToolboxView::sidebarRowHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const Entry& e = entry(index);
        // Headers and the note cannot be chosen, but read as normal text.
        QPalette palette = option.palette;
        palette.setCurrentColorGroup(QPalette::Active);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF row = QRectF(option.rect).adjusted(rowInset, 1, -rowInset, -1);
        switch (e.kind) {
        case Entry::Kind::header: {
            painter->setFont(SystemFont::font(11, QFont::DemiBold));
            painter->setPen(SystemColors::secondary(palette));
            painter->drawText(row.adjusted(rowPadding, 0, 0, -3), Qt::AlignBottom | Qt::AlignLeft, e.title);
            break;
        }
        case Entry::Kind::note: {
            painter->setFont(SystemFont::font(13));
            painter->setPen(SystemColors::secondary(palette));
            painter->drawText(row.adjusted(rowPadding, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, e.title);
            break;
        }
        case Entry::Kind::tool: {
            const bool selected = option.state & QStyle::State_Selected;
            const bool active = option.state & QStyle::State_Active;
            if (selected) {
                QPainterPath pill;
                pill.addRoundedRect(row, 6, 6);
                painter->fillPath(pill, active ? SystemColors::accent(palette) : SystemColors::quaternary(palette));
            }
            const QRectF glyph(row.left() + rowPadding, row.center().y() - SidebarGlyph::side / 2.0,
                               SidebarGlyph::side, SidebarGlyph::side);
            SidebarGlyph::paint(*painter, glyph, e.symbol, e.tint);
            const QRectF text(glyph.right() + glyphTextGap, row.top(),
                              row.right() - glyph.right() - glyphTextGap - rowPadding, row.height());
            painter->setFont(SystemFont::font(13));
            painter->setPen(selected && active ? QColor(Qt::white) : SystemColors::primary(palette));
            painter->drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                              painter->fontMetrics().elidedText(e.title, Qt::ElideRight, int(text.width())));
            break;
        }
        }
        painter->restore();
    }

private:
    const Entry& entry(const QModelIndex& index) const {
        static const Entry none;
        const int i = index.data(entryRole).toInt();
        return i >= 0 && i < entries_->size() ? (*entries_)[i] : none;
    }

    const QList<Entry>* entries_;
};

// The sidebar's entries, kept beside the list so the delegate can read them.
class SidebarList : public QListWidget {
public:
    using QListWidget::QListWidget;
    QList<Entry> entries;
};

Entry toolEntry(const Tool& tool, bool dark) {
    return Entry{Entry::Kind::tool, tool.title(), tool, ToolboxView::symbol(tool), ToolboxView::tint(tool, dark)};
}

Entry header(const QString& title) { return Entry{Entry::Kind::header, title, Tool(), QString(), QColor()}; }

}  // namespace

QString ToolboxView::symbol(const Tool& tool) {
    switch (tool.kind) {
    case Tool::Kind::jsonTree: return QStringLiteral("list.bullet.indent");
    case Tool::Kind::password: return QStringLiteral("key.fill");
    case Tool::Kind::qr: return QStringLiteral("qrcode");
    case Tool::Kind::snippets: return QStringLiteral("text.badge.plus");
    case Tool::Kind::transform: break;
    }
    switch (TextTransforms::group(tool.transform)) {
    case TextTransformGroup::caseStyle: return QStringLiteral("textformat");
    case TextTransformGroup::identifiers: return QStringLiteral("curlybraces");
    case TextTransformGroup::whitespace: return QStringLiteral("text.justify.left");
    case TextTransformGroup::lines: return QStringLiteral("list.number");
    case TextTransformGroup::encoding: return QStringLiteral("lock.rotation");
    case TextTransformGroup::json: return QStringLiteral("chevron.left.forwardslash.chevron.right");
    case TextTransformGroup::info: return QStringLiteral("number");
    }
    return {};
}

QColor ToolboxView::tint(const Tool& tool, bool dark) {
    switch (tool.kind) {
    case Tool::Kind::jsonTree: return SystemColors::pink(dark);
    case Tool::Kind::password: return SystemColors::yellow(dark);
    case Tool::Kind::qr: return SystemColors::indigo(dark);
    case Tool::Kind::snippets: return SystemColors::green(dark);
    case Tool::Kind::transform: break;
    }
    switch (TextTransforms::group(tool.transform)) {
    case TextTransformGroup::caseStyle: return SystemColors::blue(dark);
    case TextTransformGroup::identifiers: return SystemColors::purple(dark);
    case TextTransformGroup::whitespace: return SystemColors::teal(dark);
    case TextTransformGroup::lines: return SystemColors::green(dark);
    case TextTransformGroup::encoding: return SystemColors::orange(dark);
    case TextTransformGroup::json: return SystemColors::pink(dark);
    case TextTransformGroup::info: return SystemColors::gray(dark);
    }
    return {};
}

int ToolboxView::sidebarTitleWidth(int rowWidth) {
    return rowWidth - 2 * rowInset - 2 * rowPadding - SidebarGlyph::side - glyphTextGap;
}

int ToolboxView::sidebarStartWidth() {
    const QFontMetrics fm(SystemFont::font(13));
    int longest = 0;
    for (const Entry& e : sidebarEntries(QString(), false)) longest = std::max(longest, fm.horizontalAdvance(e.title));
    // Room for the titles and the list's scroll bar, as far as the detail column allows.
    const int scrollBar = QApplication::style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int needed = longest + (sidebarIdealWidth - sidebarTitleWidth(sidebarIdealWidth)) + scrollBar + 1;
    return std::clamp(needed, int(sidebarIdealWidth), minimumContentWidth - detailMinimumWidth - 1);
}

QList<Tool> ToolboxView::searchResults(const QString& query) {
    QList<Tool> results;
    for (const Tool& tool : fixedTools) {
        if (matches(tool.title(), query)) results.append(tool);
    }
    for (TextTransformGroup group : TextTransforms::allGroups) {
        for (TextTransform t : TextTransforms::transforms(group)) {
            if (matches(TextTransforms::title(t), query)) results.append(Tool::forTransform(t));
        }
    }
    return results;
}

bool ToolboxView::hasSearchResults(const QString& query) { return !searchResults(query).isEmpty(); }

QList<ToolboxView::SidebarEntry> ToolboxView::sidebarEntries(const QString& query, bool dark) {
    QList<Entry> entries;
    if (!query.isEmpty()) {
        entries.append(header(QStringLiteral("Результаты")));
        const QList<Tool> results = searchResults(query);
        for (const Tool& tool : results) entries.append(toolEntry(tool, dark));
        if (results.isEmpty())
            entries.append(Entry{Entry::Kind::note, QStringLiteral("Ничего не найдено"), Tool(), QString(), QColor()});
        return entries;
    }
    entries.append(header(QStringLiteral("Инструменты")));
    for (const Tool& tool : fixedTools) entries.append(toolEntry(tool, dark));
    for (TextTransformGroup group : TextTransforms::allGroups) {
        entries.append(header(TextTransforms::rawValue(group)));
        for (TextTransform t : TextTransforms::transforms(group)) entries.append(toolEntry(Tool::forTransform(t), dark));
    }
    return entries;
}

QWidget* ToolboxView::makePane(const Tool& tool, ToolboxModel& model) {
    switch (tool.kind) {
    case Tool::Kind::transform: return new TransformPane(model);
    case Tool::Kind::jsonTree: return new JSONTreePane(model);
    case Tool::Kind::password: return new PasswordPane;
    case Tool::Kind::qr: return new QRPane(model);
    case Tool::Kind::snippets: return new SnippetsPane;
    }
    return new QWidget;
}

ToolboxView::ToolboxView(ToolboxModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setMinimumSize(minimumContentWidth, minimumContentHeight);
    setAutoFillBackground(true);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* split = new HairlineSplitter(Qt::Horizontal);
    root->addWidget(split);

    // Sidebar: the search field above the list.
    sidebarColumn_ = new QWidget;
    sidebarColumn_->setObjectName(QStringLiteral("toolboxSidebar"));
    sidebarColumn_->setMinimumWidth(sidebarMinimumWidth);
    sidebarColumn_->setMaximumWidth(sidebarMaximumWidth);
    sidebarColumn_->setAutoFillBackground(true);
    auto* sidebarLayout = new QVBoxLayout(sidebarColumn_);
    sidebarLayout->setContentsMargins(0, 10, 0, 10);
    sidebarLayout->setSpacing(8);
    search_ = new QLineEdit;
    search_->setPlaceholderText(QStringLiteral("Поиск"));
    search_->setClearButtonEnabled(true);
    search_->setFont(SystemFont::font(13));
    search_->addAction(QIcon(QPixmap::fromImage(Symbols::image(QStringLiteral("magnifyingglass"), 14,
                                                               SystemColors::secondary(palette())))),
                       QLineEdit::LeadingPosition);
    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(rowInset, 0, rowInset, 0);
    searchRow->addWidget(search_);
    sidebarLayout->addLayout(searchRow);
    auto* list = new SidebarList;
    sidebar_ = list;
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setSelectionMode(QAbstractItemView::SingleSelection);
    sidebar_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sidebar_->setItemDelegate(new SidebarDelegate(&list->entries, sidebar_));
    sidebar_->setAutoFillBackground(false);
    sidebar_->viewport()->setAutoFillBackground(false);
    useSlimScrollBars(sidebar_);
    sidebarLayout->addWidget(sidebar_, 1);
    split->addWidget(sidebarColumn_);

    // Detail: the selected tool's pane.
    detailColumn_ = new QWidget;
    detailColumn_->setObjectName(QStringLiteral("toolboxDetail"));
    detailColumn_->setMinimumWidth(detailMinimumWidth);
    detailLayout_ = new QVBoxLayout(detailColumn_);
    detailLayout_->setContentsMargins(0, 0, 0, 0);
    detailLayout_->setSpacing(0);
    split->addWidget(detailColumn_);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarStartWidth(), minimumContentWidth - sidebarStartWidth()});

    back_ = new QAction(QStringLiteral("Назад"), this);
    back_->setToolTip(QStringLiteral("Назад"));
    forward_ = new QAction(QStringLiteral("Вперёд"), this);
    forward_->setToolTip(QStringLiteral("Вперёд"));
    connect(back_, &QAction::triggered, this, &ToolboxView::goBack);
    connect(forward_, &QAction::triggered, this, &ToolboxView::goForward);

    applyColors();
    rebuildSidebar();
    updateActions();
    present(model_.selection());

    connect(search_, &QLineEdit::textChanged, this, [this] { rebuildSidebar(); });
    connect(sidebar_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        auto* list = static_cast<SidebarList*>(sidebar_);
        const int i = item ? item->data(entryRole).toInt() : -1;
        if (i < 0 || i >= list->entries.size() || list->entries[i].kind != Entry::Kind::tool) return;
        model_.setSelection(list->entries[i].tool);
    });
    connect(&model_, &ToolboxModel::selectionChanged, this, &ToolboxView::selectionChanged);
}

QString ToolboxView::searchQuery() const { return search_->text(); }

void ToolboxView::setSearchQuery(const QString& query) { search_->setText(query); }

void ToolboxView::selectionChanged(const Tool& old, const Tool& now) {
    if (!(old == now)) {
        if (isHistoryJump_) {
            isHistoryJump_ = false;
        } else {
            backStack_.append(old);
            while (backStack_.size() > historyLimit) backStack_.removeFirst();
            forwardStack_.clear();
        }
    }
    updateActions();
    selectRow();
    present(now);
    emit navigationTitleChanged(navigationTitle());
}

void ToolboxView::goBack() {
    if (backStack_.isEmpty()) return;
    const Tool target = backStack_.takeLast();
    forwardStack_.append(model_.selection());
    isHistoryJump_ = true;
    model_.setSelection(target);
}

void ToolboxView::goForward() {
    if (forwardStack_.isEmpty()) return;
    const Tool target = forwardStack_.takeLast();
    backStack_.append(model_.selection());
    isHistoryJump_ = true;
    model_.setSelection(target);
}

void ToolboxView::updateActions() {
    back_->setEnabled(!backStack_.isEmpty());
    forward_->setEnabled(!forwardStack_.isEmpty());
}

void ToolboxView::rebuildSidebar() {
    auto* list = static_cast<SidebarList*>(sidebar_);
    const QSignalBlocker block(sidebar_);
    sidebar_->clear();
    list->entries = sidebarEntries(search_->text(), SystemColors::isDark(palette()));
    for (int i = 0; i < list->entries.size(); ++i) {
        const Entry& e = list->entries[i];
        auto* item = new QListWidgetItem(e.title, sidebar_);
        item->setData(entryRole, i);
        item->setSizeHint(QSize(sidebarIdealWidth, e.kind == Entry::Kind::header ? sidebarHeaderHeight
                                                                                   : sidebarRowHeight));
        if (e.kind != Entry::Kind::tool) item->setFlags(Qt::NoItemFlags);
    }
    selectRow();
}

void ToolboxView::selectRow() {
    auto* list = static_cast<SidebarList*>(sidebar_);
    int row = -1;
    for (int i = 0; i < list->entries.size(); ++i) {
        if (list->entries[i].kind == Entry::Kind::tool && list->entries[i].tool == model_.selection()) row = i;
    }
    const QSignalBlocker block(sidebar_);
    sidebar_->setCurrentRow(row);
    if (row < 0) sidebar_->clearSelection();
    sidebar_->viewport()->update();
}

void ToolboxView::present(const Tool& tool) {
    // One transform pane serves every transform; the other panes start afresh each time.
    if (pane_ && paneTool_ && paneTool_->kind == tool.kind &&
        (tool.kind == Tool::Kind::transform || *paneTool_ == tool))
        return;
    if (pane_) {
        detailLayout_->removeWidget(pane_);
        pane_->hide();
        pane_->deleteLater();
    }
    pane_ = makePane(tool, model_);
    paneTool_ = tool;
    detailLayout_->addWidget(pane_, 1);
}

void ToolboxView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && sidebarColumn_ && !property("applyingColors").toBool()) {
        applyColors();
        rebuildSidebar();  // the glyph tints have light and dark variants
    }
}

void ToolboxView::applyColors() {
    setProperty("applyingColors", true);
    QPalette own = palette();
    own.setColor(QPalette::Window, SystemColors::windowBackground(own));
    setPalette(own);
    QPalette side = sidebarColumn_->palette();
    side.setColor(QPalette::Window, SystemColors::sidebarBackground(own));
    sidebarColumn_->setPalette(side);
    QPalette listPalette = sidebar_->palette();
    listPalette.setColor(QPalette::Base, Qt::transparent);
    sidebar_->setPalette(listPalette);
    setProperty("applyingColors", false);
}
