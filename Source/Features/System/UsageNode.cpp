#include "Source/Features/System/UsageNode.h"

#include <QJsonArray>
#include <QUrl>

QJsonObject UsageNode::toJson() const {
    QJsonArray array;
    for (const UsageNode& child : children) array.append(child.toJson());
    return {{"name", name},
            {"path", QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)},
            {"bytes", bytes},
            {"isDirectory", isDirectory},
            {"children", array}};
}

std::optional<UsageNode> UsageNode::fromJson(const QJsonObject& o) {
    const QJsonValue name = o.value("name"), path = o.value("path"), bytes = o.value("bytes"),
                     isDirectory = o.value("isDirectory"), children = o.value("children");
    if (!name.isString() || !path.isString() || !bytes.isDouble() || !isDirectory.isBool() || !children.isArray())
        return std::nullopt;
    const QUrl url(path.toString(), QUrl::StrictMode);
    if (!url.isLocalFile()) return std::nullopt;
    UsageNode node{name.toString(), url.toLocalFile(), bytes.toDouble(), isDirectory.toBool(), {}};
    for (const QJsonValue& v : children.toArray()) {
        auto child = v.isObject() ? fromJson(v.toObject()) : std::nullopt;
        if (!child) return std::nullopt;
        node.children << *child;
    }
    return node;
}
