#include "Source/Features/Power/PowerManager.h"

#include "Platform/Core/Clock.h"
#include "Platform/Core/RawValues.h"
#include "Platform/Desktop/DBusSleepInhibitor.h"
#include "Source/Features/Power/PowerSettings.h"

#include <QCoreApplication>
#include <QDebug>

namespace {
const QString kReason = QStringLiteral("Keep awake is on");
}

namespace {
constexpr RawValues::Entry<PowerManager::Mode> modeRawValues[]{
    {PowerManager::Mode::system, "system"},
    {PowerManager::Mode::display, "display"},
};
}  // namespace

QString PowerManager::rawValue(Mode mode) { return RawValues::rawValue(modeRawValues, mode); }

std::optional<PowerManager::Mode> PowerManager::modeFromRawValue(const QString& raw) {
    return RawValues::fromRawValue(modeRawValues, raw);
}

const std::vector<int>& PowerManager::minuteChoices() {
    static const std::vector<int> choices{0, 15, 30, 60, 120, 240, 480};
    return choices;
}

PowerManager& PowerManager::shared() {
    static PowerManager* manager =
        new PowerManager(std::make_unique<DBusSleepInhibitor>(), UserDefaults::standard());
    return *manager;
}

PowerManager::PowerManager(std::unique_ptr<SleepInhibitor> inhibitor, UserDefaults& defaults,
                           double secondsPerMinute, QObject* parent)
    : QObject(parent), inhibitor_(std::move(inhibitor)),
      settings_(std::make_unique<PowerSettings>(defaults)),
      secondsPerMinute_(secondsPerMinute) {
    connect(&settings_->mode, &SettingBase::changed, this, &PowerManager::settingChanged);
    connect(&settings_->minutes, &SettingBase::changed, this, &PowerManager::settingChanged);
    if (auto* app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, this, &PowerManager::prepareForQuit);
    }
}

PowerManager::~PowerManager() { release(false); }

PowerManager::Mode PowerManager::mode() const {
    return settings_->mode.value();
}

int PowerManager::minutes() const { return settings_->minutes.value(); }

void PowerManager::activate() {
    if (active_ || pending_) return;
    begin();
}

void PowerManager::begin() {
    const quint64 generation = ++generation_;
    pending_ = true;
    unavailable_ = false;
    emit stateChanged();
    const auto kind = mode() == Mode::display ? SleepInhibitor::Kind::display : SleepInhibitor::Kind::system;
    inhibitor_->inhibit(kind, kReason, this, [this, generation](std::optional<SleepInhibitor::Handle> handle) {
        granted(generation, handle);
    });
}

void PowerManager::granted(quint64 generation, std::optional<SleepInhibitor::Handle> handle) {
    if (generation != generation_ || !pending_) {
        // Switched off (or restarted) while the request was out.
        if (handle) inhibitor_->release(*handle);
        return;
    }
    pending_ = false;
    if (!handle) {
        qWarning("Keep awake is unavailable: no power service answered.");
        unavailable_ = true;
        emit stateChanged();
        return;
    }
    handle_ = handle;
    active_ = true;
    const int limit = minutes();
    if (limit > 0) {
        expiresAt_ = Clock::shared().now().addSecs(qint64(limit) * 60);
        expiry_.schedule(this, limit * secondsPerMinute_, [this] { deactivate(); });
    } else {
        expiresAt_.reset();
        expiry_.cancel();
    }
    emit stateChanged();
}

void PowerManager::release(bool wait) {
    expiry_.cancel();
    expiresAt_.reset();
    if (handle_) {
        inhibitor_->release(*handle_, wait);
        handle_.reset();
    }
}

void PowerManager::deactivate() {
    if (!active_ && !pending_) return;
    ++generation_;
    release(false);
    active_ = false;
    pending_ = false;
    emit stateChanged();
}

void PowerManager::toggle() {
    if (active_ || pending_) {
        deactivate();
    } else {
        activate();
    }
}

void PowerManager::prepareForQuit() {
    ++generation_;
    release(true);
    if (active_ || pending_) {
        active_ = false;
        pending_ = false;
        emit stateChanged();
    }
}

void PowerManager::settingChanged() {
    if (!active_ && !pending_) return;
    // Start again with the new mode and limit.
    const std::optional<SleepInhibitor::Handle> old = handle_;
    handle_.reset();
    expiry_.cancel();
    expiresAt_.reset();
    active_ = false;
    begin();
    if (old) inhibitor_->release(*old);
}
