#include "Source/Features/Widgets/WidgetConfiguration.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

std::vector<WidgetType> WidgetConfiguration::enabledTypes() const {
    std::vector<WidgetType> types;
    for (WidgetType type : WidgetTypes::allCases) {
        if (enabledWidgets.count(type)) types.push_back(type);
    }
    return types;
}

QByteArray WidgetConfiguration::encode() const {
    QJsonArray ids;
    for (WidgetType type : enabledTypes()) ids.append(WidgetTypes::id(type));
    QJsonObject object;
    object.insert(QStringLiteral("enabledWidgets"), ids);
    object.insert(QStringLiteral("isGrouped"), isGrouped);
    object.insert(QStringLiteral("showLabels"), showLabels);
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<WidgetConfiguration> WidgetConfiguration::decode(const QByteArray& data) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue enabled = object.value(QStringLiteral("enabledWidgets"));
    const QJsonValue grouped = object.value(QStringLiteral("isGrouped"));
    const QJsonValue labels = object.value(QStringLiteral("showLabels"));
    if (!enabled.isArray() || !grouped.isBool() || !labels.isBool()) return std::nullopt;

    WidgetConfiguration configuration;
    configuration.enabledWidgets.clear();
    for (const QJsonValue& element : enabled.toArray()) {
        if (!element.isString()) return std::nullopt;
        std::optional<WidgetType> type = WidgetTypes::fromID(element.toString());
        if (!type) return std::nullopt;
        configuration.enabledWidgets.insert(*type);
    }
    configuration.isGrouped = grouped.toBool();
    configuration.showLabels = labels.toBool();
    return configuration;
}
