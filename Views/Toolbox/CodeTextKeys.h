#pragma once

#include <QString>

class CodeTextView;
class QInputMethodEvent;
class QKeyEvent;

// What the code text view does with the keyboard: moving and selecting by the platform's key
// bindings, and, while editable, typing, deleting, the edit commands and input methods.
class CodeTextKeys {
public:
    // Text a key types: printable characters (outside the BMP too), format characters and tabs.
    static bool isTypedText(const QString& text);
    // Keys the editor handles itself, so the window's shortcuts do not take them.
    static bool isOwnShortcut(const QKeyEvent* key, bool readOnly);
    // Each handles the key and says so, or leaves it.
    static bool navigate(CodeTextView& view, QKeyEvent* event);
    static bool edit(CodeTextView& view, QKeyEvent* event);
    // Text an input method commits, in place of what it replaces; none while read-only.
    static void inputMethod(CodeTextView& view, QInputMethodEvent* event);
};
