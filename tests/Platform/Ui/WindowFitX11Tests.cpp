#include "Platform/Ui/WindowFit.h"
#include "TestSupport.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

#include "X11TestSupport.h"

namespace {
std::unique_ptr<QWidget> followingWindow(const QRect& geometry) {
    auto window = std::make_unique<QWidget>(nullptr, Qt::FramelessWindowHint);
    window->setGeometry(geometry);
    WindowFit::followScreens(window.get());
    window->show();
    return window;
}
}  // namespace

// Two monitors side by side, and the right one goes: a window across both and one wholly on the
// right one come back onto the left one; one the user left partly off the screens stays where it is.
TEST(WindowFitX11, WindowsCutByAMonitorThatGoesComeBackAndNoOtherMoves) {
    ASSERT_NE(X11Test::display(), nullptr);
    const QRect whole = QGuiApplication::primaryScreen()->geometry();
    const int half = whole.width() / 2;
    const QRect left(0, 0, half, whole.height());
    X11Test::setMonitor("FITLEFT", left, true);
    X11Test::setMonitor("FITRIGHT", QRect(half, 0, whole.width() - half, whole.height()), false);
    const bool split = TestSupport::waitFor([] { return QGuiApplication::screens().size() == 2; }, 5000);
    struct Restore {
        ~Restore() {
            X11Test::removeMonitor("FITRIGHT");
            X11Test::removeMonitor("FITLEFT");
            TestSupport::waitFor([] { return QGuiApplication::screens().size() == 1; }, 5000);
        }
    } restore;
    ASSERT_TRUE(split) << QGuiApplication::screens().size();

    const QRect across(half - 250, 300, 500, 200), onRight(half + 100, 100, 300, 200), partlyOff(-100, 500, 300, 200);
    const auto a = followingWindow(across), r = followingWindow(onRight), p = followingWindow(partlyOff);
    for (QWidget* w : {a.get(), r.get(), p.get()}) ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    ASSERT_EQ(X11Test::serverGeometry(a->winId()), across);

    X11Test::removeMonitor("FITRIGHT");
    ASSERT_TRUE(TestSupport::waitFor([] { return QGuiApplication::screens().size() == 1; }, 5000));
    const QRect area = WindowFit::workArea(left);
    EXPECT_TRUE(TestSupport::waitFor([&] { return area.contains(X11Test::serverGeometry(a->winId())); }, 5000))
        << X11Test::serverGeometry(a->winId()).x() << " across, the left monitor ends at " << half;
    EXPECT_EQ(a->size(), across.size());
    EXPECT_TRUE(TestSupport::waitFor([&] { return area.contains(X11Test::serverGeometry(r->winId())); }, 5000));
    EXPECT_EQ(X11Test::serverGeometry(p->winId()), partlyOff);
}
