#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Views/Shared/AppIconView.h"
#include "Views/Shared/CircularStatView.h"
#include "Views/Shared/CopyButton.h"
#include "Views/Shared/DetailNavigationBar.h"
#include "Views/Shared/GlassActionBar.h"
#include "Views/Shared/GlassBarButtonStyle.h"
#include "Views/Shared/Motion.h"
#include "Views/Shared/PressableButtonStyle.h"
#include "Views/Shared/Recessed.h"
#include "Views/Shared/ShowAllButton.h"
#include "Views/Shared/SidebarGlyph.h"
#include "TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct ReduceMotion {
    explicit ReduceMotion(bool on) { AccessibilityDisplayOptions::shared().setOverride(on, std::nullopt); }
    ~ReduceMotion() { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); }
};

TEST(PressableButtonStyle, ShrinksWhilePressedAndSpringsBack) {
    ReduceMotion off(false);
    QPushButton button("Scan");
    button.resize(120, 40);
    PressableButtonStyle* style = PressableButtonStyle::apply(&button, 0.96);
    button.show();
    EXPECT_DOUBLE_EQ(style->scale(), 0.96);
    EXPECT_DOUBLE_EQ(style->currentScale(), 1.0);

    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(60, 20));
    EXPECT_DOUBLE_EQ(style->targetScale(), 0.96);
    ASSERT_TRUE(TestSupport::waitFor([&] { return style->currentScale() == 0.96; }, 2000));

    // The drawing shrinks about the centre: the corners of the button's own drawing go clear.
    const QImage pressed = button.grab().toImage();
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(60, 20));
    EXPECT_DOUBLE_EQ(style->targetScale(), 1.0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return style->currentScale() == 1.0; }, 2000));
    EXPECT_EQ(pressed.size(), button.grab().toImage().size());

    // Sliding off the button while it is held lets it grow back.
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(60, 20));
    EXPECT_DOUBLE_EQ(style->targetScale(), 0.96);
    QMouseEvent away(QEvent::MouseMove, QPointF(300, 300), button.mapToGlobal(QPointF(300, 300)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&button, &away);
    EXPECT_DOUBLE_EQ(style->targetScale(), 1.0);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(300, 300));
}

TEST(PressableButtonStyle, UnderReduceMotionTheChangeTakesAFifthOfASecond) {
    ReduceMotion on(true);
    QPushButton button("Up");
    PressableButtonStyle* style = PressableButtonStyle::apply(&button, 0.9);
    QElapsedTimer clock;
    clock.start();
    const double ownStart = TestSupport::threadOwnMs();
    style->setPressed(true);
    ASSERT_TRUE(TestSupport::waitFor([&] { return style->currentScale() == 0.9; }, 2000));
    EXPECT_GE(clock.elapsed(), 180);
    // Not the full spring; time spent waiting for a core while the machine is busy doesn't count.
    EXPECT_LT(TestSupport::threadOwnMs() - ownStart, 600);
}

TEST(CopyButton, CopiesTheValueAndShowsACheckMarkForAMoment) {
    QApplication::clipboard()->setText("before");
    CopyButton button("/Applications/Tool.app", "bundle path");
    EXPECT_EQ(button.toolTip(), "Copy bundle path");
    EXPECT_EQ(button.accessibleName(), "Copy bundle path");
    EXPECT_EQ(button.symbol(), "doc.on.doc");
    button.show();

    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), "/Applications/Tool.app");
    EXPECT_TRUE(button.justCopied());
    EXPECT_EQ(button.symbol(), "checkmark");
    TestSupport::spin(1000);
    EXPECT_TRUE(button.justCopied());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !button.justCopied(); }, 3000));
    EXPECT_GE(clock.elapsed(), 1300);  // coarse timers may fire up to 5 % early
    EXPECT_EQ(button.symbol(), "doc.on.doc");

    // A second click while the mark shows starts the 1.4 s again.
    QTest::mouseClick(&button, Qt::LeftButton);
    TestSupport::spin(900);
    button.setValue("second");
    clock.restart();
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), "second");
    TestSupport::spin(900);
    EXPECT_TRUE(button.justCopied());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !button.justCopied(); }, 3000));
    EXPECT_GE(clock.elapsed(), 1300);  // coarse timers may fire up to 5 % early
}

TEST(ShowAllButton, FlipsItsFlagAndTitle) {
    EXPECT_EQ(ShowAllButton::title(false, 26, "Pets"), "Show All 26 Pets");
    EXPECT_EQ(ShowAllButton::title(true, 26, "Pets"), "Show Less");
    bool expanded = false;
    ShowAllButton button(expanded, 41, "Icons");
    QObject::connect(&button, &ShowAllButton::isExpandedChanged, [&](bool v) { expanded = v; });
    button.show();
    EXPECT_EQ(button.text(), "Show All 41 Icons");
    EXPECT_DOUBLE_EQ(button.chevronRotation(), 0);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(expanded);
    EXPECT_EQ(button.text(), "Show Less");
    ASSERT_TRUE(TestSupport::waitFor([&] { return button.chevronRotation() == 180; }, 2000));
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(expanded);
    button.setEnabled(false);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(expanded);
}

TEST(DetailNavigationBar, BackButtonAndEscapeCallOnBack) {
    int backs = 0;
    auto* more = new QPushButton("…");
    DetailNavigationBar bar("A very long process group name that will not fit in the bar at all", "Back to all processes",
                            [&] { ++backs; }, more);
    bar.resize(240, DetailNavigationBar::barHeight);
    bar.show();
    QApplication::setActiveWindow(&bar);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&bar));

    EXPECT_EQ(bar.backButton()->toolTip(), "Back to all processes");
    QTest::mouseClick(bar.backButton(), Qt::LeftButton);
    EXPECT_EQ(backs, 1);
    QTest::keyClick(&bar, Qt::Key_Escape);
    EXPECT_EQ(backs, 2);
    QTest::keyClick(&bar, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_EQ(backs, 2);

    // The trailing view sits at the right end; the title is cut in its middle.
    EXPECT_EQ(more->parentWidget(), &bar);
    EXPECT_GT(more->geometry().left(), 120);
    EXPECT_LE(more->geometry().right(), 240);
    const QString shown = bar.displayedTitle();
    EXPECT_TRUE(shown.startsWith("A "));
    EXPECT_TRUE(shown.endsWith("all"));
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_EQ(bar.font().pixelSize(), 13);
}

TEST(GlassActionBar, PutsItsWidgetsAtBothEndsInItsButtonLook) {
    auto* forceQuit = new QPushButton("Force Quit");
    auto* quit = new QPushButton("Quit");
    GlassActionBar bar(forceQuit, quit);
    bar.resize(336, GlassActionBar::barHeight);
    bar.show();
    QApplication::processEvents();
    EXPECT_NE(GlassBarButtonStyle::of(forceQuit), nullptr);
    EXPECT_NE(GlassBarButtonStyle::of(quit), nullptr);
    EXPECT_LT(forceQuit->geometry().right(), 168);
    EXPECT_GT(quit->geometry().left(), 168);
    EXPECT_EQ(quit->height(), GlassBarButtonStyle::buttonHeight);
    QSignalSpy clicked(quit, &QPushButton::clicked);
    QTest::mouseClick(quit, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);
    // The style paints the button: a translucent capsule with clear corners.
    QImage image(quit->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    quit->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
    EXPECT_GT(qAlpha(image.pixel(quit->width() / 2, 3)), 0);
    EXPECT_LT(qAlpha(image.pixel(quit->width() / 2, 3)), 80);
}

TEST(SidebarGlyph, DrawsAWhiteSymbolOnTheTintedSquare) {
    const QImage image = SidebarGlyph::image("cpu", QColor(0, 122, 255));
    ASSERT_EQ(image.size(), QSize(20, 20));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);  // rounded corner
    const QColor edge = image.pixelColor(1, 10);
    EXPECT_GT(edge.blue(), 200);
    EXPECT_LT(edge.red(), 120);
    int white = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if (image.pixelColor(x, y).red() > 220 && image.pixelColor(x, y).blue() > 220) ++white;
    EXPECT_GT(white, 6);
}

TEST(Recessed, FillsAFaintWellBehindItsContent) {
    QPalette palette;
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    QImage image(100, 60, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    Recessed::paint(painter, QRectF(0, 0, 100, 60), 10, palette);
    painter.end();
    EXPECT_NEAR(image.pixelColor(50, 30).alpha(), 13, 1);  // 0.1 × 0.5
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
}

TEST(CircularStatView, RingArcRunsClockwiseFromTwelve) {
    EXPECT_EQ(CircularStatView::valueText(42.4), "42%");
    EXPECT_EQ(CircularStatView::valueText(-1), "—");
    EXPECT_EQ(CircularStatView::valueText(NAN), "—");
    const QRectF ring = CircularStatView::ringRect(QRectF(0, 0, 80, 100));
    EXPECT_DOUBLE_EQ(ring.width(), ring.height());
    EXPECT_LE(ring.bottom(), 100 - CircularStatView::labelSpacing);

    QPalette palette;
    palette.setColor(QPalette::WindowText, Qt::black);
    auto render = [&](double percent) {
        QImage image(80, 100, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        CircularStatView::paint(painter, QRectF(0, 0, 80, 100), percent, "CPU", QColor(255, 0, 0), palette);
        return image;
    };
    const double line = CircularStatView::lineWidth(ring.width());
    const QPointF c = ring.center();
    const double r = ring.width() / 2 - line / 2;
    auto redAt = [&](const QImage& image, double degreesClockwiseFromTop) {
        const double a = qDegreesToRadians(degreesClockwiseFromTop);
        const QColor px = image.pixelColor(int(c.x() + r * std::sin(a)), int(c.y() - r * std::cos(a)));
        return px.red() > 200 && px.green() < 60 && px.alpha() > 200;
    };
    const QImage quarter = render(25);
    EXPECT_TRUE(redAt(quarter, 10));
    EXPECT_TRUE(redAt(quarter, 80));
    EXPECT_FALSE(redAt(quarter, 120));
    EXPECT_FALSE(redAt(quarter, 270));
    const QImage none = render(-1);
    EXPECT_FALSE(redAt(none, 10));
    const QImage full = render(150);
    EXPECT_TRUE(redAt(full, 200));
    EXPECT_TRUE(redAt(full, 350));
}

TEST(CircularStatView, NewValuesMoveWithTheValueSpringWhereTheyCanBeSeen) {
    ReduceMotion off(false);
    QWidget window;
    window.resize(100, 100);
    auto* gauge = new CircularStatView("MEM", QColor(255, 149, 0), &window);
    gauge->setGeometry(10, 8, 68, 84);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    gauge->setValue(20);
    EXPECT_DOUBLE_EQ(gauge->displayedValue(), 20);  // nothing to move from
    gauge->setValue(80);
    EXPECT_DOUBLE_EQ(gauge->value(), 80);
    EXPECT_LT(gauge->displayedValue(), 80);
    TestSupport::spin(150);
    EXPECT_GT(gauge->displayedValue(), 20);
    EXPECT_LT(gauge->displayedValue(), 80);
    ASSERT_TRUE(TestSupport::waitFor([&] { return gauge->displayedValue() == 80; }, 3000));
    EXPECT_FALSE(gauge->isAnimating());
    gauge->setValue(NAN);
    EXPECT_DOUBLE_EQ(gauge->displayedValue(), -1);

    // A gauge nobody sees takes its value at once.
    gauge->setValue(30);
    window.hide();
    gauge->setValue(60);
    EXPECT_FALSE(gauge->isAnimating());
    EXPECT_DOUBLE_EQ(gauge->displayedValue(), 60);
}

TEST(CircularStatView, TheGaugeDrawsWhatPaintDrawsAfterItsLabelOrPaletteChanges) {
    QWidget window;
    window.resize(100, 100);
    auto* gauge = new CircularStatView("CPU", QColor(255, 0, 0), &window);
    gauge->setGeometry(0, 0, 68, 84);
    gauge->setValue(37);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto expected = [&](const QString& label, const QPalette& palette) {
        QImage image(68, 84, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        CircularStatView::paint(painter, QRectF(0, 0, 68, 84), 37, label, QColor(255, 0, 0), palette);
        return image;
    };
    auto differing = [](const QImage& a, const QImage& b) {
        const QImage p = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        int n = 0;
        for (int y = 0; y < p.height(); ++y)
            for (int x = 0; x < p.width(); ++x) {
                const QRgb u = p.pixel(x, y), v = b.pixel(x, y);
                if (std::abs(qRed(u) - qRed(v)) > 2 || std::abs(qGreen(u) - qGreen(v)) > 2 ||
                    std::abs(qBlue(u) - qBlue(v)) > 2 || std::abs(qAlpha(u) - qAlpha(v)) > 2)
                    ++n;
            }
        return n;
    };
    EXPECT_EQ(differing(gauge->grab().toImage(), expected("CPU", gauge->palette())), 0);
    gauge->setLabel("RAM");
    EXPECT_EQ(differing(gauge->grab().toImage(), expected("RAM", gauge->palette())), 0);
    QPalette dark = gauge->palette();
    dark.setColor(QPalette::WindowText, QColor(240, 240, 240));
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    gauge->setPalette(dark);
    EXPECT_EQ(differing(gauge->grab().toImage(), expected("RAM", dark)), 0);
    EXPECT_GT(differing(gauge->grab().toImage(), expected("RAM", window.palette())), 20);
}

TEST(AppIconView, DrawsTheIconClippedToItsRoundedSquare) {
    EXPECT_NEAR(AppIconView::artworkSide(88), 88 * 1024.0 / 824.0 * 1.02, 1e-9);
    EXPECT_NEAR(AppIconView::cornerRadius(46), 46 * 0.2237, 1e-9);
    QImage art(100, 100, QImage::Format_ARGB32_Premultiplied);
    art.fill(QColor(10, 200, 30));
    QImage image(88, 88, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    AppIconView::paint(painter, QRectF(0, 0, 88, 88), art);
    painter.end();
    EXPECT_EQ(image.pixelColor(44, 44), QColor(10, 200, 30));
    EXPECT_EQ(image.pixelColor(44, 0).green(), 200);  // the artwork overflows the frame: edge covered
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);           // corner clipped
    AppIconView view(46);
    EXPECT_EQ(view.size(), QSize(46, 46));
    // Without any artwork a stand-in is drawn.
    QImage stand(46, 46, QImage::Format_ARGB32_Premultiplied);
    stand.fill(Qt::transparent);
    QPainter p2(&stand);
    AppIconView::paint(p2, QRectF(0, 0, 46, 46), QImage());
    p2.end();
    EXPECT_EQ(qAlpha(stand.pixel(23, 2)), 255);
}

}  // namespace
