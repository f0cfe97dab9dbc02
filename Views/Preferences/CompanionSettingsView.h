#pragma once

#include "Source/Features/MenuBarPet/PetSpecies.h"

#include <QAbstractButton>
#include <QTimer>
#include <QWidget>

#include <vector>

class PetSettings;
class QCheckBox;
class QLabel;
class ShowAllButton;
class WindowVisibilityReader;

namespace Motion {
class AnimatedValue;
}

// One species in the companion pane's grid: its walking figure at twice its size over its name.
class PetTile : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int imageWidth = 64;
    static constexpr int imageHeight = 40;

    PetTile(const PetSpecies& species, QWidget* parent = nullptr);
    ~PetTile() override;

    const PetSpecies& species() const { return *species_; }
    // The animation clock in eighths of a second; the walk frame shown is tick mod 4.
    void setTick(qint64 tick);
    qint64 tick() const { return tick_; }
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected) { setChecked(selected); }
    // Dims the tile (the pet is switched off).
    void setDimmed(bool dimmed);
    // The image shown for the current tick; null when the species has no walk frames.
    QImage frame() const;
    double hoverLevel() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    const PetSpecies* species_;
    qint64 tick_ = 0;
    bool dimmed_ = false;
    std::unique_ptr<Motion::AnimatedValue> hover_;
};

// The Companion pane: the switch that shows the pet, a grid of animated species tiles to choose
// from (five, or all with "Show All"), and the switch that lets the pet wander between displays.
// It writes the companion settings; the pet follows them.
class CompanionSettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int collapsedCount = 5;
    static constexpr int tileMinimumWidth = 92;
    static constexpr int tileMaximumWidth = 120;
    static constexpr int gridSpacing = 10;
    static constexpr int tickIntervalMs = 125;

    explicit CompanionSettingsView(QWidget* parent = nullptr);
    explicit CompanionSettingsView(PetSettings& settings, QWidget* parent = nullptr);

    QCheckBox* enabledSwitch() const { return enabled_; }
    QCheckBox* wandersSwitch() const { return wanders_; }
    ShowAllButton* showAllButton() const { return showAll_; }
    QWidget* grid() const { return grid_; }
    const std::vector<PetTile*>& tiles() const { return tiles_; }
    bool showsAllPets() const { return showsAllPets_; }
    // The tiles animate: the pet is on and the window shows.
    bool isAnimating() const { return ticker_.isActive(); }
    bool isOnScreen() const { return isOnScreen_; }
    // The tile clock now: the reference date's seconds × 8, truncated.
    static qint64 currentTick();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void build();
    void rebuildTiles();
    void layoutTiles();
    void refreshEnabled();
    void refreshSelection();
    void updateTicker();
    void advance();

    PetSettings& settings_;
    bool isOnScreen_ = false;
    bool showsAllPets_ = false;
    QCheckBox* enabled_ = nullptr;
    QCheckBox* wanders_ = nullptr;
    QLabel* wandersNote_ = nullptr;
    QWidget* grid_ = nullptr;
    ShowAllButton* showAll_ = nullptr;
    WindowVisibilityReader* visibility_ = nullptr;
    std::vector<PetTile*> tiles_;
    QTimer ticker_;
};
