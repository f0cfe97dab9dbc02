#pragma once

#include "Source/Features/Toolbox/TransformResult.h"

#include <QByteArray>
#include <QString>

#include <nlohmann/json.hpp>

#include <optional>
#include <string_view>
#include <variant>

// A parsed JSON value; objects keep their members in the order of the text.
using JSONValue = nlohmann::ordered_json;

// The toolbox's JSON engine: reads, pretty-prints and minifies JSON texts. Pure; any thread.
namespace JSONTool {

// Containers nested deeper than this are a syntax error.
inline constexpr int maximumDepth = 512;

// Trims white space, then reads the text; a bare scalar at the top level is accepted.
TransformResult<JSONValue> parse(const QString& text);
// The text re-written indented, members in their order, slashes and non-ASCII characters bare.
TransformResult<QString> prettify(const QString& text);
// The text re-written without white space between tokens.
TransformResult<QString> minify(const QString& text);

// The reader behind parse, on the bytes as they are. Its error message names the byte offset of the
// error in the bytes as "character N".
std::variant<JSONValue, QString> read(std::string_view utf8);
// A reader message as the user sees it.
QString readableMessage(const QString& readerMessage);
// The 1-based line of the offset that a reader message names, counted in the text that was read.
std::optional<qint64> line(const QString& readerMessage, QByteArrayView text);

}  // namespace JSONTool
