#pragma once

#include "Platform/Core/Setting.h"
#include "Source/Features/System/UpdateInterval.h"

// The system monitor's settings in one store.
class SystemSettings {
public:
    using IntervalCodec = RawValueCodec<UpdateInterval, UpdateIntervals::rawValue, UpdateIntervals::fromRawValue>;

    // Over the standard defaults; a change of its interval is also posted as updateIntervalDidChange.
    static SystemSettings& shared();

    explicit SystemSettings(UserDefaults& store)
        : updateInterval(store, "updateInterval", UpdateInterval::normal),
          groupTerminalProcesses(store, "groupTerminalProcesses", false) {}

    // The sampling interval of the sampler, the network monitor and the process list; a stored
    // number that is no choice reads as normal.
    Setting<UpdateInterval, IntervalCodec> updateInterval;
    // Commands run in a terminal are grouped under the terminal application.
    Setting<bool> groupTerminalProcesses;
};
