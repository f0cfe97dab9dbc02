#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class CodeTextView;

// A host's handle on the code text view it shows: inserts text at the caret. It holds the view
// weakly, so after the view is gone insert() does nothing.
class CodeTextViewController : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    CodeTextView* textView() const { return textView_; }
    void setTextView(CodeTextView* view) { textView_ = view; }

    // Replaces the selection (or inserts at the caret) through the editor's own editing path, so it
    // can be undone and reaches the bound text; then keeps the caret in sight. Nothing on a read-only view.
    void insert(const QString& text);

private:
    QPointer<CodeTextView> textView_;
};
