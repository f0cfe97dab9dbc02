#include "TestSupport.h"
#include "ToolboxPaneTestSupport.h"

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Source/Features/Toolbox/SnippetStore.h"
#include "Views/Toolbox/InkLabel.h"
#include "Views/Toolbox/PaneButton.h"
#include "Views/Toolbox/PaneCard.h"
#include "Views/Toolbox/PlaceholderField.h"
#include "Views/Toolbox/PlaceholderForm.h"
#include "Views/Toolbox/SnippetsPane.h"
#include "Views/Toolbox/VariableButton.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct SnippetsPaneTest : ::testing::Test {
    ToolboxPaneTest::ScopedFakePasteboard fake;
    QTemporaryDir folder;
    SnippetStore store{folder.path()};
    SnippetsPane pane{&store};

    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(true, false);
        pane.resize(630, 600);
        pane.show();
        TestSupport::spin(20);
    }
    void TearDown() override { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }

    void clickRow(int row) {
        QListWidget* list = pane.list();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    }
    void setBody(const QString& body) {
        pane.templateEditor()->selectAll();
        pane.templateEditor()->insertPlainText(body);
    }
    VariableButton* button(const QString& title) const {
        for (VariableButton* b : pane.variableButtons())
            if (b->title() == title) return b;
        return nullptr;
    }
    QByteArray file() const {
        QFile f(store.fileURL());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

}  // namespace

TEST_F(SnippetsPaneTest, DeletingEverythingThenAddingANewSnippet) {
    EXPECT_EQ(pane.list()->count(), 3);
    EXPECT_EQ(pane.list()->currentRow(), 0);
    EXPECT_EQ(pane.titleField()->text(), QStringLiteral("Дата и время"));
    for (int i = 0; i < 3; ++i) QTest::mouseClick(pane.removeButton(), Qt::LeftButton);
    EXPECT_EQ(pane.list()->count(), 0);
    EXPECT_EQ(pane.editorStack()->currentWidget(), pane.emptyEditorLabel());
    EXPECT_EQ(pane.emptyEditorLabel()->text(), QStringLiteral("Выберите сниппет"));
    EXPECT_FALSE(pane.removeButton()->isEnabled());

    QTest::mouseClick(pane.addButton(), Qt::LeftButton);
    ASSERT_EQ(pane.list()->count(), 1);
    EXPECT_EQ(pane.list()->item(0)->text(), QStringLiteral("Без названия"));
    EXPECT_TRUE(pane.list()->item(0)->isSelected());
    EXPECT_NE(pane.editorStack()->currentWidget(), pane.emptyEditorLabel());
    EXPECT_TRUE(pane.templateEditor()->toPlainText().isEmpty());
    EXPECT_EQ(pane.templateEditor()->placeholderText(), QStringLiteral("Напишите текст сниппета"));
    EXPECT_TRUE(pane.removeButton()->isEnabled());
    // An empty template: nothing to copy.
    EXPECT_EQ(pane.outputView()->text(), QStringLiteral("—"));
    EXPECT_EQ(pane.countLabel()->text(), QStringLiteral("0 символов"));
    EXPECT_FALSE(pane.copyButton()->isEnabled());
    EXPECT_FALSE(pane.explanationCard()->isVisible());
    EXPECT_FALSE(pane.fillFormCard()->isVisible());
}

// "+" after working far down another snippet: the new one shows from its top, and typing goes to
// its title (not wherever the keyboard was).
TEST_F(SnippetsPaneTest, ANewSnippetShowsFromTheTopWithTheKeyboardInItsTitle) {
    pane.resize(630, 380);
    pane.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&pane));
    auto* scroll = qobject_cast<QScrollArea*>(pane.editorStack()->currentWidget());
    ASSERT_TRUE(scroll);
    QScrollBar* bar = scroll->verticalScrollBar();
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar->maximum() > 100; }));
    bar->setValue(bar->maximum());
    pane.list()->setFocus();
    TestSupport::spin(20);

    QTest::mouseClick(pane.addButton(), Qt::LeftButton);
    ASSERT_EQ(pane.titleField()->text(), QStringLiteral("Без названия"));
    TestSupport::spin(20);
    EXPECT_EQ(bar->value(), 0);
    const QRect title(pane.titleField()->mapTo(scroll->viewport(), QPoint(0, 0)), pane.titleField()->size());
    EXPECT_TRUE(scroll->viewport()->rect().contains(title));
    EXPECT_EQ(QApplication::focusWidget(), pane.titleField());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Signature"));
    EXPECT_EQ(pane.titleField()->text(), QStringLiteral("Signature"));
    EXPECT_EQ(pane.list()->item(0)->text(), QStringLiteral("Signature"));
}

TEST_F(SnippetsPaneTest, DeletingFromTheListKeepsOrMovesTheSelection) {
    clickRow(1);
    EXPECT_EQ(pane.titleField()->text(), QStringLiteral("Ответ на письмо"));
    pane.model().remove(store.snippets().at(2));  // not the selected one
    EXPECT_EQ(pane.titleField()->text(), QStringLiteral("Ответ на письмо"));
    EXPECT_EQ(pane.list()->currentRow(), 1);
    // The selected row's context menu: the first one left is selected.
    QListWidget* list = pane.list();
    emit list->customContextMenuRequested(list->visualItemRect(list->item(1)).center());
    QMenu* menu = pane.findChild<QMenu*>();
    ASSERT_TRUE(menu);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->text(), QStringLiteral("Удалить"));
    menu->actions()[0]->trigger();
    menu->close();
    EXPECT_EQ(store.snippets().size(), 1);
    EXPECT_EQ(pane.titleField()->text(), QStringLiteral("Дата и время"));
    EXPECT_EQ(pane.list()->currentRow(), 0);
}

TEST_F(SnippetsPaneTest, EditsRenameTheRowAndReachTheFileAtOnce) {
    pane.titleField()->setFocus();
    pane.titleField()->selectAll();
    ToolboxPaneTest::typeText(pane.titleField(), QStringLiteral("Время"));
    EXPECT_EQ(pane.list()->item(0)->text(), QStringLiteral("Время"));
    EXPECT_TRUE(file().contains(QStringLiteral("\"Время\"").toUtf8()));

    setBody(QStringLiteral("первая\nвторая строка"));
    EXPECT_EQ(pane.list()->item(0)->data(Qt::UserRole + 1).toString(), QStringLiteral("первая вторая строка"));
    EXPECT_EQ(store.snippets().at(0).body, QStringLiteral("первая\nвторая строка"));
}

TEST_F(SnippetsPaneTest, PaletteButtonsInsertAtTheCaret) {
    setBody(QStringLiteral("до  после"));
    QTextCursor cursor = pane.templateEditor()->textCursor();
    cursor.setPosition(3);
    pane.templateEditor()->setTextCursor(cursor);
    QTest::mouseClick(button(QStringLiteral("Дата")), Qt::LeftButton);
    EXPECT_EQ(store.snippets().at(0).body, QStringLiteral("до {{date}} после"));
    QTest::mouseClick(button(QStringLiteral("Поле для ввода")), Qt::LeftButton);
    EXPECT_EQ(pane.templateEditor()->toPlainText(), QStringLiteral("до {{date}}{{название}} после"));
    EXPECT_EQ(button(QStringLiteral("Год"))->toolTip(), QStringLiteral("Вставить {{year}} в позицию курсора"));
    EXPECT_EQ(pane.variableButtons().size(), 7);
}

TEST_F(SnippetsPaneTest, TheExplanationCardFollowsThePlaceholders) {
    setBody(QStringLiteral("{{date}}"));
    EXPECT_EQ(pane.explanationLines(),
              (QStringList{QStringLiteral("Что произойдёт при копировании"),
                           QStringLiteral("Дата {{date}} Приложение подставит значение автоматически.")}));
    EXPECT_FALSE(pane.fillFormCard()->isVisible());
    EXPECT_TRUE(pane.refreshButton()->isVisible());

    setBody(QStringLiteral("просто текст"));
    EXPECT_FALSE(pane.explanationCard()->isVisible());
    EXPECT_FALSE(pane.refreshButton()->isVisible());

    setBody(QStringLiteral("[ссылка](адрес)"));
    EXPECT_FALSE(pane.explanationCard()->isVisible());  // a link alone explains nothing
    setBody(QStringLiteral("{{year}} [{{текст}}](адрес)"));
    const QStringList lines = pane.explanationLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("Это Markdown-ссылка")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("текст {{текст}}")));  // the user's placeholders first
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("Год {{year}}")));
}

TEST_F(SnippetsPaneTest, TheFillInFormEnablesTheCopy) {
    setBody(QStringLiteral("Привет, {{имя}} и {{друг}}! {{ имя }}"));
    EXPECT_EQ(pane.fillFormNames(), (QStringList{QStringLiteral("имя"), QStringLiteral("друг")}));
    ASSERT_EQ(pane.placeholderFields().size(), 2);
    EXPECT_EQ(pane.outputView()->text(), QStringLiteral("Привет, {{имя}} и {{друг}}! {{ имя }}"));
    EXPECT_EQ(pane.warningLabel()->text(), QStringLiteral("Заполните поля: имя, друг"));
    EXPECT_FALSE(pane.copyButton()->isEnabled());

    QLineEdit* first = pane.placeholderFields()[0]->lineEdit();
    QLineEdit* second = pane.placeholderFields()[1]->lineEdit();
    first->setFocus();
    ToolboxPaneTest::typeText(first, QStringLiteral("  "));
    EXPECT_EQ(pane.warningLabel()->text(), QStringLiteral("Заполните поля: имя, друг"));
    QTest::keyClick(first, Qt::Key_Backspace);
    QTest::keyClick(first, Qt::Key_Backspace);
    ToolboxPaneTest::typeText(first, QStringLiteral("Аня"));
    EXPECT_TRUE(pane.placeholderFields()[0]->isFocused());
    second->setFocus();
    ToolboxPaneTest::typeText(second, QStringLiteral("Боря"));
    EXPECT_FALSE(pane.warningRow()->isVisible());
    EXPECT_TRUE(pane.copyButton()->isEnabled());
    EXPECT_EQ(pane.outputView()->text(), QStringLiteral("Привет, Аня и Боря! Аня"));
    EXPECT_EQ(pane.countLabel()->text(), QStringLiteral("23 символов"));
    // The form keeps its fields (and the caret) while the user types in them.
    EXPECT_EQ(pane.placeholderFields()[1]->lineEdit(), second);
    EXPECT_TRUE(second->hasFocus());

    QTest::mouseClick(pane.copyButton(), Qt::LeftButton);
    EXPECT_EQ(fake.pasteboard.string(), QStringLiteral("Привет, Аня и Боря! Аня"));
    EXPECT_EQ(pane.copyButton()->title(), QStringLiteral("Скопировано"));

    // Erasing a value stores it empty: the placeholder vanishes and the warning returns.
    second->selectAll();
    QTest::keyClick(second, Qt::Key_Backspace);
    EXPECT_EQ(pane.outputView()->text(), QStringLiteral("Привет, Аня и ! Аня"));
    EXPECT_TRUE(pane.warningRow()->isVisible());
    EXPECT_FALSE(pane.copyButton()->isEnabled());

    // Another snippet and back: the fields start empty.
    clickRow(1);
    clickRow(0);
    EXPECT_EQ(pane.placeholderFields()[0]->value(), QString());
}

TEST_F(SnippetsPaneTest, AnEditKeepsTheFieldsOfThePlaceholdersThatStay) {
    setBody(QStringLiteral("{{имя}} и {{друг}}"));
    PlaceholderField* name = pane.placeholderFields().at(0);
    name->lineEdit()->setFocus();
    ToolboxPaneTest::typeText(name->lineEdit(), QStringLiteral("Аня"));
    // One placeholder added before it, another renamed after it: its field stays, with what was typed.
    setBody(QStringLiteral("{{город}}: {{имя}} и {{подруга}}"));
    EXPECT_EQ(pane.fillFormNames(),
              (QStringList{QStringLiteral("город"), QStringLiteral("имя"), QStringLiteral("подруга")}));
    ASSERT_EQ(pane.placeholderFields().size(), 3);
    EXPECT_EQ(pane.placeholderFields().at(1), name);
    EXPECT_EQ(name->value(), QStringLiteral("Аня"));
    EXPECT_EQ(pane.placeholderFields().at(0)->value(), QString());
    EXPECT_EQ(pane.outputView()->text(), QStringLiteral("{{город}}: Аня и {{подруга}}"));

    // Many placeholders: only the rows in view get fields, and Tab goes on down the rows in order.
    QString body;
    for (int i = 0; i < 100; ++i) body += QStringLiteral("{{поле %1}} ").arg(i);
    setBody(body);
    EXPECT_EQ(pane.fillFormNames().size(), 100);
    EXPECT_LT(pane.placeholderFields().size(), 20);
    EXPECT_EQ(pane.explanationLines().size(), 101);
    EXPECT_EQ(pane.explanationLines().at(100),
              QStringLiteral("поле 99 {{поле 99}} Вы введёте значение ниже перед копированием."));
    pane.placeholderFields().at(0)->lineEdit()->setFocus();
    for (int i = 0; i < 30; ++i) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    PlaceholderField* thirtieth = pane.fillFormRows()->field(QStringLiteral("поле 30"));
    ASSERT_TRUE(thirtieth);
    EXPECT_TRUE(thirtieth->lineEdit()->hasFocus());
    EXPECT_TRUE(thirtieth->isVisible());
    EXPECT_GT(pane.fillFormRows()->verticalScrollBar()->value(), 0);
}

TEST_F(SnippetsPaneTest, AHugeResultIsPreviewedInPartAndCopiedWhole) {
    const QString huge(3'000'000, QLatin1Char('x'));
    fake.pasteboard.simulateCopyText(huge);
    setBody(QStringLiteral("{{clipboard}}"));
    pane.model().refreshBuiltIns();
    TestSupport::spin(20);
    EXPECT_EQ(pane.model().result().size(), huge.size());
    EXPECT_EQ(pane.outputView()->text(), huge.left(SnippetsPane::previewLimit) + QStringLiteral("…"));
    pane.model().copyExpanded();
    EXPECT_EQ(fake.pasteboard.string(), huge);
}

TEST_F(SnippetsPaneTest, RussianTextsFitAtTheSmallestWindow) {
    clickRow(2);  // the markdown starter: explanation, form and warning all shown
    TestSupport::spin(20);
    for (InkLabel* label : pane.findChildren<InkLabel*>()) {
        if (!label->isVisible() || label->wordWrap()) continue;
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();
    }
    for (PaneButton* button : pane.findChildren<PaneButton*>())
        if (button->isVisible()) {
            EXPECT_GE(button->width(), button->sizeHint().width()) << button->title().toStdString();
        }
    for (VariableButton* button : pane.variableButtons())
        EXPECT_GE(button->width(), button->sizeHint().width()) << button->title().toStdString();
}
