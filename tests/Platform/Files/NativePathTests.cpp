#include "Platform/Files/NativePath.h"
#include "Platform/Files/UserFolders.h"

#include <QUrl>

#include <gtest/gtest.h>

namespace {

// Any bytes come back as they were; only invalid UTF-8 is carried as escapes, and a real U+FFFD
// stays a different name from a byte it stands in for.
TEST(NativePath, CarriesAnyBytesAndShowsTheBadOnesAsReplacementCharacters) {
    const QString fffd(QChar::ReplacementCharacter);
    const struct {
        QByteArray bytes;
        QString shown;
    } cases[] = {
        {"/home/u/plain", "/home/u/plain"},
        {"/caf\xc3\xa9/\xf0\x9f\x98\x80", QString::fromUtf8("/caf\xc3\xa9/\xf0\x9f\x98\x80")},
        {"/app\xff", "/app" + fffd},
        {"/app\xef\xbf\xbd", "/app" + fffd},
        {"/\xc3", "/" + fffd},  // cut short
        {"/\xc0\xaf", "/" + fffd + fffd},  // overlong "/"
        {"/\xed\xa0\x80", "/" + fffd + fffd + fffd},  // an encoded surrogate
        {"/\xf4\x90\x80\x80", "/" + fffd + fffd + fffd + fffd},  // beyond U+10FFFF
        {"/\xf0\x9f\x98\x80\xff", QString::fromUtf8("/\xf0\x9f\x98\x80") + fffd},
        // U+1F0A1: its second half, U+DCA1, is in the range that carries a lone byte.
        {"/cards/\xf0\x9f\x82\xa1.txt", QString::fromUtf8("/cards/\xf0\x9f\x82\xa1.txt")},
        {"/cards/\xff\xf0\x9f\x82\xa1", "/cards/" + fffd + QString::fromUtf8("\xf0\x9f\x82\xa1")},
        {"/cards/\xf0\x9f\x82\xa1\xff\xf0\x9f\x83\xbf",
         QString::fromUtf8("/cards/\xf0\x9f\x82\xa1") + fffd + QString::fromUtf8("\xf0\x9f\x83\xbf")},
    };
    for (const auto& c : cases) {
        const QString path = NativePath::decode(c.bytes);
        EXPECT_EQ(NativePath::encode(path), c.bytes) << c.bytes.toHex().constData();
        EXPECT_EQ(NativePath::displayed(path), c.shown) << c.bytes.toHex().constData();
        EXPECT_EQ(NativePath::fromFileUrl(NativePath::fileUrl(path)), path) << c.bytes.toHex().constData();
    }
    EXPECT_NE(NativePath::decode("/app\xff"), NativePath::decode("/app\xef\xbf\xbd"));
    for (int byte = 0x80; byte <= 0xff; ++byte) {
        const QByteArray bytes = "/a" + QByteArray(1, char(byte)) + "b";
        EXPECT_EQ(NativePath::encode(NativePath::decode(bytes)), bytes) << byte;
    }
}

// File URLs: what QUrl wrote before still reads, and a byte that is not UTF-8 is percent-encoded
// so that a reader that knows nothing of it still gets a file URL.
TEST(NativePath, FileUrlsOfExactBytes) {
    const QString plain = QString::fromUtf8("/a b/caf\xc3\xa9/100%/#?");
    EXPECT_EQ(NativePath::fileUrl(plain), QUrl::fromLocalFile(plain).toString(QUrl::FullyEncoded));
    EXPECT_EQ(NativePath::fromFileUrl(QUrl::fromLocalFile(plain).toString(QUrl::FullyEncoded)), plain);

    const QString odd = NativePath::decode("/x y/app\xff");
    EXPECT_EQ(NativePath::fileUrl(odd), "file:///x%20y/app%FF");
    EXPECT_EQ(NativePath::fileUrl(QString::fromUtf8("/cards/\xf0\x9f\x82\xa1.txt")), "file:///cards/%F0%9F%82%A1.txt");
    EXPECT_EQ(NativePath::fileUrl(NativePath::decode("/cards/\xf0\x9f\x82\xa1\xff")), "file:///cards/%F0%9F%82%A1%FF");
    EXPECT_TRUE(QUrl("file:///x%20y/app%FF", QUrl::StrictMode).isLocalFile());
    EXPECT_FALSE(NativePath::fromFileUrl("https://example.com/a"));
    EXPECT_FALSE(NativePath::fromFileUrl("/no/scheme"));
}

// The home and XDG folders are taken by their bytes; an XDG value that is empty or relative is
// passed over for the one under the home folder.
TEST(UserFolders, ReadTheEnvironmentByItsBytesAndPassOverRelativeOrEmptyValues) {
    const char* const names[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"};
    QByteArray saved[4];
    bool wasSet[4];
    for (int i = 0; i < 4; ++i) {
        wasSet[i] = qEnvironmentVariableIsSet(names[i]);
        saved[i] = qgetenv(names[i]);
    }
    const struct {
        QByteArray home, config, data, cache;
        QByteArray wantHome, wantConfig, wantData, wantCache;
    } rows[] = {
        {"/home/caf\xff", "/x/caf\xff/", "/y/caf\xef\xbf\xbd", "/z//cache",  //
         "/home/caf\xff", "/x/caf\xff", "/y/caf\xef\xbf\xbd", "/z/cache"},
        {"/home/caf\xff/", "", "relative/data", "./cache",  //
         "/home/caf\xff", "/home/caf\xff/.config", "/home/caf\xff/.local/share", "/home/caf\xff/.cache"},
        {"", "", "", "", "/", "/.config", "/.local/share", "/.cache"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.home.toHex().constData());
        qputenv("HOME", row.home);
        qputenv("XDG_CONFIG_HOME", row.config);
        qputenv("XDG_DATA_HOME", row.data);
        qputenv("XDG_CACHE_HOME", row.cache);
        EXPECT_EQ(NativePath::encode(UserFolders::home()), row.wantHome);
        EXPECT_EQ(NativePath::encode(UserFolders::configHome()), row.wantConfig);
        EXPECT_EQ(NativePath::encode(UserFolders::dataHome()), row.wantData);
        EXPECT_EQ(NativePath::encode(UserFolders::cacheHome()), row.wantCache);
    }
    for (int i = 0; i < 4; ++i) {
        if (wasSet[i])
            qputenv(names[i], saved[i]);
        else
            qunsetenv(names[i]);
    }
}

}  // namespace
