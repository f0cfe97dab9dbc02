#pragma once

#include "Source/Features/Toolbox/SnippetsPaneModel.h"
#include "Views/Toolbox/CodeTextView.h"
#include "Views/Toolbox/CodeTextViewController.h"

#include <QWidget>

class ExplanationRows;
class InkLabel;
class PaneButton;
class PaneCard;
class PaneScrollArea;
class PlaceholderField;
class PlaceholderForm;
class QLineEdit;
class QListWidget;
class QSplitter;
class QStackedWidget;
class QVBoxLayout;
class SnippetStore;
class SymbolLabel;
class VariableButton;

// The snippets tool: the stored snippets on the left; on the right an editor for the selected
// one (title, template, variable palette, what copying will do), the fill-in form of its
// placeholders, the live preview and the copy button. Edits are stored at once.
class SnippetsPane : public QWidget {
    Q_OBJECT
public:
    // The preview shows at most this many characters of the result (a label that lays out megabytes
    // holds up the window); the copy takes the whole result.
    static constexpr qsizetype previewLimit = 20000;
    // The warning shows at most two lines: past this many characters the missing names are cut (wrapping
    // the names of a thousand placeholders at every edit holds up the window).
    static constexpr qsizetype warningLimit = 1000;

    // Over the shared store unless a test gives another.
    explicit SnippetsPane(SnippetStore* store = nullptr, QWidget* parent = nullptr);

    SnippetsPaneModel& model() { return model_; }

    QListWidget* list() const { return list_; }
    PaneButton* addButton() const { return add_; }
    PaneButton* removeButton() const { return remove_; }
    QStackedWidget* editorStack() const { return editorStack_; }
    InkLabel* emptyEditorLabel() const { return emptyEditor_; }
    QLineEdit* titleField() const { return title_; }
    CodeTextView* templateEditor() const { return template_; }
    QList<VariableButton*> variableButtons() const { return variableButtons_; }
    PaneCard* explanationCard() const { return explanation_; }
    PaneCard* fillFormCard() const { return fillForm_; }
    PlaceholderForm* fillFormRows() const { return fillRows_; }
    // The fields made so far (a row's field is made once it comes into view), in row order.
    QList<PlaceholderField*> placeholderFields() const;
    QStringList fillFormNames() const;
    InkLabel* countLabel() const { return count_; }
    PaneButton* refreshButton() const { return refresh_; }
    PaneButton* copyButton() const { return copy_; }
    CodeTextView* outputView() const { return output_; }
    QWidget* warningRow() const { return warning_; }
    InkLabel* warningLabel() const { return warningText_; }

    // The text lines of the explanation card, top to bottom (the rows as "title token detail").
    QStringList explanationLines() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* makeList();
    QWidget* makeEditor();
    QWidget* makeTemplateEditor();
    QWidget* makeVariablePicker();
    QWidget* makePreview();
    void reloadList();
    void syncListSelection();
    void loadSelection();
    void refreshDerived();
    void refreshPreview();
    void insertToken(const QString& token);

    SnippetsPaneModel model_;
    QSplitter* splitter_ = nullptr;
    QListWidget* list_ = nullptr;
    PaneButton* add_ = nullptr;
    PaneButton* remove_ = nullptr;
    QStackedWidget* editorStack_ = nullptr;
    PaneScrollArea* editorScroll_ = nullptr;
    InkLabel* emptyEditor_ = nullptr;
    QLineEdit* title_ = nullptr;
    CodeTextViewController editorController_;
    CodeTextView* template_ = nullptr;
    QList<VariableButton*> variableButtons_;
    PaneCard* explanation_ = nullptr;
    SymbolLabel* explanationTitle_ = nullptr;
    InkLabel* markdown_ = nullptr;
    ExplanationRows* explanationRows_ = nullptr;
    PaneCard* fillForm_ = nullptr;
    PlaceholderForm* fillRows_ = nullptr;
    InkLabel* count_ = nullptr;
    PaneButton* refresh_ = nullptr;
    PaneButton* copy_ = nullptr;
    CodeTextView* output_ = nullptr;
    QWidget* warning_ = nullptr;
    InkLabel* warningText_ = nullptr;
};
