#pragma once

#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// Reads the per-interface byte counters of <root>/proc/net/dev.
class NetDevReader {
public:
    struct Interface {
        std::string name;
        uint64_t received = 0;  // bytes
        uint64_t sent = 0;      // bytes
        bool physical = false;  // backed by a device (<root>/sys/class/net/<name>/device exists)
    };

    explicit NetDevReader(const QString& root = QStringLiteral("/"));
    // Fills out (reusing its storage); false when the file cannot be read.
    bool read(std::vector<Interface>& out);
    // Parses the text of the file; `physical` is left false.
    static void parse(const std::string& text, std::vector<Interface>& out);

private:
    std::string path_;
    std::string netClass_;
    std::string buffer_;
};
