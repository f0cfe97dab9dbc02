#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Small, allocation-light helpers for reading /proc and /sys files.
namespace SysFs {
// root + path, with exactly one slash between them; root "/" or "" gives path itself.
std::string join(const QString& root, std::string_view path);
std::string join(const std::string& base, std::string_view name);

// Reads a whole file into buffer, reusing its capacity. False when it cannot be opened or read.
bool readFile(const std::string& path, std::string& buffer);
// The first line of a small file without surrounding white space; nothing when unreadable.
std::optional<std::string> readLine(const std::string& path);
// The leading (optionally signed) decimal integer of a small file; nothing when unreadable or not a number.
std::optional<int64_t> readInteger(const std::string& path);
bool exists(const std::string& path);
bool isDirectory(const std::string& path);
// Entry names of a folder, "." and ".." left out, in natural order (hwmon2 before hwmon10).
std::vector<std::string> listDirectory(const std::string& path);
bool naturalLess(std::string_view a, std::string_view b);

// Parses an unsigned decimal number at p, skipping leading blanks; advances p. False when no digit follows.
bool parseUnsigned(const char*& p, const char* end, uint64_t& value);
// Parses a CPU list such as "0-3,8,10-11"; nothing when malformed.
std::optional<std::vector<int>> parseCpuList(std::string_view text);
std::string_view trimmed(std::string_view text);
}  // namespace SysFs
