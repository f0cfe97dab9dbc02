// Grabs every settings pane in the light and the dark appearance, at the window's smallest and its
// first size, for a person to look at (QUORVIN_TEST_OUTPUT/settings-<pane>-<look>-<size>.png), and
// checks what a look can get wrong: a pane wider than the detail column, text cut off, the wrong
// appearance.
#include "FakeHotkeyGrabber.h"
#include "Platform/Desktop/AccessibilityDisplayOptions.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/Preferences/GlobalHotkeyMonitor.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Source/Features/Preferences/ShortcutManager.h"
#include "TestSupport.h"
#include "Views/Preferences/KeyboardShortcutsView.h"
#include "Views/Preferences/PreferencesView.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using TestSupport::darkPalette;

struct Look {
    const char* name;
    bool dark;
};

class SettingsGallery : public ::testing::Test {
protected:
    void SetUp() override {
        AccessibilityDisplayOptions::shared().setOverride(false, false);
        light_ = QApplication::palette();
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        auto fake = std::make_unique<FakeHotkeyGrabber>();
        grabber = fake.get();
        GlobalHotkeyMonitor::setGrabber(std::move(fake));
        GlobalHotkeyMonitor::startMonitoring();
    }
    void TearDown() override {
        QApplication::setPalette(light_);
        GlobalHotkeyMonitor::stopMonitoring();
        GlobalHotkeyMonitor::setGrabber(nullptr);
        ShortcutManager::shared().setBindings(ShortcutManager::defaults());
        ShortcutManager::shared().save();
    }

    // Shows a tab in a settings view of the given size and look, lets `prepare` set up the pane,
    // saves the picture and checks that the pane fits its column.
    void shoot(PreferencesTab tab, const QString& name, const std::function<void(QWidget*)>& prepare = {}) {
        for (const Look look : {Look{"light", false}, Look{"dark", true}}) {
            for (const QSize size : {QSize(720, 560), QSize(1020, 640)}) {
                SCOPED_TRACE(QString("%1 %2 %3x%4").arg(name, look.name).arg(size.width()).arg(size.height()).toStdString());
                QApplication::setPalette(look.dark ? darkPalette() : light_);
                PreferencesRouter router;
                router.setSelectedTab(tab);
                PreferencesView view(router);
                view.resize(size);
                view.show();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
                if (prepare) prepare(view.pane());
                TestSupport::spin(350);  // animations settle
                const QImage image = view.grab().toImage();
                const QString file = QString("%1/settings-%2-%3-%4x%5.png")
                                         .arg(QStringLiteral(QUORVIN_TEST_OUTPUT), name, look.name)
                                         .arg(size.width())
                                         .arg(size.height());
                QDir().mkpath(QUORVIN_TEST_OUTPUT);
                EXPECT_TRUE(image.save(file));
                // The whole pane, also what lies below the fold.
                EXPECT_TRUE(view.pane()->grab().save(QString(file).replace(".png", "-pane.png")));

                // The pane fits the detail column: nothing runs off to the right.
                QScrollArea* scroll = view.detailScrollArea();
                EXPECT_LE(view.pane()->minimumSizeHint().width(), scroll->viewport()->width());
                EXPECT_EQ(view.pane()->width(), scroll->viewport()->width());
                // Every text label is wide enough for its text (or wraps).
                for (QLabel* label : view.pane()->findChildren<QLabel*>()) {
                    if (!label->isVisible() || label->text().isEmpty() || label->wordWrap() || !label->pixmap().isNull())
                        continue;
                    if (label->textFormat() == Qt::RichText) continue;
                    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()))
                        << label->text().toStdString();
                }
                // The detail is painted in the look asked for.
                const double dpr = image.devicePixelRatio();
                const QColor corner = image.pixelColor(int((view.width() - 4) * dpr), int((view.height() - 4) * dpr));
                EXPECT_EQ(corner.lightness() < 100, look.dark) << corner.name().toStdString();
            }
        }
    }

    FakeHotkeyGrabber* grabber = nullptr;
    QPalette light_;
};

}  // namespace

TEST_F(SettingsGallery, Shortcuts) {
    grabber->taken.insert({9, 0x120000});
    GlobalHotkeyMonitor::restartMonitoring();
    shoot(PreferencesTab::shortcuts, "shortcuts");
    shoot(PreferencesTab::shortcuts, "shortcuts-recording", [](QWidget* pane) {
        auto* shortcuts = qobject_cast<KeyboardShortcutsView*>(pane);
        ASSERT_NE(shortcuts, nullptr);
        ShortcutManager::shared().disableBinding("resetBrightness");
        shortcuts->startRecording("clipboardHistory");
    });
}

TEST_F(SettingsGallery, HelpAndFeedback) { shoot(PreferencesTab::help, "help"); }

TEST_F(SettingsGallery, Developer) { shoot(PreferencesTab::developer, "developer"); }

TEST_F(SettingsGallery, General) { shoot(PreferencesTab::general, "general"); }

TEST_F(SettingsGallery, Appearance) { shoot(PreferencesTab::appearance, "appearance"); }

// The panes of the other features, in the same window and looks.
TEST_F(SettingsGallery, OtherFeaturesPanes) {
    shoot(PreferencesTab::companion, "companion");
    shoot(PreferencesTab::clipboard, "clipboard");
    shoot(PreferencesTab::power, "power");
    shoot(PreferencesTab::zedi, "zedi");
    shoot(PreferencesTab::daveRovaz, "disk-clean");
}
