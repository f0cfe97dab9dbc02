#include "Source/Features/Toolbox/JSONNode.h"

#include "Source/Features/Toolbox/UnicodeText.h"

#include <algorithm>
#include <vector>

JSONNode::JSONNode(JSONValue document, QObject* parent) : JSONNode(std::nullopt, std::move(document), 0, parent) {}

JSONNode::JSONNode(std::optional<QString> key, JSONValue value, qint64 depth, QObject* parent)
    : QObject(parent), key_(std::move(key)), document_(std::make_shared<const JSONValue>(std::move(value))),
      value_(document_.get()), depth_(depth) {}

JSONNode::JSONNode(std::optional<QString> key, std::shared_ptr<const JSONValue> document, const JSONValue* value,
                   qint64 depth, QObject* parent)
    : QObject(parent), key_(std::move(key)), document_(std::move(document)), value_(value), depth_(depth) {}

bool JSONNode::isContainer() const { return value_->is_object() || value_->is_array(); }

qint64 JSONNode::childCount() const { return isContainer() ? qint64(value_->size()) : 0; }

QString JSONNode::displayValue() const {
    const JSONValue& v = *value_;
    if (v.is_null()) return QStringLiteral("null");
    if (v.is_boolean()) return v.get<bool>() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.is_string()) return '"' + QString::fromStdString(v.get_ref<const std::string&>()) + '"';
    if (v.is_number()) {
        // A whole float reads like an integer, as 1 rather than 1.0.
        std::string text = v.dump();
        if (v.is_number_float() && text.ends_with(".0")) text.resize(text.size() - 2);
        return QString::fromStdString(text);
    }
    if (v.is_object()) return QString::asprintf("{ %lld }", childCount());
    if (v.is_array()) return QString::asprintf("[ %lld ]", childCount());
    try {
        return QString::fromStdString(v.dump());
    } catch (const std::exception&) {
        return QStringLiteral("?");
    }
}

QString JSONNode::typeName() const {
    const JSONValue& v = *value_;
    if (v.is_null()) return QStringLiteral("null");
    if (v.is_boolean()) return QStringLiteral("bool");
    if (v.is_string()) return QStringLiteral("string");
    if (v.is_number()) return QStringLiteral("number");
    if (v.is_object()) return QStringLiteral("object");
    if (v.is_array()) return QStringLiteral("array");
    return QStringLiteral("?");
}

void JSONNode::loadChildrenIfNeeded() {
    if (children_ || !isContainer()) return;
    QList<JSONNode*> built;
    built.reserve(childCount());
    if (value_->is_array()) {
        qint64 index = 0;
        for (const JSONValue& element : *value_) {
            built.append(new JSONNode(QString::number(index++), document_, &element, depth_ + 1, this));
        }
    } else {
        struct Member {
            QString name;
            QString normalized;
            QStringView sortKey;
            const JSONValue* value;
        };
        const auto& members = value_->get_ref<const JSONValue::object_t&>();
        std::vector<Member> byName;
        byName.reserve(members.size());
        for (const auto& [name, value] : members) byName.push_back({QString::fromStdString(name), {}, {}, &value});
        std::vector<std::size_t> order(byName.size());
        for (std::size_t i = 0; i < byName.size(); ++i) {
            order[i] = i;
            byName[i].sortKey = UnicodeText::nfc(byName[i].name, byName[i].normalized);
        }
        std::stable_sort(order.begin(), order.end(), [&byName](std::size_t a, std::size_t b) {
            return UnicodeText::compareCodePoints(byName[a].sortKey, byName[b].sortKey) < 0;
        });
        for (std::size_t i : order) {
            built.append(new JSONNode(byName[i].name, document_, byName[i].value, depth_ + 1, this));
        }
    }
    children_ = std::move(built);
    emit childrenChanged();
}
