#pragma once

#include "Source/Features/Toolbox/CopyConfirmation.h"
#include "Source/Features/Toolbox/Snippet.h"
#include "Source/Features/Toolbox/SnippetExpander.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <optional>

class SnippetStore;

// The snippets tool's state over a snippet store: the selected snippet and its working copy,
// the fill-in values of its placeholders (never stored) and the built-in values its preview
// shows, frozen from the moment it was selected. Edits of the title and the text go to the
// store at once; another instance's edit of the selected snippet, once taken in, is loaded into
// the editor. The clipboard is read without waiting on its owner. GUI thread only.
class SnippetsPaneModel : public QObject {
    Q_OBJECT
public:
    struct ExplanationRow {
        QString symbol;
        QString title;
        QString token;
        QString detail;
        bool operator==(const ExplanationRow&) const = default;
    };

    explicit SnippetsPaneModel(SnippetStore& store, QObject* parent = nullptr);

    SnippetStore& store() const { return store_; }
    const std::optional<QUuid>& selection() const { return selection_; }
    const std::optional<Snippet>& draft() const { return draft_; }
    const QHash<QString, QString>& values() const { return values_; }
    const SnippetExpander::BuiltInValues& builtInValues() const { return builtInValues_; }
    CopyConfirmation& copyConfirmation() { return copied_; }

    // Selects the first stored snippet while nothing is selected.
    void appear();
    // Loads the snippet, or none, into the editor: fresh built-in values, no fill-in values.
    void select(const std::optional<Snippet>& snippet);
    // A new selection from the list: selects the stored snippet of that id (none when absent).
    // Choosing the snippet already selected changes nothing.
    void setSelection(const std::optional<QUuid>& id);
    // Makes "Без названия", empty, first in the list, and selects it.
    void addSnippet();
    // Removes the snippet; when it was the selected one, the first remaining one is selected.
    void remove(const Snippet& snippet);
    void removeSelected();
    // Edits of the working copy, stored at once; ignored while nothing is selected.
    void setTitle(const QString& title);
    void setBody(const QString& body);
    void setValue(const QString& name, const QString& value);
    // Fresh values of every built-in (the preview's refresh button).
    void refreshBuiltIns();
    // A fresh value of one built-in, as it is inserted into the text.
    void refreshBuiltIn(SnippetExpander::BuiltIn builtIn);
    // Expands the working copy and puts it on the pasteboard as plain text, then confirms the
    // copy. Nothing happens while the text is empty or a placeholder has no value.
    void copyExpanded();

    // The working copy's expansion as the preview shows it.
    QString result() const;
    QStringList missingNames() const;
    bool canCopy() const;

    // The values of every built-in as of now; the clipboard's text is absent (it is read
    // apart, without waiting on its owner).
    static SnippetExpander::BuiltInValues makeBuiltInValues();
    // One line for the list: line feeds become spaces, blanks and tabs trimmed at both ends.
    static QString summary(const QString& body);
    static bool isMarkdownLink(const QString& text);
    // The placeholders, in order of appearance, whose value is absent or only white space.
    static QStringList missingNames(const QString& body, const QHash<QString, QString>& values);
    // User-perceived characters (grapheme clusters).
    static int characterCount(const QString& text);
    static QString characterCountText(const QString& text);  // "12 символов"
    // What copying will do: the user's placeholders first, then the built-ins.
    static QList<ExplanationRow> explanation(const QString& body);
    // The same from the body's placeholders and built-ins, already found.
    static QList<ExplanationRow> explanation(const QStringList& names, const QList<SnippetExpander::BuiltIn>& builtIns);
    static QString title(SnippetExpander::BuiltIn builtIn);
    static QString symbol(SnippetExpander::BuiltIn builtIn);

    static inline const QString newSnippetTitle = QStringLiteral("Без названия");
    static inline const QString customFieldToken = QStringLiteral("{{название}}");

signals:
    // Another snippet, or none, is in the editor.
    void selectionChanged();
    // The working copy's title or text changed.
    void draftChanged();
    // The fill-in or built-in values changed.
    void valuesChanged();

private:
    std::optional<Snippet> stored(const QUuid& id) const;
    void selectFirst();
    void readClipboard();

    SnippetStore& store_;
    std::optional<QUuid> selection_;
    std::optional<Snippet> draft_;
    QHash<QString, QString> values_;
    SnippetExpander::BuiltInValues builtInValues_;
    quint64 clipboardRead_ = 0;  // the clipboard read whose answer is still wanted
    CopyConfirmation copied_;
};
