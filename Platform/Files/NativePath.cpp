#include "Platform/Files/NativePath.h"

#include <QUrl>

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool isEscape(const QString& path, qsizetype i) {
    const char16_t c = path[i].unicode();
    return c >= 0xDC80 && c <= 0xDCFF && (i == 0 || !path[i - 1].isHighSurrogate());
}

bool inRange(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

// Length of the valid UTF-8 sequence at `i` (strict: no overlong forms, surrogates or code points
// beyond U+10FFFF), or 0.
qsizetype sequenceAt(QByteArrayView bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return k < bytes.size() ? static_cast<unsigned char>(bytes[k]) : 0; };
    const unsigned char c = at(i);
    if (c < 0x80) return 1;
    if (inRange(c, 0xC2, 0xDF)) return inRange(at(i + 1), 0x80, 0xBF) ? 2 : 0;
    if (inRange(c, 0xE0, 0xEF)) {
        const unsigned char low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
        return inRange(at(i + 1), low, high) && inRange(at(i + 2), 0x80, 0xBF) ? 3 : 0;
    }
    if (inRange(c, 0xF0, 0xF4)) {
        const unsigned char low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
        return inRange(at(i + 1), low, high) && inRange(at(i + 2), 0x80, 0xBF) && inRange(at(i + 3), 0x80, 0xBF) ? 4
                                                                                                                 : 0;
    }
    return 0;
}

bool carriesEscapes(const QString& path) {
    for (qsizetype i = 0; i < path.size(); ++i)
        if (isEscape(path, i)) return true;
    return false;
}

}  // namespace

namespace NativePath {

QByteArray encode(const QString& path) {
    if (!carriesEscapes(path)) return path.toUtf8();
    QByteArray out;
    out.reserve(path.size());
    qsizetype start = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isEscape(path, i)) continue;
        out += QStringView(path).mid(start, i - start).toUtf8();
        out += char(path[i].unicode() - kEscapeBase);
        start = i + 1;
    }
    out += QStringView(path).mid(start).toUtf8();
    return out;
}

QString decode(QByteArrayView bytes) {
    QString out;
    qsizetype start = 0, i = 0;
    while (i < bytes.size()) {
        const qsizetype n = sequenceAt(bytes, i);
        if (n > 0) {
            i += n;
            continue;
        }
        if (out.isNull()) out.reserve(bytes.size());
        out += QString::fromUtf8(bytes.sliced(start, i - start));
        out += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
        start = ++i;
    }
    if (start == 0) return QString::fromUtf8(bytes);
    out += QString::fromUtf8(bytes.sliced(start));
    return out;
}

QString displayed(const QString& path) {
    QString out = path;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (!out[i].isSurrogate()) continue;
        if (out[i].isHighSurrogate() && i + 1 < out.size() && out[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        out[i] = QChar::ReplacementCharacter;
    }
    return out;
}

bool isUtf8(const QString& path) { return !carriesEscapes(path); }

QString fileUrl(const QString& path) {
    if (!carriesEscapes(path)) return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    return QStringLiteral("file://") + QString::fromLatin1(encode(path).toPercentEncoding("/"));
}

std::optional<QString> fromFileUrl(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile()) return std::nullopt;
    // The encoded path keeps a byte that is not UTF-8 as "%XX", where toLocalFile() would lose it.
    QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!url.host().isEmpty()) bytes.prepend("//" + url.host().toUtf8());
    return decode(bytes);
}

}  // namespace NativePath
