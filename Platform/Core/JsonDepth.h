#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace JsonDepth {
// The offset of the first bracket that opens more than `deepest` arrays and objects, or npos.
// Brackets inside strings do not count. One pass, for a guard ahead of the parser: the library's
// callback parser could guard depth too, but takes time quadratic in the length of a long array.
inline std::size_t tooDeepOffset(std::string_view text, int deepest) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > deepest) return i;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return std::string_view::npos;
}
}  // namespace JsonDepth
