#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/Updates/UpdateToastController.h"
#include "Views/Updates/UpdateToastView.h"

#include "TestSupport.h"

#include <QApplication>
#include <QDir>
#include <QEnterEvent>
#include <QLabel>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// 12 below the top of the work area, or below the 24-pixel bar where no panel reserves the top.
QRect expectedFrame() {
    const QRect work = QGuiApplication::primaryScreen()->availableGeometry();
    const int top = work.top() > QGuiApplication::primaryScreen()->geometry().top() ? work.top() : work.top() + 24;
    return QRect(work.x() + work.width() - 340 - 12, top + 12, 340, 214);
}

UpdateToastView* viewOf(QWidget* panel) { return panel ? panel->findChild<UpdateToastView*>() : nullptr; }

class UpdateToast : public ::testing::Test {
protected:
    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(false, false);
        UpdateToastController::shared().setWhatsNewHandler([this](const QString& v) { opened << v; });
    }
    void TearDown() override {
        UpdateToastController::shared().close(false);
        UpdateToastController::shared().setWhatsNewHandler({});
        AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
        TestSupport::spin(50);
    }
    QStringList opened;
};

double luminance(QRgb c) { return 0.2126 * qRed(c) + 0.7152 * qGreen(c) + 0.0722 * qBlue(c); }

}  // namespace

TEST_F(UpdateToast, SlidesInFromTheRightIntoTheTopRightCornerAndOutAgain) {
    UpdateToastController& toast = UpdateToastController::shared();
    toast.show("2.0");
    QPointer<QWidget> panel = toast.panel();
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());
    EXPECT_EQ(panel->size(), QSize(340, 214));
    EXPECT_EQ(panel->pos(), expectedFrame().topLeft() + QPoint(40, 0));
    EXPECT_DOUBLE_EQ(panel->windowOpacity(), 0.0);
    EXPECT_TRUE(toast.isDismissPending());
    // Never takes focus, stays above.
    EXPECT_TRUE(panel->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_TRUE(panel->windowFlags() & Qt::WindowStaysOnTopHint);

    TestSupport::spin(200);
    EXPECT_LT(panel->pos().x(), expectedFrame().x() + 40);  // on its way
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return panel->pos() == expectedFrame().topLeft() && panel->windowOpacity() == 1.0; }, 1000));

    toast.close(true);
    EXPECT_EQ(toast.panel(), nullptr);  // gone at once for the controller
    EXPECT_FALSE(toast.isDismissPending());
    toast.close(true);                  // a second close does nothing
    TestSupport::spin(120);
    ASSERT_TRUE(panel);
    EXPECT_TRUE(panel->isVisible());    // still sliding out
    EXPECT_GT(panel->pos().x(), expectedFrame().x());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !panel || !panel->isVisible(); }, 1000));
}

TEST_F(UpdateToast, ASecondShowReplacesTheFirstAtOnceAndAnExitingToastFinishesAlone) {
    UpdateToastController& toast = UpdateToastController::shared();
    toast.show("2.0");
    QPointer<QWidget> first = toast.panel();
    toast.show("2.1");
    QPointer<QWidget> second = toast.panel();
    ASSERT_TRUE(second);
    EXPECT_NE(first, second);
    EXPECT_TRUE(!first || !first->isVisible());
    EXPECT_EQ(viewOf(second)->headline()->text(), "Updated to v2.1");
    EXPECT_TRUE(toast.isDismissPending());

    toast.close(true);
    toast.show("2.2");  // during the exit: a new toast beside the one sliding out
    QPointer<QWidget> third = toast.panel();
    ASSERT_TRUE(third);
    EXPECT_TRUE(second && second->isVisible());
    ASSERT_TRUE(TestSupport::waitFor([&] { return !second || !second->isVisible(); }, 1000));
    EXPECT_TRUE(third->isVisible());
}

TEST_F(UpdateToast, ThePointerOnTheToastHoldsTheAutomaticClose) {
    UpdateToastController& toast = UpdateToastController::shared();
    toast.show("2.0");
    UpdateToastView* view = viewOf(toast.panel());
    ASSERT_TRUE(view);
    QEnterEvent enter(QPointF(10, 10), QPointF(10, 10), QPointF(10, 10));
    QApplication::sendEvent(view, &enter);
    EXPECT_FALSE(toast.isDismissPending());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    EXPECT_TRUE(toast.isDismissPending());
}

TEST_F(UpdateToast, WhatsNewOpensTheChangelogAtTheVersionAndCloseOnlyCloses) {
    UpdateToastController& toast = UpdateToastController::shared();
    toast.show("2.0");
    QTest::mouseClick(viewOf(toast.panel())->closeButton(), Qt::LeftButton);
    EXPECT_EQ(toast.panel(), nullptr);
    EXPECT_TRUE(opened.isEmpty());

    toast.show("3.1");
    UpdateToastView* view = viewOf(toast.panel());
    QTest::mouseClick(view->whatsNewButton(), Qt::LeftButton);
    EXPECT_EQ(toast.panel(), nullptr);
    EXPECT_EQ(opened, QStringList{"3.1"});
}

TEST_F(UpdateToast, UnderReduceMotionItStandsInPlaceAndTheIconGrowsWithoutOvershoot) {
    AccessibilityDisplayOptions::shared().setOverride(true, false);
    UpdateToastController& toast = UpdateToastController::shared();
    toast.show("2.0");
    QWidget* panel = toast.panel();
    EXPECT_EQ(panel->pos(), expectedFrame().topLeft());
    EXPECT_DOUBLE_EQ(panel->windowOpacity(), 1.0);
    UpdateToastView* view = viewOf(panel);
    EXPECT_DOUBLE_EQ(view->iconScale(), 0.6);
    TestSupport::spin(100);
    EXPECT_FALSE(view->iconIn());  // 0.15 s first
    double largest = 0;
    TestSupport::waitFor([&] {
        largest = std::max(largest, view->iconScale());
        return view->iconScale() == 1.0;
    }, 2000);
    EXPECT_DOUBLE_EQ(view->iconScale(), 1.0);
    EXPECT_LE(largest, 1.0);

    // The exit still slides.
    QPointer<QWidget> leaving = panel;
    toast.close(true);
    TestSupport::spin(120);
    ASSERT_TRUE(leaving);
    EXPECT_GT(leaving->pos().x(), expectedFrame().x());
}

TEST_F(UpdateToast, TheIconPopsInWithASpring) {
    UpdateToastController& toast = UpdateToastController::shared();
    toast.show("2.0");
    UpdateToastView* view = viewOf(toast.panel());
    double largest = 0;
    TestSupport::waitFor([&] {
        largest = std::max(largest, view->iconScale());
        return false;
    }, 900);
    EXPECT_GT(largest, 1.0);  // the droplet overshoots
    EXPECT_NEAR(view->iconScale(), 1.0, 0.02);
}

// Upward space: a 1000-high screen; its top edge is at y 1000.
TEST(UpdateToastLayout, TheToastRestsBelowATopPanelOrBelowTheUnreservedBar) {
    const QRectF screen(0, 0, 1600, 1000);
    // A 30-pixel top panel and a 40-pixel bottom one: 12 below the panel, 12 from the right.
    EXPECT_EQ(UpdateToastController::finalFrame(screen, QRectF(0, 40, 1600, 930)),
              QRectF(1248, 1000 - 30 - 12 - 214, 340, 214));
    // Nothing reserved at the top (the bar strip, or a tray dock without a strut): below its 24 pixels.
    EXPECT_EQ(UpdateToastController::finalFrame(screen, screen), QRectF(1248, 1000 - 24 - 12 - 214, 340, 214));
    EXPECT_EQ(UpdateToastController::finalFrame(screen, QRectF(0, 40, 1600, 960)),
              QRectF(1248, 1000 - 24 - 12 - 214, 340, 214));
    // A second screen to the right, taller, with nothing reserved.
    EXPECT_EQ(UpdateToastController::finalFrame(QRectF(1600, -200, 800, 1200), QRectF(1600, -200, 800, 1200)),
              QRectF(2048, 1000 - 24 - 12 - 214, 340, 214));
}

TEST(UpdateToastLayout, HeadlineMessageIconAndTwoEqualButtonsInPlace) {
    UpdateToastView view("2.0", {}, {}, {});
    view.show();
    QApplication::processEvents();
    EXPECT_EQ(view.size(), QSize(340, 214));
    EXPECT_EQ(view.headline()->text(), "Updated to v2.0");
    EXPECT_EQ(view.message()->text(), "Quorvin is up to date. See what changed in this version.");
    EXPECT_EQ(view.headline()->geometry().top(), 70 + 32);
    EXPECT_EQ(view.headline()->geometry().left(), 16);
    EXPECT_EQ(UpdateToastView::iconFrame(), QRectF(14, 50, 46, 46));
    const QRect close = view.closeButton()->geometry(), whatsNew = view.whatsNewButton()->geometry();
    EXPECT_EQ(close.width(), whatsNew.width());
    EXPECT_EQ(close.left(), 16);
    EXPECT_EQ(whatsNew.right(), 340 - 16 - 1);
    EXPECT_EQ(whatsNew.left() - close.right() - 1, 8);
    EXPECT_EQ(close.top() - view.message()->geometry().bottom() - 1, 16);
    EXPECT_LE(close.bottom(), 214);
    EXPECT_EQ(view.closeButton()->text(), "Close");
    EXPECT_EQ(view.whatsNewButton()->text(), "What’s New");
    EXPECT_TRUE(view.whatsNewButton()->isProminent());
    EXPECT_FALSE(view.closeButton()->isProminent());
}

// The toast in light and dark, with its icon on the way in, settled, and with "What’s New" held
// down, grabbed from its window for a person to look at: QUORVIN_TEST_OUTPUT/update-toast-*.png.
TEST(UpdateToastGallery, EveryStateInLightAndDark) {
    AccessibilityDisplayOptions::shared().setOverride(true, false);  // in place at once
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::Window, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x28, 0x28, 0x28));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    UpdateToastController& toast = UpdateToastController::shared();
    for (const bool isDark : {false, true}) {
        QApplication::setPalette(isDark ? dark : original);
        for (const char* state : {"entering", "settled", "pressed"}) {
            toast.show("2.0");
            QWidget* panel = toast.panel();
            UpdateToastView* view = viewOf(panel);
            ASSERT_TRUE(view);
            if (QByteArray(state) != "entering") {
                ASSERT_TRUE(TestSupport::waitFor([&] { return view->iconScale() == 1.0; }, 2000));
            }
            if (QByteArray(state) == "pressed") {
                QTest::mousePress(view->whatsNewButton(), Qt::LeftButton);
                TestSupport::spin(400);
            }
            const QImage image = panel->grab().toImage();
            const QString name = QStringLiteral("update-toast-%1-%2.png").arg(isDark ? "dark" : "light", state);
            image.save(QDir(QUORVIN_TEST_OUTPUT).filePath(name));
            if (QByteArray(state) == "pressed") QTest::mouseRelease(view->whatsNewButton(), Qt::LeftButton);

            // The banner darkens towards its lower edge.
            EXPECT_GT(luminance(image.pixel(200, 4)), luminance(image.pixel(200, 68))) << qPrintable(name);
            // The icon stands over the banner's edge, smaller while it pops in.
            const QRect icon = UpdateToastView::iconFrame().toRect();
            const bool cornerDrawn = luminance(image.pixel(icon.left() + 3, icon.bottom() - 8)) !=
                                     luminance(image.pixel(icon.left() - 1, icon.bottom() - 8));
            EXPECT_EQ(cornerDrawn, QByteArray(state) != "entering") << qPrintable(name);
            // "What’s New" on the accent, "Close" on a light wash of the text colour.
            const QColor accent = SystemColors::accent(QApplication::palette());
            const QRect whatsNew = view->whatsNewButton()->geometry();
            const QColor prominent = image.pixelColor(whatsNew.left() + 10, whatsNew.center().y());
            EXPECT_LT(std::abs(prominent.hsvHue() - accent.hsvHue()), 12) << qPrintable(name);
            const QRect close = view->closeButton()->geometry();
            const QColor wash = image.pixelColor(close.left() + 10, close.center().y());
            const QColor card = image.pixelColor(close.left() + 10, close.top() - 6);
            EXPECT_EQ(luminance(wash.rgb()) > luminance(card.rgb()), isDark) << qPrintable(name);
            // Text reads on the card: dark on light, light on dark.
            const QRect headline = view->headline()->geometry();
            double extreme = isDark ? 0 : 255;
            for (int x = headline.left(); x < headline.left() + 100; ++x)
                for (int y = headline.top(); y <= headline.bottom(); ++y)
                    extreme = isDark ? std::max(extreme, luminance(image.pixel(x, y)))
                                     : std::min(extreme, luminance(image.pixel(x, y)));
            EXPECT_TRUE(isDark ? extreme > 200 : extreme < 60) << qPrintable(name) << " " << extreme;
            toast.close(false);
        }
    }
    QApplication::setPalette(original);
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
}
