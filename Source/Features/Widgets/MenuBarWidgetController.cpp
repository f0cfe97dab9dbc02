#include "Source/Features/Widgets/MenuBarWidgetController.h"

#include "Source/Features/Widgets/WidgetManager.h"
#include "Views/Widgets/GroupedWidgetStripView.h"
#include "Views/Widgets/SingleWidgetView.h"

#include <QGuiApplication>
#include <QPalette>

MenuBarWidgetController& MenuBarWidgetController::shared() {
    static auto* controller = new MenuBarWidgetController(WidgetManager::shared(), StatusBar::system());
    return *controller;
}

MenuBarWidgetController::MenuBarWidgetController(WidgetManager& manager, StatusBar& bar, QObject* parent)
    : QObject(parent), manager_(manager), bar_(bar) {
    connect(&manager_, &WidgetManager::configDidChange, this,
            [this] { pendingRebuild_.schedule(this, rebuildDelay, [this] { rebuild(); }); });
    connect(&manager_, &WidgetManager::valuesChanged, this, &MenuBarWidgetController::redraw);
}

QColor MenuBarWidgetController::ink(StatusBar::Kind kind) {
    if (kind == StatusBar::Kind::strip) return QColor(Qt::white);
    return QGuiApplication::palette().color(QPalette::WindowText);
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
    const bool grouped = configuration.isGrouped && !configuration.enabledWidgets.empty();
    for (auto& [type, single] : items_) single->setVisible(!grouped && configuration.enabledWidgets.count(type));
    grouped_->setVisible(grouped);
    redraw();
}

void MenuBarWidgetController::draw(StatusItem* target, const QString& key, const std::function<QImage()>& render) {
    auto it = drawn_.find(target);
    if (it != drawn_.end() && it->second == key) return;
    drawn_[target] = key;
    target->setImage(render());
    ++drawCount_;
}

void MenuBarWidgetController::redraw() {
    if (!grouped_) return;
    const bool labels = manager_.configuration().showLabels;
    const QColor color = ink(bar_.kind());
    const double dpr = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    const QString style = QString::asprintf("%d|%s|%.2f|", int(labels), qPrintable(color.name(QColor::HexArgb)), dpr);
    if (grouped_->isVisible()) {
        const std::vector<GroupedWidgetStripView::Entry> entries = GroupedWidgetStripView::entries(manager_);
        QString key = style;
        for (const auto& e : entries) key += WidgetTypes::id(e.type) + QLatin1Char('=') + e.text + QLatin1Char(';');
        draw(grouped_, key, [&] { return GroupedWidgetStripView::image(entries, labels, color, dpr); });
    }
    for (auto& [type, single] : items_) {
        if (!single->isVisible()) continue;
        const WidgetType t = type;
        const QString text = manager_.value(t);
        draw(single, style + text, [&] { return SingleWidgetView::image(t, text, labels, color, dpr); });
    }
}
