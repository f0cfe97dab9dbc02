#pragma once

#include "Source/Features/Clipboard/ClipboardItem.h"

#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QUuid>

class QThreadPool;

// The pictures of the popup's rows through ClipboardThumbnailCache. A stored image's thumbnail
// is decoded off the GUI thread (a large PNG takes tens of milliseconds to read), so a row
// first shows no picture and repaints when thumbnailReady names its item. File icons come at once.
class ClipboardRowThumbnails : public QObject {
    Q_OBJECT
public:
    static ClipboardRowThumbnails& shared();
    ~ClipboardRowThumbnails() override;

    // The cached picture, or a null image while an image's thumbnail is being made (or for text).
    QImage thumbnail(const ClipboardItem& item);
    bool isLoading(const QUuid& id) const { return loading_.contains(id); }
    // Waits until no thumbnail is being made (tests and benchmarks).
    void waitForPending();

signals:
    void thumbnailReady(const QUuid& id);

private:
    ClipboardRowThumbnails();
    QThreadPool* pool_;
    int exitHook_ = 0;
    QSet<QUuid> loading_;
    QHash<QUuid, qint64> failedAt_;  // ms since epoch of the last failed attempt
};
