#include "Views/Preferences/AppearanceSettingsView.h"

#include "Platform/Core/NotificationCenter.h"
#include "Platform/Gui/Symbols.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Preferences/AppSettings.h"
#include "Source/Features/Preferences/StatusIcon.h"
#include "Source/Features/Widgets/WidgetManager.h"
#include "Views/Preferences/CollapsedChoices.h"
#include "Views/Preferences/GlassPreview.h"
#include "Views/Preferences/MenuBarPreview.h"
#include "Views/Preferences/SettingsForm.h"
#include "Views/Preferences/StatusIconTile.h"
#include "Views/Preferences/ToneSwatch.h"
#include "Views/Shared/AdaptiveGrid.h"
#include "Views/Shared/PanelGlass.h"
#include "Views/Shared/PanelGlassSettings.h"
#include "Views/Shared/ShowAllButton.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

namespace {

QLabel* centredTitle(const QString& text) {
    auto* label = new QLabel(text);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* symbolImage(const QString& symbol) {
    auto* label = new QLabel;
    label->setPixmap(QPixmap::fromImage(Symbols::image(symbol, 14, SystemColors::secondary(), Symbols::Weight::regular,
                                                       2.0)));
    label->setFixedSize(16, 16);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

// A section whose content sits on its edges (the previews).
QVBoxLayout* flushSection(QVBoxLayout* page, const QString& header, const QString& footer) {
    auto* layout = new QVBoxLayout(SettingsForm::section(page, header, footer));
    layout->setSpacing(8);
    return layout;
}

}  // namespace

AppearanceSettingsView::AppearanceSettingsView(QWidget* parent)
    : AppearanceSettingsView(WidgetManager::shared(), AppSettings::shared(), PanelGlassSettings::shared(), parent) {}

AppearanceSettingsView::AppearanceSettingsView(WidgetManager& widgets, AppSettings& app, PanelGlassSettings& glass,
                                               QWidget* parent)
    : QWidget(parent), widgets_(widgets), app_(app), glass_(glass) {
    QVBoxLayout* page = SettingsForm::page(this);

    // The miniature menu bar.
    QVBoxLayout* preview = flushSection(page, QStringLiteral("Preview"),
                                        QStringLiteral("How your widgets will look in the menu bar."));
    preview->setContentsMargins(0, 0, 0, 0);
    menuBarPreview_ = new MenuBarPreview(widgets_);
    preview->addWidget(menuBarPreview_);

    // The panel's glass.
    QVBoxLayout* panel = flushSection(page, QStringLiteral("Menu Bar Panel"),
                                      QStringLiteral("How much of the desktop shows through the panel. Changes apply "
                                                     "right away."));
    panel->setContentsMargins(0, 0, 0, 0);
    glassPreview_ = new GlassPreview(glass_.tint.value(), glass_.tone.value());
    auto* glassBox = new QVBoxLayout;
    glassBox->setContentsMargins(0, 0, 0, 0);
    glassBox->addWidget(glassPreview_);
    panel->addLayout(glassBox);

    auto* sliderRow = new QWidget;
    auto* sliderLayout = new QHBoxLayout(sliderRow);
    sliderLayout->setContentsMargins(0, 0, 0, 0);
    sliderLayout->setSpacing(8);
    sliderLayout->addWidget(symbolImage(QStringLiteral("circle.dotted")));
    slider_ = new QSlider(Qt::Horizontal);
    slider_->setRange(0, sliderSteps);
    slider_->setPageStep(50);
    slider_->setFixedWidth(200);
    slider_->setAccessibleName(QStringLiteral("Glass"));
    sliderLayout->addWidget(slider_);
    sliderLayout->addWidget(symbolImage(QStringLiteral("circle.fill")));
    percent_ = SettingsForm::secondaryLabel(QString());
    percent_->setFont(SystemFont::monospacedDigits(12));
    percent_->setFixedWidth(36);
    percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    sliderLayout->addWidget(percent_);
    auto* glassRows = new QVBoxLayout;
    glassRows->setContentsMargins(12, 4, 12, 8);
    glassRows->setSpacing(8);
    glassRows->addWidget(SettingsForm::labelledRow(
        SettingsForm::titleLabel(QStringLiteral("Glass"), QStringLiteral("From see-through to solid")), sliderRow));
    // Written while dragged: every surface reading the tint follows at once.
    connect(slider_, &QSlider::valueChanged, this,
            [this](int value) { glass_.tint.set(maximumTint * value / double(sliderSteps)); });

    auto* swatchRow = new QWidget;
    auto* swatchLayout = new QHBoxLayout(swatchRow);
    swatchLayout->setContentsMargins(0, 0, 0, 0);
    swatchLayout->setSpacing(7);
    for (PanelGlass::Tone tone : PanelGlass::allTones()) {
        auto* swatch = new ToneSwatch(tone);
        swatches_.push_back(swatch);
        swatchLayout->addWidget(swatch);
        connect(swatch, &QAbstractButton::clicked, this, [this, tone] {
            glass_.tone.set(PanelGlass::rawValue(tone));
            showGlass();
        });
    }
    QWidget* toneLabel = SettingsForm::titleLabel(QStringLiteral("Tone"), QStringLiteral("System"));
    toneNote_ = toneLabel->findChild<QLabel*>(QStringLiteral("note"));
    glassRows->addWidget(SettingsForm::labelledRow(toneLabel, swatchRow));

    reset_ = new QPushButton(QStringLiteral("Reset to Default"));
    auto* resetRow = new QHBoxLayout;
    resetRow->addWidget(reset_);
    resetRow->addStretch(1);
    glassRows->addLayout(resetRow);
    panel->addLayout(glassRows);
    connect(reset_, &QPushButton::clicked, this, [this] {
        glass_.tint.set(defaultTint);
        glass_.tone.set(QStringLiteral("system"));
    });

    // The status item's icon.
    auto* icons = new QVBoxLayout(SettingsForm::section(page, QString()));
    icons->addWidget(centredTitle(QStringLiteral("Menu bar icon")));
    grid_ = new AdaptiveGrid(40, 48, 8, 8);
    icons->addSpacing(4);
    icons->addWidget(grid_);
    icons->addSpacing(4);
    const int choices = int(StatusIcon::all().size());
    if (choices > collapsedIconCount) {
        showAll_ = new ShowAllButton(false, choices, QStringLiteral("Icons"));
        icons->addWidget(showAll_, 0, Qt::AlignHCenter);
        connect(showAll_, &ShowAllButton::isExpandedChanged, this, [this](bool expanded) {
            showsAllIcons_ = expanded;
            buildIconGrid();
        });
    }

    // Which readings show in the menu bar.
    auto* widgetRows = new QVBoxLayout(SettingsForm::section(page, QString()));
    widgetRows->addWidget(centredTitle(QStringLiteral("Menu bar widgets")));
    const bool dark = SystemColors::isDark(palette());
    for (WidgetType type : WidgetTypes::allCases) {
        QString note;
        QString symbol;
        switch (type) {
        case WidgetType::cpu: symbol = QStringLiteral("cpu"); break;
        case WidgetType::gpu: symbol = QStringLiteral("cube.transparent"); break;
        case WidgetType::memory: symbol = QStringLiteral("memorychip"); break;
        case WidgetType::disk: symbol = QStringLiteral("internaldrive"); break;
        case WidgetType::network:
            symbol = QStringLiteral("globe");
            note = QStringLiteral("Current download rate.");
            break;
        case WidgetType::temperature:
            symbol = QStringLiteral("thermometer.medium");
            note = QStringLiteral("Hottest die sensor on the chip. Apple Silicon doesn't name separate CPU and GPU "
                                  "sensors, so this is a single SoC figure.");
            break;
        }
        auto* toggle = new QCheckBox;
        toggle->setAccessibleName(WidgetTypes::title(type));
        widgetToggles_[type] = toggle;
        widgetRows->addWidget(SettingsForm::labelledRow(
            SettingsForm::symbolLabel(symbol, WidgetTypes::title(type), note, WidgetTypes::color(type, dark)), toggle));
        // Whatever the switch says, the type flips; the bar is rebuilt at once, not after the delay.
        connect(toggle, &QCheckBox::clicked, this, [this, type] {
            widgets_.toggleWidget(type);
            widgets_.requestRebuild();
            showWidgets();
        });
    }

    // How the widgets are drawn.
    auto* style = new QVBoxLayout(SettingsForm::section(
        page, QStringLiteral("Style"),
        QStringLiteral("Grouping draws all widgets on one background so they read as a single item rather than "
                       "competing with the other icons in your menu bar.")));
    style->addWidget(SettingsForm::toggleRow(QStringLiteral("textformat"), QStringLiteral("Show labels"),
                                             QStringLiteral("Display the short name (CPU, MEM…) next to each value"),
                                             &labels_));
    style->addWidget(SettingsForm::toggleRow(QStringLiteral("rectangle.3.group"),
                                             QStringLiteral("Group widgets together"),
                                             QStringLiteral("Combine every widget into one strip"), &group_));
    connect(labels_, &QCheckBox::toggled, this, [this](bool on) { widgets_.setShowLabels(on); });
    connect(group_, &QCheckBox::toggled, this, [this](bool on) { widgets_.setGrouped(on); });

    page->addStretch(1);

    connect(&glass_.tint, &SettingBase::changed, this, &AppearanceSettingsView::showGlass);
    connect(&glass_.tone, &SettingBase::changed, this, &AppearanceSettingsView::showGlass);
    connect(&app_.statusIcon, &SettingBase::changed, this, &AppearanceSettingsView::buildIconGrid);
    connect(&widgets_, &WidgetManager::configDidChange, this, &AppearanceSettingsView::showWidgets);
    buildIconGrid();
    showGlass();
    showWidgets();
}

QString AppearanceSettingsView::percentText(double tint) {
    if (!std::isfinite(tint * 100)) tint = defaultTint;
    return QString::asprintf("%lld", std::llround(tint * 100)) + QLatin1Char('%');
}

bool AppearanceSettingsView::isAtDefault(double tint, const QString& storedTone) {
    return std::abs(tint - defaultTint) < 0.005 && storedTone == QLatin1String("system");
}

QStringList AppearanceSettingsView::shownIconIDs() const {
    QStringList ids;
    for (QWidget* item : grid_->items()) ids << static_cast<StatusIconTile*>(item)->id();
    return ids;
}

QString AppearanceSettingsView::selectedIconID() const {
    for (QWidget* item : grid_->items()) {
        auto* tile = static_cast<StatusIconTile*>(item);
        if (tile->isSelected()) return tile->id();
    }
    return {};
}

void AppearanceSettingsView::buildIconGrid() {
    const QString selected = app_.statusIcon.value();
    const std::vector<StatusIcon> shown = collapsedChoices(StatusIcon::all(), collapsedIconCount, selected,
                                                           showsAllIcons_, [](const StatusIcon& i) { return i.id(); });
    // Tiles already made for the choices still shown are kept (their hover and press states too).
    std::map<QString, StatusIconTile*> existing;
    for (QWidget* item : grid_->items()) {
        auto* tile = static_cast<StatusIconTile*>(item);
        existing[tile->id()] = tile;
    }
    const double dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QList<QWidget*> tiles;
    for (const StatusIcon& icon : shown) {
        const QString id = icon.id();
        StatusIconTile* tile = nullptr;
        if (auto it = existing.find(id); it != existing.end()) {
            tile = it->second;
        } else {
            const QString tip = icon.kind() == StatusIcon::Kind::symbol ? icon.name() : QStringLiteral("Quorvin");
            tile = new StatusIconTile(id, icon.image(std::max(dpr, 2.0)), tip);
            connect(tile, &QAbstractButton::clicked, this, [this, id] { chooseIcon(id); });
        }
        tiles << tile;
    }
    grid_->setItems(tiles);
    showIconSelection();
}

void AppearanceSettingsView::showIconSelection() {
    const QString selected = app_.statusIcon.value();
    for (QWidget* item : grid_->items()) {
        auto* tile = static_cast<StatusIconTile*>(item);
        tile->setSelected(tile->id() == selected);
    }
}

void AppearanceSettingsView::chooseIcon(const QString& id) {
    // A new choice is posted as statusIconDidChange by the setting itself; the same choice again
    // changes no setting, so it is posted here.
    const bool changes = app_.statusIcon.value() != id;
    app_.statusIcon.set(id);
    if (!changes) NotificationCenter::defaultCenter().post(Notification::statusIconDidChange);
    showIconSelection();
}

void AppearanceSettingsView::showGlass() {
    const double tint = glass_.tint.value();
    const QString tone = glass_.tone.value();
    {
        const QSignalBlocker block(slider_);
        const double clamped = std::isfinite(tint) ? std::clamp(tint, 0.0, maximumTint) : defaultTint;
        slider_->setValue(int(std::lround(clamped / maximumTint * sliderSteps)));
    }
    percent_->setText(percentText(tint));
    const PanelGlass::Tone effective = PanelGlass::effectiveTone(tone);
    toneNote_->setText(ToneSwatch::displayName(effective));
    for (ToneSwatch* swatch : swatches_) swatch->setSelected(swatch->tone() == effective);
    reset_->setEnabled(!isAtDefault(tint, tone));
    glassPreview_->setGlass(tint, tone);
}

void AppearanceSettingsView::showWidgets() {
    const WidgetConfiguration& configuration = widgets_.configuration();
    for (auto& [type, toggle] : widgetToggles_) toggle->setChecked(configuration.enabledWidgets.count(type) > 0);
    const QSignalBlocker blockLabels(labels_);
    const QSignalBlocker blockGroup(group_);
    labels_->setChecked(configuration.showLabels);
    group_->setChecked(configuration.isGrouped);
    group_->setEnabled(configuration.enabledWidgets.size() >= 2);
}
