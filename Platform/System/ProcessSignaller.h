#pragma once


#include <cstdint>
#include <utility>
#include <vector>

// Sends signals to processes. Refuses what must never be signalled: a pid of 1 or less (init,
// process groups, everything) and this process itself.
class ProcessSignaller {
public:
    virtual ~ProcessSignaller() = default;

    static ProcessSignaller& shared();
    // Replaces the shared signaller (tests); nullptr restores the system one.
    static void setShared(ProcessSignaller* signaller);

    // Whether a pid may be signalled at all.
    static bool isSignallable(int64_t pid);
    // False when refused or not delivered (no permission, the process is gone).
    bool send(int64_t pid, int signal);

protected:
    virtual bool deliver(int64_t pid, int signal) = 0;
};

// kill(2).
class SystemProcessSignaller final : public ProcessSignaller {
protected:
    bool deliver(int64_t pid, int signal) override;
};

// Records what would have been sent.
class FakeProcessSignaller final : public ProcessSignaller {
public:
    std::vector<std::pair<int64_t, int>> sent;
    bool succeeds = true;

protected:
    bool deliver(int64_t pid, int signal) override {
        sent.emplace_back(pid, signal);
        return succeeds;
    }
};
