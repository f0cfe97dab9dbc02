// The menu panel: its content (MonitorView), its placement and showing, and what closes it.
#include "App/AppDelegate.h"
#include "App/MenuPanelController.h"
#include "FakeWorkspace.h"
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Core/NotificationCenter.h"
#include "Platform/Desktop/SleepInhibitor.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Power/PowerManager.h"
#include "Source/Features/System/NetworkMonitor.h"
#include "Source/Features/System/SystemSampler.h"
#include "Source/Features/Zedi/ZediManager.h"
#include "Views/MenuPanel/MonitorView.h"
#include "Views/Shared/CircularStatView.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/KeyablePopupPanel.h"
#include "Views/Shared/PopupEntrance.h"
#include "SystemTestSupport.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBackingStore>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <map>

namespace {

class FakeInhibitor : public SleepInhibitor {
public:
    Handle next = 1;
    bool refuse = false;  // as on a desktop with no service that keeps it awake
    std::vector<Handle> released;
    void inhibit(Kind, const QString&, QObject* context, Completion done) override {
        const std::optional<Handle> handle = refuse ? std::nullopt : std::optional<Handle>(next++);
        QMetaObject::invokeMethod(context, [done, handle] { done(handle); }, Qt::QueuedConnection);
    }
    void release(Handle handle, bool) override { released.push_back(handle); }
};

// Counts the notifications of one name.
struct NotificationCount {
    explicit NotificationCount(const QString& name) {
        NotificationCenter::defaultCenter().observe(name, &context, [this](const QVariant&) { ++count; });
    }
    QObject context;
    int count = 0;
};

// A MonitorView over a fixture /proc and /sys, with in-memory settings and hooks that record.
struct Services {
    QTemporaryDir dir;
    QString root = dir.path() + "/root";
    bool copied = SystemFixtures::copyTree("linux-desktop", root);
    UserDefaults defaults{QString{}};
    SystemSampler sampler{root};
    NetworkMonitor network{root};
    FakeInhibitor* inhibitor = new FakeInhibitor;
    PowerManager power{std::unique_ptr<SleepInhibitor>(inhibitor), defaults};
    FakeWorkspace workspace;
    ZediManager zedi{defaults, &workspace};
    std::vector<MonitorTab> opened;
    int settingsShown = 0;
    int toolboxShown = 0;
    int quits = 0;

    MonitorView::Hooks hooks(bool withMonitor = true) {
        MonitorView::Hooks h;
        if (withMonitor) h.showMonitor = [this](MonitorTab tab) { opened.push_back(tab); };
        h.showSettings = [this] { ++settingsShown; };
        h.showToolbox = [this] { ++toolboxShown; };
        h.quit = [this] { ++quits; };
        return h;
    }
    MonitorView* makeView(bool withMonitor = true) {
        return new MonitorView(sampler, network, power, zedi, hooks(withMonitor));
    }
    void samplePass() {
        const int before = sampler.passCount();
        sampler.sample(true);
        ASSERT_TRUE(TestSupport::waitFor([&] { return sampler.passCount() > before; }));
    }
};

using TestSupport::Paints;

void click(QWidget* widget) {
    ASSERT_NE(widget, nullptr);
    ASSERT_TRUE(widget->isVisibleTo(widget->window()));
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
}

}  // namespace

TEST(MenuPanelPlacement, UnderTheItemCentredAndKeptOnTheScreen) {
    const QRectF screen(0, 0, 1280, 800);       // upward space: y = 800 is the top edge
    const QSizeF size(264, 280);
    // An item in the middle of the top bar: centred under it, 4 points below it.
    QRectF frame = MenuPanelController::panelFrame(QRectF(600, 776, 24, 24), size, screen);
    EXPECT_DOUBLE_EQ(frame.center().x(), 612);
    EXPECT_DOUBLE_EQ(frame.top() + frame.height(), 776 - MenuPanelController::gap);
    // At the right end: kept 8 points from the edge.
    frame = MenuPanelController::panelFrame(QRectF(1256, 776, 24, 24), size, screen);
    EXPECT_DOUBLE_EQ(frame.right(), 1280 - MenuPanelController::screenMargin);
    // At the left end of a second screen to the left.
    frame = MenuPanelController::panelFrame(QRectF(-1910, 776, 20, 24), size, QRectF(-1920, 0, 1920, 800));
    EXPECT_DOUBLE_EQ(frame.left(), -1920 + MenuPanelController::screenMargin);
    // An item in a bottom panel: the panel opens above it.
    frame = MenuPanelController::panelFrame(QRectF(1200, 0, 24, 24), size, screen);
    EXPECT_DOUBLE_EQ(frame.top(), 24 + MenuPanelController::gap);
    // A screen too low for the panel either way: it stays on the screen.
    frame = MenuPanelController::panelFrame(QRectF(100, 150, 24, 24), size, QRectF(0, 0, 800, 300));
    EXPECT_GE(frame.top(), 0);
    EXPECT_LE(frame.top() + frame.height(), 300);
    // A screen narrower than the panel: its left edge stays visible.
    frame = MenuPanelController::panelFrame(QRectF(100, 776, 24, 24), size, QRectF(0, 0, 200, 800));
    EXPECT_DOUBLE_EQ(frame.left(), MenuPanelController::screenMargin);
}

TEST(MonitorView, GaugesAndRatesFollowTheMetricsEngine) {
    Services s;
    ASSERT_TRUE(s.copied);
    std::unique_ptr<MonitorView> view(s.makeView());
    EXPECT_EQ(view->width(), 264);
    EXPECT_EQ(view->gauge(MonitorTab::memory)->value(), -1);
    EXPECT_EQ(view->downloadText(), QStringLiteral("—"));
    view->show();
    s.samplePass();
    EXPECT_DOUBLE_EQ(view->gauge(MonitorTab::memory)->value(), 75.0);
    EXPECT_GE(view->gauge(MonitorTab::disk)->value(), 0);
    EXPECT_EQ(view->gauge(MonitorTab::cpu)->value(), -1);  // a load needs two readings
    EXPECT_EQ(view->gauge(MonitorTab::cpu)->label(), QStringLiteral("CPU"));
    EXPECT_EQ(view->gauge(MonitorTab::memory)->label(), QStringLiteral("MEM"));
    EXPECT_EQ(view->gauge(MonitorTab::disk)->label(), QStringLiteral("DISK"));

    // Two readings of the interface counters give rates.
    s.network.sample();
    SystemFixtures::writeFile(s.root + "/proc/net/dev",
                              "Inter-|   Receive                                                |  Transmit\n"
                              " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets "
                              "errs drop fifo colls carrier compressed\n"
                              "    lo: 999999999 0 0 0 0 0 0 0 999999999 0 0 0 0 0 0 0\n"
                              "enp5s0: 1900000000 0 0 0 0 0 0 0 950000000 0 0 0 0 0 0 0\n");
    QTest::qWait(20);
    s.network.sample();
    EXPECT_GT(s.network.downloadRate(), 0);
    EXPECT_NE(view->downloadText(), QStringLiteral("—"));
    EXPECT_EQ(view->downloadText(), NetworkMonitor::formatRate(s.network.downloadRate()));
    EXPECT_EQ(view->uploadText(), NetworkMonitor::formatRate(s.network.uploadRate()));

    // A hidden view does no work on a sample; it catches up when shown again.
    view->hide();
    SystemFixtures::writeFile(s.root + "/proc/meminfo", "MemTotal: 1000 kB\nMemAvailable: 500 kB\n");
    s.samplePass();
    EXPECT_DOUBLE_EQ(view->gauge(MonitorTab::memory)->value(), 75.0);
    view->show();
    EXPECT_NE(view->gauge(MonitorTab::memory)->value(), 75.0);
}

TEST(MonitorView, GaugesAndTheNetworkRowOpenTheMonitorOnTheirTab) {
    Services s;
    std::unique_ptr<MonitorView> view(s.makeView());
    view->show();
    NotificationCount dismiss(Notification::dismissPopover);
    click(view->gauge(MonitorTab::cpu));
    EXPECT_EQ(dismiss.count, 1);
    EXPECT_TRUE(s.opened.empty());  // the popup opens 0.1 s after the panel was asked to close
    ASSERT_TRUE(TestSupport::waitFor([&] { return s.opened.size() == 1; }, 1000));
    click(view->gauge(MonitorTab::memory));
    click(view->gauge(MonitorTab::disk));
    click(view->networkRow());
    ASSERT_TRUE(TestSupport::waitFor([&] { return s.opened.size() == 4; }, 1000));
    EXPECT_EQ(s.opened,
              (std::vector<MonitorTab>{MonitorTab::cpu, MonitorTab::memory, MonitorTab::disk, MonitorTab::network}));
    EXPECT_EQ(dismiss.count, 4);

    // Without a monitor to open, the gauges are readings only: no pointing hand, nothing posted.
    Services bare;
    std::unique_ptr<MonitorView> plain(bare.makeView(false));
    plain->show();
    EXPECT_EQ(plain->gauge(MonitorTab::cpu)->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(plain->networkRow()->cursor().shape(), Qt::ArrowCursor);
    click(plain->gauge(MonitorTab::cpu));
    click(plain->networkRow());
    TestSupport::spin(150);
    EXPECT_EQ(dismiss.count, 4);
    EXPECT_TRUE(bare.opened.empty());
}

TEST(MonitorView, QuickActionsAndFooter) {
    Services s;
    std::unique_ptr<MonitorView> view(s.makeView());
    view->show();

    // Keep Awake switches the shared keep-awake on and off.
    EXPECT_FALSE(view->keepAwakeRow()->isChecked());
    click(view->keepAwakeRow());
    ASSERT_TRUE(TestSupport::waitFor([&] { return s.power.isActive(); }, 1000));
    EXPECT_TRUE(view->keepAwakeRow()->isChecked());
    click(view->keepAwakeRow());
    EXPECT_FALSE(s.power.isActive());
    EXPECT_FALSE(view->keepAwakeRow()->isChecked());
    EXPECT_EQ(s.inhibitor->released.size(), 1u);
    // Switched elsewhere (a hot key, the Power pane): the row follows.
    s.power.activate();
    ASSERT_TRUE(TestSupport::waitFor([&] { return view->keepAwakeRow()->isChecked(); }, 1000));
    s.power.deactivate();
    EXPECT_FALSE(view->keepAwakeRow()->isChecked());
    EXPECT_TRUE(view->keepAwakeStatus().isEmpty());
    // Where no service keeps the computer awake the switch goes back off and says why.
    s.inhibitor->refuse = true;
    click(view->keepAwakeRow());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !s.power.isPending(); }, 1000));
    EXPECT_FALSE(view->keepAwakeRow()->isChecked());
    EXPECT_EQ(view->keepAwakeStatus(), QStringLiteral("Unavailable"));
    s.inhibitor->refuse = false;
    click(view->keepAwakeRow());
    ASSERT_TRUE(TestSupport::waitFor([&] { return s.power.isActive(); }, 1000));
    EXPECT_TRUE(view->keepAwakeStatus().isEmpty());
    s.power.deactivate();

    // Zedi with no apps opens its settings; with apps it quits them.
    int settingsForZedi = 0;
    ZediManager::setOpenSettingsHandler([&] { ++settingsForZedi; });
    EXPECT_EQ(MonitorView::zediSummary(0), QStringLiteral("Choose Apps"));
    click(view->zediRow());
    EXPECT_EQ(settingsForZedi, 1);
    s.workspace.running = {FakeWorkspace::app(41, "mail.desktop"), FakeWorkspace::app(42, "chat.desktop")};
    s.zedi.setApps({"mail.desktop", "chat.desktop"});
    click(view->zediRow());
    EXPECT_EQ(s.workspace.terminated, (std::vector<qint64>{41, 42}));
    EXPECT_EQ(settingsForZedi, 1);
    EXPECT_EQ(MonitorView::zediSummary(2), QStringLiteral("Quit 2 Apps"));
    EXPECT_EQ(MonitorView::zediSummary(1), QStringLiteral("Quit 1 App"));
    ZediManager::setOpenSettingsHandler({});

    // Settings closes the panel first; Quit quits.
    NotificationCount dismiss(Notification::dismissPopover);
    int dismissedBeforeSettings = -1;
    Services* services = &s;
    QObject order;
    NotificationCenter::defaultCenter().observe(Notification::dismissPopover, &order, [&](const QVariant&) {
        dismissedBeforeSettings = services->settingsShown;
    });
    click(view->settingsButton());
    EXPECT_EQ(s.settingsShown, 1);
    EXPECT_EQ(dismissedBeforeSettings, 0);
    // So does the toolbox row, before the toolbox window comes up.
    int dismissedBeforeToolbox = -1;
    NotificationCenter::defaultCenter().observe(Notification::dismissPopover, &order, [&](const QVariant&) {
        dismissedBeforeToolbox = services->toolboxShown;
    });
    const int dismissals = dismiss.count;
    click(view->toolboxRow());
    EXPECT_EQ(s.toolboxShown, 1);
    EXPECT_EQ(dismissedBeforeToolbox, 0);
    EXPECT_EQ(dismiss.count, dismissals + 1);
    click(view->quitButton());
    EXPECT_EQ(s.quits, 1);
    EXPECT_EQ(view->settingsButton()->text(), QStringLiteral("Settings"));
    EXPECT_EQ(view->quitButton()->text(), QStringLiteral("Quit"));

    // Without a settings window there is no Settings button, without a toolbox no toolbox row.
    MonitorView::Hooks noSettings = s.hooks();
    noSettings.showSettings = {};
    noSettings.showToolbox = {};
    MonitorView other(s.sampler, s.network, s.power, s.zedi, noSettings);
    other.show();
    EXPECT_FALSE(other.settingsButton()->isVisible());
    EXPECT_EQ(other.toolboxRow(), nullptr);
    EXPECT_TRUE(other.quitButton()->isVisible());
}

TEST(MonitorView, SavesPicturesOfThePanel) {
    AccessibilityDisplayOptions::shared().setOverride(false, false);
    Services s;
    // Two readings apart by a busy stretch and some traffic, so every figure has a value.
    SystemFixtures::writeFile(s.root + "/proc/stat", SystemFixtures::statText({}, {1000, 0, 500, 8000, 0}));
    s.samplePass();
    s.network.sample();
    SystemFixtures::writeFile(s.root + "/proc/stat", SystemFixtures::statText({}, {1300, 0, 600, 8250, 0}));
    SystemFixtures::writeFile(s.root + "/proc/net/dev",
                              "Inter-|   Receive                                                |  Transmit\n"
                              " face |bytes    packets errs drop fifo frame compressed multicast|bytes    packets "
                              "errs drop fifo colls carrier compressed\n"
                              "enp5s0: 1900000000 0 0 0 0 0 0 0 950000000 0 0 0 0 0 0 0\n");
    QTest::qWait(250);
    s.samplePass();
    s.network.sample();
    std::unique_ptr<MonitorView> view(s.makeView());
    view->show();
    view->refresh();
    TestSupport::spin(700);  // the gauges' animation

    auto shoot = [&](const QString& name, bool dark) {
        QPalette palette = QApplication::palette();
        if (dark) {
            palette.setColor(QPalette::Window, QColor(40, 40, 44));
            palette.setColor(QPalette::WindowText, Qt::white);
            palette.setColor(QPalette::Text, Qt::white);
        }
        view->setPalette(palette);
        QImage image(view->width() + 40, view->height() + 40, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&image);
        QLinearGradient desk(0, 0, image.width(), image.height());
        desk.setColorAt(0, QColor(88, 86, 214));
        desk.setColorAt(1, QColor(0, 122, 255));
        p.fillRect(image.rect(), desk);
        view->render(&p, QPoint(20, 20), QRegion(), QWidget::DrawChildren);
        p.end();
        EXPECT_TRUE(image.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/") + name));

    };
    shoot("menu-panel.png", false);
    shoot("menu-panel-dark.png", true);
    // Three separate glass surfaces: between them the desktop shows.
    const QRegion cards = view->cardsRegion();
    EXPECT_TRUE(cards.contains(QPoint(view->width() / 2, 30)));
    EXPECT_TRUE(cards.contains(QPoint(view->width() / 2, view->height() - 4)));
    EXPECT_FALSE(cards.contains(QPoint(1, 1)));  // a rounded corner
    int gaps = 0;
    for (int y = 0; y < view->height(); ++y) {
        if (!cards.contains(QPoint(view->width() / 2, y))) ++gaps;
    }
    EXPECT_EQ(gaps, 2 * MonitorView::spacing);
}

TEST(MenuPanelController, ShowsUnderTheItemAndASecondClickCloses) {
    Services s;
    MenuPanelController controller([&] { return s.makeView(); });
    NotificationCount willShow(Notification::menuPanelWillShow);
    NotificationCount didHide(Notification::menuPanelDidHide);
    controller.prewarm();
    KeyablePopupPanel* panel = controller.panel();
    ASSERT_NE(panel, nullptr);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(willShow.count, 0);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect item(screen.right() - 200, screen.top(), 20, 24);
    controller.toggle(item);
    EXPECT_TRUE(controller.isVisible());
    EXPECT_EQ(willShow.count, 1);
    EXPECT_EQ(panel->width(), 264);
    EXPECT_EQ(panel->y(), item.bottom() + 1 + int(MenuPanelController::gap));
    EXPECT_NEAR(panel->geometry().center().x(), item.center().x(), 1);
    EXPECT_EQ(panel->height(), controller.view()->height());

    controller.toggle(item);
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(didHide.count, 1);
    controller.close();  // closing a closed panel posts nothing
    EXPECT_EQ(didHide.count, 1);

    controller.toggle(item);
    EXPECT_EQ(controller.panel(), panel);  // built once
    EXPECT_EQ(willShow.count, 2);
    controller.close();
}

TEST(MenuPanelController, AClickElsewhereClosesAndIsNotTakenForAToggle) {
    Services s;
    MenuPanelController controller([&] { return s.makeView(); });
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect item(screen.right() - 200, screen.top(), 20, 24);
    controller.show(item);
    // A press on the panel itself keeps it.
    controller.mouseDown(controller.panel()->geometry().center());
    EXPECT_TRUE(controller.isVisible());
    controller.mouseDown(QPoint(screen.left() + 10, screen.bottom() - 10));
    EXPECT_FALSE(controller.isVisible());
    // The same press reaching the status item (a tray that does not report where its icon is)
    // does not open the panel again.
    controller.toggle(item);
    EXPECT_FALSE(controller.isVisible());
    TestSupport::spin(MenuPanelController::reopenGuardMs + 50);
    controller.toggle(item);
    EXPECT_TRUE(controller.isVisible());
    controller.close();
}

TEST(AppDelegateMonitors, DismissPopoverEscapeAndOutsideClicksCloseThePanel) {
    MenuPanelController& controller = MenuPanelController::shared();
    AppDelegate::shared().installEventMonitors();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect item(screen.right() - 100, screen.top(), 20, 24);

    controller.show(item);
    ASSERT_TRUE(controller.isVisible());
    NotificationCenter::defaultCenter().post(Notification::dismissPopover);
    EXPECT_FALSE(controller.isVisible());

    // Escape is swallowed: the focused field of another window does not see it.
    QWidget other;
    other.setGeometry(screen.left() + 20, screen.bottom() - 220, 200, 200);
    other.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&other));
    int escapes = 0;
    struct Counter : QObject {
        int* n;
        explicit Counter(int* c) : n(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::KeyPress) ++*n;
            return false;
        }
    } counter(&escapes);
    other.installEventFilter(&counter);
    controller.show(item);
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(escapes, 0);
    // With the panel closed, Escape goes where it was sent; other keys never close it.
    QTest::keyClick(&other, Qt::Key_Escape);
    EXPECT_EQ(escapes, 1);
    controller.show(item);
    QTest::keyClick(controller.panel(), Qt::Key_A);
    EXPECT_TRUE(controller.isVisible());
    QTest::keyClick(controller.panel(), Qt::Key_Escape);
    EXPECT_FALSE(controller.isVisible());

    // A click in one of the program's other windows closes it; one on the panel does not.
    controller.show(item);
    QTest::mouseClick(controller.panel()->windowHandle(), Qt::LeftButton, {}, QPoint(8, 60));  // beside the gauges
    EXPECT_TRUE(controller.isVisible());
    QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(controller.isVisible());

    AppDelegate::shared().removeEventMonitors();
    controller.show(item);
    NotificationCenter::defaultCenter().post(Notification::dismissPopover);
    EXPECT_TRUE(controller.isVisible());
    controller.close();
}

TEST(MenuPanelController, AnOpenPanelRepaintsOnlyWhatAReadingChangesAndThenNothing) {
    AccessibilityDisplayOptions::shared().setOverride(false, std::nullopt);
    Services s;
    ASSERT_TRUE(s.copied);
    // The disk the fixture lies on is filled and emptied by other programs meanwhile: a steady one.
    s.sampler.setDiskUsageSourceForTesting([] { return 40.0; });
    MenuPanelController controller([&] { return s.makeView(); });
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    controller.show(QRect(screen.right() - 200, screen.top(), 20, 24));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.panel()));
    MonitorView* view = controller.view();
    s.samplePass();
    s.samplePass();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !PopupEntrance::of(view); }, 2000));
    CircularStatView* memory = view->gauge(MonitorTab::memory);
    ASSERT_TRUE(TestSupport::waitFor([&] {
        for (MonitorTab tab : {MonitorTab::cpu, MonitorTab::memory, MonitorTab::disk})
            if (view->gauge(tab)->isAnimating()) return false;
        return true;
    }, 2000));
    // The opening's last frames drawn: nothing waits to be painted.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);

    // Samples that read the same leave the panel still: no timer, no animation, no frame.
    Paints paints;
    s.samplePass();
    s.samplePass();
    TestSupport::spin(400);
    EXPECT_EQ(paints.total, 0);

    // A change too small to see on the ring draws nothing either (75 % to 75.01 %).
    SystemFixtures::writeFile(s.root + "/proc/meminfo", "MemTotal: 1000000 kB\nMemAvailable: 249900 kB\n");
    s.samplePass();
    EXPECT_NEAR(memory->value(), 75.01, 1e-9);
    EXPECT_FALSE(memory->isAnimating());
    TestSupport::spin(200);
    EXPECT_EQ(paints.total, 0);

    // A real change moves the memory ring: frames repaint that gauge alone (not the card, the
    // view or the panel behind it), the move ends, and the panel is still again.
    SystemFixtures::writeFile(s.root + "/proc/meminfo", "MemTotal: 1000000 kB\nMemAvailable: 600000 kB\n");
    s.samplePass();
    EXPECT_TRUE(memory->isAnimating());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !memory->isAnimating(); }, 1500));
    EXPECT_DOUBLE_EQ(memory->displayedValue(), 40.0);
    EXPECT_GT(paints.of(memory), 3);
    EXPECT_LE(paints.of(memory), 50);
    // Beside the gauge's frames, the one picture of what lies under it draws each widget there once.
    EXPECT_LE(paints.of(view), 1);
    EXPECT_LE(paints.of(controller.panel()), 1);
    for (GlassCard* card : view->findChildren<GlassCard*>()) EXPECT_LE(paints.of(card), 1);
    for (MonitorTab tab : {MonitorTab::cpu, MonitorTab::disk}) EXPECT_EQ(paints.of(view->gauge(tab)), 0);
    EXPECT_LE(paints.total, paints.of(memory) + 4);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);  // the move's last frame
    paints.clear();
    TestSupport::spin(400);
    EXPECT_EQ(paints.total, 0);
    controller.close();
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
}

TEST(MonitorView, TheRingAMoveLeavesIsTheRingAFreshViewDraws) {
    AccessibilityDisplayOptions::shared().setOverride(false, std::nullopt);
    Services s;
    // In an opaque window, as without a compositor: what the window holds is then the same
    // whatever was drawn there before.
    struct Window {
        QWidget window;
        MonitorView* view;
        explicit Window(Services& s) : view(s.makeView()) {
            view->setParent(&window);
            view->setOpaqueBacking(true);
            window.resize(view->size());
            window.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        }
        QImage ring() const {
            const CircularStatView* memory = view->gauge(MonitorTab::memory);
            const auto* store = dynamic_cast<const QImage*>(window.backingStore()->paintDevice());
            return store ? store->copy(QRect(memory->mapTo(&window, QPoint()), memory->size())) : QImage();
        }
    };
    Window moved(s);
    s.samplePass();
    CircularStatView* memory = moved.view->gauge(MonitorTab::memory);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !memory->isAnimating(); }, 2000));
    SystemFixtures::writeFile(s.root + "/proc/meminfo", "MemTotal: 1000000 kB\nMemAvailable: 600000 kB\n");
    s.samplePass();
    ASSERT_TRUE(memory->isAnimating());
    TestSupport::spin(100);
    ASSERT_TRUE(TestSupport::waitFor([&] { return !memory->isAnimating(); }, 1500));
    TestSupport::spin(50);
    const QImage after = moved.ring();
    moved.window.hide();

    Window fresh(s);
    TestSupport::spin(50);
    EXPECT_DOUBLE_EQ(fresh.view->gauge(MonitorTab::memory)->displayedValue(), 40.0);
    const QImage expected = fresh.ring();
    ASSERT_EQ(after.size(), expected.size());
    int differing = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            const QRgb a = after.pixel(x, y), b = expected.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2 ||
                std::abs(qBlue(a) - qBlue(b)) > 2)
                ++differing;
        }
    EXPECT_EQ(differing, 0);
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
}
