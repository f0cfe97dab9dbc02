#include "Source/Extensions/ClipboardItemCodable.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/JsonSax.h"
#include "Platform/Core/JsonText.h"
#include "Platform/Core/RawValues.h"

#include <QLocale>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

// Dates further than this from the reference date are not dates (about ±3000 years).
constexpr double kMaxDateSeconds = 1e11;

bool isDate(double seconds) { return std::isfinite(seconds) && std::fabs(seconds) < kMaxDateSeconds; }

// How many bytes a UTF-8 byte takes in a JSON string.
int escapedSize(unsigned char c) {
    if (c >= 0x20 && c != '"' && c != '\\') return 1;
    return c == '"' || c == '\\' || c == '\n' || c == '\r' || c == '\t' || c == '\b' || c == '\f' ? 2 : 6;
}

// The text as a JSON string, measured first and then written in place: a text of control
// characters grows sixfold, and appending each escape on its own made saving it slow.
void appendString(QByteArray& out, const QString& string) {
    static const char hex[] = "0123456789abcdef";
    const QByteArray utf8 = string.toUtf8();
    const auto* begin = reinterpret_cast<const unsigned char*>(utf8.constData());
    const auto* end = begin + utf8.size();
    qsizetype length = 2;
    for (const unsigned char* p = begin; p < end; ++p) length += escapedSize(*p);
    const qsizetype at = out.size();
    out.resize(at + length);
    char* o = out.data() + at;
    *o++ = '"';
    for (const unsigned char* p = begin; p < end; ++p) {
        const unsigned char c = *p;
        if (escapedSize(c) == 1) {
            *o++ = char(c);
            continue;
        }
        *o++ = '\\';
        switch (c) {
        case '"': *o++ = '"'; break;
        case '\\': *o++ = '\\'; break;
        case '\n': *o++ = 'n'; break;
        case '\r': *o++ = 'r'; break;
        case '\t': *o++ = 't'; break;
        case '\b': *o++ = 'b'; break;
        case '\f': *o++ = 'f'; break;
        default:
            *o++ = 'u';
            *o++ = '0';
            *o++ = '0';
            *o++ = hex[c >> 4];
            *o++ = hex[c & 0xf];
        }
    }
    *o = '"';
}

// The seconds of a date: those read from the file while the date is still the one read.
double storedSeconds(const QDateTime& date, const std::optional<double>& stored) {
    return stored && ReferenceDate::date(*stored) == date ? *stored : ReferenceDate::seconds(date);
}

// The file a record names: its exact URL while that agrees with the path, else the path's.
QUrl fileNamed(const QString& path, const std::optional<QString>& exact) {
    if (exact) {
        const QUrl url(*exact, QUrl::StrictMode);
        if (url.isValid() && url.isLocalFile() && url.toLocalFile() == path) return url;
    }
    return QUrl::fromLocalFile(path);
}

void appendNumber(QByteArray& out, double value) {
    if (!std::isfinite(value)) value = 0;  // JSON has no infinities
    out += QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

// Reads the array of records as the parser goes, without building a document.
class RecordReader final : public nlohmann::json_sax<nlohmann::json> {
public:
    explicit RecordReader(std::vector<ClipboardItemCodable>& out, ClipboardItemCodable::Wanted wanted = {})
        : out_(out), wanted_(std::move(wanted)) {}
    bool sawArray() const { return sawArray_; }
    int skipped() const { return skipped_; }

    bool null() override {
        if (inRecordValue()) assignNull();
        return scalarAtTop();
    }
    bool boolean(bool v) override {
        if (inRecordValue()) {
            if (key_ == "isPinned") bools_.isPinned = v;
            else wrongKindUnlessUnknown();
        }
        return scalarAtTop();
    }
    bool number_integer(number_integer_t v) override { return number(double(v), v, true); }
    bool number_unsigned(number_unsigned_t v) override {
        constexpr qint64 largest = std::numeric_limits<qint64>::max();
        return number(double(v), v <= uint64_t(largest) ? qint64(v) : largest, true);
    }
    bool number_float(number_float_t v, const string_t&) override {
        const bool whole = std::isfinite(v) && std::trunc(v) == v;
        qint64 integer = 0;
        if (whole) {
            // Whole numbers beyond 64 bits are the nearest 64-bit ones.
            if (v >= 9.2e18) integer = std::numeric_limits<qint64>::max();
            else if (v <= -9.2e18) integer = std::numeric_limits<qint64>::min();
            else integer = qint64(v);
        }
        return number(v, integer, whole);
    }
    bool string(string_t& v) override {
        if (inRecordValue()) {
            // The text stays in the parser's bytes until the record is known to be wanted.
            if (key_ == "value") {
                value_.swap(v);
                hasValue_ = true;
                return scalarAtTop();
            }
            const QString text = QString::fromUtf8(v.data(), qsizetype(v.size()));
            if (key_ == "type") type_ = text;
            else if (key_ == "itemID") record_.itemID = text;
            else if (key_ == "sourceApp") record_.sourceApp = text;
            else if (key_ == "imageFingerprint") record_.imageFingerprint = text;
            else if (key_ == "fileURL") record_.fileURL = text;
            else if (key_ == "saves") record_.saves = text;
            else wrongKindUnlessUnknown();
        }
        return scalarAtTop();
    }
    bool binary(binary_t&) override { return false; }
    bool start_object(std::size_t) override {
        if (++depth_ > ClipboardItemCodable::maxNestingDepth) return false;
        if (depth_ == 1) return false;  // the file holds an array
        if (depth_ == 2) beginRecord();
        else if (depth_ == 3) wrongKindUnlessUnknown();
        return true;
    }
    bool key(string_t& k) override {
        if (depth_ == 2) key_ = k;
        return true;
    }
    bool end_object() override {
        if (depth_ == 2 && !finishRecord()) ++skipped_;
        --depth_;
        return true;
    }
    bool start_array(std::size_t) override {
        if (++depth_ > ClipboardItemCodable::maxNestingDepth) return false;
        if (depth_ == 1) sawArray_ = true;
        else if (depth_ == 2) ++skipped_;  // an element that is not a record
        else if (depth_ == 3) wrongKindUnlessUnknown();
        return true;
    }
    bool end_array() override {
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    struct Bools {
        std::optional<bool> isPinned;
    };

    bool inRecordValue() const { return depth_ == 2; }
    // A lone value at the top is not an array: the file cannot be read. One inside the array is
    // an element that is not a record.
    bool scalarAtTop() {
        if (depth_ == 1) ++skipped_;
        return depth_ > 0;
    }

    void beginRecord() {
        record_ = ClipboardItemCodable();
        type_.reset();
        hasValue_ = false;
        bools_ = Bools();
        ok_ = true;
        key_.clear();
    }
    void wrongKindUnlessUnknown() {
        static const char* const known[] = {"type", "value", "copiedAt", "itemID", "firstCopiedAt", "sourceApp",
                                            "copyCount", "isPinned", "imageWidth", "imageHeight", "imageFingerprint",
                                            "fileURL"};
        for (const char* name : known)
            if (key_ == name) ok_ = false;
    }
    void assignNull() {
        if (key_ == "type") type_.reset();
        else if (key_ == "value") hasValue_ = false;
        else if (key_ == "copiedAt") record_.copiedAt.reset();
        else if (key_ == "itemID") record_.itemID.reset();
        else if (key_ == "firstCopiedAt") record_.firstCopiedAt.reset();
        else if (key_ == "sourceApp") record_.sourceApp.reset();
        else if (key_ == "copyCount") record_.copyCount.reset();
        else if (key_ == "isPinned") bools_.isPinned.reset();
        else if (key_ == "imageWidth") record_.imageWidth.reset();
        else if (key_ == "imageHeight") record_.imageHeight.reset();
        else if (key_ == "imageFingerprint") record_.imageFingerprint.reset();
        else if (key_ == "fileURL") record_.fileURL.reset();
    }
    bool number(double value, qint64 integer, bool isInteger) {
        if (inRecordValue()) {
            if (key_ == "copiedAt" || key_ == "firstCopiedAt") {
                if (!isDate(value)) ok_ = false;
                else (key_ == "copiedAt" ? record_.copiedAt : record_.firstCopiedAt) = value;
            } else if (key_ == "copyCount") {
                if (isInteger) record_.copyCount = integer;
                else ok_ = false;
            } else if (key_ == "imageWidth") {
                record_.imageWidth = value;
            } else if (key_ == "imageHeight") {
                record_.imageHeight = value;
            } else {
                wrongKindUnlessUnknown();
            }
        }
        return scalarAtTop();
    }
    bool finishRecord() {
        if (!ok_ || !type_ || !hasValue_) return false;
        const auto type = ClipboardItemCodable::fromRawValue(*type_);
        if (!type) return false;
        // A file record names a file: without a path there is nothing to restore.
        if (*type == ClipboardItemCodable::ItemType::file && value_.empty()) return false;
        if (wanted_ && !wanted_(bools_.isPinned.value_or(false), record_.itemID)) return true;
        record_.type = *type;
        record_.value = QString::fromUtf8(value_.data(), qsizetype(value_.size()));
        record_.isPinned = bools_.isPinned;
        out_.push_back(std::move(record_));
        return true;
    }

    std::vector<ClipboardItemCodable>& out_;
    const ClipboardItemCodable::Wanted wanted_;
    int depth_ = 0;
    bool sawArray_ = false;
    int skipped_ = 0;
    std::string key_;
    ClipboardItemCodable record_;
    std::optional<QString> type_;
    std::string value_;  // swapped with the parser's own buffer: neither is made afresh per record
    bool hasValue_ = false;
    Bools bools_;
    bool ok_ = true;
};

}  // namespace

namespace {
constexpr RawValues::Entry<ClipboardItemCodable::ItemType> itemTypeRawValues[]{
    {ClipboardItemCodable::ItemType::text, "text"},
    {ClipboardItemCodable::ItemType::file, "file"},
    {ClipboardItemCodable::ItemType::image, "image"},
};
}  // namespace

QString ClipboardItemCodable::rawValue(ItemType type) { return RawValues::rawValue(itemTypeRawValues, type); }

std::optional<ClipboardItemCodable::ItemType> ClipboardItemCodable::fromRawValue(const QString& raw) {
    return RawValues::fromRawValue(itemTypeRawValues, raw);
}

ClipboardItemCodable ClipboardItemCodable::fromItem(const ClipboardItem& item) {
    ClipboardItemCodable record;
    switch (item.content.kind()) {
    case ClipboardContent::Kind::text:
        record.type = ItemType::text;
        record.value = item.content.textValue();
        break;
    case ClipboardContent::Kind::files: {
        record.type = ItemType::file;
        const QList<QUrl> urls = item.content.fileURLs();
        if (urls.isEmpty()) break;
        const QUrl& first = urls.first();
        record.value = first.isLocalFile() ? first.toLocalFile() : first.path();
        if (first.isLocalFile() && QUrl::fromLocalFile(record.value) != first)
            record.fileURL = QString::fromLatin1(first.toEncoded());
        break;
    }
    case ClipboardContent::Kind::image: {
        const ClipboardImageReference* ref = item.content.imageReference();
        record.type = ItemType::image;
        record.value = ref->path;
        record.imageWidth = ref->pixelSize.width();
        record.imageHeight = ref->pixelSize.height();
        record.imageFingerprint = ref->fingerprint;
        break;
    }
    }
    record.copiedAt = storedSeconds(item.copiedAt, item.storedCopiedAt);
    record.itemID = item.id.toString(QUuid::WithoutBraces).toUpper();
    record.firstCopiedAt = storedSeconds(item.firstCopiedAt, item.storedFirstCopiedAt);
    record.sourceApp = item.sourceApp;
    record.copyCount = item.copyCount;
    record.isPinned = item.isPinned;
    return record;
}

std::optional<QString> ClipboardItemCodable::imagePathIn(const QString& imagesDirectory, const QString& value) {
    const QString name = value.mid(value.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QChar(0)))
        return std::nullopt;
    return imagesDirectory + QLatin1Char('/') + name;
}

std::optional<ClipboardItem> ClipboardItemCodable::toClipboardItem(const QDateTime& now,
                                                                   const QString& imagesDirectory) const {
    ClipboardItem item;
    switch (type) {
    case ItemType::text:
        item.content = ClipboardContent::text(value);
        break;
    case ItemType::file:
        item.content = ClipboardContent::files({fileNamed(value, fileURL)});
        break;
    case ItemType::image: {
        std::optional<QSizeF> size;
        if (imageWidth && imageHeight && *imageWidth > 0 && *imageHeight > 0) size = QSizeF(*imageWidth, *imageHeight);
        // Older files hold absolute paths, which break when the folder is reached another way.
        const auto path = imagePathIn(imagesDirectory, value);
        if (!path) return std::nullopt;
        auto ref = ClipboardImageReference::fromPersistedPath(*path, size, imageFingerprint);
        if (!ref) return std::nullopt;
        item.content = ClipboardContent::image(*ref);
        item.imagePath = *path;
        break;
    }
    }
    item.copiedAt = copiedAt ? ReferenceDate::date(*copiedAt) : now;
    item.storedCopiedAt = copiedAt;
    item.firstCopiedAt = firstCopiedAt ? ReferenceDate::date(*firstCopiedAt) : item.copiedAt;
    item.storedFirstCopiedAt = firstCopiedAt ? firstCopiedAt : copiedAt;
    if (itemID) item.id = QUuid::fromString(*itemID);
    if (item.id.isNull()) item.id = QUuid::createUuid();
    item.sourceApp = sourceApp;
    item.copyCount = std::max<qint64>(copyCount.value_or(1), 1);
    item.isPinned = isPinned.value_or(false);
    item.isConcealed = false;
    return item;
}

void ClipboardItemCodable::encode(QByteArray& out) const {
    out += "{\"type\":";
    appendString(out, rawValue(type));
    out += ",\"value\":";
    appendString(out, value);
    if (copiedAt) {
        out += ",\"copiedAt\":";
        appendNumber(out, *copiedAt);
    }
    if (itemID) {
        out += ",\"itemID\":";
        appendString(out, *itemID);
    }
    if (firstCopiedAt) {
        out += ",\"firstCopiedAt\":";
        appendNumber(out, *firstCopiedAt);
    }
    if (sourceApp) {
        out += ",\"sourceApp\":";
        appendString(out, *sourceApp);
    }
    if (copyCount) {
        out += ",\"copyCount\":";
        out += QByteArray::number(*copyCount);
    }
    if (isPinned) out += *isPinned ? ",\"isPinned\":true" : ",\"isPinned\":false";
    if (imageWidth) {
        out += ",\"imageWidth\":";
        appendNumber(out, *imageWidth);
    }
    if (imageHeight) {
        out += ",\"imageHeight\":";
        appendNumber(out, *imageHeight);
    }
    if (imageFingerprint) {
        out += ",\"imageFingerprint\":";
        appendString(out, *imageFingerprint);
    }
    if (fileURL) {
        out += ",\"fileURL\":";
        appendString(out, *fileURL);
    }
    if (saves) {
        out += ",\"saves\":";
        appendString(out, *saves);
    }
    out += '}';
}

QByteArray ClipboardItemCodable::encodeFile(const std::vector<ClipboardItemCodable>& records) {
    QByteArray out;
    qsizetype estimate = 2;
    for (const auto& record : records) estimate += record.value.size() + 256;
    out.reserve(estimate);
    out += '[';
    bool first = true;
    for (const auto& record : records) {
        if (!first) out += ',';
        first = false;
        record.encode(out);
    }
    out += ']';
    return out;
}

std::optional<std::vector<ClipboardItemCodable>> ClipboardItemCodable::decodeFile(const QByteArray& bytes, int* skipped) {
    if (!JsonText::isOneValue(bytes)) return std::nullopt;
    std::vector<ClipboardItemCodable> records;
    RecordReader reader(records);
    const bool parsed = nlohmann::json::sax_parse(bytes.constBegin(), bytes.constEnd(), &reader);
    if (!parsed || !reader.sawArray()) return std::nullopt;
    if (skipped) *skipped = reader.skipped();
    return records;
}

std::optional<std::vector<ClipboardItemCodable>> ClipboardItemCodable::decodeStream(const ByteSource& source,
                                                                                    int* skipped,
                                                                                    const Wanted& wanted) {
    std::vector<ClipboardItemCodable> records;
    RecordReader reader(records, wanted);
    // Strict: anything but whitespace after the array, or a NUL byte, makes the text unreadable.
    const bool parsed = JsonSax::parse(source, reader);
    if (!parsed || !reader.sawArray()) return std::nullopt;
    if (skipped) *skipped = reader.skipped();
    return records;
}
