// Renders the toolbox window in each state, light and dark, for a person to look at
// (QUORVIN_TEST_OUTPUT/toolbox-*.png), and checks that no Russian text is cut at the minimum size.
#include "Platform/Core/UserDefaults.h"
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemFont.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "TestSupport.h"
#include "Views/Toolbox/JSONTreePane.h"
#include "Views/Toolbox/JSONTreeRows.h"
#include "Views/Toolbox/ToolboxView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>

#include <gtest/gtest.h>

#include <deque>

namespace {

using Tool = ToolboxModel::Tool;
using T = TextTransform;

using TestSupport::darkPalette;

const char* sampleJSON = R"({
  "name": "Quorvin",
  "version": 1.5,
  "stable": true,
  "license": null,
  "tags": ["tray", "tools", "Инструменты"],
  "owner": {"first": "Anna", "last": "Müller", "note": "A longer note that has to wrap onto a second line once the column gets narrow enough to need it"},
  "empty": {}
})";

// Every visible label and button shows its whole text.
void expectTextsFit(QWidget& root, const std::string& where) {
    for (QLabel* label : root.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&root) || label->text().isEmpty() || label->wordWrap()) continue;
        const int needed = label->fontMetrics().horizontalAdvance(label->text()) + label->contentsMargins().left() +
                           label->contentsMargins().right();
        EXPECT_GE(label->width(), needed) << where << ": " << label->text().toStdString();
    }
    for (QAbstractButton* button : root.findChildren<QAbstractButton*>()) {
        if (!button->isVisibleTo(&root) || button->text().isEmpty()) continue;
        EXPECT_GE(button->width(), button->sizeHint().width()) << where << ": " << button->text().toStdString();
    }
}

struct ToolboxGallery : ::testing::TestWithParam<bool> {
    UserDefaults defaults{QString()};
    std::deque<std::function<void()>> jobs;
    bool holdJobs = false;
    std::unique_ptr<ToolboxWindowController> controller;

    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(false, false);
        QApplication::setPalette(GetParam() ? darkPalette() : QPalette());
        auto model = std::make_unique<ToolboxModel>([this](std::function<void()> job) {
            if (holdJobs) jobs.push_back(std::move(job));
            else job();
        });
        controller = std::make_unique<ToolboxWindowController>(defaults, std::move(model));
        controller->show();
        window()->move(0, 0);
    }
    void TearDown() override {
        controller.reset();
        QApplication::setPalette(QPalette());
    }
    QMainWindow* window() const { return controller->window(); }
    ToolboxModel& model() const { return controller->model(); }
    JSONTreePane* treePane() const { return qobject_cast<JSONTreePane*>(controller->view()->pane()); }

    void save(QWidget& widget, const QString& name) {
        TestSupport::spin(350);
        const QString file = QStringLiteral(QUORVIN_TEST_OUTPUT "/toolbox-") + name +
                             (GetParam() ? QStringLiteral("-dark.png") : QStringLiteral("-light.png"));
        EXPECT_TRUE(widget.grab().save(file)) << file.toStdString();
    }
    void waitForTree() {
        ASSERT_TRUE(TestSupport::waitFor([&] { return treePane() && !treePane()->isParsing(); }, 3000));
    }
};

}  // namespace

TEST_P(ToolboxGallery, TheJSONTreeInEachState) {
    save(*window(), "json-empty");
    expectTextsFit(*window(), "empty tree");

    model().setInput(QString::fromUtf8(sampleJSON));
    treePane()->parse();
    waitForTree();
    JSONTreeRows& rows = treePane()->rows();
    treePane()->toggle(rows.rowOf(rows.root()->children()->at(3)));  // owner
    treePane()->toggle(rows.rowCount() - 1);                          // tags
    save(*window(), "json-tree");
    expectTextsFit(*window(), "tree");

    window()->resize(window()->minimumSize());
    save(*window(), "json-tree-minimum");
    expectTextsFit(*window(), "tree at the minimum size");
    window()->resize(1020, window()->minimumHeight() + 80);

    model().setInput(QStringLiteral("{\n  \"a\": 1,\n  \"b\": \n}"));
    treePane()->parse();
    waitForTree();
    save(*window(), "json-failure");

    // Parsing: the spinner, and the previous tree closed to its root.
    model().setInput(QString::fromUtf8(sampleJSON));
    treePane()->parse();
    waitForTree();
    holdJobs = true;
    controller->view()->setSearchQuery(QString());
    JSONTreePane parsing(model(), [this](std::function<void()> job) { jobs.push_back(std::move(job)); });
    parsing.resize(740, 700);
    parsing.show();
    save(parsing, "json-parsing");
}

TEST_P(ToolboxGallery, TheTransformPaneAndTheSidebarSearch) {
    model().setSelection(Tool::forTransform(T::countStats));
    model().setInput(QStringLiteral("Привет, мир!\nВторая строка текста."));
    save(*window(), "transform-result");
    expectTextsFit(*window(), "transform");

    window()->resize(window()->minimumSize());
    save(*window(), "transform-minimum");
    expectTextsFit(*window(), "transform at the minimum size");
    // Every sidebar title is whole, beside the list's scroll bar.
    QListWidget* list = controller->view()->sidebar();
    const int room = ToolboxView::sidebarTitleWidth(list->viewport()->width());
    for (const ToolboxView::SidebarEntry& entry : ToolboxView::sidebarEntries(QString(), false)) {
        if (entry.kind != ToolboxView::SidebarEntry::Kind::tool) continue;
        EXPECT_LE(QFontMetrics(SystemFont::font(13)).horizontalAdvance(entry.title), room) << entry.title.toStdString();
    }
    EXPECT_GE(controller->view()->detailColumn()->width(), ToolboxView::detailMinimumWidth);
    window()->resize(1020, window()->minimumHeight() + 80);

    model().setSelection(Tool::forTransform(T::jsonPretty));
    model().setInput(QStringLiteral("{\n  \"a\": 1,\n  \"b\": \n}"));
    save(*window(), "transform-failure");

    model().setSelection(Tool::forTransform(T::upper));
    model().setInput(QStringLiteral("small input"));
    holdJobs = true;
    model().setInput(QString(30000, QChar(u'ж')));
    save(*window(), "transform-working");
    expectTextsFit(*window(), "working");
    holdJobs = false;

    model().setSelection(Tool::qr());
    controller->view()->setSearchQuery(QStringLiteral("json"));
    save(*window(), "search");
    controller->view()->setSearchQuery(QStringLiteral("нет такого"));
    save(*window(), "search-nothing");
    expectTextsFit(*window(), "nothing found");
}

INSTANTIATE_TEST_SUITE_P(Window, ToolboxGallery, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "dark" : "light"; });
