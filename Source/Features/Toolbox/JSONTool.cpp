#include "Source/Features/Toolbox/JSONTool.h"

#include "Platform/Core/JsonDepth.h"
#include "Source/Features/Toolbox/UnicodeText.h"

#include <QStringEncoder>

#include <unicode/uchar.h>

#include <algorithm>
#include <charconv>
#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace JSONTool {

namespace {

// Builds the value tree from the reader's events. Unlike the library's own builder it limits the
// nesting (its writer recurses), appends members without a linear search for their key, and keeps
// the text of a number whose value would be written back differently.
class TreeBuilder {
public:
    explicit TreeBuilder(std::string_view text) : text_(text) {}

    using number_integer_t = JSONValue::number_integer_t;
    using number_unsigned_t = JSONValue::number_unsigned_t;
    using number_float_t = JSONValue::number_float_t;
    using string_t = JSONValue::string_t;
    using binary_t = JSONValue::binary_t;

    bool null() { return put(nullptr) != nullptr; }
    bool boolean(bool value) { return put(value) != nullptr; }
    bool number_integer(number_integer_t value) { return putNumber(value); }
    bool number_unsigned(number_unsigned_t value) { return putNumber(value); }
    bool number_float(number_float_t value, const string_t&) { return putNumber(value); }
    bool string(string_t& value) { return put(std::move(value)) != nullptr; }
    bool binary(binary_t&) { return false; }

    bool start_object(std::size_t) { return open(JSONValue::value_t::object); }
    bool key(string_t& name) {
        open_.back()->get_ref<JSONValue::object_t&>().emplace_back(std::move(name), nullptr);
        return true;
    }
    bool end_object() {
        keepLastOfEachKey(*open_.back());
        open_.pop_back();
        return true;
    }
    bool start_array(std::size_t) { return open(JSONValue::value_t::array); }
    bool end_array() {
        open_.pop_back();
        return true;
    }
    bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& failure) {
        errorOffset = position > 0 ? position - 1 : 0;
        error = describe(errorOffset, failure);
        return false;
    }

    JSONValue root;
    QString error;
    std::size_t errorOffset = 0;
    bool tooDeep = false;

private:
    template <typename Number>
    bool putNumber(Number value) {
        const std::string_view text = nextNumberText();
        bool same = false;
        if constexpr (std::is_floating_point_v<Number>) {
            same = JSONValue(value).dump() == text;
        } else {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
            same = std::string_view(digits, std::size_t(end - digits)) == text;
        }
        if (same) return put(value) != nullptr;
        return put(JSONValue::binary(JSONValue::binary_t::container_type(text.begin(), text.end()),
                                     numberTextSubtype)) != nullptr;
    }

    // The reader hands numbers over in the order of the text: the next number token after the last one,
    // strings skipped.
    std::string_view nextNumberText() {
        std::size_t i = numberCursor_;
        while (i < text_.size()) {
            const char c = text_[i];
            if (c == '"') {
                for (++i; i < text_.size() && text_[i] != '"'; ++i) {
                    if (text_[i] == '\\') ++i;
                }
                ++i;
            } else if (c == '-' || (c >= '0' && c <= '9')) {
                break;
            } else {
                ++i;
            }
        }
        const std::size_t start = std::min(i, text_.size());
        i = start;
        while (i < text_.size() && std::string_view("0123456789+-.eE").find(text_[i]) != std::string_view::npos) ++i;
        numberCursor_ = i;
        return text_.substr(start, i - start);
    }

    JSONValue* put(JSONValue&& value) {
        if (open_.empty()) {
            root = std::move(value);
            return &root;
        }
        JSONValue* container = open_.back();
        if (container->is_array()) {
            auto& elements = container->get_ref<JSONValue::array_t&>();
            elements.emplace_back(std::move(value));
            return &elements.back();
        }
        JSONValue& member = container->get_ref<JSONValue::object_t&>().back().second;
        member = std::move(value);
        return &member;
    }

    bool open(JSONValue::value_t type) {
        if (open_.size() >= std::size_t(maximumDepth)) {
            tooDeep = true;
            return false;
        }
        open_.push_back(put(JSONValue(type)));
        return true;
    }

    static bool hasRepeatedKey(const JSONValue::object_t& members) {
        if (members.size() <= 16) {
            for (std::size_t i = 1; i < members.size(); ++i) {
                for (std::size_t j = 0; j < i; ++j) {
                    if (members.begin()[i].first == members.begin()[j].first) return true;
                }
            }
            return false;
        }
        std::unordered_set<std::string_view> seen;
        seen.reserve(members.size());
        for (const auto& member : members) {
            if (!seen.insert(member.first).second) return true;
        }
        return false;
    }

    // A repeated key keeps its first place and its last value.
    static void keepLastOfEachKey(JSONValue& object) {
        auto& members = object.get_ref<JSONValue::object_t&>();
        if (members.size() < 2 || !hasRepeatedKey(members)) return;
        std::unordered_map<std::string_view, std::size_t> firstIndex;
        firstIndex.reserve(members.size());
        const auto member = [&members](std::size_t i) -> auto& { return members.begin()[i]; };
        for (std::size_t i = 0; i < members.size(); ++i) firstIndex.emplace(member(i).first, i);
        std::vector<JSONValue*> values(members.size(), nullptr);
        for (std::size_t i = 0; i < members.size(); ++i) values[firstIndex[member(i).first]] = &member(i).second;
        JSONValue::object_t kept;
        for (std::size_t i = 0; i < members.size(); ++i) {
            if (firstIndex[member(i).first] == i) kept.emplace_back(member(i).first, std::move(*values[i]));
        }
        object = JSONValue(std::move(kept));
    }

    static QString describe(std::size_t offset, const nlohmann::detail::exception& error) {
        const QString at = QString::asprintf(" at character %zu", offset);
        const std::string what = error.what();
        if (error.id == 406) return "Number too large" + at;
        static const std::string syntaxError = "syntax error ";
        const std::size_t start = what.find(syntaxError);
        if (start == std::string::npos) return "Syntax error" + at;
        std::string rest = what.substr(start + syntaxError.size());
        std::string context = "value";
        static const std::string whileParsing = "while parsing ";
        if (rest.starts_with(whileParsing)) {
            const std::size_t dash = rest.find(" - ");
            context = rest.substr(whileParsing.size(), dash - whileParsing.size());
            rest = dash == std::string::npos ? std::string() : rest.substr(dash + 3);
        } else if (rest.starts_with("- ")) {
            rest = rest.substr(2);
        }
        // The token read last can be the whole rest of a long text; it is left out.
        const std::size_t lastRead = rest.find("; last read: '");
        if (lastRead != std::string::npos) {
            const std::size_t expected = rest.rfind("'; expected ");
            rest = rest.substr(0, lastRead) +
                   (expected != std::string::npos && expected > lastRead ? rest.substr(expected + 1) : "");
        }
        return "Syntax error in " + QString::fromStdString(context) + at + ": " + QString::fromStdString(rest);
    }

    std::string_view text_;
    std::size_t numberCursor_ = 0;
    std::vector<JSONValue*> open_;
};

// Writes like the library's own writer, but numbers kept as text as they were written.
class Writer {
public:
    Writer(std::string& out, int indent)
        : out_(out), leaves_(nlohmann::detail::output_adapter<char>(out), ' ', JSONValue::error_handler_t::strict),
          indent_(indent) {}

    void write(const JSONValue& value, int level) {
        if (const std::optional<std::string_view> number = numberText(value)) {
            out_ += *number;
        } else if (value.is_object()) {
            const auto& members = value.get_ref<const JSONValue::object_t&>();
            if (members.empty()) return void(out_ += "{}");
            out_ += indent_ >= 0 ? "{\n" : "{";
            bool first = true;
            for (const auto& [name, member] : members) {
                if (!first) out_ += indent_ >= 0 ? ",\n" : ",";
                first = false;
                pad(level + 1);
                key_.get_ref<std::string&>() = name;
                leaves_.dump(key_, false, false, 0);
                out_ += indent_ >= 0 ? ": " : ":";
                write(member, level + 1);
            }
            close(level, '}');
        } else if (value.is_array()) {
            const auto& elements = value.get_ref<const JSONValue::array_t&>();
            if (elements.empty()) return void(out_ += "[]");
            out_ += indent_ >= 0 ? "[\n" : "[";
            bool first = true;
            for (const JSONValue& element : elements) {
                if (!first) out_ += indent_ >= 0 ? ",\n" : ",";
                first = false;
                pad(level + 1);
                write(element, level + 1);
            }
            close(level, ']');
        } else {
            leaves_.dump(value, false, false, 0);
        }
    }

private:
    void pad(int level) {
        if (indent_ > 0) out_.append(std::size_t(level * indent_), ' ');
    }
    void close(int level, char bracket) {
        if (indent_ >= 0) out_ += '\n';
        pad(level);
        out_ += bracket;
    }

    std::string& out_;
    nlohmann::detail::serializer<JSONValue> leaves_;
    JSONValue key_ = std::string();
    int indent_;
};

TransformResult<QString> writeFromTree(const QString& text, int indent, const char* failureText) {
    TransformResult<JSONValue> parsed = parse(text);
    if (!parsed.ok()) return parsed.failure();
    try {
        std::string out;
        Writer(out, indent).write(parsed.value(), 0);
        return QString::fromStdString(out);
    } catch (const std::exception&) {
        return TransformFailure::notThatFormat(QString::fromUtf8(failureText));
    }
}

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

// Writes the text out as the reader reads it, straight into UTF-16, in the form Writer gives the value
// tree; no tree is built. It gives up (returns false to the reader) where only the tree can answer: a
// repeated key, which keeps its first place and its last value, and an error, whose message comes from
// the tree's reader.
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
        if (depth_ >= std::size_t(maximumDepth)) return false;
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

// Formatting streams the text through StreamWriter; what it gives up on goes the way of the value tree.
TransformResult<QString> write(const QString& text, int indent, const char* failureText) {
    const QStringView trimmed = UnicodeText::trimmed(text);
    // The reader would take a NUL for the end of the text.
    if (!trimmed.isEmpty() && !trimmed.contains(QChar(0)) && !UnicodeText::hasLoneSurrogate(trimmed)) {
        try {
            // Written out, minifying never lengthens the text; indenting about doubles a compact one.
            StreamWriter writer(indent, indent < 0 ? trimmed.size() : 2 * trimmed.size());
            nlohmann::detail::parser<JSONValue, Utf8Pieces> reader(Utf8Pieces(trimmed), nullptr, true, false);
            if (reader.sax_parse(&writer, true)) return writer.take();
        } catch (const std::exception&) {}
    }
    return writeFromTree(text, indent, failureText);
}

}  // namespace

std::optional<std::string_view> numberText(const JSONValue& value) {
    if (!value.is_binary()) return std::nullopt;
    const JSONValue::binary_t& bytes = value.get_binary();
    if (!bytes.has_subtype() || bytes.subtype() != numberTextSubtype) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

bool isNumber(const JSONValue& value) { return value.is_number() || numberText(value); }

std::variant<JSONValue, QString> read(std::string_view utf8) {
    TreeBuilder builder(utf8);
    bool ok = false;
    try {
        ok = JSONValue::sax_parse(utf8.begin(), utf8.end(), &builder, JSONValue::input_format_t::json, true, false);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    if (!ok && builder.tooDeep) {
        return QString::asprintf("Too deeply nested at character %zu: more than %d levels of arrays and objects",
                                 JsonDepth::tooDeepOffset(utf8, maximumDepth), maximumDepth);
    }
    // The reader takes a NUL byte for the end of the text and would drop the rest.
    const std::size_t nul = utf8.find('\0');
    if (nul != std::string_view::npos && (ok || builder.errorOffset >= nul)) {
        return QString::asprintf("Syntax error at character %zu: a NUL byte", nul);
    }
    if (ok) return std::move(builder.root);
    return builder.error;
}

TransformResult<JSONValue> parse(const QString& text) {
    const QStringView trimmed = UnicodeText::trimmed(text);
    if (trimmed.isEmpty()) return TransformFailure::notThatFormat(QStringLiteral("Пусто"));
    if (UnicodeText::hasLoneSurrogate(trimmed)) return TransformFailure::notThatFormat(QStringLiteral("Не UTF-8"));
    const QByteArray bytes = trimmed.toUtf8();
    std::variant<JSONValue, QString> result = read(std::string_view(bytes.constData(), bytes.size()));
    if (JSONValue* value = std::get_if<JSONValue>(&result)) return std::move(*value);
    const QString& message = std::get<QString>(result);
    return TransformFailure::syntax(readableMessage(message), line(message, bytes));
}

TransformResult<QString> prettify(const QString& text) { return write(text, 2, "Не удалось отформатировать"); }

TransformResult<QString> minify(const QString& text) { return write(text, -1, "Не удалось сжать"); }

QString readableMessage(const QString& readerMessage) {
    QString message = readerMessage;
    message.replace(
        QStringLiteral("JSON text did not start with array or object and option to allow fragments not set."),
        QStringLiteral("Не похоже на JSON"));
    return UnicodeText::trimmed(message).toString();
}

std::optional<qint64> line(const QString& readerMessage, QByteArrayView text) {
    static const QString marker = QStringLiteral("character ");
    const qsizetype at = readerMessage.indexOf(marker);
    if (at < 0) return std::nullopt;
    // The run of numeric characters must be plain decimal digits that fit.
    qint64 offset = 0;
    bool anyDigit = false, fits = true;
    for (qsizetype i = at + marker.size(); i < readerMessage.size();) {
        const char32_t c = UnicodeText::codePointAt(readerMessage, i);
        if (u_getNumericValue(UChar32(c)) == U_NO_NUMERIC_VALUE) break;
        if (c < U'0' || c > U'9') return std::nullopt;
        anyDigit = true;
        if (offset > (std::numeric_limits<qint64>::max() - 9) / 10)
            fits = false;
        else
            offset = offset * 10 + (c - U'0');
        i += c > 0xFFFF ? 2 : 1;
    }
    if (!anyDigit || !fits) return std::nullopt;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const qsizetype limit = std::min<qint64>(offset, text.size());
    qint64 lines = 1;
    for (qsizetype i = 0; i < limit; ++i) {
        const unsigned char b = bytes[i];
        if (b >= 0x0A && b <= 0x0D)
            ++lines;
        else if (b == 0xC2 && i + 1 < limit && bytes[i + 1] == 0x85)
            ++lines;  // U+0085
        else if (b == 0xE2 && i + 2 < limit && bytes[i + 1] == 0x80 && (bytes[i + 2] & 0xFE) == 0xA8)
            ++lines;
    }
    return lines;
}

}  // namespace JSONTool
