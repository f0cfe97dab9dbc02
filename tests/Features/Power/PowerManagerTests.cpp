// Keep-awake against fake inhibitor services on a private session bus: a dbus-daemon of each
// test's own, so that tests running side by side never meet each other's services.
#include "Platform/Core/Clock.h"
#include "Platform/Desktop/DBusSleepInhibitor.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Power/PowerManager.h"
#include "TestSupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMutex>
#include <QMutexLocker>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

// What the fake services were asked, across threads.
struct CallLog {
    QMutex mutex;
    QStringList calls;
    uint nextCookie = 1000;

    uint grant(const QString& call) {
        QMutexLocker lock(&mutex);
        const uint cookie = ++nextCookie;
        calls << QStringLiteral("%1 -> %2").arg(call).arg(cookie);
        return cookie;
    }
    void note(const QString& call) {
        QMutexLocker lock(&mutex);
        calls << call;
    }
    QStringList all() {
        QMutexLocker lock(&mutex);
        return calls;
    }
};

class FakeScreenSaver : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    explicit FakeScreenSaver(CallLog* log) : log_(log) {}
public slots:
    uint Inhibit(const QString& app, const QString& reason) {
        return log_->grant(QStringLiteral("ScreenSaver.Inhibit %1|%2").arg(app, reason));
    }
    void UnInhibit(uint cookie) { log_->note(QStringLiteral("ScreenSaver.UnInhibit %1").arg(cookie)); }

private:
    CallLog* log_;
};

class FakeGnomeSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.SessionManager")
public:
    explicit FakeGnomeSession(CallLog* log) : log_(log) {}
public slots:
    uint Inhibit(const QString& app, uint xid, const QString& reason, uint flags) {
        return log_->grant(QStringLiteral("Gnome.Inhibit %1|%2|%3|%4").arg(app).arg(xid).arg(reason).arg(flags));
    }
    void Uninhibit(uint cookie) { log_->note(QStringLiteral("Gnome.Uninhibit %1").arg(cookie)); }

private:
    CallLog* log_;
};

class FakePowerManagement : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.PowerManagement.Inhibit")
public:
    explicit FakePowerManagement(CallLog* log) : log_(log) {}
public slots:
    uint Inhibit(const QString& app, const QString& reason) {
        return log_->grant(QStringLiteral("PM.Inhibit %1|%2").arg(app, reason));
    }
    void UnInhibit(uint cookie) { log_->note(QStringLiteral("PM.UnInhibit %1").arg(cookie)); }

private:
    CallLog* log_;
};

// A session bus daemon for one test.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--nopidfile", "--print-address=1"});
        if (!daemon_.waitForStarted(5000)) return;
        while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon_.kill();
        daemon_.waitForFinished();
    }
    QString address() const { return address_; }
    // A new connection to the daemon under a fresh name.
    QDBusConnection connect() {
        return QDBusConnection::connectToBus(address_, QStringLiteral("power-test-%1").arg(++counter_));
    }

private:
    static inline int counter_ = 0;
    QProcess daemon_;
    QString address_;
};

// Runs fake services on their own bus connection and thread, so that they answer even while
// the GUI thread waits for a reply.
class ServiceHost {
public:
    enum Service { screenSaver = 1, gnome = 2, powerManagement = 4 };

    ServiceHost(PrivateBus& privateBus, int services) {
        thread_.start();
        QDBusConnection bus = privateBus.connect();
        name_ = bus.name();
        auto add = [&](QObject* object, const QString& service, const QString& path) {
            object->moveToThread(&thread_);
            objects_.emplace_back(object);
            EXPECT_TRUE(bus.registerObject(path, object, QDBusConnection::ExportAllSlots));
            EXPECT_TRUE(bus.registerService(service)) << service.toStdString();
            services_ << service;
        };
        if (services & screenSaver) {
            add(new FakeScreenSaver(&log), "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver");
        }
        if (services & gnome) {
            add(new FakeGnomeSession(&log), "org.gnome.SessionManager", "/org/gnome/SessionManager");
        }
        if (services & powerManagement) {
            add(new FakePowerManagement(&log), "org.freedesktop.PowerManagement",
                "/org/freedesktop/PowerManagement/Inhibit");
        }
    }
    ~ServiceHost() {
        QDBusConnection bus(name_);
        for (const QString& service : services_) bus.unregisterService(service);
        QDBusConnection::disconnectFromBus(name_);
        thread_.quit();
        thread_.wait();
        objects_.clear();
    }

    CallLog log;

private:
    QString name_;
    QStringList services_;
    QThread thread_;
    std::vector<std::unique_ptr<QObject>> objects_;
};

class PowerManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(bus.address().isEmpty()) << "Could not start a D-Bus daemon (is dbus-daemon installed?).";
        client = bus.connect();
        ASSERT_TRUE(client.isConnected()) << "Could not connect to the private D-Bus daemon.";
    }
    void TearDown() override { QDBusConnection::disconnectFromBus(client.name()); }
    std::unique_ptr<PowerManager> make(double secondsPerMinute = 60.0, bool useSystemBus = false) {
        auto* inhibitor = new DBusSleepInhibitor(client, useSystemBus);
        inhibitor_ = inhibitor;
        return std::make_unique<PowerManager>(std::unique_ptr<SleepInhibitor>(inhibitor), defaults,
                                              secondsPerMinute);
    }
    static bool waitActive(PowerManager& power) {
        return TestSupport::waitFor([&] { return power.isActive(); });
    }
    PrivateBus bus;
    QDBusConnection client{QString()};
    UserDefaults defaults{QString{}};
    DBusSleepInhibitor* inhibitor_ = nullptr;
};

QString cookieOf(const QString& call) { return call.section(QStringLiteral(" -> "), 1); }

}  // namespace

TEST_F(PowerManagerTest, SystemModeHoldsASuspendInhibitorUntilSwitchedOff) {
    ServiceHost host(bus, ServiceHost::gnome | ServiceHost::screenSaver);
    auto power = make();
    QSignalSpy changed(power.get(), &PowerManager::stateChanged);
    EXPECT_EQ(power->mode(), PowerManager::Mode::system);
    power->activate();
    EXPECT_TRUE(power->isPending());
    EXPECT_FALSE(power->isActive());
    ASSERT_TRUE(waitActive(*power));
    EXPECT_FALSE(power->expiresAt().has_value());
    ASSERT_EQ(host.log.all().size(), 1);
    const QString inhibit = host.log.all().front();
    EXPECT_TRUE(inhibit.startsWith("Gnome.Inhibit Quorvin|0|Keep awake is on|4 -> ")) << inhibit.toStdString();

    power->deactivate();
    EXPECT_FALSE(power->isActive());
    ASSERT_TRUE(TestSupport::waitFor([&] { return host.log.all().size() == 2; }));
    EXPECT_EQ(host.log.all()[1], "Gnome.Uninhibit " + cookieOf(inhibit));
    EXPECT_GE(changed.count(), 3);  // pending, on, off
}

TEST_F(PowerManagerTest, DisplayModeAsksTheScreenSaverAndReleasesThatCookie) {
    ServiceHost host(bus, ServiceHost::screenSaver | ServiceHost::gnome);
    defaults.setString("preventSleepMode", "display");
    auto power = make();
    power->toggle();
    ASSERT_TRUE(waitActive(*power));
    const QString inhibit = host.log.all().value(0);
    EXPECT_TRUE(inhibit.startsWith("ScreenSaver.Inhibit Quorvin|Keep awake is on -> ")) << inhibit.toStdString();
    EXPECT_EQ(inhibitor_->apiOf(1), DBusSleepInhibitor::Api::screenSaver);
    power->toggle();
    ASSERT_TRUE(TestSupport::waitFor([&] { return host.log.all().size() == 2; }));
    EXPECT_EQ(host.log.all()[1], "ScreenSaver.UnInhibit " + cookieOf(inhibit));
}

TEST_F(PowerManagerTest, FallsBackAcrossServices) {
    {
        // Only the GNOME session: the display mode asks it for idle and suspend.
        ServiceHost host(bus, ServiceHost::gnome);
        defaults.setString("preventSleepMode", "display");
        auto power = make();
        power->activate();
        ASSERT_TRUE(waitActive(*power));
        EXPECT_TRUE(host.log.all().value(0).startsWith("Gnome.Inhibit Quorvin|0|Keep awake is on|12 -> "));
        power->prepareForQuit();
    }
    {
        // Only the power-management service: enough for the system mode.
        ServiceHost host(bus, ServiceHost::powerManagement);
        defaults.setString("preventSleepMode", "system");
        auto power = make();
        power->activate();
        ASSERT_TRUE(waitActive(*power));
        EXPECT_TRUE(host.log.all().value(0).startsWith("PM.Inhibit Quorvin|Keep awake is on -> "));
        power->prepareForQuit();
        EXPECT_EQ(host.log.all().value(1), "PM.UnInhibit " + cookieOf(host.log.all().value(0)));
    }
    {
        // Only the screen saver: holding it off keeps the system awake too.
        ServiceHost host(bus, ServiceHost::screenSaver);
        auto power = make();
        power->activate();
        ASSERT_TRUE(waitActive(*power));
        EXPECT_TRUE(host.log.all().value(0).startsWith("ScreenSaver.Inhibit"));
        power->prepareForQuit();
    }
}

TEST_F(PowerManagerTest, WithoutAnyServiceItReportsUnavailableNeverOn) {
    auto power = make();
    power->activate();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !power->isPending(); }));
    EXPECT_FALSE(power->isActive());
    EXPECT_TRUE(power->isUnavailable());

    // The power-management service cannot keep a display on.
    ServiceHost host(bus, ServiceHost::powerManagement);
    defaults.setString("preventSleepMode", "display");
    power->activate();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !power->isPending(); }));
    EXPECT_FALSE(power->isActive());
    EXPECT_TRUE(power->isUnavailable());
    EXPECT_TRUE(host.log.all().isEmpty());
}

TEST_F(PowerManagerTest, ExpiresAfterTheChosenMinutes) {
    ServiceHost host(bus, ServiceHost::gnome);
    auto clock = std::make_shared<FakeClock>();
    Clock::setShared(clock);
    defaults.setInteger("preventSleepMinutes", 2);
    auto power = make(/*secondsPerMinute=*/0.1);  // two "minutes" are 0.2 s
    power->activate();
    ASSERT_TRUE(waitActive(*power));
    ASSERT_TRUE(power->expiresAt().has_value());
    EXPECT_EQ(*power->expiresAt(), clock->now().addSecs(120));
    TestSupport::spin(50);
    EXPECT_TRUE(power->isActive());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !power->isActive(); }, 3000));
    EXPECT_FALSE(power->expiresAt().has_value());
    ASSERT_TRUE(TestSupport::waitFor([&] { return host.log.all().size() == 2; }));
    EXPECT_EQ(host.log.all()[1], "Gnome.Uninhibit " + cookieOf(host.log.all()[0]));
    Clock::setShared(nullptr);
}

TEST_F(PowerManagerTest, QuitReleasesBeforeReturning) {
    ServiceHost host(bus, ServiceHost::screenSaver);
    auto power = make();
    power->activate();
    ASSERT_TRUE(waitActive(*power));
    power->prepareForQuit();
    EXPECT_FALSE(power->isActive());
    // No event processing in between: the release reached the service already.
    ASSERT_EQ(host.log.all().size(), 2);
    EXPECT_EQ(host.log.all()[1], "ScreenSaver.UnInhibit " + cookieOf(host.log.all()[0]));
}

TEST_F(PowerManagerTest, SwitchingOffWhileAskingReleasesTheLateGrant) {
    ServiceHost host(bus, ServiceHost::gnome);
    auto power = make();
    power->activate();
    power->deactivate();
    EXPECT_FALSE(power->isPending());
    ASSERT_TRUE(TestSupport::waitFor([&] { return host.log.all().size() == 2; }));
    EXPECT_EQ(host.log.all()[1], "Gnome.Uninhibit " + cookieOf(host.log.all()[0]));
    EXPECT_FALSE(power->isActive());
}

TEST_F(PowerManagerTest, ChangingTheModeWhileOnSwapsTheInhibitor) {
    ServiceHost host(bus, ServiceHost::gnome | ServiceHost::screenSaver);
    auto power = make();
    power->activate();
    ASSERT_TRUE(waitActive(*power));
    const QString first = host.log.all().value(0);
    defaults.setString("preventSleepMode", "display");
    ASSERT_TRUE(waitActive(*power));
    ASSERT_TRUE(TestSupport::waitFor([&] { return host.log.all().size() == 3; }));
    const QStringList calls = host.log.all();
    EXPECT_TRUE(calls.contains("Gnome.Uninhibit " + cookieOf(first)));
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(),
                            [](const QString& c) { return c.startsWith("ScreenSaver.Inhibit"); }));

    // A write that reads as before (text is no number of minutes) starts nothing again.
    defaults.setString("preventSleepMinutes", "30");
    TestSupport::spin(100);
    EXPECT_EQ(host.log.all().size(), 3);
    power->prepareForQuit();
}

TEST_F(PowerManagerTest, StoredValuesOfTheWrongShapeReadAsDefaults) {
    auto power = make();
    defaults.setString("preventSleepMode", "bogus");
    EXPECT_EQ(power->mode(), PowerManager::Mode::system);
    defaults.setInteger("preventSleepMinutes", -5);
    EXPECT_EQ(power->minutes(), 0);
    defaults.setDouble("preventSleepMinutes", 2.5);
    EXPECT_EQ(power->minutes(), 0);
    defaults.setString("preventSleepMinutes", "30");
    EXPECT_EQ(power->minutes(), 0);
    defaults.setInteger("preventSleepMinutes", 30);
    EXPECT_EQ(power->minutes(), 30);
}

#include "PowerManagerTests.moc"

TEST_F(PowerManagerTest, AnUnreachableSystemBusIsSkippedNotWaitedOnForever) {
    // The system bus is asked last for a suspend inhibitor; where there is none, the switch-on
    // must still come to an end and fall through to the session's screen saver.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/quorvin-test-system-bus");
    auto power = make(60.0, /*useSystemBus=*/true);
    power->activate();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !power->isPending(); }, 3000));
    EXPECT_FALSE(power->isActive());
    EXPECT_TRUE(power->isUnavailable());

    ServiceHost host(bus, ServiceHost::screenSaver);
    power->activate();
    ASSERT_TRUE(waitActive(*power));
    power->deactivate();
    EXPECT_TRUE(TestSupport::waitFor([&] { return host.log.all().size() == 2; }));
}
