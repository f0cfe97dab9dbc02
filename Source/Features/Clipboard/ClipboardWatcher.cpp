#include "Source/Features/Clipboard/ClipboardWatcher.h"

#include "Platform/Desktop/Pasteboard.h"
#include "Source/Features/Clipboard/ClipboardManager.h"

#include <QImageReader>

#include <algorithm>

ClipboardWatcher::ClipboardWatcher(Pasteboard& pasteboard, std::function<bool()> paused,
                                   std::function<void(const PasteboardContents&)> changed)
    : pasteboard_(pasteboard), paused_(std::move(paused)), changed_(std::move(changed)) {
    lastChangeCount_ = pasteboard_.changeCount();  // what is on the pasteboard at launch is not recorded
}

ClipboardWatcher::~ClipboardWatcher() {
    if (timer_) timer_->stop();
}

void ClipboardWatcher::start() {
    if (timer_) {
        timer_->stop();
        timer_->deleteLater();
    }
    auto* timer = new QTimer(this);
    timer->setInterval(int(ClipboardManager::pollInterval * 1000));
    timer->setTimerType(Qt::CoarseTimer);
    connect(timer, &QTimer::timeout, this, &ClipboardWatcher::poll);
    timer->start();
    timer_ = timer;
    disconnect(changeNotices_);
    // Where the pasteboard reads each change as it comes, its contents arrive here; otherwise a
    // change notice makes the watcher look at once.
    watching_ =
        pasteboard_.watchChanges(&ClipboardWatcher::nextFetch, this, [this](const PasteboardContents& contents) {
            // A paste's own change is looked at after it.
            if (!paused_()) handle(contents);
        });
    if (!watching_)
        changeNotices_ = connect(&pasteboard_, &Pasteboard::changed, this, &ClipboardWatcher::scheduleCheck);
}

// A clear and a write made together are one change to read.
void ClipboardWatcher::scheduleCheck() {
    if (checkScheduled_) return;
    checkScheduled_ = true;
    QTimer::singleShot(0, this, [this] {
        checkScheduled_ = false;
        check();
    });
}

// The fallback poll. A change being read ahead gets one poll period before it is read here.
void ClipboardWatcher::poll() {
    const qint64 count = pasteboard_.changeCount();
    if (watching_ && count != lastChangeCount_ && unhandledSincePoll_ != count) {
        unhandledSincePoll_ = count;
        return;
    }
    check();
}

void ClipboardWatcher::check() {
    if (paused_() || reading_) return;  // a read in progress looks again when it ends
    if (pasteboard_.changeCount() == lastChangeCount_) return;
    reading_ = true;
    pasteboard_.readContents(&ClipboardWatcher::nextFetch, this, [this](const PasteboardContents& contents) {
        reading_ = false;
        handle(contents);
        if (!watching_ && pasteboard_.changeCount() != lastChangeCount_) scheduleCheck();
    });
}

// The contents of one change, read ahead or asked for; each change is handled once.
void ClipboardWatcher::handle(const PasteboardContents& contents) {
    if (contents.status == PasteboardContents::Status::changed) return;  // the newer change follows
    if (contents.changeCount <= lastChangeCount_) return;
    lastChangeCount_ = contents.changeCount;
    changed_(contents);
}

bool ClipboardWatcher::isConcealed(const QStringList& types) {
    const QStringList& concealed = ClipboardManager::concealedTypes;
    return std::any_of(concealed.begin(), concealed.end(),
                       [&types](const QString& type) { return types.contains(type); });
}

std::optional<PasteboardFetch> ClipboardWatcher::nextFetch(const PasteboardContents& sofar) {
    auto wanted = [&sofar](const QString& type) {
        return sofar.types.contains(type) && !sofar.requested.contains(type);
    };
    if (isConcealed(sofar.types)) {
        if (wanted(PasteboardType::string))
            return PasteboardFetch{PasteboardType::string, ClipboardManager::maxTextBytes};
        return std::nullopt;
    }
    if (wanted(PasteboardType::fileURLs))
        return PasteboardFetch{PasteboardType::fileURLs, ClipboardManager::maxFileListBytes};
    if (fileURLs(sofar)) return std::nullopt;
    const QString image = imageType(sofar.types);
    if (!image.isEmpty()) {
        if (wanted(image)) return PasteboardFetch{image, ClipboardManager::maxImageBytes};
        const auto data = sofar.value(image);
        if (data && !data->isEmpty() && !sofar.isTruncated(image)) return std::nullopt;
    }
    if (wanted(PasteboardType::string)) return PasteboardFetch{PasteboardType::string, ClipboardManager::maxTextBytes};
    return std::nullopt;
}

std::optional<QList<QUrl>> ClipboardWatcher::fileURLs(const PasteboardContents& contents) {
    const auto body = contents.value(PasteboardType::fileURLs);
    if (!body || contents.isTruncated(PasteboardType::fileURLs)) return std::nullopt;
    const QList<QUrl> urls = Pasteboard::urlsFromUriList(*body);
    if (urls.isEmpty()) return std::nullopt;
    // Only local files make a file entry: a copied web address is text.
    for (const QUrl& url : urls)
        if (!url.isValid() || url.scheme() != QLatin1String("file") || url.path().isEmpty()) return std::nullopt;
    return urls;
}

QString ClipboardWatcher::imageType(const QStringList& types) {
    if (types.contains(PasteboardType::png)) return PasteboardType::png;
    static const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    for (const QString& type : types)
        if (type.startsWith(QLatin1String("image/")) && readable.contains(type.toLatin1())) return type;
    return {};
}
