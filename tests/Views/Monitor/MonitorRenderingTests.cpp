// Pixels where the look is the point: bars drawn where their chart is, at any pixel ratio; the
// icon cache's images.
#include "MonitorTestSupport.h"

#include "Platform/Gui/SystemColors.h"
#include "Views/Monitor/MetricChartCard.h"
#include "Views/Monitor/ProcessIconCache.h"

#include <QFile>
#include <QPainter>

#include <gtest/gtest.h>

namespace {
bool isGreenish(QRgb c) { return qGreen(c) > 150 && qRed(c) < 120 && qBlue(c) < 140; }
}  // namespace

TEST(MonitorRendering, ChartBarsInsideAParentLandWhereTheChartIs) {
    for (double ratio : {1.0, 2.0}) {
        QWidget parent;
        parent.resize(400, 300);
        MetricChartCard::Model model;
        model.series = std::vector<double>(60, 100);
        model.tint = QColor(0, 200, 0);
        model.kind = MetricChartKind::percent;
        model.height = 132;
        auto* card = new MetricChartCard(model, std::nullopt, &parent);
        card->setGeometry(50, 70, 300, 140);
        QImage image(QSize(400, 300) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            parent.render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
        }
        // Full bars fill the chart area (x 50…350, y 78…210) and nothing below or beside it.
        // Green across a 6-point stretch (a bar and a gap) at a point, or not at all.
        auto green = [&](double x, double y) {
            for (int dx = 0; dx < int(6 * ratio); ++dx)
                if (isGreenish(image.pixel(int(x * ratio) + dx, int(y * ratio)))) return true;
            return false;
        };
        EXPECT_TRUE(green(335, 200)) << ratio;
        EXPECT_TRUE(green(200, 150)) << ratio;
        EXPECT_FALSE(green(200, 250)) << ratio;
        EXPECT_FALSE(green(360, 150)) << ratio;
        EXPECT_FALSE(green(20, 150)) << ratio;
    }
}

TEST(MonitorRendering, IconsComeFromTheEntryOnceForEachName) {
    SyntheticProc proc;
    // An entry whose icon is a file: a red square.
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(Qt::red);
    const QString iconPath = proc.applications() + "/red.png";
    ASSERT_TRUE(red.save(iconPath));
    const QString entry = proc.addApplication("org.example.Red", "Red", "red", iconPath);
    const QString link = proc.applications() + "/link.desktop";
    ASSERT_TRUE(QFile::link(entry, link));

    const QPixmap viaLink = ProcessIconCache::icon(link, "render-test-red");
    ASSERT_FALSE(viaLink.isNull());
    const QRgb middle = viaLink.toImage().pixel(viaLink.width() / 2, viaLink.height() / 2);
    EXPECT_GT(qRed(middle), 200);
    EXPECT_LT(qGreen(middle), 50);

    // No entry: the gear; the same name later keeps the gear, whatever path it brings.
    const QPixmap gear = ProcessIconCache::icon(std::nullopt, "render-test-plain");
    EXPECT_EQ(ProcessIconCache::icon(entry, "render-test-plain").cacheKey(), gear.cacheKey());
    EXPECT_EQ(ProcessIconCache::icon(entry, "render-test-red").cacheKey(), viaLink.cacheKey());
    // An entry without an icon the theme has also gets the gear's look (not an empty image).
    const QString blank = proc.addApplication("org.example.Blank", "Blank", "blank", "no-such-icon-anywhere");
    const QImage fallback = ProcessIconCache::icon(blank, "render-test-blank").toImage();
    int opaque = 0;
    for (int y = 0; y < fallback.height(); ++y)
        for (int x = 0; x < fallback.width(); ++x) opaque += qAlpha(fallback.pixel(x, y)) > 0;
    EXPECT_GT(opaque, 50);

    // Every name without an icon shares the one gear: hundreds of commands cost one picture.
    const QPixmap other = ProcessIconCache::icon(std::nullopt, "render-test-another");
    EXPECT_EQ(other.cacheKey(), gear.cacheKey());
    EXPECT_EQ(ProcessIconCache::icon(blank, "render-test-blank").cacheKey(), gear.cacheKey());
}
