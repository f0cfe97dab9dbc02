// The menu-bar widgets in a real XEmbed tray (the test tray host) on a real X server: each widget
// is its own icon and can be read there, light or dark, and the widgets follow the tray away
// and back. Pictures of the docked icons go to QUORVIN_TEST_OUTPUT/tray-widgets-*.png.
#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Ui/StatusBar.h"
#include "Source/Features/Widgets/MenuBarWidgetController.h"
#include "Source/Features/Widgets/WidgetManager.h"
#include "TestSupport.h"
#include "TestTrayHost.h"
#include "Views/Widgets/TrayWidgetIcon.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

namespace {

struct Case {
    const char* name;
    int iconSize;
    QColor background;
    std::optional<QColor> announcedInk;
    QColor expectedInk;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

QImage grabScreen(const QRect& rect) {
    return QGuiApplication::primaryScreen()->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height()).toImage();
}

// How many pixels are close to a colour.
int pixelsNear(const QImage& image, const QColor& color) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                    std::abs(c.blue() - color.blue()) < 80)
                ++n;
        }
    }
    return n;
}

// The bounding box of the pixels that differ from the background.
QRect drawnBox(const QImage& image, const QColor& background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - background.red()) + std::abs(c.green() - background.green()) +
                    std::abs(c.blue() - background.blue()) > 120)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

class WidgetTrayX11 : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(WidgetTrayX11, EachWidgetIsItsOwnReadableIcon) {
    const Case c = GetParam();
    ASSERT_NE(qGuiApp->nativeInterface<QNativeInterface::QX11Application>(), nullptr);
    UserDefaults defaults{QString{}};
    WidgetManager::Readings readings{37, 100, 64, 81, 340 * 1024, 58.0};
    WidgetManager manager(defaults, [&readings] { return readings; });
    WidgetConfiguration all;
    all.enabledWidgets = {WidgetTypes::allCases.begin(), WidgetTypes::allCases.end()};
    all.isGrouped = true;  // a tray shows one icon per widget all the same
    manager.setConfiguration(all);

    TestTrayHost tray({c.iconSize, c.background, c.announcedInk});
    ASSERT_TRUE(tray.start());
    StatusBar bar;
    ASSERT_EQ(bar.kind(), StatusBar::Kind::tray);
    MenuBarWidgetController controller(manager, bar);
    controller.rebuild();
    ASSERT_TRUE(TestSupport::waitFor([&] { return tray.icons().size() == WidgetTypes::allCases.size(); }, 5000));
    // The ink: the one the tray announces, else one read from the tray's background.
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.ink() == c.expectedInk; }, 5000));
    // And the tray's background, which the readings' colours follow.
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.background().isValid(); }, 5000));
    TestSupport::spin(400);  // the icons paint

    // In declaration order from the left, as on a menu bar.
    for (size_t i = 1; i < WidgetTypes::allCases.size(); ++i)
        EXPECT_LT(controller.item(WidgetTypes::allCases[i - 1])->screenRect().x(),
                  controller.item(WidgetTypes::allCases[i])->screenRect().x());

    const bool dark = c.expectedInk.lightnessF() > 0.5;
    const QRect panel = tray.panelScreenRect();
    const QImage strip = grabScreen(panel);
    for (WidgetType type : WidgetTypes::allCases) {
        SCOPED_TRACE(WidgetTypes::id(type).toStdString());
        StatusItem* item = controller.item(type);
        ASSERT_TRUE(item->isVisible());
        const QRect rect = item->screenRect();
        ASSERT_EQ(rect.size(), QSize(c.iconSize, c.iconSize));
        ASSERT_TRUE(panel.contains(rect));
        const QImage icon = grabScreen(rect);
        // The reading in the widget's hue, made to read on the tray's background, large: most of
        // the icon's width.
        const QColor value = TrayWidgetIcon::valueColor(type, c.expectedInk, bar.background());
        EXPECT_NEAR(value.hslHueF(), WidgetTypes::color(type, dark).hslHueF(), 0.01);
        EXPECT_GE(pixelsNear(icon, value), c.iconSize);
        // 3:1 against the tile as the screen shows it, above the figures.
        const QColor tile = icon.pixelColor(c.iconSize / 2, 2);
        EXPECT_GE(SystemColors::contrast(value, tile), 3.0) << qPrintable(value.name() + " on " + tile.name());
        const QRect drawn = drawnBox(icon, c.background);
        EXPECT_GE(drawn.width(), c.iconSize / 2);
        EXPECT_GE(drawn.height(), c.iconSize / 3);
    }

    QImage picture(strip.width() * 4, strip.height() * 4 + strip.height() + 8, QImage::Format_RGB32);
    picture.fill(QColor(0x80, 0x80, 0x80));
    QPainter p(&picture);
    p.drawImage(QPoint(0, 0), strip);
    p.drawImage(QRect(0, strip.height() + 8, strip.width() * 4, strip.height() * 4), strip);
    p.end();
    EXPECT_TRUE(picture.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/tray-widgets-") + c.name + ".png"));

    // Labels on: the short names appear in the ink.
    manager.setShowLabels(true);
    controller.rebuild();
    TestSupport::spin(300);
    const QImage labelled = grabScreen(controller.item(WidgetType::cpu)->screenRect());
    EXPECT_GE(pixelsNear(labelled, c.expectedInk), 4);
    const QImage labelledStrip = grabScreen(panel);
    EXPECT_TRUE(labelledStrip.save(QStringLiteral(QUORVIN_TEST_OUTPUT "/tray-widgets-") + c.name + "-labels.png"));

    // The tray goes: the widgets go back to one grouped item on our strip.
    tray.stop();
    ASSERT_TRUE(TestSupport::waitFor([&] { return bar.kind() == StatusBar::Kind::strip; }, 3000));
    EXPECT_TRUE(controller.groupedItem()->isVisible());
    EXPECT_FALSE(controller.item(WidgetType::cpu)->isVisible());
    EXPECT_FALSE(controller.groupedItem()->image().isNull());
}

INSTANTIATE_TEST_SUITE_P(
    Trays, WidgetTrayX11,
    ::testing::Values(Case{"dark-22", 22, QColor(0x2b, 0x2b, 0x2b), QColor(0xee, 0xee, 0xee), QColor(0xee, 0xee, 0xee)},
                      Case{"dark-24-unannounced", 24, QColor(0x23, 0x26, 0x2e), std::nullopt, QColor(Qt::white)},
                      Case{"light-24", 24, QColor(0xe8, 0xe8, 0xe7), std::nullopt, QColor(0x1d, 0x1d, 0x1f)},
                      Case{"grey-24", 24, QColor(0x7a, 0x7a, 0x7a), std::nullopt, QColor(Qt::white)}),
    [](const ::testing::TestParamInfo<Case>& info) {
        std::string name = info.param.name;
        for (char& ch : name)
            if (ch == '-') ch = '_';
        return name;
    });
