#pragma once

#include <QByteArray>

#include <cstddef>
#include <string_view>

namespace JsonText {
// Whether the text is one JSON value with nothing after it but whitespace. Whether that value is
// valid is the parser's to say; this catches what parsers let through: a NUL byte, which they take
// for the end of the text, and anything after the value. A NUL is never part of JSON text.
inline bool isOneValue(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return false;
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    if (i == text.size()) return false;
    if (text[i] == '[' || text[i] == '{' || text[i] == '"') {
        // Up to the bracket that closes the first one, or the quote that ends the string.
        int depth = 0;
        bool inString = false;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            if (inString) {
                if (c == '\\')
                    ++i;
                else if (c == '"')
                    inString = false;
            } else if (c == '"') {
                inString = true;
            } else if (c == '[' || c == '{') {
                ++depth;
            } else if (c == ']' || c == '}') {
                --depth;
            }
            if (!inString && depth <= 0) break;
        }
        ++i;
    } else {
        // A number or a literal runs to the next whitespace or punctuation.
        while (i < text.size() && !isSpace(text[i]) &&
               std::string_view("[]{}\",:").find(text[i]) == std::string_view::npos)
            ++i;
    }
    while (i < text.size() && isSpace(text[i])) ++i;
    return i >= text.size();
}

inline bool isOneValue(const QByteArray& bytes) {
    return isOneValue(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}
}  // namespace JsonText
