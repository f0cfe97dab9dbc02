#include "Platform/Desktop/Pasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>

namespace {
QPointer<Pasteboard> g_override;
}  // namespace

// MARK: PasteboardItem

void PasteboardItem::setData(const QString& type, const QByteArray& data) {
    for (auto& rep : representations) {
        if (rep.first == type) {
            rep.second = data;
            return;
        }
    }
    representations.append({type, data});
}

std::optional<QByteArray> PasteboardItem::data(const QString& type) const {
    for (const auto& rep : representations)
        if (rep.first == type) return rep.second;
    return std::nullopt;
}

QStringList PasteboardItem::types() const {
    QStringList list;
    for (const auto& rep : representations) list.append(rep.first);
    return list;
}

// MARK: Pasteboard

Pasteboard& Pasteboard::general() {
    if (g_override) return *g_override;
    static X11Pasteboard* system = new X11Pasteboard();  // kept for the life of the process
    return *system;
}

void Pasteboard::setGeneral(Pasteboard* pasteboard) { g_override = pasteboard; }

QStringList Pasteboard::types() const {
    QStringList list = formats();
    if (list.contains(PasteboardType::passwordManagerHint) && !list.contains(PasteboardType::concealed)) {
        const auto hint = formatData(PasteboardType::passwordManagerHint);
        if (hint && hint->trimmed() == "secret") list.append(PasteboardType::concealed);
    }
    return list;
}

std::optional<QByteArray> Pasteboard::data(const QString& type) const {
    if (!formats().contains(type)) return std::nullopt;
    return formatData(type);
}

std::optional<QString> Pasteboard::string() const { return formatText(); }

std::optional<QString> Pasteboard::formatText() const {
    const QStringList list = formats();
    for (const QString& type : {QStringLiteral("text/plain;charset=utf-8"), PasteboardType::string}) {
        if (!list.contains(type)) continue;
        if (auto bytes = formatData(type)) return QString::fromUtf8(*bytes);
    }
    return std::nullopt;
}

qint64 Pasteboard::clearContents() {
    clearAll();
    return changeCount();
}

bool Pasteboard::writeObjects(const QList<PasteboardItem>& items) {
    const PasteboardRepresentations reps = flatten(items);
    if (reps.isEmpty()) return false;
    setRepresentations(items, reps);
    return true;
}

PasteboardRepresentations Pasteboard::flatten(const QList<PasteboardItem>& items) {
    PasteboardRepresentations reps;
    auto find = [&reps](const QString& type) -> QByteArray* {
        for (auto& rep : reps)
            if (rep.first == type) return &rep.second;
        return nullptr;
    };
    for (const PasteboardItem& item : items) {
        for (const auto& [type, bytes] : item.representations) {
            QByteArray* existing = find(type);
            if (!existing) {
                reps.append({type, bytes});
            } else if (type == PasteboardType::fileURLs) {
                if (!existing->isEmpty() && !existing->endsWith('\n')) existing->append("\r\n");
                existing->append(bytes);
            } else if (type == PasteboardType::gnomeCopiedFiles) {
                // "copy\n<uri>" per item: keep the verb once and add the URIs.
                const qsizetype newline = bytes.indexOf('\n');
                if (newline >= 0) existing->append('\n').append(bytes.mid(newline + 1));
            }
        }
    }
    if (find(PasteboardType::concealed) && !find(PasteboardType::passwordManagerHint))
        reps.append({PasteboardType::passwordManagerHint, QByteArray("secret")});
    return reps;
}

QList<QUrl> Pasteboard::urlsFromUriList(const QByteArray& body) {
    QList<QUrl> urls;
    for (QByteArray line : body.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) continue;
        urls.append(QUrl::fromEncoded(line));
    }
    return urls;
}

QByteArray Pasteboard::uriList(const QList<QUrl>& urls) {
    QByteArray body;
    for (const QUrl& url : urls) body += url.toEncoded() + "\r\n";
    return body;
}

// MARK: X11Pasteboard

X11Pasteboard::X11Pasteboard() {
    clipboard_ = QGuiApplication::clipboard();
    if (clipboard_) {
        connect(clipboard_, &QClipboard::dataChanged, this, [this] {
            ++changeCount_;
            emit changed();
        });
    }
}

QStringList X11Pasteboard::formats() const {
    const QMimeData* mime = clipboard_ ? clipboard_->mimeData(QClipboard::Clipboard) : nullptr;
    return mime ? mime->formats() : QStringList();
}

std::optional<QByteArray> X11Pasteboard::formatData(const QString& format) const {
    const QMimeData* mime = clipboard_ ? clipboard_->mimeData(QClipboard::Clipboard) : nullptr;
    if (!mime || !mime->hasFormat(format)) return std::nullopt;
    return mime->data(format);
}

std::optional<QString> X11Pasteboard::formatText() const {
    const QMimeData* mime = clipboard_ ? clipboard_->mimeData(QClipboard::Clipboard) : nullptr;
    if (!mime || !mime->hasText()) return std::nullopt;
    return mime->text();
}

void X11Pasteboard::clearAll() {
    if (clipboard_) clipboard_->clear(QClipboard::Clipboard);
}

void X11Pasteboard::setRepresentations(const QList<PasteboardItem>&,
                                       const PasteboardRepresentations& representations) {
    if (!clipboard_) return;
    auto* mime = new QMimeData();
    for (const auto& [type, bytes] : representations) mime->setData(type, bytes);
    clipboard_->setMimeData(mime, QClipboard::Clipboard);  // the clipboard takes ownership
}

// MARK: FakePasteboard

void FakePasteboard::simulateCopy(const PasteboardRepresentations& representations) {
    representations_ = representations;
    writtenItems_.clear();
    ++changeCount_;
    emit changed();
}

QStringList FakePasteboard::formats() const {
    QStringList list;
    for (const auto& rep : representations_) list.append(rep.first);
    return list;
}

std::optional<QByteArray> FakePasteboard::formatData(const QString& format) const {
    for (const auto& rep : representations_)
        if (rep.first == format) return rep.second;
    return std::nullopt;
}

void FakePasteboard::clearAll() {
    representations_.clear();
    writtenItems_.clear();
    ++changeCount_;
    emit changed();
}

void FakePasteboard::setRepresentations(const QList<PasteboardItem>& items,
                                        const PasteboardRepresentations& representations) {
    representations_ = representations;
    writtenItems_ = items;
    ++changeCount_;
    ++writeCount_;
    emit changed();
}
