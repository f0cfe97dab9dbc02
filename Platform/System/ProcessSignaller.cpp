#include "Platform/System/ProcessSignaller.h"

#include <csignal>
#include <limits>
#include <sys/types.h>
#include <unistd.h>

namespace {
ProcessSignaller* g_override = nullptr;
}

ProcessSignaller& ProcessSignaller::shared() {
    static SystemProcessSignaller system;
    return g_override ? *g_override : system;
}

void ProcessSignaller::setShared(ProcessSignaller* signaller) { g_override = signaller; }

bool ProcessSignaller::isSignallable(int64_t pid) {
    return pid > 1 && pid <= std::numeric_limits<pid_t>::max() && pid != int64_t(::getpid());
}

bool ProcessSignaller::send(int64_t pid, int signal) {
    if (!isSignallable(pid)) return false;
    return deliver(pid, signal);
}

bool SystemProcessSignaller::deliver(int64_t pid, int signal) { return ::kill(pid_t(pid), signal) == 0; }
