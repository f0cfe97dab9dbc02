#include "Source/Features/MenuBarPet/PetSprite.h"

#include <QHash>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void fill(QImage& image, const PetSprite::Px& r, QRgb colour) {
    const int x0 = std::max(r.x, 0), x1 = std::min(r.x + r.w, PetSprite::width);
    const int y0 = std::max(r.y, 0), y1 = std::min(r.y + r.h, PetSprite::height);
    if (x0 >= x1 || y0 >= y1) return;
    // Every colour is opaque, so premultiplied bytes are the plain channel bytes.
    const uchar rgba[4] = {uchar(qRed(colour)), uchar(qGreen(colour)), uchar(qBlue(colour)), 255};
    for (int y = y0; y < y1; ++y) {
        uchar* line = image.scanLine(y) + 4 * x0;
        for (int x = x0; x < x1; ++x, line += 4) std::memcpy(line, rgba, 4);
    }
}

}  // namespace

const std::array<PetSprite::Animation, PetSprite::animationCount>& PetSprite::allAnimations() {
    using A = Animation;
    static constexpr std::array<Animation, animationCount> list = {
        A::walk,        A::run,        A::sit,  A::groom,  A::stretch, A::sleep, A::play, A::vanish, A::appear,
        A::teleportOut, A::teleportIn, A::love, A::dangle, A::jump,    A::eat,   A::wave, A::yawn};
    return list;
}

int PetSprite::frameCount(Animation animation) {
    switch (animation) {
    case Animation::walk: return 4;
    case Animation::run: return 4;
    case Animation::sit: return 32;
    case Animation::groom: return 12;
    case Animation::stretch: return 40;
    case Animation::sleep: return 24;
    case Animation::play: return 36;
    case Animation::vanish: return 14;
    case Animation::appear: return 14;
    case Animation::teleportOut: return 12;
    case Animation::teleportIn: return 12;
    case Animation::love: return 18;
    case Animation::dangle: return 4;
    case Animation::jump: return 10;
    case Animation::eat: return 8;
    case Animation::wave: return 8;
    case Animation::yawn: return 12;
    }
    return 0;
}

size_t PetSprite::KeyHash::operator()(const Key& key) const noexcept {
    return qHashMulti(0, key.species, int(key.animation));
}

QImage PetSprite::render(const Pose& pose, double dissolve) {
    QImage image(width, height, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull()) return image;
    image.fill(0);
    // All outlines go down before any part, so touching parts share one contour and no seam.
    for (const Px& p : pose.parts) fill(image, {p.x - 1, p.y - 1, p.w + 2, p.h + 2, 0}, C::outline);
    for (const Px& p : pose.parts) fill(image, p, p.c);
    for (const Px& p : pose.details) fill(image, p, p.c);
    if (dissolve > 0) {
        for (int y = 0; y < height; ++y) {
            uchar* line = image.scanLine(y);
            for (int x = 0; x < width; ++x) {
                const int v = (73 * x + 151 * y + 29 * ((x * y) % 13)) % 97;
                if (v / 97.0 < dissolve) std::memset(line + 4 * x, 0, 4);
            }
        }
    }
    for (const Px& p : pose.free) fill(image, p, p.c);
    return image;
}

PetSprite::Pose PetSprite::merge(std::initializer_list<Pose> poses) {
    Pose out;
    for (const Pose& p : poses) {
        out.parts.insert(out.parts.end(), p.parts.begin(), p.parts.end());
        out.details.insert(out.details.end(), p.details.begin(), p.details.end());
        out.free.insert(out.free.end(), p.free.begin(), p.free.end());
    }
    return out;
}

PetSpecies& PetSprite::sp() {
    static PetSpecies species = PetSpecies::all().front();
    return species;
}

PetSprite::Cache& PetSprite::cache() {
    static Cache store;
    return store;
}

const QList<QImage>& PetSprite::frames(Animation animation, const PetSpecies& species) {
    Key key{species.id, animation};
    Cache& store = cache();
    if (auto found = store.find(key); found != store.end()) return found->second;

    sp() = species;
    const int count = frameCount(animation);
    QList<QImage> images;
    images.reserve(count);
    for (int k = 0; k < count; ++k) {
        const Frame f = frame(animation, k);
        QImage image = render(f.pose, f.dissolve);
        if (!image.isNull()) images.append(image);
    }
    return store.emplace(std::move(key), std::move(images)).first->second;
}

PetSprite::Frame PetSprite::frame(Animation animation, int k) {
    if (animation == Animation::teleportOut) return {teleport(k), std::min(std::max(k - 1, 0) / 7.0, 1.0)};
    if (animation == Animation::teleportIn) return {teleport(11 - k), std::min(std::max(10 - k, 0) / 7.0, 1.0)};
    if (sp().bodyPlan == PetSpecies::BodyPlan::bird) {
        if (std::optional<Pose> birdForm = birdPose(animation, k + 1)) return {std::move(*birdForm)};
    }
    switch (animation) {
    case Animation::walk: return {walk(k + 1)};
    case Animation::run: return {run(k + 1)};
    case Animation::sit: return {sit(k + 1, {})};
    case Animation::groom: return {sit(k + 1, {.groom = true})};
    case Animation::stretch: return {stretch(k + 1)};
    case Animation::sleep: return {sleep(k + 1)};
    case Animation::play: return {play(k + 1)};
    case Animation::vanish: return {poof(k)};
    case Animation::appear: return {poof(13 - k)};
    case Animation::love: return {love(k)};
    case Animation::dangle: return {dangle(k + 1)};
    case Animation::jump: {
        const int j = jumpHeights[std::min(k, 9)];
        return {standing(j, j > 0 ? -j : 0, k >= 2 && k <= 7 ? Eyes::closed : Eyes::open)};
    }
    case Animation::eat: return {eat(k + 1)};
    case Animation::wave: return {sit(k + 1, {.wave = true})};
    case Animation::yawn: return {sit(k + 1, {.yawn = k >= 2 && k <= 8})};
    case Animation::teleportOut:
    case Animation::teleportIn: break;
    }
    return {};
}

QImage PetSprite::silhouette(const PetSpecies& species) {
    const QList<QImage>& walkFrames = frames(Animation::walk, species);
    if (walkFrames.isEmpty()) return {};
    const QImage& frame = walkFrames.front();
    int minX = width, minY = height, maxX = -1, maxY = -1;
    for (int y = 0; y < height; ++y) {
        const uchar* line = frame.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            if (line[4 * x + 3] == 0) continue;
            minX = std::min(minX, x), maxX = std::max(maxX, x);
            minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    }
    if (maxX < 0) return {};
    const int w = maxX - minX + 1, h = maxY - minY + 1;
    QImage out(2 * w, 2 * h, QImage::Format_RGBA8888_Premultiplied);
    if (out.isNull()) return out;
    for (int y = 0; y < 2 * h; ++y) {
        const uchar* src = frame.constScanLine(minY + y / 2);
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < 2 * w; ++x) {
            // Black kept at the sprite pixel's own coverage.
            const uchar alpha = src[4 * (minX + x / 2) + 3];
            dst[4 * x] = dst[4 * x + 1] = dst[4 * x + 2] = 0;
            dst[4 * x + 3] = alpha;
        }
    }
    out.setDevicePixelRatio(2);
    return out;
}

std::optional<PetSprite::Pose> PetSprite::birdPose(Animation animation, int f) {
    switch (animation) {
    case Animation::walk: return birdWalk(f, false);
    case Animation::run: return birdWalk(f, true);
    case Animation::sit: return birdStand(f, {.eyes = f % 31 == 0 ? Eyes::closed : Eyes::open});
    case Animation::groom: return birdStand(f, {.eyes = Eyes::closed, .preen = f % 6 < 3});
    case Animation::stretch: return birdStand(f, {.eyes = Eyes::closed, .wingUp = f % 40 < 30 ? 2 : 0});
    case Animation::sleep: return birdLie(f, true);
    case Animation::play: return birdLie(f, false);
    case Animation::dangle:
        return birdStand(f, {.dy = -3, .eyes = Eyes::open, .wingUp = f % 4 >= 2 ? 2 : 1, .feetHang = true});
    case Animation::jump:
        return birdStand(f, {.dy = jumpHeights[std::min(std::max(f - 1, 0), 9)],
                             .eyes = Eyes::closed,
                             .wingUp = f >= 3 && f <= 8 ? 2 : 0});
    case Animation::eat: {
        Pose heap;
        heap.free = {{24, 17, 7, 3, qRgb(94, 139, 255)},
                     {25, 16, 5, 1, qRgb(143, 176, 255)},
                     {26, 15, 3, 1, qRgb(159, 212, 255)}};
        return merge({birdStand(f, {.eyes = Eyes::closed, .lean = f % 4 < 2 ? 2 : 1}), heap});
    }
    default: return std::nullopt;
    }
}

PetSprite::Pose PetSprite::teleport(int f) {
    static constexpr int X[7] = {11, 20, 15, 25, 8, 18, 23};
    static constexpr int Y[7] = {8, 4, 13, 10, 14, 9, 15};
    const int fc = std::clamp(f, 0, 11);
    const QRgb yellow = qRgb(255, 242, 168), blue = qRgb(168, 220, 255);
    Pose sparkles;
    if (f <= 10) {
        for (int j = 0; j < 7; ++j) {
            if ((fc + j) % 3 == 0) continue;
            const int y = Y[j] - fc / 2;
            if (y < 1) continue;
            if ((fc + 2 * j) & 2) {
                sparkles.free.push_back({X[j], y, 1, 1, C::shine});
            } else {
                const QRgb c = j % 2 == 0 ? yellow : blue;
                sparkles.free.push_back({X[j], y - 1, 1, 3, c});
                sparkles.free.push_back({X[j] - 1, y, 3, 1, c});
            }
        }
    }
    return merge({walk(1), sparkles});
}

PetSprite::Pose PetSprite::poof(int f) {
    f = std::clamp(f, 0, 13);
    Pose pet;
    double r = 0, rise = 0, spread = 0;
    if (f <= 2) {
        pet = sit(1, {});
        r = 1.5 + 0.9 * f;
    } else if (f <= 4) {
        r = 1.5 + 0.9 * f;
    } else if (f <= 7) {
        r = f == 6 ? 5.6 : 5.2;
    } else {
        const int d = f - 7;
        r = std::max(5.2 - 0.95 * d, 0.0);
        rise = 1.3 * d;
        spread = 0.8 * d;
    }
    if (r < 0.5) return {};
    static constexpr double baseX[3] = {11, 16, 21};
    static constexpr double baseY[3] = {13, 10, 13};
    Pose cloud;
    for (int j = -1; j <= 1; ++j) {
        const bool middle = j == 0;
        const double rho = middle ? r + 0.6 : r;
        const double lift = middle ? 1.2 * rise : rise;
        const double cx = baseX[j + 1] + spread * j, cy = baseY[j + 1] - lift;
        const std::vector<Px> puff = disc(cx, cy, rho, C::cloud);
        cloud.parts.insert(cloud.parts.end(), puff.begin(), puff.end());
        const std::vector<Px> shade = disc(cx + 0.25 * rho, cy + 0.35 * rho, 0.45 * rho, C::cloudShade);
        cloud.details.insert(cloud.details.end(), shade.begin(), shade.end());
    }
    return merge({pet, cloud});
}

std::vector<PetSprite::Px> PetSprite::disc(double cx, double cy, double r, QRgb c) {
    std::vector<Px> rows;
    if (r < 0.5) return rows;
    for (int y = int(std::ceil(cy - r)); y <= int(std::floor(cy + r)); ++y) {
        const double half = std::sqrt(std::max(r * r - (y - cy) * (y - cy), 0.0));
        const int x0 = int(std::lround(cx - half)), x1 = int(std::lround(cx + half));
        rows.push_back({x0, y, std::max(x1 - x0, 1), 1, c});
    }
    return rows;
}
