#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/PopupEntrance.h"
#include "Views/Shared/PopupTransition.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

struct ReduceMotion {
    explicit ReduceMotion(bool on) { AccessibilityDisplayOptions::shared().setOverride(on, false); }
    ~ReduceMotion() { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }
};

double omega(double response) { return 2 * std::numbers::pi / response; }

TEST(Motion, SpringConstantsFollowResponseAndDampingFraction) {
    struct Case {
        const Motion::Animation& spring;
        double response, damping;
    };
    const Case cases[] = {{Motion::state(), 0.25, 1.0},  {Motion::move(), 0.4, 1.0},    {Motion::morph(), 0.4, 1.0},
                          {Motion::droplet(), 0.45, 0.62}, {Motion::drawer(), 0.3, 0.8}, {Motion::value(), 0.55, 1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.response);
        EXPECT_TRUE(c.spring.isSpring());
        EXPECT_DOUBLE_EQ(c.spring.response, c.response);
        EXPECT_DOUBLE_EQ(c.spring.dampingFraction, c.damping);
        EXPECT_DOUBLE_EQ(c.spring.mass(), 1.0);
        EXPECT_NEAR(c.spring.stiffness(), std::pow(omega(c.response), 2), 1e-9);
        EXPECT_NEAR(c.spring.damping(), 2 * c.damping * omega(c.response), 1e-9);
        EXPECT_DOUBLE_EQ(c.spring.duration, c.spring.settlingDuration());
    }
    // Created once: the same object on every use.
    EXPECT_EQ(&Motion::state(), &Motion::state());
    EXPECT_NEAR(Motion::state().stiffness(), 631.654681, 1e-5);
    EXPECT_NEAR(Motion::state().damping(), 50.265482, 1e-5);
}

TEST(Motion, SpringsSettleAtTheirSettlingDuration) {
    for (const Motion::Animation& spring : {Motion::state(), Motion::droplet(), Motion::drawer(), Motion::value(),
                                            Motion::Animation::spring(0.32, 1.0), Motion::Animation::spring(0.5, 1.6)}) {
        SCOPED_TRACE(spring.response * 1000 + spring.dampingFraction);
        const double settle = spring.settlingDuration();
        ASSERT_GT(settle, 0);
        EXPECT_LT(settle, 3 * spring.response + 0.5);
        EXPECT_DOUBLE_EQ(spring.value(0), 0.0);
        EXPECT_DOUBLE_EQ(spring.value(settle), 1.0);
        // From the settling time on it stays within 0.1 % of the target.
        for (double t = settle; t < settle + 2; t += 0.001) ASSERT_LT(std::abs(1 - spring.value(t - 1e-9)), 0.00101);
        // And not much before it, for a spring that does not oscillate.
        if (spring.dampingFraction >= 1) {
            EXPECT_GT(std::abs(1 - spring.value(settle * 0.9)), 0.001);
        }
    }
    // A critically damped spring of response 0.25 s: e^(−ω t)(1 + ω t) = 0.001 at ω t ≈ 9.2335.
    EXPECT_NEAR(Motion::state().settlingDuration(), 9.2335 / omega(0.25), 1e-3);
}

TEST(Motion, UnderdampedSpringsOvershootAndCriticalOnesDoNot) {
    double peak = 0;
    for (double t = 0; t < Motion::droplet().duration; t += 0.002) peak = std::max(peak, Motion::droplet().value(t));
    // ζ = 0.62 overshoots by e^(−πζ/√(1−ζ²)) ≈ 8.3 %.
    EXPECT_NEAR(peak, 1 + std::exp(-std::numbers::pi * 0.62 / std::sqrt(1 - 0.62 * 0.62)), 2e-3);
    for (double t = 0; t < Motion::state().duration; t += 0.002) ASSERT_LE(Motion::state().value(t), 1.0);
}

TEST(Motion, DegenerateSpringsFinishAtOnce) {
    for (auto a : {Motion::Animation::spring(0, 1), Motion::Animation::spring(-1, 1), Motion::Animation::spring(NAN, 1),
                   Motion::Animation::spring(0.3, 0), Motion::Animation::spring(0.3, NAN)}) {
        EXPECT_EQ(a.duration, 0);
        EXPECT_EQ(a.value(0.1), 1.0);
        EXPECT_FALSE(std::isnan(a.stiffness()));
    }
}

TEST(Motion, ReduceMotionTurnsEverySpringIntoAShortEaseInOut) {
    {
        ReduceMotion on(true);
        for (const auto* a : {&Motion::state(), &Motion::move(), &Motion::morph(), &Motion::droplet(), &Motion::drawer(),
                              &Motion::value()}) {
            const Motion::Animation r = Motion::resolved(*a);
            EXPECT_EQ(r.kind, Motion::Animation::Kind::easeInOut);
            EXPECT_DOUBLE_EQ(r.duration, 0.2);
        }
        // Curves other than springs stay as they are.
        EXPECT_EQ(Motion::resolved(Motion::Animation::easeOut(0.12)), Motion::Animation::easeOut(0.12));
        Motion::Animator animator(Motion::droplet());
        EXPECT_EQ(animator.duration(), 200);
    }
    ReduceMotion off(false);
    EXPECT_EQ(Motion::resolved(Motion::droplet()), Motion::droplet());
    Motion::Animator animator(Motion::droplet());
    EXPECT_EQ(animator.duration(), int(std::lround(Motion::droplet().duration * 1000)));
}

TEST(Motion, EaseInOutIsSymmetricAndSmooth) {
    const auto a = Motion::Animation::easeInOut(0.2);
    EXPECT_NEAR(a.value(0.1), 0.5, 1e-3);
    EXPECT_NEAR(a.value(0.05) + a.value(0.15), 1.0, 1e-3);
    EXPECT_LT(a.value(0.02), 0.1);
}

TEST(Motion, AnimateRunsToExactlyOneAndReportsCompletion) {
    ReduceMotion off(false);
    QObject owner;
    std::vector<double> steps;
    bool done = false;
    QElapsedTimer clock;
    clock.start();
    Motion::animate(&owner, Motion::state(), [&](double p) { steps.push_back(p); }, [&] { done = true; });
    ASSERT_TRUE(TestSupport::waitFor([&] { return done; }, 3000));
    EXPECT_GE(clock.elapsed(), qint64(Motion::state().duration * 1000) - 20);
    ASSERT_FALSE(steps.empty());
    EXPECT_DOUBLE_EQ(steps.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));

    // Destroying the owner ends it without completion.
    auto* shortLived = new QObject;
    bool finished = false;
    Motion::animate(shortLived, Motion::value(), [](double) {}, [&] { finished = true; });
    delete shortLived;
    TestSupport::spin(50);
    EXPECT_FALSE(finished);
}

TEST(PopupEntrance, GrowsFromTheAnchorAndFadesIn) {
    ReduceMotion off(false);
    QWidget container;
    container.resize(200, 100);
    PopupEntrance* entrance = PopupEntrance::run(&container, QPointF(0.25, -3), 0.92, 0.32, 1.0);
    ASSERT_NE(entrance, nullptr);
    EXPECT_EQ(PopupEntrance::of(&container), entrance);
    EXPECT_EQ(entrance->anchor(), QPointF(0.25, 0.0));
    EXPECT_TRUE(entrance->isScaling());
    EXPECT_NEAR(entrance->scale(), 0.92, 1e-9);
    EXPECT_NEAR(entrance->opacity(), 0.0, 1e-9);

    // A second entrance replaces the first.
    PopupEntrance* again = PopupEntrance::run(&container, QPointF(0.5, 1), 0.92, 0.32, 1.0);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(PopupEntrance::of(&container), again);

    TestSupport::spin(int(PopupEntrance::fadeDuration * 1000) + 60);
    EXPECT_DOUBLE_EQ(again->opacity(), 1.0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return PopupEntrance::of(&container) == nullptr; }, 3000));
    EXPECT_EQ(container.graphicsEffect(), nullptr);
}

TEST(PopupEntrance, DrawsTheContentScaledTowardItsAnchor) {
    ReduceMotion off(false);
    QWidget panel;
    panel.resize(100, 100);
    auto* container = new QWidget(&panel);
    container->setGeometry(0, 0, 100, 100);
    container->setAutoFillBackground(true);
    QPalette red;
    red.setColor(QPalette::Window, Qt::red);
    container->setPalette(red);
    panel.show();
    // A slow spring keeps the content small for a while; the anchor is the top-left corner.
    ASSERT_NE(PopupEntrance::run(container, QPointF(0, 0), 0.5, 2.0, 1.0), nullptr);
    TestSupport::spin(90);
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    panel.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_GT(image.pixelColor(10, 10).red(), 200);
    EXPECT_GT(image.pixelColor(10, 10).alpha(), 60);
    EXPECT_EQ(image.pixelColor(90, 90).alpha(), 0);
}

TEST(PopupEntrance, UnderReduceMotionOnlyFades) {
    ReduceMotion on(true);
    QWidget container;
    container.resize(200, 100);
    QElapsedTimer clock;
    clock.start();
    PopupEntrance* entrance = PopupEntrance::run(&container, QPointF(0.5, 0), 0.92, 0.32, 1.0);
    ASSERT_NE(entrance, nullptr);
    EXPECT_FALSE(entrance->isScaling());
    EXPECT_DOUBLE_EQ(entrance->scale(), 1.0);
    EXPECT_DOUBLE_EQ(entrance->opacity(), 0.0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return PopupEntrance::of(&container) == nullptr; }, 2000));
    EXPECT_GE(clock.elapsed(), qint64(PopupEntrance::reducedMotionFadeDuration * 1000) - 20);
}

// Content whose drawings are counted.
class CountingContent : public QWidget {
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent*) override {
        ++paints;
        QPainter(this).fillRect(rect(), Qt::blue);
    }
};

TEST(PopupTransition, FramesReuseOnePictureOfTheContent) {
    QWidget panel;
    panel.resize(120, 120);
    auto* content = new CountingContent(&panel);
    content->setGeometry(10, 10, 100, 100);
    auto* transition = new PopupTransition(QPointF(0.5, 0.5));
    content->setGraphicsEffect(transition);
    panel.show();
    TestSupport::spin(30);
    auto frame = [&](double scale, double opacity) {
        transition->setScale(scale);
        transition->setOpacity(opacity);
        panel.repaint();
    };
    frame(0.9, 0.2);
    const int first = content->paints;
    EXPECT_GE(first, 1);
    for (int i = 1; i <= 10; ++i) frame(0.9 + i * 0.009, 0.2 + i * 0.07);
    EXPECT_EQ(content->paints, first);  // ten frames, no drawing of the content
    QImage image(120, 120, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    panel.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_GT(image.pixelColor(60, 60).blue(), 100);

    // After a frame at full size, a content that changed is pictured anew.
    frame(1, 1);
    const int whole = content->paints;
    content->update();
    frame(0.95, 0.5);
    EXPECT_GT(content->paints, whole);
}

}  // namespace
