#include "Source/Features/Updates/ReleaseNotes.h"
#include "Source/Features/Updates/UpdateFeed.h"
#include "Source/Features/Updates/UpdateManager.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const char* const validFeed = R"({
  "latest": {"version": "2.0", "build": 40, "url": "https://example.test/Quorvin-2.0.zip",
             "signature": "c2ln", "length": 1234, "channel": "beta"},
  "releases": [
    {"version": "2.0", "date": "May 2027", "notes": ["New", "Better"], "image": "https://example.test/2.png"},
    {"version": "1.9", "date": "April 2027", "notes": [], "image": null, "extra": 1}
  ]
})";

Release release(const QString& version, const QString& date = QStringLiteral("d"), QStringList notes = {},
                std::optional<QUrl> image = std::nullopt) {
    return Release{version, date, std::move(notes), std::move(image)};
}

QStringList versions(const QList<Release>& list) {
    QStringList out;
    for (const Release& r : list) out << r.version;
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

}  // namespace

TEST(UpdateFeedTests, DecodesEveryFieldAndIgnoresUnknownKeys) {
    const auto feed = UpdateFeed::decode(validFeed);
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->latest.version, "2.0");
    EXPECT_EQ(feed->latest.build, 40);
    EXPECT_EQ(feed->latest.url, QUrl("https://example.test/Quorvin-2.0.zip"));
    EXPECT_EQ(feed->latest.signature, "c2ln");
    EXPECT_EQ(feed->latest.length, 1234);
    ASSERT_EQ(feed->releases.size(), 2);
    EXPECT_EQ(feed->releases[0].notes, (QStringList{"New", "Better"}));
    EXPECT_EQ(feed->releases[0].image, QUrl("https://example.test/2.png"));
    EXPECT_TRUE(feed->releases[1].notes.isEmpty());
    EXPECT_FALSE(feed->releases[1].image.has_value());  // null is no image

    // What it encodes decodes to the same feed.
    EXPECT_EQ(UpdateFeed::decode(feed->encode()), feed);
}

TEST(UpdateFeedTests, OneBadValueAnywhereRejectsTheWholeDocument) {
    const std::pair<const char*, const char*> cases[] = {
        {"release without notes",
         R"({"latest":{"version":"2","build":2,"url":"https://a.test/x.zip","signature":"s","length":1},
             "releases":[{"version":"2","date":"d"}]})"},
        {"build as text",
         R"({"latest":{"version":"2","build":"2","url":"https://a.test/x.zip","signature":"s","length":1},"releases":[]})"},
        {"length with a fraction",
         R"({"latest":{"version":"2","build":2,"url":"https://a.test/x.zip","signature":"s","length":1.5},"releases":[]})"},
        {"build beyond 64 bits",
         R"({"latest":{"version":"2","build":18446744073709551615,"url":"https://a.test/x.zip","signature":"s","length":1},
             "releases":[]})"},
        {"url that is no URL",
         R"({"latest":{"version":"2","build":2,"url":"https://a test/%zz","signature":"s","length":1},"releases":[]})"},
        {"empty url", R"({"latest":{"version":"2","build":2,"url":"","signature":"s","length":1},"releases":[]})"},
        {"note that is a number",
         R"({"latest":{"version":"2","build":2,"url":"https://a.test/x.zip","signature":"s","length":1},
             "releases":[{"version":"2","date":"d","notes":["a",3]}]})"},
        {"image that is no URL",
         R"({"latest":{"version":"2","build":2,"url":"https://a.test/x.zip","signature":"s","length":1},
             "releases":[{"version":"2","date":"d","notes":[],"image":"ht tp://"}]})"},
        {"no releases", R"({"latest":{"version":"2","build":2,"url":"https://a.test/x.zip","signature":"s","length":1}})"},
        {"no latest", R"({"releases":[]})"},
        {"array at the top", R"([])"},
        {"an HTML error page", "<html><body>502 Bad Gateway</body></html>"},
        {"nested without end", "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]"
                               "]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]]"},
    };
    for (const auto& [name, text] : cases) EXPECT_FALSE(UpdateFeed::decode(text)) << name;
}

TEST(UpdateFeedTests, BuiltInNotesAreAnArrayDecodedAllOrNothing) {
    EXPECT_EQ(Release::decodeList(R"([{"version":"1.0","date":"d","notes":["a"]}])")->size(), 1);
    EXPECT_FALSE(Release::decodeList(R"([{"version":"1.0","date":"d","notes":["a"]},{"version":"1.1"}])"));
    EXPECT_FALSE(Release::decodeList(validFeed));
}

TEST(UpdateFeedTests, ReleasesAreEqualAndHashAlikeOnlyWhenAllFourFieldsAre) {
    const Release a = release("1.0", "d", {"x", "y"}, QUrl("https://a.test/i.png"));
    EXPECT_EQ(a, a);
    EXPECT_EQ(qHash(a), qHash(Release(a)));
    EXPECT_NE(a, release("1.0", "d", {"y", "x"}, QUrl("https://a.test/i.png")));
    EXPECT_NE(a, release("1.0", "d", {"x", "y"}));
    EXPECT_NE(release("1.0", "d", {"x", "y"}), release("1.0", "d", {"x", "y"}, QUrl("")));
    EXPECT_EQ(release("1.0"), release("1.0"));
}

TEST(UpdateFeedTests, VersionsCompareWithDigitRunsAsNumbers) {
    using ReleaseNotes::compareVersions;
    EXPECT_GT(compareVersions("2.10", "2.9"), 0);
    EXPECT_GT(compareVersions("1.10.0", "1.9.5"), 0);
    EXPECT_GT(compareVersions("10.0", "9.10"), 0);
    EXPECT_LT(compareVersions("1.0", "1.0.1"), 0);
    EXPECT_GT(compareVersions("1.0b", "1.0a"), 0);
    EXPECT_EQ(compareVersions("1.01", "1.1"), 0);
    EXPECT_GT(compareVersions("99999999999999999999999.1", "9999999999999999999999.1"), 0);  // beyond 64 bits
    EXPECT_EQ(compareVersions("", ""), 0);
}

TEST(UpdateFeedTests, MergeReplacesWholeRecordsByVersionAndSortsNewestFirst) {
    const QList<Release> builtIn = {release("1.0", "Jan", {"first"}), release("1.1", "Feb", {"old"}, QUrl("https://a.test/1.png"))};
    const QList<Release> fetched = {release("1.1", "Feb", {"new text"}), release("1.2", "Mar", {"third"})};
    const QList<Release> merged = UpdateManager::merge(builtIn, fetched);
    EXPECT_EQ(versions(merged), (QStringList{"1.2", "1.1", "1.0"}));
    EXPECT_EQ(merged[1].notes, QStringList{"new text"});
    EXPECT_FALSE(merged[1].image.has_value());  // the fetched record has no image: the built-in one's is gone

    // Within one list the last record of a version wins.
    const QList<Release> twice = UpdateManager::merge({release("1.0", "a"), release("1.0", "b")}, {});
    ASSERT_EQ(twice.size(), 1);
    EXPECT_EQ(twice[0].date, "b");

    EXPECT_EQ(versions(UpdateManager::merge({release("9.5"), release("10.0")}, {release("9.10")})),
              (QStringList{"10.0", "9.10", "9.5"}));
    EXPECT_TRUE(UpdateManager::merge({}, {}).isEmpty());
    // Versions that compare as equal keep one order, whichever list they come from.
    EXPECT_EQ(versions(UpdateManager::merge({release("1.01")}, {release("1.1")})),
              versions(UpdateManager::merge({release("1.1")}, {release("1.01")})));
}

TEST(UpdateFeedTests, ManagerStartsFromBuiltInNotesAndTheCachedFeedOnly) {
    QTemporaryDir dir;
    const QString changelog = dir.filePath("Changelog.json");
    const QString cache = dir.filePath("feed.json");
    ASSERT_TRUE(writeFile(changelog, R"([{"version":"1.0","date":"d","notes":["a"]},{"version":"1.1","date":"d","notes":["b"]}])"));
    ASSERT_TRUE(writeFile(cache, validFeed));
    UpdateManager::Environment env{Bundle::forExecutable({}), changelog, cache};
    const auto loaded = [](const UpdateManager::Environment& e) {
        auto manager = std::make_unique<UpdateManager>(e);
        EXPECT_TRUE(TestSupport::waitFor([&] { return manager->notesLoaded(); }));
        return manager;
    };
    EXPECT_EQ(versions(loaded(env)->releases()), (QStringList{"2.0", "1.9", "1.1", "1.0"}));
    // A damaged cache gives no cached notes; a damaged built-in file no built-in ones.
    ASSERT_TRUE(writeFile(cache, "{\"latest\":"));
    EXPECT_EQ(versions(loaded(env)->releases()), (QStringList{"1.1", "1.0"}));
    ASSERT_TRUE(writeFile(changelog, "{}"));
    EXPECT_TRUE(loaded(env)->releases().isEmpty());
    // Neither file: nothing.
    EXPECT_TRUE(loaded({Bundle::forExecutable({}), dir.filePath("none"), dir.filePath("none2")})->releases().isEmpty());
}

// The kept feed is decoded again at every start: a long one must not take the callback parser's
// quadratic time, and only the newest notes are kept.
TEST(UpdateFeedTests, ALongFeedDecodesInOnePassAndNestingIsStillCapped) {
    QByteArray body = R"({"latest":{"version":"2.0","build":40,"url":"https://a.test/x.zip","signature":"s","length":1},
"releases":[)";
    for (int i = 0; i < 60000; ++i)
        body +=
            (i ? "," : "") + QByteArray(R"({"version":"1.)") + QByteArray::number(i) + R"(","date":"d","notes":["n"]})";
    body += "]}";
    ASSERT_LT(body.size(), UpdateManager::largestFeed);
    const auto feed = UpdateFeed::decode(body);
    ASSERT_TRUE(feed);
    EXPECT_EQ(feed->releases.size(), 60000);
    const QList<Release> kept = UpdateManager::mergeKept({release("0.9")}, feed->releases);
    ASSERT_EQ(kept.size(), UpdateManager::mostReleases);
    EXPECT_EQ(kept.front().version, "1.59999");
    EXPECT_EQ(kept.back().version, QStringLiteral("1.%1").arg(60000 - UpdateManager::mostReleases));

    // Brackets and escaped quotes inside strings do not nest; eight levels do, a ninth is refused.
    const QByteArray head =
        R"({"latest":{"version":"2","build":2,"url":"https://a.test/x.zip","signature":"s","length":1},
"releases":[{"version":"2","date":"d","notes":["[[[[[[[[[[{{{{{{{{{\"[[[[[["],"extra":)";
    EXPECT_TRUE(UpdateFeed::decode(head + "[[[[[1]]]]]}]}"));
    EXPECT_FALSE(UpdateFeed::decode(head + "[[[[[[1]]]]]]}]}"));
    EXPECT_FALSE(UpdateFeed::decode("]]]]]]]][[[[[[[[[[[[[[[[[1]]]]]]]]]]]]]]]]"));
}

TEST(UpdateFeedTests, CacheKeepsTheExactBytesOfTheBody) {
    QTemporaryDir dir;
    const QString cache = dir.filePath("Updates/feed.json");
    QDir().mkpath(dir.filePath("Updates"));
    const QByteArray body = QByteArray(validFeed) + "\n\n   ";
    ASSERT_TRUE(ReleaseNotes::writeCache(cache, body));
    QFile f(cache);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), body);
    EXPECT_EQ(ReleaseNotes::readCachedReleases(cache).size(), 2);
}

TEST(UpdateFeedTests, ShippedChangelogDecodes) {
    const QList<Release> shipped = ReleaseNotes::readBuiltIn(QStringLiteral(":/Changelog.json"));
    ASSERT_FALSE(shipped.isEmpty());
    EXPECT_EQ(shipped.first().version, QStringLiteral(QUORVIN_VERSION));
}
