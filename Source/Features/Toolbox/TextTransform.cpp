#include "Source/Features/Toolbox/TextTransform.h"

#include "Platform/Core/Random.h"
#include "Platform/Core/RawValues.h"
#include "Source/Features/Toolbox/JSONTool.h"
#include "Source/Features/Toolbox/UnicodeText.h"

#include <QSet>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <sys/random.h>

#include <algorithm>
#include <vector>

namespace TextTransforms {

namespace {

// A raw-value table with each transform's title and group beside its raw value.
struct Entry {
    TextTransform value;
    const char* raw;
    const char* title;
    TextTransformGroup group;
};

using G = TextTransformGroup;
using T = TextTransform;

const std::array<Entry, 31> catalogue{{
    {T::upper, "upper", "ВЕРХНИЙ РЕГИСТР", G::caseStyle},
    {T::lower, "lower", "нижний регистр", G::caseStyle},
    {T::title, "title", "Каждое Слово С Заглавной", G::caseStyle},
    {T::sentence, "sentence", "Как в предложении", G::caseStyle},
    {T::camel, "camel", "camelCase", G::identifiers},
    {T::pascal, "pascal", "PascalCase", G::identifiers},
    {T::snake, "snake", "snake_case", G::identifiers},
    {T::kebab, "kebab", "kebab-case", G::identifiers},
    {T::constant, "constant", "CONSTANT_CASE", G::identifiers},
    {T::trim, "trim", "Убрать пробелы по краям", G::whitespace},
    {T::collapseSpaces, "collapseSpaces", "Сжать пробелы и переводы строк", G::whitespace},
    {T::stripDiacritics, "stripDiacritics", "Убрать диакритику", G::whitespace},
    {T::sortLines, "sortLines", "Отсортировать строки", G::lines},
    {T::uniqueLines, "uniqueLines", "Убрать повторы строк", G::lines},
    {T::reverseLines, "reverseLines", "Перевернуть порядок строк", G::lines},
    {T::shuffleLines, "shuffleLines", "Перемешать строки", G::lines},
    {T::numberLines, "numberLines", "Пронумеровать строки", G::lines},
    {T::base64Encode, "base64Encode", "Base64 — закодировать", G::encoding},
    {T::base64Decode, "base64Decode", "Base64 — декодировать", G::encoding},
    {T::urlEncode, "urlEncode", "URL — закодировать", G::encoding},
    {T::urlDecode, "urlDecode", "URL — декодировать", G::encoding},
    {T::htmlEscape, "htmlEscape", "HTML — экранировать", G::encoding},
    {T::htmlUnescape, "htmlUnescape", "HTML — снять экранирование", G::encoding},
    {T::jsonPretty, "jsonPretty", "JSON — форматировать", G::json},
    {T::jsonMinify, "jsonMinify", "JSON — сжать", G::json},
    {T::jsonEscape, "jsonEscape", "JSON — в строку", G::json},
    {T::jsonUnescape, "jsonUnescape", "JSON — из строки", G::json},
    {T::hexEncode, "hexEncode", "Hex — закодировать", G::encoding},
    {T::hexDecode, "hexDecode", "Hex — декодировать", G::encoding},
    {T::slug, "slug", "Slug для URL", G::identifiers},
    {T::countStats, "countStats", "Посчитать символы и слова", G::info},
}};

const Entry& entry(TextTransform transform) { return catalogue[std::size_t(transform)]; }

constexpr RawValues::Entry<TextTransformGroup> groupTitles[]{
    {G::caseStyle, "Регистр"}, {G::identifiers, "Идентификаторы"}, {G::whitespace, "Пробелы"},
    {G::lines, "Строки"},      {G::encoding, "Кодирование"},       {G::json, "JSON"},
    {G::info, "Разбор"},
};

TransformResult<QString> notThatFormat(const char* message) {
    return TransformFailure::notThatFormat(QString::fromUtf8(message));
}

// Identifier styles ----------------------------------------------------------------------------------------

enum class IdentifierStyle { camel, pascal, snake, kebab, constant };

struct Cluster {
    qsizetype begin;
    qsizetype end;
    bool letterOrNumber;
    bool number;
    bool upper;
    bool lower;
};

Cluster classify(QStringView text, qsizetype begin, qsizetype end) {
    const char32_t first = UnicodeText::codePointAt(text, begin);
    const uint32_t category = U_GET_GC_MASK(UChar32(first));
    Cluster cluster{begin, end,  (category & (U_GC_L_MASK | U_GC_N_MASK)) != 0, (category & U_GC_N_MASK) != 0,
                    false, false};
    if (!cluster.letterOrNumber) return cluster;
    if (end - begin == (first > 0xFFFF ? 2 : 1)) {
        cluster.upper = u_hasBinaryProperty(UChar32(first), UCHAR_UPPERCASE);
        cluster.lower = u_hasBinaryProperty(UChar32(first), UCHAR_LOWERCASE);
    } else {
        // Several scalars: upper-case when upper-casing keeps it and lower-casing changes it, and the reverse.
        const QStringView grapheme = text.sliced(begin, end - begin);
        const bool keptByUpper = UnicodeText::upper(grapheme) == grapheme;
        const bool keptByLower = UnicodeText::lower(grapheme) == grapheme;
        cluster.upper = keptByUpper && !keptByLower;
        cluster.lower = keptByLower && !keptByUpper;
    }
    return cluster;
}

struct Word {
    QStringView text;
    qsizetype firstLength;  // of its first character
};

QList<Word> identifierWords(QStringView text) {
    QList<Word> words;
    UnicodeText::Graphemes graphemes(text);
    const auto clusterAt = [&](qsizetype begin) -> std::optional<Cluster> {
        if (begin >= text.size()) return std::nullopt;
        return classify(text, begin, graphemes.end(begin));
    };
    std::optional<Cluster> last, current = clusterAt(0), next;
    qsizetype wordStart = -1, firstLength = 0;
    const auto endWord = [&](qsizetype end) {
        words.append({text.sliced(wordStart, end - wordStart), firstLength});
        wordStart = -1;
    };
    for (; current; last = current, current = next) {
        next = clusterAt(current->end);
        const Cluster& c = *current;
        if (!c.letterOrNumber) {
            if (wordStart >= 0) endWord(c.begin);
            continue;
        }
        if (wordStart >= 0) {
            const bool acronymEnd = last->upper && next && next->lower;
            if (c.upper && (last->lower || last->number || acronymEnd)) endWord(c.begin);
        }
        if (wordStart < 0) {
            wordStart = c.begin;
            firstLength = c.end - c.begin;
        }
    }
    if (wordStart >= 0) endWord(text.size());
    return words;
}

void appendCapitalized(QString& out, const Word& word) {
    UnicodeText::appendUpper(out, word.text.first(word.firstLength));
    UnicodeText::appendLower(out, word.text.sliced(word.firstLength));
}

QString identifier(QStringView text, IdentifierStyle style) {
    const QList<Word> words = identifierWords(text);
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (qsizetype i = 0; i < words.size(); ++i) {
        switch (style) {
        case IdentifierStyle::camel:
            if (i == 0)
                UnicodeText::appendLower(out, words[i].text);
            else
                appendCapitalized(out, words[i]);
            break;
        case IdentifierStyle::pascal: appendCapitalized(out, words[i]); break;
        case IdentifierStyle::snake:
        case IdentifierStyle::kebab:
            if (i > 0) out += style == IdentifierStyle::snake ? u'_' : u'-';
            UnicodeText::appendLower(out, words[i].text);
            break;
        case IdentifierStyle::constant:
            if (i > 0) out += u'_';
            UnicodeText::appendUpper(out, words[i].text);
            break;
        }
    }
    return out;
}

QString slug(QStringView text) {
    const QString folded = UnicodeText::foldDiacritics(text);
    QString latin = UnicodeText::toLatin(folded);
    if (latin.isEmpty()) latin = folded;
    return identifier(latin, IdentifierStyle::kebab);
}

QString sentence(QStringView text) {
    if (text.isEmpty()) return QString();
    const qsizetype firstEnd = UnicodeText::Graphemes(text).end(0);
    return UnicodeText::upper(text.first(firstEnd)) + UnicodeText::lower(text.sliced(firstEnd));
}

// Lines ------------------------------------------------------------------------------------------------

QString sortLines(QStringView text) {
    QList<QStringView> lines = UnicodeText::lines(text);
    std::vector<QString> storage(lines.size());
    std::vector<QStringView> keys(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) keys[i] = UnicodeText::nfc(lines[i], storage[i]);
    std::vector<qsizetype> order(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        return UnicodeText::compareCodePoints(keys[a], keys[b]) < 0;
    });
    QList<QStringView> sorted;
    sorted.reserve(lines.size());
    for (qsizetype i : order) sorted.append(lines[i]);
    return UnicodeText::joined(sorted, u'\n');
}

QString uniqueLines(QStringView text) {
    const QList<QStringView> lines = UnicodeText::lines(text);
    std::vector<QString> storage(lines.size());
    QSet<QStringView> seen;
    seen.reserve(lines.size());
    QList<QStringView> kept;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QStringView key = UnicodeText::nfc(lines[i], storage[i]);
        if (seen.contains(key)) continue;
        seen.insert(key);
        kept.append(lines[i]);
    }
    return UnicodeText::joined(kept, u'\n');
}

// The kernel's generator, read a block at a time: a shuffle draws once per line.
class BufferedSystemRandom final : public Random {
public:
    uint64_t next() override {
        if (used_ == buffer_.size()) refill();
        return buffer_[used_++];
    }

private:
    void refill() {
        auto* bytes = reinterpret_cast<char*>(buffer_.data());
        std::size_t filled = 0;
        while (filled < sizeof(buffer_)) {
            const ssize_t got = getrandom(bytes + filled, sizeof(buffer_) - filled, 0);
            if (got > 0) filled += std::size_t(got);
        }
        used_ = 0;
    }

    std::array<uint64_t, 64> buffer_{};
    std::size_t used_ = buffer_.size();
};

QString shuffleLines(QStringView text) {
    QList<QStringView> lines = UnicodeText::lines(text);
    BufferedSystemRandom random;
    for (qsizetype i = lines.size() - 1; i > 0; --i) std::swap(lines[i], lines[qsizetype(random.integer(0, i))]);
    return UnicodeText::joined(lines, u'\n');
}

QString numberLines(QStringView text) {
    const QList<QStringView> lines = UnicodeText::lines(text);
    QString out;
    out.reserve(text.size() + lines.size() * 8);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0) out += u'\n';
        out += QString::number(i + 1);
        out += u". ";
        out += lines[i];
    }
    return out;
}

// Encodings --------------------------------------------------------------------------------------------

int base64Value(char16_t c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

TransformResult<QString> base64Decode(QStringView text) {
    const auto failure = [] { return notThatFormat("Это не Base64 или внутри не текст"); };
    const QStringView trimmed = UnicodeText::trimmed(text);
    const qsizetype padded = (trimmed.size() + 3) / 4 * 4;
    QByteArray bytes(padded / 4 * 3, Qt::Uninitialized);
    char* out = bytes.data();
    const auto valueAt = [&trimmed](qsizetype i) -> int {
        if (i >= trimmed.size()) return -2;  // padding we add
        char16_t c = trimmed[i].unicode();
        if (c == u'-') c = u'+';  // URL-safe alphabet
        if (c == u'_') c = u'/';
        return c == u'=' ? -2 : base64Value(c);
    };
    for (qsizetype i = 0; i < padded; i += 4) {
        const bool last = i + 4 == padded;
        int v[4];
        int padding = 0;
        for (int k = 0; k < 4; ++k) {
            v[k] = valueAt(i + k);
            if (v[k] == -2 && last && k >= 2) {
                v[k] = 0;
                ++padding;
            } else if (v[k] < 0 || padding > 0) {
                return failure();
            }
        }
        const quint32 group = quint32(v[0]) << 18 | quint32(v[1]) << 12 | quint32(v[2]) << 6 | quint32(v[3]);
        *out++ = char(group >> 16);
        if (padding < 2) *out++ = char(group >> 8);
        if (padding < 1) *out++ = char(group);
    }
    bytes.truncate(out - bytes.constData());
    if (!UnicodeText::isValidUtf8(bytes)) return failure();
    return QString::fromUtf8(bytes);
}

const char* hexDigits = "0123456789ABCDEF";

TransformResult<QString> urlEncode(QStringView text) {
    if (UnicodeText::hasLoneSurrogate(text)) return notThatFormat("Не удалось закодировать");
    const QByteArray in = text.toUtf8();
    QByteArray out(in.size() * 3, Qt::Uninitialized);
    char* o = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(in.constData());
    const qsizetype n = in.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char b = p[i];
        qsizetype length = 1;
        bool allowed;
        if (b < 0x80) {
            allowed = (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '-' ||
                      b == '.' || b == '_' || b == '~';
        } else {
            // Letters, marks and digits of every script stay as they are.
            UChar32 c;
            qsizetype next = i;
            U8_NEXT_UNSAFE(p, next, c);
            length = next - i;
            allowed = (U_GET_GC_MASK(c) & (U_GC_L_MASK | U_GC_M_MASK | U_GC_N_MASK)) != 0;
        }
        for (qsizetype k = 0; k < length; ++k) {
            const unsigned char byte = p[i + k];
            if (allowed) {
                *o++ = char(byte);
            } else {
                *o++ = '%';
                *o++ = hexDigits[byte >> 4];
                *o++ = hexDigits[byte & 0xF];
            }
        }
        i += length;
    }
    out.truncate(o - out.constData());
    return QString::fromUtf8(out);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

TransformResult<QString> urlDecode(QStringView text) {
    const auto failure = [] { return notThatFormat("Это не percent-encoding"); };
    if (UnicodeText::hasLoneSurrogate(text)) return failure();
    const QByteArray in = text.toUtf8();
    QByteArray out(in.size(), Qt::Uninitialized);
    char* o = out.data();
    const char* p = in.constData();
    const qsizetype n = in.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (p[i] != '%') {
            *o++ = p[i];
            continue;
        }
        const int high = i + 2 < n ? hexValue(p[i + 1]) : -1, low = i + 2 < n ? hexValue(p[i + 2]) : -1;
        if (high < 0 || low < 0) return failure();
        *o++ = char(high << 4 | low);
        i += 2;
    }
    out.truncate(o - out.constData());
    if (!UnicodeText::isValidUtf8(out)) return failure();
    return QString::fromUtf8(out);
}

// One pass does what the five replacements in turn do: only "&" could meet an earlier replacement's output.
QString htmlEscape(QStringView text) {
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&': out += u"&amp;"; break;
        case u'<': out += u"&lt;"; break;
        case u'>': out += u"&gt;"; break;
        case u'"': out += u"&quot;"; break;
        case u'\'': out += u"&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

QString htmlUnescape(QStringView text) {
    QString out = text.toString();
    out.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
    out.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    out.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
    out.replace(QStringLiteral("&#39;"), QStringLiteral("'"));
    out.replace(QStringLiteral("&apos;"), QStringLiteral("'"));
    out.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "));
    out.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return out;
}

bool isHexDigitCharacter(char32_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= 0xFF10 && c <= 0xFF19) ||
           (c >= 0xFF21 && c <= 0xFF26) || (c >= 0xFF41 && c <= 0xFF46);
}

TransformResult<QString> hexDecode(QStringView text) {
    const auto failure = [] { return notThatFormat("Это не hex или внутри не текст"); };
    QByteArray digits(text.size(), Qt::Uninitialized);
    char* d = digits.data();
    UnicodeText::Graphemes graphemes(text);
    for (qsizetype i = 0; i < text.size();) {
        // A digit is a whole character: one carrying a combining mark is not a digit.
        const qsizetype end = graphemes.end(i);
        const char32_t c = UnicodeText::codePointAt(text, i);
        if (end - i == 1 && isHexDigitCharacter(c)) *d++ = c < 0x80 ? char(c) : '?';  // a fullwidth digit fails below
        i = end;
    }
    digits.truncate(d - digits.constData());
    if (digits.isEmpty() || digits.size() % 2 != 0) return failure();
    QByteArray bytes(digits.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int high = hexValue(digits[i]), low = hexValue(digits[i + 1]);
        if (high < 0 || low < 0) return failure();
        bytes[i / 2] = char(high << 4 | low);
    }
    if (!UnicodeText::isValidUtf8(bytes)) return failure();
    return QString::fromUtf8(bytes);
}

// JSON strings -----------------------------------------------------------------------------------------

TransformResult<QString> jsonEscape(QStringView text) {
    if (UnicodeText::hasLoneSurrogate(text)) return notThatFormat("Не удалось экранировать");
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        switch (c) {
        case u'"': out += u"\\\""; break;
        case u'\\': out += u"\\\\"; break;
        case u'\b': out += u"\\b"; break;
        case u'\f': out += u"\\f"; break;
        case u'\n': out += u"\\n"; break;
        case u'\r': out += u"\\r"; break;
        case u'\t': out += u"\\t"; break;
        default:
            if (c < 0x20)
                out += QString::asprintf("\\u%04x", unsigned(c));
            else
                out += ch;
        }
    }
    out += u'"';
    return out;
}

TransformResult<QString> jsonUnescape(const QString& text) {
    const auto failure = [] { return notThatFormat("Это не экранированная JSON-строка"); };
    if (UnicodeText::hasLoneSurrogate(text)) return failure();
    const QByteArray bytes = text.startsWith(u'"') ? text.toUtf8() : (QChar(u'"') + text + QChar(u'"')).toUtf8();
    const std::variant<JSONValue, QString> read = JSONTool::read(std::string_view(bytes.constData(), bytes.size()));
    const JSONValue* value = std::get_if<JSONValue>(&read);
    if (!value || !value->is_string()) return failure();
    return QString::fromStdString(value->get_ref<const std::string&>());
}

// Counting ---------------------------------------------------------------------------------------------

QString countStats(QStringView text) {
    qint64 characters = 0, visible = 0;
    UnicodeText::Graphemes graphemes(text);
    for (qsizetype i = 0; i < text.size();) {
        ++characters;
        if (!UnicodeText::isWhitespace(UnicodeText::codePointAt(text, i))) ++visible;
        i = graphemes.end(i);
    }
    const qint64 words = UnicodeText::words(text).size();
    const qint64 lines = text.isEmpty() ? 0 : UnicodeText::lines(text).size();
    return QString::asprintf("Символов: %lld\nБез пробелов: %lld\nСлов: %lld\nСтрок: %lld\nБайт в UTF-8: %lld",
                             characters, visible, words, lines, qint64(UnicodeText::utf8Length(text)));
}

}  // namespace

QString rawValue(TextTransform transform) { return RawValues::rawValue(catalogue, transform); }

std::optional<TextTransform> fromRawValue(QStringView rawValue) { return RawValues::fromRawValue(catalogue, rawValue); }

QString title(TextTransform transform) { return QString::fromUtf8(entry(transform).title); }

TextTransformGroup group(TextTransform transform) { return entry(transform).group; }

QList<TextTransform> transforms(TextTransformGroup group) {
    QList<TextTransform> members;
    for (const Entry& e : catalogue) {
        if (e.group == group) members.append(e.value);
    }
    return members;
}

QString rawValue(TextTransformGroup group) { return RawValues::rawValue(groupTitles, group); }

std::optional<TextTransformGroup> groupFromRawValue(QStringView rawValue) {
    return RawValues::fromRawValue(groupTitles, rawValue);
}

TransformResult<QString> apply(TextTransform transform, const QString& text) {
    switch (transform) {
    case T::upper: return UnicodeText::upper(text);
    case T::lower: return UnicodeText::lower(text);
    case T::title: return UnicodeText::title(text);
    case T::sentence: return sentence(text);
    case T::camel: return identifier(text, IdentifierStyle::camel);
    case T::pascal: return identifier(text, IdentifierStyle::pascal);
    case T::snake: return identifier(text, IdentifierStyle::snake);
    case T::kebab: return identifier(text, IdentifierStyle::kebab);
    case T::constant: return identifier(text, IdentifierStyle::constant);
    case T::trim: return UnicodeText::trimmed(text).toString();
    case T::collapseSpaces: return UnicodeText::joined(UnicodeText::words(text), u' ');
    case T::stripDiacritics: return UnicodeText::foldDiacritics(text);
    case T::sortLines: return sortLines(text);
    case T::uniqueLines: return uniqueLines(text);
    case T::reverseLines: {
        QList<QStringView> lines = UnicodeText::lines(text);
        std::reverse(lines.begin(), lines.end());
        return UnicodeText::joined(lines, u'\n');
    }
    case T::shuffleLines: return shuffleLines(text);
    case T::numberLines: return numberLines(text);
    case T::base64Encode: return QString::fromLatin1(text.toUtf8().toBase64());
    case T::base64Decode: return base64Decode(text);
    case T::urlEncode: return urlEncode(text);
    case T::urlDecode: return urlDecode(text);
    case T::htmlEscape: return htmlEscape(text);
    case T::htmlUnescape: return htmlUnescape(text);
    case T::jsonPretty: return JSONTool::prettify(text);
    case T::jsonMinify: return JSONTool::minify(text);
    case T::jsonEscape: return jsonEscape(text);
    case T::jsonUnescape: return jsonUnescape(text);
    case T::hexEncode: return QString::fromLatin1(text.toUtf8().toHex());
    case T::hexDecode: return hexDecode(text);
    case T::slug: return slug(text);
    case T::countStats: return countStats(text);
    }
    return text;
}

}  // namespace TextTransforms
