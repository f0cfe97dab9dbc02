#pragma once

#include <QString>
#include <QStringView>

#include <iterator>
#include <optional>
#include <type_traits>

// An enum's raw values written once, as a table of {case, raw value} entries that both directions
// read. A table is any array of entries with a `value` (the case) and a `raw` member (a UTF-8 text
// or a number); other members may sit beside them.
namespace RawValues {

template <typename E, typename Raw = const char*>
struct Entry {
    E value;
    Raw raw;
};

template <typename Table>
using CaseOf = std::remove_cvref_t<decltype(std::begin(std::declval<const Table&>())->value)>;
template <typename Table>
using RawOf = std::remove_cvref_t<decltype(std::begin(std::declval<const Table&>())->raw)>;
template <typename Table>
inline constexpr bool isText = std::is_same_v<RawOf<Table>, const char*>;

// The case's raw value (a text for a text table); the first entry's for a case the table lacks.
template <typename Table>
auto rawValue(const Table& table, CaseOf<Table> value) {
    auto found = std::begin(table);
    for (auto it = std::begin(table); it != std::end(table); ++it) {
        if (it->value == value) {
            found = it;
            break;
        }
    }
    if constexpr (isText<Table>) {
        return QString::fromUtf8(found->raw);
    } else {
        return found->raw;
    }
}

// The case whose raw value is raw; nothing when none is.
template <typename Table>
std::optional<CaseOf<Table>> fromRawValue(const Table& table, QStringView raw) requires isText<Table> {
    for (const auto& entry : table) {
        if (raw == QString::fromUtf8(entry.raw)) return entry.value;
    }
    return std::nullopt;
}

template <typename Table>
std::optional<CaseOf<Table>> fromRawValue(const Table& table, RawOf<Table> raw) requires(!isText<Table>) {
    for (const auto& entry : table) {
        if (entry.raw == raw) return entry.value;
    }
    return std::nullopt;
}

}  // namespace RawValues
