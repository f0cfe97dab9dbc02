#include "Views/Toolbox/CodeTextRuns.h"

#include "Views/Toolbox/CodeTextView.h"

#include <algorithm>

namespace CodeTextRuns {

qsizetype longRunsAround(QStringView text, qsizetype from, qsizetype to) {
    const qsizetype limit = CodeTextView::longestWordWrapped;
    const qsizetype first = std::max<qsizetype>(0, from - 1), end = std::min(text.size(), to + 1);
    const qsizetype lo = std::max<qsizetype>(0, first - limit), hi = std::min(text.size(), end + limit);
    const char16_t* s = text.utf16();
    qsizetype count = 0;
    // A run longer than the limit from `start` has no blank up to start + limit: looking back from there
    // for the last blank passes over every shorter run at once, so ordinary text is hardly read.
    for (qsizetype start = lo; start + limit < hi;) {
        qsizetype blank = start + limit;
        while (blank >= start && !CodeTextView::isBlank(s[blank])) --blank;
        if (blank >= start) {
            start = blank + 1;
            continue;
        }
        qsizetype stop = start + limit + 1;
        while (stop < hi && !CodeTextView::isBlank(s[stop])) ++stop;
        ++count;  // the window is too narrow for a long run that misses [first, end)
        start = stop + 1;
    }
    return count;
}

}  // namespace CodeTextRuns

bool CodeTextView::hasLongUnbrokenRun(QStringView text) {
    qsizetype run = 0;
    for (const QChar c : text) {
        if (c.isSpace()) {
            run = 0;
        } else if (++run > longestWordWrapped) {
            return true;
        }
    }
    return false;
}
