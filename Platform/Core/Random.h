#pragma once

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <random>

// Chance, replaceable in tests. The system source draws from the kernel's generator.
class Random {
public:
    virtual ~Random() = default;
    virtual uint64_t next() = 0;  // uniform over all 64-bit values

    // Uniform in [lo, hi] without modulo bias.
    int64_t integer(int64_t lo, int64_t hi);
    // Uniform in [lo, hi).
    double uniform(double lo, double hi);
    bool chance(double probability) { return uniform(0.0, 1.0) < probability; }
    QByteArray bytes(int count);

    static Random& shared();
    static void setShared(std::shared_ptr<Random> random);  // nullptr restores the system source
};

class SystemRandom final : public Random {
public:
    uint64_t next() override;
};

// Deterministic source for tests.
class SeededRandom final : public Random {
public:
    explicit SeededRandom(uint64_t seed) : engine_(seed) {}
    uint64_t next() override { return engine_(); }

private:
    std::mt19937_64 engine_;
};
