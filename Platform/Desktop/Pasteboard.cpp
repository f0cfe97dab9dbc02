#include "Platform/Desktop/Pasteboard.h"

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

// MARK: PasteboardContents

std::optional<QByteArray> PasteboardContents::value(const QString& type) const {
    for (const auto& rep : data)
        if (rep.first == type) return rep.second;
    return std::nullopt;
}

std::optional<QString> PasteboardContents::string() const {
    auto bytes = value(PasteboardType::string);
    if (!bytes) return std::nullopt;
    if (isTruncated(PasteboardType::string)) {
        // Cut where a character starts, dropping a sequence the cut left incomplete.
        qsizetype start = bytes->size();
        while (start > 0 && (uchar(bytes->at(start - 1)) & 0xC0) == 0x80) --start;
        if (start > 0) {
            const uchar lead = uchar(bytes->at(start - 1));
            const qsizetype need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (bytes->size() - (start - 1) < need) bytes->truncate(start - 1);
        }
    }
    return QString::fromUtf8(*bytes);
}

// MARK: Pasteboard

Pasteboard& Pasteboard::general() {
    if (g_override) return *g_override;
    static Pasteboard* system = makeDefault().release();  // kept for the life of the process
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

void Pasteboard::readContents(PasteboardReadPlan plan, QObject* context, std::function<void(PasteboardContents)> done) {
    startReading(std::move(plan), context, std::move(done));
}

bool Pasteboard::watchChanges(PasteboardReadPlan, QObject*, std::function<void(PasteboardContents)>) { return false; }

void Pasteboard::runReadPlan(PasteboardContents& contents, const PasteboardReadPlan& plan,
                             const std::function<bool(const PasteboardFetch&)>& fetch) {
    if (!plan) return;
    while (const auto next = plan(contents)) {
        if (contents.requested.contains(next->type)) return;
        contents.requested.append(next->type);
        if (!fetch(*next)) return;
    }
}

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

bool Pasteboard::writePrimarySelection(const QList<PasteboardItem>& items) {
    const PasteboardRepresentations reps = flatten(items);
    if (reps.isEmpty()) return false;
    setPrimaryRepresentations(reps);
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

PasteboardContents Pasteboard::readAtOnce(qint64 changeCount, const QStringList& types, const PasteboardReadPlan& plan,
                                          const std::function<std::optional<QByteArray>(const QString&)>& data) {
    PasteboardContents contents;
    contents.changeCount = changeCount;
    contents.types = types;
    runReadPlan(contents, plan, [&](const PasteboardFetch& want) {
        auto bytes = data(want.type);
        if (!bytes) return true;
        if (bytes->size() > want.maxBytes) {
            bytes->truncate(want.maxBytes);
            contents.truncated.append(want.type);
        }
        contents.data.append({want.type, *bytes});
        return true;
    });
    return contents;
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

void FakePasteboard::startReading(PasteboardReadPlan plan, QObject*, std::function<void(PasteboardContents)> done) {
    ++readCount_;
    if (!ownerAnswers_) {
        PasteboardContents silent;
        silent.status = PasteboardContents::Status::ownerSilent;
        silent.changeCount = changeCount_;
        done(silent);
        return;
    }
    done(readAtOnce(changeCount_, types(), plan, [this](const QString& type) -> std::optional<QByteArray> {
        if (type == PasteboardType::string) {
            if (const auto text = formatText()) return text->toUtf8();
            return std::nullopt;
        }
        return formatData(type);
    }));
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
