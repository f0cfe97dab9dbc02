#include "Source/Features/Updates/BodyInflater.h"

#include <algorithm>
#include <utility>

#include <zlib.h>

namespace {
// The most made in one step: the limit is looked at after each.
constexpr qint64 step = 64 * 1024;
}  // namespace

struct BodyInflater::Stream {
    z_stream z{};
    bool open = false;
    ~Stream() {
        if (open) inflateEnd(&z);
    }
};

BodyInflater::BodyInflater(const QByteArray& contentEncoding, qint64 limit) : limit_(limit) {
    const QByteArray name = contentEncoding.trimmed().toLower();
    if (name == "gzip" || name == "x-gzip")
        encoding_ = "gzip";
    else if (name == "deflate")
        encoding_ = "deflate";
    else if (!name.isEmpty() && name != "identity") {
        encoding_ = name;
        problem_ = QStringLiteral("its %1 encoding is not one Quorvin reads").arg(QString::fromLatin1(name));
    }
}

BodyInflater::~BodyInflater() = default;

bool BodyInflater::reads(const QByteArray& contentEncoding) {
    return BodyInflater(contentEncoding, 0).problem().isEmpty();
}

bool BodyInflater::fail(QString problem) {
    problem_ = std::move(problem);
    stream_.reset();
    return false;
}

bool BodyInflater::start(QByteArrayView raw) {
    stream_ = std::make_unique<Stream>();
    int windowBits = 15 + 16;  // gzip
    if (encoding_ == "deflate") {
        // Mostly sent in zlib's wrapping, as the standard asks; some servers send the bare stream.
        const int head = uchar(raw[0]) << 8 | uchar(raw[1]);
        windowBits = (head & 0x0F00) == 0x0800 && head % 31 == 0 ? 15 : -15;
    }
    if (inflateInit2(&stream_->z, windowBits) != Z_OK) return fail(QStringLiteral("no memory to decode it"));
    stream_->open = true;
    return true;
}

bool BodyInflater::add(QByteArrayView raw, QByteArray& out) {
    if (!problem_.isEmpty()) return false;
    if (encoding_.isEmpty()) {
        const qint64 take = std::min<qint64>(raw.size(), limit_ + 1 - decoded_);
        out.append(raw.first(qsizetype(take)));
        decoded_ += take;
        return decoded_ <= limit_ || failTooLong();
    }
    QByteArray held;
    if (!stream_) {
        head_ += raw;
        if (head_.size() < 2) return true;
        held = std::exchange(head_, {});
        raw = held;
        if (!start(raw)) return false;
    }
    z_stream& z = stream_->z;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
    z.avail_in = uInt(raw.size());
    // A full output step may leave zlib holding more even once the input is used up.
    for (bool full = false; z.avail_in > 0 || full;) {
        if (ended_) {
            // gzip allows one member after another, and zeros to the end as gzip(1) does; anything
            // else after the end is damage.
            if (encoding_ != "gzip") return fail(QStringLiteral("bytes follow the end of its deflate stream"));
            if (padding_ || *z.next_in == 0) {
                if (!std::all_of(z.next_in, z.next_in + z.avail_in, [](Bytef b) { return b == 0; }))
                    return fail(QStringLiteral("bytes follow the end of its gzip stream"));
                padding_ = true;
                break;
            }
            inflateReset(&z);
            ended_ = false;
        }
        const qint64 room = std::min(step, limit_ + 1 - decoded_);
        const qsizetype at = out.size();
        out.resize(at + qsizetype(room));
        z.next_out = reinterpret_cast<Bytef*>(out.data() + at);
        z.avail_out = uInt(room);
        const int rc = inflate(&z, Z_NO_FLUSH);
        const qint64 made = room - qint64(z.avail_out);
        out.resize(at + qsizetype(made));
        decoded_ += made;
        if (decoded_ > limit_) return failTooLong();
        full = rc == Z_OK && z.avail_out == 0;
        if (rc == Z_BUF_ERROR && z.avail_in == 0) break;  // nothing was held after all
        if (rc == Z_STREAM_END)
            ended_ = true;
        else if (rc != Z_OK)
            return fail(QStringLiteral("its %1 encoding is damaged (%2)")
                            .arg(QString::fromLatin1(encoding_), QString::fromLatin1(z.msg ? z.msg : "no progress")));
    }
    return true;
}

bool BodyInflater::failTooLong() {
    tooLong_ = true;
    return fail(QStringLiteral("it decodes to more than %1 bytes").arg(limit_));
}

bool BodyInflater::finish() {
    if (!problem_.isEmpty()) return false;
    if (!encoding_.isEmpty() && !ended_ && (stream_ || !head_.isEmpty()))
        return fail(QStringLiteral("it ends before its %1 stream does").arg(QString::fromLatin1(encoding_)));
    return true;
}
