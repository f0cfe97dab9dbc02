#pragma once

#include "Source/Features/Widgets/WidgetType.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <map>
#include <vector>

class AdaptiveGrid;
class AppSettings;
class GlassPreview;
class MenuBarPreview;
class PanelGlassSettings;
class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;
class ShowAllButton;
class ToneSwatch;
class WidgetManager;

// The Appearance pane: the panel glass's strength and tone over a live preview, the status item's
// icon, which readings the menu bar shows as widgets and how, over a live miniature menu bar.
// Every control writes its setting (or the widget configuration) at once; the menu panel and the
// bar follow from there.
class AppearanceSettingsView : public QWidget {
    Q_OBJECT
public:
    static constexpr int collapsedIconCount = 13;
    static constexpr double defaultTint = 0.55;
    static constexpr double maximumTint = 0.9;
    static constexpr int sliderSteps = 900;  // the slider's positions from 0 to the maximum

    explicit AppearanceSettingsView(QWidget* parent = nullptr);
    AppearanceSettingsView(WidgetManager& widgets, AppSettings& app, PanelGlassSettings& glass,
                           QWidget* parent = nullptr);

    // The tint as a whole percentage ("55%"), halves away from zero; the default's for a value
    // that is not a finite number.
    static QString percentText(double tint);
    // "Reset to Default" has nothing to do: the tint within 0.005 of the default and the stored
    // tone exactly "system".
    static bool isAtDefault(double tint, const QString& storedTone);

    MenuBarPreview* menuBarPreview() const { return menuBarPreview_; }
    GlassPreview* glassPreview() const { return glassPreview_; }
    QSlider* glassSlider() const { return slider_; }
    QLabel* percentLabel() const { return percent_; }
    QLabel* toneNote() const { return toneNote_; }
    const std::vector<ToneSwatch*>& swatches() const { return swatches_; }
    QPushButton* resetButton() const { return reset_; }
    AdaptiveGrid* iconGrid() const { return grid_; }
    ShowAllButton* showAllButton() const { return showAll_; }
    // The ids of the icon tiles shown, in order, and the selected one (empty when none is).
    QStringList shownIconIDs() const;
    QString selectedIconID() const;
    QCheckBox* widgetToggle(WidgetType type) const { return widgetToggles_.at(type); }
    QCheckBox* labelsToggle() const { return labels_; }
    QCheckBox* groupToggle() const { return group_; }

private:
    void buildIconGrid();
    void showIconSelection();
    void chooseIcon(const QString& id);
    void showGlass();
    void showWidgets();

    WidgetManager& widgets_;
    AppSettings& app_;
    PanelGlassSettings& glass_;
    bool showsAllIcons_ = false;

    MenuBarPreview* menuBarPreview_ = nullptr;
    GlassPreview* glassPreview_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* percent_ = nullptr;
    QLabel* toneNote_ = nullptr;
    std::vector<ToneSwatch*> swatches_;
    QPushButton* reset_ = nullptr;
    AdaptiveGrid* grid_ = nullptr;
    ShowAllButton* showAll_ = nullptr;
    std::map<WidgetType, QCheckBox*> widgetToggles_;
    QCheckBox* labels_ = nullptr;
    QCheckBox* group_ = nullptr;
};
