#pragma once

#include "Platform/Desktop/Pasteboard.h"

#include "TestSupport.h"

#include <QApplication>
#include <QColor>
#include <QKeyEvent>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace ToolboxPaneTest {

using TestSupport::darkPalette;

// The widget drawn on its window background as the screen shows it (through its own paint
// path: render() into a painter leaves out children that carry a graphics effect).
inline QImage grabOnWindow(QWidget& w) {
    QImage image(w.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(w.palette().color(QPalette::Window));
    QPainter p(&image);
    p.drawPixmap(0, 0, w.grab());
    return image;
}

// Types text into the widget key by key, any script (QTest only types ASCII).
inline void typeText(QWidget* widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// Installs a fake as the general pasteboard for the scope.
struct ScopedFakePasteboard {
    FakePasteboard pasteboard;
    ScopedFakePasteboard() { Pasteboard::setGeneral(&pasteboard); }
    ~ScopedFakePasteboard() { Pasteboard::setGeneral(nullptr); }
};

}  // namespace ToolboxPaneTest
