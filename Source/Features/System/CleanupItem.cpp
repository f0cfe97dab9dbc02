#include "Source/Features/System/CleanupItem.h"

#include "Platform/Files/NativePath.h"

#include <QJsonArray>

QString CleanupItem::format(double bytes) {
    if (bytes >= 1073741824.0) return QString::asprintf("%.2f GB", bytes / 1073741824.0);
    if (bytes >= 1048576.0) return QString::asprintf("%.1f MB", bytes / 1048576.0);
    if (bytes >= 1024.0) return QString::asprintf("%.0f KB", bytes / 1024.0);
    return QString::asprintf("%.0f B", bytes);
}

nlohmann::ordered_json CleanupItem::toJson() const {
    nlohmann::ordered_json urls = nlohmann::ordered_json::array();
    for (const QString& path : paths) urls.push_back(NativePath::fileUrl(path).toStdString());
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["name"] = name.toStdString();
    object["paths"] = std::move(urls);
    object["bytes"] = bytes;
    object["itemCount"] = itemCount;
    object["category"] = CleanupCategories::rawValue(category).toStdString();
    object["consequence"] = consequence.toStdString();
    return object;
}

std::optional<CleanupItem> CleanupItem::fromJson(const QJsonObject& o) {
    const QJsonValue name = o.value("name"), paths = o.value("paths"), bytes = o.value("bytes"),
                     count = o.value("itemCount"), category = o.value("category"), consequence = o.value("consequence");
    if (!name.isString() || !paths.isArray() || !bytes.isDouble() || !count.isDouble() || !category.isString() ||
        !consequence.isString())
        return std::nullopt;
    const auto kind = CleanupCategories::fromRawValue(category.toString());
    if (!kind) return std::nullopt;
    CleanupItem item;
    for (const QJsonValue& v : paths.toArray()) {
        const auto path = v.isString() ? NativePath::fromFileUrl(v.toString()) : std::nullopt;
        if (!path) return std::nullopt;
        item.paths << *path;
    }
    if (item.paths.isEmpty()) return std::nullopt;
    item.name = name.toString();
    item.bytes = bytes.toDouble();
    item.itemCount = qint64(count.toDouble());
    item.category = *kind;
    item.consequence = consequence.toString();
    return item;
}

nlohmann::ordered_json CleanupGroup::toJson() const {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const CleanupItem& item : items) array.push_back(item.toJson());
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    object["category"] = CleanupCategories::rawValue(category).toStdString();
    object["items"] = std::move(array);
    return object;
}

std::optional<CleanupGroup> CleanupGroup::fromJson(const QJsonObject& o) {
    const auto kind = CleanupCategories::fromRawValue(o.value("category").toString());
    if (!kind || !o.value("items").isArray()) return std::nullopt;
    CleanupGroup group{*kind, {}};
    for (const QJsonValue& v : o.value("items").toArray()) {
        if (!v.isObject()) return std::nullopt;
        auto item = CleanupItem::fromJson(v.toObject());
        if (!item) return std::nullopt;
        group.items << *item;
    }
    return group;
}
