#include "Views/Preferences/CompanionSettingsView.h"

#include "Platform/Core/Clock.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/MenuBarPet/PetSettings.h"
#include "Source/Features/MenuBarPet/PetSprite.h"
#include "Views/Preferences/CollapsedChoices.h"
#include "Views/Preferences/SettingsForm.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/PressableButtonStyle.h"
#include "Views/Shared/ShowAllButton.h"
#include "Views/Shared/WindowVisibilityReader.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

namespace {

constexpr int kTilePadding = 10;
constexpr int kTileSpacing = 6;
constexpr double kCorner = 10;
constexpr double kCaptionSize = 11;

QFont captionFont() { return SystemFont::font(kCaptionSize); }

// A switch with a title over a secondary line.
QWidget* switchRow(QCheckBox* box, const QString& subtitle, QLabel** note = nullptr) {
    auto* row = new QWidget;
    auto* column = new QVBoxLayout(row);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    column->addWidget(box);
    auto* label = new QLabel(subtitle);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    font.setPointSizeF(font.pointSizeF() * 0.9);
    label->setFont(font);
    // Lined up with the switch's title.
    label->setContentsMargins(box->style()->pixelMetric(QStyle::PM_IndicatorWidth) + 6, 0, 0, 0);
    column->addWidget(label);
    if (note) *note = label;
    return row;
}

// The tiles' area: lays its children out as a centred grid of adaptive columns.
class TileGrid : public QWidget {
public:
    std::function<void()> onResize;
    std::function<int(int)> heightFor;
    // Its height follows the width through the minimum height set at each layout.
    int heightForWidth(int w) const override { return heightFor ? heightFor(w) : 0; }
    QSize sizeHint() const override { return QSize(400, minimumHeight()); }
    QSize minimumSizeHint() const override { return QSize(CompanionSettingsView::tileMinimumWidth, 0); }

protected:
    void resizeEvent(QResizeEvent*) override {
        if (onResize) onResize();
    }
};

int tileHeight() { return kTilePadding + PetTile::imageHeight + kTileSpacing + QFontMetrics(captionFont()).height() + kTilePadding; }

struct GridGeometry {
    int columns = 1;
    int tileWidth = CompanionSettingsView::tileMinimumWidth;
    int left = 0;
};

GridGeometry gridGeometry(int width) {
    const int spacing = CompanionSettingsView::gridSpacing;
    GridGeometry g;
    g.columns = std::max(1, (width + spacing) / (CompanionSettingsView::tileMinimumWidth + spacing));
    g.tileWidth = std::min(CompanionSettingsView::tileMaximumWidth, (width - (g.columns - 1) * spacing) / g.columns);
    g.tileWidth = std::max(g.tileWidth, 1);
    const int used = g.columns * g.tileWidth + (g.columns - 1) * spacing;
    g.left = std::max(0, (width - used) / 2);
    return g;
}

}  // namespace

// PetTile

PetTile::PetTile(const PetSpecies& species, QWidget* parent) : QAbstractButton(parent), species_(&species) {
    setCheckable(true);
    setAutoExclusive(false);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(species.name);
    setToolTip(species.name);
    hover_ = std::make_unique<Motion::AnimatedValue>(this, 0.0, [this] { update(); });
    PressableButtonStyle::apply(this, 0.96);
}

PetTile::~PetTile() = default;

double PetTile::hoverLevel() const { return hover_->value(); }

void PetTile::setTick(qint64 tick) {
    if (tick_ == tick) return;
    const QImage before = frame();
    tick_ = tick;
    if (frame().cacheKey() != before.cacheKey()) update();
}

void PetTile::setDimmed(bool dimmed) {
    if (dimmed_ == dimmed) return;
    dimmed_ = dimmed;
    update();
}

QImage PetTile::frame() const {
    const QList<QImage>& frames = PetSprite::frames(PetSprite::Animation::walk, *species_);
    if (frames.isEmpty()) return {};
    const qint64 n = frames.size();
    return frames[int(((tick_ % n) + n) % n)];
}

QSize PetTile::sizeHint() const { return QSize(CompanionSettingsView::tileMinimumWidth, tileHeight()); }

void PetTile::enterEvent(QEnterEvent* event) {
    QAbstractButton::enterEvent(event);
    hover_->animateTo(1.0, Motion::state());
}

void PetTile::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    hover_->animateTo(0.0, Motion::state());
}

void PetTile::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (dimmed_) painter.setOpacity(0.5);
    const QPalette& palette = this->palette();
    const bool selected = isSelected();
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCorner, kCorner);
    const QColor fill = selected ? SystemColors::withOpacity(SystemColors::accent(palette), 0.18)
                                 : SystemColors::withOpacity(SystemColors::primary(palette), 0.04 + 0.03 * hoverLevel());
    painter.fillPath(shape, fill);
    if (selected) {
        QPainterPath border;
        border.addRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), kCorner - 0.75, kCorner - 0.75);
        painter.setPen(QPen(SystemColors::accent(palette), 1.5));
        painter.drawPath(border);
    }
    int y = kTilePadding;
    const QImage image = frame();
    if (!image.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(QRect((width() - imageWidth) / 2, y, imageWidth, imageHeight), image);
        y += imageHeight + kTileSpacing;
    }
    painter.setFont(captionFont());
    painter.setPen(selected ? SystemColors::primary(palette) : SystemColors::secondary(palette));
    const QFontMetrics metrics(captionFont());
    const QString name = metrics.elidedText(species_->name, Qt::ElideRight, width() - 8);
    painter.drawText(QRect(0, y, width(), metrics.height()), Qt::AlignHCenter | Qt::AlignVCenter, name);
}

// CompanionSettingsView

CompanionSettingsView::CompanionSettingsView(QWidget* parent) : CompanionSettingsView(PetSettings::shared(), parent) {}

CompanionSettingsView::CompanionSettingsView(PetSettings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    ticker_.setInterval(tickIntervalMs);
    ticker_.setTimerType(Qt::CoarseTimer);
    connect(&ticker_, &QTimer::timeout, this, &CompanionSettingsView::advance);
    build();
}

qint64 CompanionSettingsView::currentTick() {
    return qint64(std::trunc(ReferenceDate::seconds(Clock::shared().now()) * 8));
}

void CompanionSettingsView::build() {
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(20, 20, 20, 20);
    page->setSpacing(6);

    // The switch.
    auto* showBox = SettingsForm::section(page, QString());
    auto* showLayout = new QVBoxLayout(showBox);
    enabled_ = new QCheckBox(QStringLiteral("Show a pet in the menu bar"));
    showLayout->addWidget(switchRow(enabled_, QStringLiteral("It walks the empty stretch of the bar and never takes a click")));
    enabled_->setChecked(settings_.enabled.value());
    connect(enabled_, &QCheckBox::toggled, this, [this](bool on) { settings_.enabled.set(on); });
    connect(&settings_.enabled, &SettingBase::changed, this, &CompanionSettingsView::refreshEnabled);

    // The species.
    auto* speciesBox = SettingsForm::section(page, QString());
    auto* speciesLayout = new QVBoxLayout(speciesBox);
    speciesLayout->setContentsMargins(10, 4, 10, 8);
    auto* grid = new TileGrid;
    grid->heightFor = [this](int width) {
        const int columns = gridGeometry(width).columns;
        const int rows = (int(tiles_.size()) + columns - 1) / columns;
        return rows <= 0 ? 0 : 4 + rows * tileHeight() + (rows - 1) * gridSpacing + 4;
    };
    grid->onResize = [this] { layoutTiles(); };
    grid_ = grid;
    speciesLayout->addWidget(grid_);
    showAll_ = new ShowAllButton(false, int(PetSpecies::all().size()), QStringLiteral("Pets"));
    speciesLayout->addWidget(showAll_, 0, Qt::AlignHCenter);
    connect(showAll_, &ShowAllButton::isExpandedChanged, this, [this](bool expanded) {
        showsAllPets_ = expanded;
        rebuildTiles();
    });
    connect(&settings_.species, &SettingBase::changed, this, &CompanionSettingsView::rebuildTiles);

    // Behaviour.
    auto* behaviourBox = SettingsForm::section(
        page, QStringLiteral("Behaviour"),
        QStringLiteral("A busy CPU makes it run, an idle Mac puts it to sleep. Wandering needs “Displays have separate "
                       "Spaces” in Desktop & Dock settings — otherwise only one screen has a menu bar."));
    auto* behaviourLayout = new QVBoxLayout(behaviourBox);
    wanders_ = new QCheckBox(QStringLiteral("Wander between displays"));
    behaviourLayout->addWidget(switchRow(wanders_,
                                         QStringLiteral("It gets curious about the screen you have been working on and "
                                                        "may puff over to it — on its own time, not every time you switch"),
                                         &wandersNote_));
    wanders_->setChecked(settings_.wanders.value());
    connect(wanders_, &QCheckBox::toggled, this, [this](bool on) { settings_.wanders.set(on); });
    connect(&settings_.wanders, &SettingBase::changed, this, [this] {
        const QSignalBlocker block(wanders_);
        wanders_->setChecked(settings_.wanders.value());
    });
    page->addStretch(1);

    visibility_ = new WindowVisibilityReader(&isOnScreen_, this);
    connect(visibility_, &WindowVisibilityReader::isVisibleChanged, this, &CompanionSettingsView::updateTicker);

    rebuildTiles();
    refreshEnabled();
}

void CompanionSettingsView::rebuildTiles() {
    const QString selected = settings_.species.value();
    const std::vector<PetSpecies> shown = collapsedChoices(PetSpecies::all(), collapsedCount, selected, showsAllPets_,
                                                           [](const PetSpecies& s) { return s.id; });
    std::vector<PetTile*> tiles;
    const qint64 tick = tiles_.empty() ? currentTick() : tiles_.front()->tick();
    for (const PetSpecies& s : shown) {
        const PetSpecies& species = PetSpecies::named(s.id);
        auto existing = std::find_if(tiles_.begin(), tiles_.end(), [&](PetTile* t) { return t->species().id == s.id; });
        PetTile* tile;
        if (existing != tiles_.end()) {
            tile = *existing;
            tiles_.erase(existing);
        } else {
            tile = new PetTile(species, grid_);
            tile->setTick(tick);
            const QString id = species.id;
            connect(tile, &QAbstractButton::clicked, this, [this, id] {
                settings_.species.set(id);
                refreshSelection();  // clicking the chosen one again keeps it chosen
            });
        }
        tiles.push_back(tile);
    }
    for (PetTile* gone : tiles_) delete gone;
    tiles_ = std::move(tiles);
    refreshSelection();
    refreshEnabled();
    layoutTiles();
    for (PetTile* tile : tiles_) tile->show();
}

void CompanionSettingsView::layoutTiles() {
    if (!grid_) return;
    const GridGeometry g = gridGeometry(grid_->width());
    const int h = tileHeight();
    for (size_t i = 0; i < tiles_.size(); ++i) {
        const int row = int(i) / g.columns, column = int(i) % g.columns;
        tiles_[i]->setGeometry(g.left + column * (g.tileWidth + gridSpacing), 4 + row * (h + gridSpacing), g.tileWidth, h);
    }
    const int height = grid_->heightForWidth(grid_->width());
    if (grid_->minimumHeight() != height) grid_->setMinimumHeight(height);
}

void CompanionSettingsView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutTiles();
}

void CompanionSettingsView::refreshSelection() {
    const QString selected = settings_.species.value();
    for (PetTile* tile : tiles_) tile->setSelected(tile->species().id == selected);
}

void CompanionSettingsView::refreshEnabled() {
    const bool on = settings_.enabled.value();
    {
        const QSignalBlocker block(enabled_);
        enabled_->setChecked(on);
    }
    grid_->setEnabled(on);
    for (PetTile* tile : tiles_) tile->setDimmed(!on);
    showAll_->setEnabled(on);
    wanders_->setEnabled(on);
    if (wandersNote_) wandersNote_->setEnabled(on);
    updateTicker();
}

void CompanionSettingsView::updateTicker() {
    const bool run = settings_.enabled.value() && isOnScreen_;
    if (run == ticker_.isActive()) return;
    if (run) {
        advance();
        ticker_.start();
    } else {
        ticker_.stop();
    }
}

void CompanionSettingsView::advance() {
    const qint64 tick = currentTick();
    for (PetTile* tile : tiles_) tile->setTick(tick);
}
