#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

// Resident bytes of the code and read-only data of the loaded files whose name starts with one of
// `names` ("libssl"): their private mappings that are never written.
uint64_t residentCode(const std::vector<std::string>& names);
// Gives back the resident pages of that code, for code that runs once in a long while (the network
// stack of a check every few hours): the kernel maps them again from the file when it next runs. A
// mapping whose pages were changed after loading is left alone. Returns the bytes given back.
uint64_t returnCode(const std::vector<std::string>& names);

// Gives back the pages of the loaded files' (the program's and its libraries') tables for the
// dynamic linker: headers, symbol tables, relocations. They are read to link the program at start,
// later only to load a plugin or look a symbol up, and come back from the file then. Call once
// start-up is over. Returns the bytes given back.
uint64_t returnLinkTables();

}  // namespace OwnMemory
