#include "Source/Features/Toolbox/JSONTool.h"
#include "ToolboxTestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdio>

#include <sys/wait.h>
#include <unistd.h>

namespace {

using Kind = TransformFailure::Kind;

QByteArray fixture(const QString& path) {
    QFile file(QStringLiteral(QUORVIN_FIXTURES "/json/") + path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

QStringList corpus(const QString& folder) {
    return QDir(QStringLiteral(QUORVIN_FIXTURES "/json/") + folder).entryList({"*.json"}, QDir::Files, QDir::Name);
}

// The byte offset a reader message names.
qint64 namedOffset(const QString& message) {
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("character (\\d+)")).match(message);
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

}  // namespace

TEST(JSONToolCorpus, AcceptsEveryConformingDocumentAndWritesItBackReadably) {
    const QStringList names = corpus(QStringLiteral("accept"));
    ASSERT_GE(names.size(), 15);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = fixture("accept/" + name);
        const auto read = JSONTool::read(std::string_view(bytes.constData(), bytes.size()));
        ASSERT_TRUE(std::holds_alternative<JSONValue>(read)) << std::get<QString>(read).toStdString();
        const JSONValue parsed = succeeded(JSONTool::parse(QString::fromUtf8(bytes)));
        EXPECT_EQ(parsed, std::get<JSONValue>(read));
        // Both written forms read back to the same value.
        const QString pretty = succeeded(JSONTool::prettify(QString::fromUtf8(bytes)));
        const QString minified = succeeded(JSONTool::minify(QString::fromUtf8(bytes)));
        EXPECT_EQ(succeeded(JSONTool::parse(pretty)), parsed);
        EXPECT_EQ(succeeded(JSONTool::parse(minified)), parsed);
        EXPECT_FALSE(minified.contains(u'\n'));
    }
}

TEST(JSONToolCorpus, RejectsEveryNonConformingDocumentWithAnOffsetInsideIt) {
    const QStringList names = corpus(QStringLiteral("reject"));
    ASSERT_GE(names.size(), 40);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = fixture("reject/" + name);
        const auto read = JSONTool::read(std::string_view(bytes.constData(), bytes.size()));
        ASSERT_TRUE(std::holds_alternative<QString>(read)) << std::get<JSONValue>(read).dump();
        const qint64 offset = namedOffset(std::get<QString>(read));
        EXPECT_GE(offset, 0) << std::get<QString>(read).toStdString();
        EXPECT_LE(offset, bytes.size());
        // Through the text path too, where the bytes can be text at all.
        if (QString::fromUtf8(bytes).toUtf8() != bytes) continue;
        const TransformFailure failure = failed(JSONTool::parse(QString::fromUtf8(bytes)));
        if (failure.kind == Kind::notThatFormat) {
            EXPECT_EQ(failure.message, QStringLiteral("Пусто"));
        } else {
            EXPECT_TRUE(failure.line.has_value()) << failure.message.toStdString();
        }
    }
}

TEST(JSONToolRead, DecodesEscapesNumbersAndRepeatedKeys) {
    const JSONValue escapes = succeeded(JSONTool::parse(QString::fromUtf8(fixture("accept/escapes.json"))));
    EXPECT_EQ(escapes[0].get<std::string>(), "\"\\/\b\f\n\r\t");
    const JSONValue unicode = succeeded(JSONTool::parse(QString::fromUtf8(fixture("accept/unicode-escapes.json"))));
    EXPECT_EQ(unicode[0].get<std::string>(), "A\xC3\xA9\xE4\xB8\xAD");
    EXPECT_EQ(unicode[1].get<std::string>(), std::string(1, '\0'));
    const JSONValue pairs = succeeded(JSONTool::parse(QString::fromUtf8(fixture("accept/surrogate-pair.json"))));
    EXPECT_EQ(pairs[0].get<std::string>(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(pairs[1].get<std::string>(), "\xF0\x9D\x84\x9E");
    const JSONValue limits = succeeded(JSONTool::parse(QString::fromUtf8(fixture("accept/number-limits.json"))));
    EXPECT_EQ(limits[0].get<qint64>(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(limits[1].get<qint64>(), std::numeric_limits<qint64>::min());
    EXPECT_EQ(limits[2].get<quint64>(), std::numeric_limits<quint64>::max());
    // Beyond 64 bits or beyond a double's range: kept as written.
    EXPECT_EQ(JSONTool::numberText(limits[3]), "123456789012345678901234567890");
    EXPECT_EQ(JSONTool::numberText(limits[4]), "1e-400");
    // A repeated key keeps its first place and its last value, in small and in large objects.
    EXPECT_EQ(succeeded(JSONTool::minify(QStringLiteral(R"({"a":1,"b":2,"a":3})"))),
              QStringLiteral(R"({"a":3,"b":2})"));
    QString large = QStringLiteral("{");
    for (int i = 0; i < 40; ++i) large += QString::asprintf("\"k%d\":%d,", i, i);
    large += QStringLiteral("\"k5\":\"last\"}");
    const JSONValue big = succeeded(JSONTool::parse(large));
    EXPECT_EQ(big.size(), 40u);
    EXPECT_EQ(big["k5"], "last");
    EXPECT_EQ(std::next(big.begin(), 5).value(), "last");
    EXPECT_EQ(std::next(big.items().begin(), 6).key(), "k6");
}

TEST(JSONToolRead, EmptyOrUnencodableTextIsNotJSON) {
    struct Case {
        QString text;
        QString message;
    };
    const Case cases[] = {
        {QString(), QStringLiteral("Пусто")},
        {QStringLiteral(" \n\t\r\n \u2028\u00A0"), QStringLiteral("Пусто")},
        {QStringLiteral("[\"") + QChar(0xD800) + QStringLiteral("\"]"), QStringLiteral("Не UTF-8")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(failed(JSONTool::parse(c.text)), TransformFailure::notThatFormat(c.message));
        EXPECT_EQ(failed(JSONTool::prettify(c.text)), TransformFailure::notThatFormat(c.message));
        EXPECT_EQ(failed(JSONTool::minify(c.text)), TransformFailure::notThatFormat(c.message));
    }
}

TEST(JSONToolRead, SyntaxErrorsNameTheLineOfTheTrimmedText) {
    struct Case {
        QString text;
        qint64 line;
        qint64 offset;
    };
    const Case cases[] = {
        {QStringLiteral("x"), 1, 0},
        {QStringLiteral("[1,\n  tru\n]"), 2, 9},
        {QStringLiteral("\n\n   {\"a\": 1,\n\"b\" 2}\n\n"), 2, 13},  // blank lines before are trimmed
        {QStringLiteral("{\n  \"a\": 1,\n  \"b\": [1, 2,]\n}"), 3, 25},
        {QStringLiteral("[1,\r\n2,\r\n x]"), 5, 10},  // CR LF counts twice
        {QStringLiteral("[\"a\u2028b\",\n\"ж\" x]"), 3, 15},  // U+2028 inside a string is a line end
        {QStringLiteral("[1, 2"), 1, 5},  // the end of the text
        // A malformed number stays an error, whatever its size.
        {QStringLiteral("[1e]"), 1, 3},
        {QStringLiteral("[01]"), 1, 2},
        {QStringLiteral("[1.]"), 1, 3},
        {QStringLiteral("[-]"), 1, 2},
        {QStringLiteral("[1e400x]"), 1, 6},
        {QStringLiteral("[1E400 1]"), 1, 7},
        // A NUL byte is no end of the text.
        {QString::fromUtf8("{\"a\":1}\0{broken", 15), 1, 7},
        {QString::fromUtf8("123\0", 4), 1, 3},
        {QString::fromUtf8("[1,\n2]\0 ", 8), 2, 6},
        {QString::fromUtf8("[1,\n\0 2]", 8), 2, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        const TransformFailure failure = failed(JSONTool::parse(c.text));
        EXPECT_EQ(failure.kind, Kind::syntax);
        EXPECT_EQ(failure.line, c.line) << failure.message.toStdString();
        EXPECT_EQ(namedOffset(failure.message), c.offset) << failure.message.toStdString();
        EXPECT_TRUE(failure.displayText().startsWith(QString::asprintf("Строка %lld: ", c.line)));
        // Formatting and minifying pass the reader's failure on unchanged.
        EXPECT_EQ(failed(JSONTool::prettify(c.text)), failure);
        EXPECT_EQ(failed(JSONTool::minify(c.text)), failure);
    }
}

TEST(JSONToolRead, LineOfAnOffsetCountsEveryNewlineCharacterBeforeIt) {
    struct Case {
        QString message;
        QByteArray text;
        std::optional<qint64> line;
    };
    const QByteArray text = "abcd\nef\r\ngh\xC2\x85ij\xE2\x80\xA8kl";
    const Case cases[] = {
        {QStringLiteral("Bad value around character 0."), text, 1},
        {QStringLiteral("character 4"), text, 1},
        {QStringLiteral("character 5"), text, 2},
        {QStringLiteral("character 12"), "abcd\nefghijklmnop", 2},
        {QStringLiteral("character 9"), text, 4},  // CR and LF
        {QStringLiteral("character 12"), text, 4},  // inside U+0085
        {QStringLiteral("character 13"), text, 5},
        {QStringLiteral("character 17"), text, 5},  // inside U+2028
        {QStringLiteral("character 18"), text, 6},
        {QStringLiteral("character 999999"), text, 6},  // past the end: the whole text
        {QStringLiteral("character 12abc, character 1"), text, 4},
        {QStringLiteral("Character 5"), text, std::nullopt},
        {QStringLiteral("no offset here"), text, std::nullopt},
        {QStringLiteral("character U+000A"), text, std::nullopt},
        {QStringLiteral("character \u0663"), text, std::nullopt},  // numeric but not a decimal digit
        {QStringLiteral("character 99999999999999999999999"), text, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(JSONTool::line(c.message, c.text), c.line) << c.message.toStdString();
    }
    EXPECT_EQ(JSONTool::readableMessage(QStringLiteral(
                  "  JSON text did not start with array or object and option to allow fragments not set. \n")),
              QStringLiteral("Не похоже на JSON"));
    EXPECT_EQ(JSONTool::readableMessage(QStringLiteral("Bad token around character 3.\n")),
              QStringLiteral("Bad token around character 3."));
}

TEST(JSONToolRead, NestingDeeperThanTheLimitIsASyntaxErrorAtItsBracket) {
    const QString limit = QString(JSONTool::maximumDepth, u'[') + QString(JSONTool::maximumDepth, u']');
    EXPECT_TRUE(JSONTool::prettify(limit).ok());
    struct Case {
        QString text;
        qint64 offset;
        qint64 line;
    };
    const QString strings = QStringLiteral("[\"]]]]\\\"[[\", {\"[\": [\n");  // brackets inside strings do not count
    const Case cases[] = {
        {QString(513, u'[') + QString(513, u']'), 512, 1},
        {QString(200000, u'['), 512, 1},
        {QString(100000, u'{').replace(QStringLiteral("{"), QStringLiteral("{\"a\":")), 512 * 5, 1},
        {strings + QString(600, u'['), strings.toUtf8().size() + 509, 2},
    };
    for (const Case& c : cases) {
        const TransformFailure failure = failed(JSONTool::parse(c.text));
        EXPECT_EQ(failure.kind, Kind::syntax);
        EXPECT_EQ(namedOffset(failure.message), c.offset) << failure.message.toStdString();
        EXPECT_EQ(failure.line, c.line);
        EXPECT_EQ(failed(JSONTool::prettify(c.text)), failure);
    }
}

TEST(JSONToolWrite, KeepsOrderSlashesAndTextAndAcceptsBareScalars) {
    struct Case {
        QString text;
        QString minified;
        QString pretty;
    };
    const Case cases[] = {
        {QStringLiteral(R"( {"b": 1, "a": [1, 2.5, {}], "url": "http://x/y"} )"),
         QStringLiteral(R"({"b":1,"a":[1,2.5,{}],"url":"http://x/y"})"),
         QStringLiteral("{\n  \"b\": 1,\n  \"a\": [\n    1,\n    2.5,\n    {}\n  ],\n  \"url\": \"http://x/y\"\n}")},
        {QStringLiteral(R"(["\/", "привет 😀", "\u0001", "\u2028"])"),
         QStringLiteral("[\"/\",\"привет 😀\",\"\\u0001\",\"\u2028\"]"),
         QStringLiteral("[\n  \"/\",\n  \"привет 😀\",\n  \"\\u0001\",\n  \"\u2028\"\n]")},
        {QStringLiteral("42"), QStringLiteral("42"), QStringLiteral("42")},
        {QStringLiteral("\"a/b\""), QStringLiteral("\"a/b\""), QStringLiteral("\"a/b\"")},
        {QStringLiteral("null"), QStringLiteral("null"), QStringLiteral("null")},
        {QStringLiteral("[]"), QStringLiteral("[]"), QStringLiteral("[]")},
        // Numbers as written, whatever their value would be written as.
        {QStringLiteral("[123456789012345678901234567890, 18446744073709551616, 0.1000000000000000055511151231257827,"
                        " 1E-400, -0, 5.10, 1e5, -0.0, 1.0, 42, -7, 1.5]"),
         QStringLiteral("[123456789012345678901234567890,18446744073709551616,0.1000000000000000055511151231257827,"
                        "1E-400,-0,5.10,1e5,-0.0,1.0,42,-7,1.5]"),
         QStringLiteral("[\n  123456789012345678901234567890,\n  18446744073709551616,\n"
                        "  0.1000000000000000055511151231257827,\n  1E-400,\n  -0,\n  5.10,\n  1e5,\n  -0.0,\n  1.0,\n"
                        "  42,\n  -7,\n  1.5\n]")},
        {QStringLiteral(R"({"id": 18446744073709551616, "a": {"b": [1E+2]}})"),
         QStringLiteral(R"({"id":18446744073709551616,"a":{"b":[1E+2]}})"),
         QStringLiteral("{\n  \"id\": 18446744073709551616,\n  \"a\": {\n    \"b\": [\n      1E+2\n    ]\n  }\n}")},
        {QStringLiteral("-0"), QStringLiteral("-0"), QStringLiteral("-0")},
        // Beyond a double's range: valid JSON, kept as written.
        {QStringLiteral("[1E400, 1e309, -1E400, 1") + QString(309, u'0') + QStringLiteral(", 1.5e+99999]"),
         QStringLiteral("[1E400,1e309,-1E400,1") + QString(309, u'0') + QStringLiteral(",1.5e+99999]"),
         QStringLiteral("[\n  1E400,\n  1e309,\n  -1E400,\n  1") + QString(309, u'0') +
             QStringLiteral(",\n  1.5e+99999\n]")},
        {QStringLiteral(R"({"big": -1E400})"), QStringLiteral(R"({"big":-1E400})"),
         QStringLiteral("{\n  \"big\": -1E400\n}")},
        {QStringLiteral("1e309"), QStringLiteral("1e309"), QStringLiteral("1e309")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(succeeded(JSONTool::minify(c.text)), c.minified);
        EXPECT_EQ(succeeded(JSONTool::prettify(c.text)), c.pretty);
    }
}

// Formatting a large document adds little more than its result to the resident size: no value tree, no
// second copy of the text or of the result. Measured in a child process, whose peak starts afresh.
TEST(JSONToolWrite, FormattingALargeDocumentHoldsLittleMoreThanItsResult) {
    QString text = QStringLiteral("[");
    for (int i = 0; text.size() < 3'000'000; ++i) {
        text += QString::asprintf(R"(%s{"id":%d,"name":"Запись %d","price":%d.%02d,"tags":["a","b/c"],)"
                                  R"("owner":{"first":"Anna","age":%d,"note":null}})",
                                  i > 0 ? "," : "", i, i, i % 1000, i % 100, 20 + i % 50);
    }
    text += u']';
    const auto residentKb = [](const char* field) {
        long kb = -1;
        if (FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[256];
            while (std::fgets(line, sizeof line, status)) std::sscanf(line, field, &kb);
            std::fclose(status);
        }
        return kb;
    };
    for (const bool minify : {false, true}) {
        SCOPED_TRACE(minify ? "minify" : "prettify");
        int pipe[2];
        ASSERT_EQ(::pipe(pipe), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
                std::fputs("5", clear);
                std::fclose(clear);
            }
            const long before = residentKb("VmRSS: %ld");
            const TransformResult<QString> result = minify ? JSONTool::minify(text) : JSONTool::prettify(text);
            const long report[] = {residentKb("VmHWM: %ld") - before, result.ok() ? long(result.value().size()) : -1};
            (void)::write(pipe[1], report, sizeof report);
            ::_exit(0);
        }
        ::close(pipe[1]);
        long report[2] = {-1, -1};
        ASSERT_EQ(::read(pipe[0], report, sizeof report), ssize_t(sizeof report));
        ::close(pipe[0]);
        ::waitpid(child, nullptr, 0);
        ASSERT_GT(report[1], text.size() / 2);
        const long resultKb = report[1] * 2 / 1024;
        EXPECT_LE(report[0], resultKb * 3 / 2 + 4096) << "result " << resultKb << " kB";
    }
}

TEST(JSONToolFailure, DisplayTextAndEquality) {
    EXPECT_EQ(TransformFailure::syntax(QStringLiteral("m"), 3).displayText(), QStringLiteral("Строка 3: m"));
    EXPECT_EQ(TransformFailure::syntax(QStringLiteral("m"), std::nullopt).displayText(), QStringLiteral("m"));
    EXPECT_EQ(TransformFailure::notThatFormat(QStringLiteral("Пусто")).displayText(), QStringLiteral("Пусто"));
    EXPECT_NE(TransformFailure::syntax(QStringLiteral("m"), 3), TransformFailure::syntax(QStringLiteral("m"), 4));
    EXPECT_NE(TransformFailure::syntax(QStringLiteral("m"), std::nullopt), TransformFailure::notThatFormat("m"));
}
