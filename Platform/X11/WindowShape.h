#pragma once

#include <QRegion>

class QWindow;

// The part of a window that takes the pointer (the X Shape extension's input region); elsewhere
// clicks and motion go to what lies below. Does nothing without an X server or the extension.
namespace WindowShape {
bool setInputRegion(QWindow* window, const QRegion& region);
}
