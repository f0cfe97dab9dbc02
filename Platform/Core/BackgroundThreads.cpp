#include "Platform/Core/BackgroundThreads.h"

#include <QCoreApplication>

#include <cstdlib>
#include <iterator>
#include <map>
#include <mutex>
#include <utility>

namespace {

struct Registry {
    std::mutex mutex;
    std::map<int, std::function<void()>> stops;
    int nextId = 1;
    bool postRoutineAdded = false;
    bool atExitAdded = false;
};

// Never destroyed: owners may still deregister from their own static destructors.
Registry& registry() {
    static auto* instance = new Registry;
    return *instance;
}

void stopAllAtExit() { BackgroundThreads::stopAll(); }

}  // namespace

namespace BackgroundThreads {

int add(std::function<void()> stop) {
    Registry& r = registry();
    bool addPostRoutine = false, addAtExit = false;
    int id;
    {
        std::lock_guard lock(r.mutex);
        id = r.nextId++;
        r.stops.emplace(id, std::move(stop));
        addPostRoutine = !std::exchange(r.postRoutineAdded, true);
        addAtExit = !std::exchange(r.atExitAdded, true);
    }
    if (addPostRoutine) qAddPostRoutine(stopAll);
    if (addAtExit) std::atexit(stopAllAtExit);
    return id;
}

void remove(int id) {
    Registry& r = registry();
    std::lock_guard lock(r.mutex);
    r.stops.erase(id);
}

void stopAll() {
    Registry& r = registry();
    for (;;) {
        // One at a time, unlocked: a stop may end an owner that deregisters others.
        std::function<void()> stop;
        {
            std::lock_guard lock(r.mutex);
            // The post routines are spent once the application object is gone: a later one needs them again.
            r.postRoutineAdded = false;
            if (r.stops.empty()) return;
            auto newest = std::prev(r.stops.end());
            stop = std::move(newest->second);
            r.stops.erase(newest);
        }
        stop();
    }
}

}  // namespace BackgroundThreads
