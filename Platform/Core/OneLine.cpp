#include "Platform/Core/OneLine.h"

#include <algorithm>

namespace OneLine {

namespace {
bool breaksTheLine(QChar c) {
    const QChar::Category category = c.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph;
}
}  // namespace

QString of(const QString& text) {
    // Rows call this as they paint: a name with nothing to replace is handed back without a copy.
    if (std::none_of(text.cbegin(), text.cend(), breaksTheLine)) return text;
    QString out = text;
    for (QChar& c : out)
        if (breaksTheLine(c)) c = QLatin1Char(' ');
    return out;
}

}  // namespace OneLine
