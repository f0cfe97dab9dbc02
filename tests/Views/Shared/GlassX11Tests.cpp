// The glass on a real X server: where the compositor announces blur behind windows (as one does,
// with a property of that name on the root), a translucent window asks for it under its visible
// cards and nowhere else; where none does (nor a window manager that has gone), it asks for nothing.
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "TestSupport.h"
#include "Views/Shared/GlassCard.h"

#include <QScopeGuard>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <optional>

#include "X11TestSupport.h"

namespace {

// The region a window asks to have blurred, or none where it asks for nothing.
std::optional<QRegion> blurAskedFor(const QWidget& window) {
    Display* d = X11Test::display();
    Atom actual = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<QRegion> region;
    if (XGetWindowProperty(d, window.winId(), XInternAtom(d, "_KDE_NET_WM_BLUR_BEHIND_REGION", False), 0, 1 << 16,
                           False, XA_CARDINAL, &actual, &format, &count, &after, &data) == Success &&
        actual == XA_CARDINAL && format == 32) {
        region = QRegion();
        const auto* v = reinterpret_cast<const unsigned long*>(data);
        for (unsigned long i = 0; i + 3 < count; i += 4)
            *region += QRect(int(v[i]), int(v[i + 1]), int(v[i + 2]), int(v[i + 3]));
    }
    if (data) XFree(data);
    return region;
}

TEST(GlassX11, AsksForBlurUnderItsCardsWhereTheCompositorOffersIt) {
    AccessibilityDisplayOptions::shared().setOverride(true, false);
    auto options = qScopeGuard([] { AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt); });
    QWidget window(nullptr, Qt::FramelessWindowHint);
    window.setAttribute(Qt::WA_TranslucentBackground);
    window.setGeometry(100, 100, 300, 200);
    auto* top = new GlassCard(14, std::nullopt, true, std::nullopt, &window);
    top->setGeometry(10, 10, 280, 80);
    auto* bottom = new GlassCard(14, std::nullopt, true, std::nullopt, &window);
    bottom->setGeometry(10, 100, 280, 90);
    auto* hidden = new GlassCard(14, std::nullopt, true, std::nullopt, &window);
    hidden->setGeometry(0, 0, 300, 200);
    hidden->hide();
    auto show = [&] {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        // Asked once the cards have settled: the window then keeps the region it asked for.
        ASSERT_TRUE(TestSupport::waitFor([&] { return window.property("glassBlurRegion").isValid(); }));
        XSync(X11Test::display(), False);
    };

    // Nor where only a window manager that has gone listed it among what it supports.
    Display* d = X11Test::display();
    const ::Window root = DefaultRootWindow(d);
    const Atom blur = XInternAtom(d, "_KDE_NET_WM_BLUR_BEHIND_REGION", False);
    const Atom supported = XInternAtom(d, "_NET_SUPPORTED", False);
    XChangeProperty(d, root, supported, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&blur), 1);
    X11Test::leaveGoneWindowManagerCheck();
    auto forget = qScopeGuard(X11Test::clearWindowManagerLeftovers);
    show();
    EXPECT_FALSE(blurAskedFor(window)) << "asked for blur where none is offered";
    window.hide();
    X11Test::clearWindowManagerLeftovers();
    XChangeProperty(d, root, blur, XA_CARDINAL, 32, PropModeReplace, nullptr, 0);
    XSync(d, False);
    auto unannounce = qScopeGuard([&] {
        XDeleteProperty(d, root, blur);
        XSync(d, False);
    });
    show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return blurAskedFor(window).has_value(); }))
        << "no blur asked for where it is offered";
    const QRegion asked = *blurAskedFor(window);
    QRegion cards;
    for (const GlassCard* card : {top, bottom})
        cards += QRegion(GlassCard::shape(QRectF(card->geometry()), 14, std::nullopt).toFillPolygon().toPolygon());
    int differ = 0;
    for (int y = 0; y < window.height(); ++y)
        for (int x = 0; x < window.width(); ++x) differ += asked.contains(QPoint(x, y)) != cards.contains(QPoint(x, y));
    EXPECT_LE(differ, 40) << "the blur lies under the cards, to the pixel but for their rounded edges";
    EXPECT_FALSE(asked.contains(QPoint(150, 95)));  // the gap between them
    EXPECT_FALSE(asked.contains(QPoint(11, 11)));  // a rounded corner

    // A card that moves takes its blur along.
    bottom->move(10, 105);
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return blurAskedFor(window) && blurAskedFor(window)->contains(QPoint(150, 192)); }));
}

}  // namespace
