#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The characters of rich text, without formatting.
namespace RichTextReader {
// The text of an RTF document; absent when the bytes are not RTF.
std::optional<QString> charactersOfRtf(const QByteArray& rtf);
// The rendered text of an HTML document (its charset from a byte-order mark or meta tag,
// else UTF-8).
QString charactersOfHtml(const QByteArray& html);
}  // namespace RichTextReader
