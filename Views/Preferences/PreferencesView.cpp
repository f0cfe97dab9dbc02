#include "Views/Preferences/PreferencesView.h"

#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Power/PowerManager.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "Source/Features/Zedi/ZediManager.h"
#include "Views/Preferences/AppearanceSettingsView.h"
#include "Views/Preferences/ClipboardSettingsView.h"
#include "Views/Preferences/CompanionSettingsView.h"
#include "Views/Preferences/DeveloperSettingsView.h"
#include "Views/Preferences/DiskCleanSettingsView.h"
#include "Views/Preferences/GeneralSettingsView.h"
#include "Views/Preferences/HelpSettingsView.h"
#include "Views/Preferences/KeyboardShortcutsView.h"
#include "Views/Preferences/PowerSettingsView.h"
#include "Views/Preferences/SettingsForm.h"
#include "Views/Preferences/ZediSettingsView.h"
#include "Views/Shared/HairlineSplitter.h"
#include "Views/Shared/SidebarGlyph.h"

#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace {

constexpr int tabRole = Qt::UserRole + 1;
constexpr int rowInset = 10;       // between the column's edge and a row's highlight
constexpr int rowPadding = 6;      // between the highlight's edge and the glyph
constexpr int glyphTextGap = 7;
constexpr const char* placeholderName = "placeholderPane";

// One sidebar row: the tab's glyph and title on a rounded highlight when selected.
class SidebarRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        return QSize(option.rect.width() > 0 ? option.rect.width() : PreferencesView::sidebarIdealWidth,
                     PreferencesView::sidebarRowHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const auto tab = static_cast<PreferencesTab>(index.data(tabRole).toInt());
        const QPalette& palette = option.palette;
        const bool dark = SystemColors::isDark(palette);
        const bool selected = option.state & QStyle::State_Selected;
        const bool active = option.state & QStyle::State_Active;

        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const QRectF row = QRectF(option.rect).adjusted(rowInset, 1, -rowInset, -1);
        if (selected) {
            QPainterPath pill;
            pill.addRoundedRect(row, 6, 6);
            painter->fillPath(pill, active ? SystemColors::accent(palette) : SystemColors::quaternary(palette));
        }
        const QRectF glyph(row.left() + rowPadding, row.center().y() - SidebarGlyph::side / 2.0, SidebarGlyph::side,
                           SidebarGlyph::side);
        SidebarGlyph::paint(*painter, glyph, PreferencesTabs::symbol(tab), PreferencesTabs::tint(tab, dark));

        const QRectF text(glyph.right() + glyphTextGap, row.top(), row.right() - glyph.right() - glyphTextGap - rowPadding,
                          row.height());
        painter->setFont(SystemFont::font(13));
        painter->setPen(selected && active ? QColor(Qt::white) : SystemColors::primary(palette));
        const QString title = painter->fontMetrics().elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight,
                                                                int(text.width()));
        painter->drawText(text, Qt::AlignVCenter | Qt::AlignLeft, title);
        painter->restore();
    }
};

// The stand-in of a pane that does not exist yet: the detail shows the title above it and
// nothing else.
QWidget* placeholderPane() {
    auto* pane = new QWidget;
    pane->setObjectName(QString::fromLatin1(placeholderName));
    return pane;
}

}  // namespace

QWidget* PreferencesView::makePane(PreferencesTab tab, const Actions& actions) {
    switch (tab) {
    case PreferencesTab::general: return new GeneralSettingsView(actions.showChangelog);
    case PreferencesTab::appearance: return new AppearanceSettingsView;
    case PreferencesTab::companion: return new CompanionSettingsView;
    case PreferencesTab::clipboard: return new ClipboardSettingsView;
    case PreferencesTab::shortcuts: return new KeyboardShortcutsView(ShortcutManager::shared());
    case PreferencesTab::power: return new PowerSettingsView(PowerManager::shared());
    case PreferencesTab::zedi: return new ZediSettingsView(ZediManager::shared());
    case PreferencesTab::daveRovaz: return new DiskCleanSettingsView;
    case PreferencesTab::help: return new HelpSettingsView;
    case PreferencesTab::developer: return new DeveloperSettingsView;
    }
    return placeholderPane();
}

bool PreferencesView::isPlaceholder(const QWidget* pane) {
    return pane && pane->objectName() == QLatin1String(placeholderName);
}

PreferencesView::PreferencesView(PreferencesRouter& router, Actions actions, QWidget* parent)
    : QWidget(parent), router_(router), actions_(std::move(actions)) {
    setMinimumSize(minimumContentWidth, minimumContentHeight);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* split = new HairlineSplitter(Qt::Horizontal);
    root->addWidget(split);

    // Sidebar.
    sidebarColumn_ = new QWidget;
    sidebarColumn_->setMinimumWidth(sidebarMinimumWidth);
    sidebarColumn_->setMaximumWidth(sidebarMaximumWidth);
    sidebarColumn_->setAutoFillBackground(true);
    applySidebarBackground();
    auto* sidebarLayout = new QVBoxLayout(sidebarColumn_);
    sidebarLayout->setContentsMargins(0, 10, 0, 10);
    sidebar_ = new QListWidget;
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setSelectionMode(QAbstractItemView::SingleSelection);
    sidebar_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sidebar_->setUniformItemSizes(true);
    sidebar_->setItemDelegate(new SidebarRowDelegate(sidebar_));
    sidebar_->setAutoFillBackground(false);
    sidebar_->viewport()->setAutoFillBackground(false);
    {
        QPalette palette = sidebar_->palette();
        palette.setColor(QPalette::Base, Qt::transparent);
        sidebar_->setPalette(palette);
    }
    for (PreferencesTab tab : PreferencesTabs::visible) {
        auto* item = new QListWidgetItem(PreferencesTabs::title(tab), sidebar_);
        item->setData(tabRole, int(tab));
        item->setSizeHint(QSize(sidebarIdealWidth, sidebarRowHeight));
    }
    sidebarLayout->addWidget(sidebar_);
    split->addWidget(sidebarColumn_);

    // Detail: the title above the pane.
    detailColumn_ = new QWidget;
    detailColumn_->setMinimumWidth(detailMinimumWidth);
    auto* detailLayout = new QVBoxLayout(detailColumn_);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    detailLayout->setSpacing(0);
    title_ = new QLabel;
    title_->setFont(SystemFont::font(15, QFont::Bold));
    title_->setFixedHeight(titleBarHeight);
    title_->setContentsMargins(20, 0, 20, 0);
    title_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    detailLayout->addWidget(title_);
    scroll_ = new QScrollArea;
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    detailLayout->addWidget(scroll_, 1);
    split->addWidget(detailColumn_);

    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({sidebarIdealWidth, minimumContentWidth - sidebarIdealWidth});

    // The selection chooses the tab (focus alone may make a row current without selecting it).
    connect(sidebar_, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> selected = sidebar_->selectedItems();
        const int row = selected.isEmpty() ? -1 : sidebar_->row(selected.first());
        if (row < 0 || row >= int(PreferencesTabs::visible.size())) {
            selectRow(router_.selectedTab());  // nothing left selected: show the router's tab again
            return;
        }
        router_.setSelectedTab(PreferencesTabs::visible[size_t(row)]);
    });
    connect(&router_, &PreferencesRouter::selectedTabChanged, this, &PreferencesView::present);
    present(router_.selectedTab());
}

void PreferencesView::applySidebarBackground() {
    QPalette palette = sidebarColumn_->palette();
    palette.setColor(QPalette::Window, SystemColors::sidebarBackground(this->palette()));
    sidebarColumn_->setPalette(palette);
}

void PreferencesView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A change of appearance (light or dark) recolours the sidebar; the rows follow by themselves.
    if ((event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) && sidebarColumn_)
        applySidebarBackground();
}

void PreferencesView::selectRow(PreferencesTab tab) {
    int row = -1;
    for (size_t i = 0; i < PreferencesTabs::visible.size(); ++i) {
        if (PreferencesTabs::visible[i] == tab) row = int(i);
    }
    const QSignalBlocker block(sidebar_);
    sidebar_->setCurrentRow(row);
    if (row < 0) sidebar_->clearSelection();
    sidebar_->viewport()->update();
}

void PreferencesView::present(PreferencesTab tab) {
    selectRow(tab);
    title_->setText(PreferencesTabs::title(tab));
    if (pane_ && shownTab_ == tab) return;
    shownTab_ = tab;
    // The old pane may be the sender of this change: let it go once control has returned.
    if (QWidget* old = scroll_->takeWidget()) {
        old->hide();
        old->deleteLater();
    }
    pane_ = makePane(tab, actions_);
    SettingsForm::makeCheckBoxesLegible(pane_);
    scroll_->setWidget(pane_);
}
