#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/Toolbox/JSONNode.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "TestSupport.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/ContentCard.h"
#include "Views/Toolbox/JSONRow.h"
#include "Views/Toolbox/JSONTreePane.h"
#include "Views/Toolbox/JSONTreeRows.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListView>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <deque>

namespace {

QStringList rowTexts(const JSONTreeRows& rows) {
    QStringList out;
    for (int i = 0; i < rows.rowCount(); ++i) out.append(rows.data(rows.index(i), Qt::DisplayRole).toString());
    return out;
}

std::unique_ptr<JSONNode> tree(const char* text) {
    return std::make_unique<JSONNode>(JSONTool::parse(QString::fromUtf8(text)).value());
}

struct TreePaneTest : ::testing::Test {
    FakePasteboard pasteboard;
    ToolboxModel model;
    std::deque<std::function<void()>> jobs;
    bool holdJobs = false;
    JSONTreePane pane{model, [this](std::function<void()> job) {
                          if (holdJobs) jobs.push_back(std::move(job));
                          else job();
                      }};

    void SetUp() override {
        Pasteboard::setGeneral(&pasteboard);
        pane.resize(800, 660);
        pane.show();
    }
    void TearDown() override { Pasteboard::setGeneral(nullptr); }

    // Sets the input and waits for the tree or the failure it gives.
    void showInput(const QString& text) {
        model.setInput(text);
        pane.parse();
        ASSERT_TRUE(TestSupport::waitFor([&] { return !pane.isParsing(); }, 3000));
    }
    void clickRow(int row) {
        QListView* list = pane.treeView();
        const QRect rect = list->visualRect(pane.rows().index(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.right() - 20, rect.center().y()));
    }
};

}  // namespace

TEST(JSONTreeRows, OpenAndCloseInsertAndRemoveTheNodeRowsAndKeepInnerNodesOpen) {
    JSONTreeRows rows;
    rows.setRoot(tree(R"({"b": {"x": [1, 2]}, "a": true})"));
    EXPECT_EQ(rowTexts(rows), (QStringList{"{ 2 }", "a: true", "b: { 1 }"}));
    EXPECT_TRUE(rows.isExpanded(rows.root()));
    rows.toggle(2);  // b
    rows.toggle(3);  // x
    EXPECT_EQ(rowTexts(rows), (QStringList{"{ 2 }", "a: true", "b: { 1 }", "x: [ 2 ]", "0: 1", "1: 2"}));
    EXPECT_EQ(rows.node(4)->depth(), 3);
    rows.toggle(2);  // b closes; x stays open inside it
    EXPECT_EQ(rowTexts(rows), (QStringList{"{ 2 }", "a: true", "b: { 1 }"}));
    rows.toggle(2);
    EXPECT_EQ(rows.rowCount(), 6);
    EXPECT_EQ(rows.visibleRows(rows.root(), rows.expanded()).size(), 6u);
    rows.toggle(1);  // a scalar: nothing
    EXPECT_EQ(rows.rowCount(), 6);
    rows.collapseAll();
    EXPECT_EQ(rowTexts(rows), QStringList{"{ 2 }"});
    EXPECT_TRUE(rows.expanded().isEmpty());
    // A document deeper than the stack would like still lists.
    QByteArray deep(20000, '[');
    deep += QByteArray(20000, ']');
    JSONTreeRows deepRows;
    auto root = std::make_unique<JSONNode>(JSONValue::parse(deep.toStdString()));
    QSet<const JSONNode*> open;
    for (JSONNode* n = root.get(); n; n = n->children() && !n->children()->isEmpty() ? n->children()->first() : nullptr) {
        n->loadChildrenIfNeeded();
        open.insert(n);
    }
    deepRows.setRoot(std::move(root));
    deepRows.setExpanded(open);
    EXPECT_EQ(deepRows.rowCount(), 20000);
}

TEST(JSONRowLook, ColoursCopyTextAndHeights) {
    const QPalette palette;
    // The value hues, made readable on the card they lie on.
    const bool dark = SystemColors::isDark(palette);
    for (auto [type, hue] :
         {std::pair{"string", SystemColors::green(dark)}, std::pair{"number", SystemColors::blue(dark)},
          std::pair{"bool", SystemColors::purple(dark)}}) {
        const QColor value = JSONRow::valueColor(type, palette);
        EXPECT_NEAR(value.hslHueF(), hue.hslHueF(), 0.01) << type;
        EXPECT_GE(SystemColors::contrast(value, ContentCard::surface(palette)), 3.0) << type;
    }
    EXPECT_EQ(JSONRow::valueColor("null", palette), SystemColors::secondary(palette));
    EXPECT_NEAR(JSONRow::valueColor("object", palette).alphaF(), SystemColors::secondary(palette).alphaF() * 0.7, 0.01);
    auto doc = tree(R"({"s": "say \"hi\"", "n": null, "o": {"k": 1}})");
    doc->loadChildrenIfNeeded();
    const JSONNode::Children& c = *doc->children();  // n, o, s
    EXPECT_EQ(JSONRow::copyText(*c[2]), "say \"hi\"");
    EXPECT_EQ(JSONRow::copyText(*c[0]), "null");
    EXPECT_EQ(JSONRow::copyText(*c[1]), "{ 1 }");
    // Short values take one line; a long one wraps and never gets cut.
    EXPECT_EQ(JSONRow::rowHeight(*c[2], 600), JSONRow::minimumHeight + 2 * JSONRow::verticalInset);
    auto longString = std::make_unique<JSONNode>(JSONValue(std::string(400, 'w')));
    const int tall = JSONRow::rowHeight(*longString, 600);
    EXPECT_GT(tall, 3 * 13);
    EXPECT_GT(JSONRow::rowHeight(*longString, 300), tall);

    // A value with a long run and no spaces (a hex blob) is measured without holding up the window.
    std::string hex;
    for (int i = 0; i < 400'000; ++i) hex += "0123456789abcdef"[(i * 7) % 16];
    auto blob = std::make_unique<JSONNode>(JSONValue(hex));
    const double start = TestSupport::threadCpuMs();
    const int blobHeight = JSONRow::rowHeight(*blob, 600);
    const double took = TestSupport::threadCpuMs() - start;
    EXPECT_LT(took, 500) << "measuring the row took " << took << " ms";  // about 100 ms in a Debug build
    EXPECT_GT(blobHeight, 400'000 / 100 * 13);  // wrapped at the width, not cut
}

TEST_F(TreePaneTest, ShowsTheHintTheTreeOrTheFailure) {
    EXPECT_EQ(pane.state(), JSONTreePane::State::empty);
    EXPECT_EQ(pane.body()->currentWidget(), pane.body()->widget(2));
    EXPECT_EQ(pane.statusWidget(), nullptr);
    EXPECT_FALSE(pane.collapseButton()->isEnabled());
    EXPECT_EQ(pane.editor()->placeholder(), "Вставьте JSON");

    showInput(QStringLiteral(R"({"name": "Anna", "age": 30})"));
    EXPECT_EQ(pane.state(), JSONTreePane::State::tree);
    EXPECT_EQ(rowTexts(pane.rows()), (QStringList{"{ 2 }", "age: 30", "name: \"Anna\""}));
    EXPECT_TRUE(pane.rows().isExpanded(pane.root()));
    EXPECT_TRUE(pane.statusWidget()->isVisible());
    EXPECT_TRUE(pane.collapseButton()->isEnabled());

    // Collapse all: the root alone, closed; the button turns off.
    QTest::mouseClick(pane.collapseButton(), Qt::LeftButton);
    EXPECT_EQ(pane.rows().rowCount(), 1);
    EXPECT_FALSE(pane.collapseButton()->isEnabled());
    clickRow(0);
    EXPECT_EQ(pane.rows().rowCount(), 3);

    // A syntax error on the third line names it.
    showInput(QStringLiteral("{\n  \"a\": 1,\n  \"b\": }"));
    EXPECT_EQ(pane.state(), JSONTreePane::State::failure);
    EXPECT_EQ(pane.root(), nullptr);
    EXPECT_TRUE(pane.failureDetailLabel()->text().startsWith("Строка 3: "))
        << pane.failureDetailLabel()->text().toStdString();
    EXPECT_TRUE(pane.failureDetailLabel()->isVisible());
    // The reader's whole message shows, wrapped onto the lines it needs, none cut off.
    QCoreApplication::processEvents();
    const QLabel* detail = pane.failureDetailLabel();
    EXPECT_LE(detail->width(), 420);
    EXPECT_GE(detail->height(), detail->heightForWidth(detail->width()));
    EXPECT_GT(detail->heightForWidth(detail->width()), detail->fontMetrics().height() * 3 / 2)
        << "the message fits one line: " << detail->text().toStdString();

    // White space alone is parsed, and is empty to the reader.
    showInput(QStringLiteral("   "));
    EXPECT_EQ(pane.failureDetailLabel()->text(), "Пусто");

    // Clearing the input shows the hint at once: no spinner, no error.
    model.setInput(QString());
    pane.parse();
    EXPECT_EQ(pane.state(), JSONTreePane::State::empty);
    EXPECT_FALSE(pane.failure());
    EXPECT_EQ(pane.statusWidget(), nullptr);
}

TEST_F(TreePaneTest, EditsParseOnceAfterTheLastOneAndIdenticalTextNeverAgain) {
    pane.editor()->setFocus();
    const int before = pane.parsesStarted();
    for (char c : std::string("[1,2]")) {
        QTest::keyClicks(pane.editor(), QString(QChar(c)));
        TestSupport::spin(100);
    }
    EXPECT_EQ(pane.parsesStarted(), before);
    ASSERT_TRUE(TestSupport::waitFor([&] { return pane.state() == JSONTreePane::State::tree; }, 2000));
    EXPECT_EQ(pane.parsesStarted(), before + 1);
    EXPECT_EQ(model.input(), "[1,2]");

    // The pasteboard holds the same text: nothing is parsed again.
    pasteboard.simulateCopyText(QStringLiteral("[1,2]"));
    QTest::mouseClick(pane.pasteButton(), Qt::LeftButton);
    TestSupport::spin(450);
    EXPECT_EQ(pane.parsesStarted(), before + 1);
    // Other text replaces the input and is parsed at once.
    pasteboard.simulateCopyText(QStringLiteral("{\"k\": [true]}"));
    QTest::mouseClick(pane.pasteButton(), Qt::LeftButton);
    EXPECT_EQ(pane.parsesStarted(), before + 2);
    EXPECT_EQ(pane.editor()->toPlainText(), "{\"k\": [true]}");
    // No text on the pasteboard: the input stays.
    pasteboard.simulateCopy({});
    QTest::mouseClick(pane.pasteButton(), Qt::LeftButton);
    EXPECT_EQ(model.input(), "{\"k\": [true]}");
}

TEST_F(TreePaneTest, AKeyAfterAParseLeavesTheModelsInputInPlace) {
    showInput(QStringLiteral("[\"") + QString(600'000, QLatin1Char('a')) + QStringLiteral("\"]"));
    ASSERT_EQ(pane.state(), JSONTreePane::State::tree);
    pane.editor()->setFocus();
    QTextCursor cursor = pane.editor()->textCursor();
    cursor.setPosition(300'000);
    pane.editor()->setTextCursor(cursor);
    QTest::keyClicks(pane.editor(), "b");  // the first key gives each its own room to grow
    const int parses = pane.parsesStarted();
    ASSERT_TRUE(TestSupport::waitFor([&] { return pane.parsesStarted() > parses && !pane.isParsing(); }, 3000));
    const QChar* kept = model.input().constData();
    QTest::keyClicks(pane.editor(), "c");
    // Holding the text it parsed last, the pane made the input copy itself at the first key after each parse.
    EXPECT_EQ(model.input().constData(), kept);
    EXPECT_EQ(model.input(), pane.editor()->text());
}

TEST_F(TreePaneTest, AStaleParseIsDroppedAndThePreviousTreeWaitsClosed) {
    showInput(QStringLiteral(R"({"a": [1]})"));
    holdJobs = true;
    model.setInput(QStringLiteral("[1]"));
    pane.parse();
    EXPECT_EQ(pane.state(), JSONTreePane::State::parsing);
    EXPECT_TRUE(pane.statusWidget()->isVisible());
    EXPECT_EQ(pane.statusWidget()->toolTip(), "Разбор JSON");
    EXPECT_EQ(pane.rows().rowCount(), 1);  // the previous tree, closed to its root
    model.setInput(QStringLiteral("[2, 3]"));
    pane.parse();
    ASSERT_EQ(jobs.size(), 2u);
    jobs.front()();  // the first parse answers late
    TestSupport::spin(20);
    EXPECT_TRUE(pane.isParsing());
    jobs.back()();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !pane.isParsing(); }));
    EXPECT_EQ(rowTexts(pane.rows()), (QStringList{"[ 2 ]", "0: 2", "1: 3"}));
}

TEST_F(TreePaneTest, RowsToggleOnClickAndCopyFromTheirMenu) {
    showInput(QStringLiteral(R"({"list": [1, 2], "text": "a \"b\""})"));
    ASSERT_EQ(pane.rows().rowCount(), 3);
    clickRow(2);  // a string: nothing
    EXPECT_EQ(pane.rows().rowCount(), 3);
    // The chevron turns down with the row's opening, and back.
    auto chevron = [&] {
        const QRect item = pane.treeView()->visualRect(pane.rows().index(1));
        QTest::mouseMove(pane.treeView()->viewport(), QPoint(item.right() - 20, item.center().y()));
        // Until the turn has run its course, however long a busy machine makes it take.
        EXPECT_TRUE(TestSupport::waitForAnimations(&pane));
        const QRect square = JSONRow::disclosureRect(*pane.rows().node(1), item).toAlignedRect();
        return pane.treeView()->viewport()->grab(square).toImage();
    };
    const QImage closed = chevron();
    clickRow(1);  // the array opens
    EXPECT_EQ(pane.rows().rowCount(), 5);
    const QImage open = chevron();
    EXPECT_NE(open, closed);
    clickRow(1);
    EXPECT_EQ(pane.rows().rowCount(), 3);
    EXPECT_EQ(chevron(), closed);

    EXPECT_EQ(pane.contextMenuTitles(0), QStringList{"Скопировать значение"});
    EXPECT_EQ(pane.contextMenuTitles(2), (QStringList{"Скопировать значение", "Скопировать ключ"}));
    pane.copyValue(2);
    EXPECT_EQ(pasteboard.string(), "a \"b\"");
    pane.copyKey(2);
    EXPECT_EQ(pasteboard.string(), "text");
    pane.copyValue(0);
    EXPECT_EQ(pasteboard.string(), "{ 2 }");
}

TEST_F(TreePaneTest, AnOpenNodeOfManyChildrenMakesNodesOnlyForTheRowsDrawn) {
    for (const bool keyed : {false, true}) {
        SCOPED_TRACE(keyed ? "object" : "array");
        QString text = keyed ? QStringLiteral("{") : QStringLiteral("[");
        for (int i = 0; i < 100'000; ++i) {
            if (i > 0) text += u',';
            if (keyed) text += QString::asprintf("\"k%06d\":", 99'999 - i);
            text += QString::number(i);
        }
        showInput(text + (keyed ? u'}' : u']'));
        ASSERT_EQ(pane.rows().rowCount(), 100'001);
        // Down to the last row, once the list has measured every row.
        QListView* list = pane.treeView();
        ASSERT_TRUE(TestSupport::waitFor(
            [&] {
                list->scrollToBottom();
                list->viewport()->repaint();
                const QModelIndex last = list->indexAt(QPoint(40, list->viewport()->height() - 4));
                return last.row() == 100'000;
            },
            30'000));
        EXPECT_EQ(pane.rows().data(pane.rows().index(100'000), Qt::DisplayRole).toString(),
                  keyed ? QStringLiteral("k099999: 0") : QStringLiteral("99999: 99999"));
        // Nodes for the first screen and the last, not for every child.
        EXPECT_LT(pane.root()->findChildren<JSONNode*>().size(), 200);
        pane.toggle(0);
        pane.toggle(0);
        EXPECT_EQ(pane.rows().rowCount(), 100'001);
        EXPECT_LT(pane.root()->findChildren<JSONNode*>().size(), 200);
    }
}

TEST(JSONTreePaneLife, ParsesWhenShownAndKeepsTheSharedInput) {
    ToolboxModel model;
    model.setInput(QStringLiteral("[true, null]"));
    {
        JSONTreePane pane(model);
        EXPECT_EQ(pane.state(), JSONTreePane::State::empty);
        EXPECT_EQ(pane.editor()->toPlainText(), "[true, null]");
        pane.show();
        ASSERT_TRUE(TestSupport::waitFor([&] { return pane.state() == JSONTreePane::State::tree; }));
        EXPECT_EQ(pane.rows().rowCount(), 3);
        model.setInput(QStringLiteral("[[[["));
    }
    // The pane went while a parse was due: nothing arrives anywhere.
    TestSupport::spin(500);
    EXPECT_EQ(model.input(), "[[[[");
}
