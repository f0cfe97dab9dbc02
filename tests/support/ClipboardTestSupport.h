#pragma once

#include "Platform/Core/Clock.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/X11/SyntheticKeys.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Extensions/ClipboardItemCodable.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "FakeWorkspace.h"
#include "TestSupport.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace ClipboardTest {

inline QImage patternImage(int width, int height, QColor color = QColor(40, 120, 200)) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    QPainter p(&image);
    p.setPen(Qt::white);
    p.drawLine(0, 0, width - 1, height - 1);
    return image;
}

inline QByteArray encoded(const QImage& image, const char* format = "PNG") {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

inline QByteArray pngBytes(int width, int height, QColor color = QColor(40, 120, 200)) {
    return encoded(patternImage(width, height, color));
}

inline QString sha256(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

inline bool writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    return file.write(bytes) == bytes.size();
}

// Puts the bytes in place by a rename, as any writer does.
inline bool replaceFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// Another instance's save far past the limit (a restored backup, an older build): `count` texts
// newest first, copied a second apart from `newest`, each twice in a row ("theirs 0" twice, then
// "theirs 1" …), with "pin 0" to "pin 5" pinned among them, one every count / 6 records.
inline QByteArray othersSaveFarPastTheLimit(int count, const QDateTime& newest) {
    std::vector<ClipboardItemCodable> records;
    const auto add = [&records, &newest](const QString& text, bool pinned) {
        ClipboardItemCodable r;
        r.value = text;
        r.copiedAt = ReferenceDate::seconds(newest) - double(records.size());
        r.firstCopiedAt = r.copiedAt;
        r.itemID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        r.copyCount = 1;
        r.isPinned = pinned;
        records.push_back(std::move(r));
    };
    for (int i = 0; i < count; ++i) {
        if (i % (count / 6) == count / 12) add(QStringLiteral("pin %1").arg(i / (count / 6)), true);
        add(QStringLiteral("theirs %1").arg(i / 2), false);
    }
    return ClipboardItemCodable::encodeFile(records);
}

inline QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What pastePlainText() reads of a pasteboard that answers at once.
inline PasteboardContents plainTextOf(Pasteboard& pasteboard) {
    PasteboardContents read;
    pasteboard.readContents(&ClipboardManager::nextPlainTextFetch, nullptr,
                            [&read](const PasteboardContents& contents) { read = contents; });
    return read;
}

// An image file left long ago: the start-up sweep spares those stored a moment ago.
inline bool writeOldFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush() &&
           file.setFileTime(QDateTime::currentDateTime().addSecs(-120), QFileDevice::FileModificationTime);
}

inline QStringList imageFiles(const QString& folder) {
    return QDir(folder + "/Images").entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

}  // namespace ClipboardTest

// A store over a fake pasteboard, in-memory defaults and a fresh folder, with the front
// application, the clock and the key poster replaced.
class ClipboardStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        folder = dir.path() + "/ClipboardHistory";
        clock = std::make_shared<FakeClock>();
        Clock::setShared(clock);
        Workspace::setShared(&workspace);
        SyntheticKeys::setShared(&keys);
    }
    void TearDown() override {
        if (manager) manager->waitForPendingWrites();
        manager.reset();
        Workspace::setShared(nullptr);
        SyntheticKeys::setShared(nullptr);
        Clock::setShared(nullptr);
    }

    ClipboardManager& start() {
        if (manager) manager->waitForPendingWrites();
        manager.reset();
        manager = std::make_unique<ClipboardManager>(pasteboard, defaults, folder);
        manager->waitForPendingWrites();  // the history file is read on the image queue
        return *manager;
    }
    // Another application copies; the store polls once.
    void copy(const PasteboardRepresentations& reps) {
        clock->advance(1.0);
        pasteboard.simulateCopy(reps);
        manager->checkClipboard();
    }
    void copyText(const QString& text) { copy({{PasteboardType::string, text.toUtf8()}}); }
    // Copies an image and waits until the store has handled it.
    void copyImage(const QByteArray& bytes, const QString& type = PasteboardType::png) {
        copy({{type, bytes}});
        settle();
    }
    void copyFiles(const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
        copy({{PasteboardType::fileURLs, Pasteboard::uriList(urls)}});
    }
    // A copy that a password manager marks as secret.
    void copyConcealed(const QString& text) {
        copy({{PasteboardType::string, text.toUtf8()}, {PasteboardType::concealed, QByteArray()}});
    }
    // Pins the store's item with that text.
    void pin(const QString& text) {
        for (const ClipboardItem& item : manager->history())
            if (item.content.textValue() == text) manager->togglePin(item.id);
    }
    // Lets queued image work and its hand-back to the GUI thread finish.
    void settle() {
        manager->waitForPendingWrites();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
    QString historyFile() const { return folder + "/history.json"; }
    std::vector<QString> texts() const {
        std::vector<QString> list;
        for (const auto& item : manager->history()) list.push_back(item.content.textValue());
        return list;
    }

    QTemporaryDir dir;
    QString folder;
    std::shared_ptr<FakeClock> clock;
    FakeWorkspace workspace;
    RecordingSyntheticKeys keys;
    FakePasteboard pasteboard;
    UserDefaults defaults{QString()};
    std::unique_ptr<ClipboardManager> manager;
};
