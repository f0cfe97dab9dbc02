#include "Source/Features/Clipboard/ClipboardPaster.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Dispatch.h"
#include "Platform/Desktop/Pasteboard.h"
#include "Platform/Files/SafeFile.h"
#include "Platform/X11/KeyCodes.h"
#include "Platform/X11/SyntheticKeys.h"
#include "Source/Features/Clipboard/ClipboardFullImageCache.h"
#include "Source/Features/Clipboard/ClipboardHistoryStore.h"
#include "Source/Features/Clipboard/ClipboardManager.h"
#include "Source/Features/Clipboard/RichTextReader.h"

#include <algorithm>

ClipboardPaster::ClipboardPaster(Pasteboard& pasteboard, std::function<bool(const QString& path)> isOwnImage)
    : pasteboard_(pasteboard), isOwnImage_(std::move(isOwnImage)) {
    heldKeysPoll_.setInterval(heldKeysPollMs);
    connect(&heldKeysPoll_, &QTimer::timeout, this, [this] { postKeystrokeIfFree(); });
}

void ClipboardPaster::paste(const ClipboardItem& item) {
    QList<PasteboardItem> items;
    switch (item.content.kind()) {
    case ClipboardContent::Kind::text: {
        PasteboardItem text;
        text.setString(item.content.textValue());
        items.append(text);
        break;
    }
    case ClipboardContent::Kind::files: {
        const QList<QUrl> urls = item.content.fileURLs();
        for (const QUrl& url : urls) {
            PasteboardItem file;
            file.setData(PasteboardType::fileURLs, Pasteboard::uriList({url}));
            file.setData(PasteboardType::gnomeCopiedFiles, "copy\n" + url.toEncoded());
            items.append(file);
        }
        // The selection takes the first item's text: it carries the whole list's.
        if (!items.isEmpty()) items.first().setString(filesText(urls));
        break;
    }
    case ClipboardContent::Kind::image: {
        // Load first: a missing image leaves the user's pasteboard as it was.
        const ClipboardImageReference* ref = item.content.imageReference();
        QByteArray png;
        // Only images stored by us are pasted, never a file a record names elsewhere.
        if (isOwnImage_(ref->path) && !ClipboardFullImageCache::image(*ref).isNull())
            png = SafeFile::readRegular(ref->path, ClipboardImageReference::largestFile).value_or(QByteArray());
        if (png.isEmpty()) {
            heldKeysPoll_.stop();  // nor is an earlier choice typed in its place
            release_.cancel();
            isPasting_ = false;
            lastPastedContent_.reset();
            return;
        }
        PasteboardItem image;
        image.setData(PasteboardType::png, png);
        items.append(image);
        break;
    }
    }
    if (items.isEmpty()) return;
    beginPaste(item.content, items);
}

void ClipboardPaster::pastePlainText(const QString& text) {
    if (text.isEmpty()) return;
    PasteboardItem item;
    item.setString(text);
    beginPaste(ClipboardContent::text(text), {item});
}

void ClipboardPaster::pastePlainText() {
    pasteboard_.readContents(&ClipboardPaster::nextPlainTextFetch, this, [this](const PasteboardContents& contents) {
        if (contents.status != PasteboardContents::Status::read) return;
        const auto text = plainText(contents);
        if (text && !text->isEmpty()) pastePlainText(*text);
    });
}

void ClipboardPaster::beginPaste(const ClipboardContent& content, const QList<PasteboardItem>& items) {
    isPasting_ = true;
    release_.cancel();
    lastPastedContent_ = content;
    pasteboard_.clearContents();
    pasteboard_.writeObjects(items);
    // Terminals paste PRIMARY with Shift+Insert, and only text: it gets the entry's text (the
    // selection's, the first item's). A picture, which has none, is offered there as itself, so that
    // a terminal gets nothing rather than what another program last highlighted.
    if (const auto text = items.first().data(PasteboardType::string)) {
        PasteboardItem only;
        only.setData(PasteboardType::string, *text);
        pasteboard_.writePrimarySelection({only});
    } else {
        pasteboard_.writePrimarySelection(items);
    }
    // A newer paste takes the place of one still waiting for the keys.
    heldKeysPoll_.stop();
    heldKeysSince_ = Clock::shared().monotonic();
    if (!postKeystrokeIfFree()) heldKeysPoll_.start();
}

bool ClipboardPaster::postKeystrokeIfFree() {
    SyntheticKeys& keys = SyntheticKeys::shared();
    if (keys.isAvailable() && keys.modifiersHeld()) {
        if (Clock::shared().monotonic() - heldKeysSince_ < heldKeysWait) return false;
        qCWarning(lcClipboard,
                  "Modifier keys still held %.1f s after a paste: it stays on the clipboard, nothing typed",
                  heldKeysWait);
    } else {
        simulateCmdV();
    }
    heldKeysPoll_.stop();
    release_.schedule(this, ClipboardManager::pasteRelease, [this] { isPasting_ = false; });
    return true;
}

QString ClipboardPaster::filesText(const QList<QUrl>& urls) {
    QStringList lines;
    for (const QUrl& url : urls) {
        const QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        const bool plain =
            !path.isEmpty() && QUrl::fromLocalFile(path) == url &&
            std::none_of(path.begin(), path.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
        lines.append(plain ? path : QString::fromLatin1(url.toEncoded()));
    }
    return lines.join(QLatin1Char('\n'));
}

std::optional<PasteboardFetch> ClipboardPaster::nextPlainTextFetch(const PasteboardContents& sofar) {
    if (const auto text = sofar.value(PasteboardType::string); text && !text->isEmpty()) return std::nullopt;
    for (const QString& type :
         {PasteboardType::string, PasteboardType::rtf, PasteboardType::rtfApplication, PasteboardType::html}) {
        if (sofar.types.contains(type) && !sofar.requested.contains(type))
            return PasteboardFetch{type, ClipboardManager::maxTextBytes * (type == PasteboardType::string ? 1 : 8)};
    }
    return std::nullopt;
}

std::optional<QString> ClipboardPaster::plainText(const PasteboardContents& contents) {
    if (const auto text = contents.string(); text && !text->isEmpty()) return text;
    for (const QString& type : {PasteboardType::rtf, PasteboardType::rtfApplication}) {
        if (const auto rtf = contents.value(type))
            if (auto characters = RichTextReader::charactersOfRtf(*rtf)) return characters;
    }
    if (const auto html = contents.value(PasteboardType::html)) return RichTextReader::charactersOfHtml(*html);
    return std::nullopt;
}

void ClipboardPaster::simulateCmdV() {
    SyntheticKeys& keys = SyntheticKeys::shared();
    if (!keys.isAvailable()) return;
    // Control+V types ^V in a terminal; Shift+Insert pastes in terminals and text fields alike.
    // Insert is the Help key in the key vocabulary; its events carry the Shift flag.
    keys.post({{KeyCodes::kVK_Shift, true, 0},
               {KeyCodes::kVK_Help, true, KeyCodes::maskShift},
               {KeyCodes::kVK_Help, false, KeyCodes::maskShift},
               {KeyCodes::kVK_Shift, false, 0}});
}
