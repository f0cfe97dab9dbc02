#include "Source/Features/Toolbox/SnippetStore.h"
#include "Source/Features/Toolbox/SnippetsPaneModel.h"
#include "TestSupport.h"
#include "ToolboxPaneTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using SnippetExpander::BuiltIn;

namespace {

const QString kStarterAnswer = QStringLiteral("Ответ на письмо");

struct SnippetsPaneModelTest : ::testing::Test {
    ToolboxPaneTest::ScopedFakePasteboard fake;
    QTemporaryDir folder;
    SnippetStore store{folder.path()};
    SnippetsPaneModel model{store};

    QStringList titles() const {
        QStringList list;
        for (const Snippet& s : store.snippets()) list.append(s.title);
        return list;
    }
    QByteArray file() const {
        QFile f(store.fileURL());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    Snippet stored(int index) const { return store.snippets().at(index); }
};

}  // namespace

TEST_F(SnippetsPaneModelTest, SelectionFollowsAddsAndDeletes) {
    model.appear();
    ASSERT_TRUE(model.draft());
    EXPECT_EQ(model.draft()->title, QStringLiteral("Дата и время"));
    EXPECT_EQ(model.selection(), stored(0).id);

    // Another instance saved its own starters meanwhile: the one selected here gives way to its
    // copy, which stays selected (and so takes the edits).
    QList<Snippet> theirs;
    for (const Snippet& s : SnippetStore::starters())
        theirs.append({QUuid::createUuid(), s.title, s.body, s.createdAt});
    QFile other(store.fileURL());
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write(SnippetStore::encode(theirs));
    other.close();

    // Deleting another snippet keeps the selection; deleting the selected one selects the first left.
    model.remove(stored(2));
    EXPECT_EQ(stored(0).id, theirs[0].id);
    EXPECT_EQ(model.selection(), stored(0).id);
    EXPECT_EQ(model.draft(), stored(0));
    model.setSelection(stored(1).id);
    model.setValue(QStringLiteral("имя"), QStringLiteral("Анна"));
    model.removeSelected();
    EXPECT_EQ(titles(), QStringList{QStringLiteral("Дата и время")});
    EXPECT_EQ(model.draft()->title, QStringLiteral("Дата и время"));
    EXPECT_TRUE(model.values().isEmpty());

    // Removing the list's own element, as a row of the list hands it over.
    model.remove(store.snippets().first());
    EXPECT_TRUE(store.snippets().isEmpty());
    EXPECT_FALSE(model.selection());
    EXPECT_FALSE(model.draft());
    model.removeSelected();  // nothing selected: nothing happens

    model.addSnippet();
    ASSERT_EQ(store.snippets().size(), 1);
    EXPECT_EQ(stored(0).title, QStringLiteral("Без названия"));
    EXPECT_TRUE(stored(0).body.isEmpty());
    EXPECT_EQ(model.selection(), stored(0).id);
    EXPECT_EQ(model.draft(), stored(0));
    model.addSnippet();
    EXPECT_EQ(model.selection(), stored(0).id);  // the newest is first and selected
}

TEST_F(SnippetsPaneModelTest, ChoosingASnippetAgainKeepsItsValuesButComingBackEmptiesThem) {
    model.appear();
    model.setSelection(stored(1).id);
    model.setValue(QStringLiteral("имя"), QStringLiteral("Анна"));
    model.setSelection(stored(1).id);
    EXPECT_EQ(model.values().value(QStringLiteral("имя")), QStringLiteral("Анна"));
    model.setSelection(stored(0).id);
    model.setSelection(stored(1).id);
    EXPECT_TRUE(model.values().isEmpty());
    model.setSelection(QUuid::createUuid());  // an id no longer stored
    EXPECT_FALSE(model.draft());
}

TEST_F(SnippetsPaneModelTest, EditsAreStoredAtOnce) {
    model.appear();
    model.setTitle(QStringLiteral("Дата"));
    EXPECT_EQ(stored(0).title, QStringLiteral("Дата"));
    EXPECT_TRUE(file().contains(QStringLiteral("\"Дата\"").toUtf8()));
    model.setBody(QStringLiteral("{{date}} и {{time}}"));
    EXPECT_EQ(stored(0).body, QStringLiteral("{{date}} и {{time}}"));
    EXPECT_EQ(model.draft()->body, stored(0).body);

    // Another instance's edit of the selected snippet, taken in by a save here, is what the next
    // edit builds on.
    {
        SnippetStore other(folder.path());
        Snippet edited = other.snippets()[0];
        edited.title = QStringLiteral("Дата и час");
        other.update(edited);
    }
    model.remove(stored(2));
    EXPECT_EQ(model.draft()->title, QStringLiteral("Дата и час"));
    model.setBody(QStringLiteral("{{date}}"));
    EXPECT_EQ(stored(0).title, QStringLiteral("Дата и час"));

    // Its removal of the selected snippet, taken in: the first one left is selected, as for a
    // removal here, and takes the next edit.
    SnippetStore(folder.path()).remove(stored(0));
    ASSERT_TRUE(TestSupport::waitFor([&] { return titles() == QStringList{kStarterAnswer}; }, 2000));
    EXPECT_EQ(model.selection(), stored(0).id);
    model.setBody(QStringLiteral("{{time}}"));
    EXPECT_EQ(stored(0).body, QStringLiteral("{{time}}"));

    // A snippet deleted behind the editor's back: edits change the working copy only.
    const Snippet gone = stored(0);
    store.remove(gone);
    model.setTitle(QStringLiteral("Призрак"));
    EXPECT_EQ(model.draft()->title, QStringLiteral("Призрак"));
    EXPECT_FALSE(titles().contains(QStringLiteral("Призрак")));

    model.select(std::nullopt);
    model.setBody(QStringLiteral("ignored"));
    EXPECT_FALSE(model.draft());
}

TEST_F(SnippetsPaneModelTest, MissingNamesDecideTheCopy) {
    model.appear();
    model.setBody(QStringLiteral("{{б}} {{а}} {{ б }} {{date}}"));
    EXPECT_EQ(model.missingNames(), (QStringList{QStringLiteral("б"), QStringLiteral("а")}));
    EXPECT_FALSE(model.canCopy());
    model.setValue(QStringLiteral("б"), QStringLiteral(" \t\n"));
    model.setValue(QStringLiteral("а"), QStringLiteral("x"));
    EXPECT_EQ(model.missingNames(), QStringList{QStringLiteral("б")});
    model.setValue(QStringLiteral("б"), QStringLiteral("y"));
    EXPECT_TRUE(model.canCopy());
    EXPECT_TRUE(model.result().startsWith(QStringLiteral("y x y ")));
    // An emptied field stores an empty value: the placeholder vanishes and is missing again.
    model.setValue(QStringLiteral("б"), QString());
    EXPECT_TRUE(model.result().startsWith(QStringLiteral(" x  ")));
    EXPECT_FALSE(model.canCopy());

    model.setBody(QString());
    EXPECT_TRUE(model.missingNames().isEmpty());
    EXPECT_FALSE(model.canCopy());
    EXPECT_TRUE(model.result().isEmpty());
}

TEST_F(SnippetsPaneModelTest, BuiltInValuesAreFrozenUntilRefreshed) {
    fake.pasteboard.simulateCopyText(QStringLiteral("https://example.org"));
    model.appear();
    model.setBody(QStringLiteral("[{{t}}]({{clipboard}}) {{uuid}}"));
    model.setValue(QStringLiteral("t"), QStringLiteral("Пример"));
    const QString first = model.result();
    EXPECT_TRUE(first.startsWith(QStringLiteral("[Пример](https://example.org) "))) << first.toStdString();
    EXPECT_EQ(model.result(), first);  // the same UUID on every redraw

    fake.pasteboard.simulateCopyText(QStringLiteral("https://example.com"));
    EXPECT_EQ(model.result(), first);
    model.refreshBuiltIn(BuiltIn::clipboard);  // inserting the clipboard token reads it anew
    EXPECT_TRUE(model.result().startsWith(QStringLiteral("[Пример](https://example.com) ")));
    EXPECT_TRUE(model.result().endsWith(model.builtInValues().at(BuiltIn::uuid)));
    const QString uuid = model.builtInValues().at(BuiltIn::uuid);
    model.refreshBuiltIns();
    EXPECT_NE(model.builtInValues().at(BuiltIn::uuid), uuid);

    // An owner that does not answer reads as an empty clipboard.
    fake.pasteboard.setOwnerAnswers(false);
    model.refreshBuiltIns();
    EXPECT_EQ(model.builtInValues().at(BuiltIn::clipboard), QString());
}

TEST_F(SnippetsPaneModelTest, CopyPutsTheExpansionOnThePasteboardAsPlainText) {
    model.appear();
    model.setSelection(stored(1).id);
    const int writes = fake.pasteboard.writeCount();
    model.copyExpanded();  // placeholders without values: nothing is copied
    EXPECT_EQ(fake.pasteboard.writeCount(), writes);
    EXPECT_FALSE(model.copyConfirmation().didCopy());

    model.setValue(QStringLiteral("имя"), QStringLiteral("Анна"));
    model.setValue(QStringLiteral("подпись"), QStringLiteral("Илья"));
    model.copyExpanded();
    EXPECT_EQ(fake.pasteboard.string(), model.result());
    EXPECT_TRUE(model.result().startsWith(QStringLiteral("Здравствуйте, Анна!")));
    EXPECT_EQ(fake.pasteboard.types(), QStringList{PasteboardType::string});
    EXPECT_TRUE(model.copyConfirmation().didCopy());

    // A long clipboard text goes into the copy whole, not cut at some length.
    QString longText;
    for (int i = 0; longText.size() < 3'000'000; ++i) longText += QStringLiteral("строка %1\n").arg(i);
    fake.pasteboard.simulateCopyText(longText);
    model.setBody(QStringLiteral("<{{clipboard}}>"));
    model.refreshBuiltIns();
    model.copyExpanded();
    EXPECT_TRUE(fake.pasteboard.string() == QLatin1Char('<') + longText + QLatin1Char('>'))
        << fake.pasteboard.string().value_or(QString()).size() << " characters copied";

    // A text that expands to nothing is still copied, as an empty string.
    model.setBody(QStringLiteral("{{clipboard}}"));
    fake.pasteboard.simulateCopy({});
    model.refreshBuiltIns();
    EXPECT_TRUE(model.canCopy());
    model.copyExpanded();
    EXPECT_EQ(fake.pasteboard.string(), QString());
}

TEST(SnippetsPaneRules, SummaryCountAndMarkdown) {
    EXPECT_EQ(SnippetsPaneModel::summary(QStringLiteral("Здравствуйте!\n\nСпасибо")),
              QStringLiteral("Здравствуйте!  Спасибо"));
    EXPECT_EQ(SnippetsPaneModel::summary(QStringLiteral("\n\t a b \n")), QStringLiteral("a b"));

    EXPECT_EQ(SnippetsPaneModel::characterCount(QString()), 0);
    EXPECT_EQ(SnippetsPaneModel::characterCount(QStringLiteral("e\u0301")), 1);  // e and a combining accent
    EXPECT_EQ(SnippetsPaneModel::characterCount(QStringLiteral("\U0001F469\u200D\U0001F467 ок")), 4);
    EXPECT_EQ(SnippetsPaneModel::characterCountText(QStringLiteral("я")), QStringLiteral("1 символов"));

    EXPECT_TRUE(SnippetsPaneModel::isMarkdownLink(QStringLiteral("[a](b)")));
    EXPECT_TRUE(SnippetsPaneModel::isMarkdownLink(QStringLiteral(") then [x](")));
    EXPECT_FALSE(SnippetsPaneModel::isMarkdownLink(QStringLiteral("[a] (b)")));
    EXPECT_FALSE(SnippetsPaneModel::isMarkdownLink(QStringLiteral("[a](b")));
}

TEST(SnippetsPaneRules, ExplanationListsTheUsersPlaceholdersBeforeTheBuiltIns) {
    using Row = SnippetsPaneModel::ExplanationRow;
    const QList<Row> rows =
        SnippetsPaneModel::explanation(QStringLiteral("{{clipboard}} {{year}} {{имя}} {{date}} {{ имя }}"));
    ASSERT_EQ(rows.size(), 4);
    EXPECT_EQ(rows[0], (Row{QStringLiteral("character.cursor.ibeam"), QStringLiteral("имя"), QStringLiteral("{{имя}}"),
                            QStringLiteral("Вы введёте значение ниже перед копированием.")}));
    EXPECT_EQ(rows[1], (Row{QStringLiteral("calendar"), QStringLiteral("Дата"), QStringLiteral("{{date}}"),
                            QStringLiteral("Приложение подставит значение автоматически.")}));
    EXPECT_EQ(rows[2].detail, QStringLiteral("Приложение возьмёт текущий текст из буфера автоматически."));
    EXPECT_EQ(rows[2].title, QStringLiteral("Буфер обмена"));
    EXPECT_EQ(rows[3].symbol, QStringLiteral("calendar.circle"));
    EXPECT_TRUE(SnippetsPaneModel::explanation(QStringLiteral("plain [a](b)")).isEmpty());
}
