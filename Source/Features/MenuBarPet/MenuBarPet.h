#pragma once

#include "Platform/Gui/Displays.h"
#include "Source/Features/MenuBarPet/HoverHeart.h"
#include "Source/Features/MenuBarPet/PetSpecies.h"
#include "Source/Features/MenuBarPet/PetSprite.h"

#include <QImage>
#include <QObject>
#include <QRect>
#include <QString>
#include <QTimer>

#include <functional>
#include <limits>
#include <optional>
#include <vector>

class Clock;
class Displays;
class FrontWindow;
class PetSettings;
class Random;

// The companion on the top band of a screen: what it does, where it is and which image it shows.
// Driven by tick() every 50 ms while it runs; chance comes from a Random source, time from a
// Clock's monotonic seconds, the screens from Displays and the user's whereabouts from FrontWindow,
// so that every rule can be stepped through. Nothing here draws: a window shows look().
// Positions are points along the band, measured from the home screen's left edge. GUI thread only.
class MenuBarPet : public QObject {
    Q_OBJECT
public:
    using Animation = PetSprite::Animation;
    static constexpr double petWidth = 32;
    static constexpr double petHeight = 20;
    static constexpr double tickInterval = 0.05;
    static constexpr double maxStep = 0.1;
    // The band's height where the desktop reserves no panel at the top.
    static constexpr int defaultBandHeight = 24;
    static constexpr double infinity = std::numeric_limits<double>::infinity();

    struct Segment {
        double lo = 0;
        double hi = 0;
        bool contains(double x) const { return x >= lo && x <= hi; }
        double distance(double x) const { return x < lo ? lo - x : x > hi ? x - hi : 0; }
        bool operator==(const Segment&) const = default;
    };

    enum class MenuAction { pet, feed, playTime, hop, nap, settings };
    struct MenuItem {
        QString title;
        QString symbol;  // empty: none
        MenuAction action;
    };

    // What a window shows now.
    struct Look {
        QString display;         // the home display's id
        QRect band;              // the home screen's top band, in Qt's global coordinates; empty: none
        int petLeft = 0;         // the sprite's left edge from the band's left, whole points
        int petTop = 0;          // the sprite's top row from the band's top, whole points
        bool flipped = false;    // mirrored: facing left
        QImage frame;            // the sprite image; null: nothing this time
        HoverHeart::Look heart;
    };

    struct Environment {
        Clock& clock;
        Random& random;
        Displays& displays;
        FrontWindow& frontWindow;
        PetSettings& settings;
        std::function<double()> cpu;  // total CPU load in percent; negative when it could not be read
        bool driveTimer = true;       // tick every 50 ms by itself while running (off: the caller ticks)
        // Our own windows that may lie on the band (the bar strip, our tray icons), in Qt's global
        // coordinates: the pet walks around them.
        std::function<std::vector<QRect>()> ownWindows = {};
    };

    explicit MenuBarPet(Environment environment, QObject* parent = nullptr);

    // Static helpers.
    // Seconds per frame, whether an animation loops, and its speed in points per second.
    static double secondsPerFrame(Animation animation);
    static bool isOneShot(Animation animation);
    static double speed(Animation animation, const PetSpecies& species, double cpu);
    // The walkable stretches of [lo, hi] that keep a 4-point gap from a notch; nothing when lo > hi.
    static std::vector<Segment> split(Segment range, std::optional<std::pair<double, double>> notch, double petWidth);
    // The same around several obstacles ([from, to] along the band, in any order).
    static std::vector<Segment> split(Segment range, std::vector<std::pair<double, double>> obstacles, double petWidth);
    // The band's height: the work area's distance from the screen's top, else the default.
    static int bandHeight(const DisplayInfo& screen);
    // Rounding to whole points, halves away from zero.
    static int roundPoint(double v);
    static std::vector<MenuItem> menuItems();

    // Lifecycle.
    // Re-reads the species and the enabled switch: a new species reappears; on starts, off stops.
    void applySetting();
    void start();
    void stop();
    bool isRunning() const { return running_; }

    // One step of 50 ms (or however long it has been, at most 0.1 s).
    void tick();
    void pickNext();
    void finishOneShot();
    void keepOnSegment();
    void layoutOnHomeScreen();
    // Our own windows on the band moved or changed size: the walking room is planned again, and a
    // pet that now stands over one of them moves into the room (unless the user is dragging it).
    void ownWindowsChanged();

    // Pointer: positions are pointer x from the band's left edge. Whether the pointer is over the
    // pet comes from the probe at each tick when one is set.
    void setPointerOverPet(bool over) { pointerOverPet_ = over; }
    void setPointerProbe(std::function<bool()> probe) { pointerProbe_ = std::move(probe); }
    void trackPointer();
    void mouseDown(double pointerX);
    void mouseDragged(double pointerX);
    void mouseUp(int clicks);
    // A menu item's action on the pet; settings is the owner's business and does nothing here.
    void perform(MenuAction action);
    // While its menu is open the pet stays under it: no steps, no teleport, no wandering off, and
    // what it does now lasts until the menu closes.
    void setMenuOpen(bool open);

    // Wandering.
    std::vector<QString> otherDisplays() const;
    std::optional<QString> focusedDisplay() const;
    void checkFocus(double elapsed);
    std::optional<QString> wantsToWander();

    Look look() const;

    // State, readable and settable for tests.
    const PetSpecies& species() const { return *species_; }
    Animation animation() const { return animation_; }
    int frameIndex() const { return frameIndex_; }
    double frameClock() const { return frameClock_; }
    double stateTimeLeft() const { return stateTimeLeft_; }
    double direction() const { return direction_; }
    double x() const { return x_; }
    const std::vector<Segment>& segments() const { return segments_; }
    std::optional<double> teleportTarget() const { return teleportTarget_; }
    std::optional<QString> homeDisplay() const { return homeDisplay_; }
    std::optional<QString> pendingDisplay() const { return pendingDisplay_; }
    double focusDwell() const { return focusDwell_; }
    std::optional<QString> interestDisplay() const { return interestDisplay_; }
    double lastMigration() const { return lastMigration_; }
    bool isHovered() const { return isHovered_; }
    bool isDragging() const { return isDragging_; }
    bool didDrag() const { return didDrag_; }
    const HoverHeart& heart() const { return heart_; }
    QRect band() const { return band_; }

    void setAnimation(Animation animation, double timeLeft);
    void setDirection(double direction) { direction_ = direction; }
    void setX(double x) { x_ = x; }
    void setSegments(std::vector<Segment> segments) { segments_ = std::move(segments); }
    void setFocusDwell(double dwell) { focusDwell_ = dwell; }
    void setInterestDisplay(std::optional<QString> display) { interestDisplay_ = std::move(display); }
    void setFrameClock(double clock) { frameClock_ = clock; }
    void setFrameIndex(int index) { frameIndex_ = index; }

signals:
    void runningChanged(bool running);
    // The home screen's band moved or changed size.
    void bandChanged();
    // A tick ran, or the pointer or a menu item changed what the pet does: look() may differ.
    void changed();

private:
    std::optional<DisplayInfo> homeScreen() const;
    std::vector<Segment> walkableSegments(const DisplayInfo& screen, const QRect& band) const;
    // The walking room on the band as it is now, the pet left where it is.
    void planRoom();
    // A pet on its way somewhere stops: walking, running or playing it sits; one vanishing or
    // teleporting comes back where it is.
    void standStill();
    double now() const;
    double unit();

    Environment env_;
    const PetSpecies* species_;
    bool running_ = false;
    bool startedOnce_ = false;
    QTimer timer_;
    QMetaObject::Connection displaysConnection_;
    QRect band_;

    Animation animation_ = Animation::walk;
    int frameIndex_ = 0;
    double frameClock_ = 0;
    double stateTimeLeft_ = 4.0;
    double direction_ = 1.0;
    double x_ = 0;
    double lastTick_ = 0;
    std::vector<Segment> segments_{{0, 0}};
    std::optional<double> teleportTarget_;
    std::optional<QString> homeDisplay_;
    std::optional<QString> pendingDisplay_;
    double focusDwell_ = 0;
    std::optional<QString> interestDisplay_;
    double focusCheckClock_ = 0;
    double lastMigration_ = -infinity;
    QImage lastFrame_;

    bool pointerOverPet_ = false;
    std::function<bool()> pointerProbe_;
    bool isHovered_ = false;
    HoverHeart heart_;
    bool menuOpen_ = false;
    bool isDragging_ = false;
    bool didDrag_ = false;
    double grabOffset_ = 0;
    double downX_ = 0;
};
