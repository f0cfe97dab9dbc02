#include "Platform/Desktop/SleepInhibitor.h"
#include "Platform/Core/UserDefaults.h"
#include "Source/Features/Power/PowerManager.h"
#include "TestSupport.h"
#include "Views/Preferences/PowerSettingsView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Grants (or refuses) every request on the next turn of the event loop.
class FakeInhibitor : public SleepInhibitor {
public:
    bool grant = true;
    std::vector<Kind> asked;
    std::vector<Handle> released;
    Handle next = 1;
    void inhibit(Kind kind, const QString&, QObject* context, Completion done) override {
        asked.push_back(kind);
        const std::optional<Handle> answer = grant ? std::optional<Handle>(next++) : std::nullopt;
        QMetaObject::invokeMethod(context, [done, answer] { done(answer); }, Qt::QueuedConnection);
    }
    void release(Handle handle, bool) override { released.push_back(handle); }
};

struct Pane {
    UserDefaults defaults{QString{}};
    FakeInhibitor* inhibitor = new FakeInhibitor;
    PowerManager power{std::unique_ptr<SleepInhibitor>(inhibitor), defaults};
    PowerSettingsView view{power};
    Pane() {
        view.resize(560, 420);
        view.show();
    }
    QCheckBox* keepAwake() { return view.findChild<QCheckBox*>(); }
    void clickSwitch() { QTest::mouseClick(keepAwake(), Qt::LeftButton, {}, QPoint(8, keepAwake()->height() / 2)); }
    QRadioButton* radio(const QString& startsWith) {
        for (auto* r : view.findChildren<QRadioButton*>()) {
            if (r->text().startsWith(startsWith)) return r;
        }
        return nullptr;
    }
    QString status() {
        for (auto* label : view.findChildren<QLabel*>()) {
            if (label->text() == PowerSettingsView::statusText(power)) return label->text();
        }
        return {};
    }
};

}  // namespace

TEST(PowerSettingsView, TheSwitchTurnsKeepAwakeOnAndOff) {
    Pane pane;
    ASSERT_NE(pane.keepAwake(), nullptr);
    EXPECT_EQ(pane.status(), "Off.");
    pane.clickSwitch();
    ASSERT_TRUE(TestSupport::waitFor([&] { return pane.power.isActive(); }));
    EXPECT_TRUE(pane.keepAwake()->isChecked());
    EXPECT_EQ(pane.inhibitor->asked, std::vector<SleepInhibitor::Kind>{SleepInhibitor::Kind::system});
    EXPECT_EQ(pane.status(), "On until you turn it off.");
    pane.clickSwitch();
    EXPECT_FALSE(pane.power.isActive());
    EXPECT_FALSE(pane.keepAwake()->isChecked());
    EXPECT_EQ(pane.inhibitor->released, std::vector<SleepInhibitor::Handle>{1});
}

TEST(PowerSettingsView, AFailedSwitchOnSaysSoAndStaysOff) {
    Pane pane;
    pane.inhibitor->grant = false;
    pane.clickSwitch();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !pane.power.isPending(); }));
    EXPECT_FALSE(pane.keepAwake()->isChecked());
    EXPECT_TRUE(pane.status().startsWith("Keep awake is unavailable"));
}

TEST(PowerSettingsView, ModeAndDurationAreStoredUnderTheirKeys) {
    Pane pane;
    EXPECT_TRUE(pane.radio("Keep the system awake")->isChecked());
    QRadioButton* display = pane.radio("Keep the system and");
    QTest::mouseClick(display, Qt::LeftButton, {}, QPoint(8, display->height() / 2));
    EXPECT_EQ(pane.defaults.string("preventSleepMode"), "display");
    EXPECT_EQ(pane.power.mode(), PowerManager::Mode::display);

    auto* combo = pane.view.findChild<QComboBox*>();
    ASSERT_NE(combo, nullptr);
    QStringList titles;
    for (int i = 0; i < combo->count(); ++i) titles << combo->itemText(i);
    EXPECT_EQ(titles, (QStringList{"Never", "15 minutes", "30 minutes", "1 hour", "2 hours", "4 hours", "8 hours"}));
    EXPECT_EQ(combo->currentText(), "Never");
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    QTest::keyClick(combo, Qt::Key_Down);
    EXPECT_EQ(pane.defaults.integerValue("preventSleepMinutes"), 60);

    // A stored value that is not offered shows as itself.
    pane.defaults.setInteger("preventSleepMinutes", 45);
    EXPECT_EQ(combo->currentText(), "45 minutes");

    // While on, the status names the end time.
    pane.defaults.setInteger("preventSleepMinutes", 30);
    pane.power.activate();
    ASSERT_TRUE(TestSupport::waitFor([&] { return pane.power.isActive(); }));
    EXPECT_TRUE(pane.status().startsWith("On until ")) << pane.status().toStdString();
    EXPECT_NE(pane.status(), "On until you turn it off.");
    EXPECT_EQ(pane.inhibitor->asked.back(), SleepInhibitor::Kind::display);
    pane.view.grab().save(QDir(QUORVIN_TEST_OUTPUT).filePath("PowerSettingsView.png"));
}

TEST(PowerSettingsView, DurationTitles) {
    EXPECT_EQ(PowerSettingsView::durationTitle(0), "Never");
    EXPECT_EQ(PowerSettingsView::durationTitle(1), "1 minute");
    EXPECT_EQ(PowerSettingsView::durationTitle(90), "90 minutes");
    EXPECT_EQ(PowerSettingsView::durationTitle(60), "1 hour");
    EXPECT_EQ(PowerSettingsView::durationTitle(480), "8 hours");
}
