#include "Source/Features/Clipboard/RichTextReader.h"

#include <QStringDecoder>
#include <QTextDocumentFragment>

#include <algorithm>
#include <vector>

namespace RichTextReader {
namespace {

// Windows-1252 for the bytes 0x80 to 0x9F; the rest of the code page is Latin-1.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
    0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

QChar fromCodePage(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) return QChar(kCp1252High[byte - 0x80]);
    return QChar(byte);
}

// Destinations whose contents are not part of the text.
bool isSkippedDestination(const QByteArray& word) {
    static const char* const skipped[] = {
        "fonttbl", "colortbl", "stylesheet", "info", "pict", "object", "header", "headerl", "headerr", "headerf",
        "footer", "footerl", "footerr", "footerf", "footnote", "themedata", "colorschememapping", "latentstyles",
        "datastore", "xmlnstbl", "listtable", "listoverridetable", "rsidtbl", "generator", "filetbl", "revtbl",
        "pgdsctbl", "expandedcolortbl", "fldinst", "bkmkstart", "bkmkend", "nonshppict", "shpinst", "mmathPr",
    };
    for (const char* name : skipped)
        if (word == name) return true;
    return false;
}

struct Group {
    bool skip = false;
    int unicodeSkip = 1;  // \ucN: fallback characters after each \u
};

}  // namespace

std::optional<QString> charactersOfRtf(const QByteArray& rtf) {
    if (!rtf.startsWith("{\\rtf")) return std::nullopt;
    QString out;
    std::vector<Group> stack{Group{}};
    int pendingSkip = 0;  // fallback characters still to drop after a \u
    bool groupStart = false;
    const qsizetype n = rtf.size();
    qsizetype i = 0;

    auto put = [&](QChar c) {
        if (pendingSkip > 0) {
            --pendingSkip;
            return;
        }
        if (!stack.back().skip) out.append(c);
    };

    while (i < n) {
        const char c = rtf[i];
        if (c == '{') {
            Group inner = stack.back();
            stack.push_back(inner);
            if (stack.size() > 256) return std::nullopt;  // unreasonably deep: not a document we read
            groupStart = true;
            pendingSkip = 0;
            ++i;
            continue;
        }
        if (c == '}') {
            if (stack.size() > 1) stack.pop_back();
            groupStart = false;
            pendingSkip = 0;
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c != '\\') {
            groupStart = false;
            put(fromCodePage((unsigned char)c));
            ++i;
            continue;
        }
        // A control symbol or word.
        ++i;
        if (i >= n) break;
        const char s = rtf[i];
        if (s == '\\' || s == '{' || s == '}') {
            put(QChar(s));
            ++i;
            groupStart = false;
            continue;
        }
        if (s == '*') {
            if (groupStart) stack.back().skip = true;
            ++i;
            continue;
        }
        if (s == '\'') {
            if (i + 2 < n) {
                bool ok = false;
                const int byte = rtf.mid(i + 1, 2).toInt(&ok, 16);
                if (ok) put(fromCodePage((unsigned char)byte));
            }
            i += 3;
            groupStart = false;
            continue;
        }
        if (s == '~') { put(QChar(0x00A0)); ++i; continue; }
        if (s == '_') { put(QChar(0x2011)); ++i; continue; }
        if (s == '-') { ++i; continue; }
        if (s == '\r' || s == '\n') { put(QLatin1Char('\n')); ++i; continue; }
        if (!((s >= 'a' && s <= 'z') || (s >= 'A' && s <= 'Z'))) {
            ++i;
            continue;
        }
        const qsizetype wordStart = i;
        while (i < n && ((rtf[i] >= 'a' && rtf[i] <= 'z') || (rtf[i] >= 'A' && rtf[i] <= 'Z'))) ++i;
        const QByteArray word = rtf.mid(wordStart, i - wordStart);
        bool hasParam = false;
        long long param = 0;
        bool negative = false;
        if (i < n && rtf[i] == '-') {
            negative = true;
            ++i;
        }
        int digits = 0;
        while (i < n && rtf[i] >= '0' && rtf[i] <= '9') {
            if (digits < 10) param = param * 10 + (rtf[i] - '0');
            ++digits;
            ++i;
            hasParam = true;
        }
        if (negative) param = -param;
        if (i < n && rtf[i] == ' ') ++i;  // the delimiter belongs to the word

        const bool wasGroupStart = groupStart;
        groupStart = false;
        if (wasGroupStart && isSkippedDestination(word)) {
            stack.back().skip = true;
            continue;
        }
        if (word == "par" || word == "line" || word == "sect" || word == "page") put(QLatin1Char('\n'));
        else if (word == "tab") put(QLatin1Char('\t'));
        else if (word == "cell") put(QLatin1Char('\t'));
        else if (word == "row") put(QLatin1Char('\n'));
        else if (word == "emdash") put(QChar(0x2014));
        else if (word == "endash") put(QChar(0x2013));
        else if (word == "bullet") put(QChar(0x2022));
        else if (word == "lquote") put(QChar(0x2018));
        else if (word == "rquote") put(QChar(0x2019));
        else if (word == "ldblquote") put(QChar(0x201C));
        else if (word == "rdblquote") put(QChar(0x201D));
        else if (word == "uc" && hasParam) stack.back().unicodeSkip = int(std::clamp<long long>(param, 0, 16));
        else if (word == "u" && hasParam) {
            long long code = param < 0 ? param + 65536 : param;
            if (code < 0 || code > 0xFFFF) code = 0xFFFD;
            pendingSkip = 0;
            put(QChar(char16_t(code)));
            pendingSkip = stack.back().unicodeSkip;
        }
    }
    return out;
}

QString charactersOfHtml(const QByteArray& html) {
    QStringDecoder decoder(QStringDecoder::encodingForHtml(html).value_or(QStringConverter::Utf8));
    const QString text = decoder.decode(html);
    return QTextDocumentFragment::fromHtml(text).toPlainText();
}

}  // namespace RichTextReader
