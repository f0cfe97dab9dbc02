#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <map>

class QObject;

// Fills the placeholders of a snippet body: names between double braces. Six names are built in
// (dates, the clipboard's text, a new UUID, the year); the others are the user's. Stateless.
namespace SnippetExpander {

enum class BuiltIn { date, time, datetime, clipboard, uuid, year };

inline constexpr std::array<BuiltIn, 6> allBuiltIns{BuiltIn::date,      BuiltIn::time, BuiltIn::datetime,
                                                    BuiltIn::clipboard, BuiltIn::uuid, BuiltIn::year};
QString rawValue(BuiltIn builtIn);  // the name: "date", "time", "datetime", "clipboard", "uuid", "year"
QString token(BuiltIn builtIn);  // "{{" + name + "}}"

// What the built-ins read. The system one: the shared clock, ICU's default locale and time zone,
// and the text this program can read from the clipboard at once.
struct Environment {
    std::function<QDateTime()> now;
    QString locale;  // an ICU locale id; empty: ICU's default
    QString timeZone;  // an IANA zone id; empty: the system's
    std::function<QString()> clipboard;  // the clipboard's plain text, empty when it holds none

    static Environment system();
};

// Computed afresh on each call: a medium date, a short time, both, the clipboard's text, a new
// upper-case UUID, or the calendar year in plain digits.
QString value(BuiltIn builtIn, const Environment& environment = Environment::system());

// The built-ins whose exact token occurs in the text, each once, in the order of allBuiltIns.
QList<BuiltIn> builtIns(const QString& text);
// The user's placeholder names in order of first appearance: trimmed of blanks and tabs (not of
// line breaks), built-in names (exact case) and empty names left out, each once.
QStringList customPlaceholders(const QString& text);

using BuiltInValues = std::map<BuiltIn, QString>;

// Replaces every built-in token (a value from `builtInValues`, else computed once per call), then
// every placeholder whose trimmed name has an entry in `values`. Others stay as written.
QString expand(const QString& text, const QHash<QString, QString>& values, const BuiltInValues& builtInValues,
               const Environment& environment = Environment::system());

// As expand(), first reading another program's clipboard text without waiting on it when the
// text asks for it and `builtInValues` does not fix it. `done` runs on the GUI thread unless
// `context` is gone by then. GUI thread only.
void expandReadingClipboard(const QString& text, const QHash<QString, QString>& values, BuiltInValues builtInValues,
                            QObject* context, std::function<void(QString)> done);

}  // namespace SnippetExpander
