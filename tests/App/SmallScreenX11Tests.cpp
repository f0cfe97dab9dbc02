// Windows and popups on small screens: this program runs again on a private X server of each size.
#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/Screens.h"
#include "Platform/Ui/StatusBar.h"
#include "Source/Features/Onboarding/WelcomeWindowController.h"
#include "Source/Features/Preferences/PreferencesWindowController.h"
#include "Source/Features/System/SystemMonitorPopupController.h"
#include "Source/Features/Toolbox/ToolboxModel.h"
#include "Source/Features/Toolbox/ToolboxWindowController.h"
#include "TestSupport.h"
#include "Views/Monitor/SystemMonitorView.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/KeyablePopupPanel.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStandardPaths>
#include <QWindow>

#include <gtest/gtest.h>

#include "X11TestSupport.h"

#include <cstdio>

namespace {

const char* kHelperVariable = "QUORVIN_TEST_SMALL_SCREEN";

QString describe(const QRect& r) { return QString("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }
std::string describe(const QSize& s) { return QString("%1x%2").arg(s.width()).arg(s.height()).toStdString(); }

// Our bar strip, as at start without a tray: windows fit below it.
QRect g_strip;

// Waits for the window to be on screen, then checks that it lies inside the work area, frame
// included, clear of our strip.
void expectFits(QWidget* window, const char* name) {
    ASSERT_TRUE(window) << name;
    ASSERT_TRUE(X11Test::waitUntilPlaced(window)) << name;
    const QRect area = Screens::workArea(window->screen());
    const QString shot = QString(QUORVIN_TEST_OUTPUT "/small-screen-%1x%2-%3%4%5.png")
                             .arg(window->screen()->geometry().width())
                             .arg(window->screen()->geometry().height())
                             .arg(QString::fromLatin1(name).replace(' ', '-'))
                             .arg(qEnvironmentVariable(kHelperVariable) == "wm" ? "-framed" : "")
                             .arg(window->devicePixelRatio() != 1 ? "@2x" : "");
    if (window->screen()->grabWindow(0).save(shot)) std::printf("screenshot: %s\n", qPrintable(shot));
    EXPECT_TRUE(area.contains(window->frameGeometry()))
        << name << ": " << describe(window->frameGeometry()).toStdString() << " on " << describe(area).toStdString();
    EXPECT_FALSE(window->frameGeometry().intersects(g_strip))
        << name << ": " << describe(window->frameGeometry()).toStdString() << " under the strip at "
        << describe(g_strip).toStdString();
}

// Shows our strip, as at start without a tray, as wide as every widget with its label makes it;
// checks that the work area leaves it out.
void showStrip(StatusBar& bar) {
    QImage widgets(560, 16, QImage::Format_ARGB32_Premultiplied);
    widgets.fill(Qt::gray);
    bar.addItem()->setImage(widgets);
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.stripWindow()->isVisible(); }, 5000));
    g_strip = bar.stripWindow()->geometry();
    QScreen* screen = QGuiApplication::primaryScreen();
    // A window manager leaves it out of the work area itself.
    if (qEnvironmentVariable(kHelperVariable) == "wm") {
        EXPECT_TRUE(
            TestSupport::waitFor([&] { return screen->availableGeometry().top() == g_strip.bottom() + 1; }, 5000))
            << describe(screen->availableGeometry()).toStdString();
    }
    EXPECT_EQ(Screens::workArea(screen).top(), g_strip.bottom() + 1);
}

QString nameOf(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w)) return "\"" + label->text().left(40) + "\"";
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        if (!button->text().isEmpty()) return "\"" + button->text() + "\"";
    return QString::fromLatin1(w->metaObject()->className()) + " " + w->objectName();
}

// Where a widget is cut on its way up to the window: by a holder, or, inside a scroll area's
// content, where its scroll bars don't reach. Empty when it can be seen whole.
QString cutAt(QWidget* widget, QWidget* window) {
    QRect r = widget->rect();
    QWidget* at = widget;
    while (at != window) {
        QWidget* holder = at->parentWidget();
        auto* area = qobject_cast<QScrollArea*>(holder->parentWidget());
        if (area && area->widget() == at) {
            const QSize reach = area->viewport()->size() +
                                QSize(area->horizontalScrollBar()->maximum(), area->verticalScrollBar()->maximum());
            if (!QRect(QPoint(0, 0), reach).contains(r))
                return nameOf(widget) + " lies out of the reach of " + nameOf(area);
            r = area->rect();
            at = area;
            continue;
        }
        r.translate(at->pos());
        if (!holder->rect().contains(r))
            return QString("%1 at %2 is cut by %3 of %4x%5")
                .arg(nameOf(at), describe(r), nameOf(holder))
                .arg(holder->width())
                .arg(holder->height());
        at = holder;
    }
    return {};
}

// Where the window's content is crowded or cut: a text shorter than its lines, on a neighbour, or
// cut; a control cut, out of reach of any scrolling, or narrower than its text.
QStringList crowded(QWidget* window) {
    QStringList found;
    auto shows = [window](const QWidget* w) { return w->isVisibleTo(window) && !w->size().isEmpty(); };
    for (QLabel* label : window->findChildren<QLabel*>()) {
        if (!shows(label) || label->text().isEmpty() || !label->pixmap().isNull()) continue;
        const int needed =
            label->wordWrap() ? label->heightForWidth(label->width()) : label->minimumSizeHint().height();
        if (label->height() < needed)
            found << QString("%1 is %2 px high for %3").arg(nameOf(label)).arg(label->height()).arg(needed);
        for (QObject* child : label->parentWidget()->children()) {
            auto* sibling = qobject_cast<QWidget*>(child);
            if (sibling && sibling != label && !sibling->isWindow() && shows(sibling) &&
                sibling->geometry().intersects(label->geometry()))
                found << nameOf(label) + " lies under " + nameOf(sibling);
        }
        if (const QString cut = cutAt(label, window); !cut.isEmpty()) found << cut;
    }
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!shows(control)) continue;
        if (!qobject_cast<QAbstractButton*>(control) && !qobject_cast<QLineEdit*>(control) &&
            !qobject_cast<QAbstractScrollArea*>(control) && !qobject_cast<QComboBox*>(control) &&
            !qobject_cast<QAbstractSpinBox*>(control) && !qobject_cast<QAbstractSlider*>(control))
            continue;
        if (qobject_cast<QScrollBar*>(control)) continue;
        if (auto* button = qobject_cast<QAbstractButton*>(control);
            button && !button->text().isEmpty() && button->width() < button->minimumSizeHint().width())
            found << QString("%1 is %2 px wide for %3")
                         .arg(nameOf(button))
                         .arg(button->width())
                         .arg(button->minimumSizeHint().width());
        if (const QString cut = cutAt(control, window); !cut.isEmpty()) found << cut;
    }
    found.removeDuplicates();
    return found;
}

// Checks that nothing in the window is crowded or cut, and that a window fitted smaller than the
// size it was made with takes all the room the work area has for it.
void expectWhole(QWidget* window, const char* name, const QSize& made) {
    const QRect area = Screens::workArea(window->screen());
    const QRect frame = window->frameGeometry();
    const QSize framed = made + frame.size() - window->size();
    if (framed.height() > area.height()) {
        EXPECT_EQ(frame.height(), area.height())
            << name << " at " << describe(frame).toStdString() << " on " << describe(area).toStdString();
    }
    if (framed.width() > area.width()) {
        EXPECT_EQ(frame.width(), area.width())
            << name << " at " << describe(frame).toStdString() << " on " << describe(area).toStdString();
    }
    // With the room it was made for, nothing scrolls.
    if (window->size().expandedTo(made) == window->size()) {
        for (QScrollArea* scroll : window->findChildren<QScrollArea*>(QStringLiteral("WindowScrollArea"))) {
            EXPECT_TRUE(scroll->horizontalScrollBar()->maximum() == 0 && scroll->verticalScrollBar()->maximum() == 0)
                << name << " at " << describe(window->geometry()).toStdString() << " scrolls";
        }
    }
    const QStringList found = crowded(window);
    EXPECT_TRUE(found.isEmpty()) << name << " at " << describe(window->geometry()).toStdString() << ":\n"
                                 << found.join('\n').toStdString();
}

// Grabs the window alone, as it looks now.
void shoot(QWidget* window, const QString& what) {
    const QString shot = QString(QUORVIN_TEST_OUTPUT "/%1%2.png")
                             .arg(what)
                             .arg(qEnvironmentVariable(kHelperVariable) == "wm" ? "-framed" : "");
    QCoreApplication::sendPostedEvents();  // scroll bars show or hide once their ranges are known
    if (window->grab().save(shot)) std::printf("screenshot: %s\n", qPrintable(shot));
}

}  // namespace

// Not a test of its own: the small-screen test runs this program again on a small X server.
TEST(SmallScreenX11Helper, EveryWindowAndPopupFits) {
    if (qEnvironmentVariableIsEmpty(kHelperVariable)) GTEST_SKIP() << "helper for SmallScreenX11";
    if (qEnvironmentVariable(kHelperVariable) == "wm") {
        ASSERT_TRUE(X11Test::waitUntilWindowManagerReady(10000));
    }
    StatusBar bar(StatusBar::Kind::strip);
    ASSERT_NO_FATAL_FAILURE(showStrip(bar));
    QScreen* screen = QGuiApplication::primaryScreen();
    UserDefaults defaults{QString()};
    ToolboxWindowController toolbox(defaults);
    const QString size = QString("%1x%2").arg(screen->geometry().width()).arg(screen->geometry().height());
    toolbox.show();
    expectFits(toolbox.window(), "toolbox");
    expectWhole(toolbox.window(), "toolbox",
                QSize(ToolboxWindowController::initialWidth, ToolboxWindowController::initialHeight));
    shoot(toolbox.window(), "small-screen-" + size + "-toolbox-window");
    toolbox.window()->close();

    PreferencesWindowController::shared().show();
    expectFits(PreferencesWindowController::shared().window(), "settings");
    expectWhole(PreferencesWindowController::shared().window(), "settings",
                QSize(PreferencesWindowController::initialWidth, PreferencesWindowController::initialHeight));
    shoot(PreferencesWindowController::shared().window(), "small-screen-" + size + "-settings-window");
    PreferencesWindowController::shared().window()->close();

    WelcomeWindowController::shared().show();
    expectFits(WelcomeWindowController::shared().window(), "welcome");
    expectWhole(WelcomeWindowController::shared().window(), "welcome",
                QSize(WelcomeWindowController::width, WelcomeWindowController::height));
    shoot(WelcomeWindowController::shared().window(), "small-screen-" + size + "-welcome-window");
    WelcomeWindowController::shared().window()->close();

    SystemMonitorPopupController& monitor = SystemMonitorPopupController::shared();
    monitor.show(MonitorTab::cpu);
    expectFits(monitor.panel(), "monitor popup");
    // Every card shows whole in the fitted popup, in the list and in Stats: the body card gives
    // up the height the screen lacks (and keeps its full height where the screen has it).
    SystemMonitorView* view = monitor.view();
    ASSERT_TRUE(view);
    for (MonitorTab tab : {MonitorTab::cpu, MonitorTab::stats}) {
        view->model().selectTab(tab);
        ASSERT_TRUE(TestSupport::waitForAnimations(monitor.panel()));  // the change of mode
        const QRect cards = view->cardsRegion().boundingRect();
        EXPECT_TRUE(view->rect().contains(cards))
            << MonitorTabs::rawValue(tab).toStdString() << ": cards " << describe(cards).toStdString()
            << " in a view of " << describe(view->rect()).toStdString();
        const int body = view->cardGlass(SystemMonitorView::CardSlot::body)->height();
        if (tab == MonitorTab::cpu && monitor.panel()->height() >= int(SystemMonitorPopupController::panelHeight)) {
            EXPECT_EQ(body, 378);
        }
    }
    monitor.dismiss();
}

// Not a test of its own: the small-screen test runs this program again on an X server of its own,
// with a large screen that shrinks under the open windows and grows again.
TEST(SmallScreenX11Helper, OpenWindowsShrinkWithTheScreenAndGrowBack) {
    if (qEnvironmentVariableIsEmpty(kHelperVariable)) GTEST_SKIP() << "helper for SmallScreenX11";
    if (qEnvironmentVariable(kHelperVariable) == "wm") {
        ASSERT_TRUE(X11Test::waitUntilWindowManagerReady(10000));
    }
    StatusBar bar(StatusBar::Kind::strip);
    ASSERT_NO_FATAL_FAILURE(showStrip(bar));

    UserDefaults defaults{QString()};
    ToolboxWindowController toolbox(defaults);
    struct Row {
        const char* name;
        std::function<QWidget*()> open;
    };
    const Row rows[] = {
        {"welcome",
         [] {
             WelcomeWindowController::shared().show();
             return WelcomeWindowController::shared().window();
         }},
        {"toolbox",
         [&toolbox] {
             toolbox.show();
             return static_cast<QWidget*>(toolbox.window());
         }},
        {"settings",
         [] {
             PreferencesWindowController::shared().show();
             return PreferencesWindowController::shared().window();
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* window = row.open();
        ASSERT_TRUE(window);
        ASSERT_TRUE(X11Test::waitUntilPlaced(window));
        const QSize size = window->size(), minimum = window->minimumSize(), maximum = window->maximumSize();

        ASSERT_TRUE(X11Test::resizeScreenAndWait(1024, 600));
        const QRect area = Screens::workArea(QGuiApplication::primaryScreen());
        EXPECT_TRUE(TestSupport::waitFor([&] { return area.contains(window->frameGeometry()); }, 5000))
            << describe(window->frameGeometry()).toStdString() << " on " << describe(area).toStdString();
        ASSERT_TRUE(X11Test::waitUntilPlaced(window));
        expectWhole(window, row.name, size);
        shoot(window, QString("screen-shrinks-to-1024x600-%1-window").arg(row.name));

        // The room back: the size it had, and the limits its owner gave it.
        ASSERT_TRUE(X11Test::resizeScreenAndWait(1920, 1080));
        EXPECT_TRUE(TestSupport::waitFor([&] { return window->size() == size; }, 5000))
            << describe(window->geometry()).toStdString() << " after " << describe(size);
        EXPECT_EQ(describe(window->minimumSize()), describe(minimum));
        EXPECT_EQ(describe(window->maximumSize()), describe(maximum));
        ASSERT_TRUE(X11Test::waitUntilPlaced(window));
        expectWhole(window, row.name, size);
        window->close();
    }
}

TEST(SmallScreenX11, WindowsAndPopupsFitTheWorkAreaOfSmallScreens) {
    if (QStandardPaths::findExecutable("xvfb-run").isEmpty()) GTEST_SKIP() << "xvfb-run is not installed";
    // With a window manager where one is installed: its frame has to fit too.
    const bool haveWindowManager = !QStandardPaths::findExecutable("openbox").isEmpty();
    struct Run {
        const char* size;
        bool framed;
        int scale = 1;  // a screen of twice the pixels that Qt scales to the same size
        const char* helper = "EveryWindowAndPopupFits";
    };
    const char* shrinks = "OpenWindowsShrinkWithTheScreenAndGrowBack";
    for (const Run run : {Run{"1024x768", false}, Run{"800x600", false}, Run{"1024x600", false}, Run{"1024x768", true},
                          Run{"1024x600", true}, Run{"1366x768", true}, Run{"2732x1536", true, 2},
                          Run{"1920x1080", false, 1, shrinks}, Run{"1920x1080", true, 1, shrinks}}) {
        if (run.framed && !haveWindowManager) continue;
        SCOPED_TRACE(std::string(run.size) + (run.framed ? " with a window manager" : "") +
                     (run.scale != 1 ? " at twice the scale" : "") + " " + run.helper);
        QProcess helper;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kHelperVariable, run.framed ? "wm" : "1");
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("QT_SCALE_FACTOR", QString::number(run.scale));
        helper.setProcessEnvironment(env);
        X11Test::runOnAServerOfItsOwn(helper, run.size, run.framed, QString("SmallScreenX11Helper.") + run.helper,
                                      120000);
    }
}
