#pragma once

#include <QString>

// Names that come from outside (process names, file names) may hold line breaks, tabs and other
// control characters; a row or title that shows them on one line gets each as a space.
namespace OneLine {
QString of(const QString& text);
}  // namespace OneLine
