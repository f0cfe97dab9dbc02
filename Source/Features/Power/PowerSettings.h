#pragma once

#include "Platform/Core/Setting.h"
#include "Source/Features/Power/PowerManager.h"

// Keep-awake's settings in one store.
class PowerSettings {
public:
    using ModeCodec = RawValueCodec<PowerManager::Mode, PowerManager::rawValue, PowerManager::modeFromRawValue>;

    // Whole numbers of minutes up to a year; anything else (negative, fractional, longer: no limit in
    // all but name, and too long for a timer) reads as 0, no limit.
    struct MinutesCodec {
        static constexpr int longest = 525600;
        static std::optional<int> decode(const QJsonValue& v) {
            const auto d = SettingCodec<double>::decode(v);
            if (!d || std::trunc(*d) != *d || *d < 0 || *d > longest) return std::nullopt;
            return int(*d);
        }
        static QJsonValue encode(int v) { return v; }
    };

    explicit PowerSettings(UserDefaults& store)
        : mode(store, "preventSleepMode", PowerManager::Mode::system), minutes(store, "preventSleepMinutes", 0) {}

    // What keep-awake holds awake: the system only, or the display too.
    Setting<PowerManager::Mode, ModeCodec> mode;
    // How long keep-awake lasts once on; 0 is until switched off.
    Setting<int, MinutesCodec> minutes;
};
