#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Formats JSON text as the reader reads it, straight into UTF-16, in the form the value tree's
// writer gives it: `indent` spaces a level, minified where it is negative. No tree is built, so the
// text is never held twice. It gives up (nullopt) where only the tree can answer: a repeated key,
// which keeps its first place and its last value, and an error, whose message comes from the tree's
// reader.
class JSONStreamWriter {
public:
    static std::optional<QString> format(QStringView text, int indent);
};
