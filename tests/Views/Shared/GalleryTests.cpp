// Renders every shared component into one picture for a person to look at:
// QUORVIN_TEST_OUTPUT/design-gallery.png.
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Gui/SystemFont.h"
#include "Platform/Core/UserDefaults.h"
#include "TestSupport.h"
#include "Views/Shared/AppIconView.h"
#include "Views/Shared/BarHistoryChart.h"
#include "Views/Shared/CircularStatView.h"
#include "Views/Shared/CopyButton.h"
#include "Views/Shared/DetailNavigationBar.h"
#include "Views/Shared/GlassActionBar.h"
#include "Views/Shared/GlassBarButtonStyle.h"
#include "Views/Shared/GlassCard.h"
#include "Views/Shared/PanelGlass.h"
#include "Views/Shared/PressableButtonStyle.h"
#include "Views/Shared/Recessed.h"
#include "Views/Shared/ShowAllButton.h"
#include "Views/Shared/SidebarGlyph.h"

#include <QApplication>
#include <QDir>
#include <QLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::vector<double> wave(int n, double phase) {
    std::vector<double> v;
    for (int i = 0; i < n; ++i) v.push_back(45 + 35 * std::sin(i * 0.35 + phase) + 10 * std::sin(i * 1.7));
    return v;
}

void caption(QPainter& p, double x, double y, const QString& text) {
    p.setFont(SystemFont::font(11, QFont::DemiBold));
    p.setPen(QColor(255, 255, 255, 220));
    p.drawText(QPointF(x, y), text);
}

// Draws a widget at a place in the gallery.
void place(QPainter& p, QWidget& w, QPoint at) {
    w.ensurePolished();
    if (w.layout()) w.layout()->activate();
    w.render(&p, at, QRegion(), QWidget::DrawChildren);
}

TEST(DesignGallery, RendersEveryComponent) {
    AccessibilityDisplayOptions::shared().setOverride(false, false);
    QImage image(1000, 860, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient desk(0, 0, 1000, 860);
    desk.setColorAt(0, QColor(88, 86, 214));
    desk.setColorAt(0.5, QColor(175, 82, 222));
    desk.setColorAt(1, QColor(0, 122, 255));
    p.fillRect(image.rect(), desk);

    const QPalette palette = QApplication::palette();
    const GlassCard::Appearance appearance = GlassCard::Appearance::current(palette);

    // Glass cards: plain, with rim, with tails; and under Reduce Transparency.
    caption(p, 20, 24, "GlassCard: rim, leading tail, trailing tail, Reduce Transparency");
    GlassCard::paint(p, QRectF(20, 36, 160, 110), 16, true, std::nullopt, appearance);
    GlassCard::paint(p, QRectF(200, 36, 168, 110), 16, true, CardTail{CardTail::Edge::leading, 40, 8, 11}, appearance);
    GlassCard::paint(p, QRectF(388, 36, 168, 110), 16, true, CardTail{CardTail::Edge::trailing, 70, 8, 11}, appearance);
    GlassCard::Appearance opaque = appearance;
    opaque.reduceTransparency = true;
    GlassCard::paint(p, QRectF(576, 36, 160, 110), 16, true, std::nullopt, opaque);
    GlassCard::paint(p, QRectF(756, 36, 26, 26), 13, true, std::nullopt, appearance);  // a closed droplet
    GlassCard::paint(p, QRectF(800, 36, 180, 36), 18, true, std::nullopt, appearance);  // a capsule

    // Tones.
    caption(p, 20, 172, "PanelGlass tones at tint 0.55");
    int x = 20;
    for (PanelGlass::Tone tone : PanelGlass::allTones()) {
        GlassCard::Appearance a = appearance;
        a.tint = PanelGlass::tintColor(tone, palette);
        GlassCard::paint(p, QRectF(x, 182, 86, 56), 12, true, std::nullopt, a);
        p.setBrush(PanelGlass::swatch(tone, palette));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(x + 8, 190, 14, 14));
        p.setPen(SystemColors::primary(palette));
        p.setFont(SystemFont::font(10, QFont::Medium));
        p.drawText(QRectF(x, 208, 86, 24), Qt::AlignCenter, PanelGlass::rawValue(tone));
        x += 96;
    }

    // Charts on a card.
    caption(p, 20, 266, "BarHistoryChart: plain, hovered with lower series, selected");
    GlassCard::paint(p, QRectF(20, 276, 336, 150), 16, true, std::nullopt, appearance);
    BarHistoryChart::Model chart{wave(40, 0), SystemColors::blue(), 100.0, 60, 2, std::nullopt, std::nullopt, std::nullopt};
    BarHistoryChart::paint(p, QRectF(32, 288, 312, 126), chart);
    GlassCard::paint(p, QRectF(372, 276, 300, 150), 16, true, std::nullopt, appearance);
    std::vector<double> lower;
    for (double v : wave(48, 1)) lower.push_back(v * 0.4);
    BarHistoryChart::Model hovered{wave(48, 1), SystemColors::green(), 100.0, 48, 1, 30, std::nullopt, lower};
    BarHistoryChart::paint(p, QRectF(384, 288, 276, 126), hovered);
    GlassCard::paint(p, QRectF(688, 276, 292, 150), 16, true, std::nullopt, appearance);
    BarHistoryChart::Model selected{wave(20, 2), SystemColors::orange(), std::nullopt, 48, 2, std::nullopt, 44, std::nullopt};
    BarHistoryChart::paint(p, QRectF(700, 288, 268, 126), selected);

    // Ring gauges on a menu-panel card.
    caption(p, 20, 454, "CircularStatView, SidebarGlyph, Recessed, AppIconView");
    GlassCard::paint(p, QRectF(20, 464, 264, 120), 20, true, std::nullopt, appearance);
    CircularStatView::paint(p, QRectF(36, 476, 70, 96), 37, "CPU", SystemColors::green(), palette);
    CircularStatView::paint(p, QRectF(117, 476, 70, 96), 71, "MEM", SystemColors::orange(), palette);
    CircularStatView::paint(p, QRectF(198, 476, 70, 96), -1, "DISK", SystemColors::cyan(), palette);

    GlassCard::paint(p, QRectF(300, 464, 180, 120), 16, true, std::nullopt, appearance);
    const std::pair<const char*, QColor> glyphs[] = {{"cpu", SystemColors::blue()},
                                                     {"doc.on.clipboard", SystemColors::orange()},
                                                     {"curlybraces", SystemColors::purple()},
                                                     {"gauge.medium", SystemColors::green()},
                                                     {"sparkles", SystemColors::pink()},
                                                     {"checkmark.shield", SystemColors::teal()}};
    for (int i = 0; i < 6; ++i)
        SidebarGlyph::paint(p, QRectF(316 + (i % 3) * 52, 480 + (i / 3) * 48, 20, 20), glyphs[i].first, glyphs[i].second);

    GlassCard::paint(p, QRectF(496, 464, 220, 120), 16, true, std::nullopt, appearance);
    Recessed::paint(p, QRectF(512, 480, 188, 88), 10, palette);
    p.setPen(SystemColors::secondary(palette));
    p.setFont(SystemFont::monospaced(11));
    p.drawText(QRectF(524, 488, 170, 70), Qt::AlignLeft | Qt::AlignTop, "~/Library/Caches\n~/.cache/yarn");

    AppIconView::paint(p, QRectF(736, 464, 88, 88), AppIconView::artwork());
    AppIconView::paint(p, QRectF(840, 506, 46, 46), QImage());

    // Widgets: navigation bar, action bar, buttons.
    caption(p, 20, 612, "DetailNavigationBar, GlassActionBar, CopyButton, ShowAllButton");
    GlassCard::paint(p, QRectF(20, 622, 336, 48), 24, true, std::nullopt, appearance);
    DetailNavigationBar nav("Google Chrome Helper (Renderer) with a long name", "Back to all processes", [] {},
                            new QPushButton("…"));
    nav.resize(336, 48);
    place(p, nav, {20, 622});
    GlassCard::paint(p, QRectF(20, 684, 336, 48), 24, true, std::nullopt, appearance);
    QPalette destructive = palette;
    destructive.setColor(QPalette::ButtonText, SystemColors::red());
    auto* force = new QPushButton("Force Quit");
    force->setPalette(destructive);
    GlassActionBar actions(force, new QPushButton("Quit"));
    actions.resize(336, 48);
    place(p, actions, {20, 684});

    GlassCard::paint(p, QRectF(372, 622, 300, 110), 16, true, std::nullopt, appearance);
    p.setPen(SystemColors::secondary(palette));
    p.setFont(SystemFont::monospaced(10));
    p.drawText(QPointF(388, 650), "/Applications/Tool.app");
    CopyButton copy("/Applications/Tool.app", "bundle path");
    copy.setAttribute(Qt::WA_TranslucentBackground);
    place(p, copy, {560, 636});
    CopyButton copied("x", "x");
    copied.setAttribute(Qt::WA_TranslucentBackground);
    copied.click();
    TestSupport::spin(400);
    place(p, copied, {590, 636});
    ShowAllButton collapsed(false, 26, "Pets");
    collapsed.resize(collapsed.sizeHint());
    collapsed.setAttribute(Qt::WA_TranslucentBackground);
    place(p, collapsed, {388, 672});
    ShowAllButton expanded(true, 26, "Pets");
    expanded.resize(expanded.sizeHint());
    expanded.setAttribute(Qt::WA_TranslucentBackground);
    place(p, expanded, {388, 700});

    // A pressed button next to a resting one.
    QWidget pressHolder;
    pressHolder.setAttribute(Qt::WA_TranslucentBackground);
    pressHolder.resize(200, 40);
    auto* resting = new QPushButton("Scan", &pressHolder);
    auto* pressed = new QPushButton("Scan", &pressHolder);
    for (QPushButton* b : {resting, pressed}) {
        GlassBarButtonStyle::apply(b);
        b->resize(84, GlassBarButtonStyle::buttonHeight);
    }
    resting->move(0, 4);
    pressed->move(100, 4);
    PressableButtonStyle::apply(pressed, 0.9)->setPressed(true);
    TestSupport::spin(400);
    caption(p, 700, 640, "PressableButtonStyle: resting, pressed");
    place(p, pressHolder, {700, 652});

    // Dark appearance.
    caption(p, 20, 760, "Dark appearance");
    QPalette dark = palette;
    dark.setColor(QPalette::Window, QColor(40, 40, 44));
    dark.setColor(QPalette::WindowText, Qt::white);
    GlassCard::Appearance darkGlass = GlassCard::Appearance::current(dark);
    GlassCard::paint(p, QRectF(20, 770, 264, 80), 20, true, std::nullopt, darkGlass);
    CircularStatView::paint(p, QRectF(40, 778, 50, 66), 55, "CPU", SystemColors::green(true), dark);
    CircularStatView::paint(p, QRectF(127, 778, 50, 66), 12, "MEM", SystemColors::orange(true), dark);
    CircularStatView::paint(p, QRectF(214, 778, 50, 66), 88, "DISK", SystemColors::cyan(true), dark);
    darkGlass.tint = PanelGlass::tintColor(PanelGlass::Tone::indigo, dark);
    GlassCard::paint(p, QRectF(300, 770, 336, 80), 16, true, CardTail{CardTail::Edge::leading, 30, 8, 11}, darkGlass);
    BarHistoryChart::Model darkChart{wave(60, 3), SystemColors::purple(true), 100.0, 60, 2, 50, std::nullopt, std::nullopt};
    BarHistoryChart::paint(p, QRectF(320, 780, 304, 60), darkChart);
    p.end();
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);

    QDir().mkpath(QUORVIN_TEST_OUTPUT);
    const QString path = QStringLiteral(QUORVIN_TEST_OUTPUT) + "/design-gallery.png";
    ASSERT_TRUE(image.save(path));
    EXPECT_FALSE(QImage(path).isNull());
}

}  // namespace
