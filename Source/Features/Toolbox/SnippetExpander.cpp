#include "Source/Features/Toolbox/SnippetExpander.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/RawValues.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Toolbox/PasteboardText.h"

#include <QRegularExpression>
#include <QSet>
#include <QUuid>

#include <unicode/calendar.h>
#include <unicode/datefmt.h>
#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <memory>

namespace SnippetExpander {

namespace {

constexpr RawValues::Entry<BuiltIn> builtInRawValues[]{
    {BuiltIn::date, "date"},           {BuiltIn::time, "time"}, {BuiltIn::datetime, "datetime"},
    {BuiltIn::clipboard, "clipboard"}, {BuiltIn::uuid, "uuid"}, {BuiltIn::year, "year"},
};

const QRegularExpression& pattern() {
    static const QRegularExpression expression(QStringLiteral("\\{\\{([^{}]+)\\}\\}"));
    return expression;
}

// Blanks and tabs, not line breaks.
bool isBlank(QChar c) { return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space; }

QString trimBlanks(QStringView name) {
    qsizetype start = 0, end = name.size();
    while (start < end && isBlank(name.at(start))) ++start;
    while (end > start && isBlank(name.at(end - 1))) --end;
    return name.mid(start, end - start).toString();
}

bool isBuiltInName(const QString& name) { return RawValues::fromRawValue(builtInRawValues, name).has_value(); }

icu::Locale icuLocale(const Environment& environment) {
    return environment.locale.isEmpty() ? icu::Locale::getDefault()
                                        : icu::Locale::createCanonical(environment.locale.toUtf8().constData());
}

icu::TimeZone* icuTimeZone(const Environment& environment) {
    if (environment.timeZone.isEmpty()) return icu::TimeZone::createDefault();
    return icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(environment.timeZone.toStdString()));
}

QString fromUnicode(const icu::UnicodeString& text) {
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

UDate icuNow(const Environment& environment) {
    const QDateTime now = environment.now ? environment.now() : Clock::shared().now();
    return UDate(now.toMSecsSinceEpoch());
}

QString formatted(icu::DateFormat::EStyle dateStyle, icu::DateFormat::EStyle timeStyle,
                  const Environment& environment) {
    std::unique_ptr<icu::DateFormat> format(
        icu::DateFormat::createDateTimeInstance(dateStyle, timeStyle, icuLocale(environment)));
    if (!format) return {};
    format->adoptTimeZone(icuTimeZone(environment));
    icu::UnicodeString out;
    format->format(icuNow(environment), out);
    return fromUnicode(out);
}

QString year(const Environment& environment) {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(
        icu::Calendar::createInstance(icuTimeZone(environment), icuLocale(environment), status));
    if (U_FAILURE(status) || !calendar) return {};
    calendar->setTime(icuNow(environment), status);
    const int32_t y = calendar->get(UCAL_YEAR, status);
    return U_SUCCESS(status) ? QString::number(y) : QString();
}

}  // namespace

QString rawValue(BuiltIn builtIn) { return RawValues::rawValue(builtInRawValues, builtIn); }

QString token(BuiltIn builtIn) { return QStringLiteral("{{") + rawValue(builtIn) + QStringLiteral("}}"); }

Environment Environment::system() {
    Environment environment;
    environment.now = [] { return Clock::shared().now(); };
    environment.clipboard = [] { return Pasteboard::general().string().value_or(QString()); };
    return environment;
}

QString value(BuiltIn builtIn, const Environment& environment) {
    switch (builtIn) {
    case BuiltIn::date: return formatted(icu::DateFormat::kMedium, icu::DateFormat::kNone, environment);
    case BuiltIn::time: return formatted(icu::DateFormat::kNone, icu::DateFormat::kShort, environment);
    case BuiltIn::datetime: return formatted(icu::DateFormat::kMedium, icu::DateFormat::kShort, environment);
    case BuiltIn::clipboard: return environment.clipboard ? environment.clipboard() : QString();
    case BuiltIn::uuid: return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    case BuiltIn::year: return year(environment);
    }
    return {};
}

QList<BuiltIn> builtIns(const QString& text) {
    QList<BuiltIn> found;
    for (BuiltIn builtIn : allBuiltIns)
        if (text.contains(token(builtIn))) found.append(builtIn);
    return found;
}

QStringList customPlaceholders(const QString& text) {
    QStringList names;
    QSet<QString> seen;
    for (auto it = pattern().globalMatch(text); it.hasNext();) {
        const QString name = trimBlanks(it.next().capturedView(1));
        if (name.isEmpty() || isBuiltInName(name) || seen.contains(name)) continue;
        seen.insert(name);
        names.append(name);
    }
    return names;
}

QString expand(const QString& text, const QHash<QString, QString>& values, const BuiltInValues& builtInValues,
               const Environment& environment) {
    QString out = text;
    for (BuiltIn builtIn : allBuiltIns) {
        const QString tokenText = token(builtIn);
        if (!out.contains(tokenText)) continue;
        const auto fixed = builtInValues.find(builtIn);
        out.replace(tokenText, fixed != builtInValues.end() ? fixed->second : value(builtIn, environment));
    }

    QList<QRegularExpressionMatch> matches;
    for (auto it = pattern().globalMatch(out); it.hasNext();) matches.append(it.next());
    // Last to first, so a replacement never moves a match still to come.
    for (auto match = matches.crbegin(); match != matches.crend(); ++match) {
        const QString name = trimBlanks(match->capturedView(1));
        if (name.isEmpty() || isBuiltInName(name)) continue;  // no placeholder, or a built-in's spelling
        const auto entry = values.constFind(name);
        if (entry == values.constEnd()) continue;
        out.replace(match->capturedStart(0), match->capturedLength(0), *entry);
    }
    return out;
}

void expandReadingClipboard(const QString& text, const QHash<QString, QString>& values, BuiltInValues builtInValues,
                            QObject* context, std::function<void(QString)> done) {
    if (!text.contains(token(BuiltIn::clipboard)) || builtInValues.count(BuiltIn::clipboard)) {
        done(expand(text, values, builtInValues));
        return;
    }
    // An owner that does not answer gives no text, as an empty clipboard does.
    PasteboardText::read(context, [text, values, builtInValues = std::move(builtInValues),
                                   done = std::move(done)](std::optional<QString> clipboard) mutable {
        builtInValues[BuiltIn::clipboard] = clipboard.value_or(QString());
        done(expand(text, values, builtInValues));
    });
}

}  // namespace SnippetExpander
