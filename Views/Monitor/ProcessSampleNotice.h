#pragma once

#include <QString>

class QMessageBox;
class QWidget;

// The note after a stack sample that no file manager could show (its path, and a way to copy it)
// or that failed. It is window-modal to the whole application, so the popup stays open behind it.
struct ProcessSampleNotice {
    // Opens the note over the window (not waiting for it) and returns it; it deletes itself when closed.
    static QMessageBox* open(const QString& path, bool succeeded, QWidget* window);
};
