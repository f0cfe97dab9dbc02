#include "Platform/Core/UserDefaults.h"
#include "Platform/Gui/SystemColors.h"
#include "Source/Features/MenuBarPet/PetSettings.h"
#include "Source/Features/MenuBarPet/PetSprite.h"
#include "TestSupport.h"
#include "Views/Preferences/CollapsedChoices.h"
#include "Source/Features/Preferences/PreferencesRouter.h"
#include "Views/Preferences/CompanionSettingsView.h"
#include "Views/Preferences/PreferencesView.h"
#include "Views/Shared/ShowAllButton.h"

#include <QCheckBox>
#include <QDir>
#include <QLayout>
#include <QScrollArea>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Pane {
    UserDefaults defaults{QString{}};
    PetSettings settings{defaults};
    std::unique_ptr<CompanionSettingsView> view;
    Pane() { make(); }
    void make() {
        view = std::make_unique<CompanionSettingsView>(settings);
        view->resize(560, 600);
        view->show();
        QApplication::processEvents();
    }
    // The pane at its width and at least the height its content needs, as the settings window's
    // scroll area gives it.
    void fit() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
            view->layout()->activate();
            view->resize(560, std::max({600, view->layout()->minimumSize().height(), view->heightForWidth(560)}));
        }
        QApplication::processEvents();
    }
    QStringList shown() const {
        QStringList ids;
        for (PetTile* t : view->tiles()) ids << t->species().id;
        return ids;
    }
    QStringList selected() const {
        QStringList ids;
        for (PetTile* t : view->tiles())
            if (t->isSelected()) ids << t->species().id;
        return ids;
    }
    PetTile* tile(const QString& id) const {
        for (PetTile* t : view->tiles())
            if (t->species().id == id) return t;
        return nullptr;
    }
};

}  // namespace

TEST(CollapsedChoices, KeepsTheSelectionVisible) {
    const std::vector<QString> all{"a", "b", "c", "d", "e", "f", "g"};
    const auto id = [](const QString& s) { return s; };
    using V = std::vector<QString>;
    EXPECT_EQ(collapsedChoices(all, 3, QString("b"), false, id), (V{"a", "b", "c"}));
    EXPECT_EQ(collapsedChoices(all, 3, QString("f"), false, id), (V{"a", "b", "f"}));
    EXPECT_EQ(collapsedChoices(all, 3, QString("zz"), false, id), (V{"a", "b", "c"}));
    EXPECT_EQ(collapsedChoices(all, 3, std::nullopt, false, id), (V{"a", "b", "c"}));
    EXPECT_EQ(collapsedChoices(all, 3, QString("f"), true, id), all);
    EXPECT_EQ(collapsedChoices(all, 7, QString("g"), false, id), all);
    EXPECT_EQ(collapsedChoices(all, 0, QString("g"), false, id), (V{"g"}));
}

TEST(CompanionSettingsView, TheGridCollapsedAndExpanded) {
    Pane pane;
    EXPECT_EQ(pane.shown(), (QStringList{"ginger", "corgi", "bunny", "penguin", "hamster"}));
    EXPECT_EQ(pane.selected(), QStringList{"ginger"});
    EXPECT_EQ(pane.view->showAllButton()->title(), QStringLiteral("Show All 26 Pets"));
    QTest::mouseClick(pane.view->showAllButton(), Qt::LeftButton);
    EXPECT_EQ(pane.view->tiles().size(), 26u);
    EXPECT_EQ(pane.view->showAllButton()->title(), QStringLiteral("Show Less"));
    // The grid grows to hold every tile, above the button.
    pane.fit();
    const QRect button = pane.view->showAllButton()->geometry().translated(
        pane.view->showAllButton()->parentWidget()->mapTo(pane.view.get(), QPoint()));
    for (PetTile* t : pane.view->tiles())
        EXPECT_LT(t->mapTo(pane.view.get(), QPoint(0, t->height())).y(), button.top()) << t->species().id.toStdString();
    // Tiles sit in adaptive columns, 92 to 120 points wide, inside the grid.
    for (PetTile* t : pane.view->tiles()) {
        EXPECT_GE(t->width(), CompanionSettingsView::tileMinimumWidth);
        EXPECT_LE(t->width(), CompanionSettingsView::tileMaximumWidth);
        EXPECT_TRUE(pane.view->grid()->rect().contains(t->geometry())) << t->species().id.toStdString();
    }

    // Choosing a species further down and collapsing shows it in the fifth place.
    PetTile* cow = pane.tile("cow");
    ASSERT_NE(cow, nullptr);
    QTest::mouseClick(cow, Qt::LeftButton);
    EXPECT_EQ(pane.settings.species.value(), QStringLiteral("cow"));
    EXPECT_EQ(pane.selected(), QStringList{"cow"});
    QTest::mouseClick(pane.view->showAllButton(), Qt::LeftButton);
    EXPECT_EQ(pane.shown(), (QStringList{"ginger", "corgi", "bunny", "penguin", "cow"}));
    // Choosing one of the first four puts the fifth species back.
    QTest::mouseClick(pane.tile("bunny"), Qt::LeftButton);
    EXPECT_EQ(pane.shown(), (QStringList{"ginger", "corgi", "bunny", "penguin", "hamster"}));
    EXPECT_EQ(pane.selected(), QStringList{"bunny"});
    // A click on the chosen tile keeps it chosen.
    QTest::mouseClick(pane.tile("bunny"), Qt::LeftButton);
    EXPECT_EQ(pane.selected(), QStringList{"bunny"});
    // A new pane starts collapsed.
    QTest::mouseClick(pane.view->showAllButton(), Qt::LeftButton);
    pane.make();
    EXPECT_EQ(pane.view->tiles().size(), 5u);
}

TEST(CompanionSettingsView, AnUnknownSpeciesSelectsNothing) {
    Pane pane;
    pane.settings.species.set("dragon");
    EXPECT_EQ(pane.shown(), (QStringList{"ginger", "corgi", "bunny", "penguin", "hamster"}));
    EXPECT_TRUE(pane.selected().isEmpty());
}

TEST(CompanionSettingsView, SwitchingThePetOffDimsAndFreezes) {
    Pane pane;
    QTRY_VERIFY(pane.view->isOnScreen());
    EXPECT_TRUE(pane.view->isAnimating());
    pane.view->enabledSwitch()->click();
    EXPECT_FALSE(pane.settings.enabled.value());
    EXPECT_FALSE(pane.view->grid()->isEnabled());
    EXPECT_FALSE(pane.view->showAllButton()->isEnabled());
    EXPECT_FALSE(pane.view->wandersSwitch()->isEnabled());
    EXPECT_FALSE(pane.view->isAnimating());
    const QImage off = pane.view->grab().toImage();
    pane.view->enabledSwitch()->click();
    EXPECT_TRUE(pane.settings.enabled.value());
    EXPECT_TRUE(pane.view->grid()->isEnabled());
    EXPECT_TRUE(pane.view->wandersSwitch()->isEnabled());
    EXPECT_TRUE(pane.view->isAnimating());
    // Dimmed tiles are paler than lit ones: compare the chosen tile's middle.
    PetTile* ginger = pane.tile("ginger");
    const QImage on = pane.view->grab().toImage();
    const QPoint probe = ginger->mapTo(pane.view.get(), QPoint(ginger->width() / 2, 4));
    EXPECT_NE(off.pixel(probe), on.pixel(probe));
    // Written from elsewhere, the switch follows.
    pane.settings.enabled.set(false);
    EXPECT_FALSE(pane.view->enabledSwitch()->isChecked());
    // Hidden, the tiles stop.
    pane.settings.enabled.set(true);
    pane.view->hide();
    QTRY_VERIFY(!pane.view->isAnimating());
    pane.view->show();
    QTRY_VERIFY(pane.view->isAnimating());
}

TEST(CompanionSettingsView, TheWanderSwitch) {
    Pane pane;
    EXPECT_TRUE(pane.view->wandersSwitch()->isChecked());
    pane.view->wandersSwitch()->click();
    EXPECT_FALSE(pane.settings.wanders.value());
    EXPECT_TRUE(pane.settings.wanders.isStored());
    pane.settings.wanders.set(true);
    EXPECT_TRUE(pane.view->wandersSwitch()->isChecked());
}

TEST(CompanionSettingsView, TilesWalkInStepAndLook) {
    Pane pane;
    PetTile* ginger = pane.tile("ginger");
    const QList<QImage>& walk = PetSprite::frames(PetSprite::Animation::walk, PetSpecies::named("ginger"));
    ginger->setTick(4 * 1000 + 1);
    EXPECT_EQ(ginger->frame().cacheKey(), walk[1].cacheKey());
    ginger->setTick(-1);
    EXPECT_EQ(ginger->frame().cacheKey(), walk[3].cacheKey());
    const qint64 t = CompanionSettingsView::currentTick();
    QTest::qWait(300);
    EXPECT_GE(pane.view->tiles().back()->tick(), t + 1);
    for (PetTile* tile : pane.view->tiles()) EXPECT_EQ(tile->tick(), pane.view->tiles().front()->tick());

    // The figure at twice its size, hard-edged, and the chosen tile's accent.
    ginger->setTick(0);
    const QImage image = ginger->grab().toImage();
    const QImage sprite = walk[0];
    const int left = (ginger->width() - PetTile::imageWidth) / 2;
    int matched = 0, opaque = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb s = sprite.pixel(x, y);
            if (qAlpha(s) != 255) continue;
            ++opaque;
            const QRgb a = image.pixel(left + 2 * x, 10 + 2 * y), b = image.pixel(left + 2 * x + 1, 10 + 2 * y + 1);
            matched += (a == b && qRed(a) == qRed(s) && qGreen(a) == qGreen(s) && qBlue(a) == qBlue(s));
        }
    EXPECT_EQ(matched, opaque);
    // The chosen tile's border is the accent.
    const QColor border = image.pixelColor(0, image.height() / 2);
    const QColor accent = SystemColors::accent(ginger->palette());
    EXPECT_NEAR(border.hueF(), accent.hueF(), 0.05);
    PetTile* corgi = pane.tile("corgi");
    const QImage plain = corgi->grab().toImage();
    EXPECT_NE(plain.pixel(4, plain.height() / 2), image.pixel(4, image.height() / 2));

    for (bool dark : {false, true}) {
        QPalette palette = pane.view->palette();
        if (dark) {
            palette.setColor(QPalette::Window, QColor(0x1E, 0x1E, 0x1E));
            palette.setColor(QPalette::WindowText, Qt::white);
            palette.setColor(QPalette::Base, QColor(0x28, 0x28, 0x28));
            palette.setColor(QPalette::Text, Qt::white);
            palette.setColor(QPalette::PlaceholderText, QColor(0x98, 0x98, 0x9d));
        }
        pane.view->setPalette(palette);
        pane.view->setAutoFillBackground(true);
        QTest::mouseClick(pane.view->showAllButton(), Qt::LeftButton);
        pane.fit();
        const QImage shot = pane.view->grab().toImage();
        ASSERT_TRUE(shot.save(QDir(QUORVIN_TEST_OUTPUT).filePath(dark ? "CompanionSettingsView-dark.png"
                                                                         : "CompanionSettingsView-light.png")));
        QTest::mouseClick(pane.view->showAllButton(), Qt::LeftButton);
    }
}

TEST(CompanionSettingsView, InTheSettingsWindowTheExpandedGridScrolls) {
    PreferencesRouter router;
    router.setSelectedTab(PreferencesTab::companion);
    PreferencesView window(router);
    window.resize(1020, 640);
    window.show();
    QApplication::processEvents();
    auto* pane = qobject_cast<CompanionSettingsView*>(window.pane());
    ASSERT_NE(pane, nullptr);
    QTest::mouseClick(pane->showAllButton(), Qt::LeftButton);
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
    const int buttonTop = pane->showAllButton()->mapTo(pane, QPoint()).y();
    for (PetTile* t : pane->tiles()) EXPECT_LT(t->mapTo(pane, QPoint(0, t->height())).y(), buttonTop);
    EXPECT_GT(pane->height(), window.detailScrollArea()->viewport()->height());
}
