#include "Platform/X11/X11Pasteboard.h"

#include "Platform/Core/BackgroundThreads.h"
#include "Platform/X11/X11SelectionReader.h"

#include <QtGui/private/qtx11extras_p.h>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

#include <xcb/xcb.h>

std::unique_ptr<Pasteboard> Pasteboard::makeDefault() { return std::make_unique<X11Pasteboard>(); }

X11Pasteboard::X11Pasteboard() {
    clipboard_ = QGuiApplication::clipboard();
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->connection()) {
        // The reader's thread posts to this object, which outlives the thread.
        reader_ = std::make_unique<X11SelectionReader>([this] {
            QMetaObject::invokeMethod(this, [this] { emit changed(); }, Qt::QueuedConnection);
        });
        if (reader_->isRunning()) {
            exitHook_ = BackgroundThreads::add([this] { stopReading(); });
            const xcb_setup_t* setup = xcb_get_setup(x11->connection());
            reader_->setOwnClient(setup->resource_id_base, setup->resource_id_mask);
        } else {
            reader_.reset();
        }
    }
    if (!clipboard_) return;
    connect(clipboard_, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode != QClipboard::Clipboard || writing_) return;
        if (!reader_) {
            ++localCount_;
            emit changed();
        } else if (clipboard_->ownsClipboard()) {
            // Written by Qt in this process but not through us (a text field's copy): the
            // reader does not count our own ownership.
            countOwnChange();
        }
    });
}

X11Pasteboard::~X11Pasteboard() {
    BackgroundThreads::remove(exitHook_);
    stopReading();
}

void X11Pasteboard::stopReading() { reader_.reset(); }

qint64 X11Pasteboard::changeCount() const { return reader_ ? reader_->changeCount() : localCount_; }

const QMimeData* X11Pasteboard::ownData() const {
    if (!clipboard_) return nullptr;
    // Another program's data would be fetched from it, waiting: only readContents() does that.
    if (reader_ && !clipboard_->ownsClipboard()) return nullptr;
    return clipboard_->mimeData(QClipboard::Clipboard);
}

QStringList X11Pasteboard::formats() const {
    const QMimeData* mime = ownData();
    return mime ? mime->formats() : QStringList();
}

std::optional<QByteArray> X11Pasteboard::formatData(const QString& format) const {
    const QMimeData* mime = ownData();
    if (!mime || !mime->hasFormat(format)) return std::nullopt;
    return mime->data(format);
}

std::optional<QString> X11Pasteboard::formatText() const {
    const QMimeData* mime = ownData();
    if (!mime || !mime->hasText()) return std::nullopt;
    return mime->text();
}

void X11Pasteboard::startReading(PasteboardReadPlan plan, QObject* context,
                                 std::function<void(PasteboardContents)> done) {
    if (!reader_) {
        const PasteboardContents contents =
            readAtOnce(changeCount(), types(), plan, [this](const QString& type) -> std::optional<QByteArray> {
                if (type == PasteboardType::string) {
                    if (const auto text = formatText()) return text->toUtf8();
                    return std::nullopt;
                }
                return formatData(type);
            });
        done(contents);
        return;
    }
    QPointer<QObject> guard(context);
    reader_->read(std::move(plan), [this, guard, done = std::move(done)](PasteboardContents contents) {
        QMetaObject::invokeMethod(
            this, [guard, done, contents = std::move(contents)] {
                if (guard) done(contents);
            },
            Qt::QueuedConnection);
    });
}

bool X11Pasteboard::watchChanges(PasteboardReadPlan plan, QObject* context,
                                 std::function<void(PasteboardContents)> onContents) {
    if (!reader_) return false;
    QPointer<QObject> guard(context);
    reader_->watch(std::move(plan), [this, guard, onContents = std::move(onContents)](PasteboardContents contents) {
        QMetaObject::invokeMethod(
            this, [guard, onContents, contents = std::move(contents)] {
                if (guard) onContents(contents);
            },
            Qt::QueuedConnection);
    });
    return true;
}

void X11Pasteboard::countOwnChange() {
    if (reader_)
        reader_->countOwnChange();
    else
        ++localCount_;
    emit changed();
}

namespace {

// A selection is taken with the time Qt last heard from the server. Another program that took it
// since (a script's xclip, a clipboard tool) would keep it, and a paste would deliver what that
// program holds: the selection is taken with the server's time now.
void takeServerTime() {
    if (QX11Info::isPlatformX11()) QX11Info::setAppTime(QX11Info::getTimestamp());
}

}  // namespace

void X11Pasteboard::clearAll() {
    takeServerTime();
    writing_ = true;
    if (clipboard_) clipboard_->clear(QClipboard::Clipboard);
    writing_ = false;
    countOwnChange();
}

void X11Pasteboard::setRepresentations(const QList<PasteboardItem>&,
                                       const PasteboardRepresentations& representations) {
    if (!clipboard_) return;
    takeServerTime();
    auto* mime = new QMimeData();
    for (const auto& [type, bytes] : representations) mime->setData(type, bytes);
    writing_ = true;
    clipboard_->setMimeData(mime, QClipboard::Clipboard);  // the clipboard takes ownership
    writing_ = false;
    countOwnChange();
}

void X11Pasteboard::setPrimaryRepresentations(const PasteboardRepresentations& representations) {
    if (!clipboard_ || !clipboard_->supportsSelection()) return;
    takeServerTime();
    auto* mime = new QMimeData();
    for (const auto& [type, bytes] : representations) mime->setData(type, bytes);
    clipboard_->setMimeData(mime, QClipboard::Selection);  // the clipboard takes ownership
}
