#include "Platform/Core/Setting.h"
#include "Views/Preferences/SettingsForm.h"

#include <QSpinBox>

#include <gtest/gtest.h>

TEST(SettingsFormBinding, ASpinBoxTakesTheRangeAndFollowsTheSettingBothWays) {
    UserDefaults store{QString()};
    Setting<int> limit{store, "limit", 100, 1, 200};
    QSpinBox box;
    SettingsForm::bind(&box, limit);
    EXPECT_EQ(box.minimum(), 1);
    EXPECT_EQ(box.maximum(), 200);
    EXPECT_EQ(box.value(), 100);
    store.setInteger("limit", 500);  // another writer
    EXPECT_EQ(box.value(), 200);
    box.setValue(42);
    EXPECT_EQ(store.integerValue("limit"), 42);

    // With an apply step the box hands its values there and stores nothing itself.
    QSpinBox other;
    int applied = 0;
    SettingsForm::bind(&other, limit, [&applied](int value) { applied = value; });
    EXPECT_EQ(other.value(), 42);
    other.setValue(7);
    EXPECT_EQ(applied, 7);
    EXPECT_EQ(limit.value(), 42);
}
