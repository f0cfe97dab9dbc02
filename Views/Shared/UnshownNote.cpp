#include "Views/Shared/UnshownNote.h"

#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Ui/AppWindow.h"

#include <QMessageBox>
#include <QPushButton>

namespace UnshownNote {

QMessageBox* show(QWidget* near, const QString& title, const QString& text, const QString& value,
                  const QString& copyLabel) {
    auto* note =
        new QMessageBox(QMessageBox::Information, title, text, QMessageBox::NoButton, near ? near->window() : nullptr);
    note->setAttribute(Qt::WA_DeleteOnClose);
    note->setWindowModality(Qt::ApplicationModal);  // a popup behind it stays open
    note->setInformativeText(value);
    note->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* copy = note->addButton(copyLabel, QMessageBox::ActionRole);
    copy->disconnect();  // copying leaves the note open
    QObject::connect(copy, &QPushButton::clicked, note, [value] {
        PasteboardItem item;
        item.setString(value);
        Pasteboard::general().clearContents();
        Pasteboard::general().writeObjects({item});
    });
    note->setEscapeButton(note->addButton(QMessageBox::Ok));  // Escape and the close box dismiss it
    AppWindow::makeRoomForTitle(note);
    note->open();
    return note;
}

QMessageBox* showPath(QWidget* near, const QString& title, const QString& path) {
    return show(near, title, QStringLiteral("No file manager could show it. This is where it is:"), path);
}

}  // namespace UnshownNote
