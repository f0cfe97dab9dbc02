#include "Platform/Gui/SystemColors.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "TestSupport.h"
#include "Views/Toolbox/JSONTreePane.h"
#include "Views/Toolbox/ToolboxView.h"
#include "Views/Toolbox/TransformPane.h"

#include <QAction>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using Tool = ToolboxModel::Tool;
using Entry = ToolboxView::SidebarEntry;
using T = TextTransform;

QStringList titles(const QList<Entry>& entries, Entry::Kind kind) {
    QStringList out;
    for (const Entry& e : entries) {
        if (e.kind == kind) out.append(e.title);
    }
    return out;
}

QList<Tool> tools(const QList<Entry>& entries) {
    QList<Tool> out;
    for (const Entry& e : entries) {
        if (e.kind == Entry::Kind::tool) out.append(e.tool);
    }
    return out;
}

struct ToolboxViewTest : ::testing::Test {
    ToolboxModel model;
    ToolboxView view{model};

    // Clicks the sidebar row of a tool, as the user would.
    void click(const Tool& tool) {
        QListWidget* list = view.sidebar();
        const QList<Entry> entries = ToolboxView::sidebarEntries(view.searchQuery(), false);
        for (int row = 0; row < list->count(); ++row) {
            const QModelIndex index = list->model()->index(row, 0);
            const Entry& e = entries[row];
            if (e.kind != Entry::Kind::tool || !(e.tool == tool)) continue;
            list->scrollTo(index);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
            return;
        }
        ADD_FAILURE() << "no row for " << tool.id().toStdString();
    }
};

}  // namespace

TEST(ToolboxSidebar, SectionsOfEveryToolWithTheirGlyphs) {
    const QList<Entry> entries = ToolboxView::sidebarEntries(QString(), false);
    EXPECT_EQ(titles(entries, Entry::Kind::header),
              (QStringList{"Инструменты", "Регистр", "Идентификаторы", "Пробелы", "Строки", "Кодирование", "JSON",
                           "Разбор"}));
    const QList<Tool> all = tools(entries);
    ASSERT_EQ(all.size(), 35);
    EXPECT_EQ(all.mid(0, 4), (QList<Tool>{Tool::jsonTree(), Tool::password(), Tool::qr(), Tool::snippets()}));
    // Slug closes the identifiers; the hex transforms follow the HTML ones.
    EXPECT_EQ(all[12], Tool::forTransform(T::constant));
    EXPECT_EQ(all[13], Tool::forTransform(T::slug));
    EXPECT_EQ(all[14], Tool::forTransform(T::trim));
    EXPECT_EQ(all[27], Tool::forTransform(T::htmlUnescape));
    EXPECT_EQ(all[28], Tool::forTransform(T::hexEncode));
    EXPECT_EQ(entries[1 + 4 + 1 + 4 + 1 + 5].tool, Tool::forTransform(T::slug));
    EXPECT_TRUE(titles(entries, Entry::Kind::note).isEmpty());

    EXPECT_EQ(ToolboxView::symbol(Tool::jsonTree()), "list.bullet.indent");
    EXPECT_EQ(ToolboxView::symbol(Tool::snippets()), "text.badge.plus");
    EXPECT_EQ(ToolboxView::symbol(Tool::forTransform(T::hexDecode)), "lock.rotation");
    EXPECT_EQ(ToolboxView::symbol(Tool::forTransform(T::jsonEscape)), "chevron.left.forwardslash.chevron.right");
    EXPECT_EQ(ToolboxView::symbol(Tool::forTransform(T::countStats)), "number");
    EXPECT_EQ(ToolboxView::tint(Tool::qr(), false), SystemColors::indigo(false));
    EXPECT_EQ(ToolboxView::tint(Tool::forTransform(T::slug), true), SystemColors::purple(true));
}

TEST(ToolboxSidebar, SearchMatchesDisplayTitlesIgnoringCase) {
    // "json" and "JSON": the tree first, then the JSON group's transforms, no group headers.
    const QList<Tool> expected{Tool::jsonTree(), Tool::forTransform(T::jsonPretty), Tool::forTransform(T::jsonMinify),
                               Tool::forTransform(T::jsonEscape), Tool::forTransform(T::jsonUnescape)};
    EXPECT_EQ(ToolboxView::searchResults("json"), expected);
    EXPECT_EQ(ToolboxView::searchResults("JSON"), expected);
    const QList<Entry> entries = ToolboxView::sidebarEntries("json", false);
    EXPECT_EQ(titles(entries, Entry::Kind::header), QStringList{"Результаты"});
    EXPECT_EQ(entries.first().kind, Entry::Kind::header);

    // Cyrillic letter case is ignored, accents are not.
    EXPECT_EQ(ToolboxView::searchResults("дерево"), QList<Tool>{Tool::jsonTree()});
    EXPECT_EQ(ToolboxView::searchResults("ДЕРЕВО"), QList<Tool>{Tool::jsonTree()});
    EXPECT_TRUE(ToolboxView::searchResults("slúg").isEmpty());
    // Group titles and identifiers are not searched.
    EXPECT_TRUE(ToolboxView::searchResults("Идентификаторы").isEmpty());
    EXPECT_TRUE(ToolboxView::searchResults("base64Encode").isEmpty());
    // A lone space is a query: every title with a space.
    const QList<Tool> spaced = ToolboxView::searchResults(" ");
    EXPECT_TRUE(spaced.contains(Tool::jsonTree()));
    EXPECT_FALSE(spaced.contains(Tool::qr()));
    EXPECT_FALSE(spaced.contains(Tool::forTransform(T::camel)));
    EXPECT_TRUE(spaced.contains(Tool::forTransform(T::countStats)));
    // Nothing matches: the header and the note only.
    const QList<Entry> none = ToolboxView::sidebarEntries("zzz", false);
    ASSERT_EQ(none.size(), 2);
    EXPECT_EQ(none[0].title, "Результаты");
    EXPECT_EQ(none[1].kind, Entry::Kind::note);
    EXPECT_EQ(none[1].title, "Ничего не найдено");
    EXPECT_FALSE(ToolboxView::hasSearchResults("zzz"));
}

TEST_F(ToolboxViewTest, TheSidebarAndTheModelFollowEachOther) {
    view.resize(1020, 740);
    view.show();
    EXPECT_EQ(model.selection(), Tool::jsonTree());
    EXPECT_TRUE(qobject_cast<JSONTreePane*>(view.pane()));
    click(Tool::forTransform(T::snake));
    EXPECT_EQ(model.selection(), Tool::forTransform(T::snake));
    EXPECT_EQ(view.navigationTitle(), "snake_case");
    auto* transformPane = qobject_cast<TransformPane*>(view.pane());
    ASSERT_TRUE(transformPane);
    // Another transform keeps the same pane; another tool replaces it.
    model.setSelection(Tool::forTransform(T::upper));
    EXPECT_EQ(view.pane(), transformPane);
    EXPECT_EQ(view.sidebar()->currentItem()->text(), "ВЕРХНИЙ РЕГИСТР");
    model.setSelection(Tool::jsonTree());
    EXPECT_TRUE(qobject_cast<JSONTreePane*>(view.pane()));

    // Searching never changes the selection; the selected row stays selected among the results.
    QTest::keyClicks(view.searchField(), "JSON");
    EXPECT_EQ(model.selection(), Tool::jsonTree());
    ASSERT_TRUE(view.sidebar()->currentItem());
    EXPECT_EQ(view.sidebar()->currentItem()->text(), "Дерево JSON");
    EXPECT_EQ(view.sidebar()->count(), 6);
    click(Tool::forTransform(T::jsonMinify));
    EXPECT_EQ(model.selection(), Tool::forTransform(T::jsonMinify));
    view.setSearchQuery("Base64");
    EXPECT_EQ(view.sidebar()->currentItem(), nullptr);
    EXPECT_EQ(model.selection(), Tool::forTransform(T::jsonMinify));
    // Headers and the note cannot be chosen.
    view.setSearchQuery("zzz");
    QTest::mouseClick(view.sidebar()->viewport(), Qt::LeftButton, {},
                      view.sidebar()->visualItemRect(view.sidebar()->item(1)).center());
    EXPECT_EQ(model.selection(), Tool::forTransform(T::jsonMinify));
}

TEST_F(ToolboxViewTest, HistoryWalksBackAndForwardLikeABrowser) {
    EXPECT_FALSE(view.backAction()->isEnabled());
    EXPECT_FALSE(view.forwardAction()->isEnabled());
    model.setSelection(Tool::forTransform(T::upper));
    model.setSelection(Tool::forTransform(T::lower));
    model.setSelection(Tool::qr());
    EXPECT_EQ(view.backStack(), (QList<Tool>{Tool::jsonTree(), Tool::forTransform(T::upper),
                                             Tool::forTransform(T::lower)}));
    EXPECT_TRUE(view.backAction()->isEnabled());

    // Back then forward returns to the start with both stacks as they were.
    const QList<Tool> back = view.backStack();
    view.backAction()->trigger();
    EXPECT_EQ(model.selection(), Tool::forTransform(T::lower));
    EXPECT_EQ(view.forwardStack(), QList<Tool>{Tool::qr()});
    EXPECT_TRUE(view.forwardAction()->isEnabled());
    view.forwardAction()->trigger();
    EXPECT_EQ(model.selection(), Tool::qr());
    EXPECT_EQ(view.backStack(), back);
    EXPECT_TRUE(view.forwardStack().isEmpty());

    // Back, then a new choice: the forward history is gone.
    view.goBack();
    view.goBack();
    EXPECT_EQ(model.selection(), Tool::forTransform(T::upper));
    EXPECT_EQ(view.forwardStack().size(), 2);
    model.setSelection(Tool::snippets());
    EXPECT_TRUE(view.forwardStack().isEmpty());
    EXPECT_FALSE(view.forwardAction()->isEnabled());
    EXPECT_EQ(view.backStack().last(), Tool::forTransform(T::upper));

    // Choosing the tool already shown records nothing.
    const qsizetype before = view.backStack().size();
    model.setSelection(Tool::snippets());
    EXPECT_EQ(view.backStack().size(), before);

    // Only the 50 most recent tools are kept.
    for (int i = 0; i < 51; ++i)
        model.setSelection(Tool::forTransform(TextTransforms::allCases[size_t(i % 31)]));
    EXPECT_EQ(view.backStack().size(), ToolboxView::historyLimit);
    EXPECT_EQ(view.backStack().last(), Tool::forTransform(TextTransforms::allCases[49 % 31]));
    EXPECT_EQ(view.backStack().first(), Tool::forTransform(TextTransforms::allCases[0]));

    // Empty stacks: nothing happens.
    ToolboxModel other;
    ToolboxView fresh(other);
    fresh.goBack();
    fresh.goForward();
    EXPECT_EQ(other.selection(), Tool::jsonTree());
}
