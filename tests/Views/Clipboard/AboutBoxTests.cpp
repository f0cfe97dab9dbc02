// The About box the clipboard popup's menu opens.
#include "Platform/Core/Bundle.h"
#include "Platform/Gui/AssetImages.h"
#include "Platform/Ui/AppWindow.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "TestSupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QPixmap>

#include <gtest/gtest.h>

TEST(AboutBox, ShowsTheProgramsIconAndIsWideEnoughForItsTitle) {
    QApplication::setWindowIcon(AssetImages::applicationIcon());
    QMessageBox* box = ClipboardPopupController::makeAboutBox();
    box->show();
    EXPECT_EQ(box->windowTitle(), QStringLiteral("About ") + Bundle::main().name());
    EXPECT_TRUE(box->text().contains(QStringLiteral("Version ") + Bundle::main().version()));
    EXPECT_FALSE(box->iconPixmap().isNull());
    EXPECT_EQ(box->iconPixmap().deviceIndependentSize().toSize(), QSize(64, 64));
    // A title bar shows the title beside its buttons: the box leaves room for both.
    const int title = box->fontMetrics().horizontalAdvance(box->windowTitle());
    EXPECT_GE(box->width(), title + 120);
    EXPECT_GE(box->width(), 260);
    box->close();  // deletes itself
    TestSupport::spin(10);

    // A title too long for the least width gets its room beside the buttons as well.
    QMessageBox note(QMessageBox::Information,
                     QStringLiteral("Quorvin could not keep this item in the clipboard history"),
                     QStringLiteral("Short."), QMessageBox::Ok);
    AppWindow::makeRoomForTitle(&note);
    note.show();
    const int longTitle = note.fontMetrics().horizontalAdvance(note.windowTitle());
    ASSERT_GT(longTitle, 260);
    EXPECT_GE(note.width(), longTitle + 120);
}
