#include "Source/Features/System/UsageNode.h"

#include "Platform/Files/NativePath.h"

#include <QJsonArray>

QJsonObject UsageNode::toJson() const {
    QJsonArray array;
    for (const UsageNode& child : children) array.append(child.toJson());
    return {{"name", name},
            {"path", NativePath::fileUrl(path)},
            {"bytes", bytes},
            {"isDirectory", isDirectory},
            {"children", array}};
}

std::optional<UsageNode> UsageNode::fromJson(const QJsonObject& o) {
    const QJsonValue name = o.value("name"), path = o.value("path"), bytes = o.value("bytes"),
                     isDirectory = o.value("isDirectory"), children = o.value("children");
    if (!name.isString() || !path.isString() || !bytes.isDouble() || !isDirectory.isBool() || !children.isArray())
        return std::nullopt;
    const auto local = NativePath::fromFileUrl(path.toString());
    if (!local) return std::nullopt;
    UsageNode node{name.toString(), *local, bytes.toDouble(), isDirectory.toBool(), {}};
    for (const QJsonValue& v : children.toArray()) {
        auto child = v.isObject() ? fromJson(v.toObject()) : std::nullopt;
        if (!child) return std::nullopt;
        node.children << *child;
    }
    return node;
}
