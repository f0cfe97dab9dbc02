#include "Source/Features/Toolbox/UnicodeText.h"

#include <QHash>

#include <unicode/brkiter.h>
#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/ubrk.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <algorithm>
#include <functional>

namespace UnicodeText {

namespace {

const UChar* uchars(QStringView text) { return reinterpret_cast<const UChar*>(text.utf16()); }

QString fromUnicodeString(const icu::UnicodeString& s) {
    return QString(reinterpret_cast<const QChar*>(s.getBuffer()), s.length());
}

using CaseMapping = std::function<int32_t(UChar*, int32_t, const UChar*, int32_t, const char*, UErrorCode*)>;

QString mapCase(QStringView text, CaseMapping mapping) {
    if (text.isEmpty()) return QString();
    QString out(text.size() + 16, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = mapping(reinterpret_cast<UChar*>(out.data()), int32_t(out.size()), uchars(text),
                             int32_t(text.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(length);
        status = U_ZERO_ERROR;
        length = mapping(reinterpret_cast<UChar*>(out.data()), int32_t(out.size()), uchars(text), int32_t(text.size()),
                         "", &status);
    }
    if (U_FAILURE(status)) return text.toString();
    out.resize(length);
    return out;
}

void appendMapped(QString& out, QStringView text, CaseMapping mapping) {
    if (text.isEmpty()) return;
    const qsizetype start = out.size();
    out.resize(start + text.size() + 16);
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = mapping(reinterpret_cast<UChar*>(out.data() + start), int32_t(out.size() - start), uchars(text),
                             int32_t(text.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        out.resize(start + length);
        status = U_ZERO_ERROR;
        length = mapping(reinterpret_cast<UChar*>(out.data() + start), length, uchars(text), int32_t(text.size()), "",
                         &status);
    }
    if (U_FAILURE(status)) {
        out.resize(start);
        out.append(text);
        return;
    }
    out.resize(start + length);
}

int32_t titleMapping(UChar* dest, int32_t capacity, const UChar* src, int32_t length, const char* locale,
                     UErrorCode* status) {
    return u_strToTitle(dest, capacity, src, length, nullptr, locale, status);
}

bool isAsciiBelow(QStringView text, char16_t limit) {
    return std::all_of(text.begin(), text.end(), [limit](QChar c) { return c.unicode() < limit; });
}

int gcb(char32_t c) { return u_getIntPropertyValue(UChar32(c), UCHAR_GRAPHEME_CLUSTER_BREAK); }

bool isControlLike(int breakClass) {
    return breakClass == U_GCB_CONTROL || breakClass == U_GCB_CR || breakClass == U_GCB_LF;
}

}  // namespace

bool isWhitespace(char32_t c) {
    if (c <= 0x20) return c == 0x20 || (c >= 0x09 && c <= 0x0D);
    if (c < 0x85) return false;
    if (c == 0x85 || c == 0xA0 || c == 0x1680) return true;
    if (c < 0x2000) return false;
    return c <= 0x200A || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool isNewline(char32_t c) { return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029; }

QStringView trimmed(QStringView text) {
    qsizetype begin = 0, end = text.size();
    while (begin < end && isWhitespace(text[begin].unicode())) ++begin;
    while (end > begin && isWhitespace(text[end - 1].unicode())) --end;
    return text.sliced(begin, end - begin);
}

QList<QStringView> lines(QStringView text) {
    QList<QStringView> pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isNewline(text[i].unicode())) {
            pieces.append(text.sliced(start, i - start));
            start = i + 1;
        }
    }
    pieces.append(text.sliced(start));
    return pieces;
}

QList<QStringView> words(QStringView text) {
    QList<QStringView> pieces;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool space = i == text.size() || isWhitespace(text[i].unicode());
        if (space && start >= 0) {
            pieces.append(text.sliced(start, i - start));
            start = -1;
        } else if (!space && start < 0) {
            start = i;
        }
    }
    return pieces;
}

QString joined(const QList<QStringView>& pieces, QChar separator) {
    qsizetype size = pieces.isEmpty() ? 0 : pieces.size() - 1;
    for (QStringView piece : pieces) size += piece.size();
    QString out;
    out.reserve(size);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0) out.append(separator);
        out.append(pieces[i]);
    }
    return out;
}

bool hasLoneSurrogate(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!c.isSurrogate()) continue;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        return true;
    }
    return false;
}

bool isValidUtf8(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        int extra;
        unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            extra = 2;
            if (b == 0xE0) low = 0xA0;  // overlong
            if (b == 0xED) high = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            extra = 3;
            if (b == 0xF0) low = 0x90;  // overlong
            if (b == 0xF4) high = 0x8F;  // above U+10FFFF
        } else {
            return false;
        }
        if (i + extra >= n) return false;
        if (p[i + 1] < low || p[i + 1] > high) return false;
        for (int k = 2; k <= extra; ++k) {
            if (p[i + k] < 0x80 || p[i + k] > 0xBF) return false;
        }
        i += extra + 1;
    }
    return true;
}

qsizetype utf8Length(QStringView text) {
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            length += 1;
        } else if (c < 0x800) {
            length += 2;
        } else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            length += 4;
            ++i;
        } else {
            length += 3;  // a lone surrogate counts as its replacement character
        }
    }
    return length;
}

char32_t codePointAt(QStringView text, qsizetype index) {
    const char16_t c = text[index].unicode();
    if (QChar::isHighSurrogate(c) && index + 1 < text.size() && text[index + 1].isLowSurrogate())
        return QChar::surrogateToUcs4(c, text[index + 1].unicode());
    return c;
}

QString upper(QStringView text) { return mapCase(text, u_strToUpper); }

void appendUpper(QString& out, QStringView text) { appendMapped(out, text, u_strToUpper); }

void appendLower(QString& out, QStringView text) { appendMapped(out, text, u_strToLower); }

QString lower(QStringView text) { return mapCase(text, u_strToLower); }

QString title(QStringView text) {
    // Scripts without case that ICU splits into words with a dictionary are passed over: the dictionary
    // costs more than the rest of the work, and changes nothing there.
    const auto uncased = [](char32_t c) {
        if (c < 0x0E00) return false;
        UErrorCode status = U_ZERO_ERROR;
        switch (uscript_getScript(UChar32(c), &status)) {
        case USCRIPT_HAN:
        case USCRIPT_HIRAGANA:
        case USCRIPT_KATAKANA:
        case USCRIPT_THAI:
        case USCRIPT_LAO:
        case USCRIPT_KHMER:
        case USCRIPT_MYANMAR: return true;
        default: return false;
        }
    };
    UErrorCode status = U_ZERO_ERROR;
    UBreakIterator* words = ubrk_open(UBRK_WORD, "", nullptr, 0, &status);
    if (U_FAILURE(status)) return mapCase(text, titleMapping);
    const auto titleRun = [words](UChar* dest, int32_t capacity, const UChar* src, int32_t length, const char* locale,
                                  UErrorCode* error) {
        return u_strToTitle(dest, capacity, src, length, words, locale, error);
    };
    QString out;
    out.reserve(text.size() + 16);
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype end = i;
        const bool skip = uncased(codePointAt(text, i));
        while (end < text.size()) {
            const char32_t c = codePointAt(text, end);
            // Marks stay with the character before them.
            const bool mark = U_GET_GC_MASK(UChar32(c)) & U_GC_M_MASK;
            if (end > i && !mark && uncased(c) != skip) break;
            end += c > 0xFFFF ? 2 : 1;
        }
        if (skip)
            out += text.sliced(i, end - i);
        else
            appendMapped(out, text.sliced(i, end - i), titleRun);
        i = end;
    }
    ubrk_close(words);
    return out;
}

QString foldDiacritics(QStringView text) {
    if (isAsciiBelow(text, 0xC0)) return text.toString();
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    const icu::Normalizer2* nfc = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return text.toString();
    const icu::UnicodeString source(false, uchars(text), int32_t(text.size()));
    icu::UnicodeString decomposed = nfd->normalize(source, status);
    icu::UnicodeString kept;
    kept.getBuffer(decomposed.length());
    kept.releaseBuffer(0);
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_charType(c) != U_NON_SPACING_MARK) kept.append(c);
        i += U16_LENGTH(c);
    }
    const icu::UnicodeString composed = nfc->normalize(kept, status);
    if (U_FAILURE(status)) return text.toString();
    return fromUnicodeString(composed);
}

QString toLatin(QStringView text) {
    if (isAsciiBelow(text, 0x80)) return text.toString();
    thread_local std::unique_ptr<icu::Transliterator> transliterator = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(
            icu::Transliterator::createInstance("Any-Latin", UTRANS_FORWARD, status));
        if (U_FAILURE(status)) made.reset();
        return made;
    }();
    if (!transliterator) return text.toString();
    // The transliteration costs microseconds a character, so each distinct word between white space is
    // transliterated once.
    QHash<QStringView, QString> done;
    QString out;
    out.reserve(text.size() + text.size() / 4);
    qsizetype i = 0;
    while (i < text.size()) {
        qsizetype end = i;
        const bool space = isWhitespace(text[i].unicode());
        while (end < text.size() && isWhitespace(text[end].unicode()) == space) ++end;
        const QStringView piece = text.sliced(i, end - i);
        if (space || isAsciiBelow(piece, 0x80)) {
            out += piece;
        } else {
            auto found = done.constFind(piece);
            if (found == done.constEnd()) {
                icu::UnicodeString buffer(uchars(piece), int32_t(piece.size()));
                transliterator->transliterate(buffer);
                found = done.insert(piece, fromUnicodeString(buffer));
            }
            out += *found;
        }
        i = end;
    }
    return out;
}

QStringView nfc(QStringView text, QString& storage) {
    if (isAsciiBelow(text, 0x300)) return text;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* normalizer = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status)) return text;
    const icu::UnicodeString source(false, uchars(text), int32_t(text.size()));
    if (normalizer->spanQuickCheckYes(source, status) == source.length()) return text;
    storage = fromUnicodeString(normalizer->normalize(source, status));
    return U_FAILURE(status) ? text : QStringView(storage);
}

int compareCodePoints(QStringView a, QStringView b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t x = a[i].unicode(), y = b[i].unicode();
        if (x == y) continue;
        // Surrogates (the code points above U+FFFF) move above U+E000..U+FFFF.
        const auto rank = [](char16_t c) -> int { return c >= 0xE000 ? c - 0x800 : c >= 0xD800 ? c + 0x2000 : c; };
        return rank(x) < rank(y) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

Graphemes::Graphemes(QStringView text) : text_(text) {}

Graphemes::~Graphemes() {
    iterator_.reset();
    if (utext_) utext_close(utext_);
}

qsizetype Graphemes::end(qsizetype from) {
    const qsizetype n = text_.size();
    const char32_t c = codePointAt(text_, from);
    const qsizetype next = from + (c > 0xFFFF ? 2 : 1);
    if (next >= n) return n;
    const char16_t following = text_[next].unicode();
    // Between printable ASCII and any ASCII there is always a boundary.
    if (c >= 0x20 && c < 0x7F && following < 0x80) return next;
    if (c == u'\r') return following == u'\n' ? next + 1 : next;
    const int left = gcb(c);
    if (isControlLike(left)) return next;
    const int right = gcb(codePointAt(text_, next));
    if (isControlLike(right) || (left == U_GCB_OTHER && right == U_GCB_OTHER)) return next;
    return icuEnd(from);
}

qsizetype Graphemes::icuEnd(qsizetype from) {
    if (!iterator_) {
        UErrorCode status = U_ZERO_ERROR;
        iterator_.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        utext_ = utext_openUChars(utext_, uchars(text_), text_.size(), &status);
        if (iterator_ && U_SUCCESS(status)) iterator_->setText(utext_, status);
        if (U_FAILURE(status)) iterator_.reset();
        if (!iterator_) return from + (codePointAt(text_, from) > 0xFFFF ? 2 : 1);
    }
    const int32_t end = iterator_->following(int32_t(from));
    return end == icu::BreakIterator::DONE ? text_.size() : end;
}

}  // namespace UnicodeText
