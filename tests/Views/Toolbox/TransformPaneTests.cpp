#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "TestSupport.h"
#include "Views/Shared/ActivitySpinner.h"
#include "Views/Toolbox/CodeTextLayout.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/CodeTextViewController.h"
#include "Views/Toolbox/TransformPane.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <deque>
#include <random>

namespace {

using Tool = ToolboxModel::Tool;
using T = TextTransform;

struct TransformPaneTest : ::testing::Test {
    FakePasteboard pasteboard;
    std::deque<std::function<void()>> jobs;
    ToolboxModel model{[this](std::function<void()> job) { jobs.push_back(std::move(job)); }};
    TransformPane pane{model};

    void SetUp() override {
        Pasteboard::setGeneral(&pasteboard);
        model.setSelection(Tool::forTransform(T::upper));
        pane.resize(700, 600);
        pane.show();
    }
    void TearDown() override { Pasteboard::setGeneral(nullptr); }
};

}  // namespace

TEST_F(TransformPaneTest, EmptyInputDisablesWhatHasNothingToWorkOn) {
    EXPECT_FALSE(pane.clearButton()->isEnabled());
    EXPECT_FALSE(pane.sizeLabel()->isVisible());
    EXPECT_TRUE(pane.outputView()->text().isEmpty());
    EXPECT_FALSE(pane.copyButton()->isEnabled());
    EXPECT_FALSE(pane.useAsInputButton()->isEnabled());
    EXPECT_FALSE(pane.spinner()->isVisible());
    EXPECT_EQ(pane.useAsInputButton()->toolTip(),
              "Подставить результат во ввод, чтобы применить следующее преобразование");

    // Typing reaches the model, and the result follows each keystroke.
    pane.inputView()->setFocus();
    QTest::keyClicks(pane.inputView(), "abc");
    EXPECT_EQ(model.input(), "abc");
    EXPECT_EQ(pane.outputView()->toPlainText(), "ABC");
    EXPECT_TRUE(pane.clearButton()->isEnabled());
    EXPECT_TRUE(pane.copyButton()->isEnabled());
    EXPECT_FALSE(pane.outputView()->isEditable());

    // The size shows above 1 KiB.
    model.setInput(QString(2048, QChar(u'x')));
    EXPECT_TRUE(pane.sizeLabel()->isVisible());
    EXPECT_EQ(pane.sizeLabel()->text(), "2 КБ");
    QTest::mouseClick(pane.clearButton(), Qt::LeftButton);
    EXPECT_TRUE(model.input().isEmpty());
    EXPECT_TRUE(pane.inputView()->toPlainText().isEmpty());
    EXPECT_FALSE(pane.sizeLabel()->isVisible());
}

TEST_F(TransformPaneTest, PasteTakesOnlyTextAndReplacesTheInput) {
    model.setInput(QStringLiteral("old"));
    pasteboard.simulateCopy({{PasteboardType::png, QByteArray("\x89PNG")}});
    QTest::mouseClick(pane.pasteButton(), Qt::LeftButton);
    EXPECT_EQ(model.input(), "old");
    pasteboard.simulateCopy({});
    QTest::mouseClick(pane.pasteButton(), Qt::LeftButton);
    EXPECT_EQ(model.input(), "old");
    pasteboard.simulateCopyText(QStringLiteral("new text"));
    QTest::mouseClick(pane.pasteButton(), Qt::LeftButton);
    EXPECT_EQ(model.input(), "new text");
    EXPECT_EQ(pane.inputView()->toPlainText(), "new text");
    EXPECT_EQ(pane.outputView()->toPlainText(), "NEW TEXT");
}

TEST_F(TransformPaneTest, AFailureTakesThePlaceOfTheResult) {
    model.setSelection(Tool::forTransform(T::jsonPretty));
    model.setInput(QStringLiteral("{\n\"a\": 1,\n\"b\": }"));
    EXPECT_TRUE(pane.showsFailure());
    EXPECT_TRUE(pane.failureCard()->isVisible());
    EXPECT_FALSE(pane.copyButton()->isVisible());
    EXPECT_TRUE(pane.failureLabel()->text().startsWith("Строка 3: ")) << pane.failureLabel()->text().toStdString();
    model.setSelection(Tool::forTransform(T::base64Decode));
    model.setInput(QStringLiteral("%%%"));
    EXPECT_EQ(pane.failureLabel()->text(), "Это не Base64 или внутри не текст");
    EXPECT_TRUE(pane.inputView()->isEditable());
    // The next good result brings the result editor back.
    model.setInput(QStringLiteral("aGk="));
    EXPECT_FALSE(pane.showsFailure());
    EXPECT_EQ(pane.outputView()->toPlainText(), "hi");
    EXPECT_EQ(TransformPane::failureText(TransformFailure::syntax("bad", std::nullopt)), "bad");
}

TEST_F(TransformPaneTest, WhileALargeInputWorksThePreviousResultStaysBesideTheSpinner) {
    model.setInput(QStringLiteral("first"));
    model.setInput(QString(30000, QChar(u'q')));
    EXPECT_TRUE(pane.spinner()->isVisible());
    EXPECT_TRUE(pane.spinner()->isSpinning());
    EXPECT_LT(pane.spinner()->geometry().x(), pane.copyButton()->geometry().x());
    EXPECT_EQ(pane.outputView()->toPlainText(), "FIRST");
    ASSERT_TRUE(TestSupport::waitFor([&] { return !jobs.empty(); }, 2000));
    jobs.front()();
    jobs.pop_front();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !model.isWorking(); }, 2000));
    EXPECT_FALSE(pane.spinner()->isVisible());
    EXPECT_EQ(pane.outputView()->text(), QString(30000, QChar(u'Q')));
}

TEST_F(TransformPaneTest, TypingUndoAndPastingInTheEditorReachTheModel) {
    CodeTextView* input = pane.inputView();
    input->setFocus();
    QTest::keyClicks(input, "ab c");
    QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(model.input(), input->text());
    EXPECT_EQ(pane.outputView()->text(), input->text().toUpper());
    QApplication::clipboard()->setText(QStringLiteral("x\r\nyé"));
    QTest::keyClick(input, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(model.input(), input->text());
    EXPECT_TRUE(model.input().endsWith(QStringLiteral("x\nyé"))) << model.input().toStdString();
    EXPECT_EQ(pane.outputView()->text(), input->text().toUpper());

    // Text whose line ends the editor writes otherwise: the first key gives the model the editor's text.
    model.setInput(QStringLiteral("a\r\nb\rc"));
    input->moveCursor(QTextCursor::End);
    QTest::keyClicks(input, "d");
    EXPECT_EQ(model.input(), "a\nb\ncd");
    EXPECT_EQ(pane.outputView()->text(), "A\nB\nCD");
}

// A key in a large input changes the editor's text and the model's input in place: neither is copied
// whole (a copy of megabytes at every key held up the window), and both stay the same text.
TEST_F(TransformPaneTest, AKeyInALargeInputCopiesNeitherTheEditorsTextNorTheModelsInput) {
    QString text;
    for (int i = 0; text.size() < 1'000'000; ++i) text += QStringLiteral("слово%1 ").arg(i);
    model.setInput(text);
    CodeTextView* input = pane.inputView();
    // The editor takes its own copy with the text, not at the first key; the result view needs none.
    EXPECT_NE(input->text().constData(), model.input().constData());
    input->setFocus();
    QTextCursor cursor = input->textCursor();
    cursor.setPosition(int(text.size() / 2));
    input->setTextCursor(cursor);
    QTest::keyClicks(input, "a");  // the first key gives each its own room to grow
    const QChar* shown = input->text().constData();
    const QChar* kept = model.input().constData();
    QTest::keyClicks(input, "bcd");
    for (const QString& typed : {QStringLiteral("é"), QStringLiteral("😀"), QStringLiteral(" f")}) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, typed);
        QApplication::sendEvent(input, &key);
    }
    QTest::keyClick(input, Qt::Key_Backspace);
    QTest::keyClick(input, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(input->text().constData(), shown);
    EXPECT_EQ(model.input().constData(), kept);
    ASSERT_EQ(model.input(), input->text());
    EXPECT_EQ(model.inputBytes(), input->text().toUtf8().size());
    EXPECT_EQ(pane.sizeLabel()->text(), ToolboxModel::inputSizeLabel(input->text().toUtf8().size()));
    ASSERT_TRUE(TestSupport::waitFor([&] { return !jobs.empty(); }, 2000));
    jobs.front()();
    jobs.pop_front();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !model.isWorking(); }, 2000));
    EXPECT_EQ(pane.outputView()->text(), input->text().toUpper());
    EXPECT_EQ(pane.outputView()->text().constData(), model.output().constData());
}

TEST_F(TransformPaneTest, UseAsInputChainsAndCopyWritesTheResult) {
    model.setSelection(Tool::forTransform(T::base64Encode));
    model.setInput(QStringLiteral("hi"));
    QTest::mouseClick(pane.useAsInputButton(), Qt::LeftButton);
    EXPECT_EQ(pane.inputView()->toPlainText(), "aGk=");
    EXPECT_EQ(pane.outputView()->toPlainText(), "YUdrPQ==");
    QTest::mouseClick(pane.copyButton(), Qt::LeftButton);
    EXPECT_EQ(pasteboard.string(), "YUdrPQ==");
}

TEST(CodeTextView, KeepsTheCaretAndClampsTheSelectionWhenTheHostChangesTheText) {
    CodeTextView view(true, QStringLiteral("Вставьте JSON"));
    view.resize(300, 200);
    view.show();
    QSignalSpy edits(&view, &CodeTextView::textEdited);
    QTest::keyClicks(&view, "hello");
    ASSERT_EQ(edits.count(), 5);
    EXPECT_EQ(edits.last().first().toString(), "hello");
    // The host writes back what was typed: nothing moves.
    view.setText(QStringLiteral("hello"));
    EXPECT_EQ(view.textCursor().position(), 5);
    EXPECT_EQ(edits.count(), 5);

    // A selection of "ell", then shorter text from the host: clamped to the new length.
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(1);
    cursor.setPosition(4, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    view.setText(QStringLiteral("hey"));
    EXPECT_EQ(view.textCursor().selectionStart(), 1);
    EXPECT_EQ(view.textCursor().selectionEnd(), 3);
    view.setText(QString());
    EXPECT_EQ(view.textCursor().position(), 0);
    EXPECT_EQ(edits.count(), 5);  // the host's changes are not edits

    // Line ends and no-break spaces come back as they went in.
    QTest::keyClicks(&view, QStringLiteral("a\u00a0b"));
    QTest::keyClick(&view, Qt::Key_Return);
    EXPECT_EQ(view.text(), QStringLiteral("a\u00a0b\n"));
}

// Whatever the user does, the edits reported one by one make the text the view shows, and the wrap
// mode (kept up to date edit by edit) is the one a look at the whole text chooses.
TEST(CodeTextView, ItsReportedEditsMakeItsTextAndItsWrapModeFollowsThem) {
    CodeTextView view(true);
    view.resize(400, 300);
    view.show();
    view.setFocus();
    QString host;
    QObject::connect(&view, &CodeTextView::edited, [&](int position, int removed, const QString& added) {
        ASSERT_LE(position + removed, host.size());
        host.replace(position, removed, added);
    });
    QString reported;
    QObject::connect(&view, &CodeTextView::textEdited, [&](const QString& text) { reported = text; });
    const auto check = [&](const std::string& step) {
        // The host's own line ends stand until the first edit.
        QString document = view.document()->toRawText();
        document.replace(QChar::ParagraphSeparator, u'\n');
        QString shown = view.text();
        shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
        ASSERT_EQ(shown, document) << step;
        ASSERT_EQ(host, view.text()) << step;
        ASSERT_EQ(reported, view.text()) << step;
        ASSERT_EQ(view.wordWrapMode(), CodeTextView::hasLongUnbrokenRun(view.text())
                                           ? QTextOption::WrapAnywhere
                                           : QTextOption::WrapAtWordBoundaryOrAnywhere)
            << step;
    };
    std::mt19937 random(42);
    const auto below = [&](int n) { return n > 0 ? int(random() % unsigned(n)) : 0; };
    const QString run(1500, u'x');
    for (int step = 0; step < 400; ++step) {
        const int length = int(view.text().size());
        QTextCursor cursor = view.textCursor();
        const int choice = below(12);
        std::string name = std::to_string(step) + ": " + std::to_string(choice);
        if (choice == 0 && step % 40 == 0) {
            host = QStringLiteral("host\r\ntext ") + run + QStringLiteral("\rend \U0001F600");
            view.setText(host);
            reported = view.text();
            continue;
        }
        if (choice <= 2) {
            cursor.setPosition(below(length + 1));
            view.setTextCursor(cursor);
            // Spaces beyond ASCII part runs as a space does.
            const char16_t spaces[] = {u' ', u'\u3000', u'\u00a0'};
            const QChar typed = below(3) == 0 ? spaces[below(3)] : below(4) == 0 ? u'中' : u'y';
            QTest::sendKeyEvent(QTest::Click, &view, Qt::Key_unknown, QString(typed), Qt::NoModifier);
        } else if (choice == 3) {
            cursor.setPosition(below(length + 1));
            view.setTextCursor(cursor);
            view.insertPlainText(below(2) ? run : QStringLiteral("a b\r\nc\U0001F600"));
        } else if (choice == 4 || choice == 5) {
            cursor.setPosition(below(length + 1));
            view.setTextCursor(cursor);
            QTest::keyClick(&view, choice == 4 ? Qt::Key_Backspace : Qt::Key_Delete);
        } else if (choice == 6) {
            const int from = below(length + 1);
            cursor.setPosition(from);
            cursor.setPosition(std::min(length, from + below(3000)), QTextCursor::KeepAnchor);
            view.setTextCursor(cursor);
            QTest::keyClicks(&view, below(2) ? QStringLiteral(" ") : QStringLiteral("z"));
        } else if (choice == 7) {
            QTest::keyClick(&view, Qt::Key_Return);
        } else if (choice == 8 || choice == 9) {
            view.undo();
        } else if (choice == 10) {
            view.redo();
        } else {
            cursor.setPosition(below(length + 1));
            view.setTextCursor(cursor);
            QApplication::clipboard()->setText(QStringLiteral("p\r\nq ") + run.left(below(900)));
            view.paste();
        }
        check(name);
        if (::testing::Test::HasFatalFailure()) return;
    }
}

TEST(CodeTextView, PlaceholderShowsOnlyWhileEmpty) {
    QWidget host;
    host.resize(300, 120);
    auto* view = new CodeTextView(true, QStringLiteral("Вставьте JSON"), nullptr, &host);
    view->setGeometry(host.rect());
    host.show();
    auto darkPixels = [&] {
        const QImage image = view->grab().toImage();
        int n = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 150; ++x) n += qGray(image.pixel(x, y)) < 200 ? 1 : 0;
        return n;
    };
    const int withPlaceholder = darkPixels();
    EXPECT_GT(withPlaceholder, 20);
    view->setPlaceholder(QString());
    EXPECT_LT(darkPixels(), withPlaceholder / 4);
    view->setPlaceholder(QStringLiteral("Вставьте JSON"));
    QTest::keyClicks(view, "1");
    EXPECT_LT(darkPixels(), withPlaceholder / 2);
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_GT(darkPixels(), withPlaceholder * 3 / 4);
}

TEST(CodeTextView, ReadOnlyStillSelectsAndCopiesAndIgnoresInserts) {
    CodeTextView view(false);
    CodeTextViewController controller;
    view.setController(&controller);
    view.setText(QStringLiteral("copy me"));
    view.show();
    view.selectAll();
    view.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), "copy me");
    QTest::keyClicks(&view, "x");
    EXPECT_EQ(view.toPlainText(), "copy me");
    controller.insert(QStringLiteral("{{x}}"));
    EXPECT_EQ(view.toPlainText(), "copy me");
}

TEST(CodeTextView, InsertGoesThroughTheEditorAndCanBeUndone) {
    CodeTextViewController controller;
    {
        CodeTextView view(true, QString(), &controller);
        EXPECT_EQ(controller.textView(), &view);
        view.show();
        QSignalSpy edits(&view, &CodeTextView::textEdited);
        view.setText(QStringLiteral("Hello !"));
        QTextCursor cursor = view.textCursor();
        cursor.setPosition(6);
        view.setTextCursor(cursor);
        controller.insert(QStringLiteral("{{название}}"));
        EXPECT_EQ(view.text(), "Hello {{название}}!");
        ASSERT_GE(edits.count(), 1);
        EXPECT_EQ(edits.last().first().toString(), "Hello {{название}}!");
        EXPECT_EQ(view.textCursor().position(), 6 + 12);
        view.undo();
        EXPECT_EQ(view.text(), "Hello !");
    }
    // The view is gone: the controller lets go of it.
    EXPECT_EQ(controller.textView(), nullptr);
    controller.insert(QStringLiteral("x"));
}

TEST(CodeTextView, ALongRunWithoutSpacesIsLaidOutWithoutHoldingUpTheWindow) {
    // A hex dump of 200 KB: one run, no word boundary anywhere.
    QString hex;
    for (int i = 0; i < 400'000; ++i) hex += QLatin1Char("0123456789abcdef"[(i * 7) % 16]);
    CodeTextView view(true);
    view.resize(600, 300);
    view.show();
    const double start = TestSupport::threadCpuMs();
    view.setText(hex);
    QCoreApplication::processEvents();
    const double took = TestSupport::threadCpuMs() - start;
    EXPECT_LT(took, 50) << "laying out the run took " << took << " ms";  // about 5 ms in a Debug build
    EXPECT_EQ(view.text(), hex);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);  // still wrapped at the view's width

    // Prose still wraps between words, also after the blob is replaced by typing.
    view.selectAll();
    QTest::keyClicks(&view, QStringLiteral("short words wrap between them"));
    EXPECT_EQ(view.text(), QStringLiteral("short words wrap between them"));
    EXPECT_EQ(view.wordWrapMode(), QTextOption::WrapAtWordBoundaryOrAnywhere);
    EXPECT_TRUE(CodeTextView::hasLongUnbrokenRun(QString(2001, QLatin1Char('['))));
    EXPECT_FALSE(CodeTextView::hasLongUnbrokenRun(QString(2000, QLatin1Char('[')) + "\n" + QString(2000, 'a')));
    // The quick answers for runs agree with Qt's tables on every UTF-16 unit.
    for (char32_t c = 0; c <= 0xffff; ++c)
        ASSERT_EQ(CodeTextView::isBlank(char16_t(c)), QChar::isSpace(c)) << std::hex << uint32_t(c);
}

TEST(CodeTextView, AHugeLineShowsInPiecesYetCopiesWhole) {
    const qsizetype piece = CodeTextView::displayPieceLength;
    QString text = QString(piece * 2 + 10, QChar(u'x')) + "\n" + "short" + "\n" + QString(piece + 1, QChar(u'y'));
    text[piece - 1] = QChar(0xD83D);  // a surrogate pair across the first piece's end stays whole
    text[piece] = QChar(0xDE00);
    CodeTextView view(false);
    view.setText(text);
    view.show();
    EXPECT_EQ(view.text(), text);
    EXPECT_EQ(view.blockCount(), 3);
    const std::vector<int> starts = CodeTextView::pieceStarts(QStringView(text).left(piece * 2 + 10));
    EXPECT_EQ(starts, (std::vector<int>{0, int(piece) + 1, int(piece) * 2}));
    EXPECT_EQ(CodeTextView::pieceStarts(u"short").size(), 1u);
    view.selectAll();
    view.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), text);
    // A part of it: from inside the first line to just before the last character.
    QTextCursor cursor(view.document());
    cursor.setPosition(5);
    cursor.setPosition(view.document()->characterCount() - 2, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    view.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), text.mid(5, text.size() - 6));
    // Made editable, it shows the text as it is.
    view.setEditable(true);
    EXPECT_EQ(view.toPlainText(), text);
}

namespace {

// One line of about the given length without a line break (pasted minified JSON), with a character
// outside the BMP and a no-break space here and there.
QString hugeLine(qsizetype length) {
    QString line;
    line.reserve(length + 64);
    for (int i = 0; line.size() < length; ++i) {
        line += QStringLiteral("{\"key%1\":[true,null,\"значение\u00a0%1\"],\"e\":\"\U0001F600\"},").arg(i);
    }
    return line;
}

}  // namespace

TEST(CodeTextView, AKeyInAHugeLineLaysOutOnlyWhatIsOnScreen) {
    const QString line = hugeLine(4'000'000);
    CodeTextView view(true);
    view.resize(600, 300);
    view.show();
    view.setText(line);
    view.setFocus();
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(int(line.size() / 2));
    view.setTextCursor(cursor);
    QCoreApplication::processEvents();
    // Laid out whole, each key in this line held the GUI thread for seconds.
    const double start = TestSupport::threadCpuMs();
    QTest::keyClicks(&view, "ab");
    view.repaint();
    const double took = TestSupport::threadCpuMs() - start;
    EXPECT_LT(took, 400) << "two keys took " << took << " ms";  // about 50 ms in a Debug build
    EXPECT_EQ(view.text().size(), line.size() + 2);
}

TEST(CodeTextView, AnEditInALongLineLaysOutAgainOnlyThePiecesFromItsOwnOn) {
    constexpr int piece = CodeTextView::displayPieceLength;
    // Five pieces; a surrogate pair across the second boundary puts the third piece's start one later.
    QString base;
    for (int i = 0; base.size() < 5 * piece; ++i) base += QStringLiteral("word%1 ").arg(i);
    base.truncate(5 * piece);
    base[2 * piece - 1] = QChar(0xD83D);
    base[2 * piece] = QChar(0xDE00);
    struct Case {
        int position, removed;
        QString added;
        int firstLaidOutAgain;
    };
    const Case cases[] = {
        {3 * piece + 10, 0, QStringLiteral("x"), 3},
        {3 * piece + 1, 0, QStringLiteral("x"), 3},
        {3 * piece, 0, QStringLiteral("x"), 2},       // the fourth piece's first character changes
        {2 * piece + 1, 1, QString(), 2},              // just after the pair: the second piece stays
        {2 * piece, 0, QStringLiteral("x"), 1},       // inside the pair: the second piece's end moves
        {piece + 5, 3, QStringLiteral("\n"), 1},      // a new line: all that follows
        {0, 0, QStringLiteral("x"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        QString text = base;
        QTextDocument document;
        document.setDocumentLayout(CodeTextLayout::documentLayout(&document));
        document.setPlainText(text);
        QAbstractScrollArea view;
        view.resize(600, 300);
        CodeTextLayout layout(&document, text, view);
        layout.estimateAll();
        std::vector<QTextLayout*> before;
        for (int i = 0; i < 5; ++i) before.push_back(layout.layoutOf(layout.pieceAt(std::max(0, i * piece + 1))));

        QTextCursor edit(&document);
        edit.setPosition(c.position);
        edit.setPosition(c.position + c.removed, QTextCursor::KeepAnchor);
        edit.insertText(c.added);
        text.replace(c.position, c.removed, c.added);
        const QTextBlock block = document.findBlock(c.position);
        for (QTextBlock b = block; b.isValid(); b = b.next()) layout.estimateBlock(b);
        layout.dropLayoutsFrom(block, c.position);

        for (int i = 0; i < 5; ++i) {
            const CodeTextLayout::Piece p = layout.pieceAt(std::max(0, i * piece + 1));
            QTextLayout* now = layout.layoutOf(p);
            if (i < c.firstLaidOutAgain) {
                EXPECT_EQ(now, before[size_t(i)]) << "piece " << i;
            }
            EXPECT_EQ(now->text(), text.mid(p.position(), p.length)) << "piece " << i;
        }
    }
}

TEST(CodeTextView, AHugeLineUndoesSelectsCopiesAndFindsOnTheWholeText) {
    const QString line = hugeLine(300'000);
    const QString text = line + "\nsecond line";
    CodeTextView view(true);
    view.resize(500, 300);
    view.show();
    view.setText(text);
    view.setFocus();
    QSignalSpy edits(&view, &CodeTextView::textEdited);

    // Typing far into the line, and deleting: undo gives back the exact text, redo the edited one.
    const int middle = int(text.indexOf(QStringLiteral("key"), line.size() / 2));
    QTextCursor cursor = view.textCursor();
    cursor.setPosition(middle);
    view.setTextCursor(cursor);
    QTest::keyClicks(&view, "x");
    for (const QString& typed : {QStringLiteral("é"), QStringLiteral("😀")}) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, typed);
        QApplication::sendEvent(&view, &key);
    }
    QTest::keyClick(&view, Qt::Key_Backspace);  // the whole surrogate pair
    QTest::keyClick(&view, Qt::Key_Delete);
    QString edited = text;
    edited.replace(middle, 1, QStringLiteral("xé"));
    ASSERT_EQ(view.text(), edited) << view.text().mid(middle - 5, 20).toStdString();
    EXPECT_EQ(edits.last().first().toString(), edited);
    EXPECT_EQ(view.textCursor().position(), middle + 2);
    while (view.document()->isUndoAvailable()) view.undo();
    EXPECT_EQ(view.text(), text);
    EXPECT_EQ(edits.last().first().toString(), text);
    while (view.document()->isRedoAvailable()) view.redo();
    EXPECT_EQ(view.text(), edited);
    view.undo();
    view.undo();
    view.undo();
    view.undo();
    view.undo();
    ASSERT_EQ(view.text(), text);

    // Selected from the keyboard, the whole line and the next copy exactly.
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(&view, Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(view.textCursor().selectionEnd() - view.textCursor().selectionStart(), text.size());
    view.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), text);
    // Down and up again, row by row through the pieces, come back to the same place.
    view.moveCursor(QTextCursor::Start);
    QTest::keyClick(&view, Qt::Key_Right);
    for (int i = 0; i < 300; ++i) QTest::keyClick(&view, Qt::Key_Down);
    EXPECT_GT(view.textCursor().position(), CodeTextView::displayPieceLength);
    for (int i = 0; i < 300; ++i) QTest::keyClick(&view, Qt::Key_Up);
    EXPECT_EQ(view.textCursor().position(), 1);

    // Selected with the mouse: a click at the start, then a shift-click after the last character.
    QTest::keyClick(&view, Qt::Key_Home, Qt::ControlModifier);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, QPoint(CodeTextView::inset, CodeTextView::inset + 2));
    EXPECT_EQ(view.textCursor().position(), 0);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(view.viewport()->width() - 2, view.viewport()->height() - 2));
    EXPECT_EQ(view.textCursor().anchor(), 0);
    EXPECT_EQ(view.textCursor().position(), text.size());
    view.copy();
    EXPECT_EQ(QApplication::clipboard()->text(), text);
    // A drag from one place in the line to another selects what lies between.
    view.verticalScrollBar()->setValue(0);
    const int from = 3 * CodeTextView::displayPieceLength + 11;
    cursor.setPosition(from);
    view.setTextCursor(cursor);
    QTest::keyClick(&view, Qt::Key_Down);
    QTest::keyClick(&view, Qt::Key_Down);
    const int to = view.textCursor().position();
    const QPoint end = view.cursorRect().center();
    view.setTextCursor(cursor);
    const QPoint start = view.cursorRect().center();
    QTest::mousePress(view.viewport(), Qt::LeftButton, {}, start);
    QMouseEvent move(QEvent::MouseMove, end, view.viewport()->mapToGlobal(end), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &move);
    QTest::mouseRelease(view.viewport(), Qt::LeftButton, {}, end);
    EXPECT_EQ(view.textCursor().selectionStart(), from);
    EXPECT_EQ(view.textCursor().selectionEnd(), to);

    // Search finds a match far into the line, selects it and brings it into sight.
    view.moveCursor(QTextCursor::Start);
    const QString needle = QStringLiteral("key%1\"").arg(5000);
    const qsizetype at = text.indexOf(needle);
    ASSERT_GT(at, 200'000);
    ASSERT_TRUE(view.find(needle));
    EXPECT_EQ(view.textCursor().selectionStart(), at);
    EXPECT_EQ(view.textCursor().selectionEnd(), at + needle.size());
    EXPECT_TRUE(view.viewport()->rect().contains(view.cursorRect().center()));
    EXPECT_FALSE(view.find(needle));
    view.moveCursor(QTextCursor::End);
    EXPECT_TRUE(view.find(needle, QTextDocument::FindBackward));
    EXPECT_EQ(view.textCursor().selectionStart(), at);
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);

    // Text dropped from elsewhere goes in where it lands, and undoes in one step.
    view.moveCursor(QTextCursor::End);
    const QPoint point = view.cursorRect().center();
    QMimeData dropped;
    dropped.setText(QStringLiteral("[dropped]"));
    QDragEnterEvent enter(point, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(point, Qt::CopyAction, &dropped, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view.viewport(), &drop);
    EXPECT_EQ(view.text(), text + "[dropped]");
    view.undo();
    EXPECT_EQ(view.text(), text);

    // Cut from the middle of the line and pasted back: the same text again.
    cursor.setPosition(from);
    cursor.setPosition(to, QTextCursor::KeepAnchor);
    view.setTextCursor(cursor);
    view.cut();
    EXPECT_EQ(QApplication::clipboard()->text(), text.mid(from, to - from));
    EXPECT_EQ(view.text(), QString(text).remove(from, to - from));
    view.paste();
    EXPECT_EQ(view.text(), text);
}

TEST(CodeTextView, AssistiveTechnologyReadsAndEditsTheText) {
    CodeTextView view(true);
    view.resize(300, 200);
    view.show();
    view.setText(QStringLiteral("first line\nsecond"));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::EditableText);
    EXPECT_EQ(accessible->text(QAccessible::Value), "first line\nsecond");
    EXPECT_TRUE(accessible->state().editable);
    QAccessibleTextInterface* text = accessible->textInterface();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->characterCount(), 17);
    EXPECT_EQ(text->text(6, 10), "line");
    text->setSelection(0, 11, 17);
    EXPECT_EQ(view.textCursor().selectedText(), "second");
    const QRect second = text->characterRect(11);
    EXPECT_EQ(text->offsetAtPoint(second.topLeft() + QPoint(1, second.height() / 2)), 11);
    accessible->editableTextInterface()->replaceText(0, 5, QStringLiteral("1st"));
    EXPECT_EQ(view.text(), "1st line\nsecond");
    view.setEditable(false);
    EXPECT_EQ(accessible->editableTextInterface(), nullptr);
    EXPECT_TRUE(accessible->state().readOnly);
}
