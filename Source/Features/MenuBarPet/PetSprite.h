#pragma once

#include "Source/Features/MenuBarPet/PetSpecies.h"

#include <QImage>
#include <QList>
#include <QRgb>
#include <QString>

#include <array>
#include <initializer_list>
#include <optional>
#include <unordered_map>
#include <vector>

// The companion's pixel art: poses made of filled rectangles on a 32 x 20 canvas, the builders that
// make them for the species in `sp()`, the renderer and the per-species frame cache.
// Every member is static; GUI thread only (the cache and `sp()` are unguarded).
class PetSprite {
public:
    PetSprite() = delete;

    static constexpr int width = 32;
    static constexpr int height = 20;

    // One filled rectangle; may reach past the canvas, which clips it.
    struct Px {
        int x = 0;
        int y = 0;
        int w = 0;
        int h = 0;
        QRgb c = 0;
        bool operator==(const Px&) const = default;
    };

    // `parts` get the dark outline and are drawn first, `details` go on top of them; both dissolve.
    // `free` rectangles are drawn last, whole and without outline.
    struct Pose {
        std::vector<Px> parts;
        std::vector<Px> details;
        std::vector<Px> free;
        bool operator==(const Pose&) const = default;
    };

    // clang-format off
    enum class Animation {
        walk, run, sit, groom, stretch, sleep, play, vanish, appear,
        teleportOut, teleportIn, love, dangle, jump, eat, wave, yawn
    };
    // clang-format on
    static constexpr int animationCount = 17;
    static const std::array<Animation, animationCount>& allAnimations();
    // How many images the animation's list holds.
    static int frameCount(Animation animation);

    struct Key {
        QString species;
        Animation animation = Animation::walk;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& key) const noexcept;
    };
    // Node-based so that a returned list stays where it is while others are added.
    using Cache = std::unordered_map<Key, QList<QImage>, KeyHash>;

    // The fixed palette.
    struct C {
        static constexpr QRgb outline = 0xff2b1d14;
        static constexpr QRgb y1 = 0xff5e8bff;
        static constexpr QRgb y2 = 0xff8fb0ff;
        static constexpr QRgb z = 0xff9fb4ff;
        static constexpr QRgb cloud = 0xfff4f6fb;
        static constexpr QRgb cloudShade = 0xffc9d1e3;
        static constexpr QRgb horn = 0xffefe6d0;
        static constexpr QRgb shine = 0xffffffff;
        static constexpr QRgb calicoDark = 0xff3a3a40;
    };

    enum class Eyes { open, half, closed };

    // The bird figure's stance; unnamed fields keep it standing still, eyes open.
    struct BirdStance {
        int dy = 0;
        Eyes eyes = Eyes::open;
        bool beakOpen = false;
        int wingUp = 0;  // 0 folded, 1 held out, 2 raised
        bool preen = false;
        int lean = 0;
        bool feetHang = false;
        int tilt = 0;
    };

    // What the sitting figure is doing.
    struct SitMood {
        bool groom = false;
        bool happy = false;
        bool wave = false;
        bool yawn = false;
    };

    // Renderer: 32 x 20, premultiplied RGBA, no antialiasing. Null when no image could be made.
    static QImage render(const Pose& pose, double dissolve = 0);
    static Pose merge(std::initializer_list<Pose> poses);

    // The species every builder draws. Starts as the default species; frame building sets it.
    static PetSpecies& sp();
    static Cache& cache();
    // The species' image list for one animation, built on first use and the same list afterwards.
    static const QList<QImage>& frames(Animation animation, const PetSpecies& species);
    // Image k of an animation for `sp()`: its pose and how much of it has dissolved.
    struct Frame {
        Pose pose;
        double dissolve = 0;
    };
    static Frame frame(Animation animation, int k);
    // The first walk frame, cropped to the figure, black on transparent at twice the size, device
    // pixel ratio 2; for a mask icon. Null when there is nothing to show.
    static QImage silhouette(const PetSpecies& species);

    // Figures
    static Pose leg(int x, int y, int h);
    static std::vector<Px> markings(int x, int y, int w);
    static Pose tail(int x, int y, double angle, double curl, int length);
    static Pose head(int x, int y, Eyes eyes, bool earsUp, bool tongue);
    static Pose walk(int i);
    static Pose birdStand(int frame, const BirdStance& stance);
    static Pose birdWalk(int i, bool fast);
    static Pose ball(int x, int y);

    // Sitting and lying
    static Pose groundTail(int left, int y, int length, std::optional<int> tipUp);
    static Pose sit(int f, const SitMood& mood);
    static Pose love(int f);
    static Pose sleep(int f);
    static Pose birdLie(int f, bool sleeping);

    // Standing and moving
    static Pose standing(int dy, int legDelta, Eyes eyes);
    static Pose run(int f);
    static Pose stretch(int f);
    static Pose play(int f);
    static Pose dangle(int f);
    static Pose eat(int f);

    // Effects
    static std::optional<Pose> birdPose(Animation animation, int f);
    static Pose teleport(int f);
    static Pose poof(int f);
    static std::vector<Px> disc(double cx, double cy, double r, QRgb c);

    // Height of the jump per image; positive is down.
    static constexpr std::array<int, 10> jumpHeights = {0, 1, -2, -4, -5, -5, -4, -2, 0, 1};

private:
    static std::vector<Px> sleepLetters(int f, int base);
};
