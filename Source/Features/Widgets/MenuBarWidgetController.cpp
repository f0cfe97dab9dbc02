#include "Source/Features/Widgets/MenuBarWidgetController.h"

#include "Source/Features/Widgets/WidgetManager.h"
#include "Views/Widgets/GroupedWidgetStripView.h"
#include "Views/Widgets/SingleWidgetView.h"
#include "Views/Widgets/TrayWidgetIcon.h"

#include <QGuiApplication>
#include <QPainter>

MenuBarWidgetController& MenuBarWidgetController::shared() {
    static auto* controller = new MenuBarWidgetController(WidgetManager::shared(), StatusBar::system());
    return *controller;
}

MenuBarWidgetController::MenuBarWidgetController(WidgetManager& manager, StatusBar& bar, QObject* parent)
    : QObject(parent), manager_(manager), bar_(bar) {
    connect(&manager_, &WidgetManager::configDidChange, this,
            [this] { pendingRebuild_.schedule(this, rebuildDelay, [this] { rebuild(); }); });
    connect(&manager_, &WidgetManager::valuesChanged, this, &MenuBarWidgetController::redraw);
    connect(&manager_, &WidgetManager::rebuildRequested, this, &MenuBarWidgetController::rebuild);
    // Moved between tray and strip: grouping and drawings differ there.
    connect(&bar_, &StatusBar::appearanceChanged, this, [this] {
        if (grouped_) rebuild();
    });
}

StatusItem* MenuBarWidgetController::item(WidgetType type) const {
    auto it = items_.find(type);
    return it == items_.end() ? nullptr : it->second;
}

void MenuBarWidgetController::createItems() {
    if (grouped_) return;
    // A bar places later items further left: the grouped strip first, then the types from the
    // last to the first, so that they read in declaration order.
    grouped_ = bar_.addItem();
    grouped_->setVisible(false);
    grouped_->setToolTip(QStringLiteral("Quorvin"));
    for (auto it = WidgetTypes::allCases.rbegin(); it != WidgetTypes::allCases.rend(); ++it) {
        StatusItem* single = bar_.addItem();
        single->setVisible(false);
        single->setToolTip(WidgetTypes::title(*it));
        items_[*it] = single;
    }
}

void MenuBarWidgetController::rebuild() {
    pendingRebuild_.cancel();
    createItems();
    const WidgetConfiguration& configuration = manager_.configuration();
    // A tray shows square icons only: one per widget there, whatever the grouping.
    const bool grouped = configuration.isGrouped && !configuration.enabledWidgets.empty() && !inTray();
    for (auto& [type, single] : items_) single->setVisible(!grouped && configuration.enabledWidgets.count(type));
    grouped_->setVisible(grouped);
    redraw();
}

bool MenuBarWidgetController::inTray() const { return bar_.kind() == StatusBar::Kind::tray; }

void MenuBarWidgetController::draw(StatusItem* target, const QString& key, const std::function<void()>& render) {
    auto it = drawn_.find(target);
    if (it != drawn_.end() && it->second == key) return;
    drawn_[target] = key;
    render();
    ++drawCount_;
}

QString MenuBarWidgetController::toolTip(WidgetType type, const QString& value) {
    return WidgetTypes::title(type) + QLatin1Char(' ') + value;
}

void MenuBarWidgetController::redraw() {
    if (!grouped_) return;
    const bool labels = manager_.configuration().showLabels;
    const QColor color = bar_.ink();
    const QColor background = bar_.background();
    const bool tray = inTray();
    const double dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QString style = QString::asprintf("%s|%d|%s|%s|%.2f|", tray ? "tray" : "strip", int(labels),
                                            qPrintable(color.name(QColor::HexArgb)),
                                            qPrintable(background.isValid() ? background.name() : QString()), dpr);
    if (grouped_->isVisible()) {
        const std::vector<GroupedWidgetStripView::Entry> entries = GroupedWidgetStripView::entries(manager_);
        QStringList readings;
        for (const auto& e : entries) readings << toolTip(e.type, e.text);
        grouped_->setToolTip(readings.join(QLatin1Char('\n')));
        QString key = style;
        for (const auto& e : entries) key += WidgetTypes::id(e.type) + QLatin1Char('=') + e.text + QLatin1Char(';');
        draw(grouped_, key, [&] { grouped_->setImage(GroupedWidgetStripView::image(entries, labels, color, dpr)); });
    }
    for (auto& [type, single] : items_) {
        if (!single->isVisible()) continue;
        const WidgetType t = type;
        const QString text = manager_.value(t);
        StatusItem* item = single;
        item->setToolTip(toolTip(t, text));
        if (tray) {
            draw(item, style + text, [&] {
                item->setSquareDrawing(style + text,
                                       [t, text, labels, color, background](QPainter& painter, const QRect& square) {
                                           TrayWidgetIcon::paint(painter, square, t, text, labels, color, background);
                                       });
            });
        } else {
            draw(item, style + text, [&] { item->setImage(SingleWidgetView::image(t, text, labels, color, dpr)); });
        }
    }
}
