#include "Source/Features/System/CleanupItem.h"

#include <QJsonArray>
#include <QUrl>

QString CleanupItem::format(double bytes) {
    if (bytes >= 1073741824.0) return QString::asprintf("%.2f GB", bytes / 1073741824.0);
    if (bytes >= 1048576.0) return QString::asprintf("%.1f MB", bytes / 1048576.0);
    if (bytes >= 1024.0) return QString::asprintf("%.0f KB", bytes / 1024.0);
    return QString::asprintf("%.0f B", bytes);
}

QJsonObject CleanupItem::toJson() const {
    QJsonArray urls;
    for (const QString& path : paths) urls.append(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    return {{"name", name},
            {"paths", urls},
            {"bytes", bytes},
            {"itemCount", itemCount},
            {"category", CleanupCategories::rawValue(category)},
            {"consequence", consequence}};
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
        const QUrl url(v.toString(), QUrl::StrictMode);
        if (!v.isString() || !url.isLocalFile()) return std::nullopt;
        item.paths << url.toLocalFile();
    }
    if (item.paths.isEmpty()) return std::nullopt;
    item.name = name.toString();
    item.bytes = bytes.toDouble();
    item.itemCount = qint64(count.toDouble());
    item.category = *kind;
    item.consequence = consequence.toString();
    return item;
}

QJsonObject CleanupGroup::toJson() const {
    QJsonArray array;
    for (const CleanupItem& item : items) array.append(item.toJson());
    return {{"category", CleanupCategories::rawValue(category)}, {"items", array}};
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
