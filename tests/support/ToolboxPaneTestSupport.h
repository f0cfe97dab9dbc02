#pragma once

#include "Platform/Desktop/Pasteboard.h"

#include <QApplication>
#include <QColor>
#include <QKeyEvent>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace ToolboxPaneTest {

// A full dark palette, as a dark desktop theme gives one.
inline QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x1E, 0x1E, 0x1E));
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
    p.setColor(QPalette::AlternateBase, QColor(0x32, 0x32, 0x32));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, QColor(0x3A, 0x3A, 0x3A));
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::PlaceholderText, QColor(255, 255, 255, 100));
    p.setColor(QPalette::Mid, QColor(0x50, 0x50, 0x50));
    p.setColor(QPalette::Highlight, QColor(0x0A, 0x84, 0xFF));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

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
