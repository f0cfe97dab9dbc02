#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>

// Reads physical memory figures from <root>/proc/meminfo.
class MemInfoReader {
public:
    struct Memory {
        uint64_t total = 0;      // bytes (MemTotal)
        uint64_t available = 0;  // bytes (MemAvailable)
        uint64_t used() const { return total > available ? total - available : 0; }
        // Share in use, 0 to 100.
        double percentInUse() const;
    };

    explicit MemInfoReader(const QString& root = QStringLiteral("/"));
    // Nothing when the file cannot be read or lacks MemTotal or MemAvailable, or MemTotal is 0.
    std::optional<Memory> read();
    static std::optional<Memory> parse(const std::string& text);

private:
    std::string path_;
    std::string buffer_;
};
