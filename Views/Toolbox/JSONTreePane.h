#pragma once

#include "Platform/Core/Dispatch.h"
#include "Source/Features/Toolbox/TransformFailure.h"

#include <QWidget>

#include <optional>

class ActivitySpinner;
class CodeTextView;
class JSONNode;
class JSONRow;
class JSONTreeRows;
class QAbstractButton;
class QLabel;
class QListView;
class QStackedWidget;
class SymbolLabel;
class ToolboxModel;

// The "Дерево JSON" pane: the shared input as JSON source above a collapsible tree of it. The
// source is read off the GUI thread 0.35 s after the last edit; the tree shows the document with its
// root open, the reader's error, or a hint while the input is empty. All but the input is the pane's
// own and starts afresh each time the pane is made.
class JSONTreePane : public QWidget {
    Q_OBJECT
public:
    static constexpr double parseDelaySeconds = 0.35;
    static constexpr int maximumContentWidth = 960;
    static constexpr int horizontalPadding = 24;
    static constexpr int verticalPadding = 18;
    static constexpr int editorHeight = 190;

    // Runs a parse job off the GUI thread (tests may hold it back).
    using Executor = std::function<void(std::function<void()> job)>;

    explicit JSONTreePane(ToolboxModel& model, QWidget* parent = nullptr);
    JSONTreePane(ToolboxModel& model, Executor executor, QWidget* parent = nullptr);
    ~JSONTreePane() override;

    enum class State { empty, parsing, tree, failure };
    State state() const;
    bool isParsing() const { return isParsing_; }
    const std::optional<TransformFailure>& failure() const { return failure_; }
    JSONNode* root() const;
    JSONTreeRows& rows() const { return *rows_; }
    qint64 parseToken() const { return parseToken_; }
    // How many parses have been handed to the background so far.
    int parsesStarted() const { return parsesStarted_; }

    // The detail text below "Не удалось разобрать JSON".
    static QString failureDetail(const TransformFailure& failure);

    // Parses the input now, unless it has not changed since the last parse.
    void parse();
    // Parses the input 0.35 s from now, replacing a parse already waiting.
    void scheduleParse();
    // Copies a row's value or key to the general pasteboard.
    void copyValue(int row);
    void copyKey(int row);
    // Opens or closes the node at a row, turning its chevron.
    void toggle(int row);

    // The parts, for tests.
    CodeTextView* editor() const { return editor_; }
    QListView* treeView() const { return list_; }
    QAbstractButton* pasteButton() const { return paste_; }
    QAbstractButton* collapseButton() const { return collapse_; }
    QLabel* sizeLabel() const { return sizeLabel_; }
    // The status beside the source's title: the spinner, "Есть ошибка" or "Корректный".
    QWidget* statusWidget() const;
    QLabel* failureDetailLabel() const { return failureDetail_; }
    QStackedWidget* body() const { return body_; }
    JSONRow* rowDelegate() const { return delegate_; }
    // The row's context menu actions' titles.
    QStringList contextMenuTitles(int row) const;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void refresh();
    void showContextMenu(const QPoint& pos);
    void applyColors();

    ToolboxModel& model_;
    Executor executor_;
    JSONTreeRows* rows_ = nullptr;
    std::optional<TransformFailure> failure_;
    bool isParsing_ = false;
    WorkItem parseWork_;
    std::optional<qint64> lastParsed_;  // the input's revision
    qint64 parseToken_ = 0;
    int parsesStarted_ = 0;
    bool typing_ = false;  // the editor's own edit is reaching the model

    CodeTextView* editor_ = nullptr;
    QAbstractButton* paste_ = nullptr;
    QAbstractButton* collapse_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
    ActivitySpinner* spinner_ = nullptr;
    SymbolLabel* invalid_ = nullptr;
    SymbolLabel* valid_ = nullptr;
    QStackedWidget* body_ = nullptr;
    QWidget* failureView_ = nullptr;
    QLabel* failureDetail_ = nullptr;
    QListView* list_ = nullptr;
    QWidget* hintView_ = nullptr;
    JSONRow* delegate_ = nullptr;
};
