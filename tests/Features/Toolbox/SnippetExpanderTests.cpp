#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Toolbox/SnippetExpander.h"
#include "Source/Features/Toolbox/SnippetStore.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <gtest/gtest.h>

using SnippetExpander::BuiltIn;
using SnippetExpander::Environment;

namespace {

Environment environmentAt(const QDateTime& now, const QString& locale, const QString& zone, QString clipboard = {},
                          int* clipboardReads = nullptr) {
    Environment environment;
    environment.now = [now] { return now; };
    environment.locale = locale;
    environment.timeZone = zone;
    environment.clipboard = [clipboard, clipboardReads] {
        if (clipboardReads) ++*clipboardReads;
        return clipboard;
    };
    return environment;
}

QDateTime utc(int y, int mo, int d, int h, int mi) {
    return QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc());
}

const SnippetExpander::BuiltInValues kFixed = {{BuiltIn::date, "D"},      {BuiltIn::time, "T"},
                                               {BuiltIn::datetime, "DT"}, {BuiltIn::clipboard, "C"},
                                               {BuiltIn::uuid, "U"},      {BuiltIn::year, "Y"}};

QString starterBody(int index) { return SnippetStore::starters().at(index).body; }

}  // namespace

TEST(SnippetExpander, FindsBuiltInsAndCustomNames) {
    struct Row {
        QString text;
        QList<BuiltIn> builtIns;
        QStringList custom;
    };
    const Row rows[] = {
        {starterBody(1), {BuiltIn::date}, {"имя", "подпись"}},
        {starterBody(2), {BuiltIn::clipboard}, {"название ссылки"}},
        {"{{year}} then {{date}}", {BuiltIn::date, BuiltIn::year}, {}},
        {"{{datetime}}", {BuiltIn::datetime}, {}},  // "{{date}}" is not inside "{{datetime}}"
        {"{{ date }} {{Date}} {{DATE}}", {}, {"Date", "DATE"}},
        {"{{ имя }} {{имя}} {{\tимя\t}} {{имя }}", {}, {"имя"}},
        {"{{}} {{   }} {{\t}} {{a{b}} {{a}b}}", {}, {}},
        {"{{{x}}}", {}, {"x"}},
        {"{{first\nsecond}} {{ line\n }}", {}, {"first\nsecond", "line\n"}},
        {"{{b}} {{a}} {{b}} {{uuid}} {{uuid}}", {BuiltIn::uuid}, {"b", "a"}},
        {"{{ a b }}", {}, {"a b"}},
        {"{{x}", {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(qPrintable(row.text));
        EXPECT_EQ(SnippetExpander::builtIns(row.text), row.builtIns);
        EXPECT_EQ(SnippetExpander::customPlaceholders(row.text), row.custom);
    }
}

TEST(SnippetExpander, ExpandsInOrderLeavingUnknownNamesAsWritten) {
    struct Row {
        QString text;
        QHash<QString, QString> values;
        SnippetExpander::BuiltInValues builtIns;
        QString expected;
    };
    const QHash<QString, QString> named = {{"имя", "Анна"}, {"подпись", "Олег"}, {"x", "X!"}, {"empty", ""}};
    const Row rows[] = {
        {starterBody(1), named, kFixed,
         "Здравствуйте, Анна!\n\nСпасибо за сообщение. Отвечу по существу до D.\n\nС уважением,\nОлег"},
        {starterBody(0), {}, kFixed, "DT"},
        {"{{date}}{{time}}{{datetime}}{{clipboard}}{{uuid}}{{year}}", {}, kFixed, "DTDTCUY"},
        {"{{{x}}}", named, kFixed, "{X!}"},
        {"{{ x }} and {{x}} and {{\tx}}", named, kFixed, "X! and X! and X!"},
        {"a{{empty}}b", named, kFixed, "ab"},
        {"{{nobody}} {{ nobody  }}", named, kFixed, "{{nobody}} {{ nobody  }}"},
        {"{{ date }} {{Date}}", {{"Date", "d"}, {"date", "never"}}, kFixed, "{{ date }} d"},
        {"{{}} {{ }}", {{"", "never"}}, kFixed, "{{}} {{ }}"},
        {"{{two\nlines}}", {{"two\nlines", "joined"}}, kFixed, "joined"},
        // A value is not scanned again.
        {"{{x}}", {{"x", "{{y}}"}, {"y", "never"}}, kFixed, "{{y}}"},
        // Text a built-in brings in is seen by the later passes, not by the earlier ones.
        {"{{clipboard}}",
         {{"x", "X"}},
         {{BuiltIn::clipboard, "{{date}} {{uuid}} {{year}} {{x}} {{clipboard}}"},
          {BuiltIn::uuid, "U"},
          {BuiltIn::year, "Y"}},
         "{{date}} U Y X {{clipboard}}"},
        {starterBody(2), {{"название ссылки", "Сайт"}}, {{BuiltIn::clipboard, ""}}, "[Сайт]()"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(qPrintable(row.text));
        EXPECT_EQ(SnippetExpander::expand(row.text, row.values, row.builtIns), row.expected);
    }
}

TEST(SnippetExpander, BuiltInValuesFromTheClockLocaleZoneAndClipboard) {
    struct Row {
        QDateTime now;
        QString locale, zone;
        QString date, time, datetime, year;
    };
    const Row rows[] = {
        {utc(2026, 3, 5, 14, 7), "de_DE", "UTC", "05.03.2026", "14:07", "05.03.2026, 14:07", "2026"},
        {utc(2026, 3, 5, 14, 7), "ru_RU", "Europe/Moscow", "5 мар. 2026\u202fг.", "17:07", "5 мар. 2026\u202fг., 17:07",
         "2026"},
        // The zone decides the day and the year.
        {utc(2027, 1, 1, 3, 30), "de_DE", "America/New_York", "31.12.2026", "22:30", "31.12.2026, 22:30", "2026"},
        {utc(2026, 12, 31, 23, 0), "de_DE", "Asia/Tokyo", "01.01.2027", "08:00", "01.01.2027, 08:00", "2027"},
        // The year of the locale's own calendar, in plain digits.
        {utc(2026, 6, 1, 12, 0), "th_TH@calendar=buddhist", "UTC", {}, {}, {}, "2569"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(qPrintable(row.locale + " " + row.zone));
        const Environment environment = environmentAt(row.now, row.locale, row.zone);
        if (!row.date.isEmpty()) {
            EXPECT_EQ(SnippetExpander::value(BuiltIn::date, environment), row.date);
            EXPECT_EQ(SnippetExpander::value(BuiltIn::time, environment), row.time);
            EXPECT_EQ(SnippetExpander::value(BuiltIn::datetime, environment), row.datetime);
        }
        EXPECT_EQ(SnippetExpander::value(BuiltIn::year, environment), row.year);
    }

    const Environment environment = environmentAt(utc(2026, 3, 5, 14, 7), "de_DE", "UTC", "copied");
    EXPECT_EQ(SnippetExpander::value(BuiltIn::clipboard, environment), QStringLiteral("copied"));
    EXPECT_EQ(SnippetExpander::value(BuiltIn::clipboard, environmentAt({}, {}, {}, QString())), QString());
    const QRegularExpression uuid(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$"));
    const QString first = SnippetExpander::value(BuiltIn::uuid, environment);
    EXPECT_TRUE(uuid.match(first).hasMatch()) << qPrintable(first);
    EXPECT_NE(SnippetExpander::value(BuiltIn::uuid, environment), first);
}

TEST(SnippetExpander, EachBuiltInIsComputedOncePerExpansion) {
    int reads = 0;
    const Environment environment = environmentAt(utc(2026, 3, 5, 14, 7), "de_DE", "UTC", "<{{uuid}}>", &reads);
    const QString out =
        SnippetExpander::expand("{{uuid}} {{uuid}} {{clipboard}} {{clipboard}} {{date}} {{date}}", {}, {}, environment);
    EXPECT_EQ(reads, 1);
    const QStringList parts = out.split(QLatin1Char(' '));
    ASSERT_EQ(parts.size(), 6);
    EXPECT_EQ(parts[0], parts[1]);
    EXPECT_EQ(parts[2], "<" + parts[0] + ">");  // the clipboard's token took the same UUID
    EXPECT_EQ(parts[2], parts[3]);
    EXPECT_EQ(parts[4], QStringLiteral("05.03.2026"));
    EXPECT_EQ(parts[5], parts[4]);

    // Nothing is read for a body without the token, or when the value is given.
    SnippetExpander::expand("{{date}} {{ clipboard }}", {}, {}, environment);
    SnippetExpander::expand("{{clipboard}}", {}, {{BuiltIn::clipboard, "given"}}, environment);
    EXPECT_EQ(reads, 1);
}

TEST(SnippetExpander, ReadsAnotherProgramsClipboardWithoutWaiting) {
    FakePasteboard pasteboard;
    Pasteboard::setGeneral(&pasteboard);
    QObject context;
    QStringList results;
    const auto collect = [&results](QString text) { results.append(text); };

    pasteboard.simulateCopyText(QStringLiteral("https://example.org"));
    SnippetExpander::expandReadingClipboard(starterBody(2), {{"название ссылки", "Пример"}}, {}, &context, collect);
    SnippetExpander::expandReadingClipboard("{{clipboard}}", {}, {{BuiltIn::clipboard, "given"}}, &context, collect);
    const int readsBefore = pasteboard.readCount();
    SnippetExpander::expandReadingClipboard("no token", {}, {}, &context, collect);
    EXPECT_EQ(pasteboard.readCount(), readsBefore);

    pasteboard.setOwnerAnswers(false);
    SnippetExpander::expandReadingClipboard("[{{clipboard}}]", {}, {}, &context, collect);
    pasteboard.setOwnerAnswers(true);
    pasteboard.simulateCopy({{PasteboardType::png, QByteArray("\x89PNG")}});
    SnippetExpander::expandReadingClipboard("[{{clipboard}}]", {}, {}, &context, collect);
    Pasteboard::setGeneral(nullptr);

    EXPECT_EQ(results, QStringList({"[Пример](https://example.org)", "given", "no token", "[]", "[]"}));
}
