#pragma once

#include <QString>

#include <utility>

// Where the code text view's caret goes by character and by word. Characters are grapheme clusters;
// a word is a run of letters, digits, marks and underscores, or a run of other non-space characters.
// No step crosses a line feed except onto or off it. Only the text near the position is read: a line
// may be megabytes long.
class CodeTextBoundaries {
public:
    static int nextCharacter(QStringView text, int position);
    static int previousCharacter(QStringView text, int position);
    // The end of the word at the position, then past the spaces after it when skipSpaces.
    static int nextWord(QStringView text, int position, bool skipSpaces);
    static int previousWord(QStringView text, int position);
    // The word (or run of spaces or other characters) around the position, as start and end.
    static std::pair<int, int> wordAt(QStringView text, int position);
    static bool isWordCharacter(QChar c);
};
