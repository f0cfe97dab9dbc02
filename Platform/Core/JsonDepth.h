#pragma once

#include "Platform/Core/JsonText.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace JsonDepth {
// The offset of the first bracket that opens more than `deepest` arrays and objects, or npos.
// Brackets inside strings do not count. One pass, for a guard ahead of the parser: the library's
// callback parser could guard depth too, but takes time quadratic in the length of a long array.
inline std::size_t tooDeepOffset(std::string_view text, int deepest) {
    const std::size_t at =
        JsonText::walkBrackets(text, 0, [deepest](std::size_t, int depth) { return depth <= deepest; });
    return at < text.size() ? at : std::string_view::npos;
}
}  // namespace JsonDepth
