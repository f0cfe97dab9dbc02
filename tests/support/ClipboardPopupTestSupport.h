#pragma once

#include "ClipboardTestSupport.h"
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/Screens.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"

#include <QGuiApplication>
#include <QScreen>

namespace PopupTest {

// A picture crossed by two white lines, as PNG.
inline QByteArray pngBytes(int width, int height, QColor color = QColor(40, 120, 200)) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QPainter p(&image);
    p.setPen(QPen(Qt::white, std::max(1, width / 40)));
    p.drawLine(0, 0, width - 1, height - 1);
    p.drawLine(0, height - 1, width - 1, 0);
    p.end();
    return ClipboardTest::encoded(image);
}

}  // namespace PopupTest

// The store of ClipboardStoreTest with a popup controller over it, the clock at the present,
// Reduce Motion off, and the pointer where the test puts it.
class PopupTestBase : public ClipboardStoreTest {
protected:
    void SetUp() override {
        ClipboardStoreTest::SetUp();
        clock = std::make_shared<FakeClock>(QDateTime::currentDateTime());
        Clock::setShared(clock);
        AccessibilityDisplayOptions::shared().setOverride(false, false);
        start();
        controller = std::make_unique<ClipboardPopupController>(*manager);
        // The pointer sits in the middle of the screen unless a test moves it.
        QScreen* screen = QGuiApplication::primaryScreen();
        const QRectF vis = Screens::visibleFrame(screen);
        pointer = vis.center();
        controller->setPointerSourceForTesting([this] { return pointer; });
    }
    void TearDown() override {
        controller->dismiss(true);
        controller.reset();
        TestSupport::spin(10);
        AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
        ClipboardStoreTest::TearDown();
    }

    using ClipboardStoreTest::copyImage;
    void copyImage(int width, int height, QColor color = QColor(40, 120, 200)) {
        copyImage(PopupTest::pngBytes(width, height, color));
    }
    QStringList rowTexts() const {
        QStringList texts;
        for (const ClipboardItem& item : controller->model().history()) texts << item.content.textValue();
        return texts;
    }
    // Where a history row's middle is on screen (upward space).
    QPointF rowPoint(int row) const {
        const QRectF list = *controller->listRectOnScreen();
        const double top = ClipboardPopupLayout::rowTop(controller->model().history(), row) - controller->model().scrollViewportMinY();
        const double h = ClipboardPopupLayout::rowHeight(controller->model().history()[size_t(row)]);
        return QPointF(list.center().x(), list.y() + list.height() - top - h / 2);
    }
    bool key(int keyCode, uint64_t flags = 0, const QString& characters = {}) {
        return controller->handleTappedKey(keyCode, flags, characters);
    }

    std::unique_ptr<ClipboardPopupController> controller;
    QPointF pointer;
};
