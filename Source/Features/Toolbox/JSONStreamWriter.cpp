#include "Source/Features/Toolbox/JSONStreamWriter.h"

#include "Source/Features/Toolbox/JSONReader.h"
#include "Source/Features/Toolbox/JSONTool.h"

#include <QStringEncoder>

#include <algorithm>
#include <charconv>
#include <string>
#include <vector>

namespace {

// Hands text to the reader as UTF-8 a piece at a time, so the text is never held twice.
class Utf8Pieces {
public:
    using char_type = char;

    explicit Utf8Pieces(QStringView text)
        : text_(text), encoder_(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless),
          buffer_(std::size_t(encoder_.requiredSpace(pieceLength))) {}

    std::char_traits<char>::int_type get_character() {
        if (next_ == filled_ && !refill()) return std::char_traits<char>::eof();
        return std::char_traits<char>::to_int_type(*next_++);
    }

private:
    static constexpr qsizetype pieceLength = 16384;

    bool refill() {
        const qsizetype left = text_.size() - read_;
        if (left == 0) return false;
        qsizetype length = std::min(pieceLength, left);
        // A surrogate pair stays in one piece.
        if (length < left && text_[read_ + length - 1].isHighSurrogate()) --length;
        next_ = buffer_.data();
        filled_ = encoder_.appendToBuffer(buffer_.data(), text_.sliced(read_, length));
        read_ += length;
        return next_ != filled_;
    }

    QStringView text_;
    qsizetype read_ = 0;
    QStringEncoder encoder_;
    std::vector<char> buffer_;
    const char* next_ = nullptr;
    const char* filled_ = nullptr;
};

// The reader's events written out as they come; returning false gives up.
class StreamWriter {
public:
    using number_integer_t = JSONValue::number_integer_t;
    using number_unsigned_t = JSONValue::number_unsigned_t;
    using number_float_t = JSONValue::number_float_t;
    using string_t = JSONValue::string_t;
    using binary_t = JSONValue::binary_t;

    // The output is sized for `expectedLength` characters at first; space never written costs no memory.
    StreamWriter(int indent, qsizetype expectedLength) : indent_(indent) {
        grow(std::max<qsizetype>(expectedLength, 64));
    }

    bool null() { return putValue(u"null", 4); }
    bool boolean(bool value) { return value ? putValue(u"true", 4) : putValue(u"false", 5); }
    // A signed integer zero can only have been written "-0".
    bool number_integer(number_integer_t value) { return value == 0 ? putValue(u"-0", 2) : putInteger(value); }
    bool number_unsigned(number_unsigned_t value) { return putInteger(value); }
    bool number_float(number_float_t, const string_t& text) {
        beforeValue();
        ensure(qsizetype(text.size()));
        // The reader's copy of the text has the C library locale's decimal point in it.
        for (const char c : text)
            *at_++ = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == 'e' || c == 'E' ? c : '.';
        return true;
    }
    bool string(string_t& value) {
        beforeValue();
        putString(value);
        return true;
    }
    bool binary(binary_t&) { return false; }

    bool start_object(std::size_t) { return open(true, u'{'); }
    bool key(string_t& name) {
        Level& level = levels_[depth_ - 1];
        level.keys.push_back(std::hash<std::string_view>()(name));
        separate(level);
        putString(name);
        if (indent_ >= 0) {
            ensure(2);
            *at_++ = u':';
            *at_++ = u' ';
        } else {
            ensure(1);
            *at_++ = u':';
        }
        return true;
    }
    bool end_object() {
        if (hasRepeatedHash(levels_[depth_ - 1].keys)) return false;
        return close(u'}');
    }
    bool start_array(std::size_t) { return open(false, u'['); }
    bool end_array() { return close(u']'); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

    QString take() {
        out_.resize(at_ - begin());
        out_.squeeze();
        at_ = end_ = nullptr;
        return std::move(out_);
    }

private:
    struct Level {
        bool object = false;
        bool empty = true;
        std::vector<std::size_t> keys;  // hashes of the object's keys
    };

    char16_t* begin() { return reinterpret_cast<char16_t*>(out_.data()); }

    void ensure(qsizetype length) {
        if (end_ - at_ < length) grow(length);
    }
    // The string is resized in place where it can be (a large block is remapped, not copied).
    void grow(qsizetype length) {
        const qsizetype used = at_ ? at_ - begin() : 0;
        out_.resize(std::max(out_.size() * 2, used + length));
        at_ = begin() + used;
        end_ = begin() + out_.size();
    }

    void pad(std::size_t depth) {
        if (indent_ <= 0) return;
        const qsizetype length = qsizetype(depth) * indent_;
        ensure(length);
        std::fill_n(at_, length, u' ');
        at_ += length;
    }

    // The comma or line break before a member or an element.
    void separate(Level& level) {
        ensure(2);
        if (!level.empty) *at_++ = u',';
        level.empty = false;
        if (indent_ >= 0) *at_++ = u'\n';
        pad(depth_);
    }
    void beforeValue() {
        if (depth_ > 0 && !levels_[depth_ - 1].object) separate(levels_[depth_ - 1]);
    }

    bool putValue(const char16_t* text, qsizetype length) {
        beforeValue();
        ensure(length);
        at_ = std::copy_n(text, length, at_);
        return true;
    }
    template <typename Integer>
    bool putInteger(Integer value) {
        char digits[24];
        const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        beforeValue();
        ensure(end - digits);
        at_ = std::copy(static_cast<const char*>(digits), end, at_);
        return true;
    }

    // Quotes, backslashes and control characters escaped, everything else bare, as Writer does.
    void putString(const std::string& text) {
        // Each byte gives at most one UTF-16 unit, except escapes, which ask for their own room.
        ensure(qsizetype(text.size()) + 2);
        *at_++ = u'"';
        const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
        const std::size_t size = text.size();
        for (std::size_t i = 0; i < size;) {
            const unsigned char c = bytes[i];
            if (c >= 0x80) {
                // The reader has checked the UTF-8.
                char32_t point;
                if (c < 0xE0) {
                    point = char32_t(c & 0x1F) << 6 | (bytes[i + 1] & 0x3F);
                    i += 2;
                } else if (c < 0xF0) {
                    point = char32_t(c & 0x0F) << 12 | char32_t(bytes[i + 1] & 0x3F) << 6 | (bytes[i + 2] & 0x3F);
                    i += 3;
                } else {
                    point = char32_t(c & 0x07) << 18 | char32_t(bytes[i + 1] & 0x3F) << 12 |
                            char32_t(bytes[i + 2] & 0x3F) << 6 | (bytes[i + 3] & 0x3F);
                    i += 4;
                    *at_++ = QChar::highSurrogate(point);
                    *at_++ = QChar::lowSurrogate(point);
                    continue;
                }
                *at_++ = char16_t(point);
                continue;
            }
            ++i;
            if (c >= 0x20 && c != '"' && c != '\\') {
                *at_++ = c;
                continue;
            }
            ensure(qsizetype(size - i) + 7);
            *at_++ = u'\\';
            switch (c) {
            case '"': *at_++ = u'"'; break;
            case '\\': *at_++ = u'\\'; break;
            case '\b': *at_++ = u'b'; break;
            case '\f': *at_++ = u'f'; break;
            case '\n': *at_++ = u'n'; break;
            case '\r': *at_++ = u'r'; break;
            case '\t': *at_++ = u't'; break;
            default:
                static constexpr char16_t hex[] = u"0123456789abcdef";
                at_ = std::copy_n(u"u00", 3, at_);
                *at_++ = hex[c >> 4];
                *at_++ = hex[c & 0xF];
            }
        }
        *at_++ = u'"';
    }

    bool open(bool object, char16_t bracket) {
        if (depth_ >= std::size_t(JSONTool::maximumDepth)) return false;
        beforeValue();
        ensure(1);
        *at_++ = bracket;
        if (depth_ == levels_.size()) levels_.emplace_back();
        Level& level = levels_[depth_++];
        level.object = object;
        level.empty = true;
        level.keys.clear();
        return true;
    }
    bool close(char16_t bracket) {
        const bool empty = levels_[--depth_].empty;
        if (!empty && indent_ >= 0) {
            ensure(1);
            *at_++ = u'\n';
            pad(depth_);
        }
        ensure(1);
        *at_++ = bracket;
        return true;
    }

    // Equal hashes send the object to the tree, which compares the keys themselves.
    static bool hasRepeatedHash(std::vector<std::size_t>& keys) {
        if (keys.size() <= 16) {
            for (std::size_t i = 1; i < keys.size(); ++i) {
                if (std::find(keys.begin(), keys.begin() + std::ptrdiff_t(i), keys[i]) !=
                    keys.begin() + std::ptrdiff_t(i))
                    return true;
            }
            return false;
        }
        std::sort(keys.begin(), keys.end());
        return std::adjacent_find(keys.begin(), keys.end()) != keys.end();
    }

    QString out_;
    char16_t* at_ = nullptr;
    char16_t* end_ = nullptr;
    std::vector<Level> levels_;
    std::size_t depth_ = 0;
    int indent_;
};

}  // namespace

std::optional<QString> JSONStreamWriter::format(QStringView text, int indent) {
    try {
        // Written out, minifying never lengthens the text; indenting about doubles a compact one.
        StreamWriter writer(indent, indent < 0 ? text.size() : 2 * text.size());
        if (JSONReader::read(Utf8Pieces(text), &writer)) return writer.take();
    } catch (const std::exception&) {
    }
    return std::nullopt;
}
