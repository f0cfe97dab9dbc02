#pragma once

#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Core/Clock.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Gui/Screens.h"
#include "Platform/X11/SyntheticKeys.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/ClipboardPopupController.h"
#include "Source/Features/Clipboard/ClipboardPopupLayout.h"
#include "FakeWorkspace.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace PopupTest {

inline QByteArray pngBytes(int width, int height, QColor color = QColor(40, 120, 200)) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QPainter p(&image);
    p.setPen(QPen(Qt::white, std::max(1, width / 40)));
    p.drawLine(0, 0, width - 1, height - 1);
    p.drawLine(0, height - 1, width - 1, 0);
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace PopupTest

// A store over a fake pasteboard and in-memory defaults, a popup controller over it, the front
// application, the clock and the key poster replaced, and the pointer where the test puts it.
class PopupTestBase : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        clock = std::make_shared<FakeClock>(QDateTime::currentDateTime());
        Clock::setShared(clock);
        Workspace::setShared(&workspace);
        SyntheticKeys::setShared(&keys);
        AccessibilityDisplayOptions::shared().setOverride(false, false);
        manager = std::make_unique<ClipboardManager>(pasteboard, defaults, dir.path() + "/ClipboardHistory");
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
        if (manager) manager->waitForPendingWrites();
        manager.reset();
        AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
        Workspace::setShared(nullptr);
        SyntheticKeys::setShared(nullptr);
        Clock::setShared(nullptr);
    }

    void copy(const PasteboardRepresentations& reps) {
        clock->advance(1.0);
        pasteboard.simulateCopy(reps);
        manager->checkClipboard();
    }
    void copyText(const QString& text) { copy({{PasteboardType::string, text.toUtf8()}}); }
    void copyImage(int width, int height, QColor color = QColor(40, 120, 200)) {
        copy({{PasteboardType::png, PopupTest::pngBytes(width, height, color)}});
        manager->waitForPendingWrites();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    void copyFiles(const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        copy({{PasteboardType::fileURLs, Pasteboard::uriList(urls)}});
    }
    void copyConcealed(const QString& text) {
        copy({{PasteboardType::string, text.toUtf8()}, {PasteboardType::concealed, QByteArray()}});
    }
    // Pins the store's item with that text.
    void pin(const QString& text) {
        for (const ClipboardItem& item : manager->history())
            if (item.content.textValue() == text) manager->togglePin(item.id);
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

    QTemporaryDir dir;
    std::shared_ptr<FakeClock> clock;
    FakeWorkspace workspace;
    RecordingSyntheticKeys keys;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    std::unique_ptr<ClipboardManager> manager;
    std::unique_ptr<ClipboardPopupController> controller;
    QPointF pointer;
};
