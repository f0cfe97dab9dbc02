#pragma once

#include "Source/Features/Toolbox/ToolboxModel.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

class QAction;
class QLineEdit;
class QListWidget;
class QVBoxLayout;

// The toolbox window's content: a sidebar listing every tool (the four fixed tools, then the text
// transforms by group) under a search field, and the detail column with the selected tool's pane.
// Back and forward actions walk the history of the tools visited; the window puts them in its
// toolbar beside navigationTitle().
class ToolboxView : public QWidget {
    Q_OBJECT
public:
    static constexpr int minimumContentWidth = 900;
    static constexpr int minimumContentHeight = 660;
    static constexpr int sidebarMinimumWidth = 270;
    static constexpr int sidebarIdealWidth = 280;
    static constexpr int sidebarMaximumWidth = 320;
    static constexpr int detailMinimumWidth = 600;
    static constexpr int sidebarRowHeight = 28;
    static constexpr int sidebarHeaderHeight = 26;
    static constexpr int historyLimit = 50;

    using Tool = ToolboxModel::Tool;

    // One entry of the sidebar: a section header, a tool row or the "nothing found" note.
    struct SidebarEntry {
        enum class Kind { header, tool, note };
        Kind kind = Kind::tool;
        QString title;
        Tool tool;
        QString symbol;
        QColor tint;
    };

    explicit ToolboxView(ToolboxModel& model, QWidget* parent = nullptr);

    ToolboxModel& model() const { return model_; }

    // What the sidebar lists for a query: the sections of every tool when it is empty, else the
    // "Результаты" section of the matching tools (or its note that nothing matched).
    static QList<SidebarEntry> sidebarEntries(const QString& query, bool dark);
    // The tools whose display title contains the query, ignoring letter case: fixed tools first, then
    // the transforms group by group.
    static QList<Tool> searchResults(const QString& query);
    static bool hasSearchResults(const QString& query);
    // The glyph of a tool's row.
    static QString symbol(const Tool& tool);
    static QColor tint(const Tool& tool, bool dark);

    // The room a row's title has in a sidebar row of the given width.
    static int sidebarTitleWidth(int rowWidth);
    // The sidebar's starting width: the ideal, or up to what the detail column leaves when the longest
    // title needs more.
    static int sidebarStartWidth();

    // The pane of a tool for the detail column: the one place where each pane is plugged in.
    static QWidget* makePane(const Tool& tool, ToolboxModel& model);

    QString searchQuery() const;
    void setSearchQuery(const QString& query);
    const QList<Tool>& backStack() const { return backStack_; }
    const QList<Tool>& forwardStack() const { return forwardStack_; }
    void goBack();
    void goForward();
    QAction* backAction() const { return back_; }
    QAction* forwardAction() const { return forward_; }
    // The selected tool's display title.
    QString navigationTitle() const { return model_.selection().title(); }

    // The parts, for tests.
    QLineEdit* searchField() const { return search_; }
    QListWidget* sidebar() const { return sidebar_; }
    QWidget* sidebarColumn() const { return sidebarColumn_; }
    QWidget* detailColumn() const { return detailColumn_; }
    QWidget* pane() const { return pane_; }

signals:
    void navigationTitleChanged(const QString& title);

protected:
    void changeEvent(QEvent* event) override;

private:
    void selectionChanged(const Tool& old, const Tool& now);
    void rebuildSidebar();
    void selectRow();
    void present(const Tool& tool);
    void updateActions();
    void applyColors();

    ToolboxModel& model_;
    QList<Tool> backStack_;
    QList<Tool> forwardStack_;
    bool isHistoryJump_ = false;

    QWidget* sidebarColumn_ = nullptr;
    QLineEdit* search_ = nullptr;
    QListWidget* sidebar_ = nullptr;
    QWidget* detailColumn_ = nullptr;
    QVBoxLayout* detailLayout_ = nullptr;
    QWidget* pane_ = nullptr;
    std::optional<Tool> paneTool_;
    QAction* back_ = nullptr;
    QAction* forward_ = nullptr;
};
