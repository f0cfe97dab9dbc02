#include "Platform/Core/OneLine.h"

namespace OneLine {

QString of(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line ||
            category == QChar::Separator_Paragraph)
            c = QLatin1Char(' ');
    }
    return out;
}

}  // namespace OneLine
