#include "Source/Features/Updates/ReleaseImageLoader.h"

#include "LogCapture.h"
#include "TestSupport.h"
#include "UpdateTestSupport.h"

#include <QBuffer>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace UpdateTestSupport;

namespace {

QByteArray png(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(QColor(200, 80, 40));
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

quint32 crc32(const QByteArray& data) {
    quint32 crc = 0xFFFFFFFF;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

// A small PNG whose header claims huge sides.
QByteArray claimedSize(QByteArray bytes, quint32 side) {
    const qsizetype ihdr = bytes.indexOf("IHDR");
    for (int i = 0; i < 4; ++i) {
        bytes[ihdr + 4 + i] = char(side >> (24 - 8 * i));
        bytes[ihdr + 8 + i] = char(side >> (24 - 8 * i));
    }
    const quint32 crc = crc32(bytes.mid(ihdr, 17));
    for (int i = 0; i < 4; ++i) bytes[ihdr + 17 + i] = char(crc >> (24 - 8 * i));
    return bytes;
}

class ReleaseImages : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.isListening());
        loader.setSslConfiguration(server.clientConfiguration());
    }
    // loaded (true), failed (false) or neither in time.
    std::optional<bool> outcome(const QUrl& url) {
        QSignalSpy ok(&loader, &ReleaseImageLoader::loaded), bad(&loader, &ReleaseImageLoader::failed);
        loader.load(url);
        TestSupport::waitFor([&] { return ok.count() + bad.count() > 0; }, 10000);
        if (ok.count()) return true;
        if (bad.count()) return false;
        return std::nullopt;
    }
    TestHttpsServer server;
    ReleaseImageLoader loader;
};

}  // namespace

TEST_F(ReleaseImages, AnHttpsPictureIsLoadedOnceAndKept) {
    server.serve("/1.png", {png(64, 32)});
    EXPECT_EQ(outcome(server.url("/1.png")), true);
    ASSERT_TRUE(loader.image(server.url("/1.png")));
    EXPECT_EQ(loader.image(server.url("/1.png"))->size(), QSize(64, 32));
    loader.load(server.url("/1.png"));
    TestSupport::spin(50);
    EXPECT_EQ(server.requests("/1.png"), 1);
}

TEST_F(ReleaseImages, PicturesNotOverHttpsOrTooLargeOrNotPicturesAreRefused) {
    QUrl plain = server.url("/1.png");
    plain.setScheme("http");
    server.serve("/1.png", {png(8, 8)});
    EXPECT_EQ(outcome(plain), false);
    EXPECT_EQ(outcome(QUrl("file:///etc/passwd")), false);
    EXPECT_EQ(server.requests("/1.png"), 0);

    const QByteArray huge = png(8, 8) + QByteArray(64 << 20, '\0');
    server.serve("/announced.png", {huge, 200, true, 64 * 1024});
    EXPECT_EQ(outcome(server.url("/announced.png")), false);
    EXPECT_LT(server.bodyBytesSent("/announced.png"), 16 << 20);
    server.serve("/streamed.png", {huge, 200, false, 64 * 1024});
    EXPECT_EQ(outcome(server.url("/streamed.png")), false);
    EXPECT_LT(server.bodyBytesSent("/streamed.png"), 24 << 20);

    server.serve("/bomb.png", {claimedSize(png(8, 8), 100000)});
    EXPECT_EQ(outcome(server.url("/bomb.png")), false);
    server.serve("/text.png", {"<html>not a picture</html>"});
    EXPECT_EQ(outcome(server.url("/text.png")), false);
    EXPECT_FALSE(loader.image(server.url("/text.png")));
}

// Qt inflated a compressed picture itself: one that inflates without end held its request until the
// transfer timed out, a minute later, with nothing in the log.
TEST_F(ReleaseImages, TheGuiThreadAnswersWhileAPictureThatInflatesWithoutEndIsRefused) {
    // A megabyte, well within the cap as sent.
    TestHttpsServer::Response bomb{gzipOfZeros(qint64(1) << 30), 200, true, 64 * 1024};
    bomb.headers = "Content-Encoding: gzip\r\n";
    server.serve("/bomb.png", bomb);
    const LogCapture log;
    TestSupport::GuiStallMeter meter;
    EXPECT_EQ(outcome(server.url("/bomb.png")), false);
    EXPECT_LT(meter.longestMs(), 100);
    EXPECT_EQ(log.matching({"/bomb.png not shown", "decodes to more than 8388608 bytes"}).size(), 1)
        << qPrintable(log.all().join('\n'));

    // A picture sent compressed, as servers may, is shown.
    TestHttpsServer::Response packed{gzip(png(64, 32))};
    packed.headers = "Content-Encoding: gzip\r\n";
    server.serve("/packed.png", packed);
    EXPECT_EQ(outcome(server.url("/packed.png")), true);
    ASSERT_TRUE(loader.image(server.url("/packed.png")));
    EXPECT_EQ(loader.image(server.url("/packed.png"))->size(), QSize(64, 32));
}

// A picture in an encoding that is not read held its request until the transfer timed out, and so did
// one whose body never came after headers that named such an encoding.
TEST_F(ReleaseImages, APictureInAnEncodingNotReadIsRefusedAtOnce) {
    TestHttpsServer::Response sent{gzip(png(64, 32)) + QByteArray(32 << 20, '\0'), 200, false, 64 * 1024};
    int n = 0;
    for (const bool headersOnly : {false, true})
        for (const char* encoding : {"br", "zstd", "compress", "gzip, gzip"}) {
            SCOPED_TRACE(std::string(encoding) + (headersOnly ? ", headers only" : ""));
            sent.headers = "Content-Encoding: " + QByteArray(encoding) + "\r\n";
            sent.headersOnly = headersOnly;
            const QString path = QStringLiteral("/encoded-%1.png").arg(++n);
            server.serve(path, sent);
            const LogCapture log;
            QSignalSpy bad(&loader, &ReleaseImageLoader::failed);
            loader.load(server.url(path));
            EXPECT_TRUE(TestSupport::waitFor([&] { return bad.count() > 0; }, 3000));
            const QString why = QStringLiteral("its %1 encoding is not one Quorvin reads").arg(encoding);
            EXPECT_EQ(log.matching({"not shown", why}).size(), 1) << qPrintable(log.all().join('\n'));
            EXPECT_FALSE(loader.image(server.url(path)));
        }
}
