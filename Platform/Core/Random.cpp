#include "Platform/Core/Random.h"

#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <cmath>
#include <mutex>

namespace {
std::mutex g_randomMutex;
std::shared_ptr<Random> g_random;
}  // namespace

Random& Random::shared() {
    static SystemRandom systemRandom;
    std::lock_guard lock(g_randomMutex);
    return g_random ? *g_random : static_cast<Random&>(systemRandom);
}

void Random::setShared(std::shared_ptr<Random> random) {
    std::lock_guard lock(g_randomMutex);
    g_random = std::move(random);
}

int64_t Random::integer(int64_t lo, int64_t hi) {
    if (hi <= lo) return lo;
    const uint64_t span = uint64_t(hi) - uint64_t(lo) + 1;
    if (span == 0) return int64_t(next());  // the whole 64-bit range
    // Reject the top slice that would bias the modulo.
    const uint64_t limit = UINT64_MAX - (UINT64_MAX % span);
    uint64_t v;
    do {
        v = next();
    } while (v >= limit);
    return int64_t(uint64_t(lo) + v % span);
}

double Random::uniform(double lo, double hi) {
    const double unit = double(next() >> 11) * 0x1.0p-53;  // [0, 1)
    return lo + (hi - lo) * unit;
}

QByteArray Random::bytes(int count) {
    QByteArray out;
    out.reserve(count);
    while (out.size() < count) {
        uint64_t v = next();
        for (int i = 0; i < 8 && out.size() < count; ++i, v >>= 8) out.append(char(v & 0xff));
    }
    return out;
}

uint64_t SystemRandom::next() {
    uint64_t v = 0;
    char* p = reinterpret_cast<char*>(&v);
    size_t got = 0;
    while (got < sizeof v) {
        const ssize_t n = getrandom(p + got, sizeof v - got, 0);
        if (n > 0) {
            got += size_t(n);
        } else if (n < 0 && errno != EINTR) {
            // No getrandom (an old kernel, a strict sandbox): the kernel's device instead. Never a
            // weaker source: passwords are made from these numbers.
            const int error = errno;
            const int fd = ::open("/dev/urandom", O_RDONLY | O_CLOEXEC);
            while (fd >= 0 && got < sizeof v) {
                const ssize_t r = ::read(fd, p + got, sizeof v - got);
                if (r > 0) {
                    got += size_t(r);
                } else if (r == 0 || errno != EINTR) {
                    break;
                }
            }
            if (fd >= 0) ::close(fd);
            if (got < sizeof v) qFatal("No source of random numbers: getrandom failed (%s)", std::strerror(error));
        }
    }
    return v;
}
