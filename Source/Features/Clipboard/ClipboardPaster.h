#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

class Pasteboard;
struct PasteboardContents;
struct PasteboardFetch;
struct PasteboardItem;

// Pastes into the application in front: puts an entry (or plain text) on the pasteboard and its
// text on the PRIMARY selection, then posts Shift+Insert to the focused window. For a short while after, and
// for as long as the same content comes back, the change this makes is known as our own. GUI
// thread only.
class ClipboardPaster : public QObject {
public:
    // Images are pasted only from `imagesDirectory`, where the history keeps them.
    ClipboardPaster(Pasteboard& pasteboard, const QString& imagesDirectory);

    void paste(const ClipboardItem& item);
    // Pastes the pasteboard's text without formatting.
    void pastePlainText();
    void pastePlainText(const QString& text);
    // The pasteboard's text: its plain text, else the characters of its RTF, else of its HTML.
    static std::optional<QString> plainText(const PasteboardContents& contents);
    // What pastePlainText() reads: the next type wanted, given what was read so far. Pure.
    static std::optional<PasteboardFetch> nextPlainTextFetch(const PasteboardContents& sofar);
    // A file list as text, as file managers give it: the paths, one a line. A file whose path text
    // would not name it exactly (a name that is not UTF-8 would read as its look-alike) or that
    // holds a control character (a line break would end the line early, and in a terminal run
    // what follows) is given as its percent-encoded URL, as is any URL of another scheme.
    static QString filesText(const QList<QUrl>& urls);
    // Posts Shift+Insert (down, Insert down, Insert up, up) as one keystroke, without the
    // modifiers the user still holds.
    static void simulateCmdV();

    bool isPasting() const { return isPasting_; }
    const std::optional<ClipboardContent>& lastPastedContent() const { return lastPastedContent_; }
    void forgetLastPasted() { lastPastedContent_.reset(); }

private:
    void beginPaste(const ClipboardContent& content, const QList<PasteboardItem>& items);

    Pasteboard& pasteboard_;
    QString imagesDirectory_;
    bool isPasting_ = false;
    std::optional<ClipboardContent> lastPastedContent_;
};
