#pragma once

#include <QString>

class QVBoxLayout;
class QWidget;

// One row of a process's identity: a small caption over its value (at most two lines, cut in the
// middle, selectable), with a copy button where the value is worth copying.
struct ProcessInfoRow {
    static QVBoxLayout* make(const QString& label, const QString& value, bool copyable, QWidget* parent);
};
