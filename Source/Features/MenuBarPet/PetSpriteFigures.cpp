// Figure builders of PetSprite: leg, markings, tail, head, the walk cycle and the bird.
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <algorithm>
#include <cmath>

namespace {

using Px = PetSprite::Px;
using Pose = PetSprite::Pose;
using Ears = PetSpecies::Ears;
using Tail = PetSpecies::Tail;

const PetSpecies& s() { return PetSprite::sp(); }
QRgb faceColour() { return s().faceColor.value_or(s().fur); }
QRgb earColour() { return s().faceColor.value_or(s().darkLegs ? s().marking : s().fur); }
QRgb legColour() { return s().darkLegs ? s().marking : s().fur; }
QRgb eyeColour() { return s().mask ? PetSprite::C::shine : s().eye; }
QRgb tailColour(int segment) {
    if (s().tail == Tail::ringed && segment % 2 == 1) return s().marking;
    return s().tailColor.value_or(s().fur);
}

int nearest(double v) { return int(std::lround(v)); }

// One row run per pixel row of an ellipse centred on (cx, cy).
void ellipseRows(std::vector<Px>& out, double cx, double cy, double rx, double ry, QRgb c) {
    for (int y = int(std::ceil(cy - ry)); y <= int(std::floor(cy + ry)); ++y) {
        const double t = (y - cy) / ry;
        const double half = rx * std::sqrt(std::max(1 - t * t, 0.0));
        const int x0 = nearest(cx - half), x1 = nearest(cx + half);
        out.push_back({x0, y, std::max(x1 - x0, 1), 1, c});
    }
}

}  // namespace

Pose PetSprite::leg(int x, int y, int h) {
    Pose p;
    p.parts.push_back({x, y, 2, h, legColour()});
    if (!s().darkLegs) p.details.push_back({x, y + h - 1, 2, 1, s().belly});
    return p;
}

std::vector<Px> PetSprite::markings(int x, int y, int w) {
    const QRgb m = s().marking;
    switch (s().markings) {
    case PetSpecies::Markings::stripes: {
        std::vector<Px> out;
        for (int i = 3; i < w - 3; i += 3) out.push_back({x + i, y, 1, 2, m});
        return out;
    }
    case PetSpecies::Markings::spots:
        return {{x + 2, y + 1, 2, 2, m}, {x + 7, y, 2, 2, m}, {x + w - 4, y + 2, 2, 1, m}};
    case PetSpecies::Markings::patches: return {{x + 1, y, 4, 3, m}, {x + w - 6, y + 1, 4, 2, C::calicoDark}};
    case PetSpecies::Markings::none: break;
    }
    return {};
}

Pose PetSprite::tail(int x0, int y0, double angle, double curl, int length) {
    Pose p;
    int segments = 0, block = 2, shift = -1;
    double step = 1.3;
    switch (s().tail) {
    case Tail::long_:
    case Tail::ringed: segments = length; break;
    case Tail::thin: segments = 8, block = 1, shift = 0, step = 1.1; break;
    case Tail::bushy: segments = 5, block = 3, step = 1.6, angle *= 0.8, curl *= 0.6; break;
    case Tail::curly: segments = 3, angle = 1.1, curl = 1.3; break;
    case Tail::stub: p.parts.push_back({x0 - 2, y0 - 1, 3, 3, tailColour(0)}); return p;
    case Tail::none: return p;
    }
    double x = x0, y = y0;
    for (int i = 0; i < segments; ++i) {
        p.parts.push_back({nearest(x) + shift, nearest(y) + shift, block, block, tailColour(i)});
        x -= std::cos(angle) * step;
        y -= std::sin(angle) * step;
        angle += curl;
    }
    if (s().tail == Tail::bushy && s().tailTip && !p.parts.empty()) {
        Px tip = p.parts.back();
        tip.c = *s().tailTip;
        p.details.push_back(tip);
    }
    return p;
}

Pose PetSprite::head(int x, int y, Eyes eyes, bool earsUp, bool tongue) {
    const PetSpecies& sp = s();
    const QRgb face = faceColour();
    Pose p;
    p.parts.push_back({x, y, 8, 7, face});

    switch (sp.ears) {
    case Ears::pointy:
    case Ears::round:
        if (!earsUp) {
            p.parts.insert(p.parts.end(), {{x, y - 1, 2, 1, earColour()}, {x + 5, y - 1, 2, 1, earColour()}});
        } else if (sp.ears == Ears::pointy) {
            p.parts.insert(p.parts.end(), {{x, y - 2, 2, 2, face},
                                           {x + 5, y - 2, 2, 2, face},
                                           {x, y - 3, 1, 1, face},
                                           {x + 6, y - 3, 1, 1, face}});
            p.details.insert(p.details.end(), {{x + 1, y - 1, 1, 1, sp.nose}, {x + 5, y - 1, 1, 1, sp.nose}});
        } else {
            p.parts.insert(p.parts.end(), {{x, y - 2, 3, 2, earColour()}, {x + 5, y - 2, 3, 2, earColour()}});
            if (!sp.darkLegs) {
                p.details.insert(p.details.end(), {{x + 1, y - 1, 1, 1, sp.nose}, {x + 6, y - 1, 1, 1, sp.nose}});
            }
        }
        break;
    case Ears::long_:
        if (earsUp) {
            p.parts.insert(p.parts.end(), {{x + 1, y - 5, 2, 5, sp.fur}, {x + 4, y - 5, 2, 5, sp.fur}});
            p.details.insert(p.details.end(), {{x + 1, y - 4, 1, 3, sp.nose}, {x + 4, y - 4, 1, 3, sp.nose}});
        } else {
            p.parts.push_back({x - 4, y, 5, 2, sp.fur});
        }
        break;
    case Ears::floppy: p.parts.push_back({x - 1, y, 3, 5, sp.marking}); break;
    case Ears::tiny: p.parts.insert(p.parts.end(), {{x + 1, y - 1, 2, 1, face}, {x + 5, y - 1, 2, 1, face}}); break;
    case Ears::horns:
        p.parts.insert(p.parts.end(),
                       {{x + 1, y - 2, 1, 2, C::horn}, {x + 5, y - 2, 1, 2, C::horn}, {x - 1, y + 1, 2, 1, sp.fur}});
        break;
    }

    if (sp.snout) {
        p.parts.push_back({x + 8, y + 3, 2, 3, face});
        p.details.insert(p.details.end(), {{x + 6, y + 4, 4, 2, sp.belly}, {x + 9, y + 3, 1, 1, sp.nose}});
    } else {
        p.details.insert(p.details.end(), {{x + 5, y + 4, 3, 3, sp.belly}, {x + 7, y + 4, 1, 1, sp.nose}});
    }
    if (sp.markings == PetSpecies::Markings::stripes) {
        p.details.insert(p.details.end(), {{x + 1, y, 1, 1, sp.marking}, {x + 3, y, 1, 1, sp.marking}});
    }
    if (sp.mask) p.details.push_back({x + 3, y + 2, 4, 2, sp.marking});
    switch (eyes) {
    case Eyes::open: p.details.push_back({x + 5, y + 2, 1, 2, eyeColour()}); break;
    case Eyes::half: p.details.push_back({x + 5, y + 3, 1, 1, eyeColour()}); break;
    case Eyes::closed: p.details.push_back({x + 4, y + 3, 2, 1, sp.mask ? sp.belly : sp.eye}); break;
    }
    if (tongue) p.details.push_back({sp.snout ? x + 9 : x + 7, y + 6, 1, 1, qRgb(232, 121, 138)});
    return p;
}

Pose PetSprite::walk(int i) {
    if (s().bodyPlan == PetSpecies::BodyPlan::bird) return birdWalk(i, false);
    const auto [W, H, L] = s().build;
    const int p = i % 4;
    const int u = p == 0 ? 1 : p == 2 ? -1 : 0;
    const int bob = p % 2;
    const int top = 19 - L - H, legTop = 19 - L;
    const int off = (14 - W) / 2, bx = off + 8, right = bx + W;
    const int a = std::min(W / 2, 5), b = std::min(W / 2, 4), lifted = std::max(L - 1, 1);

    Pose body;
    body.parts.push_back({bx, top + bob, W, H, s().fur});
    body.details.push_back({off + 10, top + bob + H - 2, W - 4, 2, s().belly});
    const std::vector<Px> coat = markings(bx, top + bob, W);
    body.details.insert(body.details.end(), coat.begin(), coat.end());

    return merge({tail(bx, top + 1 + bob, 0.95 + 0.12 * std::sin(0.8 * i), 0.18, 6),
                  leg(bx + 1 + u, legTop, p == 2 ? lifted : L), leg(right - b - 1 - u, legTop, p == 0 ? lifted : L),
                  body, leg(bx + a - 1 - u, legTop, p == 0 ? lifted : L),
                  leg(right - 2 + u, legTop, p == 2 ? lifted : L),
                  head(right - 2, top - 4 + bob, Eyes::open, true, false)});
}

Pose PetSprite::birdStand(int, const BirdStance& st) {
    const PetSpecies& sp = s();
    const int cy = 11 + st.dy + st.lean / 2, cx = 15 + st.lean + st.tilt;
    const int X = cx, Y = cy;
    Pose p;
    ellipseRows(p.parts, cx, cy, 5.5, 7, sp.fur);
    ellipseRows(p.details, cx + 1.2, cy + 1.5, 3.4, 5, sp.belly);
    if (sp.bigEyes) p.parts.insert(p.parts.end(), {{X - 4, Y - 8, 2, 2, sp.fur}, {X + 3, Y - 8, 2, 2, sp.fur}});
    if (st.wingUp == 1) {
        p.parts.push_back({X - 8, Y - 2, 3, 2, sp.fur});
    } else if (st.wingUp == 2) {
        p.parts.push_back({X - 7, Y - 7, 2, 6, sp.fur});
    } else {
        p.details.push_back({X - 4, Y - 1, 2, 6, sp.marking == sp.nose ? sp.fur : sp.marking});
    }
    if (sp.bigEyes) {
        const QRgb cream = qRgb(255, 244, 214);
        for (int ex : {X - 1, X + 3}) {
            p.details.push_back({ex, Y - 5, 3, 3, cream});
            if (st.eyes == Eyes::closed) {
                p.details.push_back({ex, Y - 4, 3, 1, sp.eye});
            } else {
                p.details.push_back({ex + 1, Y - 4, 1, 1, sp.eye});
            }
        }
        // A small hooked beak between the eye discs, over the belly so that it shows.
        p.details.push_back({X + 2, st.preen ? Y - 1 : Y - 3, 1, 2, sp.nose});
    } else {
        if (st.eyes == Eyes::closed) {
            p.details.push_back({X + 2, Y - 3, 2, 1, sp.eye});
        } else {
            p.details.insert(p.details.end(), {{X + 2, Y - 4, 1, 2, sp.eye}, {X + 2, Y - 4, 1, 1, C::shine}});
        }
        const int by = st.preen ? Y - 1 : Y - 3;
        p.parts.push_back({X + 5, by, 3, 1, sp.nose});
        p.parts.push_back(st.beakOpen ? Px{X + 5, by + 2, 3, 1, sp.nose} : Px{X + 5, by + 1, 2, 1, sp.nose});
    }
    const QRgb feet = sp.bigEyes ? sp.nose : sp.marking;
    const int fy = st.feetHang ? Y + 8 : 19;
    p.free.insert(p.free.end(), {{X - 3, fy, 3, 1, feet}, {X + 1, fy, 3, 1, feet}});
    if (st.feetHang) p.free.insert(p.free.end(), {{X - 2, fy - 1, 1, 1, feet}, {X + 2, fy - 1, 1, 1, feet}});
    return p;
}

Pose PetSprite::birdWalk(int i, bool fast) {
    static constexpr int tilts[4] = {0, 1, 0, -1};
    const int p = i % 4;
    Pose pose = birdStand(i, {.wingUp = fast ? 1 : 0, .tilt = tilts[p]});
    if (p % 2 == 1) {
        const auto foot = std::find_if(pose.free.begin(), pose.free.end(), [](const Px& r) { return r.y == 19; });
        if (foot != pose.free.end()) foot->y = 18, foot->h = 1;
    }
    return pose;
}

Pose PetSprite::ball(int x, int y) {
    Pose p;
    p.free = {{x + 1, y, 3, 1, C::y1},     {x, y + 1, 5, 3, C::y1},     {x + 1, y + 4, 3, 1, C::y1},
              {x + 1, y + 1, 1, 1, C::y2}, {x + 3, y + 2, 1, 1, C::y2}, {x + 2, y + 3, 1, 1, C::y2}};
    return p;
}
