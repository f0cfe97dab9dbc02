#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// File names are bytes, and not every name is valid UTF-8. A path text made here carries the exact
// bytes: a byte that is not part of valid UTF-8 stays as the lone surrogate U+DC80 + (byte - 0x80),
// which no valid UTF-8 decodes to, so encode(decode(b)) == b for any bytes. Such a text is shown
// with U+FFFD in place of each of those bytes (displayed()); acting on it goes through encode().
namespace NativePath {

QByteArray encode(const QString& path);
QString decode(QByteArrayView bytes);
// Lone surrogates become U+FFFD: for labels and stored names, never for acting on the file.
QString displayed(const QString& path);
// Whether the path's bytes are valid UTF-8: then Qt's own file functions and any text that must be
// UTF-8 (a desktop entry) name it exactly.
bool isUtf8(const QString& path);

// "file://" and the path's exact bytes, percent-encoded; a valid UTF-8 path reads as QUrl writes it.
QString fileUrl(const QString& path);
// The path a local file URL names, bytes as they were encoded; nothing for any other URL.
std::optional<QString> fromFileUrl(const QString& url);

}  // namespace NativePath
