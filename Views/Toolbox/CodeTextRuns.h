#pragma once

#include <QStringView>

// The code text view wraps anywhere while its text holds a run longer than
// CodeTextView::longestWordWrapped without white space; it keeps their count edit by edit.
namespace CodeTextRuns {

// The runs longer than CodeTextView::longestWordWrapped without white space that hold a character of
// [from - 1, to] (those beside the range too), looked at no further than that length past it.
qsizetype longRunsAround(QStringView text, qsizetype from, qsizetype to);

}  // namespace CodeTextRuns
