// Pose builders of PetSprite: sitting, lying, standing and moving.
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <algorithm>
#include <cmath>

namespace {

using Px = PetSprite::Px;
using Pose = PetSprite::Pose;
using Eyes = PetSprite::Eyes;
using Tail = PetSpecies::Tail;

const PetSpecies& s() { return PetSprite::sp(); }
QRgb legColour() { return s().darkLegs ? s().marking : s().fur; }
QRgb tailColour() { return s().tailColor.value_or(s().fur); }
bool isBird() { return s().bodyPlan == PetSpecies::BodyPlan::bird; }
int nearest(double v) { return int(std::lround(v)); }

Pose parts(std::initializer_list<Px> rects) {
    Pose p;
    p.parts = rects;
    return p;
}

// A body block with its belly and coat pattern.
Pose body(Px block, Px bellyRect, int markX, int markY, int markW) {
    Pose p;
    p.parts.push_back(block);
    p.details.push_back(bellyRect);
    const std::vector<Px> coat = PetSprite::markings(markX, markY, markW);
    p.details.insert(p.details.end(), coat.begin(), coat.end());
    return p;
}

// The standing frame shared with the walk cycle.
struct Layout {
    int W, H, L, off, bx, right, top, legTop, a, b;
};
Layout layout() {
    const auto [W, H, L] = s().build;
    const int off = (14 - W) / 2, bx = off + 8;
    return {W, H, L, off, bx, bx + W, 19 - L - H, 19 - L, std::min(W / 2, 5), std::min(W / 2, 4)};
}

}  // namespace

Pose PetSprite::groundTail(int left, int y, int length, std::optional<int> tipUp) {
    Pose p;
    const QRgb c = tailColour();
    switch (s().tail) {
    case Tail::long_:
    case Tail::ringed:
    case Tail::bushy: {
        const int t = s().tail == Tail::bushy ? 3 : 2;
        for (int x = left, k = 0; x < left + length; ++k) {
            const int w = std::min(left + length - x, 2);
            p.parts.push_back({x, y + 2 - t, w, t, s().tail == Tail::ringed && k % 2 == 1 ? s().marking : c});
            x += w;
        }
        if (tipUp) p.parts.push_back({left - 1, y - 2 + *tipUp, 2, 3, s().tailTip.value_or(c)});
        break;
    }
    case Tail::thin:
        p.parts.push_back({left, y + 1, length, 1, c});
        if (tipUp) p.parts.push_back({left - 1, y - 1 + *tipUp, 1, 3, c});
        break;
    case Tail::stub:
    case Tail::curly: p.parts.push_back({left + length - 3, y - 2, 3, 3, c}); break;
    case Tail::none: break;
    }
    return p;
}

Pose PetSprite::sit(int f, const SitMood& mood) {
    if (isBird()) {
        return birdStand(f, {.eyes = mood.happy || mood.yawn ? Eyes::closed : Eyes::open,
                             .beakOpen = mood.yawn,
                             .wingUp = mood.wave ? (f % 4 < 2 ? 2 : 1) : 0});
    }
    const PetSpecies& sp = s();
    const auto [W, H, L] = sp.build;
    const int sink = std::min(std::max(4 - L, 0) + std::max(6 - H, 0) + std::max(12 - W, 0) / 2, 5);
    const int e = std::max(H - 6, 0), h = sink / 2;
    const bool lick = mood.groom && f % 6 < 3, pawUp = mood.groom && f % 12 < 9;
    const Eyes eyes = mood.groom || mood.happy || mood.yawn || f % 31 == 0 ? Eyes::closed : Eyes::open;

    Pose haunch = parts({{10 - e, h + 12 - e, 7 + e, 7 - h + e, sp.fur}});
    if (sp.markings == PetSpecies::Markings::stripes) {
        haunch.details = {{12, h + 12, 1, 2, sp.marking}, {14, h + 12, 1, 2, sp.marking}};
    }
    Pose chest = parts({{13, sink + 8, 7 + e, 11 - sink, sp.fur}});
    chest.details = {{17, sink + 11, 3, std::max(7 - sink, 1), sp.belly}};
    Pose paw;
    if (mood.wave) {
        const bool out = f % 4 > 1;
        paw = parts({{out ? 22 : 21, sink + (out ? 6 : 5), 2, 5, legColour()}});
    } else if (pawUp) {
        paw = parts({{20, sink + 8 + (lick ? 0 : 1), 2, 4, legColour()}});
    } else {
        paw = leg(19, sink + 14, 5 - sink);
    }
    Pose mouth;
    if (mood.yawn) mouth.details = {{sp.snout ? 23 : 21, sink + 8, 2, 2, qRgb(90, 42, 42)}};

    return merge({groundTail(h + 5, 17, 7 - h, std::sin(f / 2.0) > 0.5 ? -1 : 0), haunch, chest, paw,
                  leg(16, h + 15, 4 - h), head(15, sink + (mood.groom ? 4 : 3), eyes, true, mood.yawn || lick), mouth});
}

Pose PetSprite::love(int f) {
    static constexpr int X[3] = {24, 9, 25}, Y[3] = {9, 8, 5}, DX[3] = {1, -1, 0};
    const QRgb deep = qRgb(255, 107, 139), pale = qRgb(255, 163, 184);
    Pose hearts;
    for (int j = 0; j < 3; ++j) {
        const int a = f - 4 * j;
        const int y = Y[j] - a, x = X[j] + (a / 3) * DX[j];
        if (a < 0 || a > 9 || y < 0) continue;
        const QRgb c = a < 6 ? deep : pale;
        hearts.free.insert(hearts.free.end(), {{x, y, 2, 1, c},
                                               {x + 3, y, 2, 1, c},
                                               {x, y + 1, 5, 1, c},
                                               {x + 1, y + 2, 3, 1, c},
                                               {x + 2, y + 3, 1, 1, c}});
    }
    return merge({sit(1, {.happy = true}), hearts});
}

std::vector<PetSprite::Px> PetSprite::sleepLetters(int f, int base) {
    std::vector<Px> letters;
    for (int i = 1; i <= 3; ++i) {
        const int p = (f % 24 + 8 * (i - 1)) % 24;
        if (p > 18) continue;
        const int x = base + i + p / 5, y = 9 - p / 3;
        letters.insert(letters.end(), {{x - 1, y, 3, 1, C::z}, {x, y + 1, 1, 1, C::z}, {x - 1, y + 2, 3, 1, C::z}});
    }
    return letters;
}

Pose PetSprite::sleep(int f) {
    const PetSpecies& sp = s();
    const int breath = (f / 6) % 2;
    const int e2 = std::min(std::max(6 - sp.build.bodyH, 0), 2), w2 = std::min(std::max(14 - sp.build.bodyW, 0), 6);

    Pose head = parts({{19, 12, 7, 6, sp.fur}});
    switch (sp.ears) {
    case PetSpecies::Ears::horns:
        head.parts.insert(head.parts.end(), {{20, 10, 1, 2, C::horn}, {23, 10, 1, 2, C::horn}});
        break;
    case PetSpecies::Ears::floppy: head.parts.push_back({19, 13, 2, 4, sp.marking}); break;
    case PetSpecies::Ears::long_: head.parts.push_back({13, 11, 7, 2, sp.fur}); break;
    default: head.parts.insert(head.parts.end(), {{19, 11, 2, 1, legColour()}, {23, 11, 2, 1, legColour()}}); break;
    }
    if (sp.snout) head.parts.push_back({26, 14, 2, 3, sp.fur});
    if (sp.mask) head.details.push_back({21, 13, 4, 2, sp.marking});
    head.details.insert(head.details.end(), {{22, 14, 2, 1, sp.mask ? sp.belly : sp.eye},
                                             {24, 15, 2, 2, sp.belly},
                                             {sp.snout ? 27 : 25, 15, 1, 1, sp.nose}});

    Pose torso = parts(
        {{7 + w2, 12 + e2 - breath, 15 - w2, 6 - e2 + breath, sp.fur}, {9 + w2, 11 + e2 - breath, 11 - w2, 1, sp.fur}});
    torso.details = markings(8 + w2, 12 + e2 - breath, 13 - w2);
    Pose letters;
    letters.free = sleepLetters(f, 25);
    return merge({groundTail(5, 17, 17, std::nullopt), torso, head, letters});
}

Pose PetSprite::birdLie(int f, bool sleeping) {
    const PetSpecies& sp = s();
    Pose p;
    for (int y = 11; y <= 19; ++y) {
        const double t = (y - 15) * 0.25, half = 8 * std::sqrt(std::max(1 - t * t, 0.0));
        const int x0 = nearest(16 - half), x1 = nearest(16 + half);
        p.parts.push_back({x0, y, std::max(x1 - x0, 1), 1, sp.fur});
    }
    for (int y = 15; y <= 18; ++y) {
        const double t = (y - 16.5) / 2.2, half = 6 * std::sqrt(std::max(1 - t * t, 0.0));
        const int x0 = nearest(17 - half), x1 = nearest(17 + half);
        p.details.push_back({x0, y, std::max(x1 - x0, 1), 1, sp.belly});
    }
    if (sp.bigEyes) p.parts.push_back({19, 10, 2, 2, sp.fur});
    p.parts.push_back({24, 14, 3, 1, sp.nose});
    p.details.push_back({21, 13, 2, 1, sp.eye});
    if (sleeping) {
        p.free = sleepLetters(f, 24);
    } else {
        static constexpr int lineY[3] = {13, 16, 18};
        for (int j = 0; j < 3; ++j) {
            if ((f + j) % 3 != 0) p.free.push_back({(f + 2 * j) % 4 + 2, lineY[j], 4, 1, C::cloudShade});
        }
        p.details.push_back({20, 13, 2, 1, C::shine});
    }
    return p;
}

Pose PetSprite::standing(int dy, int legDelta, Eyes eyes) {
    const Layout fr = layout();
    const int ly = fr.legTop + dy, ll = std::max(fr.L + legDelta, 1);
    return merge({tail(fr.bx, fr.top + 1 + dy, 1.1, 0.18, 6), leg(fr.bx + 1, ly, ll), leg(fr.right - fr.b - 1, ly, ll),
                  body({fr.bx, fr.top + dy, fr.W, fr.H, s().fur}, {fr.bx + 2, ly - 2, fr.W - 4, 2, s().belly}, fr.bx,
                       fr.top + dy, fr.W),
                  leg(fr.bx + fr.a - 1, ly, ll), leg(fr.right - 2, ly, ll),
                  head(fr.right - 2, fr.top - 4 + dy, eyes, true, false)});
}

Pose PetSprite::run(int f) {
    const Layout fr = layout();
    const int p = f % 4;
    const int bob = p == 0 ? -2 : p == 2 ? 0 : -1;
    const int bx = fr.off + 7, W = fr.W + 2, H = std::max(fr.H - 1, 3);
    const int bt = fr.top + 1 + bob, bb = bt + H, right = bx + W;
    const QRgb lc = legColour();
    Pose legs;
    if (p == 0) {
        legs = parts({{fr.off + 3, bb - 1, 4, 2, lc},
                      {fr.off + 4, bb, 4, 2, lc},
                      {right, bb - 1, 4, 2, lc},
                      {right - 1, bb, 4, 2, lc}});
    } else if (p == 2) {
        const int m = bx + W / 2;
        legs = merge({leg(m - 3, bb, fr.L), leg(m - 1, bb, fr.L), leg(m, bb, fr.L), leg(m + 2, bb, fr.L)});
    } else {
        const int lifted = std::max(fr.L - 1, 1);
        legs = merge({leg(fr.off + 8, bb, fr.L), leg(fr.off + 10, bb, lifted), leg(right - 4, bb, lifted),
                      leg(right - 2, bb, fr.L)});
    }
    return merge({tail(bx, bt + 1, 0.35 + 0.1 * std::sin(f), 0.05, 6), legs,
                  body({bx, bt, W, H, s().fur}, {fr.off + 9, bb - 2, fr.W - 2, 2, s().belly}, bx, bt, W),
                  head(right - 1, bt - 3, Eyes::open, false, false)});
}

Pose PetSprite::stretch(int f) {
    const int g = f % 40;
    const double rise = std::min(g / 12.0, 1.0);
    const double fall = g < 28 ? 1 : std::max(1 - 0.125 * (g - 28), 0.0);
    const double t = rise * fall;
    const int d = nearest(3 * t);
    const Pose front = t <= 0.3 ? merge({leg(17, 15, 4), leg(20, 15, 4)})
                                : parts({{19, 16, 5, 2, legColour()}, {21, 17, 5, 2, legColour()}});
    Pose torso = parts({{8, 9 - d, 7, 6, s().fur}, {14, 10, 8, 5 + nearest(t), s().fur}});
    torso.details = markings(8, 9 - d, 12);
    return merge({tail(8, 9 - d, 1.1 + 0.4 * t, 0.12, 6), leg(9, 15 - d, d + 4), leg(12, 15 - d, d + 4), torso, front,
                  head(20 + d, 6 + d, t > 0.6 ? Eyes::closed : Eyes::open, true, t > 0.8)});
}

Pose PetSprite::play(int f) {
    const int g = f % 36;
    const QRgb lc = legColour(), fur = s().fur, belly = s().belly;
    if (g <= 13) {
        const int c = g % 4, x0 = c < 2 ? 9 : 8;
        return merge({tail(c < 2 ? 8 : 7, 12, 0.3 + 0.25 * std::sin(g), 0.1, 6), leg(x0 + 1, 16, 3), leg(x0 + 4, 16, 3),
                      body({x0, 11, 13, 5, fur}, {x0 + 2, 14, 9, 2, belly}, x0, 11, 13),
                      parts({{18, 17, 4, 2, lc}, {21, 17, 3, 2, lc}}), head(20, 9, Eyes::open, true, false),
                      ball(26, 14)});
    }
    if (g <= 19) {
        const int j = g <= 16 ? g - 14 : 20 - g;
        return merge({tail(8, 9 - j, 0.6, 0.08, 6), parts({{5, 13 - j, 4, 2, lc}}),
                      body({8, 8 - j, 15, 5, fur}, {10, 11 - j, 11, 2, belly}, 8, 8 - j, 15),
                      parts({{23, 11 - j, 4, 2, lc}}), head(21, 4 - j, Eyes::open, false, false), ball(26, 14)});
    }
    const bool raised = (g / 2) % 2 == 0;
    return merge({tail(8, 11, 0.9 + 0.2 * std::sin(g), 0.2, 6), leg(9, 15, 4), leg(12, 15, 4),
                  body({8, 10, 14, 5, fur}, {10, 13, 10, 2, belly}, 8, 10, 14),
                  parts({raised ? Px{22, 12, 2, 4, lc} : Px{22, 15, 3, 2, lc}}), leg(19, 15, 4),
                  head(20, 5, Eyes::open, true, false), ball(raised ? 27 : 26, 14)});
}

Pose PetSprite::dangle(int f) {
    static constexpr int swings[4] = {0, 1, 0, -1};
    const Layout fr = layout();
    const int sw = swings[((f % 4) + 4) % 4];
    const int ll = std::min(fr.L + 3, 13 - fr.H), legY = fr.H + 6;
    return merge(
        {tail(fr.bx, 10, 1.4 + sw / 4.0, -0.1, 6), leg(fr.off + 9 + sw, legY, ll - 1), leg(fr.bx + fr.a - 1, legY, ll),
         body({fr.bx, 6, fr.W, fr.H, s().fur}, {fr.off + 10, fr.H + 4, fr.W - 4, 2, s().belly}, fr.bx, 6, fr.W),
         leg(fr.right - fr.b - 1, legY, ll), leg(fr.right - 2 - sw, legY, ll - 1),
         head(fr.right - 2, 3, Eyes::open, true, false)});
}

Pose PetSprite::eat(int f) {
    const Layout fr = layout();
    const int p = f % 4;
    const int bowl = std::min(fr.right + 3, 24);
    Pose dish;
    dish.free = {{bowl, 17, 7, 3, qRgb(94, 139, 255)},
                 {bowl + 1, 16, 5, 1, qRgb(143, 176, 255)},
                 {bowl + 1, 15, 2, 1, qRgb(201, 142, 69)},
                 {bowl + 4, 15, 2, 1, qRgb(176, 122, 58)}};
    return merge({tail(fr.bx, fr.top + 1, 0.9 + 0.2 * std::sin(f), 0.18, 6), leg(fr.off + 9, fr.legTop, fr.L),
                  leg(fr.right - fr.b - 1, fr.legTop, fr.L),
                  body({fr.bx, fr.top, fr.W, fr.H, s().fur}, {fr.off + 10, fr.legTop - 2, fr.W - 4, 2, s().belly},
                       fr.bx, fr.top, fr.W),
                  leg(fr.bx + fr.a - 1, fr.legTop, fr.L), leg(fr.right - 2, fr.legTop, fr.L),
                  head(std::min(fr.right, 22) - 1, fr.top + 1 + (p < 2 ? 1 : 0), Eyes::closed, true, false), dish});
}
