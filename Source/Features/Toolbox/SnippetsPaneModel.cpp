#include "Source/Features/Toolbox/SnippetsPaneModel.h"

#include "Platform/Core/Clock.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Toolbox/PasteboardText.h"
#include "Source/Features/Toolbox/SnippetStore.h"

#include <QPointer>
#include <QTextBoundaryFinder>

using SnippetExpander::BuiltIn;

namespace {

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

}  // namespace

SnippetsPaneModel::SnippetsPaneModel(SnippetStore& store, QObject* parent) : QObject(parent), store_(store) {
    // Another instance's saves, taken in: later edits build on its edit of the selected snippet, and
    // a starter shown here that gave way to its identical copy goes on as that copy.
    connect(&store_, &SnippetStore::snippetsChanged, this, [this] {
        if (!selection_ || !draft_) return;
        if (const std::optional<Snippet> now = stored(*selection_)) {
            if (now != draft_) select(now);
            return;
        }
        for (const Snippet& snippet : store_.snippets()) {
            if (snippet.title != draft_->title || snippet.body != draft_->body) continue;
            selection_ = snippet.id;
            draft_ = snippet;
            return;
        }
    });
    // A snippet the other removed while it was selected here: as for a removal here, the first
    // one left is selected, so that edits are not made to what is no longer stored.
    connect(&store_, &SnippetStore::othersSaveTakenIn, this, [this] {
        if (selection_ && !stored(*selection_)) selectFirst();
    });
}

void SnippetsPaneModel::appear() {
    if (!selection_) selectFirst();
}

void SnippetsPaneModel::selectFirst() {
    const QList<Snippet>& list = store_.snippets();
    select(list.isEmpty() ? std::nullopt : std::optional<Snippet>(list.first()));
}

void SnippetsPaneModel::select(const std::optional<Snippet>& snippet) {
    draft_ = snippet;
    selection_ = snippet ? std::optional<QUuid>(snippet->id) : std::nullopt;
    values_.clear();
    builtInValues_ = makeBuiltInValues();
    readClipboard();
    emit selectionChanged();
}

void SnippetsPaneModel::setSelection(const std::optional<QUuid>& id) {
    if (id == selection_) return;
    select(id ? stored(*id) : std::nullopt);
}

void SnippetsPaneModel::addSnippet() {
    const Snippet snippet{QUuid::createUuid(), newSnippetTitle, QString(), Clock::shared().now()};
    store_.add(snippet);
    setSelection(snippet.id);
}

void SnippetsPaneModel::remove(const Snippet& snippet) {
    const QUuid id = snippet.id;  // `snippet` may be an element of the list it is removed from
    store_.remove(snippet);
    if (selection_ == id) selectFirst();
}

void SnippetsPaneModel::removeSelected() {
    if (!selection_) return;
    if (const auto snippet = stored(*selection_)) remove(*snippet);
}

void SnippetsPaneModel::setTitle(const QString& title) {
    if (!draft_ || draft_->title == title) return;
    Snippet copy = *draft_;
    copy.title = title;
    draft_ = copy;
    store_.update(copy);
    emit draftChanged();
}

void SnippetsPaneModel::setBody(const QString& body) {
    if (!draft_ || draft_->body == body) return;
    Snippet copy = *draft_;
    copy.body = body;
    draft_ = copy;
    store_.update(copy);
    emit draftChanged();
}

void SnippetsPaneModel::setValue(const QString& name, const QString& value) {
    const auto it = values_.constFind(name);
    if (it != values_.constEnd() && *it == value) return;
    values_.insert(name, value);
    emit valuesChanged();
}

void SnippetsPaneModel::refreshBuiltIns() {
    builtInValues_ = makeBuiltInValues();
    readClipboard();
    emit valuesChanged();
}

void SnippetsPaneModel::refreshBuiltIn(BuiltIn builtIn) {
    if (builtIn == BuiltIn::clipboard) {
        readClipboard();
        return;
    }
    builtInValues_[builtIn] = SnippetExpander::value(builtIn);
    emit valuesChanged();
}

void SnippetsPaneModel::copyExpanded() {
    if (!draft_ || !canCopy()) return;
    // A clipboard value not read yet is read now, by the expansion itself.
    const SnippetExpander::BuiltInValues builtIns = builtInValues_.empty() ? makeBuiltInValues() : builtInValues_;
    QPointer<SnippetsPaneModel> self(this);
    SnippetExpander::expandReadingClipboard(draft_->body, values_, builtIns, this, [self](QString text) {
        if (!self) return;
        PasteboardItem item;
        item.setString(text);
        Pasteboard::general().writeObjects({item});
        self->copied_.confirm();
    });
}

QString SnippetsPaneModel::result() const {
    if (!draft_) return {};
    SnippetExpander::BuiltInValues shown = builtInValues_;
    // Until the clipboard has answered it shows as empty rather than being read here.
    shown.try_emplace(BuiltIn::clipboard, QString());
    return SnippetExpander::expand(draft_->body, values_, shown);
}

QStringList SnippetsPaneModel::missingNames() const {
    return draft_ ? missingNames(draft_->body, values_) : QStringList();
}

bool SnippetsPaneModel::canCopy() const {
    return draft_ && !draft_->body.isEmpty() && missingNames().isEmpty();
}

SnippetExpander::BuiltInValues SnippetsPaneModel::makeBuiltInValues() {
    SnippetExpander::BuiltInValues made;
    for (BuiltIn builtIn : SnippetExpander::allBuiltIns)
        if (builtIn != BuiltIn::clipboard) made[builtIn] = SnippetExpander::value(builtIn);
    return made;
}

void SnippetsPaneModel::readClipboard() {
    const quint64 read = ++clipboardRead_;
    // The value is copied as it is, so it is read whole (or, past the limit, counts as no text).
    PasteboardText::read(this, [this, read](std::optional<QString> text) {
        if (read != clipboardRead_) return;  // a newer read owns the value
        builtInValues_[BuiltIn::clipboard] = text.value_or(QString());
        emit valuesChanged();
    });
}

std::optional<Snippet> SnippetsPaneModel::stored(const QUuid& id) const {
    for (const Snippet& snippet : store_.snippets())
        if (snippet.id == id) return snippet;
    return std::nullopt;
}

QString SnippetsPaneModel::summary(const QString& body) {
    QString line = body;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    qsizetype start = 0, end = line.size();
    while (start < end && isBlank(line.at(start))) ++start;
    while (end > start && isBlank(line.at(end - 1))) --end;
    return line.mid(start, end - start);
}

bool SnippetsPaneModel::isMarkdownLink(const QString& text) {
    return text.contains(QStringLiteral("](")) && text.contains(QLatin1Char('[')) && text.contains(QLatin1Char(')'));
}

QStringList SnippetsPaneModel::missingNames(const QString& body, const QHash<QString, QString>& values) {
    QStringList missing;
    for (const QString& name : SnippetExpander::customPlaceholders(body)) {
        const auto it = values.constFind(name);
        if (it == values.constEnd() || it->trimmed().isEmpty()) missing.append(name);
    }
    return missing;
}

int SnippetsPaneModel::characterCount(const QString& text) {
    if (text.isEmpty()) return 0;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0) ++count;
    return count;
}

QString SnippetsPaneModel::characterCountText(const QString& text) {
    return QString::number(characterCount(text)) + QStringLiteral(" символов");
}

QList<SnippetsPaneModel::ExplanationRow> SnippetsPaneModel::explanation(const QString& body) {
    return explanation(SnippetExpander::customPlaceholders(body), SnippetExpander::builtIns(body));
}

QList<SnippetsPaneModel::ExplanationRow> SnippetsPaneModel::explanation(const QStringList& names,
                                                                        const QList<BuiltIn>& builtIns) {
    QList<ExplanationRow> rows;
    rows.reserve(names.size() + builtIns.size());
    for (const QString& name : names)
        rows.append({QStringLiteral("character.cursor.ibeam"), name, QStringLiteral("{{") + name + QStringLiteral("}}"),
                     QStringLiteral("Вы введёте значение ниже перед копированием.")});
    for (BuiltIn builtIn : builtIns)
        rows.append({symbol(builtIn), title(builtIn), SnippetExpander::token(builtIn),
                     builtIn == BuiltIn::clipboard ? QStringLiteral("Приложение возьмёт текущий текст из буфера автоматически.")
                                                   : QStringLiteral("Приложение подставит значение автоматически.")});
    return rows;
}

QString SnippetsPaneModel::title(BuiltIn builtIn) {
    switch (builtIn) {
    case BuiltIn::date: return QStringLiteral("Дата");
    case BuiltIn::time: return QStringLiteral("Время");
    case BuiltIn::datetime: return QStringLiteral("Дата и время");
    case BuiltIn::clipboard: return QStringLiteral("Буфер обмена");
    case BuiltIn::uuid: return QStringLiteral("Новый UUID");
    case BuiltIn::year: return QStringLiteral("Год");
    }
    return {};
}

QString SnippetsPaneModel::symbol(BuiltIn builtIn) {
    switch (builtIn) {
    case BuiltIn::date: return QStringLiteral("calendar");
    case BuiltIn::time: return QStringLiteral("clock");
    case BuiltIn::datetime: return QStringLiteral("calendar.badge.clock");
    case BuiltIn::clipboard: return QStringLiteral("doc.on.clipboard");
    case BuiltIn::uuid: return QStringLiteral("number");
    case BuiltIn::year: return QStringLiteral("calendar.circle");
    }
    return {};
}
