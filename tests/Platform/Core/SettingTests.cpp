#include "Platform/Core/RawValues.h"
#include "Platform/Core/Setting.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

enum class Speed { slow, fast, light };
constexpr RawValues::Entry<Speed> speedRawValues[]{
    {Speed::slow, "slow"}, {Speed::fast, "fast"}, {Speed::light, "свет"}};
constexpr RawValues::Entry<Speed, double> speedSeconds[]{{Speed::slow, 10}, {Speed::fast, 0.5}};
QString speedRaw(Speed s) { return RawValues::rawValue(speedRawValues, s); }
std::optional<Speed> speedFromRaw(const QString& raw) { return RawValues::fromRawValue(speedRawValues, raw); }
using SpeedCodec = RawValueCodec<Speed, speedRaw, speedFromRaw>;

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};
QByteArray pointData(const Point& p) { return QJsonDocument(QJsonArray{p.x, p.y}).toJson(QJsonDocument::Compact); }
std::optional<Point> pointFromData(const QByteArray& bytes) {
    const QJsonDocument doc = QJsonDocument::fromJson(bytes);
    if (!doc.isArray() || doc.array().size() != 2) return std::nullopt;
    return Point{doc.array()[0].toInt(), doc.array()[1].toInt()};
}
using PointCodec = JsonDataCodec<Point, pointData, pointFromData>;

}  // namespace

TEST(Setting, NumbersAreHeldToTheirRangeAndWrongTypesReadAsTheDefault) {
    UserDefaults store{QString()};
    Setting<int> limit{store, "limit", 100, 1, 200};
    EXPECT_EQ(limit.value(), 100);  // absent
    EXPECT_FALSE(limit.isStored());
    store.setInteger("limit", 0);
    EXPECT_EQ(limit.value(), 1);
    store.setInteger("limit", 500);
    EXPECT_EQ(limit.value(), 200);
    store.setDouble("limit", 37.9);
    EXPECT_EQ(limit.value(), 37);
    store.setDouble("limit", -1e300);
    EXPECT_EQ(limit.value(), 1);
    store.setString("limit", "lots");
    EXPECT_EQ(limit.value(), 100);
    EXPECT_TRUE(limit.isStored());
    store.setBool("limit", true);
    EXPECT_EQ(limit.value(), 100);

    // Writes are held to the range too.
    limit.set(9999);
    EXPECT_EQ(store.integerValue("limit"), 200);
    limit.set(-4);
    EXPECT_EQ(store.integerValue("limit"), 1);
    limit.reset();
    EXPECT_FALSE(store.contains("limit"));

    Setting<double> tint{store, "tint", 0.55, 0.0, 1.0};
    store.setDouble("tint", 7);
    EXPECT_EQ(tint.value(), 1.0);
    store.setString("tint", "0.3");
    EXPECT_EQ(tint.value(), 0.55);

    Setting<bool> flag{store, "flag", true};
    store.setInteger("flag", 0);
    EXPECT_TRUE(flag.value());
    store.setBool("flag", false);
    EXPECT_FALSE(flag.value());

    Setting<QString> name{store, "name", QStringLiteral("system")};
    store.setInteger("name", 3);
    EXPECT_EQ(name.value(), "system");
}

TEST(Setting, ListsChoicesAndDataReadAsTheDefaultWhenTheyDoNotDecode) {
    UserDefaults store{QString()};
    Setting<QStringList> strict{store, "apps", {}};
    Setting<QStringList, TextElementsCodec> lenient{store, "apps", {}};
    store.set("apps", QJsonArray{"a.desktop", 1, "b.desktop"});
    EXPECT_EQ(strict.value(), QStringList());
    EXPECT_EQ(lenient.value(), (QStringList{"a.desktop", "b.desktop"}));
    strict.set({"c.desktop"});
    EXPECT_EQ(store.stringArray("apps"), QStringList{"c.desktop"});

    Setting<Speed, SpeedCodec> speed{store, "speed", Speed::slow};
    store.setString("speed", "fast");
    EXPECT_EQ(speed.value(), Speed::fast);
    store.setString("speed", "warp");
    EXPECT_EQ(speed.value(), Speed::slow);
    store.setDouble("speed", 1);
    EXPECT_EQ(speed.value(), Speed::slow);
    speed.set(Speed::fast);
    EXPECT_EQ(store.string("speed"), QString("fast"));
    // Raw values are UTF-8 texts or numbers, read both ways from one table.
    speed.set(Speed::light);
    EXPECT_EQ(store.string("speed"), QString("свет"));
    EXPECT_EQ(speed.value(), Speed::light);
    EXPECT_EQ(RawValues::rawValue(speedSeconds, Speed::fast), 0.5);
    EXPECT_EQ(RawValues::fromRawValue(speedSeconds, 10.0), Speed::slow);
    EXPECT_EQ(RawValues::fromRawValue(speedSeconds, 2.0), std::nullopt);

    Setting<Point, PointCodec> point{store, "point", Point{1, 2}};
    point.set(Point{5, 6});
    EXPECT_EQ(store.data("point"), QByteArray("[5,6]"));
    EXPECT_EQ(point.value(), (Point{5, 6}));
    store.setData("point", "{\"x\":1}");  // valid data, not a point
    EXPECT_EQ(point.value(), (Point{1, 2}));
    store.setString("point", "***");  // not base64
    EXPECT_EQ(point.value(), (Point{1, 2}));
}

TEST(Setting, SignalsOncePerChangeOfTheValueRead) {
    UserDefaults store{QString()};
    Setting<int> limit{store, "limit", 100, 1, 200};
    Setting<int> other{store, "other", 0};
    QSignalSpy spy(&limit, &SettingBase::changed);

    limit.set(100);  // stored now, but reads as before
    EXPECT_EQ(spy.count(), 0);
    limit.set(50);
    limit.set(50);
    EXPECT_EQ(spy.count(), 1);
    store.setInteger("limit", 500);
    store.setInteger("limit", 600);  // both read as 200
    EXPECT_EQ(spy.count(), 2);
    store.setString("limit", "lots");  // reads as the default
    store.remove("limit");             // still the default
    EXPECT_EQ(spy.count(), 3);
    other.set(7);
    EXPECT_EQ(spy.count(), 3);
}

TEST(Setting, StoresAreIsolatedAndAWriteFromAnotherThreadSignalsOnTheSettingsThread) {
    UserDefaults first{QString()};
    UserDefaults second{QString()};
    Setting<bool> a{first, "flag", false};
    Setting<bool> b{second, "flag", false};
    QSignalSpy spyA(&a, &SettingBase::changed);
    QSignalSpy spyB(&b, &SettingBase::changed);
    a.set(true);
    EXPECT_TRUE(a.value());
    EXPECT_FALSE(b.value());
    EXPECT_FALSE(second.contains("flag"));
    EXPECT_EQ(spyA.count(), 1);
    EXPECT_EQ(spyB.count(), 0);

    QThread* signalledOn = nullptr;
    QObject::connect(&b, &SettingBase::changed, &b, [&signalledOn] { signalledOn = QThread::currentThread(); });
    std::thread writer([&second] { second.setBool("flag", true); });
    writer.join();
    EXPECT_TRUE(b.value());  // readable at once from here
    ASSERT_TRUE(TestSupport::waitFor([&] { return spyB.count() == 1; }));
    EXPECT_EQ(signalledOn, QThread::currentThread());
}
