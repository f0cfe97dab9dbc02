#include "Views/Toolbox/CodeTextBoundaries.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

enum class CharClass { space, word, other };

CharClass classOf(QChar c) {
    if (c.isSpace()) return CharClass::space;
    if (c.isLetterOrNumber() || c.isMark() || c == u'_' || c.isSurrogate()) return CharClass::word;
    return CharClass::other;
}

}  // namespace

int CodeTextBoundaries::nextCharacter(QStringView text, int position) {
    if (position >= text.size()) return int(text.size());
    if (text[position] == u'\n') return position + 1;
    const int from = position;
    const int to = std::min(int(text.size()), position + 64);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.mid(from, to - from).toString());
    const qsizetype next = finder.toNextBoundary();
    return next > 0 ? from + int(next) : position + 1;
}

int CodeTextBoundaries::previousCharacter(QStringView text, int position) {
    if (position <= 0) return 0;
    if (text[position - 1] == u'\n') return position - 1;
    const int from = std::max(0, position - 64);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.mid(from, position - from).toString());
    finder.toEnd();
    const qsizetype previous = finder.toPreviousBoundary();
    return previous >= 0 ? from + int(previous) : position - 1;
}

int CodeTextBoundaries::nextWord(QStringView text, int position, bool skipSpaces) {
    const int length = int(text.size());
    if (position >= length) return length;
    if (text[position] == u'\n') return position + 1;
    const CharClass kind = classOf(text[position]);
    if (kind != CharClass::space)
        while (position < length && text[position] != u'\n' && classOf(text[position]) == kind) ++position;
    if (skipSpaces || kind == CharClass::space)
        while (position < length && text[position] != u'\n' && classOf(text[position]) == CharClass::space) ++position;
    return position;
}

int CodeTextBoundaries::previousWord(QStringView text, int position) {
    if (position <= 0) return 0;
    if (text[position - 1] == u'\n') return position - 1;
    while (position > 0 && text[position - 1] != u'\n' && classOf(text[position - 1]) == CharClass::space) --position;
    if (position == 0 || text[position - 1] == u'\n') return position;
    const CharClass kind = classOf(text[position - 1]);
    while (position > 0 && text[position - 1] != u'\n' && classOf(text[position - 1]) == kind) --position;
    return position;
}

std::pair<int, int> CodeTextBoundaries::wordAt(QStringView text, int position) {
    const int length = int(text.size());
    if (length == 0) return {0, 0};
    int at = std::min(position, length - 1);
    if (text[at] == u'\n' && at > 0 && text[at - 1] != u'\n') --at;
    if (text[at] == u'\n') return {position, position};
    const CharClass kind = classOf(text[at]);
    int start = at, end = at + 1;
    while (start > 0 && text[start - 1] != u'\n' && classOf(text[start - 1]) == kind) --start;
    while (end < length && text[end] != u'\n' && classOf(text[end]) == kind) ++end;
    return {start, end};
}

bool CodeTextBoundaries::isWordCharacter(QChar c) { return classOf(c) == CharClass::word; }
