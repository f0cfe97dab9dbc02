#pragma once

#include "FakeWorkspace.h"
#include "Source/Extensions/ClipboardItemCodable.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QSaveFile>
#include <QSize>
#include <QString>
#include <QUuid>

#include <functional>
#include <vector>

// The clipboard benchmarks' shared setting: the front application and history files to load.
namespace ClipboardBench {

// An editor in front, as when the user copies from it.
struct EditorInFront : FakeWorkspace {
    EditorInFront() {
        running = {app(42, QStringLiteral("org.example.Editor.desktop"), QStringLiteral("Editor"))};
        front = running.front();
    }
};

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(bytes);
        file.commit();
    }
}

inline QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Entry i's text: its number, then a sentence 1 + i % repeats times.
inline QString sampleText(int i, int repeats) {
    QString text = QString::asprintf("Entry %d: ", i);
    for (int k = 0; k < 1 + i % repeats; ++k) text += QStringLiteral("the quick brown fox jumps over the lazy dog ");
    return text;
}

// What a history file holds: image entries where isImage says (each with its own copy of the
// picture), a file list at 7, 17, 27 … among the rest, texts otherwise; the first `pinned` are
// pinned and entry i was copied 1 + i % copyCounts times.
struct HistoryShape {
    int count = 0;
    int pinned = 0;
    std::function<bool(int)> isImage = [](int) { return false; };
    QByteArray picture;
    QSize pictureSize;
    int textRepeats = 9;
    int copyCounts = 1;
};

inline void writeHistory(const QString& folder, const HistoryShape& shape) {
    const QString images = folder + "/Images";
    QDir().mkpath(images);
    const QString fingerprint =
        QString::fromLatin1(QCryptographicHash::hash(shape.picture, QCryptographicHash::Sha256).toHex());
    std::vector<ClipboardItemCodable> records;
    records.reserve(size_t(shape.count));
    const double now = 780000000.0;
    for (int i = 0; i < shape.count; ++i) {
        ClipboardItemCodable r;
        if (shape.isImage(i)) {
            r.type = ClipboardItemCodable::ItemType::image;
            r.value = images + QString::asprintf("/%08X-0000-4000-8000-000000000000.png", i);
            writeFile(r.value, shape.picture);
            r.imageWidth = shape.pictureSize.width();
            r.imageHeight = shape.pictureSize.height();
            r.imageFingerprint = fingerprint;
        } else if (i % 10 == 7) {
            r.type = ClipboardItemCodable::ItemType::file;
            r.value = QString::asprintf("/home/user/Documents/report-%d.pdf", i);
        } else {
            r.type = ClipboardItemCodable::ItemType::text;
            r.value = sampleText(i, shape.textRepeats);
        }
        r.copiedAt = now - i;
        r.firstCopiedAt = now - i - 3600;
        r.itemID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        r.sourceApp = QStringLiteral("Editor");
        r.copyCount = 1 + i % shape.copyCounts;
        r.isPinned = i < shape.pinned;
        records.push_back(r);
    }
    writeFile(folder + "/history.json", ClipboardItemCodable::encodeFile(records));
}

}  // namespace ClipboardBench
