#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <unicode/uversion.h>

#include <memory>

U_NAMESPACE_BEGIN
class BreakIterator;
U_NAMESPACE_END
struct UText;

// Unicode rules shared by the toolbox's text engines.
namespace UnicodeText {

// The White_Space property: U+0009 to U+000D, U+0085 and the separators (Zs, Zl, Zp).
bool isWhitespace(char32_t c);
// U+000A to U+000D, U+0085, U+2028, U+2029.
bool isNewline(char32_t c);

QStringView trimmed(QStringView text);
// The pieces between newline characters: a CR LF pair gives an empty piece, a final line end a last empty piece.
QList<QStringView> lines(QStringView text);
// The non-empty pieces between white-space characters.
QList<QStringView> words(QStringView text);
QString joined(const QList<QStringView>& pieces, QChar separator);

// True when the text holds a surrogate without its partner, which has no UTF-8 form.
bool hasLoneSurrogate(QStringView text);
bool isValidUtf8(QByteArrayView bytes);
qsizetype utf8Length(QStringView text);
char32_t codePointAt(QStringView text, qsizetype index);

// Full case mappings of the root locale (no language-specific rules).
QString upper(QStringView text);
QString lower(QStringView text);
// The same mappings, appended to `out`.
void appendUpper(QString& out, QStringView text);
void appendLower(QString& out, QStringView text);
// Each word's first cased character title-cased, the rest lower-cased.
QString title(QStringView text);
// NFD, every non-spacing mark removed, NFC.
QString foldDiacritics(QStringView text);
// Any script to Latin letters.
QString toLatin(QStringView text);
// The text in NFC; a view of the text itself when it already is.
QStringView nfc(QStringView text, QString& storage);
// Orders by code points (UTF-16 order puts U+10000 and above before U+E000).
int compareCodePoints(QStringView a, QStringView b);

// Walks the user-perceived characters (extended grapheme clusters) of a text.
class Graphemes {
public:
    explicit Graphemes(QStringView text);
    ~Graphemes();
    Graphemes(const Graphemes&) = delete;
    Graphemes& operator=(const Graphemes&) = delete;

    // The end of the cluster that starts at the boundary `from` (below the text's length).
    qsizetype end(qsizetype from);

private:
    qsizetype icuEnd(qsizetype from);

    QStringView text_;
    std::unique_ptr<icu::BreakIterator> iterator_;
    UText* utext_ = nullptr;
};

}  // namespace UnicodeText
