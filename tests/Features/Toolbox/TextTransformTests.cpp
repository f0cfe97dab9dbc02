#include "Source/Features/Toolbox/JSONTool.h"
#include "Source/Features/Toolbox/TextTransform.h"
#include "Source/Features/Toolbox/UnicodeText.h"
#include "ToolboxTestSupport.h"

#include <QMap>

#include <unicode/brkiter.h>

#include <gtest/gtest.h>

namespace {

using T = TextTransform;

struct Case {
    TextTransform transform;
    QString input;
    QString output;
};

struct FailureCase {
    TextTransform transform;
    QString input;
    const char* message;
};

void expectOutputs(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(TextTransforms::rawValue(c.transform).toStdString() + " of [" + c.input.toStdString() + "]");
        EXPECT_EQ(succeeded(TextTransforms::apply(c.transform, c.input)), c.output);
    }
}

void expectFailures(const std::vector<FailureCase>& cases) {
    for (const FailureCase& c : cases) {
        SCOPED_TRACE(TextTransforms::rawValue(c.transform).toStdString() + " of [" + c.input.toStdString() + "]");
        EXPECT_EQ(failed(TextTransforms::apply(c.transform, c.input)),
                  TransformFailure::notThatFormat(QString::fromUtf8(c.message)));
    }
}

QString lone() { return QString(QChar(0xD800)); }

}  // namespace

TEST(TextTransformCatalogue, RawValuesTitlesAndGroups) {
    EXPECT_EQ(TextTransforms::allCases.size(), 31u);
    for (TextTransform t : TextTransforms::allCases) {
        EXPECT_EQ(TextTransforms::fromRawValue(TextTransforms::rawValue(t)), t);
        EXPECT_TRUE(TextTransforms::transforms(TextTransforms::group(t)).contains(t));
    }
    EXPECT_FALSE(TextTransforms::fromRawValue(u"Upper"));
    EXPECT_EQ(TextTransforms::rawValue(T::collapseSpaces), QStringLiteral("collapseSpaces"));
    EXPECT_EQ(TextTransforms::title(T::base64Decode), QStringLiteral("Base64 \u2014 декодировать"));
    EXPECT_EQ(TextTransforms::title(T::slug), QStringLiteral("Slug для URL"));
    EXPECT_EQ(TextTransforms::transforms(TextTransformGroup::identifiers),
              (QList<TextTransform>{T::camel, T::pascal, T::snake, T::kebab, T::constant, T::slug}));
    EXPECT_EQ(TextTransforms::transforms(TextTransformGroup::encoding),
              (QList<TextTransform>{T::base64Encode, T::base64Decode, T::urlEncode, T::urlDecode, T::htmlEscape,
                                    T::htmlUnescape, T::hexEncode, T::hexDecode}));
    QStringList groups;
    for (TextTransformGroup g : TextTransforms::allGroups) {
        groups << TextTransforms::rawValue(g);
        EXPECT_EQ(TextTransforms::groupFromRawValue(TextTransforms::rawValue(g)), g);
    }
    EXPECT_EQ(groups, (QStringList{"Регистр", "Идентификаторы", "Пробелы", "Строки", "Кодирование", "JSON", "Разбор"}));
}

TEST(TextTransformCase, FullMappingsOfTheRootLocale) {
    expectOutputs({
        {T::upper, QStringLiteral("straße ǆ i ёж"), QStringLiteral("STRASSE Ǆ I ЁЖ")},
        {T::lower, QStringLiteral("ΟΔΟΣ ΑΣ İ"), QStringLiteral("οδος ας i\u0307")},
        {T::title, QStringLiteral("hello wORLD it's привет мир"), QStringLiteral("Hello World It's Привет Мир")},
        {T::title, QStringLiteral("中文abc ДЕНЬ日本語xyz"), QStringLiteral("中文Abc День日本語Xyz")},
        {T::sentence, QString(), QString()},
        {T::sentence, QStringLiteral("hELLO World"), QStringLiteral("Hello world")},
        {T::sentence, QStringLiteral("ßIG"), QStringLiteral("SSig")},
        {T::sentence, QStringLiteral("e\u0301COLE"), QStringLiteral("E\u0301cole")},
    });
}

TEST(TextTransformIdentifiers, WordsSplitAtCaseChangesAndSeparators) {
    const QString xml = QStringLiteral("XMLParserDelegate");
    expectOutputs({
        {T::camel, xml, QStringLiteral("xmlParserDelegate")},
        {T::pascal, xml, QStringLiteral("XmlParserDelegate")},
        {T::snake, xml, QStringLiteral("xml_parser_delegate")},
        {T::kebab, xml, QStringLiteral("xml-parser-delegate")},
        {T::constant, xml, QStringLiteral("XML_PARSER_DELEGATE")},
        {T::kebab, QStringLiteral("parseJSONData"), QStringLiteral("parse-json-data")},
        {T::snake, QStringLiteral("version2Update"), QStringLiteral("version2_update")},
        {T::camel, QStringLiteral("user_id 42"), QStringLiteral("userId42")},
        {T::snake, QStringLiteral("user_id 42"), QStringLiteral("user_id_42")},
        {T::snake, QStringLiteral("3DModel"), QStringLiteral("3_d_model")},
        {T::snake, QStringLiteral("hello--world!!"), QStringLiteral("hello_world")},
        {T::camel, QStringLiteral(" --!! _ "), QString()},
        {T::snake, QStringLiteral("ПриветМир HTTPСервер"), QStringLiteral("привет_мир_http_сервер")},
        {T::pascal, QStringLiteral("straße ßx"), QStringLiteral("StraßeSSx")},
        // Characters of several scalars take the case of the whole.
        {T::snake, QStringLiteral("e\u0301Cafe\u0301"), QStringLiteral("e\u0301_cafe\u0301")},
        {T::camel, QStringLiteral("E\u0301COLE normale"), QStringLiteral("e\u0301coleNormale")},
        {T::snake, QStringLiteral("a😀b ①x"), QStringLiteral("a_b_①x")},
        {T::slug, QStringLiteral("Привет, мир!"), QStringLiteral("privet-mir")},
        {T::slug, QStringLiteral("Crème Brûlée"), QStringLiteral("creme-brulee")},
        // Diacritics go before transliterating: marks the transliteration makes stay.
        {T::slug, QStringLiteral("Ёжик в тумане"), QStringLiteral("ežik-v-tumane")},
        {T::slug, QStringLiteral("中文 Ελλάδα"), QStringLiteral("zhōng-wén-ellada")},
    });
}

TEST(TextTransformWhitespace, TrimCollapseAndFold) {
    expectOutputs({
        {T::trim, QStringLiteral("\u00A0 a  b \n\u2029\u3000"), QStringLiteral("a  b")},
        {T::trim, QStringLiteral("\u200Ba\u200B"), QStringLiteral("\u200Ba\u200B")},
        {T::collapseSpaces, QStringLiteral(" a \r\n\n b\tc\u2028"), QStringLiteral("a b c")},
        {T::collapseSpaces, QStringLiteral(" \n "), QString()},
        {T::stripDiacritics, QStringLiteral("Crème BRÛLÉE Ёжик й øl"), QStringLiteral("Creme BRULEE Ежик и øl")},
    });
}

TEST(TextTransformLines, SortUniqueReverseAndNumber) {
    expectOutputs({
        {T::sortLines, QStringLiteral("b\nA\na"), QStringLiteral("A\na\nb")},
        {T::sortLines, QStringLiteral("я\nz\nZ\n1"), QStringLiteral("1\nZ\nz\nя")},
        // By code points: U+FFFD before U+1F600, though UTF-16 puts the surrogates first.
        {T::sortLines, QStringLiteral("😀\n\uFFFD"), QStringLiteral("\uFFFD\n😀")},
        // By the NFC form: a decomposed é sorts as U+00E9, after f; equal forms keep their order.
        {T::sortLines, QStringLiteral("f\ne\u0301\nd\n\u00e9"), QStringLiteral("d\nf\ne\u0301\n\u00e9")},
        {T::sortLines, QStringLiteral("b\r\na"), QStringLiteral("\na\nb")},
        {T::uniqueLines, QStringLiteral("a\nb\na\nA"), QStringLiteral("a\nb\nA")},
        {T::uniqueLines, QStringLiteral("\u00e9\ne\u0301\n a"), QStringLiteral("\u00e9\n a")},
        {T::reverseLines, QStringLiteral("a\r\nb"), QStringLiteral("b\n\na")},
        {T::reverseLines, QStringLiteral("a\u2028b\u0085c"), QStringLiteral("c\nb\na")},
        {T::numberLines, QString(), QStringLiteral("1. ")},
        {T::numberLines, QStringLiteral("a\r\nb"), QStringLiteral("1. a\n2. \n3. b")},
        {T::numberLines, QStringLiteral("x\n"), QStringLiteral("1. x\n2. ")},
    });
}

TEST(TextTransformLines, ShuffleKeepsTheLinesAndDrawsEveryOrderAlike) {
    EXPECT_EQ(succeeded(TextTransforms::apply(T::shuffleLines, QString())), QString());
    QString many;
    for (int i = 0; i < 200; ++i) many += QString::number(i) + u'\n';
    const QString shuffled = succeeded(TextTransforms::apply(T::shuffleLines, many));
    QStringList before = many.split(u'\n'), after = shuffled.split(u'\n');
    EXPECT_NE(before, after);
    before.sort();
    after.sort();
    EXPECT_EQ(before, after);
    // Six orders of three lines, each about 1000 times in 6000 draws (5 standard deviations either way).
    QMap<QString, int> counts;
    for (int i = 0; i < 6000; ++i)
        ++counts[succeeded(TextTransforms::apply(T::shuffleLines, QStringLiteral("a\nb\nc")))];
    EXPECT_EQ(counts.size(), 6);
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        EXPECT_GT(it.value(), 850) << it.key().toStdString();
        EXPECT_LT(it.value(), 1150) << it.key().toStdString();
    }
}

TEST(TextTransformEncoding, EncodeAndDecode) {
    expectOutputs({
        {T::base64Encode, QStringLiteral("привет"), QStringLiteral("0L/RgNC40LLQtdGC")},
        {T::base64Encode, QString(), QString()},
        {T::base64Decode, QStringLiteral("0L_RgNC40LLQtdGC"), QStringLiteral("привет")},
        {T::base64Decode, QStringLiteral(" \n aGk \n"), QStringLiteral("hi")},
        {T::base64Decode, QStringLiteral("aGk="), QStringLiteral("hi")},
        {T::base64Decode, QStringLiteral("aA"), QStringLiteral("h")},
        {T::base64Decode, QString(), QString()},
        {T::urlEncode, QStringLiteral("привет мир/?&=a-b._~"), QStringLiteral("привет%20мир%2F%3F%26%3Da-b._~")},
        {T::urlEncode, QStringLiteral("😀+e\u0301٣"), QStringLiteral("%F0%9F%98%80%2Be\u0301٣")},
        {T::urlDecode, QStringLiteral("a+b%20c%D0%BF%e2%82%ac"), QStringLiteral("a+b cп€")},
        {T::urlDecode, QStringLiteral("мир"), QStringLiteral("мир")},
        {T::htmlEscape, QStringLiteral("<a href=\"x\">Tom & Jerry's</a>"),
         QStringLiteral("&lt;a href=&quot;x&quot;&gt;Tom &amp; Jerry&#39;s&lt;/a&gt;")},
        {T::htmlEscape, QStringLiteral("&amp;"), QStringLiteral("&amp;amp;")},
        // One level only: an escaped entity comes out as the entity.
        {T::htmlUnescape, QStringLiteral("&amp;lt;"), QStringLiteral("&lt;")},
        {T::htmlUnescape, QStringLiteral("&#60;&LT;&apos;&nbsp;&quot;&#39;&copy;"),
         QStringLiteral("&#60;&LT;' \"'&copy;")},
        {T::hexEncode, QStringLiteral("Aж"), QStringLiteral("41d0b6")},
        {T::hexDecode, QStringLiteral(" 41 D0:b6\n"), QStringLiteral("Aж")},
        {T::hexDecode, QStringLiteral("x41gk42"), QStringLiteral("AB")},
        // A digit carrying a combining mark is not a digit.
        {T::hexDecode, QStringLiteral("414\u0301"), QStringLiteral("A")},
    });
    expectFailures({
        {T::base64Decode, QStringLiteral("aGk=aGk="), "Это не Base64 или внутри не текст"},
        {T::base64Decode, QStringLiteral("QUJDR"), "Это не Base64 или внутри не текст"},
        {T::base64Decode, QStringLiteral("aG\nk="), "Это не Base64 или внутри не текст"},
        {T::base64Decode, QStringLiteral("aGk=="), "Это не Base64 или внутри не текст"},
        {T::base64Decode, QStringLiteral("/w=="), "Это не Base64 или внутри не текст"},
        {T::base64Decode, QStringLiteral("aGkх"), "Это не Base64 или внутри не текст"},
        {T::urlEncode, QStringLiteral("a") + lone(), "Не удалось закодировать"},
        {T::urlDecode, QStringLiteral("%zz"), "Это не percent-encoding"},
        {T::urlDecode, QStringLiteral("100%"), "Это не percent-encoding"},
        {T::urlDecode, QStringLiteral("%4"), "Это не percent-encoding"},
        {T::urlDecode, QStringLiteral("%C3"), "Это не percent-encoding"},
        {T::urlDecode, QStringLiteral("%ED%A0%80"), "Это не percent-encoding"},
        {T::hexDecode, QStringLiteral("0x41"), "Это не hex или внутри не текст"},
        {T::hexDecode, QString(), "Это не hex или внутри не текст"},
        {T::hexDecode, QStringLiteral("zz"), "Это не hex или внутри не текст"},
        {T::hexDecode, QStringLiteral("４１"), "Это не hex или внутри не текст"},
        {T::hexDecode, QStringLiteral("ff"), "Это не hex или внутри не текст"},
        {T::hexDecode, QStringLiteral("c0af"), "Это не hex или внутри не текст"},
    });
}

TEST(TextTransformJSON, EscapeUnescapeAndTheJSONTool) {
    expectOutputs({
        {T::jsonEscape, QStringLiteral("a\"b\\c/d\n\t\u0001é😀\u2028"),
         QStringLiteral("\"a\\\"b\\\\c/d\\n\\t\\u0001é😀\u2028\"")},
        {T::jsonEscape, QString(), QStringLiteral("\"\"")},
        {T::jsonUnescape, QStringLiteral("a\\nb\\u00e9\\/"), QStringLiteral("a\nbé/")},
        {T::jsonUnescape, QStringLiteral("\"x\\ud83d\\ude00\""), QStringLiteral("x😀")},
        {T::jsonUnescape, QStringLiteral("42"), QStringLiteral("42")},
        {T::jsonUnescape, QString(), QString()},
        {T::jsonPretty, QStringLiteral("{\"a\":[1]}"), QStringLiteral("{\n  \"a\": [\n    1\n  ]\n}")},
        {T::jsonMinify, QStringLiteral(" { \"a\" : [ 1 ] } "), QStringLiteral("{\"a\":[1]}")},
    });
    expectFailures({
        {T::jsonEscape, lone(), "Не удалось экранировать"},
        {T::jsonUnescape, QStringLiteral("\"abc"), "Это не экранированная JSON-строка"},
        {T::jsonUnescape, QStringLiteral("\"a\" \"b\""), "Это не экранированная JSON-строка"},
        {T::jsonUnescape, QStringLiteral("a\"b"), "Это не экранированная JSON-строка"},
        {T::jsonUnescape, QStringLiteral("\\ud800"), "Это не экранированная JSON-строка"},
        {T::jsonUnescape, QStringLiteral("a\nb"), "Это не экранированная JSON-строка"},
        {T::jsonPretty, QStringLiteral(" "), "Пусто"},
        {T::jsonMinify, QStringLiteral(" "), "Пусто"},
    });
    const QString broken = QStringLiteral("[1,\n2,,]");
    EXPECT_EQ(failed(TextTransforms::apply(T::jsonPretty, broken)), failed(JSONTool::parse(broken)));
    EXPECT_EQ(failed(TextTransforms::apply(T::jsonMinify, broken)).line, 2);
}

TEST(TextTransformCount, CharactersAreWhatTheUserSees) {
    const auto stats = [](qint64 characters, qint64 visible, qint64 words, qint64 lines, qint64 bytes) {
        return QString::asprintf("Символов: %lld\nБез пробелов: %lld\nСлов: %lld\nСтрок: %lld\nБайт в UTF-8: %lld",
                                 characters, visible, words, lines, bytes);
    };
    expectOutputs({
        {T::countStats, QString(), stats(0, 0, 0, 0, 0)},
        {T::countStats, QStringLiteral("a b\nc"), stats(5, 3, 3, 2, 5)},
        {T::countStats, QStringLiteral("e\u0301 😀\r\n👩\u200D💻"), stats(5, 3, 3, 3, 21)},
        {T::countStats, QStringLiteral("🇩🇪🇫🇷\n"), stats(3, 2, 1, 2, 17)},
    });
}

TEST(TextTransformGraphemes, ShortcutsFindTheSameBoundariesAsTheFullRules) {
    const QString samples[] = {
        QStringLiteral("ab\r\ncd\n\r\r\n"),
        QStringLiteral("e\u0301\u0302x a\u200Db"),
        QStringLiteral("👩\u200D💻👍🏽🇩🇪🇫🇷🇮"),
        QStringLiteral("\u1100\u1161\u11A8한국어"),
        QStringLiteral("क्षि नमस्ते \u0600\u0661 \u0E01\u0E33"),
        QStringLiteral("\tx\u0301\u0007\u0301中文😀\uFE0F"),
    };
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> reference(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    ASSERT_TRUE(U_SUCCESS(status));
    for (const QString& sample : samples) {
        SCOPED_TRACE(sample.toStdString());
        const icu::UnicodeString text(reinterpret_cast<const UChar*>(sample.utf16()), int32_t(sample.size()));
        reference->setText(text);
        QList<qsizetype> expected, found;
        for (int32_t b = reference->next(); b != icu::BreakIterator::DONE; b = reference->next()) expected << b;
        UnicodeText::Graphemes graphemes(sample);
        for (qsizetype i = 0; i < sample.size();) found << (i = graphemes.end(i));
        EXPECT_EQ(found, expected);
    }
}
