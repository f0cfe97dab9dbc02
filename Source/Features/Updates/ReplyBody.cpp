#include "Source/Features/Updates/ReplyBody.h"

#include <QNetworkReply>

void ReplyBody::stopOnUnreadEncoding(QNetworkReply* reply) {
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [reply] {
        // A redirect's own headers say nothing of the answer it leads to.
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 300 && status < 400) return;
        if (!BodyInflater::reads(reply->rawHeader("Content-Encoding")) && !reply->isFinished()) reply->abort();
    });
}

void ReplyBody::read(QNetworkReply* reply) {
    if (!inflater_) inflater_ = std::make_unique<BodyInflater>(reply->rawHeader("Content-Encoding"), limit_);
    if (sent_ <= limit_ && inflater_->problem().isEmpty()) {
        const QByteArray raw = reply->readAll();
        sent_ += raw.size();
        if (sent_ <= limit_ && inflater_->add(raw, body_)) return;
    }
    // Refused, from its first bytes on when its encoding is not one we read: nothing would read the rest.
    if (!reply->isFinished()) reply->abort();
}

QString ReplyBody::end(QNetworkReply* reply, bool whole) {
    read(reply);
    if (sent_ > limit_) return QStringLiteral("it is longer than %1 bytes").arg(limit_);
    if (inflater_->problem().isEmpty() && whole) inflater_->finish();
    return inflater_->problem();
}
