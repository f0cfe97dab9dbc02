#include "PetSpriteTestSupport.h"
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <gtest/gtest.h>

using namespace PetSpriteTest;
using Px = PetSprite::Px;
using Pose = PetSprite::Pose;
using Eyes = PetSprite::Eyes;

namespace {

struct Drawing {
    explicit Drawing(const char* id) { PetSprite::sp() = PetSpecies::named(id); }
    explicit Drawing(const PetSpecies& s) { PetSprite::sp() = s; }
};

bool has(const std::vector<Px>& list, const Px& r) { return std::find(list.begin(), list.end(), r) != list.end(); }

// Top-left corners of the hearts (their first rectangle is the left lobe).
std::vector<std::pair<int, int>> hearts(const Pose& pose) {
    std::vector<std::pair<int, int>> out;
    for (size_t i = 0; i < pose.free.size(); i += 5) out.emplace_back(pose.free[i].x, pose.free[i].y);
    return out;
}

// Anchors of the sleep letters (the middle stroke of each Z is one pixel wide).
std::vector<std::pair<int, int>> letters(const std::vector<Px>& free) {
    std::vector<std::pair<int, int>> out;
    for (const Px& r : free)
        if (r.c == PetSprite::C::z && r.w == 1) out.emplace_back(r.x, r.y - 1);
    return out;
}

}  // namespace

TEST(PetSpritePoses, GroundTailByShape) {
    {
        Drawing tiger("tiger");
        const PetSpecies& s = PetSprite::sp();
        const Pose t = PetSprite::groundTail(5, 17, 5, -1);
        EXPECT_EQ(t.parts,
                  (std::vector<Px>{
                      {5, 17, 2, 2, s.fur}, {7, 17, 2, 2, s.marking}, {9, 17, 1, 2, s.fur}, {4, 14, 2, 3, s.fur}}));
        EXPECT_EQ(PetSprite::groundTail(5, 17, 5, std::nullopt).parts.size(), 3u);
    }
    {
        Drawing fox("fox");  // bushy: thick, tip in the tip colour
        const Pose t = PetSprite::groundTail(5, 17, 4, 0);
        EXPECT_EQ(t.parts.front(), (Px{5, 16, 2, 3, PetSprite::sp().fur}));
        EXPECT_EQ(t.parts.back(), (Px{4, 15, 2, 3, *PetSprite::sp().tailTip}));
    }
    {
        Drawing mouse("mouse");
        const QRgb c = *PetSprite::sp().tailColor;
        EXPECT_EQ(PetSprite::groundTail(5, 17, 7, -1).parts, (std::vector<Px>{{5, 18, 7, 1, c}, {4, 15, 1, 3, c}}));
    }
    for (const char* id : {"corgi", "pig"}) {
        Drawing knob(id);
        for (std::optional<int> tip : {std::optional<int>(), std::optional<int>(-1), std::optional<int>(0)})
            EXPECT_EQ(PetSprite::groundTail(5, 17, 7, tip).parts,
                      (std::vector<Px>{{9, 15, 3, 3, PetSprite::sp().fur}}));
    }
    {
        Drawing frog("frog");
        EXPECT_EQ(PetSprite::groundTail(5, 17, 7, -1), Pose{});
    }
}

TEST(PetSpritePoses, SitSinksSmallBuildsAndKeepsTheChestOnTheGround) {
    // (W, H, L) -> sink s, found as the chest's top row s + 8
    const struct {
        int w, h, l, sink;
    } cases[] = {{14, 5, 4, 1}, {11, 5, 2, 3}, {8, 4, 1, 5}, {16, 8, 3, 1}, {9, 6, 1, 4}, {17, 7, 5, 0}};
    for (const auto& c : cases) {
        PetSpecies s = PetSpecies::named("bear");
        s.build = {c.w, c.h, c.l};
        Drawing d(s);
        const Pose pose = PetSprite::sit(2, {});
        const int e = std::max(c.h - 6, 0);
        EXPECT_TRUE(has(pose.parts, Px{13, c.sink + 8, 7 + e, 11 - c.sink, s.fur})) << c.w << "," << c.h << "," << c.l;
        // Haunch and chest both end on row 18.
        for (const Px& r : pose.parts) {
            if (r.c == s.fur && r.x < 15 && r.w >= 7 && r.h >= 5) {
                EXPECT_EQ(r.y + r.h, 19) << c.w << "," << c.h << "," << c.l;
            }
        }
    }
}

TEST(PetSpritePoses, SitEyesBlinkGroomAndYawn) {
    Drawing ginger("ginger");
    const PetSpecies& s = PetSprite::sp();
    const Px closed{15 + 4, 4 + 3, 2, 1, s.eye}, open{20, 6, 1, 2, s.eye};  // head at (15, s + 3), s = 1
    EXPECT_TRUE(has(PetSprite::sit(1, {}).details, open));
    EXPECT_TRUE(has(PetSprite::sit(31, {}).details, closed));
    EXPECT_TRUE(has(PetSprite::sit(62, {}).details, closed));
    EXPECT_TRUE(has(PetSprite::sit(1, {.happy = true}).details, closed));
    // Yawning: closed eyes, tongue and the open mouth.
    const Pose yawn = PetSprite::sit(3, {.yawn = true});
    EXPECT_TRUE(has(yawn.details, closed));
    EXPECT_EQ(yawn.details.back(), (Px{21, 9, 2, 2, qRgb(90, 42, 42)}));
    EXPECT_TRUE(has(yawn.details, Px{22, 10, 1, 1, qRgb(232, 121, 138)}));
    // Grooming: the head sits a row lower, tongue in 3 of 6, paw raised in 9 of 12 and lower without the tongue.
    for (int f = 1; f <= 12; ++f) {
        const Pose g = PetSprite::sit(f, {.groom = true});
        const bool lick = f % 6 < 3, pawUp = f % 12 < 9;
        EXPECT_EQ(has(g.details, Px{22, 11, 1, 1, qRgb(232, 121, 138)}), lick) << f;
        EXPECT_TRUE(has(g.details, Px{19, 8, 2, 1, s.eye})) << f;
        if (pawUp) {
            EXPECT_TRUE(has(g.parts, Px{20, 9 + (lick ? 0 : 1), 2, 4, s.fur})) << f;
        } else {
            EXPECT_TRUE(has(g.parts, Px{19, 15, 2, 4, s.fur})) << f;
        }
    }
}

TEST(PetSpritePoses, WaveSwapsThePawEveryTwoFramesAndTheTailTipRises) {
    Drawing ginger("ginger");
    const QRgb fur = PetSprite::sp().fur;
    for (int f = 1; f <= 8; ++f) {
        const Pose w = PetSprite::sit(f, {.wave = true});
        const Px paw = f % 4 > 1 ? Px{22, 7, 2, 5, fur} : Px{21, 6, 2, 5, fur};
        EXPECT_TRUE(has(w.parts, paw)) << f;
        const Px tip{4, std::sin(f / 2.0) > 0.5 ? 14 : 15, 2, 3, fur};
        EXPECT_TRUE(has(w.parts, tip)) << f;
    }
}

TEST(PetSpritePoses, BirdSitStandsAndShowsYawnAndWaveInItsOwnForm) {
    Drawing penguin("penguin");
    EXPECT_EQ(PetSprite::sit(5, {}), PetSprite::birdStand(5, {}));
    EXPECT_EQ(PetSprite::sit(5, {.yawn = true}), PetSprite::birdStand(5, {.eyes = Eyes::closed, .beakOpen = true}));
    EXPECT_EQ(PetSprite::sit(1, {.wave = true}), PetSprite::birdStand(1, {.wingUp = 2}));
    EXPECT_EQ(PetSprite::sit(3, {.wave = true}), PetSprite::birdStand(3, {.wingUp = 1}));
    EXPECT_EQ(PetSprite::sit(1, {.happy = true}), PetSprite::birdStand(1, {.eyes = Eyes::closed}));
}

TEST(PetSpritePoses, LoveHeartsRiseDriftAndFade) {
    Drawing ginger("ginger");
    const QRgb deep = qRgb(255, 107, 139), pale = qRgb(255, 163, 184);
    const struct {
        int f;
        std::vector<std::pair<int, int>> at;
    } cases[] = {
        {0, {{24, 9}}},
        {3, {{25, 6}}},
        {4, {{25, 5}, {9, 8}}},
        {8, {{26, 1}, {8, 4}, {25, 5}}},
        {9, {{27, 0}, {8, 3}, {25, 4}}},
        {10, {{7, 2}, {25, 3}}},
        {12, {{7, 0}, {25, 1}}},
        {13, {{25, 0}}},
        {14, {}},
        {17, {}},
    };
    for (const auto& c : cases) {
        const Pose pose = PetSprite::love(c.f);
        EXPECT_EQ(hearts(pose), c.at) << "frame " << c.f;
        // Everything else is the happy sit.
        const Pose sitting = PetSprite::sit(1, {.happy = true});
        EXPECT_EQ(pose.parts, sitting.parts);
        EXPECT_EQ(pose.details, sitting.details);
    }
    EXPECT_EQ(PetSprite::love(5).free[0].c, deep);
    EXPECT_EQ(PetSprite::love(6).free[0].c, pale);
    EXPECT_EQ(PetSprite::love(0).free, (std::vector<Px>{{24, 9, 2, 1, deep},
                                                        {27, 9, 2, 1, deep},
                                                        {24, 10, 5, 1, deep},
                                                        {25, 11, 3, 1, deep},
                                                        {26, 12, 1, 1, deep}}));
}

TEST(PetSpritePoses, SleepLettersDriftInTurn) {
    Drawing ginger("ginger");
    const struct {
        int f;
        std::vector<std::pair<int, int>> at;
    } cases[] = {
        {1, {{26, 9}, {28, 6}, {31, 4}}},  // p 1, 9, 17
        {2, {{26, 9}, {29, 6}, {31, 3}}},  // p 2, 10, 18
        {3, {{26, 8}, {29, 6}}},  // p 3, 11; the third (19) hidden
        {7, {{27, 7}, {30, 4}}},  // p 7, 15, 23
        {8, {{27, 7}, {30, 4}, {28, 9}}},  // p 8, 16, 0
        {24, {{26, 9}, {28, 7}, {31, 4}}},  // p 0, 8, 16
    };
    for (const auto& c : cases) EXPECT_EQ(letters(PetSprite::sleep(c.f).free), c.at) << "frame " << c.f;
}

TEST(PetSpritePoses, SleepBreathesWithTheBodyOnTheGround) {
    Drawing ginger("ginger");
    const QRgb fur = PetSprite::sp().fur;
    for (int f = 1; f <= 24; ++f) {
        const int breath = (f / 6) % 2;
        const Pose pose = PetSprite::sleep(f);
        // H 5 lies one row flatter (e2 1); the last row stays on 17.
        EXPECT_TRUE(has(pose.parts, Px{7, 13 - breath, 15, 5 + breath, fur})) << f;
        EXPECT_TRUE(has(pose.parts, Px{9, 12 - breath, 11, 1, fur})) << f;
    }
    {
        Drawing pug("pug");  // masked and floppy: dark ear, band and a belly-coloured lid
        const PetSpecies& s = PetSprite::sp();
        const Pose pose = PetSprite::sleep(1);
        EXPECT_TRUE(has(pose.parts, Px{19, 13, 2, 4, s.marking}));
        EXPECT_TRUE(has(pose.details, Px{21, 13, 4, 2, s.marking}));
        EXPECT_TRUE(has(pose.details, Px{22, 14, 2, 1, s.belly}));
        // Narrower and thicker: w2 3, e2 0.
        EXPECT_TRUE(has(pose.parts, Px{10, 12, 12, 6, s.fur}));
    }
    {
        Drawing cow("cow");
        const Pose pose = PetSprite::sleep(1);
        EXPECT_TRUE(has(pose.parts, Px{20, 10, 1, 2, PetSprite::C::horn}));
        EXPECT_TRUE(has(pose.details, Px{27, 15, 1, 1, PetSprite::sp().nose}));
    }
}

TEST(PetSpritePoses, LyingBirdRowsSpeedLinesAndLetters) {
    Drawing duck("duck");
    const PetSpecies& s = PetSprite::sp();
    const Pose awake = PetSprite::birdLie(1, false);
    const std::vector<std::tuple<int, int, int>> body = {{11, 16, 1}, {12, 11, 10}, {13, 9, 14},
                                                         {14, 8, 16}, {15, 8, 16},  {16, 8, 16},
                                                         {17, 9, 14}, {18, 11, 10}, {19, 16, 1}};
    for (size_t i = 0; i < body.size(); ++i) {
        const auto [y, x, w] = body[i];
        EXPECT_EQ(awake.parts[i], (Px{x, y, w, 1, s.fur}));
    }
    const std::vector<Px> belly = {
        {13, 15, 8, 1, s.belly}, {11, 16, 12, 1, s.belly}, {11, 17, 12, 1, s.belly}, {13, 18, 8, 1, s.belly}};
    EXPECT_TRUE(std::equal(belly.begin(), belly.end(), awake.details.begin()));
    EXPECT_EQ(awake.parts.back(), (Px{24, 14, 3, 1, s.nose}));
    EXPECT_EQ(awake.details.back(), (Px{20, 13, 2, 1, PetSprite::C::shine}));
    // One line skipped per frame in turn, all shifting right and wrapping every four frames.
    const struct {
        int f;
        std::vector<std::pair<int, int>> lines;
    } cases[] = {{1, {{3, 13}, {5, 16}}}, {2, {{4, 13}, {4, 18}}}, {3, {{3, 16}, {5, 18}}}, {5, {{3, 13}, {3, 18}}}};
    for (const auto& c : cases) {
        std::vector<std::pair<int, int>> got;
        for (const Px& r : PetSprite::birdLie(c.f, false).free) got.emplace_back(r.x, r.y);
        EXPECT_EQ(got, c.lines) << c.f;
    }
    const Pose asleep = PetSprite::birdLie(1, true);
    EXPECT_EQ(letters(asleep.free), (std::vector<std::pair<int, int>>{{25, 9}, {27, 6}, {30, 4}}));
    EXPECT_EQ(asleep.details.back(), (Px{21, 13, 2, 1, s.eye}));
    {
        Drawing owl("owl");
        EXPECT_TRUE(has(PetSprite::birdLie(1, true).parts, Px{19, 10, 2, 2, PetSprite::sp().fur}));
    }
}

TEST(PetSpritePoses, StandingKeepsLegsAtLeastOnePixel) {
    {
        Drawing hamster("hamster");  // L 1: the crouch cannot shorten the legs further
        int legs = 0;
        for (const Px& r : PetSprite::standing(1, -1, Eyes::open).parts) legs += r.w == 2 && r.y == 19 && r.h == 1;
        EXPECT_EQ(legs, 4);
    }
    Drawing ginger("ginger");
    const Pose crouch = PetSprite::standing(1, -1, Eyes::open);
    int legs = 0;
    for (const Px& r : crouch.parts) legs += r.w == 2 && r.y == 16 && r.h == 3;
    EXPECT_EQ(legs, 4);
    const Pose air = PetSprite::standing(-5, 0, Eyes::closed);
    EXPECT_TRUE(has(air.parts, Px{8, 5, 14, 5, PetSprite::sp().fur}));
}

TEST(PetSpritePoses, RunStretchesInPhaseZeroAndGathersInPhaseTwo) {
    Drawing ginger("ginger");
    const QRgb fur = PetSprite::sp().fur;
    // f 4: bob -2, body (7, 9, 16 x 4), legs flat at bb 13
    const Pose out = PetSprite::run(4);
    EXPECT_TRUE(has(out.parts, Px{7, 9, 16, 4, fur}));
    const std::vector<Px> flat = {{3, 12, 4, 2, fur}, {4, 13, 4, 2, fur}, {23, 12, 4, 2, fur}, {22, 13, 4, 2, fur}};
    EXPECT_NE(std::search(out.parts.begin(), out.parts.end(), flat.begin(), flat.end()), out.parts.end());
    // f 2: bob 0, gathered legs under the middle (m = 15)
    const Pose in = PetSprite::run(2);
    EXPECT_TRUE(has(in.parts, Px{7, 11, 16, 4, fur}));
    for (int x : {12, 14, 15, 17}) EXPECT_TRUE(has(in.parts, Px{x, 15, 2, 4, fur})) << x;
    // f 1: bob -1, alternate lifted legs
    const Pose mid = PetSprite::run(1);
    EXPECT_TRUE(has(mid.parts, Px{8, 14, 2, 4, fur}));
    EXPECT_TRUE(has(mid.parts, Px{10, 14, 2, 3, fur}));
    EXPECT_TRUE(has(mid.parts, Px{19, 14, 2, 3, fur}));
    EXPECT_TRUE(has(mid.parts, Px{21, 14, 2, 4, fur}));
}

TEST(PetSpritePoses, StretchRisesHoldsAndSettles) {
    Drawing ginger("ginger");
    const PetSpecies& s = PetSprite::sp();
    const Px open{25, 8, 1, 2, s.eye};
    for (int f : {40, 36, 37, 39, 80}) {
        const Pose p = PetSprite::stretch(f);
        EXPECT_TRUE(has(p.details, open)) << f;
        EXPECT_TRUE(has(p.parts, Px{17, 15, 2, 4, s.fur})) << f;
        EXPECT_TRUE(has(p.parts, Px{9, 15, 2, 4, s.fur})) << f;
    }
    for (int f = 12; f <= 28; ++f) {
        const Pose p = PetSprite::stretch(f);
        EXPECT_TRUE(has(p.details, Px{27, 12, 2, 1, s.eye})) << f;  // head at (23, 9), closed
        EXPECT_TRUE(has(p.details, Px{30, 15, 1, 1, qRgb(232, 121, 138)})) << f;  // tongue
        EXPECT_TRUE(has(p.parts, Px{9, 12, 2, 7, s.fur})) << f;  // hind legs still reach row 18
        EXPECT_TRUE(has(p.parts, Px{19, 16, 5, 2, s.fur})) << f;
    }
}

TEST(PetSpritePoses, PlayCrouchesPouncesAndBatsTheBall) {
    Drawing ginger("ginger");
    const QRgb fur = PetSprite::sp().fur;
    const auto ballX = [](const Pose& p) { return p.free.at(1).x; };
    for (int f = 1; f <= 36; ++f) {
        const int g = f % 36;
        const Pose p = PetSprite::play(f);
        if (g <= 13) {
            EXPECT_TRUE(has(p.parts, Px{g % 4 < 2 ? 9 : 8, 11, 13, 5, fur})) << f;
            EXPECT_EQ(ballX(p), 26);
        } else if (g <= 19) {
            const int j = std::array{0, 1, 2, 3, 2, 1}[g - 14];
            EXPECT_TRUE(has(p.parts, Px{8, 8 - j, 15, 5, fur})) << f;
            EXPECT_EQ(ballX(p), 26);
        } else {
            const bool raised = (g / 2) % 2 == 0;
            EXPECT_EQ(ballX(p), raised ? 27 : 26) << f;
            EXPECT_TRUE(has(p.parts, raised ? Px{22, 12, 2, 4, fur} : Px{22, 15, 3, 2, fur})) << f;
        }
    }
}

TEST(PetSpritePoses, DangleSwingsTheOuterLegsAndKeepsFeetOnTheCanvas) {
    for (const PetSpecies& species : PetSpecies::all()) {
        if (species.bodyPlan == PetSpecies::BodyPlan::bird) continue;
        Drawing d(species);
        const auto [W, H, L] = species.build;
        const int ll = std::min(L + 3, 13 - H);
        for (int f = 1; f <= 4; ++f) {
            const Pose p = PetSprite::dangle(f);
            int lowest = 0;
            for (const Px& r : p.parts)
                if (r.w == 2 && r.y == H + 6) lowest = std::max(lowest, r.y + r.h - 1);
            EXPECT_EQ(lowest, 6 + H + ll - 1) << species.id.toStdString();
            EXPECT_LE(lowest, 18) << species.id.toStdString();
        }
    }
    Drawing ginger("ginger");
    const QRgb fur = PetSprite::sp().fur;
    // off 0, s = 1 at f 1: outer legs at 10 and 19, 6 long; inner ones 7 long
    const Pose p = PetSprite::dangle(1);
    EXPECT_TRUE(has(p.parts, Px{10, 11, 2, 6, fur}));
    EXPECT_TRUE(has(p.parts, Px{19, 11, 2, 6, fur}));
    EXPECT_TRUE(has(p.parts, Px{12, 11, 2, 7, fur}));
    EXPECT_TRUE(has(PetSprite::dangle(3).parts, Px{8, 11, 2, 6, fur}));
    EXPECT_TRUE(has(PetSprite::dangle(3).parts, Px{21, 11, 2, 6, fur}));
}

TEST(PetSpritePoses, EatDipsTheHeadOverABowlThatStaysOnTheCanvas) {
    for (const PetSpecies& species : PetSpecies::all()) {
        if (species.bodyPlan == PetSpecies::BodyPlan::bird) continue;
        Drawing d(species);
        const int right = (14 - species.build.bodyW) / 2 + 8 + species.build.bodyW;
        const int bowl = std::min(right + 3, 24);
        const int top = 19 - species.build.legH - species.build.bodyH;
        for (int f = 1; f <= 8; ++f) {
            const Pose p = PetSprite::eat(f);
            ASSERT_EQ(p.free.size(), 4u);
            EXPECT_EQ(p.free[0], (Px{bowl, 17, 7, 3, qRgb(94, 139, 255)}));
            EXPECT_LE(p.free[0].x + p.free[0].w - 1, 30);
            const auto face =
                std::find_if(p.parts.begin(), p.parts.end(), [](const Px& r) { return r.w == 8 && r.h == 7; });
            ASSERT_NE(face, p.parts.end());
            EXPECT_LE(face->x, 21);
            EXPECT_EQ(face->y, top + 1 + (f % 4 < 2 ? 1 : 0)) << species.id.toStdString() << " " << f;
        }
    }
}
