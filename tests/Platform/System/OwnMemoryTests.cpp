#include "Platform/System/OwnMemory.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
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

// A file of `pages` pages, each filled with its own number, mapped private and read-only; executable
// when asked. Unmapped and closed at the end.
struct MappedFile {
    MappedFile(const std::string& path, size_t pages, int protection) : size(pages * size_t(sysconf(_SC_PAGESIZE))) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        std::vector<char> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = char(i / size_t(sysconf(_SC_PAGESIZE)) + 1);
        if (fd >= 0 && ::write(fd, bytes.data(), size) == ssize_t(size))
            data = static_cast<char*>(::mmap(nullptr, size, protection, MAP_PRIVATE, fd, 0));
        if (fd >= 0) ::close(fd);
        if (data == MAP_FAILED) data = nullptr;
    }
    ~MappedFile() {
        if (data) ::munmap(data, size);
    }
    // Reads every page; whether each still holds its number.
    bool intact() const {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        for (size_t i = 0; i < size; i += page) {
            if (data[i] != char(i / page + 1)) return false;
        }
        return true;
    }
    size_t size;
    char* data = nullptr;
};

}  // namespace

TEST(OwnMemory, GivesBackCodePagesButNeverPagesChangedSinceLoading) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    MappedFile code(folder + "/quorvin-code.so", 16, PROT_READ | PROT_EXEC);
    MappedFile constants(folder + "/quorvin-code-constants.so", 4, PROT_READ);
    MappedFile other(folder + "/quorvin-other.so", 4, PROT_READ | PROT_EXEC);
    ASSERT_NE(code.data, nullptr);
    ASSERT_NE(other.data, nullptr);
    ASSERT_NE(constants.data, nullptr);
    ASSERT_TRUE(code.intact());
    ASSERT_TRUE(constants.intact());
    ASSERT_TRUE(other.intact());
    EXPECT_EQ(OwnMemory::residentCode({"quorvin-code"}), code.size + constants.size);

    EXPECT_EQ(OwnMemory::returnCode({"quorvin-code"}), code.size + constants.size);
    EXPECT_EQ(OwnMemory::residentCode({"quorvin-code"}), 0u);
    EXPECT_EQ(OwnMemory::residentCode({"quorvin-other"}), other.size);  // another name: kept
    EXPECT_TRUE(code.intact());  // read again from the file
    EXPECT_TRUE(constants.intact());
    EXPECT_EQ(OwnMemory::residentCode({"quorvin-code"}), code.size + constants.size);

    // Pages written before the mapping became read-only exist nowhere else: they stay, and so
    // does the rest of that mapping.
    MappedFile patched(folder + "/quorvin-patched.so", 4, PROT_READ | PROT_WRITE);
    ASSERT_NE(patched.data, nullptr);
    patched.data[0] = 42;
    ASSERT_FALSE(patched.intact());
    ASSERT_EQ(::mprotect(patched.data, patched.size, PROT_READ | PROT_EXEC), 0);
    EXPECT_EQ(OwnMemory::returnCode({"quorvin-patched"}), 0u);
    EXPECT_EQ(patched.data[0], 42);

    // Writable mappings are never given back.
    MappedFile data(folder + "/quorvin-data.so", 4, PROT_READ | PROT_WRITE);
    ASSERT_NE(data.data, nullptr);
    ASSERT_TRUE(data.intact());
    EXPECT_EQ(OwnMemory::residentCode({"quorvin-data"}), 0u);
    EXPECT_EQ(OwnMemory::returnCode({"quorvin-data"}), 0u);
}

TEST(OwnMemory, GivesBackTheLinkersTablesAndEverythingStillRuns) {
    const uint64_t before = OwnMemory::residentBytes().value_or(0);
    const uint64_t returned = OwnMemory::returnLinkTables();
    const uint64_t after = OwnMemory::residentBytes().value_or(0);
    EXPECT_GT(returned, uint64_t(1 << 20));  // Qt's tables alone are several MB
    EXPECT_LT(after + returned / 2, before);

    // Relocated data (virtual tables, addresses of functions in other libraries) is kept: calls
    // through it, unwinding and loading a plugin afterwards all work.
    QBuffer buffer;
    ASSERT_TRUE(buffer.open(QIODevice::ReadWrite));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(QImageWriter(&buffer, "jpeg").write(image));
    buffer.seek(0);
    const QImage read = QImageReader(&buffer, "jpeg").read();
    ASSERT_EQ(read.size(), image.size());
    EXPECT_GT(qRed(read.pixel(4, 4)), 200);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "malloc_trim"), reinterpret_cast<void*>(&malloc_trim));
    EXPECT_THROW(throw std::runtime_error("unwound"), std::runtime_error);
    EXPECT_STREQ(buffer.metaObject()->className(), "QBuffer");
}

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
