#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

// Undoes an HTTP body's content encoding (none, gzip or deflate) as the body arrives, and stops as
// soon as what it makes passes a limit: a small body that inflates without end costs no more work
// than the limit. Qt leaves a body as it was sent when the request names the encodings it accepts
// itself (acceptedEncodings), so this is the only place a body is inflated.
class BodyInflater {
public:
    static QByteArray acceptedEncodings() { return QByteArrayLiteral("gzip, deflate"); }
    // Whether a body sent with this Content-Encoding header can be read at all.
    static bool reads(const QByteArray& contentEncoding);

    // `contentEncoding` is the answer's Content-Encoding header, empty when it has none.
    BodyInflater(const QByteArray& contentEncoding, qint64 limit);
    ~BodyInflater();
    BodyInflater(const BodyInflater&) = delete;
    BodyInflater& operator=(const BodyInflater&) = delete;

    // Appends what `raw` decodes to onto `out`, never more than one byte past the limit in all.
    // False once the body has run past the limit or cannot be read, and from then on.
    bool add(QByteArrayView raw, QByteArray& out);
    // At the body's end: false when it cannot be read or an encoded body stopped short of its end.
    // An empty body is an empty one, whatever its encoding says.
    bool finish();

    // The encoding, lower case ("gzip"); empty for none.
    const QByteArray& encoding() const { return encoding_; }
    qint64 decoded() const { return decoded_; }
    bool isTooLong() const { return tooLong_; }
    // Why the body was refused, for the log; empty while it is not.
    const QString& problem() const { return problem_; }

private:
    struct Stream;
    bool start(QByteArrayView raw);
    bool fail(QString problem);
    bool failTooLong();

    QByteArray encoding_;
    qint64 limit_;
    qint64 decoded_ = 0;
    bool tooLong_ = false;
    bool ended_ = false;  // the encoded stream reached its end
    bool padding_ = false;  // zero bytes after a gzip member, which gzip(1) passes over
    QString problem_;
    QByteArray head_;  // the first bytes, held until there are enough to start the stream on
    std::unique_ptr<Stream> stream_;
};
