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
// Tunes the allocator for a long-running program that is small most of the time: large blocks
// (lists, images) are mapped on their own and given back when freed, free space at the top of
// the heap goes back at once, and threads share two heaps instead of keeping one each. Call
// before the first thread starts.
void keepResidentSmall();

}  // namespace OwnMemory
