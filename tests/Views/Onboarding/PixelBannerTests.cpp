// The banner widget: it paints the landscape for the clock's time since 2001 and repaints eight
// times a second only while it is shown in a visible window.
#include "Platform/Core/Clock.h"
#include "Source/Features/Onboarding/PixelScene.h"
#include "TestSupport.h"
#include "Views/Onboarding/PixelBanner.h"

#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

class PixelBannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        clock = std::make_shared<FakeClock>(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 250), QTimeZone::utc()));
        Clock::setShared(clock);
    }
    void TearDown() override { Clock::setShared(nullptr); }
    std::shared_ptr<FakeClock> clock;
};

}  // namespace

TEST_F(PixelBannerTest, PaintsTheSceneForSecondsSinceTwoThousandOne) {
    QWidget window;
    window.resize(920, 240);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* banner = new PixelBanner(PixelScene::Theme::sequence()[7]);
    layout->addWidget(banner);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_EQ(banner->size(), QSize(920, 240));

    const double t = PixelBanner::sceneTime();
    EXPECT_DOUBLE_EQ(t, double(QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7, 250), QTimeZone::utc()).toMSecsSinceEpoch()) /
                            1000.0 - 978307200.0);
    const QImage shown = banner->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage expected = PixelScene::render(QSizeF(920, 240), t, banner->scene());
    EXPECT_EQ(shown, expected);
    // Another moment, another frame (the walkers and the weather moved).
    clock->advance(0.5);
    EXPECT_NE(banner->grab().toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied), expected);
}

TEST_F(PixelBannerTest, TicksEveryEighthOfASecondOnlyWhileVisible) {
    QWidget window;
    window.resize(400, 120);
    auto* layout = new QVBoxLayout(&window);
    auto* banner = new PixelBanner(PixelScene::Theme::dusk());
    layout->addWidget(banner);
    EXPECT_EQ(PixelBanner::tickMs, 125);
    EXPECT_TRUE(banner->isOnScreen());  // starts animating from its first frame
    EXPECT_FALSE(banner->isTicking());  // never shown

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(TestSupport::waitFor([&] { return banner->isTicking(); }, 1000));

    // Each tick paints once: count paints over about a second.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++paints;
            return false;
        }
    } counter;
    banner->installEventFilter(&counter);
    TestSupport::spin(1000);
    EXPECT_GE(counter.paints, 5);
    EXPECT_LE(counter.paints, 10);

    // Hidden inside a visible window, or with its window hidden or minimised: no timer at all.
    banner->hide();
    EXPECT_FALSE(banner->isTicking());
    banner->show();
    EXPECT_TRUE(TestSupport::waitFor([&] { return banner->isTicking(); }, 1000));
    window.hide();
    EXPECT_FALSE(banner->isTicking());
    counter.paints = 0;
    TestSupport::spin(400);
    EXPECT_EQ(counter.paints, 0);
    window.showMinimized();
    TestSupport::spin(100);
    EXPECT_TRUE(TestSupport::waitFor([&] { return !banner->isOnScreen(); }, 1000));
    EXPECT_FALSE(banner->isTicking());

    // Back on screen: it resumes by itself.
    window.showNormal();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(TestSupport::waitFor([&] { return banner->isTicking() && banner->isOnScreen(); }, 1000));
}
