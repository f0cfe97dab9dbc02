#include "Source/Features/Toolbox/JSONTool.h"

#include "Platform/Core/JsonDepth.h"
#include "Source/Features/Toolbox/JSONReader.h"
#include "Source/Features/Toolbox/JSONStreamWriter.h"
#include "Source/Features/Toolbox/UnicodeText.h"

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

// Formatting streams the text through JSONStreamWriter; what it gives up on goes the way of the value tree.
TransformResult<QString> write(const QString& text, int indent, const char* failureText) {
    const QStringView trimmed = UnicodeText::trimmed(text);
    // The reader would take a NUL for the end of the text.
    if (!trimmed.isEmpty() && !trimmed.contains(QChar(0)) && !UnicodeText::hasLoneSurrogate(trimmed)) {
        if (std::optional<QString> written = JSONStreamWriter::format(trimmed, indent)) return std::move(*written);
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
        ok = JSONReader::read(nlohmann::detail::input_adapter(utf8.begin(), utf8.end()), &builder);
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
