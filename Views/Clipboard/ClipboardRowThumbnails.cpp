#include "Views/Clipboard/ClipboardRowThumbnails.h"

#include "Platform/Core/BackgroundThreads.h"
#include "Platform/Core/Dispatch.h"
#include "Source/Features/Clipboard/ClipboardThumbnailCache.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QThreadPool>

namespace {
// A thumbnail that could not be made is tried again after this long.
constexpr qint64 kRetryMs = 10000;
}  // namespace

ClipboardRowThumbnails& ClipboardRowThumbnails::shared() {
    static auto* thumbnails = new ClipboardRowThumbnails;
    return *thumbnails;
}

ClipboardRowThumbnails::ClipboardRowThumbnails() : pool_(new QThreadPool(this)) {
    pool_->setMaxThreadCount(2);
    pool_->setExpiryTimeout(5000);
    exitHook_ = BackgroundThreads::add([this] { pool_->waitForDone(); });
}

ClipboardRowThumbnails::~ClipboardRowThumbnails() { BackgroundThreads::remove(exitHook_); }

QImage ClipboardRowThumbnails::thumbnail(const ClipboardItem& item) {
    if (item.content.isText()) return {};
    if (auto hit = ClipboardThumbnailCache::cache().object(item.id)) return *hit;
    if (!item.content.isImage()) return ClipboardThumbnailCache::image(item);  // icons: GUI thread only

    const QUuid id = item.id;
    if (loading_.contains(id)) return {};
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (auto failed = failedAt_.constFind(id); failed != failedAt_.cend() && now - *failed < kRetryMs) return {};
    loading_.insert(id);
    QPointer<ClipboardRowThumbnails> self(this);
    pool_->start([self, item] {
        // The cache is thread-safe, and an image's thumbnail only reads its file.
        const QImage image = ClipboardThumbnailCache::image(item);
        const bool ok = !image.isNull();
        Dispatch::main([self, id = item.id, ok] {
            if (!self) return;
            self->loading_.remove(id);
            if (ok) {
                self->failedAt_.remove(id);
                emit self->thumbnailReady(id);
            } else {
                self->failedAt_.insert(id, QDateTime::currentMSecsSinceEpoch());
            }
        });
    });
    return {};
}

void ClipboardRowThumbnails::waitForPending() {
    pool_->waitForDone();
    QCoreApplication::processEvents();
}
