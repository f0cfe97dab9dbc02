#include "Source/Features/MenuBarPet/PetSpecies.h"

#include <QSet>

#include <gtest/gtest.h>

TEST(PetSpecies, AllIsTheDisplayOrderWithGingerFirst) {
    const auto& all = PetSpecies::all();
    ASSERT_EQ(all.size(), 26u);
    QStringList ids;
    for (const PetSpecies& s : all) ids << s.id;
    EXPECT_EQ(ids, QStringList({"ginger",  "corgi",     "bunny", "penguin",   "hamster", "dalmatian", "duck",
                                "pug",     "panda",     "owl",   "fox",       "frog",    "mouse",     "sheep",
                                "pig",     "bear",      "cow",   "koala",     "husky",   "shiba",     "tiger",
                                "raccoon", "red-panda", "tabby", "black-cat", "calico"}));
    EXPECT_EQ(all[3].name, "Penguin");
    EXPECT_EQ(all.back().name, "Calico");
}

TEST(PetSpecies, NamedFallsBackToGingerForUnknownEmptyOrMiscasedIds) {
    for (const QString id : {"ginger", "", "Corgi", "RED-PANDA", "dragon"}) {
        EXPECT_EQ(PetSpecies::named(id).id, "ginger") << id.toStdString();
    }
    EXPECT_EQ(PetSpecies::named("red-panda").name, "Red Panda");
    EXPECT_EQ(PetSpecies::named("pig").name, "Piglet");
}

TEST(PetSpecies, BuildsComeFromTheOverridesOrTheDefault) {
    using B = PetSpecies::Build;
    const std::pair<const char*, B> cases[] = {
        {"tabby", {14, 5, 4}}, {"ginger", {14, 5, 4}}, {"owl", {14, 5, 4}},  {"mouse", {8, 4, 1}},
        {"cow", {17, 7, 5}},   {"hamster", {9, 6, 1}}, {"bear", {16, 8, 3}}, {"dalmatian", {15, 6, 6}},
    };
    for (const auto& [id, build] : cases) EXPECT_EQ(PetSpecies::named(id).build, build) << id;
    int overridden = 0;
    for (const PetSpecies& s : PetSpecies::all()) overridden += s.build != B{};
    EXPECT_EQ(overridden, 19);
}

TEST(PetSpecies, RowsCarryTheirColoursShapesAndFlags) {
    const PetSpecies& fox = PetSpecies::named("fox");
    EXPECT_EQ(fox.fur, qRgb(0xE8, 0x74, 0x3B));
    EXPECT_EQ(fox.tail, PetSpecies::Tail::bushy);
    EXPECT_EQ(fox.tailTip, qRgb(0xFF, 0xF6, 0xEE));
    EXPECT_FALSE(fox.tailColor.has_value());
    EXPECT_TRUE(fox.snout);

    const PetSpecies& sheep = PetSpecies::named("sheep");
    EXPECT_TRUE(sheep.darkLegs);
    EXPECT_EQ(sheep.faceColor, qRgb(0x3A, 0x32, 0x36));
    EXPECT_EQ(sheep.ears, PetSpecies::Ears::floppy);

    const PetSpecies& bunny = PetSpecies::named("bunny");
    EXPECT_EQ(bunny.ears, PetSpecies::Ears::long_);
    EXPECT_EQ(bunny.tailColor, qRgb(255, 255, 255));

    const PetSpecies& owl = PetSpecies::named("owl");
    EXPECT_EQ(owl.bodyPlan, PetSpecies::BodyPlan::bird);
    EXPECT_TRUE(owl.bigEyes);
    EXPECT_EQ(owl.nose, qRgb(0xF2, 0xB1, 0x3A));

    int birds = 0, masks = 0;
    for (const PetSpecies& s : PetSpecies::all()) {
        birds += s.bodyPlan == PetSpecies::BodyPlan::bird;
        masks += s.mask;
        EXPECT_EQ(qAlpha(s.fur), 255);
        EXPECT_EQ(qAlpha(s.eye), 255);
    }
    EXPECT_EQ(birds, 3);
    EXPECT_EQ(masks, 3);
}

TEST(PetSpecies, EqualityAndHashUseTheIdAlone) {
    PetSpecies a = PetSpecies::named("pug");
    PetSpecies b = a;
    b.name = "Other";
    b.fur = qRgb(1, 2, 3);
    b.build = {3, 3, 3};
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    EXPECT_EQ(std::hash<PetSpecies>{}(a), std::hash<PetSpecies>{}(b));
    EXPECT_NE(a, PetSpecies::named("bear"));
    QSet<PetSpecies> set{a, b, PetSpecies::named("bear")};
    EXPECT_EQ(set.size(), 2);
}
