#pragma once

#include "Source/Features/Updates/BodyInflater.h"

#include <QByteArray>
#include <QString>

#include <memory>

class QNetworkReply;

// A small answer (a feed, a picture) read whole as it arrives, its encoding undone by a
// BodyInflater, and refused as soon as what the server sent or what that decodes to passes the limit.
class ReplyBody {
public:
    explicit ReplyBody(qint64 limit) : limit_(limit) {}

    // Stops `reply`, any reply whose body a BodyInflater reads, as soon as the headers of its final
    // answer name an encoding that is not read: its body would be refused, and none need arrive.
    static void stopOnUnreadEncoding(QNetworkReply* reply);

    // Reads what has arrived; aborts the reply once the body is refused.
    void read(QNetworkReply* reply);
    // When the reply has finished: reads the rest and says why the body is refused, empty when it
    // is not. `whole`: the transfer was not cut short, so an encoded body must have reached its end.
    QString end(QNetworkReply* reply, bool whole);
    QByteArray take() { return std::move(body_); }

private:
    qint64 limit_;
    qint64 sent_ = 0;
    QByteArray body_;
    std::unique_ptr<BodyInflater> inflater_;
};
