#include "Views/Toolbox/CodeTextViewAccessible.h"

CodeTextViewAccessible::CodeTextViewAccessible(CodeTextView* view)
    : QAccessibleWidget(view, QAccessible::EditableText) {}

QAccessibleInterface* CodeTextViewAccessible::factory(const QString& className, QObject* object) {
    auto* view = qobject_cast<CodeTextView*>(object);
    return view && className == QLatin1String("CodeTextView") ? new CodeTextViewAccessible(view) : nullptr;
}
