#include "PetSpriteTestSupport.h"
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <QDir>
#include <QPainter>

#include <gtest/gtest.h>

using namespace PetSpriteTest;
using Animation = PetSprite::Animation;
using Px = PetSprite::Px;

namespace {

const char* name(Animation a) {
    static const char* names[] = {"walk",   "run",    "sit",    "groom",       "stretch",    "sleep",
                                  "play",   "vanish", "appear", "teleportOut", "teleportIn", "love",
                                  "dangle", "jump",   "eat",    "wave",        "yawn"};
    return names[int(a)];
}

bool listedBlank(Animation a, int k) {
    switch (a) {
    case Animation::vanish: return k >= 12;
    case Animation::appear: return k <= 1;
    case Animation::teleportOut: return k == 11;
    case Animation::teleportIn: return k == 0;
    default: return false;
    }
}

// Animations whose every image has the pet standing or sitting on the bottom row.
bool onTheGround(Animation a) {
    switch (a) {
    case Animation::walk:
    case Animation::sit:
    case Animation::groom:
    case Animation::wave:
    case Animation::yawn:
    case Animation::love:
    case Animation::stretch:
    case Animation::eat: return true;
    default: return false;
    }
}

QImage scaled(const QImage& image, int factor) {
    return image.scaled(image.width() * factor, image.height() * factor, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

}  // namespace

TEST(PetSpriteFrames, ListsHaveTheirCountsAndComeBackIdenticalFromTheCache) {
    const std::pair<Animation, int> counts[] = {
        {Animation::walk, 4},     {Animation::run, 4},          {Animation::sit, 32},        {Animation::groom, 12},
        {Animation::stretch, 40}, {Animation::sleep, 24},       {Animation::play, 36},       {Animation::vanish, 14},
        {Animation::appear, 14},  {Animation::teleportOut, 12}, {Animation::teleportIn, 12}, {Animation::love, 18},
        {Animation::dangle, 4},   {Animation::jump, 10},        {Animation::eat, 8},         {Animation::wave, 8},
        {Animation::yawn, 12}};
    ASSERT_EQ(PetSprite::allAnimations().size(), std::size(counts));
    const PetSpecies& hamster = PetSpecies::named("hamster");
    for (const auto& [animation, count] : counts) {
        const QList<QImage>& list = PetSprite::frames(animation, hamster);
        EXPECT_EQ(list.size(), count) << name(animation);
    }
    const QList<QImage>& first = PetSprite::frames(Animation::sit, PetSpecies::named("fox"));
    EXPECT_EQ(PetSprite::sp().id, "fox");
    PetSprite::frames(Animation::run, PetSpecies::named("cow"));
    EXPECT_EQ(PetSprite::sp().id, "cow");
    const QList<QImage>& again = PetSprite::frames(Animation::sit, PetSpecies::named("fox"));
    EXPECT_EQ(&first, &again);
    EXPECT_EQ(first.front().constBits(), again.front().constBits());
    EXPECT_EQ(PetSprite::sp().id, "cow");  // a cached list does not change the drawn species
    EXPECT_TRUE(PetSprite::cache().count({"fox", Animation::sit}));
    EXPECT_FALSE(PetSprite::cache().count({"fox", Animation::yawn}));
}

TEST(PetSpriteFrames, KeysDifferBySpeciesAndAnimation) {
    const PetSprite::KeyHash hash;
    const PetSprite::Key a{"fox", Animation::sit}, b{"fox", Animation::groom}, c{"pug", Animation::sit};
    EXPECT_EQ(a, (PetSprite::Key{"fox", Animation::sit}));
    EXPECT_EQ(hash(a), hash({"fox", Animation::sit}));
    EXPECT_NE(a, b);
    EXPECT_NE(a, c);
    EXPECT_NE(hash(a), hash(b));
}

// Every species, animation and image: the listed blanks and no others, clipped exactly at the canvas
// edges, feet on the ground or (dangling) on the canvas, the bowl clear of the right edge.
TEST(PetSpriteFrames, EveryFrameOfEverySpeciesKeepsItsShape) {
    for (const PetSpecies& species : PetSpecies::all()) {
        const std::string id = species.id.toStdString();
        for (Animation animation : PetSprite::allAnimations()) {
            const QList<QImage>& images = PetSprite::frames(animation, species);
            ASSERT_EQ(images.size(), PetSprite::frameCount(animation)) << id << " " << name(animation);
            PetSprite::sp() = species;
            for (int k = 0; k < images.size(); ++k) {
                const std::string where = id + " " + name(animation) + " " + std::to_string(k);
                const QImage& image = images[k];
                EXPECT_EQ(image.size(), QSize(32, 20)) << where;
                const PetSprite::Frame frame = PetSprite::frame(animation, k);
                if (listedBlank(animation, k) && species.bodyPlan == PetSpecies::BodyPlan::bird &&
                    (animation == Animation::teleportOut || animation == Animation::teleportIn)) {
                    // Fully dissolved; the bird's feet are free rectangles and stay.
                    EXPECT_EQ(image, PetSprite::render({{}, {}, PetSprite::birdWalk(1, false).free})) << where;
                } else {
                    EXPECT_EQ(isBlank(image), listedBlank(animation, k)) << where;
                }
                EXPECT_EQ(image, referenceRender(frame.pose, frame.dissolve)) << where;
                if (onTheGround(animation)) {
                    EXPECT_EQ(opaqueBox(image).maxY, 19) << where;
                }
                if (animation == Animation::dangle) {
                    EXPECT_LE(poseBox(frame.pose).maxY, 19) << where;
                }
                if (animation == Animation::eat) {
                    for (const Px& r : frame.pose.free) EXPECT_LE(r.x + r.w - 1, 30) << where;
                }
            }
        }
    }
}

TEST(PetSpriteFrames, TeleportDissolvesThePetButKeepsTheSparkles) {
    const PetSpecies& ginger = PetSpecies::named("ginger");
    const QList<QImage>& out = PetSprite::frames(Animation::teleportOut, ginger);
    const QList<QImage>& in = PetSprite::frames(Animation::teleportIn, ginger);
    const QImage& walk1 = PetSprite::frames(Animation::walk, ginger).front();
    // Pet pixels kept in image k and pet pixels it could show, both away from its sparkles; off the
    // pet and the sparkles nothing may be drawn.
    const auto petPixels = [&](int k) {
        const std::vector<Px> sparkles = PetSprite::teleport(k).free;
        int kept = 0, open = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 32; ++x) {
                const bool covered = std::any_of(sparkles.begin(), sparkles.end(), [&](const Px& r) {
                    return x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
                });
                if (covered) continue;
                if (qAlpha(pixel(walk1, x, y))) {
                    ++open;
                    kept += pixel(out[k], x, y) == pixel(walk1, x, y);
                } else {
                    EXPECT_EQ(qAlpha(pixel(out[k], x, y)), 0) << k;
                }
            }
        return std::make_pair(kept, open);
    };
    for (int k : {0, 1}) {
        const auto [kept, open] = petPixels(k);
        EXPECT_EQ(kept, open) << k;
        EXPECT_GT(open, 250) << k;
    }
    int previous = petPixels(1).first;
    for (int k = 2; k <= 7; ++k) {
        const int kept = petPixels(k).first;
        EXPECT_LT(kept, previous) << k;
        EXPECT_GT(kept, 0) << k;
        previous = kept;
    }
    for (int k = 8; k <= 10; ++k) {
        EXPECT_EQ(petPixels(k).first, 0) << k;
        EXPECT_FALSE(isBlank(out[k])) << k;
    }
    for (int k = 0; k < 12; ++k) EXPECT_EQ(in[k], out[11 - k]) << k;

    // Sparkle table: at f 0 sparkles 1, 2, 4, 5 show; 1 and 5 as dots, 2 and 4 as pluses.
    const PetSprite::Pose t0 = PetSprite::teleport(0);
    const std::vector<Px> sparkles(t0.free.end() - 6, t0.free.end());
    EXPECT_EQ(sparkles, (std::vector<Px>{{20, 4, 1, 1, PetSprite::C::shine},
                                         {15, 12, 1, 3, qRgb(255, 242, 168)},
                                         {14, 13, 3, 1, qRgb(255, 242, 168)},
                                         {8, 13, 1, 3, qRgb(255, 242, 168)},
                                         {7, 14, 3, 1, qRgb(255, 242, 168)},
                                         {18, 9, 1, 1, PetSprite::C::shine}}));
    // At f 10 they have risen five rows; sparkle 1 would leave the canvas and is gone.
    EXPECT_EQ(PetSprite::teleport(10).free, (std::vector<Px>{{11, 3, 1, 1, PetSprite::C::shine},
                                                             {25, 4, 1, 3, qRgb(168, 220, 255)},
                                                             {24, 5, 3, 1, qRgb(168, 220, 255)},
                                                             {8, 9, 1, 1, PetSprite::C::shine},
                                                             {23, 10, 1, 1, PetSprite::C::shine}}));
}

TEST(PetSpriteFrames, CloudPuffGrowsPulsesAndDriftsApart) {
    PetSprite::sp() = PetSpecies::named("ginger");
    EXPECT_TRUE(PetSprite::disc(10, 10, 0.4, PetSprite::C::cloud).empty());
    EXPECT_EQ(PetSprite::disc(10, 10, 1, PetSprite::C::cloud), (std::vector<Px>{{10, 9, 1, 1, PetSprite::C::cloud},
                                                                                {9, 10, 2, 1, PetSprite::C::cloud},
                                                                                {10, 11, 1, 1, PetSprite::C::cloud}}));
    // The middle puff's radius is r + 0.6: its row count follows the radius table.
    const double radius[] = {1.5, 2.4, 3.3, 4.2, 5.1, 5.2, 5.6, 5.2, 4.25, 3.3, 2.35, 1.4};
    for (int f = 0; f < 12; ++f) {
        const PetSprite::Pose pose = PetSprite::poof(f);
        const double r = radius[f] + 0.6;
        const double cy = 10 - (f >= 8 ? 1.2 * 1.3 * (f - 7) : 0);
        const auto middle = PetSprite::disc(16, cy, r, PetSprite::C::cloud);
        EXPECT_NE(std::search(pose.parts.begin(), pose.parts.end(), middle.begin(), middle.end()), pose.parts.end())
            << f;
        const bool pet =
            std::any_of(pose.parts.begin(), pose.parts.end(), [](const Px& p) { return p.c != PetSprite::C::cloud; });
        EXPECT_EQ(pet, f <= 2) << f;
    }
    EXPECT_EQ(PetSprite::poof(12), PetSprite::Pose{});
    EXPECT_EQ(PetSprite::poof(40), PetSprite::Pose{});
    EXPECT_EQ(PetSprite::poof(-3), PetSprite::poof(0));
}

TEST(PetSpriteFrames, BirdsUseTheirOwnForms) {
    const PetSpecies& duck = PetSpecies::named("duck");
    PetSprite::sp() = duck;
    const struct {
        Animation animation;
        int k;
        PetSprite::Pose pose;
    } cases[] = {
        {Animation::sit, 29, PetSprite::birdStand(30, {})},
        {Animation::sit, 30, PetSprite::birdStand(31, {.eyes = PetSprite::Eyes::closed})},
        {Animation::groom, 0, PetSprite::birdStand(1, {.eyes = PetSprite::Eyes::closed, .preen = true})},
        {Animation::groom, 3, PetSprite::birdStand(1, {.eyes = PetSprite::Eyes::closed})},
        {Animation::stretch, 30, PetSprite::birdStand(1, {.eyes = PetSprite::Eyes::closed})},
        {Animation::stretch, 0, PetSprite::birdStand(1, {.eyes = PetSprite::Eyes::closed, .wingUp = 2})},
        {Animation::jump, 4, PetSprite::birdStand(1, {.dy = -5, .eyes = PetSprite::Eyes::closed, .wingUp = 2})},
        {Animation::jump, 0, PetSprite::birdStand(1, {.eyes = PetSprite::Eyes::closed})},
        {Animation::dangle, 1, PetSprite::birdStand(1, {.dy = -3, .wingUp = 2, .feetHang = true})},
        {Animation::sleep, 4, PetSprite::birdLie(5, true)},
        {Animation::play, 4, PetSprite::birdLie(5, false)},
        {Animation::wave, 0, PetSprite::birdStand(1, {.wingUp = 2})},
        {Animation::run, 1, PetSprite::birdWalk(2, true)},
    };
    for (const auto& c : cases) EXPECT_EQ(PetSprite::frame(c.animation, c.k).pose, c.pose) << name(c.animation) << c.k;
    const PetSprite::Pose eat = PetSprite::frame(Animation::eat, 0).pose;
    EXPECT_EQ(std::vector<Px>(eat.free.end() - 3, eat.free.end()),
              (std::vector<Px>{{24, 17, 7, 3, qRgb(94, 139, 255)},
                               {25, 16, 5, 1, qRgb(143, 176, 255)},
                               {26, 15, 3, 1, qRgb(159, 212, 255)}}));
    // The bird stands under the cloud at the start of vanish.
    EXPECT_EQ(PetSprite::frame(Animation::vanish, 0).pose.parts.front(), PetSprite::birdStand(1, {}).parts.front());
}

TEST(PetSpriteFrames, JumpShutsItsEyesInTheAir) {
    const PetSpecies& ginger = PetSpecies::named("ginger");
    PetSprite::sp() = ginger;
    for (int k = 0; k < 10; ++k) {
        const PetSprite::Pose pose = PetSprite::frame(Animation::jump, k).pose;
        const int dy = PetSprite::jumpHeights[k];
        const int headTop = 6 + dy;
        const bool closed = std::find(pose.details.begin(), pose.details.end(),
                                      Px{24, headTop + 3, 2, 1, ginger.eye}) != pose.details.end();
        EXPECT_EQ(closed, k >= 2 && k <= 7) << k;
        EXPECT_NE(std::find(pose.parts.begin(), pose.parts.end(), Px{8, 10 + dy, 14, 5, ginger.fur}), pose.parts.end())
            << k;
    }
}

// Whole frames against pictures kept in the fixtures; a mismatch leaves the actual picture and a
// 10x image in the test output.
TEST(PetSpriteFrames, GoldenFramesMatch) {
    const struct {
        const char* species;
        Animation animation;
        int k;
    } goldens[] = {
        {"ginger", Animation::walk, 0},  {"ginger", Animation::run, 3},   {"ginger", Animation::sit, 0},
        {"ginger", Animation::sleep, 0}, {"penguin", Animation::walk, 1}, {"penguin", Animation::sleep, 0},
        {"owl", Animation::walk, 0},     {"owl", Animation::dangle, 2},   {"panda", Animation::walk, 0},
        {"panda", Animation::eat, 0},    {"panda", Animation::play, 20},  {"fox", Animation::teleportOut, 4},
        {"bunny", Animation::love, 5},
    };
    const QString out = QStringLiteral(QUORVIN_TEST_OUTPUT) + "/pet-frames";
    QDir().mkpath(out);
    for (const auto& g : goldens) {
        const QString file = QString::asprintf("%s-%s-%d", g.species, name(g.animation), g.k);
        const QImage& image = PetSprite::frames(g.animation, PetSpecies::named(g.species))[g.k];
        scaled(image, 10).save(out + "/" + file + ".png");
        const std::optional<Picture> golden =
            readPicture(QStringLiteral(QUORVIN_FIXTURES) + "/pet-frames/" + file + ".txt");
        const bool same = golden && draw(image, golden->legend) == golden->rows;
        if (!same) {
            QFile actual(out + "/" + file + ".txt");
            if (actual.open(QIODevice::WriteOnly)) actual.write(describe(image).toUtf8());
        }
        EXPECT_TRUE(same) << file.toStdString() << ": see " << out.toStdString();
    }
}

// One picture of every species: the walk cycle and some other animations at 4x, for a look by eye.
TEST(PetSpriteFrames, GalleryShowsEverySpecies) {
    const std::pair<Animation, int> cells[] = {
        {Animation::walk, 0},     {Animation::walk, 1},   {Animation::walk, 2},       {Animation::walk, 3},
        {Animation::run, 0},      {Animation::sit, 0},    {Animation::sleep, 0},      {Animation::play, 20},
        {Animation::eat, 0},      {Animation::love, 5},   {Animation::jump, 4},       {Animation::dangle, 1},
        {Animation::stretch, 16}, {Animation::vanish, 6}, {Animation::teleportOut, 5}};
    const int cellW = 32 * 4 + 8, cellH = 20 * 4 + 8;
    const auto& all = PetSpecies::all();
    QImage gallery(cellW * int(std::size(cells)), cellH * int(all.size()), QImage::Format_ARGB32_Premultiplied);
    gallery.fill(QColor(226, 230, 238));
    QPainter painter(&gallery);
    for (int row = 0; row < int(all.size()); ++row) {
        for (int col = 0; col < int(std::size(cells)); ++col) {
            const auto [animation, k] = cells[col];
            const QImage& image = PetSprite::frames(animation, all[row])[k];
            EXPECT_FALSE(isBlank(image)) << all[row].id.toStdString() << " " << name(animation);
            painter.drawImage(col * cellW + 4, row * cellH + 4, scaled(image, 4));
        }
    }
    painter.end();
    EXPECT_TRUE(gallery.save(QStringLiteral(QUORVIN_TEST_OUTPUT) + "/pet-gallery.png"));
}
