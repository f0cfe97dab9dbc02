#pragma once

#include "Source/Features/Toolbox/TransformResult.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

// The toolbox's one-step text transforms, in catalogue order; the raw value is the case name.
enum class TextTransform {
    upper,
    lower,
    title,
    sentence,
    camel,
    pascal,
    snake,
    kebab,
    constant,
    trim,
    collapseSpaces,
    stripDiacritics,
    sortLines,
    uniqueLines,
    reverseLines,
    shuffleLines,
    numberLines,
    base64Encode,
    base64Decode,
    urlEncode,
    urlDecode,
    htmlEscape,
    htmlUnescape,
    jsonPretty,
    jsonMinify,
    jsonEscape,
    jsonUnescape,
    hexEncode,
    hexDecode,
    slug,
    countStats,
};

// The sidebar sections of the transforms; the raw value is the section title.
enum class TextTransformGroup { caseStyle, identifiers, whitespace, lines, encoding, json, info };

namespace TextTransforms {

inline constexpr std::array<TextTransform, 31> allCases{
    TextTransform::upper,        TextTransform::lower,          TextTransform::title,
    TextTransform::sentence,     TextTransform::camel,          TextTransform::pascal,
    TextTransform::snake,        TextTransform::kebab,          TextTransform::constant,
    TextTransform::trim,         TextTransform::collapseSpaces, TextTransform::stripDiacritics,
    TextTransform::sortLines,    TextTransform::uniqueLines,    TextTransform::reverseLines,
    TextTransform::shuffleLines, TextTransform::numberLines,    TextTransform::base64Encode,
    TextTransform::base64Decode, TextTransform::urlEncode,      TextTransform::urlDecode,
    TextTransform::htmlEscape,   TextTransform::htmlUnescape,   TextTransform::jsonPretty,
    TextTransform::jsonMinify,   TextTransform::jsonEscape,     TextTransform::jsonUnescape,
    TextTransform::hexEncode,    TextTransform::hexDecode,      TextTransform::slug,
    TextTransform::countStats,
};

inline constexpr std::array<TextTransformGroup, 7> allGroups{
    TextTransformGroup::caseStyle, TextTransformGroup::identifiers, TextTransformGroup::whitespace,
    TextTransformGroup::lines,     TextTransformGroup::encoding,    TextTransformGroup::json,
    TextTransformGroup::info,
};

QString rawValue(TextTransform transform);
std::optional<TextTransform> fromRawValue(QStringView rawValue);
QString title(TextTransform transform);
TextTransformGroup group(TextTransform transform);
// The members of a group in catalogue order.
QList<TextTransform> transforms(TextTransformGroup group);

QString rawValue(TextTransformGroup group);
std::optional<TextTransformGroup> groupFromRawValue(QStringView rawValue);

// Runs a transform. Pure but for shuffleLines, which draws from the system's random source; any thread.
TransformResult<QString> apply(TextTransform transform, const QString& text);

}  // namespace TextTransforms
