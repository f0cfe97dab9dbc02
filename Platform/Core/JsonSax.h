#pragma once

#include <locale.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

// A strict JSON reader that hands what it reads to a handler as it goes, reading its text a chunk at
// a time. It takes and refuses the same texts as nlohmann::json::sax_parse (strict) and calls the
// handler with the same events (values, keys, containers' starts and ends, in order), but reads a
// string's plain ASCII eight bytes at a time: a long text of ASCII costs little more than a copy.
// A NUL byte anywhere makes the text unreadable, as nothing of JSON holds one raw.
namespace JsonSax {

// Fills `buffer` with up to `capacity` bytes and gives how many, 0 at the end, -1 when reading must
// stop (which makes the text unreadable).
using Source = std::function<long long(char* buffer, long long capacity)>;

namespace detail {

template <typename Handler>
class Reader {
public:
    Reader(const Source& source, Handler& handler) : source_(source), handler_(handler), chunk_(1 << 20) {}

    bool read() {
        // A byte order mark, only at the very start.
        if (peek() == 0xEF && !(take() == 0xEF && take() == 0xBB && take() == 0xBF)) return false;
        std::vector<char> open;  // '[' or '{' for each container being read
        for (;;) {
            // A value is due.
            int c = nextToken();
            switch (c) {
            case '[':
                if (!handler_.start_array(std::size_t(-1))) return false;
                if (nextTokenIs(']')) {
                    if (!handler_.end_array()) return false;
                } else {
                    open.push_back('[');
                    continue;
                }
                break;
            case '{':
                if (!handler_.start_object(std::size_t(-1))) return false;
                if (nextTokenIs('}')) {
                    if (!handler_.end_object()) return false;
                } else {
                    open.push_back('{');
                    if (!readKey()) return false;
                    continue;
                }
                break;
            case '"':
                if (!readString(text_) || !handler_.string(text_)) return false;
                break;
            case 't':
                if (!literal("rue") || !handler_.boolean(true)) return false;
                break;
            case 'f':
                if (!literal("alse") || !handler_.boolean(false)) return false;
                break;
            case 'n':
                if (!literal("ull") || !handler_.null()) return false;
                break;
            default:
                if (c == '-' || (c >= '0' && c <= '9')) {
                    if (!readNumber(c)) return false;
                    break;
                }
                return false;
            }
            // After a value: the next element, the container's end, or the text's end.
            for (;;) {
                if (open.empty()) {
                    skipSpace();
                    return peek() < 0 && !failed_;
                }
                c = nextToken();
                if (c == ',') {
                    if (open.back() == '{' && !readKey()) return false;
                    break;
                }
                if (c != (open.back() == '[' ? ']' : '}')) return false;
                open.pop_back();
                if (!(c == ']' ? handler_.end_array() : handler_.end_object())) return false;
            }
        }
    }

private:
    // The next byte, or -1 at the end (or after a failure); `take` also moves past it.
    int peek() {
        if (at_ == end_ && !refill()) return -1;
        return static_cast<unsigned char>(*at_);
    }
    int take() {
        const int c = peek();
        if (c >= 0) ++at_;
        return c;
    }
    bool refill() {
        if (done_) return false;
        const long long count = source_(chunk_.data(), static_cast<long long>(chunk_.size()));
        if (count <= 0) {
            done_ = true;
            failed_ = count < 0;
            return false;
        }
        if (std::memchr(chunk_.data(), 0, static_cast<std::size_t>(count))) {
            done_ = failed_ = true;
            return false;
        }
        at_ = chunk_.data();
        end_ = at_ + count;
        return true;
    }

    static bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    void skipSpace() {
        while (isSpace(peek())) ++at_;
    }
    int nextToken() {
        skipSpace();
        return take();
    }
    bool nextTokenIs(char c) {
        skipSpace();
        if (peek() != c) return false;
        ++at_;
        return true;
    }
    bool literal(const char* rest) {
        for (; *rest; ++rest)
            if (take() != *rest) return false;
        return true;
    }
    bool readKey() { return nextToken() == '"' && readString(text_) && handler_.key(text_) && nextToken() == ':'; }

    static int hexDigit(int c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }
    // The four hex digits after "\u", or -1.
    int codeUnit() {
        int unit = 0;
        for (int i = 0; i < 4; ++i) {
            const int digit = hexDigit(take());
            if (digit < 0) return -1;
            unit = unit * 16 + digit;
        }
        return unit;
    }
    static void appendUtf8(std::string& out, int codePoint) {
        const auto byte = [](int b) { return static_cast<char>(b); };
        if (codePoint < 0x80) {
            out += byte(codePoint);
        } else if (codePoint < 0x800) {
            out += byte(0xC0 | (codePoint >> 6));
            out += byte(0x80 | (codePoint & 0x3F));
        } else if (codePoint < 0x10000) {
            out += byte(0xE0 | (codePoint >> 12));
            out += byte(0x80 | ((codePoint >> 6) & 0x3F));
            out += byte(0x80 | (codePoint & 0x3F));
        } else {
            out += byte(0xF0 | (codePoint >> 18));
            out += byte(0x80 | ((codePoint >> 12) & 0x3F));
            out += byte(0x80 | ((codePoint >> 6) & 0x3F));
            out += byte(0x80 | (codePoint & 0x3F));
        }
    }
    bool escape(std::string& out) {
        switch (take()) {
        case '"': out += '"'; return true;
        case '\\': out += '\\'; return true;
        case '/': out += '/'; return true;
        case 'b': out += '\b'; return true;
        case 'f': out += '\f'; return true;
        case 'n': out += '\n'; return true;
        case 'r': out += '\r'; return true;
        case 't': out += '\t'; return true;
        case 'u': break;
        default: return false;
        }
        int codePoint = codeUnit();
        if (codePoint < 0 || (codePoint >= 0xDC00 && codePoint <= 0xDFFF)) return false;
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
            if (take() != '\\' || take() != 'u') return false;
            const int low = codeUnit();
            if (low < 0xDC00 || low > 0xDFFF) return false;
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
        }
        appendUtf8(out, codePoint);
        return true;
    }
    // A byte sequence of more than one byte, from its first byte: well-formed UTF-8 only (no
    // overlong forms, no surrogates, nothing past U+10FFFF).
    bool multibyte(std::string& out, int lead) {
        // The lead bytes, how many bytes follow them, and the range of the first that follows.
        struct Form {
            int first, last, count, low, high;
        };
        static constexpr Form forms[] = {{0xC2, 0xDF, 1, 0x80, 0xBF}, {0xE0, 0xE0, 2, 0xA0, 0xBF},
                                         {0xE1, 0xEC, 2, 0x80, 0xBF}, {0xED, 0xED, 2, 0x80, 0x9F},
                                         {0xEE, 0xEF, 2, 0x80, 0xBF}, {0xF0, 0xF0, 3, 0x90, 0xBF},
                                         {0xF1, 0xF3, 3, 0x80, 0xBF}, {0xF4, 0xF4, 3, 0x80, 0x8F}};
        const Form* form = std::find_if(std::begin(forms), std::end(forms),
                                        [lead](const Form& f) { return lead >= f.first && lead <= f.last; });
        if (form == std::end(forms)) return false;
        int low = form->low, high = form->high;
        out += static_cast<char>(lead);
        for (int i = 0; i < form->count; ++i) {
            const int c = take();
            if (c < low || c > high) return false;
            out += static_cast<char>(c);
            low = 0x80;
            high = 0xBF;
        }
        return true;
    }
    // Whether any of the eight bytes ends a plain run: a quote, a backslash, a control character
    // or a byte of a multibyte sequence.
    static bool anySpecial(std::uint64_t w) {
        constexpr std::uint64_t ones = 0x0101010101010101ULL, highs = 0x8080808080808080ULL;
        const auto hasZero = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
        return ((w & highs) | hasZero(w ^ (ones * '"')) | hasZero(w ^ (ones * '\\')) |
                ((w - ones * 0x20) & ~w & highs)) != 0;
    }
    static bool plain(unsigned char c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; }
    // A string's text, from past its opening quote to past its closing one.
    bool readString(std::string& out) {
        out.clear();
        for (;;) {
            const char* run = at_;
            while (end_ - run >= 8) {
                std::uint64_t w;
                std::memcpy(&w, run, 8);
                if (anySpecial(w)) break;
                run += 8;
            }
            while (run < end_ && plain(static_cast<unsigned char>(*run))) ++run;
            out.append(at_, run);
            at_ = run;
            const int c = take();
            if (c == '"') return true;
            if (c == '\\') {
                if (!escape(out)) return false;
            } else if (c >= 0x80) {
                if (!multibyte(out, c)) return false;
            } else if (c >= 0x20) {
                out += static_cast<char>(c);  // a plain byte the run stopped short of: a chunk's end
            } else {
                return false;  // a control character, or the end
            }
        }
    }

    static locale_t cLocale() {
        static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        return locale;
    }
    // A number, from its first character. Whole numbers are 64-bit ones where they fit (as
    // strtoll/strtoull take them), the rest doubles; one beyond a double's range is refused.
    bool readNumber(int first) {
        std::string& token = number_;
        token.clear();
        token += static_cast<char>(first);
        const auto isDigit = [](int c) { return c >= '0' && c <= '9'; };
        const auto digits = [&] {
            if (!isDigit(peek())) return false;
            while (isDigit(peek())) token += static_cast<char>(take());
            return true;
        };
        if (first == '-') {
            if (!isDigit(peek())) return false;
            token += static_cast<char>(take());
        }
        if (token.back() != '0')
            while (isDigit(peek())) token += static_cast<char>(take());
        bool whole = true;
        if (peek() == '.') {
            token += static_cast<char>(take());
            if (!digits()) return false;
            whole = false;
        }
        if (peek() == 'e' || peek() == 'E') {
            token += static_cast<char>(take());
            if (peek() == '+' || peek() == '-') token += static_cast<char>(take());
            if (!digits()) return false;
            whole = false;
        }
        char* endptr = nullptr;
        if (whole) {
            errno = 0;
            if (first == '-') {
                const long long x = std::strtoll(token.c_str(), &endptr, 10);
                if (errno == 0) return handler_.number_integer(static_cast<std::int64_t>(x));
            } else {
                const unsigned long long x = std::strtoull(token.c_str(), &endptr, 10);
                if (errno == 0) return handler_.number_unsigned(static_cast<std::uint64_t>(x));
            }
        }
        const double value = strtod_l(token.c_str(), &endptr, cLocale());
        if (value > std::numeric_limits<double>::max() || value < -std::numeric_limits<double>::max()) return false;
        return handler_.number_float(value, token);
    }

    const Source& source_;
    Handler& handler_;
    std::vector<char> chunk_;
    const char* at_ = nullptr;
    const char* end_ = nullptr;
    bool done_ = false;
    bool failed_ = false;
    std::string text_;
    std::string number_;
};

}  // namespace detail

// Reads one JSON value from `source` and nothing after it but whitespace, handing it to `handler`
// (nlohmann::json_sax's events); false when the text is not JSON, the source fails or stops, or
// the handler returns false. Nesting is the handler's to limit, by refusing a start too deep.
template <typename Handler>
bool parse(const Source& source, Handler& handler) {
    detail::Reader<Handler> reader(source, handler);
    return reader.read();
}

}  // namespace JsonSax
