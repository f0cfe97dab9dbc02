#include "Views/Onboarding/ChangelogView.h"

#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Onboarding/ChangelogSelection.h"
#include "Source/Features/Onboarding/PixelScene.h"
#include "Source/Features/Updates/UpdateManager.h"
#include "Views/Onboarding/ReleaseDetail.h"

#include <QLabel>
#include <QListWidget>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int versionRole = Qt::UserRole + 1;

QWidget* makePlaceholder() {
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("ChangelogPlaceholder"));
    auto* layout = new QVBoxLayout(page);
    layout->addStretch(1);
    auto* symbol = new QLabel;
    symbol->setPixmap(QPixmap::fromImage(Symbols::image(QStringLiteral("doc.text"), 40,
                                                        SystemColors::secondary(page->palette()),
                                                        Symbols::Weight::regular, page->devicePixelRatioF())));
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    auto* title = new QLabel(QStringLiteral("No release notes yet"));
    title->setObjectName(QStringLiteral("PlaceholderTitle"));
    title->setFont(SystemFont::font(22, QFont::Bold));
    layout->addSpacing(8);
    layout->addWidget(title, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    return page;
}

}  // namespace

ChangelogView::ChangelogView(ChangelogSelection& selection, UpdateManager& updates, QWidget* parent)
    : QWidget(parent), selection_(selection), updates_(updates) {
    setObjectName(QStringLiteral("ChangelogView"));
    setMinimumSize(minimumWidth, minimumHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    splitter_ = new QSplitter(Qt::Horizontal);
    splitter_->setChildrenCollapsible(false);
    layout->addWidget(splitter_);

    sidebar_ = new QListWidget;
    sidebar_->setObjectName(QStringLiteral("ChangelogSidebar"));
    sidebar_->setMinimumWidth(sidebarMinimumWidth);
    sidebar_->setMaximumWidth(sidebarWidth);
    sidebar_->setSelectionMode(QAbstractItemView::SingleSelection);
    sidebar_->setFrameShape(QFrame::NoFrame);
    sidebar_->setIconSize(QSize(16, 16));
    sidebar_->setFont(SystemFont::font(13));
    sidebar_->setSpacing(1);
    splitter_->addWidget(sidebar_);

    stack_ = new QStackedWidget;
    placeholder_ = makePlaceholder();
    stack_->addWidget(placeholder_);
    splitter_->addWidget(stack_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({sidebarWidth, minimumWidth - sidebarWidth});

    // A click stores the row's version.
    connect(sidebar_, &QListWidget::itemSelectionChanged, this, [this] {
        if (syncing_) return;
        const QList<QListWidgetItem*> chosen = sidebar_->selectedItems();
        if (chosen.isEmpty()) return;
        selection_.setVersion(chosen.front()->data(versionRole).toString());
    });
    connect(&selection_, &ChangelogSelection::versionChanged, this, [this] {
        syncSidebarSelection();
        showSelected();
    });
    connect(&updates_, &UpdateManager::releasesChanged, this, [this] {
        rebuildList();
        showSelected();
    });
    rebuildList();
    showSelected();
}

std::optional<Release> ChangelogView::selected() const {
    return ChangelogSelection::selected(updates_.releases(), selection_.version());
}

QString ChangelogView::navigationTitle() const {
    return shown_ ? QStringLiteral("Quorvin v") + shown_->version : QString();
}

QString ChangelogView::navigationSubtitle() const { return shown_ ? shown_->date : QString(); }

void ChangelogView::rebuildList() {
    syncing_ = true;
    sidebar_->clear();
    const auto glyph = [this](const QColor& colour) {
        return QPixmap::fromImage(Symbols::image(QStringLiteral("checkmark.circle"), 16, colour,
                                                 Symbols::Weight::regular, devicePixelRatioF()));
    };
    QIcon mark(glyph(SystemColors::accent(palette())));
    mark.addPixmap(glyph(palette().color(QPalette::HighlightedText)), QIcon::Selected);
    for (const Release& release : updates_.releases()) {
        auto* item = new QListWidgetItem(mark, QStringLiteral("v") + release.version, sidebar_);
        item->setData(versionRole, release.version);
        item->setSizeHint(QSize(0, 28));
    }
    syncing_ = false;
    syncSidebarSelection();
}

void ChangelogView::syncSidebarSelection() {
    syncing_ = true;
    sidebar_->clearSelection();
    const std::optional<QString>& version = selection_.version();
    for (int i = 0; version && i < sidebar_->count(); ++i) {
        QListWidgetItem* item = sidebar_->item(i);
        if (item->data(versionRole).toString() != *version) continue;
        item->setSelected(true);
        sidebar_->setCurrentItem(item, QItemSelectionModel::NoUpdate);
        sidebar_->scrollToItem(item);
        break;
    }
    syncing_ = false;
}

void ChangelogView::showSelected() {
    std::optional<Release> release = selected();
    std::optional<PixelScene::Theme> scene;
    if (release) scene = PixelScene::Theme::forVersion(release->version, updates_.releases());
    // The same release in the same landscape keeps its detail (scroll position and banner).
    if (release == shown_ && scene == shownScene_ && (detail_ != nullptr) == release.has_value()) return;
    shown_ = std::move(release);
    shownScene_ = std::move(scene);
    if (detail_) {
        stack_->removeWidget(detail_);
        detail_->deleteLater();
        detail_ = nullptr;
    }
    if (shown_) {
        detail_ = new ReleaseDetail(*shown_, *shownScene_);
        stack_->addWidget(detail_);
        stack_->setCurrentWidget(detail_);
    } else {
        stack_->setCurrentWidget(placeholder_);
    }
    emit navigationTitleChanged();
}
