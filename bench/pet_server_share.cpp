// What the walking pet costs the X server, beside the least that anything walking on the band
// costs it: a bare window of the pet's size moved a pixel every 50 ms, and below that a request
// that does nothing sent every 50 ms (the server's wakeup alone). Needs a real X server (run under
// xvfb-run with QT_QPA_PLATFORM=xcb, or on a desktop); the server is found from our connection.
//
// The pet's window walks at the real 20 Hz tick for PET_SHARE_SECONDS (default 60) in slices of
// 5 s, interleaved with as many slices of the bare window, of the empty request and of nothing at
// all, so that all see the same machine. Counters are percent of one core over nothing at all
// (server_pet, server_bare_move, server_noop) and the server's wakeups a second; and this
// program's own share and wakeups a second while the pet walks (own_pet), over its idle slices.
#include "PetBenchSupport.h"

#include "Views/Pet/PetWindow.h"

#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sys/socket.h>
#include <xcb/xcb.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

struct Times {
    double cpuSeconds = 0;
    double wakeups = 0;
    Times& operator+=(const Times& o) {
        cpuSeconds += o.cpuSeconds;
        wakeups += o.wakeups;
        return *this;
    }
    Times operator-(const Times& o) const { return {cpuSeconds - o.cpuSeconds, wakeups - o.wakeups}; }
};

// A task's time on a processor and its wakeups (voluntary switches), from /proc/<task>.
Times taskTimes(const std::string& task) {
    Times t;
    std::ifstream sched(task + "/schedstat");
    unsigned long long ns = 0;
    sched >> ns;
    t.cpuSeconds = double(ns) / 1e9;
    std::ifstream status(task + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) t.wakeups = std::stod(line.substr(24));
    }
    return t;
}

// The X server's main thread, and all of ours.
Times serverTimes(pid_t pid) { return taskTimes("/proc/" + std::to_string(pid)); }
Times ownTimes() {
    Times t;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) t += taskTimes(task.path());
    return t;
}

pid_t serverPid(xcb_connection_t* c) {
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(xcb_get_file_descriptor(c), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) return 0;
    return peer.pid;
}

// Runs `step` every 50 ms for the given seconds on the event loop.
void every50ms(double seconds, const std::function<void()>& step) {
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] { step(); });
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    if (step) timer.start();
    loop.exec();
}

// An override-redirect window of the pet's size in the root's visual, moved a pixel a tick.
class BareWindow {
public:
    explicit BareWindow(xcb_connection_t* c) : c_(c) {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
        id_ = xcb_generate_id(c);
        const uint32_t values[] = {screen->black_pixel, 1};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id_, screen->root, 600, 0, PetWindow::windowWidth, 24, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                          XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    }
    ~BareWindow() {
        xcb_destroy_window(c_, id_);
        xcb_flush(c_);
    }
    void show(bool shown) {
        if (shown) xcb_map_window(c_, id_);
        else xcb_unmap_window(c_, id_);
        xcb_flush(c_);
    }
    void step() {
        x_ += direction_;
        if (x_ > 840 || x_ < 450) direction_ = -direction_;
        const uint32_t at[] = {uint32_t(x_), 0};
        xcb_configure_window(c_, id_, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, at);
        xcb_flush(c_);
    }

private:
    xcb_connection_t* c_;
    xcb_window_t id_ = 0;
    int x_ = 600;
    int direction_ = 1;
};

void BM_PetServerShare(benchmark::State& state) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) {
        state.SkipWithError("needs an X server (QT_QPA_PLATFORM=xcb)");
        return;
    }
    xcb_connection_t* c = x11->connection();
    const pid_t server = serverPid(c);
    if (server <= 0 || !std::ifstream("/proc/" + std::to_string(server) + "/schedstat")) {
        state.SkipWithError("cannot see the X server's process");
        return;
    }
    const double seconds = qEnvironmentVariableIsSet("PET_SHARE_SECONDS")
                                ? qEnvironmentVariable("PET_SHARE_SECONDS").toDouble()
                                : 60.0;
    constexpr double slice = 5;

    BenchPet bench(true);
    const auto walk = [&] { bench.step(PetSprite::Animation::walk); };
    BareWindow bare(c);
    every50ms(1, walk);  // settled: frames drawn, the window quiet

    // The server's times and ours in each kind of slice.
    struct Slices {
        Times server, own;
    } petTotal, bareTotal, noopTotal, idleTotal;
    const auto measure = [&](Slices& total, const std::function<void()>& step) {
        const Times server0 = serverTimes(server), own0 = ownTimes();
        every50ms(slice, step);
        total.server += serverTimes(server) - server0;
        total.own += ownTimes() - own0;
    };
    double measured = 0;
    for (auto _ : state) {
        while (measured < seconds) {
            measure(petTotal, walk);
            bench.controller->window()->hide();
            bare.show(true);
            measure(bareTotal, [&] { bare.step(); });
            bare.show(false);
            measure(noopTotal, [c] {
                xcb_no_operation(c);
                xcb_flush(c);
            });
            measure(idleTotal, {});
            bench.controller->window()->show();
            every50ms(0.5, walk);
            measured += slice;
        }
    }
    const auto percent = [&](const Times& t, const Times& idle) { return 100 * (t.cpuSeconds - idle.cpuSeconds) / measured; };
    state.counters["server_pet_%"] = percent(petTotal.server, idleTotal.server);
    state.counters["server_bare_move_%"] = percent(bareTotal.server, idleTotal.server);
    state.counters["server_noop_%"] = percent(noopTotal.server, idleTotal.server);
    state.counters["server_idle_%"] = 100 * idleTotal.server.cpuSeconds / measured;
    state.counters["server_pet_wakeups/s"] = petTotal.server.wakeups / measured;
    state.counters["server_bare_wakeups/s"] = bareTotal.server.wakeups / measured;
    // Ours while the pet walks, over our own idle slices: the timer's wakeups are in it.
    state.counters["own_pet_%"] = percent(petTotal.own, idleTotal.own);
    state.counters["own_pet_wakeups/s"] = (petTotal.own.wakeups - idleTotal.own.wakeups) / measured;
    state.counters["pet_paints"] = bench.controller->window()->paintCount();
}

}  // namespace

BENCHMARK(BM_PetServerShare)->Iterations(1)->Unit(benchmark::kSecond);

int main(int argc, char** argv) {
    // As the program runs: without X shared memory.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
    return runBenchmarks<QApplication>(argc, argv);
}
