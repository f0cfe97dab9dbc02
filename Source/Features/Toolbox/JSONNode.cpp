#include "Source/Features/Toolbox/JSONNode.h"

#include "Source/Features/Toolbox/UnicodeText.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

namespace {

// A decimal number as its significant digits and the power of ten of the last one; zero has no digits.
struct Decimal {
    bool negative = false;
    std::string digits;
    qint64 exponent = 0;
    bool operator==(const Decimal&) const = default;
};

Decimal decimal(std::string_view text) {
    Decimal d;
    std::size_t i = 0;
    if (i < text.size() && text[i] == '-') d.negative = true, ++i;
    bool fraction = false;
    for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; ++i) {
        if (text[i] == '.') {
            fraction = true;
        } else {
            d.digits += text[i];
            if (fraction) --d.exponent;
        }
    }
    if (i < text.size()) {
        ++i;
        const bool minus = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
        qint64 power = 0;
        for (; i < text.size(); ++i) power = std::min<qint64>(power * 10 + (text[i] - '0'), 1'000'000'000'000);
        d.exponent += minus ? -power : power;
    }
    d.digits.erase(0, std::min(d.digits.find_first_not_of('0'), d.digits.size()));
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back(), ++d.exponent;
    if (d.digits.empty()) d = Decimal();
    return d;
}

// A whole float reads like an integer, as 1 rather than 1.0.
std::string plainNumber(const JSONValue& number) {
    std::string text = number.dump();
    if (number.is_number_float() && text.ends_with(".0")) text.resize(text.size() - 2);
    return text;
}

// The plain spelling of a number kept as text, unless that would name another number: then as written.
std::string plainNumber(std::string_view text) {
    const char* first = text.data();
    const char* last = first + text.size();
    const auto whole = [first, last](auto& value) {
        const auto [end, error] = std::from_chars(first, last, value);
        return error == std::errc() && end == last;
    };
    std::string plain;
    std::int64_t signedValue = 0;
    std::uint64_t unsignedValue = 0;
    double floatValue = 0;
    const bool integral = text.find_first_of(".eE") == std::string_view::npos;
    if (integral && whole(signedValue)) {
        plain = std::to_string(signedValue);
    } else if (integral && whole(unsignedValue)) {
        plain = std::to_string(unsignedValue);
    } else if (whole(floatValue)) {
        plain = plainNumber(JSONValue(floatValue));
    } else {
        return std::string(text);
    }
    return decimal(plain) == decimal(text) ? plain : std::string(text);
}

}  // namespace

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
    if (v.is_number()) return QString::fromStdString(plainNumber(v));
    if (const std::optional<std::string_view> text = JSONTool::numberText(v)) {
        return QString::fromStdString(plainNumber(*text));
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
    if (JSONTool::isNumber(v)) return QStringLiteral("number");
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
