#pragma once

enum class CoreKind { efficiency, performance };

// The load of one logical processor.
struct CoreUsage {
    int index = 0;            // the processor's number from 0; also its identity
    CoreKind kind = CoreKind::performance;
    int numberInCluster = 1;  // counted from 1 within its kind
    double usage = 0;         // percent, at most 100
    bool operator==(const CoreUsage&) const = default;
};
