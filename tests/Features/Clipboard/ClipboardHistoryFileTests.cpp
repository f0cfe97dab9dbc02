#include "ClipboardTestSupport.h"
#include "FailingFileWriter.h"
#include "LogCapture.h"

#include "Platform/Core/JsonSax.h"
#include "Source/Extensions/ClipboardItemCodable.h"
#include "Source/Features/Clipboard/ClipboardHistoryReader.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

using namespace ClipboardTest;

namespace {

QJsonArray readArray(const QString& path) {
    return QJsonDocument::fromJson(readFile(path)).array();
}

QByteArray json(const QJsonArray& array) { return QJsonDocument(array).toJson(QJsonDocument::Compact); }

// The record whose value is the text.
QJsonObject record(const QJsonArray& array, const QString& value) {
    for (const QJsonValue& element : array)
        if (element.toObject()["value"].toString() == value) return element.toObject();
    return {};
}

QJsonObject textRecord(const QString& text, bool pinned = false) {
    return QJsonObject{{"type", "text"}, {"value", text}, {"isPinned", pinned}};
}

int mode(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) return -1;
    return int(st.st_mode & 0777);
}

ino_t inode(const QString& path) {
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

// Holds the start-up read where it first looks at its stop flag with at least `from` bytes read,
// until released or told to stop (or, so that a failing test ends, half a minute has passed).
class LoadGate {
public:
    explicit LoadGate(qint64 from = 0) : state_(std::make_shared<State>()) {
        state_->from = from;
        ClipboardHistoryStore::setLoadCheckpointForTesting(
            [state = state_](qint64 bytesRead, const std::function<bool()>& stop) { state->look(bytesRead, stop); });
    }
    ~LoadGate() {
        release();
        ClipboardHistoryStore::setLoadCheckpointForTesting({});
    }
    bool waitUntilHeld() {
        return TestSupport::waitFor([this] { return read(&State::held); }, 10000);
    }
    void release() {
        std::lock_guard lock(state_->mutex);
        state_->released = true;
        state_->wake.notify_all();
    }
    // Where the read was held, whether it was told to stop there, and how far it read in all.
    qint64 heldAt() const { return read(&State::heldAt); }
    bool stoppedWhileHeld() const { return read(&State::stoppedWhileHeld); }
    qint64 lastBytesRead() const { return read(&State::lastBytesRead); }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        qint64 from = 0, heldAt = -1, lastBytesRead = -1;
        bool held = false, used = false, released = false, stoppedWhileHeld = false;

        void look(qint64 bytesRead, const std::function<bool()>& stop) {
            std::unique_lock lock(mutex);
            lastBytesRead = bytesRead;
            if (used || bytesRead < from) return;
            used = held = true;
            heldAt = bytesRead;
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            while (!released && !stop() && std::chrono::steady_clock::now() < giveUp)
                wake.wait_for(lock, std::chrono::milliseconds(5));
            stoppedWhileHeld = stop();
            held = false;
        }
    };
    template <typename T>
    T read(T State::*field) const {
        std::lock_guard lock(state_->mutex);
        return (*state_).*field;
    }
    std::shared_ptr<State> state_;
};

}  // namespace

using ClipboardHistoryFile = ClipboardStoreTest;

TEST_F(ClipboardHistoryFile, FirstLaunchStartsEmptyAndWritesNothingUntilACopy) {
    start();
    manager->waitForPendingWrites();
    EXPECT_TRUE(manager->history().empty());
    EXPECT_FALSE(QFile::exists(historyFile()));
    copyText("first");
    manager->waitForPendingWrites();
    EXPECT_EQ(readArray(historyFile()).size(), 1);
}

TEST_F(ClipboardHistoryFile, WritesEveryKeyAndReadsItBack) {
    start();
    workspace.front = RunningApplication{1, "org.example.Editor", "Editor", "/x"};
    copyText("hello");
    workspace.front.reset();
    copy({{PasteboardType::fileURLs, "file:///tmp/a.txt\r\nfile:///tmp/b.txt\r\nfile:///tmp/c.txt\r\n"}});
    const QByteArray png = pngBytes(12, 7);
    copyImage(png);
    manager->waitForPendingWrites();

    const QByteArray bytes = readFile(historyFile());
    EXPECT_FALSE(bytes.contains('\n'));  // compact
    const QJsonArray array = readArray(historyFile());
    ASSERT_EQ(array.size(), 3);
    const QJsonObject image = array[0].toObject(), files = array[1].toObject(), text = array[2].toObject();
    EXPECT_EQ(image["type"], "image");
    EXPECT_EQ(image["imageWidth"].toDouble(), 12);
    EXPECT_EQ(image["imageHeight"].toDouble(), 7);
    EXPECT_EQ(image["imageFingerprint"].toString(), sha256(png));
    EXPECT_TRUE(image["value"].toString().startsWith(folder + "/Images/"));
    EXPECT_EQ(files["type"], "file");
    EXPECT_EQ(files["value"], "/tmp/a.txt");  // only the first file is kept
    EXPECT_EQ(text["type"], "text");
    EXPECT_EQ(text["value"], "hello");
    EXPECT_EQ(text["sourceApp"], "Editor");
    EXPECT_FALSE(files.contains("sourceApp"));
    EXPECT_FALSE(text.contains("imageWidth"));
    for (const char* key : {"copiedAt", "itemID", "firstCopiedAt", "copyCount", "isPinned"}) EXPECT_TRUE(text.contains(key)) << key;
    // Dates count seconds since 2001.
    EXPECT_NEAR(text["copiedAt"].toDouble(), ReferenceDate::seconds(manager->history()[2].copiedAt), 0.001);
    EXPECT_EQ(text["itemID"].toString(), manager->history()[2].id.toString(QUuid::WithoutBraces).toUpper());

    const auto before = manager->history();
    start();
    ASSERT_EQ(manager->history().size(), 3u);
    EXPECT_EQ(manager->history()[0].content, before[0].content);
    EXPECT_EQ(manager->history()[0].imagePath, before[0].imagePath);
    EXPECT_EQ(manager->history()[1].content.fileURLs(), QList<QUrl>{QUrl::fromLocalFile("/tmp/a.txt")});
    EXPECT_EQ(manager->history()[2].id, before[2].id);
    EXPECT_EQ(manager->history()[2].sourceApp, QString("Editor"));
    EXPECT_EQ(manager->history()[2].copiedAt, before[2].copiedAt);
    EXPECT_EQ(manager->history()[2].firstCopiedAt, before[2].firstCopiedAt);
}

TEST_F(ClipboardHistoryFile, ARecordWithOnlyTypeAndValueGetsDefaultsAndIsRewrittenAtOnce) {
    ASSERT_TRUE(writeFile(historyFile(), R"([{"type":"text","value":"bare"},{"type":"text","value":"nulls","copyCount":null,"isPinned":null}])"));
    start();
    manager->waitForPendingWrites();
    ASSERT_EQ(manager->history().size(), 2u);
    const ClipboardItem& item = manager->history()[0];
    EXPECT_EQ(item.copyCount, 1);
    EXPECT_FALSE(item.isPinned);
    EXPECT_FALSE(item.id.isNull());
    EXPECT_EQ(item.copiedAt, clock->now());
    EXPECT_EQ(item.firstCopiedAt, clock->now());
    const QJsonObject rewritten = readArray(historyFile())[0].toObject();
    for (const char* key : {"copiedAt", "itemID", "firstCopiedAt", "copyCount", "isPinned"}) EXPECT_TRUE(rewritten.contains(key)) << key;
    EXPECT_EQ(rewritten["itemID"].toString(), item.id.toString(QUuid::WithoutBraces).toUpper());
}

TEST_F(ClipboardHistoryFile, ARecordThatCannotBeDecodedIsSkippedNotTheWholeFile) {
    ASSERT_TRUE(writeFile(historyFile(), R"([
        {"type":"text","value":"kept one"},
        {"type":"video","value":"unknown type"},
        {"type":"text"},
        {"type":"text","value":42},
        {"type":"text","value":"bad count","copyCount":"many"},
        {"type":"text","value":"bad pin","isPinned":1},
        {"type":"text","value":"bad date","copiedAt":"yesterday"},
        {"type":"text","value":"huge date","copiedAt":1e300},
        {"type":"file","value":""},
        "not an object",
        {"type":"text","value":"kept two","copyCount":3.0,"itemID":"not-a-uuid"}
    ])"));
    start();
    ASSERT_EQ(texts(), (std::vector<QString>{"kept one", "kept two"}));
    EXPECT_EQ(manager->history()[1].copyCount, 3);
    EXPECT_FALSE(manager->history()[1].id.isNull());
    EXPECT_FALSE(manager->historyFileWasDamaged());
}

TEST_F(ClipboardHistoryFile, AnUnreadableFileIsKeptAsideAndNoImageIsSweptThatLaunch) {
    const QString image = folder + "/Images/0A1B.png";
    ASSERT_TRUE(writeFile(image, pngBytes(3, 3)));
    const QByteArray damaged = R"([{"type":"image","value":")" + image.toUtf8() + R"("}, {"type": )";
    ASSERT_TRUE(writeFile(historyFile(), damaged));
    start();
    EXPECT_TRUE(manager->history().empty());
    EXPECT_TRUE(manager->historyFileWasDamaged());
    EXPECT_TRUE(QFile::exists(image));  // named by the damaged file: not an orphan to us
    const QStringList aside = QDir(folder).entryList({"history.json.damaged-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(folder + "/" + aside[0]), damaged);

    // The next capture starts a fresh file; the kept copy stays.
    copyText("after");
    manager->waitForPendingWrites();
    EXPECT_EQ(readArray(historyFile()).size(), 1);
    EXPECT_EQ(QDir(folder).entryList({"history.json.damaged-*"}).size(), 1);
}

// A kept copy is looked through a megabyte at a time: a name cut by a chunk's end still counts.
TEST_F(ClipboardHistoryFile, AnImageNamedAcrossTheChunksOfAKeptCopyStays) {
    const QString images = folder + "/Images";
    ASSERT_TRUE(QDir().mkpath(images));
    QByteArray copy;
    QStringList named;
    for (const int before : {1, 20, 39, 40}) {
        named << QString::asprintf("%08X-0000-4000-8000-000000000000.png", before);
        copy += QByteArray((qsizetype(named.size()) << 20) - copy.size() - before, 'x') + named.back().toLatin1();
        ASSERT_TRUE(writeOldFile(images + "/" + named.back(), pngBytes(2, 2)));
    }
    const QString orphan = "0B0B0B0B-0000-4000-8000-00000000000B.png";
    ASSERT_TRUE(writeOldFile(images + "/" + orphan, pngBytes(2, 2)));
    ASSERT_TRUE(writeFile(historyFile() + ".damaged-20250101-000000", copy));
    start();
    settle();
    manager->waitForPendingWrites();
    QStringList left = imageFiles(folder);
    left.sort();
    named.sort();
    EXPECT_EQ(left.join(' ').toStdString(), named.join(' ').toStdString());
}

TEST_F(ClipboardHistoryFile, AHugeKeptCopyOrImageIsNeverReadWhole) {
    const qint64 huge = qint64(64) << 30;
    auto grow = [huge](const QString& path) { return ::truncate(QFile::encodeName(path).constData(), huge) == 0; };
    // A kept copy too large to read may name any image: none is swept.
    const QString unnamed = folder + "/Images/" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + ".png";
    ASSERT_TRUE(writeFile(unnamed, pngBytes(3, 3)));
    ASSERT_TRUE(writeFile(historyFile() + ".damaged-20250101-000000", "[") &&
                grow(historyFile() + ".damaged-20250101-000000"));
    start();
    settle();
    manager->waitForPendingWrites();
    EXPECT_TRUE(QFile::exists(unnamed));

    // A stored image grown past any image stored (a sparse tail after the picture) is not pasted.
    copyImage(pngBytes(10, 10));
    const ClipboardItem item = manager->history()[0];
    ASSERT_TRUE(grow(*item.imagePath));
    pasteboard.simulateCopyText("the user's clipboard");
    const qint64 changes = pasteboard.changeCount();
    manager->paste(item);
    EXPECT_EQ(pasteboard.changeCount(), changes);
    EXPECT_TRUE(keys.events.isEmpty());
    EXPECT_EQ(QFileInfo(*item.imagePath).size(), huge);
}

TEST_F(ClipboardHistoryFile, ATextThatIsNotOneArrayOrNestsTooDeepIsUnreadableWholeOrReadInChunks) {
    // The start-up read parses the file as it reads it; chunks of 3 bytes split every token.
    auto inChunks = [](const QByteArray& bytes, qint64 failAt = -1) {
        qint64 at = 0;
        return ClipboardItemCodable::decodeStream([&](char* buffer, qint64 capacity) -> qint64 {
            if (failAt >= 0 && at >= failAt) return -1;
            const qint64 count = std::min({capacity, qint64(3), qint64(bytes.size()) - at});
            std::memcpy(buffer, bytes.constData() + at, size_t(count));
            at += count;
            return count;
        });
    };
    const QByteArray one = R"([{"type":"text","value":"a \u0001 \ud83d\ude00 \u00e9"}])";
    for (const QByteArray& bytes :
         {QByteArray(R"({"type":"text","value":"x"})"), QByteArray(""), QByteArray(20000, '[') + QByteArray(20000, ']'),
          one + " x", one + QByteArray("\0", 1), one.left(10) + QByteArray("\0", 1) + one.mid(10), one.chopped(1)}) {
        EXPECT_FALSE(ClipboardItemCodable::decodeFile(bytes).has_value()) << bytes.left(40).toStdString();
        EXPECT_FALSE(inChunks(bytes).has_value()) << bytes.left(40).toStdString();
    }
    EXPECT_FALSE(inChunks(one, 12).has_value());  // a source that fails
    for (const QByteArray& bytes :
         {QByteArray("[]"), one + " \n", QByteArray(R"([{"type":"text","value":"[[[[[[[[[[[[[[[[[[[[[[[["}])")}) {
        const auto whole = ClipboardItemCodable::decodeFile(bytes);
        const auto chunked = inChunks(bytes);
        ASSERT_TRUE(whole.has_value() && chunked.has_value()) << bytes.toStdString();
        ASSERT_EQ(whole->size(), chunked->size());
        for (size_t i = 0; i < whole->size(); ++i) EXPECT_EQ((*whole)[i].value, (*chunked)[i].value);
    }
    EXPECT_EQ(inChunks(one)->front().value, QString::fromUtf8("a \x01 \xF0\x9F\x98\x80 \xC3\xA9"));
}

namespace {

// Every event a JSON reader hands on, written out.
class EventLog final : public nlohmann::json_sax<nlohmann::json> {
public:
    std::string log;
    bool null() override { return add("n"); }
    bool boolean(bool v) override { return add(v ? "t" : "f"); }
    bool number_integer(number_integer_t v) override { return add("i" + std::to_string(v)); }
    bool number_unsigned(number_unsigned_t v) override { return add("u" + std::to_string(v)); }
    bool number_float(number_float_t v, const string_t&) override {
        char text[40];
        std::snprintf(text, sizeof text, "d%.17g", v);
        return add(text);
    }
    bool string(string_t& v) override { return add("s" + std::to_string(v.size()) + ":" + v); }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override { return add("{"); }
    bool key(string_t& v) override { return add("k" + std::to_string(v.size()) + ":" + v); }
    bool end_object() override { return add("}"); }
    bool start_array(std::size_t) override { return add("["); }
    bool end_array() override { return add("]"); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    bool add(const std::string& event) {
        log += event;
        log += ';';
        return true;
    }
};

// Texts that trip JSON readers: escapes, surrogates, UTF-8 good and bad, control characters,
// numbers at and past their limits, broken literals; records of them, mangled at random.
std::vector<QByteArray> trickyTexts() {
    // Each kind twice: what is good JSON, and what is not.
    const std::vector<QByteArray> pieces[2] = {
        {"plain", R"(\")", R"(\\)", R"(\/)", R"(\b\f\n\r\t)", R"(\u0000)", R"(\u001f)", R"(\u00e9)", R"(\u20AC)",
         R"(\ud83d\ude00)", R"(\uD83D\uDE00)", R"(\udbff\udfff)", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
         "\xF4\x8F\xBF\xBF", "\xEF\xBF\xBF", "\xED\x9F\xBF", "\x7F"},
        {R"(\ud83d)",
         R"(\ude00)",
         R"(\ud83dx)",
         R"(\ud83d\u0041)",
         R"(\ud83d\n)",
         R"(\u12)",
         R"(\u12g4)",
         R"(\x)",
         R"(\')",
         "\\",
         "\xC0\x80",
         "\xC1\xBF",
         "\xE0\x80\x80",
         "\xE0\x9F\xBF",
         "\xED\xA0\x80",
         "\xF0\x80\x80\x80",
         "\xF4\x90\x80\x80",
         "\xF5\x80\x80\x80",
         "\x80",
         "\xBF",
         "\xC3",
         "\xE2\x82",
         "\xF0\x9F\x98",
         "\xFF",
         "\x01",
         "\x1F",
         "\t",
         "\n",
         QByteArray("\0", 1)}};
    const std::vector<QByteArray> numbers[2] = {
        {"0", "-0", "1E-2", "1.5e+3", "1e-400", "18446744073709551615", "18446744073709551616", "9223372036854775807",
         "-9223372036854775808", "-9223372036854775809", "123456789012345678901234567890", "800000000.125", "0.1e1"},
        {"01", "-01", "1.", ".5", "1e", "1e+", "-", "+1", "1e400", "-1e400", "2.", "0x10", "1 2"}};
    const std::vector<QByteArray> literals[2] = {{"true", "false", "null"}, {"tru", "nul", "falsey", "TRUE", "nulll"}};
    std::mt19937 random(61);
    auto pick = [&](const std::vector<QByteArray>(&from)[2]) {
        const std::vector<QByteArray>& kind = from[random() % 12 == 0];
        return kind[random() % kind.size()];
    };
    std::vector<QByteArray> texts;
    for (int i = 0; i < 3000; ++i) {
        QByteArray text = "[";
        const int records = 1 + int(random() % 3);
        for (int r = 0; r < records; ++r) {
            if (r > 0) text += ',';
            // Padding moves each piece across eight-byte words and the readers' chunk ends.
            text += R"({"type":"text","value":")" + QByteArray(int(random() % 12), 'a');
            for (int n = 1 + int(random() % 4); n > 0; --n) text += pick(pieces) + QByteArray(int(random() % 9), 'b');
            text += R"(","copiedAt":)" + pick(numbers) + R"(,"isPinned":)" + pick(literals) + R"(,"x":[{"y":)" +
                    pick(numbers) + "}]}";
        }
        text += "]";
        switch (random() % 8) {
        case 0: text.remove(int(random() % text.size()), 1); break;
        case 1: text.insert(int(random() % text.size()), "\"[]{},: x"[random() % 9]); break;
        case 2: text = text.left(int(random() % text.size())); break;
        }
        texts.push_back(text);
    }
    // Every prefix of a text of good pieces, and the whole text with what may follow it.
    QByteArray good =
        R"( [{"k\u00e9y":"\ud83d\ude00 )" + QByteArray("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80") +
        R"(\"\\\/\b\f\n\r\t","n":[-0,1.5e+3,18446744073709551616,-9223372036854775809,1e-400]},true,null])";
    for (int i = 0; i <= good.size(); ++i) texts.push_back(good.left(i));
    for (const char* after : {" \r\n\t", " x", ",", "]", "[]", "\x0B", "\xC2\xA0"}) texts.push_back(good + after);
    texts.push_back("\xEF\xBB\xBF" + good);
    texts.push_back("\xEF\xBB" + good);
    texts.push_back("\xEF\xBA\xBF" + good);
    texts.push_back(" \xEF\xBB\xBF" + good);
    for (const char* folder : {"/json/accept", "/json/reject"}) {
        const QString path = QStringLiteral(QUORVIN_FIXTURES) + folder;
        for (const QString& name : QDir(path).entryList({"*.json"}, QDir::Files))
            texts.push_back(readFile(path + "/" + name));
    }
    return texts;
}

}  // namespace

// The start-up read takes and refuses what nlohmann's reader does, with the same events, however
// its chunks cut the text; a NUL byte, which that reader takes for the end, is refused anywhere.
TEST(ClipboardHistoryJson, TheStartUpReaderAgreesWithNlohmannWhereverItsChunksEnd) {
    const std::vector<QByteArray> texts = trickyTexts();
    int accepted = 0;
    for (const QByteArray& text : texts) {
        EventLog expected;
        const bool expectedOk = !text.contains('\0') && nlohmann::json::sax_parse(text.begin(), text.end(), &expected);
        accepted += expectedOk;
        for (const qint64 chunk : {qint64(1), qint64(2), qint64(3), qint64(7), qint64(1) << 20}) {
            qint64 at = 0;
            EventLog actual;
            const bool ok = JsonSax::parse(
                [&](char* buffer, long long capacity) -> long long {
                    const qint64 count = std::min({qint64(capacity), chunk, qint64(text.size()) - at});
                    std::memcpy(buffer, text.constData() + at, size_t(count));
                    at += count;
                    return count;
                },
                actual);
            ASSERT_EQ(ok, expectedOk) << "chunks of " << chunk << ": " << text.toPercentEncoding().constData();
            if (ok) {
                ASSERT_EQ(actual.log, expected.log) << text.toPercentEncoding().constData();
            }
        }
    }
    // Both verdicts are well represented.
    EXPECT_GT(accepted, 300);
    EXPECT_GT(int(texts.size()) - accepted, 1500);
}

// A record is judged the same whether it is built (within the limit) or read past (beyond it):
// the same damage makes the whole file unreadable, the same faults skip it.
TEST(ClipboardHistoryJson, ARecordPastTheLimitIsJudgedAsOneWithinIt) {
    struct Row {
        const char* name;
        QByteArray record;
        bool damaged;
        int skipped;
    };
    const QByteArray deep = QByteArray(14, '[') + QByteArray(14, ']');
    const Row rows[] = {
        {"a good record", R"({"type":"text","value":"x","copiedAt":1.5,"copyCount":2})", false, 0},
        {"an unknown key of any kind", R"({"type":"text","value":"x","more":{"a":[1,{"b":null}]}})", false, 0},
        {"nested to the limit", R"({"type":"text","value":"x","more":)" + deep + "}", false, 0},
        {"nested past it", R"({"type":"text","value":"x","more":[)" + deep + "]}", true, 0},
        {"a pin taken back", R"({"type":"text","value":"x","isPinned":true,"isPinned":null})", false, 0},
        {"escaped keys and type", R"({"t\u0079pe":"t\u0065xt","\u0076alue":"\ud83d\ude00"})", false, 0},
        {"no value", R"({"type":"text"})", false, 1},
        {"no type", R"({"value":"x"})", false, 1},
        {"an unknown type", R"({"type":"video","value":"x"})", false, 1},
        {"a file without a path", R"({"type":"file","value":""})", false, 1},
        {"a pin of the wrong kind", R"({"type":"text","value":"x","isPinned":1})", false, 1},
        {"a wrong kind put right", R"({"type":"text","value":"x","isPinned":1,"isPinned":false})", false, 1},
        {"an id of the wrong kind", R"({"type":"text","value":"x","itemID":{}})", false, 1},
        {"a date out of range", R"({"type":"text","value":"x","copiedAt":1e12})", false, 1},
        {"a broken copy count", R"({"type":"text","value":"x","copyCount":1.5})", false, 1},
        {"a value of the wrong kind", R"({"type":"text","value":["x"]})", false, 1},
        {"not an object", R"("text")", false, 1},
        {"an array", R"([{"type":"text","value":"x"}])", false, 1},
        {"a bad escape", R"({"type":"text","value":"\x"})", true, 0},
        {"a lone high surrogate", R"({"type":"text","value":"\ud83d"})", true, 0},
        {"a lone low surrogate", R"({"type":"text","value":"\ude00"})", true, 0},
        {"a short \\u escape", R"({"type":"text","value":"\u12"})", true, 0},
        {"invalid UTF-8", "{\"type\":\"text\",\"value\":\"\xC0\x80\"}", true, 0},
        {"an encoded surrogate", "{\"type\":\"text\",\"value\":\"\xED\xA0\x80\"}", true, 0},
        {"a control character", "{\"type\":\"text\",\"value\":\"a long text\twith a tab\"}", true, 0},
        {"a NUL byte", R"({"type":"text","value":"a)" + QByteArray(1, '\0') + R"(b"})", true, 0},
        {"a number past a double", R"({"type":"text","value":"x","more":1e400})", true, 0},
        {"a trailing comma", R"({"type":"text","value":"x",})", true, 0},
        {"a missing colon", R"({"type":"text","value" "x"})", true, 0},
        {"a broken literal", R"({"type":"text","value":"x","isPinned":tru})", true, 0},
        {"a leading zero", R"({"type":"text","value":"x","copyCount":01})", true, 0},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath("history.json");
    const QByteArray other = R"({"type":"text","value":"other","itemID":"0A1B2C3D-0000-4000-8000-000000000001"})";
    for (const Row& row : rows) {
        // The record first, within a limit of 3, and last, past a limit of 1.
        for (const bool past : {false, true}) {
            const QByteArray text = past ? "[" + other + "," + other + "," + row.record + "]"
                                         : "[" + row.record + "," + other + "," + other + "]";
            ASSERT_TRUE(writeFile(path, text));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            ClipboardHistoryReader reader(file, [] { return false; });
            std::vector<QUuid> leftOut;
            int skipped = -1;
            const auto kept = reader.keptRecords(past ? 1 : 3, &leftOut, &skipped);
            const std::string where = std::string(row.name) + (past ? ", past the limit" : ", within it");
            ASSERT_EQ(!kept.has_value(), row.damaged) << where;
            if (kept) {
                EXPECT_EQ(skipped, row.skipped) << where;
            }
        }
    }
}

TEST_F(ClipboardHistoryFile, PinsAreKeptAndTheLimitCountsTheOthersInFileOrder) {
    defaults.setInteger("maxClipboardItems", 10);
    QJsonArray array;
    for (int i = 0; i < 20; ++i) {
        array.append(textRecord(QString("other %1").arg(i)));
        if (i % 7 == 3) array.append(textRecord(QString("pin %1").arg(i), true));
    }
    ASSERT_TRUE(writeFile(historyFile(), json(array)));
    start();
    EXPECT_EQ(texts(), (std::vector<QString>{"pin 3", "pin 10", "pin 17", "other 0", "other 1", "other 2", "other 3",
                                             "other 4", "other 5", "other 6"}));
}

// A read keeps every pin, wherever it stands, and the others in file order up to the limit; each
// other record with an id is noted as left out, the first one past the limit included, so that
// another display's next save does not bring it back.
TEST_F(ClipboardHistoryFile, EveryRecordPastTheLimitIsNotedAsLeftOut) {
    struct Case {
        const char* name;
        int limit;
        QString layout;  // one letter a record: o another, p a pin, n another without an id
        std::string kept, leftOut;  // the records' places in the file
    };
    const Case cases[] = {
        {"no pins", 3, "oooooo", "012", "345"},
        {"pins first", 4, "ppooooo", "0123", "456"},
        {"a pin after the limit", 3, "ooooop", "501", "234"},
        {"pins past the limit", 2, "opppoo", "123", "045"},
        {"none past it", 4, "opoo", "1023", ""},
        {"a record without an id", 2, "oonoo", "01", "34"},
        {"a limit of one", 1, "oo", "0", "1"},
    };
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonArray array;
        QStringList ids;
        for (int i = 0; i < c.layout.size(); ++i) {
            QJsonObject record = textRecord(QString::number(i), c.layout[i] == 'p');
            ids << QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
            if (c.layout[i] != 'n') record["itemID"] = ids.back();
            if (i == 0) record["saves"] = "0123456789ABCDEF";
            array.append(record);
        }
        ASSERT_TRUE(writeFile(historyFile(), json(array)));
        const ClipboardHistoryStore::Loaded loaded =
            ClipboardHistoryStore::read(historyFile(), folder + "/Images", c.limit, now);
        std::string kept, leftOut;
        for (const ClipboardItem& item : loaded.items) kept += item.content.textValue().toStdString();
        for (const QUuid& id : loaded.leftOut)
            leftOut += std::to_string(ids.indexOf(id.toString(QUuid::WithoutBraces).toUpper()));
        EXPECT_EQ(kept, c.kept);
        EXPECT_EQ(leftOut, c.leftOut);
        // The saves the file descends from are the first record's, wherever the pins are.
        EXPECT_EQ(loaded.saves, std::optional<QString>("0123456789ABCDEF"));
    }
}

TEST_F(ClipboardHistoryFile, PinsBeyondFiveAreUnpinnedAndTrimmedAtStartUp) {
    defaults.setInteger("maxClipboardItems", 5);
    QJsonArray array;
    for (int i = 0; i < 8; ++i) array.append(textRecord(QString("pin %1").arg(i), true));
    ASSERT_TRUE(writeFile(historyFile(), json(array)));
    start();
    manager->waitForPendingWrites();
    EXPECT_EQ(texts(), (std::vector<QString>{"pin 0", "pin 1", "pin 2", "pin 3", "pin 4"}));
    EXPECT_EQ(manager->pinnedCount(), 5);
    EXPECT_EQ(readArray(historyFile()).size(), 5);

    // With room, the extra pins stay as the first unpinned entries.
    defaults.setInteger("maxClipboardItems", 100);
    ASSERT_TRUE(writeFile(historyFile(), json(array)));
    start();
    EXPECT_EQ(manager->history().size(), 8u);
    EXPECT_EQ(manager->pinnedCount(), 5);
    EXPECT_EQ(manager->history()[5].content.textValue(), "pin 5");
}

TEST_F(ClipboardHistoryFile, ImageRecordsNeedTheirFileAndFillInAMissingSize) {
    const QByteArray png = pngBytes(9, 4);
    const QString kept = folder + "/Images/KEPT.png";
    ASSERT_TRUE(writeFile(kept, png));
    QJsonArray array;
    array.append(QJsonObject{{"type", "image"}, {"value", kept}, {"imageWidth", 0}, {"imageHeight", 4}});
    array.append(QJsonObject{{"type", "image"}, {"value", folder + "/Images/GONE.png"}, {"imageWidth", 9},
                             {"imageHeight", 4}, {"imageFingerprint", QString(64, 'f')}});
    array.append(textRecord("text"));
    ASSERT_TRUE(writeFile(historyFile(), json(array)));
    start();
    manager->waitForPendingWrites();
    ASSERT_EQ(manager->history().size(), 2u);
    const ClipboardImageReference* ref = manager->history()[0].content.imageReference();
    ASSERT_TRUE(ref);
    EXPECT_EQ(ref->pixelSize, QSizeF(9, 4));
    EXPECT_EQ(ref->fingerprint, sha256(png));
    EXPECT_EQ(manager->history()[0].imagePath, kept);
    const QJsonArray rewritten = readArray(historyFile());
    ASSERT_EQ(rewritten.size(), 2);  // the record of the missing file is gone
    EXPECT_EQ(rewritten[0].toObject()["imageWidth"].toDouble(), 9);
}

TEST_F(ClipboardHistoryFile, TheFileIsReplacedAtomicallyAndKeptPrivate) {
    start();
    copyText("one");
    manager->waitForPendingWrites();
    const QByteArray first = readFile(historyFile());
    // A second name for the old file: writing in place would change it too.
    ASSERT_EQ(::link(QFile::encodeName(historyFile()).constData(), QFile::encodeName(folder + "/old-link").constData()), 0);
    const ino_t before = inode(historyFile());
    copyText("two");
    manager->waitForPendingWrites();
    EXPECT_NE(inode(historyFile()), before);
    EXPECT_EQ(readFile(folder + "/old-link"), first);
    EXPECT_EQ(readArray(historyFile()).size(), 2);
    const QStringList leftovers = QDir(folder).entryList(QDir::Files);
    EXPECT_EQ(leftovers, (QStringList{"history.json", "old-link"}));

    copyImage(pngBytes(5, 5));
    manager->waitForPendingWrites();
    EXPECT_EQ(mode(folder), 0700);
    EXPECT_EQ(mode(folder + "/Images"), 0700);
    EXPECT_EQ(mode(historyFile()), 0600);
    const QStringList images = imageFiles(folder);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(mode(folder + "/Images/" + images[0]), 0600);
    // A name of the agreed form: an upper-case UUID plus ".png".
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.png$")
                    .match(images[0]).hasMatch());
}

TEST_F(ClipboardHistoryFile, ExistingFoldersAreMadePrivate) {
    QDir().mkpath(folder + "/Images");
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    ::chmod(QFile::encodeName(folder + "/Images").constData(), 0777);
    // The history stays private whatever mode a file of it had.
    ASSERT_TRUE(writeFile(historyFile(), "[]"));
    ::chmod(QFile::encodeName(historyFile()).constData(), 0644);
    start();
    EXPECT_EQ(mode(folder), 0700);
    EXPECT_EQ(mode(folder + "/Images"), 0700);
    copyText("one");
    manager->waitForPendingWrites();
    EXPECT_EQ(readArray(historyFile()).size(), 1);
    EXPECT_EQ(mode(historyFile()), 0600);
}

TEST_F(ClipboardHistoryFile, ConcealedEntriesNeverReachTheFile) {
    start();
    copyText("visible");
    copy({{PasteboardType::string, "s3cret-pass"}, {PasteboardType::concealed, {}}});
    ASSERT_EQ(manager->history().size(), 2u);
    // A save while the concealed entry exists (a pin toggle) leaves it out.
    EXPECT_EQ(manager->togglePin(manager->history()[1].id), ClipboardManager::PinToggleResult::pinned);
    manager->waitForPendingWrites();
    EXPECT_FALSE(readFile(historyFile()).contains("s3cret-pass"));
    EXPECT_EQ(readArray(historyFile()).size(), 1);
}

TEST_F(ClipboardHistoryFile, TextsOfEveryKindOfCharacterSurviveTheFile) {
    const QString tricky = QString("quote \" backslash \\ slash / tab\t newline\n cr\r nul") + QChar(0) +
                           QString(" bell\x07 bs\b ff\f del\x7f e\u0301 \u00e9 \u4e2d ") +
                           QString::fromUtf8("\xF0\x9F\x98\x80") + QString(" \u2028 end");
    start();
    copyText(tricky);
    workspace.front = RunningApplication{1, "id", "App \"quoted\"", "/x"};
    copyText("second");
    manager->waitForPendingWrites();
    // Any JSON reader reads the file.
    const QJsonArray array = readArray(historyFile());
    ASSERT_EQ(array.size(), 2);
    EXPECT_EQ(array[1].toObject()["value"].toString(), tricky);
    EXPECT_EQ(array[0].toObject()["sourceApp"].toString(), "App \"quoted\"");
    start();
    ASSERT_EQ(manager->history().size(), 2u);
    EXPECT_EQ(manager->history()[1].content.textValue(), tricky);
    EXPECT_EQ(manager->history()[0].sourceApp, QString("App \"quoted\""));
    // Numbers written by other writers read the same (exponents, whole floats).
    manager->waitForPendingWrites();
    ASSERT_TRUE(writeFile(historyFile(), R"([{"type":"text","value":"n","copiedAt":7.8e8,"copyCount":2.0,"unknownKey":[1,{"a":2}]}])"));
    start();
    ASSERT_EQ(manager->history().size(), 1u);
    EXPECT_EQ(manager->history()[0].copiedAt, ReferenceDate::date(7.8e8));
    EXPECT_EQ(manager->history()[0].copyCount, 2);
}

// A name that is not UTF-8 has no path text of its own: read back from a path, "junk-\xE9" would
// be its look-alike "junk-\uFFFD", another file.
TEST_F(ClipboardHistoryFile, FilesAreNamedExactlyAfterARestartWhateverBytesTheirNamesHold) {
    const QList<QByteArray> copied = {"file:///tmp/plain.txt", "file:///tmp/t%C3%A9%20x%25", "file:///tmp/junk-%E9",
                                      "file:///tmp/junk-%EF%BF%BD", "file:///tmp/%FF%FE/in%20a%20folder"};
    start();
    for (const QByteArray& url : copied) copy({{PasteboardType::fileURLs, url + "\r\n"}});
    manager->waitForPendingWrites();
    const QJsonArray array = readArray(historyFile());
    ASSERT_EQ(array.size(), copied.size());
    const bool notUtf8[] = {false, false, true, false, true};
    for (qsizetype i = 0; i < copied.size(); ++i) {
        // Every reader still finds the path where it always was; the URL only where it must.
        const QJsonObject file = array[copied.size() - 1 - i].toObject();
        EXPECT_EQ(file["value"].toString(), QUrl::fromEncoded(copied[i]).toLocalFile());
        EXPECT_EQ(file.contains("fileURL"), notUtf8[i]) << copied[i].toStdString();
    }
    start();
    ASSERT_EQ(manager->history().size(), copied.size());
    for (qsizetype i = 0; i < copied.size(); ++i) {
        const QList<QUrl> urls = manager->history()[copied.size() - 1 - i].content.fileURLs();
        ASSERT_EQ(urls.size(), 1);
        EXPECT_EQ(urls[0].toEncoded(), copied[i]);
    }

    // Files written before read as they did: a path alone, and a URL only where it names that path.
    manager->waitForPendingWrites();
    ASSERT_TRUE(writeFile(historyFile(),
                          json({QJsonObject{{"type", "file"}, {"value", "/tmp/old \uFFFD"}},
                                QJsonObject{{"type", "file"}, {"value", "/tmp/x"}, {"fileURL", "file:///tmp/y"}},
                                QJsonObject{{"type", "file"}, {"value", "/tmp/z"}, {"fileURL", "https://x.org/tmp/z"}},
                                QJsonObject{{"type", "file"}, {"value", "/tmp/n"}, {"fileURL", QJsonValue()}}})));
    start();
    ASSERT_EQ(manager->history().size(), 4u);
    const QStringList expected = {"/tmp/old \uFFFD", "/tmp/x", "/tmp/z", "/tmp/n"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(manager->history()[i].content.fileURLs(), QList<QUrl>{QUrl::fromLocalFile(expected[i])}) << i;
}

TEST_F(ClipboardHistoryFile, FailedWritesAreLoggedWithPathAndReasonAndTheHistoryKeptInMemory) {
    start();
    copyText("kept");
    manager->waitForPendingWrites();
    const QByteArray before = readFile(historyFile());
    FailingFileWriter failing;
    LogCapture log;
    failing.failPathsContaining("history.json");
    copyText("not saved yet");
    manager->waitForPendingWrites();
    EXPECT_EQ(readFile(historyFile()), before);
    EXPECT_EQ(texts(), (std::vector<QString>{"not saved yet", "kept"}));
    EXPECT_EQ(log.matching({"warning com.pelwick.Quorvin.Clipboard", historyFile(), "No space left on device"}).size(), 1);

    // An image that cannot be stored makes no entry and leaves no file.
    failing.failPathsContaining("/Images/");
    copyImage(pngBytes(5, 5));
    EXPECT_EQ(manager->history().size(), 2u);
    EXPECT_TRUE(imageFiles(folder).isEmpty());
    EXPECT_EQ(log.matching({folder + "/Images/", ".png", "No space left on device"}).size(), 1);

    // With room again, the next save writes all that was kept in memory.
    failing.succeedAgain();
    copyText("saved");
    manager->waitForPendingWrites();
    EXPECT_EQ(readArray(historyFile()).size(), 3);
}

TEST_F(ClipboardHistoryFile, ADamagedFileIsLoggedAndTheImagesItNamesStayUntilItsCopyIsCleared) {
    start();
    copyImage(pngBytes(4, 4));
    copyText("text");
    manager->waitForPendingWrites();
    const QString image = *manager->history()[1].imagePath;
    // Cut short, as by a full disk in another program's hands.
    const QByteArray damaged = readFile(historyFile()).chopped(7);
    manager.reset();
    ASSERT_TRUE(writeFile(historyFile(), damaged));

    LogCapture log;
    start();
    EXPECT_TRUE(manager->historyFileWasDamaged());
    const QStringList aside = QDir(folder).entryList({"history.json.damaged-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(log.matching({"warning com.pelwick.Quorvin.Clipboard", historyFile(), "is damaged",
                            folder + "/" + aside[0]}).size(), 1);
    EXPECT_TRUE(QFile::exists(image));

    // Later launches, with a sound file that no longer names the image, still keep it.
    copyText("after");
    start();
    start();
    EXPECT_FALSE(manager->historyFileWasDamaged());
    EXPECT_TRUE(QFile::exists(image));
    EXPECT_EQ(readFile(folder + "/" + aside[0]), damaged);

    // Clear removes the kept copy with everything else, and the image with it.
    manager->clear();
    manager->waitForPendingWrites();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"history.json"});
    EXPECT_EQ(readFile(historyFile()), "[]");
    EXPECT_TRUE(imageFiles(folder).isEmpty());
}

TEST_F(ClipboardHistoryFile, ADamagedFileThatCannotBeMovedAsideIsNeverOverwritten) {
    const QByteArray damaged = R"([{"type":"text","value":"half a rec)";
    ASSERT_TRUE(writeFile(historyFile(), damaged));
    FailingFileWriter failing;
    failing.failPathsContaining("history.json", FailingFileWriter::Operation::moveAside);
    LogCapture log;
    start();
    EXPECT_TRUE(manager->savesBlocked());
    EXPECT_EQ(log.matching({historyFile(), "cannot be moved aside", "No space left on device"}).size(), 1);
    copyText("a new copy");
    manager->togglePin(manager->history()[0].id);
    manager->waitForPendingWrites();
    EXPECT_EQ(readFile(historyFile()), damaged);
    EXPECT_EQ(texts(), std::vector<QString>{"a new copy"});

    // The next launch tries again, and with room the file goes aside and saving resumes.
    failing.succeedAgain();
    start();
    EXPECT_FALSE(manager->savesBlocked());
    copyText("saved");
    manager->waitForPendingWrites();
    EXPECT_EQ(readArray(historyFile()).size(), 1);
    EXPECT_EQ(QDir(folder).entryList({"history.json.damaged-*"}).size(), 1);
}

TEST_F(ClipboardHistoryFile, RecordsThisVersionCannotReadAreKeptAsideBeforeTheRewrite) {
    const QByteArray original = R"([{"type":"text","value":"known"},{"type":"video","value":"from a newer version"},)"
                                R"({"type":"text"},7,{"type":"text","value":"known too"}])";
    ASSERT_TRUE(writeFile(historyFile(), original));
    LogCapture log;
    start();
    EXPECT_EQ(texts(), (std::vector<QString>{"known", "known too"}));
    EXPECT_FALSE(manager->historyFileWasDamaged());
    const QStringList aside = QDir(folder).entryList({"history.json.damaged-*"});
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(readFile(folder + "/" + aside[0]), original);
    EXPECT_EQ(log.matching({historyFile(), "holds 3 records that cannot be read", aside[0]}).size(), 1);
    EXPECT_EQ(readArray(historyFile()).size(), 2);  // rewritten, now that a copy is safe

    // Copied once per distinct content: the same file again at the next start is kept already.
    manager.reset();
    ASSERT_TRUE(writeFile(historyFile(), original));
    start();
    EXPECT_EQ(QDir(folder).entryList({"history.json.damaged-*"}), aside);

    // Put in its place while running (another display's newer build saved it): the next save keeps
    // a copy first, as a start does, and one that cannot be kept means no write.
    const QByteArray newer = R"([{"type":"text","value":"newer","itemID":"0C0C0C0C-0000-4000-8000-00000000000C"},)"
                             R"({"type":"video","value":"a newer kind"}])";
    ASSERT_TRUE(replaceFile(historyFile(), newer));
    copyText("here");
    manager->waitForPendingWrites();
    const QStringList kept = QDir(folder).entryList({"history.json.damaged-*"});
    ASSERT_EQ(kept.size(), 2);
    EXPECT_TRUE(readFile(folder + "/" + kept[0]) == newer || readFile(folder + "/" + kept[1]) == newer);
    EXPECT_TRUE(readFile(historyFile()).contains("\"here\"") && readFile(historyFile()).contains("\"newer\""));
    const QByteArray newerStill = QByteArray(newer).replace("a newer kind", "newer still");
    ASSERT_TRUE(replaceFile(historyFile(), newerStill));
    FailingFileWriter failing;
    failing.failPathsContaining(".damaged-");
    copyText("not saved");
    manager->waitForPendingWrites();
    EXPECT_EQ(readFile(historyFile()), newerStill);
    EXPECT_EQ(log.matching({"The history is not saved", historyFile(), "holds 1 records that cannot be read",
                            "no copy of it can be kept"})
                  .size(),
              1)
        << qPrintable(log.all().join('\n'));

    // A copy that cannot be kept at a start means no rewrite at all.
    manager.reset();
    const QByteArray another = QByteArray(original).replace("known too", "known again");
    ASSERT_TRUE(writeFile(historyFile(), another));
    start();
    EXPECT_TRUE(manager->savesBlocked());
    copyText("new");
    manager->waitForPendingWrites();
    EXPECT_EQ(readFile(historyFile()), another);

    // A file that reads whole is never copied.
    manager.reset();
    failing.succeedAgain();
    ASSERT_TRUE(writeFile(historyFile(), R"([{"type":"text","value":"fine"}])"));
    start();
    EXPECT_EQ(QDir(folder).entryList({"history.json.damaged-*"}).size(), 2);
}

TEST_F(ClipboardHistoryFile, DuplicateIdsAreMadeUniqueSoThatRemovingOneRemovesOne) {
    const char* id = "ABABABAB-0000-4000-8000-000000000001";
    ASSERT_TRUE(writeFile(historyFile(), json({QJsonObject{{"type", "text"}, {"value", "one"}, {"itemID", id}},
                                               QJsonObject{{"type", "text"}, {"value", "two"}, {"itemID", id}},
                                               QJsonObject{{"type", "text"}, {"value", "three"}, {"itemID", id}}})));
    start();
    ASSERT_EQ(manager->history().size(), 3u);
    EXPECT_EQ(manager->history()[0].id, QUuid(QString(id)));
    EXPECT_NE(manager->history()[1].id, manager->history()[0].id);
    EXPECT_NE(manager->history()[2].id, manager->history()[1].id);
    manager->removeItem(QUuid(QString(id)));
    EXPECT_EQ(texts(), (std::vector<QString>{"two", "three"}));
}

TEST_F(ClipboardHistoryFile, CopyCountsAreClampedOnReadingAndSaturateOnCopying) {
    ASSERT_TRUE(writeFile(historyFile(), R"([{"type":"text","value":"max","copyCount":9223372036854775807},)"
                                         R"({"type":"text","value":"beyond","copyCount":18446744073709551615},)"
                                         R"({"type":"text","value":"float","copyCount":1e30},)"
                                         R"({"type":"text","value":"negative","copyCount":-5},)"
                                         R"({"type":"text","value":"zero","copyCount":0}])"));
    start();
    constexpr qint64 largest = std::numeric_limits<qint64>::max();
    ASSERT_EQ(manager->history().size(), 5u);
    EXPECT_EQ(manager->history()[0].copyCount, largest);
    EXPECT_EQ(manager->history()[1].copyCount, largest);
    EXPECT_EQ(manager->history()[2].copyCount, largest);
    EXPECT_EQ(manager->history()[3].copyCount, 1);
    EXPECT_EQ(manager->history()[4].copyCount, 1);

    copyText("max");
    EXPECT_EQ(manager->history()[0].content.textValue(), "max");
    EXPECT_EQ(manager->history()[0].copyCount, largest);
    manager->waitForPendingWrites();
    EXPECT_EQ(readFile(historyFile()).count("\"copyCount\":9223372036854775807"), 3);
}

TEST_F(ClipboardHistoryFile, CopyTimesKeepEveryDigitThroughLoadingAndSaving) {
    const double copied = 780000000.123456789, first = 779999999.000001;
    ASSERT_TRUE(writeFile(historyFile(), json({QJsonObject{{"type", "text"}, {"value", "precise"}, {"copiedAt", copied},
                                                           {"firstCopiedAt", first}},
                                               QJsonObject{{"type", "text"}, {"value", "other"}, {"copiedAt", 779999000.0009}}})));
    for (int round = 0; round < 3; ++round) {
        start();
        manager->togglePin(manager->history()[1].id);  // a save
        manager->waitForPendingWrites();
        const QJsonObject precise = record(readArray(historyFile()), "precise");
        EXPECT_EQ(precise["copiedAt"].toDouble(), copied) << round;
        EXPECT_EQ(precise["firstCopiedAt"].toDouble(), first) << round;
    }
    // A new copy of the same text is a new time.
    copyText("precise");
    manager->waitForPendingWrites();
    const QJsonObject recopied = record(readArray(historyFile()), "precise");
    EXPECT_EQ(recopied["copiedAt"].toDouble(), ReferenceDate::seconds(clock->now()));
    EXPECT_EQ(recopied["firstCopiedAt"].toDouble(), first);
}

TEST_F(ClipboardHistoryFile, TheGuiThreadAnswersWhileALargeHistoryIsReadAndSaved) {
    // Thirty texts of a megabyte each: far more than a frame's worth of parsing and encoding.
    QByteArray bytes = "[";
    const QByteArray megabyte(1 << 20, 'x');
    for (int i = 0; i < 30; ++i) bytes += R"({"type":"text","value":")" + QByteArray::number(i) + megabyte + R"("},)";
    bytes.back() = ']';
    ASSERT_TRUE(writeFile(historyFile(), bytes));

    auto meter = std::make_unique<TestSupport::GuiStallMeter>();
    manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !manager->isLoading(); }, 60000));
    EXPECT_EQ(manager->history().size(), 30u);
    // A copy re-encodes the whole history.
    copyText("one more");
    TestSupport::spin(300);
    const double stall = meter->longestMs();
    meter.reset();
    EXPECT_LT(stall, 250) << "the GUI thread was held up for " << stall << " ms";
    manager->waitForPendingWrites();
    EXPECT_EQ(readArray(historyFile()).size(), 31);
}

TEST_F(ClipboardHistoryFile, CopiesMadeWhileTheHistoryIsReadAreTakenInAfterItInTheirOrder) {
    defaults.setInteger("maxClipboardItems", 8);  // the concealed entry counts
    defaults.setStringArray("ignoredClipboardApps", {"org.example.Vault"});
    ASSERT_TRUE(writeFile(historyFile(), json({textRecord("pinned", true), textRecord("again"),
                                               textRecord("from the file"), textRecord("oldest")})));
    LoadGate gate;
    manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
    ASSERT_TRUE(gate.waitUntilHeld());
    copyText("first");
    copyText("again");  // an entry of the file
    copyConcealed("dropped by the next copy");
    copyText("second");
    copy({{PasteboardType::png, pngBytes(8, 6)}});  // stored on the queue the read holds
    workspace.front = RunningApplication{11, "org.example.Vault", "Vault", "/v"};
    copyText("from the vault");
    workspace.front.reset();
    copyText("first");
    copyText("third");
    copyConcealed("secret");
    EXPECT_TRUE(manager->isLoading());
    EXPECT_TRUE(manager->history().empty());

    gate.release();
    settle();
    // Newest on top, after the pins; repeats merged, the concealed copy in memory only, the oldest
    // entry past the limit.
    EXPECT_EQ(texts(),
              (std::vector<QString>{"pinned", "secret", "third", "first", "", "second", "again", "from the file"}));
    ASSERT_EQ(manager->history().size(), 8u);
    EXPECT_TRUE(manager->history()[1].isConcealed);
    EXPECT_TRUE(manager->history()[4].content.isImage());
    EXPECT_EQ(manager->history()[3].copyCount, 2);
    EXPECT_EQ(manager->history()[6].copyCount, 2);
    manager->waitForPendingWrites();
    const QJsonArray saved = readArray(historyFile());
    EXPECT_EQ(saved.size(), 7);
    EXPECT_EQ(saved[1].toObject()["value"].toString(), "third");
    for (const char* gone : {"secret", "dropped by the next copy", "from the vault", "oldest"})
        EXPECT_TRUE(record(saved, gone).isEmpty()) << gone;
}

TEST_F(ClipboardHistoryFile, AQuitWhileTheHistoryIsReadStopsTheReadInsideARecordAndKeepsTheFile) {
    // One text of 8 MB: the read looks at its stop flag while it is inside it.
    const QByteArray bytes = R"([{"type":"text","value":")" + QByteArray(8 << 20, 'x') + R"("}])";
    ASSERT_TRUE(writeFile(historyFile(), bytes));
    LoadGate gate(1);
    manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
    ASSERT_TRUE(gate.waitUntilHeld());
    copyText("made during the read");
    ASSERT_GT(gate.heldAt(), 0);
    ASSERT_LT(gate.heldAt(), bytes.size());

    manager->prepareForQuit();
    // The quit told the held read to stop, and the read went no further.
    EXPECT_TRUE(gate.stoppedWhileHeld());
    EXPECT_EQ(gate.lastBytesRead(), gate.heldAt());
    EXPECT_FALSE(manager->isLoading());
    EXPECT_TRUE(manager->history().empty());
    manager->waitForPendingWrites();
    EXPECT_EQ(readFile(historyFile()), bytes);
    EXPECT_TRUE(QDir(folder).entryList({"history.json.damaged-*"}).isEmpty());
}

// A quit while another instance's save far past the limit is read stops the read where it is: a
// take-in at once, a save once the quit's time to wait is spent (saying what it did not save).
// Nothing is handed on or written, and the file stays as the other left it.
TEST_F(ClipboardHistoryFile, AQuitWhileAnotherInstancesSaveIsReadStopsTheRead) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const ClipboardItem ours = ClipboardItem::make(ClipboardContent::text("ours"), now.addSecs(-5));
    const QByteArray theirs = othersSaveFarPastTheLimit(20000, now);
    for (const bool saving : {false, true}) {
        SCOPED_TRACE(saving ? "a save" : "a take-in");
        LogCapture log;
        std::optional<std::vector<ClipboardItem>> merged;
        auto store = std::make_unique<ClipboardHistoryStore>(folder);
        store->read(200, now);
        store->save({ours}, 200);
        store->waitUntilIdle();
        ASSERT_TRUE(replaceFile(historyFile(), theirs));
        LoadGate gate(1);
        if (saving)
            store->save({ClipboardItem::make(ClipboardContent::text("late"), now), ours}, 200);
        else
            store->refresh({ours}, 200, [&merged](std::vector<ClipboardItem> items) { merged = std::move(items); });
        ASSERT_TRUE(gate.waitUntilHeld());
        ASSERT_LT(gate.heldAt(), theirs.size());
        if (saving) store->stopWaitingAfter(0);
        store.reset();
        EXPECT_TRUE(gate.stoppedWhileHeld());
        EXPECT_EQ(gate.lastBytesRead(), gate.heldAt());
        QCoreApplication::processEvents();
        EXPECT_FALSE(merged.has_value());
        EXPECT_EQ(readFile(historyFile()), theirs);
        EXPECT_EQ(log.matching({"history is not saved", "2 entries"}).size(), saving ? 1 : 0)
            << qPrintable(log.all().join('\n'));
    }
}
