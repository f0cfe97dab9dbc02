#include "PetSpriteTestSupport.h"
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace PetSpriteTest;
using Px = PetSprite::Px;
using Pose = PetSprite::Pose;
using Eyes = PetSprite::Eyes;

namespace {

// Draws with a species without going through the cache.
struct Drawing {
    explicit Drawing(const char* id) { PetSprite::sp() = PetSpecies::named(id); }
    explicit Drawing(const PetSpecies& s) { PetSprite::sp() = s; }
};

std::vector<std::pair<int, int>> origins(const std::vector<Px>& rects) {
    std::vector<std::pair<int, int>> out;
    for (const Px& r : rects) out.emplace_back(r.x, r.y);
    return out;
}

// The walk's legs are the parts of height 3 or 4 and width 2 that start on the leg row.
std::vector<std::pair<int, int>> legsOf(const Pose& pose, int legTop) {
    std::vector<std::pair<int, int>> out;
    for (const Px& r : pose.parts)
        if (r.y == legTop && r.w == 2 && r.h <= 4) out.emplace_back(r.x, r.h);
    return out;
}

bool has(const std::vector<Px>& list, const Px& r) { return std::find(list.begin(), list.end(), r) != list.end(); }

}  // namespace

TEST(PetSpriteFigures, WalkCyclePlacesBodyHeadAndLegsPerPhase) {
    Drawing ginger("ginger");
    // frame, body top, head top, then legs 2, 3, 5, 6 as (x, height) in drawing order
    const struct {
        int frame, bodyTop, headTop;
        std::vector<std::pair<int, int>> legs;
    } cases[] = {
        {4, 10, 6, {{10, 4}, {16, 3}, {11, 3}, {21, 4}}},
        {1, 11, 7, {{9, 4}, {17, 4}, {12, 4}, {20, 4}}},
        {2, 10, 6, {{8, 3}, {18, 4}, {13, 4}, {19, 3}}},
        {3, 11, 7, {{9, 4}, {17, 4}, {12, 4}, {20, 4}}},
        {0, 10, 6, {{10, 4}, {16, 3}, {11, 3}, {21, 4}}},
        // The negative remainder: phase -1 has no stride and rises one pixel.
        {-1, 9, 5, {{9, 4}, {17, 4}, {12, 4}, {20, 4}}},
    };
    for (const auto& c : cases) {
        const Pose pose = PetSprite::walk(c.frame);
        EXPECT_EQ(legsOf(pose, 15), c.legs) << "frame " << c.frame;
        const auto body = std::find_if(pose.parts.begin(), pose.parts.end(), [](const Px& r) { return r.w == 14; });
        ASSERT_NE(body, pose.parts.end());
        EXPECT_EQ(*body, (Px{8, c.bodyTop, 14, 5, PetSprite::sp().fur})) << "frame " << c.frame;
        const auto face =
            std::find_if(pose.parts.begin(), pose.parts.end(), [](const Px& r) { return r.w == 8 && r.h == 7; });
        ASSERT_NE(face, pose.parts.end());
        EXPECT_EQ(std::make_pair(face->x, face->y), std::make_pair(20, c.headTop)) << "frame " << c.frame;
    }
}

TEST(PetSpriteFigures, WalkBodyLeftColumnFollowsTruncatingDivision) {
    const struct { int width, left; } cases[] = {{14, 8}, {15, 8}, {16, 7}, {17, 7}, {8, 11}, {11, 9}, {9, 10}};
    for (const auto& c : cases) {
        PetSpecies s = PetSpecies::named("ginger");
        s.build.bodyW = c.width;
        Drawing d(s);
        const Pose pose = PetSprite::walk(1);
        const bool found = std::any_of(pose.parts.begin(), pose.parts.end(),
                                       [&](const Px& r) { return r.w == c.width && r.h == 5 && r.x == c.left; });
        EXPECT_TRUE(found) << "width " << c.width;
    }
}

TEST(PetSpriteFigures, TailBlocksFollowTheAngleAndTheShape) {
    Drawing ginger("ginger");
    const Pose longTail = PetSprite::tail(8, 12, 0.95 + 0.12 * std::sin(0.8), 0.18, 6);
    EXPECT_EQ(origins(longTail.parts),
              (std::vector<std::pair<int, int>>{{7, 11}, {6, 10}, {6, 9}, {6, 7}, {6, 6}, {6, 5}}));
    for (const Px& r : longTail.parts) EXPECT_EQ(std::make_pair(r.w, r.h), std::make_pair(2, 2));
    EXPECT_TRUE(PetSprite::tail(8, 12, 1.0, 0.2, 0).parts.empty());
    // The walk cycle's first part is exactly that tail.
    const Pose walk = PetSprite::walk(1);
    EXPECT_TRUE(std::equal(longTail.parts.begin(), longTail.parts.end(), walk.parts.begin()));

    {
        Drawing tiger("tiger");  // ringed: odd blocks in the marking colour
        const Pose ringed = PetSprite::tail(8, 12, 1.0, 0.18, 6);
        ASSERT_EQ(ringed.parts.size(), 6u);
        for (size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(ringed.parts[i].c, i % 2 ? PetSprite::sp().marking : PetSprite::sp().fur) << i;
        }
    }
    {
        Drawing corgi("corgi");  // stub: one 3 x 3 block whatever the angle
        for (double angle : {0.0, 1.0, 2.5}) {
            EXPECT_EQ(PetSprite::tail(8, 12, angle, 0.3, 6).parts,
                      (std::vector<Px>{{6, 11, 3, 3, PetSprite::sp().fur}}));
        }
    }
    {
        Drawing shiba("shiba");  // curly ignores angle and curl
        const Pose a = PetSprite::tail(8, 12, 0.2, 0.0, 6), b = PetSprite::tail(8, 12, 1.9, 0.5, 2);
        EXPECT_EQ(a, b);
        EXPECT_EQ(a.parts.size(), 3u);
    }
    {
        Drawing fox("fox");  // bushy: five 3 x 3 blocks and a tip over the last
        const Pose bushy = PetSprite::tail(8, 12, 1.0, 0.18, 6);
        ASSERT_EQ(bushy.parts.size(), 5u);
        ASSERT_EQ(bushy.details.size(), 1u);
        EXPECT_EQ(bushy.details[0], (Px{bushy.parts[4].x, bushy.parts[4].y, 3, 3, *PetSprite::sp().tailTip}));
    }
    {
        Drawing mouse("mouse");  // thin: eight single pixels in the tail colour
        const Pose thin = PetSprite::tail(8, 12, 1.0, 0.18, 2);
        ASSERT_EQ(thin.parts.size(), 8u);
        EXPECT_EQ(thin.parts[0], (Px{8, 12, 1, 1, *PetSprite::sp().tailColor}));
    }
    {
        Drawing koala("koala");
        EXPECT_EQ(PetSprite::tail(8, 12, 1.0, 0.18, 6), Pose{});
    }
}

TEST(PetSpriteFigures, LegsAndEarsTakeTheDarkLegColours) {
    {
        Drawing ginger("ginger");
        const Pose leg = PetSprite::leg(4, 15, 4);
        EXPECT_EQ(leg.parts, (std::vector<Px>{{4, 15, 2, 4, PetSprite::sp().fur}}));
        EXPECT_EQ(leg.details, (std::vector<Px>{{4, 18, 2, 1, PetSprite::sp().belly}}));
    }
    {
        Drawing panda("panda");  // dark legs, round ears: no paws, no inner ears, ears in marking
        const PetSpecies& s = PetSprite::sp();
        const Pose leg = PetSprite::leg(4, 15, 4);
        EXPECT_EQ(leg.parts, (std::vector<Px>{{4, 15, 2, 4, s.marking}}));
        EXPECT_TRUE(leg.details.empty());
        const Pose up = PetSprite::head(10, 5, Eyes::open, true, false);
        EXPECT_EQ(up.parts[1], (Px{10, 3, 3, 2, s.marking}));
        EXPECT_EQ(up.parts[2], (Px{15, 3, 3, 2, s.marking}));
        EXPECT_FALSE(has(up.details, Px{11, 4, 1, 1, s.nose}));
        EXPECT_FALSE(has(up.details, Px{16, 4, 1, 1, s.nose}));
        EXPECT_TRUE(has(PetSprite::head(10, 5, Eyes::open, true, false).details, Px{17, 9, 1, 1, s.nose}));
        const Pose down = PetSprite::head(10, 5, Eyes::open, false, false);
        EXPECT_EQ(down.parts[1], (Px{10, 4, 2, 1, s.marking}));
    }
    {
        Drawing sheep("sheep");  // dark legs but a face colour: the face colour wins for ears
        const PetSpecies& s = PetSprite::sp();
        EXPECT_EQ(PetSprite::head(10, 5, Eyes::open, true, false).parts[0].c, *s.faceColor);
        EXPECT_EQ(PetSprite::head(10, 5, Eyes::open, true, false).parts[1], (Px{9, 5, 3, 5, s.marking}));
    }
}

TEST(PetSpriteFigures, HeadDetailsByMaskSnoutStripesAndEyes) {
    {
        Drawing raccoon("raccoon");  // mask: white eye over the band, belly-coloured lid when closed
        const PetSpecies& s = PetSprite::sp();
        const Pose open = PetSprite::head(10, 5, Eyes::open, true, false);
        EXPECT_EQ(open.details.back(), (Px{15, 7, 1, 2, PetSprite::C::shine}));
        EXPECT_EQ(open.details[open.details.size() - 2], (Px{13, 7, 4, 2, s.marking}));
        EXPECT_EQ(PetSprite::head(10, 5, Eyes::closed, true, false).details.back(), (Px{14, 8, 2, 1, s.belly}));
        EXPECT_EQ(PetSprite::head(10, 5, Eyes::half, true, false).details.back(),
                  (Px{15, 8, 1, 1, PetSprite::C::shine}));
    }
    {
        Drawing corgi("corgi");  // snout sticks out; the tongue sits under its tip
        const PetSpecies& s = PetSprite::sp();
        const Pose head = PetSprite::head(10, 5, Eyes::open, true, true);
        EXPECT_NE(std::find(head.parts.begin(), head.parts.end(), Px{18, 8, 2, 3, s.fur}), head.parts.end());
        EXPECT_EQ(head.details.back(), (Px{19, 11, 1, 1, qRgb(232, 121, 138)}));
        EXPECT_NE(std::find(head.details.begin(), head.details.end(), Px{19, 8, 1, 1, s.nose}), head.details.end());
    }
    {
        Drawing ginger("ginger");  // pointy ears with inner ears, stripes: forehead marks
        const PetSpecies& s = PetSprite::sp();
        const Pose head = PetSprite::head(10, 5, Eyes::open, true, false);
        EXPECT_EQ(origins({head.parts.begin() + 1, head.parts.end()}),
                  (std::vector<std::pair<int, int>>{{10, 3}, {15, 3}, {10, 2}, {16, 2}}));
        EXPECT_EQ(head.details, (std::vector<Px>{{11, 4, 1, 1, s.nose},
                                                 {15, 4, 1, 1, s.nose},
                                                 {15, 9, 3, 3, s.belly},
                                                 {17, 9, 1, 1, s.nose},
                                                 {11, 5, 1, 1, s.marking},
                                                 {13, 5, 1, 1, s.marking},
                                                 {15, 7, 1, 2, s.eye}}));
    }
    {
        Drawing bunny("bunny");
        EXPECT_EQ(PetSprite::head(10, 5, Eyes::open, true, false).parts[1], (Px{11, 0, 2, 5, PetSprite::sp().fur}));
        EXPECT_EQ(PetSprite::head(10, 5, Eyes::open, false, false).parts[1], (Px{6, 5, 5, 2, PetSprite::sp().fur}));
    }
    {
        Drawing cow("cow");
        const Pose head = PetSprite::head(10, 5, Eyes::open, true, false);
        EXPECT_EQ(head.parts[1], (Px{11, 3, 1, 2, PetSprite::C::horn}));
        EXPECT_EQ(head.parts[3], (Px{9, 6, 2, 1, PetSprite::sp().fur}));
    }
}

TEST(PetSpriteFigures, MarkingsByCoat) {
    {
        Drawing ginger("ginger");
        EXPECT_EQ(origins(PetSprite::markings(8, 10, 14)),
                  (std::vector<std::pair<int, int>>{{11, 10}, {14, 10}, {17, 10}}));
        EXPECT_EQ(PetSprite::markings(8, 10, 10).size(), 2u);
        EXPECT_EQ(PetSprite::markings(8, 10, 7).size(), 1u);
        EXPECT_TRUE(PetSprite::markings(8, 10, 6).empty());
    }
    {
        Drawing cow("cow");
        EXPECT_EQ(origins(PetSprite::markings(7, 9, 17)),
                  (std::vector<std::pair<int, int>>{{9, 10}, {14, 9}, {20, 11}}));
    }
    {
        Drawing calico("calico");
        const auto m = PetSprite::markings(8, 10, 14);
        EXPECT_EQ(m,
                  (std::vector<Px>{{9, 10, 4, 3, PetSprite::sp().marking}, {16, 11, 4, 2, PetSprite::C::calicoDark}}));
    }
    {
        Drawing bear("bear");
        EXPECT_TRUE(PetSprite::markings(8, 10, 14).empty());
    }
}

TEST(PetSpriteFigures, BirdStandRowsMatchTheEllipse) {
    Drawing penguin("penguin");
    const PetSpecies& s = PetSprite::sp();
    const Pose bird = PetSprite::birdStand(0, {});
    // body rows (y, x0, width)
    const std::vector<std::tuple<int, int, int>> body = {
        {4, 15, 1},   {5, 12, 6},   {6, 11, 8},   {7, 10, 10},  {8, 10, 10}, {9, 10, 10}, {10, 10, 10}, {11, 10, 11},
        {12, 10, 10}, {13, 10, 10}, {14, 10, 10}, {15, 10, 10}, {16, 11, 8}, {17, 12, 6}, {18, 15, 1}};
    ASSERT_GE(bird.parts.size(), body.size());
    for (size_t i = 0; i < body.size(); ++i) {
        const auto [y, x, w] = body[i];
        EXPECT_EQ(bird.parts[i], (Px{x, y, w, 1, s.fur})) << "row " << y;
    }
    const std::vector<std::tuple<int, int, int>> belly = {{8, 15, 3},  {9, 14, 5},  {10, 13, 6}, {11, 13, 6},
                                                          {12, 13, 7}, {13, 13, 7}, {14, 13, 6}, {15, 13, 6},
                                                          {16, 14, 5}, {17, 15, 3}};
    for (size_t i = 0; i < belly.size(); ++i) {
        const auto [y, x, w] = belly[i];
        EXPECT_EQ(bird.details[i], (Px{x, y, w, 1, s.belly})) << "belly row " << y;
    }
    // Penguin: marking equals nose, so the folded wing is in fur.
    EXPECT_EQ(bird.details[10], (Px{11, 10, 2, 6, s.fur}));
    EXPECT_EQ(bird.details[11], (Px{17, 7, 1, 2, s.eye}));
    EXPECT_EQ(bird.details[12], (Px{17, 7, 1, 1, PetSprite::C::shine}));
    EXPECT_EQ(std::vector<Px>(bird.parts.end() - 2, bird.parts.end()),
              (std::vector<Px>{{20, 8, 3, 1, s.nose}, {20, 9, 2, 1, s.nose}}));
    EXPECT_EQ(bird.free, (std::vector<Px>{{12, 19, 3, 1, s.marking}, {16, 19, 3, 1, s.marking}}));
}

TEST(PetSpriteFigures, BirdStanceArgumentsMoveWingBeakAndFeet) {
    Drawing duck("duck");
    const PetSpecies& s = PetSprite::sp();
    const Pose open = PetSprite::birdStand(0, {.beakOpen = true});
    EXPECT_EQ(open.parts.back(), (Px{20, 10, 3, 1, s.nose}));
    const Pose preen = PetSprite::birdStand(0, {.preen = true});
    EXPECT_EQ(preen.parts.back(), (Px{20, 11, 2, 1, s.nose}));
    const Pose out = PetSprite::birdStand(0, {.wingUp = 1});
    EXPECT_NE(std::find(out.parts.begin(), out.parts.end(), Px{7, 9, 3, 2, s.fur}), out.parts.end());
    const Pose raised = PetSprite::birdStand(0, {.wingUp = 2});
    EXPECT_NE(std::find(raised.parts.begin(), raised.parts.end(), Px{8, 4, 2, 6, s.fur}), raised.parts.end());
    const Pose hang = PetSprite::birdStand(0, {.dy = -3, .feetHang = true});
    EXPECT_EQ(hang.free, (std::vector<Px>{{12, 16, 3, 1, s.marking},
                                          {16, 16, 3, 1, s.marking},
                                          {13, 15, 1, 1, s.marking},
                                          {17, 15, 1, 1, s.marking}}));
    const Pose lean = PetSprite::birdStand(0, {.lean = 3, .tilt = -1});  // cy 12, cx 17
    EXPECT_EQ(lean.parts.front(), (Px{17, 5, 1, 1, s.fur}));
    const Pose shut = PetSprite::birdStand(0, {.eyes = Eyes::closed});
    EXPECT_EQ(shut.details.back(), (Px{17, 8, 2, 1, s.eye}));
}

TEST(PetSpriteFigures, OwlHasTuftsDiscsAndFeetInItsNoseColour) {
    Drawing owl("owl");
    const PetSpecies& s = PetSprite::sp();
    const Pose open = PetSprite::birdStand(0, {});
    EXPECT_NE(std::find(open.parts.begin(), open.parts.end(), Px{11, 3, 2, 2, s.fur}), open.parts.end());
    EXPECT_NE(std::find(open.parts.begin(), open.parts.end(), Px{18, 3, 2, 2, s.fur}), open.parts.end());
    const QRgb cream = qRgb(255, 244, 214);
    const std::vector<Px> eyes = {
        {14, 6, 3, 3, cream}, {15, 7, 1, 1, s.eye}, {18, 6, 3, 3, cream}, {19, 7, 1, 1, s.eye}};
    EXPECT_NE(std::search(open.details.begin(), open.details.end(), eyes.begin(), eyes.end()), open.details.end());
    const Pose shut = PetSprite::birdStand(0, {.eyes = Eyes::closed});
    EXPECT_NE(std::find(shut.details.begin(), shut.details.end(), Px{14, 7, 3, 1, s.eye}), shut.details.end());
    for (const Px& foot : open.free) EXPECT_EQ(foot.c, s.nose);
    // The beak must show in the finished image: some nose-coloured pixel between the eyes.
    PetSprite::sp() = s;
    const QImage image = PetSprite::render(open);
    EXPECT_EQ(pixel(image, 17, 8), s.nose);
}

TEST(PetSpriteFigures, BirdWalkRocksAndLiftsAFootInOddPhases) {
    Drawing duck("duck");
    for (int i = 0; i < 8; ++i) {
        const Pose pose = PetSprite::birdWalk(i, false);
        const int tilt = std::array{0, 1, 0, -1}[i % 4];
        EXPECT_EQ(pose.parts.front().x, 15 + tilt) << i;
        EXPECT_EQ(pose.free[0].y, i % 2 ? 18 : 19) << i;
        EXPECT_EQ(pose.free[1].y, 19) << i;
    }
    const Pose fast = PetSprite::birdWalk(1, true);
    EXPECT_NE(std::find(fast.parts.begin(), fast.parts.end(), Px{8, 9, 3, 2, PetSprite::sp().fur}), fast.parts.end());
    // The walk of a bird species is its bird walk.
    EXPECT_EQ(PetSprite::walk(3), PetSprite::birdWalk(3, false));
}

TEST(PetSpriteFigures, BallIsAFreeRoundFiveByFive) {
    const Pose ball = PetSprite::ball(26, 14);
    EXPECT_TRUE(ball.parts.empty());
    EXPECT_TRUE(ball.details.empty());
    const QImage image = PetSprite::render(ball);
    const Box box = opaqueBox(image);
    EXPECT_EQ(std::make_tuple(box.minX, box.minY, box.maxX, box.maxY), std::make_tuple(26, 14, 30, 18));
    EXPECT_EQ(qAlpha(pixel(image, 26, 14)), 0);  // round corners
    EXPECT_EQ(pixel(image, 27, 15), PetSprite::C::y2);
    EXPECT_EQ(pixel(image, 28, 16), PetSprite::C::y1);
}
