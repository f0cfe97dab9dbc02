#include "Views/Toolbox/SlimScrollBars.h"

#include <QAbstractScrollArea>
#include <QScrollBar>

void useSlimScrollBars(QAbstractScrollArea* area) {
    static const QString vertical = QStringLiteral(
        "QScrollBar:vertical { background: transparent; width: 10px; margin: 2px 2px 2px 0px; }"
        "QScrollBar::handle:vertical { background: rgba(128, 128, 128, 110); border-radius: 4px; min-height: 28px; }"
        "QScrollBar::handle:vertical:hover { background: rgba(128, 128, 128, 170); }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0px; }"
        "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: transparent; }");
    static const QString horizontal = QStringLiteral(
        "QScrollBar:horizontal { background: transparent; height: 10px; margin: 0px 2px 2px 2px; }"
        "QScrollBar::handle:horizontal { background: rgba(128, 128, 128, 110); border-radius: 4px; min-width: 28px; }"
        "QScrollBar::add-line:horizontal, QScrollBar::sub-line:horizontal { width: 0px; }"
        "QScrollBar::add-page:horizontal, QScrollBar::sub-page:horizontal { background: transparent; }");
    area->verticalScrollBar()->setStyleSheet(vertical);
    area->horizontalScrollBar()->setStyleSheet(horizontal);
}
