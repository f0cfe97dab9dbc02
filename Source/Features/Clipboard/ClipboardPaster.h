#pragma once

#include "Platform/Core/Dispatch.h"
#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <optional>

class Pasteboard;
struct PasteboardContents;
struct PasteboardFetch;
struct PasteboardItem;

// Pastes into the application in front: puts an entry (or plain text) on the pasteboard and on the
// PRIMARY selection, then posts Shift+Insert to the focused window once the user holds no modifier
// key. From the paste until a short while after the keystroke, and for as long as the same content
// comes back, the change this makes is known as our own. GUI thread only.
class ClipboardPaster : public QObject {
public:
    // Images are pasted only where `isOwnImage` says the history keeps them.
    ClipboardPaster(Pasteboard& pasteboard, std::function<bool(const QString& path)> isOwnImage);

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
    // Posts Shift+Insert (down, Insert down, Insert up, up) as one keystroke, at once.
    static void simulateCmdV();

    // How often the keyboard is looked at while the user still holds a modifier, and for how long
    // at most: a keystroke posted meanwhile would carry it (Super+Insert is no paste), and letting it
    // go for the user would change the keyboard under the user's hand. Past that the entry stays on
    // the pasteboard and nothing is typed.
    static constexpr int heldKeysPollMs = 15;
    static constexpr double heldKeysWait = 2.0;  // seconds, on the shared clock's monotonic time

    bool isPasting() const { return isPasting_; }
    const std::optional<ClipboardContent>& lastPastedContent() const { return lastPastedContent_; }
    void forgetLastPasted() { lastPastedContent_.reset(); }

private:
    void beginPaste(const ClipboardContent& content, const QList<PasteboardItem>& items);
    // Posts the keystroke when no modifier is held, gives up past the bound; true when done.
    bool postKeystrokeIfFree();

    Pasteboard& pasteboard_;
    std::function<bool(const QString& path)> isOwnImage_;
    bool isPasting_ = false;
    QTimer heldKeysPoll_;
    double heldKeysSince_ = 0;
    WorkItem release_;
    std::optional<ClipboardContent> lastPastedContent_;
};
