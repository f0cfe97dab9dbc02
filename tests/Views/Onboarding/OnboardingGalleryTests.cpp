// Renders the release banners of every theme and the welcome window, light and dark, for a person
// to look at (QUORVIN_TEST_OUTPUT/onboarding-*.png). The checks are what must hold in any look:
// nothing drawn as a black box, every text inside the window.
#include "FakeInputAccess.h"
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemColors.h"
#include "Platform/Core/Bundle.h"
#include "Source/Features/Onboarding/ChangelogSelection.h"
#include "Source/Features/Onboarding/PixelScene.h"
#include "Source/Features/Updates/UpdateManager.h"
#include "TestSupport.h"
#include "Views/Onboarding/ChangelogView.h"
#include "Views/Onboarding/WelcomeView.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using TestSupport::darkPalette;

// Keeps the application palette for one look and puts the old one back.
struct Look {
    explicit Look(bool dark) : saved(QApplication::palette()) {
        if (dark) QApplication::setPalette(darkPalette());
    }
    ~Look() { QApplication::setPalette(saved); }
    QPalette saved;
};

QString output(const QString& name) { return QStringLiteral(QUORVIN_TEST_OUTPUT "/onboarding-") + name + ".png"; }

double blackShare(const QImage& image) {
    int black = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 8 && qAlpha(image.pixel(x, y)) > 250) ++black;
    return double(black) / std::max(1, image.width() * image.height());
}

QImage welcome(bool dark, bool granted) {
    Look look(dark);
    FakeInputAccess access;
    access.granted = granted;
    QWidget window;
    window.setFixedSize(540, 650);
    auto* view = new WelcomeView([] {}, access, &window);
    view->setGeometry(window.rect());
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Every label lies inside the window and none is cut short.
    for (QLabel* label : view->findChildren<QLabel*>()) {
        if (!label->isVisible()) continue;
        const QRect r(label->mapTo(&window, QPoint()), label->size());
        EXPECT_TRUE(window.rect().contains(r)) << label->text().toStdString();
        EXPECT_GE(label->height(), label->heightForWidth(label->width()) > 0 ? label->heightForWidth(label->width())
                                                                           : label->sizeHint().height())
            << label->text().toStdString();
    }
    const QRect button(view->mainButton()->mapTo(&window, QPoint()), view->mainButton()->size());
    EXPECT_TRUE(window.rect().contains(button));
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(SystemColors::windowBackground(QApplication::palette()));
    QPainter p(&image);
    window.render(&p, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

}  // namespace

TEST(OnboardingGallery, EveryThemesBanner) {
    const QList<PixelScene::Theme>& themes = PixelScene::Theme::sequence();
    QImage sheet(920, 8 * 250, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    for (int k = 0; k < themes.size(); ++k) {
        const QImage frame = PixelScene::render(QSizeF(920, 240), 812345678.5 + 3 * k, themes[k]);
        EXPECT_LT(blackShare(frame), 0.05) << "theme " << k;
        p.drawImage(0, 250 * k, frame);
    }
    // The toast's strip (70 points high) of the dusk theme under the last one.
    p.end();
    EXPECT_TRUE(sheet.save(output("banners")));

    QImage toast(360, 70 * 8, QImage::Format_ARGB32_Premultiplied);
    QPainter t(&toast);
    for (int k = 0; k < themes.size(); ++k) t.drawImage(0, 70 * k, PixelScene::render(QSizeF(360, 70), 1000, themes[k]));
    t.end();
    EXPECT_TRUE(toast.save(output("toast-strips")));
}

TEST(OnboardingGallery, WelcomeWindowLightAndDark) {
    AccessibilityDisplayOptions::shared().setOverride(true, false);
    QImage sheet(2 * 540 + 20, 2 * 650 + 20, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0x3c, 0x6e, 0x71));
    QPainter p(&sheet);
    for (int dark = 0; dark < 2; ++dark)
        for (int granted = 0; granted < 2; ++granted) {
            const QImage image = welcome(dark, granted);
            EXPECT_LT(blackShare(image), 0.02) << dark << granted;
            p.drawImage(granted * 560, dark * 670, image);
        }
    p.end();
    AccessibilityDisplayOptions::shared().setOverride(std::nullopt, std::nullopt);
    EXPECT_TRUE(sheet.save(output("welcome")));
}

TEST(OnboardingGallery, ChangelogLightAndDark) {
    QTemporaryDir dir;
    QFile file(dir.filePath("Changelog.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(R"([
      {"version": "1.0.0", "date": "December 2026", "notes": ["Quorvin comes to Linux."]},
      {"version": "1.1.0", "date": "January 2027", "notes": ["Release notes with their own landscape.",
        "A welcome window at first start, with what keyboard access allows in this session.",
        "A longer note to show how the text wraps inside its column of at most 640 points, whatever the width of the window around it."]},
      {"version": "1.2.0", "date": "February 2027", "notes": []}
    ])");
    file.close();
    UpdateManager updates(UpdateManager::Environment{Bundle::main(), dir.filePath("Changelog.json"),
                                                     dir.filePath("feed.json")});
    UpdateManager empty(UpdateManager::Environment{Bundle::main(), dir.filePath("none.json"), dir.filePath("none")});

    QImage sheet(2 * 920 + 20, 2 * 660 + 20, QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(0x3c, 0x6e, 0x71));
    QPainter p(&sheet);
    for (int dark = 0; dark < 2; ++dark)
        for (int placeholder = 0; placeholder < 2; ++placeholder) {
            Look look(dark);
            ChangelogSelection selection;
            selection.setVersion(QStringLiteral("1.1.0"));
            QWidget window;
            window.resize(920, 660);
            auto* view = new ChangelogView(selection, placeholder ? empty : updates, &window);
            view->setGeometry(window.rect());
            window.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
            TestSupport::spin(50);
            QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
            image.fill(SystemColors::windowBackground(QApplication::palette()));
            QPainter w(&image);
            window.render(&w, QPoint(), QRegion(), QWidget::DrawChildren);
            w.end();
            EXPECT_LT(blackShare(image), 0.02) << dark << placeholder;
            p.drawImage(placeholder * 940, dark * 680, image);
        }
    p.end();
    EXPECT_TRUE(sheet.save(output("changelog")));
}
