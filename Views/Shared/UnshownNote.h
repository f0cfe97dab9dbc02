#pragma once

#include <QString>

class QMessageBox;
class QWidget;

// The note for a file or address that nothing on this desktop could show or open: what failed,
// then the path or address itself, selectable, with a button that copies it, so the user can
// take it elsewhere. It opens over near's window, which stays open behind it; copying leaves the
// note open, and closing it deletes it.
namespace UnshownNote {
QMessageBox* show(QWidget* near, const QString& title, const QString& text, const QString& value,
                  const QString& copyLabel = QStringLiteral("Copy Path"));
// The note for a file or folder no file manager could show.
QMessageBox* showPath(QWidget* near, const QString& title, const QString& path);
}  // namespace UnshownNote
