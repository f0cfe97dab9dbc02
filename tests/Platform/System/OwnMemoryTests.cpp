#include "Platform/System/OwnMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

// Blocks the size of a process list or a card's picture, each followed by a small block that stays,
// so the space they free is a hole inside the heap and never its top.
void allocateAndFree(size_t blocks, size_t blockSize, std::vector<std::unique_ptr<char[]>>& pins) {
    std::vector<std::unique_ptr<char[]>> large;
    for (size_t i = 0; i < blocks; ++i) {
        large.emplace_back(new char[blockSize]);
        std::memset(large.back().get(), 1, blockSize);
        pins.emplace_back(new char[64]);
    }
}

}  // namespace

TEST(OwnMemory, ReadsItsOwnSizes) {
    ASSERT_TRUE(OwnMemory::residentBytes().has_value());
    EXPECT_GT(*OwnMemory::residentBytes(), 1024u * 1024u);
    auto block = std::make_unique<char[]>(4 << 20);
    std::memset(block.get(), 1, 4 << 20);
    EXPECT_GE(OwnMemory::heapInUse(), uint64_t(4 << 20));
}

TEST(OwnMemory, LargeBlocksGoBackWhenFreedEvenAfterTheAllocatorHasSeenThem) {
    OwnMemory::keepResidentSmall();
    std::vector<std::unique_ptr<char[]>> pins;
    const uint64_t before = OwnMemory::residentBytes().value_or(0);
    // Freed large blocks teach an adaptive allocator that blocks of their size are common; it then
    // keeps the next ones in its heap after they are freed.
    allocateAndFree(1, 8 << 20, pins);
    allocateAndFree(32, 300 * 1024, pins);
    allocateAndFree(32, 300 * 1024, pins);
    const uint64_t after = OwnMemory::residentBytes().value_or(0);
    const uint64_t kept = after > before ? after - before : 0;
    EXPECT_LT(kept, uint64_t(2 << 20)) << "of 27 MB freed, " << kept << " bytes stayed resident";
}
