#include "Views/Monitor/ProcessSampleNotice.h"

#include "Platform/Ui/AppWindow.h"
#include "Views/Shared/UnshownNote.h"

#include <QMessageBox>
#include <QPushButton>

QMessageBox* ProcessSampleNotice::open(const QString& path, bool succeeded, QWidget* window) {
    if (succeeded)
        return UnshownNote::show(window, QStringLiteral("Sample Saved"),
                                 QStringLiteral("The sample report was saved, but no file manager could show it."),
                                 path, QStringLiteral("Copy Path"));
    auto* notice = new QMessageBox(QMessageBox::Warning, QStringLiteral("Sampling Failed"),
                                   QStringLiteral("The process could not be sampled."), QMessageBox::NoButton, window);
    notice->setAttribute(Qt::WA_DeleteOnClose);
    notice->setWindowModality(Qt::ApplicationModal);  // the popup stays open behind it
    notice->setInformativeText(QStringLiteral("It may have quit, or it belongs to another user."));
    notice->setEscapeButton(notice->addButton(QMessageBox::Ok));  // Escape and the close box dismiss it
    AppWindow::makeRoomForTitle(notice);
    notice->open();
    return notice;
}
