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

// Member names in display order: by the code points of their NFC form, equal ones in text order. The
// code point order of two texts is the byte order of their UTF-8.
std::vector<std::uint32_t> displayOrder(const JSONValue::object_t& members) {
    std::vector<std::string> normalized(members.size());
    std::vector<std::uint32_t> order(members.size());
    bool sorted = true;
    const auto name = [&](std::size_t i) -> const std::string& {
        return normalized[i].empty() ? members.begin()[i].first : normalized[i];
    };
    for (std::size_t i = 0; i < members.size(); ++i) {
        order[i] = std::uint32_t(i);
        const std::string& raw = members.begin()[i].first;
        if (std::any_of(raw.begin(), raw.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
            QString storage;
            const QString text = QString::fromStdString(raw);
            normalized[i] = UnicodeText::nfc(text, storage).toUtf8().toStdString();
        }
        if (i > 0 && sorted && name(i) < name(i - 1)) sorted = false;
    }
    if (!sorted) {
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return name(a) < name(b); });
    }
    return order;
}

}  // namespace

JSONNode::JSONNode(JSONValue document, QObject* parent) : JSONNode(std::move(document), false, parent) {}

JSONNode::JSONNode(JSONValue document, bool arranged, QObject* parent)
    : JSONNode(std::nullopt, std::make_shared<const JSONValue>(std::move(document)), arranged, nullptr, 0, 0, parent) {}

JSONNode::JSONNode(std::optional<QString> key, JSONValue value, qint64 depth, QObject* parent)
    : JSONNode(std::move(key), std::make_shared<const JSONValue>(std::move(value)), false, nullptr, depth, 0, parent) {}

JSONNode::JSONNode(std::optional<QString> key, std::shared_ptr<const JSONValue> document, bool arranged,
                   const JSONValue* value, qint64 depth, qsizetype index, QObject* parent)
    : QObject(parent), key_(std::move(key)), document_(std::move(document)), arranged_(arranged),
      value_(value ? value : document_.get()), depth_(depth), index_(index) {}

void JSONNode::arrange(JSONValue& document) {
    // An explicit stack: documents may be deeper than the thread's own.
    std::vector<JSONValue*> pending{&document};
    while (!pending.empty()) {
        JSONValue* value = pending.back();
        pending.pop_back();
        if (value->is_array()) {
            for (JSONValue& element : *value) {
                if (isContainer(element)) pending.push_back(&element);
            }
            continue;
        }
        if (!value->is_object()) continue;
        auto& members = value->get_ref<JSONValue::object_t&>();
        const std::vector<std::uint32_t> order = displayOrder(members);
        if (!std::is_sorted(order.begin(), order.end())) {
            JSONValue::object_t arranged;
            arranged.reserve(members.size());
            for (std::uint32_t i : order) {
                auto& member = members.begin()[i];
                arranged.emplace_back(member.first, std::move(member.second));
            }
            members.swap(arranged);
        }
        for (auto& member : members) {
            if (isContainer(member.second)) pending.push_back(&member.second);
        }
    }
}

bool JSONNode::isContainer() const { return isContainer(*value_); }

qint64 JSONNode::childCount() const { return isContainer() ? qint64(value_->size()) : 0; }

QString JSONNode::displayValue(const JSONValue& v) {
    if (v.is_null()) return QStringLiteral("null");
    if (v.is_boolean()) return v.get<bool>() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.is_string()) return '"' + QString::fromStdString(v.get_ref<const std::string&>()) + '"';
    if (v.is_number()) return QString::fromStdString(plainNumber(v));
    if (const std::optional<std::string_view> text = JSONTool::numberText(v)) {
        return QString::fromStdString(plainNumber(*text));
    }
    if (v.is_object()) return QString::asprintf("{ %lld }", qint64(v.size()));
    if (v.is_array()) return QString::asprintf("[ %lld ]", qint64(v.size()));
    try {
        return QString::fromStdString(v.dump());
    } catch (const std::exception&) {
        return QStringLiteral("?");
    }
}

QString JSONNode::typeName(const JSONValue& v) {
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
    children_.emplace(Children(this));
    emit childrenChanged();
}

JSONNode::Children::Children(JSONNode* owner) : owner_(owner), count_(qsizetype(owner->value_->size())) {
    if (owner->value_->is_object() && !owner->arranged_) {
        order_ = displayOrder(owner->value_->get_ref<const JSONValue::object_t&>());
        if (std::is_sorted(order_.begin(), order_.end())) order_.clear();
    }
}

const JSONValue& JSONNode::Children::valueAt(qsizetype i) const {
    const JSONValue& container = *owner_->value_;
    if (container.is_array()) return container.get_ref<const JSONValue::array_t&>()[size_t(i)];
    return container.get_ref<const JSONValue::object_t&>().begin()[memberIndex(i)].second;
}

QString JSONNode::Children::keyAt(qsizetype i) const {
    const JSONValue& container = *owner_->value_;
    if (container.is_array()) return QString::number(i);
    return QString::fromStdString(container.get_ref<const JSONValue::object_t&>().begin()[memberIndex(i)].first);
}

JSONNode* JSONNode::Children::existing(qsizetype i) const {
    const auto found = std::lower_bound(made_.begin(), made_.end(), i,
                                        [](const JSONNode* node, qsizetype index) { return node->index_ < index; });
    return found != made_.end() && (*found)->index_ == i ? *found : nullptr;
}

JSONNode* JSONNode::Children::at(qsizetype i) const {
    if (i < 0 || i >= count_) return nullptr;
    const auto place = made_.empty() || made_.back()->index_ < i
                           ? made_.end()
                           : std::lower_bound(made_.begin(), made_.end(), i, [](const JSONNode* node, qsizetype index) {
                                 return node->index_ < index;
                             });
    if (place != made_.end() && (*place)->index_ == i) return *place;
    auto* child =
        new JSONNode(keyAt(i), owner_->document_, owner_->arranged_, &valueAt(i), owner_->depth_ + 1, i, owner_);
    made_.insert(place, child);
    return child;
}
