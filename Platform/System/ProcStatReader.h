#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Reads the kernel's CPU tick counters from <root>/proc/stat.
class ProcStatReader {
public:
    // Cumulative ticks of one line ("cpu" or "cpuN"); guest time is already inside user and nice.
    struct Ticks {
        uint64_t user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
        bool operator==(const Ticks&) const = default;
    };
    struct Snapshot {
        Ticks total;
        std::vector<std::pair<int, Ticks>> cpus;  // (processor number, ticks) in file order
    };
    // Shares of the time between two snapshots, in percent (0 to 100).
    struct Load {
        double total = 0;   // user + system
        double user = 0;    // user and nice
        double system = 0;  // kernel, hard and soft interrupts
    };

    explicit ProcStatReader(const QString& root = QStringLiteral("/"));

    // Fills out (reusing its storage); false when the file cannot be read or has no "cpu" line.
    bool read(Snapshot& out);
    // Parses the text of a stat file.
    static bool parse(const std::string& text, Snapshot& out);
    // The load between two readings; nothing when no time passed. A counter that went back
    // (a processor taken offline and back) counts as no time for that field.
    static std::optional<Load> load(const Ticks& previous, const Ticks& current);

private:
    std::string path_;
    std::string buffer_;
};
