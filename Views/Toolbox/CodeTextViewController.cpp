#include "Views/Toolbox/CodeTextViewController.h"

#include "Views/Toolbox/CodeTextView.h"

void CodeTextViewController::insert(const QString& text) {
    CodeTextView* view = textView_;
    if (!view || !view->isEditable()) return;
    if (view->window()) view->setFocus(Qt::OtherFocusReason);
    view->insertPlainText(text);
    view->ensureCursorVisible();
}
