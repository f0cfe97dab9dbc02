#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "TestSupport.h"
#include "ToolboxTestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <deque>

namespace {

using Tool = ToolboxModel::Tool;
using T = TextTransform;

// Keeps the model's background jobs until the test runs them.
struct HeldJobs {
    std::deque<std::function<void()>> jobs;
    ToolboxModel::Executor executor() {
        return [this](std::function<void()> job) { jobs.push_back(std::move(job)); };
    }
    // Runs the oldest job, then lets its result reach the GUI thread.
    void runOldest() {
        ASSERT_FALSE(jobs.empty());
        auto job = std::move(jobs.front());
        jobs.pop_front();
        job();
        TestSupport::spin(20);
    }
};

QString ofBytes(qsizetype n) { return QString(n, QChar(u'a')); }

struct ToolboxModelTest : ::testing::Test {
    HeldJobs held;
    ToolboxModel model{held.executor()};

    // Waits out the debounce, so the pending job reaches the executor.
    void waitForJobs(size_t count) {
        ASSERT_TRUE(TestSupport::waitFor([&] { return held.jobs.size() >= count; }, 2000));
    }
};

}  // namespace

TEST(ToolboxTool, IdsTitlesAndEquality) {
    EXPECT_EQ(Tool::forTransform(T::upper).id(), "transform.upper");
    EXPECT_EQ(Tool::forTransform(T::countStats).id(), "transform.countStats");
    EXPECT_EQ(Tool::jsonTree().id(), "jsonTree");
    EXPECT_EQ(Tool::qr().id(), "qr");
    EXPECT_EQ(Tool::forTransform(T::slug).title(), "Slug для URL");
    EXPECT_EQ(Tool::jsonTree().title(), "Дерево JSON");
    EXPECT_EQ(Tool::password().title(), "Генератор паролей");
    EXPECT_EQ(Tool::qr().title(), "QR-код");
    EXPECT_EQ(Tool::snippets().title(), "Сниппеты");
    for (const Tool& tool : {Tool::forTransform(T::hexDecode), Tool::jsonTree(), Tool::password(), Tool::snippets()})
        EXPECT_EQ(Tool::fromId(tool.id()), tool);
    EXPECT_FALSE(Tool::fromId("transform.nothing"));
    EXPECT_FALSE(Tool::fromId("transform."));
    // The transform field of a fixed tool never makes two of them differ.
    Tool a = Tool::qr(), b = Tool::qr();
    b.transform = T::slug;
    EXPECT_EQ(a, b);
    EXPECT_NE(Tool::forTransform(T::upper), Tool::forTransform(T::lower));
}

TEST(ToolboxModelSizeLabel, Boundaries) {
    EXPECT_FALSE(ToolboxModel::inputSizeLabel(0));
    EXPECT_FALSE(ToolboxModel::inputSizeLabel(1024));
    EXPECT_EQ(ToolboxModel::inputSizeLabel(1025), "1 КБ");
    EXPECT_EQ(ToolboxModel::inputSizeLabel(2048), "2 КБ");
    EXPECT_EQ(ToolboxModel::inputSizeLabel(1048575), "1024 КБ");
    EXPECT_EQ(ToolboxModel::inputSizeLabel(1048576), "1.0 МБ");
    EXPECT_EQ(ToolboxModel::inputSizeLabel(1572864), "1.5 МБ");
}

TEST_F(ToolboxModelTest, StartsOnTheTreeIdleAndCountsInputInUtf8Bytes) {
    EXPECT_EQ(model.selection(), Tool::jsonTree());
    EXPECT_TRUE(model.output().isEmpty());
    EXPECT_FALSE(model.failure());
    EXPECT_FALSE(model.isWorking());
    model.setInput(QString(600, QChar(u'ж')));  // 1200 bytes
    EXPECT_EQ(model.inputSizeLabel(), "1 КБ");
    model.setInput(QStringLiteral("ж"));
    EXPECT_FALSE(model.inputSizeLabel());
}

TEST_F(ToolboxModelTest, SmallInputsFollowEveryChangeAtOnce) {
    model.setSelection(Tool::forTransform(T::upper));
    model.setInput(QStringLiteral("abc"));
    EXPECT_EQ(model.output(), "ABC");
    model.setSelection(Tool::forTransform(T::kebab));
    model.setInput(QStringLiteral("parseJSONData"));
    EXPECT_EQ(model.output(), "parse-json-data");

    // An empty input gives nothing, even for the transform that would count it.
    model.setSelection(Tool::forTransform(T::countStats));
    model.setInput(QString());
    EXPECT_TRUE(model.output().isEmpty());
    EXPECT_FALSE(model.failure());

    // Exactly 20000 bytes (10000 Cyrillic letters) still go at once.
    model.setSelection(Tool::forTransform(T::upper));
    model.setInput(QString(10000, QChar(u'ж')));
    EXPECT_FALSE(model.isWorking());
    EXPECT_EQ(model.output(), QString(10000, QChar(u'Ж')));
    model.setInput(ofBytes(ToolboxModel::synchronousLimit));
    EXPECT_FALSE(model.isWorking());
    EXPECT_EQ(model.output(), ofBytes(20000).toUpper());
    EXPECT_TRUE(held.jobs.empty());
}

TEST_F(ToolboxModelTest, FailureAndSuccessReplaceEachOther) {
    model.setSelection(Tool::forTransform(T::base64Decode));
    model.setInput(QStringLiteral("aGk="));
    EXPECT_EQ(model.output(), "hi");
    model.setInput(QStringLiteral("a"));
    EXPECT_TRUE(model.output().isEmpty());
    ASSERT_TRUE(model.failure());
    EXPECT_EQ(*model.failure(), TransformFailure::notThatFormat("Это не Base64 или внутри не текст"));
    model.setInput(QStringLiteral("aGk"));
    EXPECT_EQ(model.output(), "hi");
    EXPECT_FALSE(model.failure());

    // A syntax failure keeps its line.
    model.setSelection(Tool::forTransform(T::jsonPretty));
    model.setInput(QStringLiteral("{\n\"a\": 1,\n\"b\": }"));
    ASSERT_TRUE(model.failure());
    EXPECT_EQ(model.failure()->kind, TransformFailure::Kind::syntax);
    EXPECT_EQ(model.failure()->line, 3);
}

TEST_F(ToolboxModelTest, OtherToolsClearTheResultAndTransformsRecomputeOnReturn) {
    model.setSelection(Tool::forTransform(T::hexDecode));
    model.setInput(QStringLiteral("zz"));
    ASSERT_TRUE(model.failure());
    for (const Tool& tool : {Tool::jsonTree(), Tool::password(), Tool::qr(), Tool::snippets()}) {
        model.setSelection(Tool::forTransform(T::lower));
        EXPECT_EQ(model.output(), "zz");
        model.setSelection(tool);
        EXPECT_TRUE(model.output().isEmpty());
        EXPECT_FALSE(model.failure());
        EXPECT_EQ(model.input(), "zz");  // the shared input stays
    }
    model.setSelection(Tool::forTransform(T::upper));
    EXPECT_EQ(model.output(), "ZZ");
}

TEST_F(ToolboxModelTest, LargeInputsWaitForAPauseAndRunOffTheGuiThread) {
    model.setSelection(Tool::forTransform(T::upper));
    model.setInput(QStringLiteral("small"));
    QSignalSpy working(&model, &ToolboxModel::isWorkingChanged);
    model.setInput(ofBytes(20001));
    EXPECT_TRUE(model.isWorking());
    EXPECT_EQ(model.output(), "SMALL");  // the previous result stays until the new one arrives
    // Nothing reaches the executor before the input has stood still for 0.2 s.
    TestSupport::spin(100);
    EXPECT_TRUE(held.jobs.empty());
    waitForJobs(1);
    held.runOldest();
    EXPECT_FALSE(model.isWorking());
    EXPECT_EQ(model.output(), ofBytes(20001).toUpper());
    EXPECT_EQ(working.count(), 2);
}

TEST_F(ToolboxModelTest, TwoQuickChangesTransformOnlyTheSecond) {
    model.setSelection(Tool::forTransform(T::upper));
    model.setInput(ofBytes(30000));
    TestSupport::spin(100);
    model.setInput(ofBytes(30000) + "b");
    waitForJobs(1);
    TestSupport::spin(300);
    ASSERT_EQ(held.jobs.size(), 1u);
    held.runOldest();
    EXPECT_EQ(model.output(), ofBytes(30000).toUpper() + "B");
    EXPECT_FALSE(model.isWorking());
}

TEST_F(ToolboxModelTest, ALateResultIsDroppedAndTheNewerJobKeepsWorking) {
    model.setSelection(Tool::forTransform(T::upper));
    model.setInput(ofBytes(30000));
    waitForJobs(1);
    // The first job has started (it sits on the executor) when the input changes again.
    model.setInput(QString(30000, QChar(u'b')));
    waitForJobs(2);
    // The superseded job runs late: its result goes nowhere.
    held.runOldest();
    EXPECT_TRUE(model.output().isEmpty());
    EXPECT_TRUE(model.isWorking());
    held.runOldest();
    EXPECT_EQ(model.output(), QString(30000, QChar(u'B')));
    EXPECT_FALSE(model.isWorking());
}

TEST_F(ToolboxModelTest, LeavingTheTransformEndsTheWaitAtOnce) {
    model.setSelection(Tool::forTransform(T::upper));
    model.setInput(ofBytes(30000));
    waitForJobs(1);
    model.setSelection(Tool::jsonTree());
    EXPECT_FALSE(model.isWorking());
    held.runOldest();
    EXPECT_TRUE(model.output().isEmpty());
    EXPECT_FALSE(model.isWorking());

    // Leaving before the pause is over: the job is never handed out.
    model.setSelection(Tool::forTransform(T::lower));
    EXPECT_TRUE(model.isWorking());
    model.setInput(QStringLiteral("X"));
    EXPECT_FALSE(model.isWorking());
    EXPECT_EQ(model.output(), "x");
    TestSupport::spin(350);
    EXPECT_TRUE(held.jobs.empty());
}

TEST_F(ToolboxModelTest, UsingTheOutputAsInputChainsTheTransform) {
    model.setSelection(Tool::forTransform(T::base64Encode));
    model.setInput(QStringLiteral("hi"));
    model.useOutputAsInput();
    EXPECT_EQ(model.input(), "aGk=");
    model.useOutputAsInput();
    EXPECT_EQ(model.output(), QString::fromLatin1(QByteArray("hi").toBase64().toBase64().toBase64()));

    // Nothing to use: the input stays.
    model.setSelection(Tool::forTransform(T::hexDecode));
    model.setInput(QStringLiteral("xyz"));
    model.useOutputAsInput();
    EXPECT_EQ(model.input(), "xyz");
}

TEST_F(ToolboxModelTest, CopyingWritesPlainTextAndNothingWhenEmpty) {
    FakePasteboard pasteboard;
    Pasteboard::setGeneral(&pasteboard);
    pasteboard.simulateCopyText(QStringLiteral("before"));
    model.copyOutput();  // the tree is selected: no output
    EXPECT_EQ(pasteboard.writeCount(), 0);
    EXPECT_EQ(pasteboard.string(), "before");

    model.setSelection(Tool::forTransform(T::snake));
    model.setInput(QStringLiteral("userId 42"));
    model.copyOutput();
    EXPECT_EQ(pasteboard.writeCount(), 1);
    EXPECT_EQ(pasteboard.string(), "user_id_42");
    EXPECT_EQ(pasteboard.types(), QStringList{PasteboardType::string});
    Pasteboard::setGeneral(nullptr);
}

TEST(ToolboxModelThreads, ALargeTransformCompletesOnTheThreadPool) {
    ToolboxModel model;
    model.setSelection(Tool::forTransform(T::reverseLines));
    QString text;
    for (int i = 0; i < 5000; ++i) text += QString::asprintf("line %d\n", i);
    text.chop(1);
    model.setInput(text);
    EXPECT_TRUE(model.isWorking());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !model.isWorking(); }, 5000));
    EXPECT_TRUE(model.output().startsWith("line 4999\nline 4998\n"));
    EXPECT_TRUE(model.output().endsWith("\nline 0"));
}
