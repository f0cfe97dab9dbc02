#pragma once

#include <QByteArray>

#include <cstddef>
#include <string_view>

namespace JsonText {

// Walks the text from `from`, skipping strings, and calls `bracket(offset, depth)` at every bracket
// with the depth it leaves (the first one opening gives 1). Stops at the bracket for which it returns
// false and gives that offset; else the text's size.
template <typename Bracket>
std::size_t walkBrackets(std::string_view text, std::size_t from, Bracket bracket) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{' || c == ']' || c == '}') {
            depth += c == '[' || c == '{' ? 1 : -1;
            if (!bracket(i, depth)) return i;
        }
    }
    return text.size();
}

// Whether the text is one JSON value with nothing after it but whitespace. Whether that value is
// valid is the parser's to say; this catches what parsers let through: a NUL byte, which they take
// for the end of the text, and anything after the value. A NUL is never part of JSON text.
inline bool isOneValue(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return false;
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i])) ++i;
    if (i == text.size()) return false;
    if (text[i] == '[' || text[i] == '{') {
        // Past the bracket that closes the first one.
        i = walkBrackets(text, i, [](std::size_t, int depth) { return depth > 0; }) + 1;
    } else if (text[i] == '"') {
        for (++i; i < text.size() && text[i] != '"'; ++i)
            if (text[i] == '\\') ++i;
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
