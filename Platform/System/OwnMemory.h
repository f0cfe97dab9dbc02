#pragma once

#include <cstdint>
#include <optional>

// This program's own memory.
namespace OwnMemory {

// Resident size in bytes (from /proc/self/statm); nothing when it cannot be read.
std::optional<uint64_t> residentBytes();
// Bytes the allocator has handed out and not yet had back.
uint64_t heapInUse();
// Gives the allocator's free pages back to the system, after a large release.
void returnFreePages();

}  // namespace OwnMemory
