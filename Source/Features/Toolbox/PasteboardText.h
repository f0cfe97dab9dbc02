#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The plain text on the general pasteboard, read without waiting on the program that holds it.
namespace PasteboardText {

// The most text taken: a larger copy counts as no text.
inline constexpr qsizetype maximumBytes = qsizetype(64) << 20;

// Calls done on the GUI thread with the text, or nothing when the pasteboard holds no text, its owner
// does not answer or the text is larger than maximumBytes; never after context is gone.
void read(QObject* context, std::function<void(std::optional<QString>)> done);

}  // namespace PasteboardText
