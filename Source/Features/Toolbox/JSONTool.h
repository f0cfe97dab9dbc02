#pragma once

#include "Source/Features/Toolbox/TransformResult.h"

#include <QByteArray>
#include <QString>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string_view>
#include <variant>

// A parsed JSON value; objects keep their members in the order of the text.
using JSONValue = nlohmann::ordered_json;

// The toolbox's JSON engine: reads, pretty-prints and minifies JSON texts. Pure; any thread.
namespace JSONTool {

// Containers nested deeper than this are a syntax error.
inline constexpr int maximumDepth = 512;

// A number whose value written back would read differently from its text (5.10, 1E2, -0, more digits
// than a double holds, beyond 64 bits, 1E-400, 1E400) is kept as its text: binary data of this subtype, which
// the reader makes for nothing else. Other numbers are plain numbers.
inline constexpr std::uint8_t numberTextSubtype = 'N';
// The number's text as written, for a number kept as text.
std::optional<std::string_view> numberText(const JSONValue& value);
// A plain number or one kept as text.
bool isNumber(const JSONValue& value);

// Trims white space, then reads the text; a bare scalar at the top level is accepted.
TransformResult<JSONValue> parse(const QString& text);
// The text re-written indented, members in their order, slashes and non-ASCII characters bare, numbers as
// written.
TransformResult<QString> prettify(const QString& text);
// The text re-written without white space between tokens.
TransformResult<QString> minify(const QString& text);

// The reader behind parse, on the bytes as they are. Its error message names the byte offset of the
// error in the bytes as "character N". A NUL byte anywhere is an error.
std::variant<JSONValue, QString> read(std::string_view utf8);
// A reader message as the user sees it.
QString readableMessage(const QString& readerMessage);
// The 1-based line of the offset that a reader message names, counted in the text that was read.
std::optional<qint64> line(const QString& readerMessage, QByteArrayView text);

}  // namespace JSONTool
