#include "Source/Features/MenuBarPet/MenuBarPet.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/Random.h"
#include "Platform/Desktop/FrontWindow.h"
#include "Platform/Gui/Displays.h"
#include "Source/Features/MenuBarPet/PetSettings.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kWalkFrom = 0.3, kWalkTo = 0.62;
constexpr double kNotchGap = 4;
constexpr double kDragThreshold = 3;
constexpr double kDwellCeiling = 40, kDwellDecay = 2, kMigrationPause = 45;
constexpr double kFollowChance = 0.4, kRandomMoveChance = 0.02;
// A frame (and the focus check) comes after a whole number of ticks; their sum may fall a hair short
// of a round time.
constexpr double kFrameSlack = 1e-6;

using Animation = PetSprite::Animation;

// Animations that end by themselves and that clicks, menu items and the walking rules leave alone.
bool isBusy(Animation a) {
    switch (a) {
    case Animation::vanish:
    case Animation::appear:
    case Animation::teleportOut:
    case Animation::teleportIn:
    case Animation::love:
    case Animation::yawn:
        return true;
    default:
        return false;
    }
}
}  // namespace

MenuBarPet::MenuBarPet(Environment environment, QObject* parent)
    : QObject(parent), env_(std::move(environment)),
      species_(&PetSpecies::named(env_.settings.species.value())) {
    lastTick_ = now();
    timer_.setInterval(int(tickInterval * 1000));
    timer_.setTimerType(Qt::CoarseTimer);
    connect(&timer_, &QTimer::timeout, this, &MenuBarPet::tick);
}

double MenuBarPet::now() const { return env_.clock.monotonic(); }
double MenuBarPet::unit() { return env_.random.uniform(0.0, 1.0); }

double MenuBarPet::secondsPerFrame(Animation animation) {
    switch (animation) {
    case Animation::walk: return 0.125;
    case Animation::run: return 1.0 / 14;
    case Animation::sit: return 1.0 / 6;
    case Animation::groom: return 1.0 / 6;
    case Animation::stretch: return 0.1;
    case Animation::sleep: return 1.0 / 6;
    case Animation::play: return 0.1;
    case Animation::vanish: return 1.0 / 12;
    case Animation::appear: return 1.0 / 12;
    case Animation::teleportOut: return 1.0 / 16;
    case Animation::teleportIn: return 1.0 / 16;
    case Animation::love: return 0.1;
    case Animation::dangle: return 0.125;
    case Animation::jump: return 1.0 / 12;
    case Animation::eat: return 1.0 / 6;
    case Animation::wave: return 0.125;
    case Animation::yawn: return 1.0 / 6;
    }
    return 0.125;
}

bool MenuBarPet::isOneShot(Animation animation) {
    return isBusy(animation) || animation == Animation::jump;
}

double MenuBarPet::speed(Animation animation, const PetSpecies& species, double cpu) {
    const bool bird = species.bodyPlan == PetSpecies::BodyPlan::bird;
    switch (animation) {
    case Animation::walk: return bird ? 12 : 22;
    // A reading that could not be taken runs at the idle pace.
    case Animation::run: return 30 + 0.6 * std::min(cpu >= 0 ? cpu : 0.0, 100.0);
    case Animation::play: return bird ? 34 : 0;
    default: return 0;
    }
}

std::vector<MenuBarPet::Segment> MenuBarPet::split(Segment range, std::optional<std::pair<double, double>> notch,
                                                   double width) {
    return split(range,
                 notch ? std::vector<std::pair<double, double>>{*notch} : std::vector<std::pair<double, double>>{},
                 width);
}

std::vector<MenuBarPet::Segment> MenuBarPet::split(Segment range, std::vector<std::pair<double, double>> obstacles,
                                                   double width) {
    if (!(range.lo <= range.hi)) return {};
    std::sort(obstacles.begin(), obstacles.end());
    std::vector<Segment> pieces;
    double from = range.lo;
    for (const auto& [first, second] : obstacles) {
        const double e = std::min(first - kNotchGap - width, range.hi);
        if (e - from >= width) pieces.push_back({from, e});
        from = std::max(from, second + kNotchGap);
    }
    if (range.hi - from >= width) pieces.push_back({from, range.hi});
    if (pieces.empty()) pieces.push_back(range);
    return pieces;
}

int MenuBarPet::bandHeight(const DisplayInfo& screen) {
    const int h = screen.visibleFrame.top() - screen.frame.top();
    return h > 0 && screen.visibleFrame.intersects(screen.frame) ? h : defaultBandHeight;
}

int MenuBarPet::roundPoint(double v) { return int(std::round(v)); }

std::vector<MenuBarPet::MenuItem> MenuBarPet::menuItems() {
    return {
        {QStringLiteral("Pet"), QStringLiteral("heart"), MenuAction::pet},
        {QStringLiteral("Feed"), QStringLiteral("fork.knife"), MenuAction::feed},
        {QStringLiteral("Play"), QStringLiteral("gamecontroller"), MenuAction::playTime},
        {QStringLiteral("Jump!"), QStringLiteral("arrow.up"), MenuAction::hop},
        {QStringLiteral("Nap"), QStringLiteral("moon.zzz"), MenuAction::nap},
        {QStringLiteral("Companion Settings…"), QString(), MenuAction::settings},
    };
}

void MenuBarPet::setAnimation(Animation animation, double timeLeft) {
    animation_ = animation;
    frameIndex_ = 0;
    frameClock_ = 0;
    stateTimeLeft_ = timeLeft;
}

// Lifecycle

void MenuBarPet::applySetting() {
    const PetSpecies& chosen = PetSpecies::named(env_.settings.species.value());
    if (chosen.id != species_->id) {
        species_ = &chosen;
        if (running_) setAnimation(Animation::appear, infinity);
    }
    if (env_.settings.enabled.value())
        start();
    else
        stop();
}

void MenuBarPet::start() {
    if (running_) return;
    running_ = true;
    displaysConnection_ = connect(&env_.displays, &Displays::changed, this, &MenuBarPet::layoutOnHomeScreen);
    layoutOnHomeScreen();
    // The first start chooses what to do; a later one carries on with what the pet was doing.
    if (!startedOnce_) pickNext();
    startedOnce_ = true;
    lastTick_ = now();
    if (env_.driveTimer) timer_.start();
    emit runningChanged(true);
}

void MenuBarPet::stop() {
    if (!running_) return;
    running_ = false;
    timer_.stop();
    disconnect(displaysConnection_);
    isDragging_ = false;
    didDrag_ = false;
    emit runningChanged(false);
}

std::optional<DisplayInfo> MenuBarPet::homeScreen() const {
    const std::vector<DisplayInfo> screens = env_.displays.screens();
    if (screens.empty()) return std::nullopt;
    if (homeDisplay_) {
        for (const DisplayInfo& s : screens)
            if (s.id == *homeDisplay_) return s;
    }
    return screens.front();
}

std::vector<MenuBarPet::Segment> MenuBarPet::walkableSegments(const DisplayInfo& screen, const QRect& band) const {
    const double w = screen.frame.width();
    const double lo = kWalkFrom * w, hi = kWalkTo * w - petWidth;
    // The notch and our own windows on the band are obstacles alike.
    std::vector<std::pair<double, double>> obstacles;
    if (screen.notch) obstacles.push_back(*screen.notch);
    if (env_.ownWindows) {
        for (const QRect& r : env_.ownWindows()) {
            if (r.intersects(band))
                obstacles.push_back({double(r.left() - band.left()), double(r.right() + 1 - band.left())});
        }
    }
    return split({lo, hi}, obstacles, petWidth);
}

void MenuBarPet::layoutOnHomeScreen() {
    if (!running_) return;
    const std::optional<DisplayInfo> screen = homeScreen();
    if (!screen) return;
    // The display the pet lived on is gone: it lives on the first screen now.
    if (screen->id.isEmpty() || screen->id != homeDisplay_) homeDisplay_.reset();
    const int h = bandHeight(*screen);
    const double w = screen->frame.width();
    const QRect band(screen->frame.left(), screen->frame.top(), screen->frame.width(), h);
    // A screen too narrow for the walking room leaves the pet standing where it is.
    segments_ = walkableSegments(*screen, band);
    const bool placed = std::any_of(segments_.begin(), segments_.end(), [this](const Segment& s) { return s.contains(x_); });
    if (!placed) {
        if (!segments_.empty()) {
            const Segment& s = segments_[size_t(env_.random.integer(0, int64_t(segments_.size()) - 1))];
            x_ = s.lo + (s.hi - s.lo) * unit();
        } else {
            x_ = std::clamp(x_, 0.0, std::max(0.0, w - petWidth));
        }
    }
    if (band != band_) {
        band_ = band;
        emit bandChanged();
    }
}

void MenuBarPet::ownWindowsChanged() {
    if (!isDragging_) {
        layoutOnHomeScreen();
        return;
    }
    // The pet stays under the pointer; the drop finds the new room.
    planRoom();
}

void MenuBarPet::planRoom() {
    if (const std::optional<DisplayInfo> screen = homeScreen(); screen && !band_.isEmpty())
        segments_ = walkableSegments(*screen, band_);
}

// Behaviour

void MenuBarPet::tick() {
    if (!running_) return;
    const double t = now();
    const double dt = std::clamp(t - lastTick_, 0.0, maxStep);
    lastTick_ = t;

    trackPointer();

    if (menuOpen_) {
        standStill();
    } else {
        stateTimeLeft_ -= dt;
        if (stateTimeLeft_ <= 0) pickNext();
    }

    focusCheckClock_ += dt;
    if (focusCheckClock_ + kFrameSlack >= 1.0) {
        checkFocus(focusCheckClock_);
        focusCheckClock_ = 0;
    }

    if (!menuOpen_) {
        if (!segments_.empty() || isDragging_) x_ += dt * speed(animation_, *species_, env_.cpu()) * direction_;
        keepOnSegment();
    }

    frameClock_ += dt;
    const QList<QImage>& frames = PetSprite::frames(animation_, *species_);
    const int n = int(frames.size());
    if (frameClock_ + kFrameSlack >= secondsPerFrame(animation_)) {
        frameClock_ = 0;
        if (!isOneShot(animation_)) {
            frameIndex_ = (frameIndex_ + 1) % std::max(n, 1);
        } else if (frameIndex_ < n - 1) {
            ++frameIndex_;
        } else {
            finishOneShot();
            if (menuOpen_) standStill();
            emit changed();
            return;
        }
    }
    if (frameIndex_ >= 0 && frameIndex_ < n) {
        const QImage& frame = frames[frameIndex_];
        if (frame.cacheKey() != lastFrame_.cacheKey()) lastFrame_ = frame;
    }
    emit changed();
}

void MenuBarPet::pickNext() {
    // Our own windows on the band may have grown or moved since (the bar strip takes new widgets).
    planRoom();
    if (std::optional<QString> display = wantsToWander()) {
        pendingDisplay_ = display;
        focusDwell_ = 0;
        setAnimation(Animation::vanish, infinity);
        return;
    }
    const double cpu = env_.cpu();
    const double r = unit();
    // A reading that could not be taken (negative) is neither busy nor idle.
    const bool known = cpu >= 0;
    Animation next;
    double duration;
    if (known && cpu > 60) {
        next = Animation::run, duration = env_.random.uniform(3, 6);
    } else if (known && cpu < 4) {
        if (r < 0.7) next = Animation::sleep, duration = 10;
        else if (r < 0.85) next = Animation::yawn, duration = 2;
        else next = Animation::stretch, duration = 4;
    } else if (r < 0.45) {
        next = Animation::walk, duration = env_.random.uniform(3, 7);
    } else if (r < 0.6) {
        next = Animation::sit, duration = 3;
    } else if (r < 0.72) {
        next = Animation::groom, duration = 3;
    } else if (r < 0.84) {
        next = Animation::play, duration = 3.6;
    } else if (r < 0.88) {
        next = Animation::stretch, duration = 4;
    } else if (r < 0.91) {
        next = Animation::yawn, duration = 2;
    } else if (r < 0.94) {
        next = Animation::eat, duration = 4;
    } else if (r < 0.96) {
        next = Animation::wave, duration = 2;
    } else {
        next = Animation::sleep, duration = 6;
    }
    if (next != animation_) {
        frameIndex_ = 0;
        frameClock_ = 0;
    }
    animation_ = next;
    stateTimeLeft_ = duration;
    if (unit() < 0.4) direction_ = -direction_;
}

void MenuBarPet::finishOneShot() {
    switch (animation_) {
    case Animation::vanish:
        if (pendingDisplay_) homeDisplay_ = pendingDisplay_;
        pendingDisplay_.reset();
        x_ = -1;
        layoutOnHomeScreen();
        lastMigration_ = now();
        setAnimation(Animation::appear, infinity);
        break;
    case Animation::teleportOut:
        if (teleportTarget_) x_ = *teleportTarget_;
        teleportTarget_.reset();
        setAnimation(Animation::teleportIn, infinity);
        break;
    case Animation::teleportIn:
        setAnimation(Animation::walk, env_.random.uniform(2, 5));
        break;
    case Animation::jump:
        setAnimation(unit() < 0.5 ? Animation::wave : Animation::sit, 2);
        break;
    default:
        setAnimation(Animation::sit, 3);
        break;
    }
}

namespace {
// The segment holding x, else the nearest (the earlier on a tie).
size_t segmentFor(const std::vector<MenuBarPet::Segment>& segments, double x) {
    size_t best = 0;
    for (size_t i = 0; i < segments.size(); ++i) {
        if (segments[i].contains(x)) return i;
        if (segments[i].distance(x) < segments[best].distance(x)) best = i;
    }
    return best;
}
}  // namespace

void MenuBarPet::keepOnSegment() {
    if (isOneShot(animation_) || isDragging_ || segments_.empty()) return;
    const size_t i = segmentFor(segments_, x_);
    const Segment& s = segments_[i];
    std::optional<size_t> neighbour;
    bool leftOut;
    if (x_ <= s.lo && direction_ < 0) {
        x_ = s.lo;
        leftOut = true;
        if (i > 0) neighbour = i - 1;
    } else if (x_ >= s.hi && direction_ > 0) {
        x_ = s.hi;
        leftOut = false;
        if (i + 1 < segments_.size()) neighbour = i + 1;
    } else {
        return;
    }
    if (neighbour && unit() < 0.5) {
        const Segment& n = segments_[*neighbour];
        teleportTarget_ = leftOut ? n.hi : n.lo;
        setAnimation(Animation::teleportOut, infinity);
        return;
    }
    direction_ = leftOut ? 1 : -1;
}

// Pointer

void MenuBarPet::trackPointer() {
    if (pointerProbe_) pointerOverPet_ = pointerProbe_();
    const bool inside = isDragging_ || pointerOverPet_;
    if (inside) {
        const bool wanted = !isDragging_;
        if (isHovered_ != wanted) {
            isHovered_ = wanted;
            if (isDragging_)
                heart_.hide(now());
            else
                heart_.pop(now());
        }
    } else if (isHovered_) {
        isHovered_ = false;
        heart_.hide(now());
    }
}

void MenuBarPet::mouseDown(double pointerX) {
    if (!running_) return;
    downX_ = pointerX;
    grabOffset_ = pointerX - x_;
    didDrag_ = false;
}

void MenuBarPet::mouseDragged(double pointerX) {
    if (!running_) return;
    if (!didDrag_ && std::abs(pointerX - downX_) > kDragThreshold) {
        isDragging_ = true;
        didDrag_ = true;
        setAnimation(Animation::dangle, infinity);
        trackPointer();
    }
    if (isDragging_) {
        x_ = std::min(std::max(pointerX - grabOffset_, 0.0), band_.width() - petWidth);
        emit changed();
    }
}

void MenuBarPet::mouseUp(int clicks) {
    if (!didDrag_) {
        if (clicks >= 2)
            setAnimation(Animation::jump, infinity);
        else if (!isOneShot(animation_))
            setAnimation(Animation::love, infinity);
    } else {
        isDragging_ = false;
        if (!segments_.empty()) {
            const Segment& s = segments_[segmentFor(segments_, x_)];
            x_ = std::clamp(x_, s.lo, s.hi);
        }
        setAnimation(Animation::sit, 3);
    }
    didDrag_ = false;
    emit changed();
}

void MenuBarPet::perform(MenuAction action) {
    if (action == MenuAction::settings || isBusy(animation_)) return;
    switch (action) {
    case MenuAction::pet: setAnimation(Animation::love, infinity); break;
    case MenuAction::feed: setAnimation(Animation::eat, 5); break;
    case MenuAction::playTime: setAnimation(Animation::play, 3.6); break;
    case MenuAction::hop: setAnimation(Animation::jump, infinity); break;
    case MenuAction::nap: setAnimation(Animation::sleep, 12); break;
    case MenuAction::settings: break;
    }
}

void MenuBarPet::setMenuOpen(bool open) {
    menuOpen_ = open;
    if (open) standStill();
}

void MenuBarPet::standStill() {
    switch (animation_) {
    case Animation::vanish:  // back where it was, on this screen
        pendingDisplay_.reset();
        setAnimation(Animation::appear, infinity);
        break;
    case Animation::teleportOut:
        teleportTarget_.reset();
        setAnimation(Animation::teleportIn, infinity);
        break;
    default:
        if (speed(animation_, *species_, 0) > 0) setAnimation(Animation::sit, 3);
        break;
    }
}

// Wandering

std::vector<QString> MenuBarPet::otherDisplays() const {
    if (!env_.settings.wanders.value()) return {};
    const std::optional<DisplayInfo> home = homeScreen();
    if (!home || home->id.isEmpty()) return {};
    std::vector<QString> others;
    for (const DisplayInfo& s : env_.displays.screens())
        if (!s.id.isEmpty() && s.id != home->id) others.push_back(s.id);
    return others;
}

std::optional<QString> MenuBarPet::focusedDisplay() const {
    const std::optional<QRect> frame = env_.frontWindow.frame();
    if (!frame) return std::nullopt;
    const QPointF centre = QRectF(*frame).center();
    for (const DisplayInfo& s : env_.displays.screens()) {
        if (QRectF(s.frame).contains(centre)) {
            if (s.id.isEmpty()) return std::nullopt;
            return s.id;
        }
    }
    return std::nullopt;
}

void MenuBarPet::checkFocus(double elapsed) {
    const std::vector<QString> others = otherDisplays();
    if (others.empty()) return;
    const std::optional<QString> focused = focusedDisplay();
    if (!focused) return;
    if (std::find(others.begin(), others.end(), *focused) == others.end()) {
        focusDwell_ = std::max(focusDwell_ - kDwellDecay * elapsed, 0.0);
    } else if (interestDisplay_ != focused) {
        interestDisplay_ = focused;
        focusDwell_ = std::min(elapsed, kDwellCeiling);
    } else {
        focusDwell_ = std::min(focusDwell_ + elapsed, kDwellCeiling);
    }
}

std::optional<QString> MenuBarPet::wantsToWander() {
    const std::vector<QString> others = otherDisplays();
    if (others.empty()) return std::nullopt;
    if (now() - lastMigration_ < kMigrationPause) return std::nullopt;
    if (interestDisplay_ && std::find(others.begin(), others.end(), *interestDisplay_) != others.end()) {
        if (unit() < focusDwell_ / kDwellCeiling * kFollowChance) return interestDisplay_;
    }
    if (unit() < kRandomMoveChance) return others[size_t(env_.random.integer(0, int64_t(others.size()) - 1))];
    return std::nullopt;
}

MenuBarPet::Look MenuBarPet::look() const {
    Look l;
    l.band = band_;
    if (const std::optional<DisplayInfo> home = homeScreen()) l.display = home->id;
    const int h = band_.isEmpty() ? defaultBandHeight : band_.height();
    l.petLeft = roundPoint(x_);
    l.petTop = h - int(petHeight) - roundPoint((h - petHeight) * 0.5);
    l.flipped = direction_ < 0;
    l.frame = lastFrame_;
    l.heart = heart_.look(now());
    return l;
}
