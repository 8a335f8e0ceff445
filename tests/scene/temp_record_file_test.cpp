#include "scene/temp_record_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessaro {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint32_t> sequence(std::uint32_t first, std::uint32_t n) {
    std::vector<std::uint32_t> values(n);
    for (std::uint32_t i = 0; i < n; ++i)
        values[i] = first + i;
    return values;
}

// Length of this process's open file whose name began with prefix; 0 when none is open.
std::uint64_t openFileLength(const std::string& prefix) {
    for (const auto& fd : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto name = fs::read_symlink(fd.path(), error).filename().string();
        if (!error && name.rfind(prefix, 0) == 0) return fs::file_size(fd.path());
    }
    return 0;
}

TEST(TempRecordFile, GrowsWithAReserveOfOneThirtySecondFromSixtyFourRecords) {
    struct Row {
        std::uint32_t recordSize;
        std::int32_t count;
        std::uint64_t length;
    };
    for (const Row& r : {Row{32, 1, 32}, Row{32, 63, 2016}, Row{32, 64, (64 + 2) * 32},
                         Row{52, 1000, (1000 + 31) * 52}}) {
        TempRecordFile file;
        ASSERT_TRUE(file.create(r.recordSize, "grw"));
        EXPECT_EQ(file.setCount(r.count), r.count);
        EXPECT_EQ(openFileLength("grw"), r.length) << r.count;
    }
}

TEST(TempRecordFile, ShrinkKeepsTheFileAndRegrownRecordsReadAsZero) {
    TempRecordFile file;
    ASSERT_TRUE(file.create(4, "shr"));
    ASSERT_EQ(file.writeRun(sequence(100, 10).data(), 0, 10), 10);
    EXPECT_EQ(file.setCount(4), -6);
    EXPECT_EQ(openFileLength("shr"), 40u);
    std::uint32_t value = 1;
    EXPECT_FALSE(file.readRecord(&value, 4));
    EXPECT_EQ(file.setCount(6), 2);
    ASSERT_TRUE(file.readRecord(&value, 5));
    EXPECT_EQ(value, 0u) << "a stale record reappeared after the array grew again";
}

TEST(TempRecordFile, RefusesIndicesOutsideTheCountAndClipsRunsToIt) {
    TempRecordFile file;
    ASSERT_TRUE(file.create(4, "tst"));
    ASSERT_EQ(file.writeRun(sequence(50, 10).data(), 0, 10), 10);
    std::uint32_t junk = 0xDEADBEEF;
    for (std::int32_t index : {-1, 10, INT32_MAX}) {
        EXPECT_FALSE(file.writeRecord(&junk, index)) << index;
        EXPECT_FALSE(file.readRecord(&junk, index)) << index;
    }
    struct Row {
        std::int32_t first, n, expected;
    };
    for (const Row& r : {Row{0, 10, 10}, Row{3, 100, 7}, Row{9, 1, 1}, Row{10, 1, 0}, Row{-1, 5, 0},
                         Row{2, 0, 0}}) {
        std::vector<std::uint32_t> got(100);
        ASSERT_EQ(file.readRun(got.data(), r.first, r.n), r.expected) << r.first << "+" << r.n;
        got.resize(r.expected);
        EXPECT_EQ(got, sequence(50 + r.first, r.expected));
    }
    EXPECT_FALSE(file.failed());
}

// The high record's offset needs more than 32 bits and, cut to 32 bits, lands on the low
// record: a 32-bit product would overwrite it. The file is sparse.
TEST(TempRecordFile, KeepsRecordsBeyondFourGigabytesApart) {
    for (const auto& [size, low] : {std::pair{4096u, 1}, std::pair{52u, 0}, std::pair{32u, 100}}) {
        const auto high = std::int32_t(((std::uint64_t{1} << 32) + size - 1) / size + low);
        TempRecordFile file;
        ASSERT_TRUE(file.create(size, "big"));
        file.setCount(high + 1);
        std::vector<unsigned char> a(size, 0xAA), b(size, 0xBB), got(size);
        ASSERT_TRUE(file.writeRecord(a.data(), low));
        ASSERT_TRUE(file.writeRecord(b.data(), high));
        ASSERT_TRUE(file.readRecord(got.data(), low));
        EXPECT_EQ(got, a) << size;
        ASSERT_TRUE(file.readRecord(got.data(), high));
        EXPECT_EQ(got, b) << size;
    }
}

TEST(TempRecordFile, HasNoNameAndCloseReleasesIt) {
    TempRecordFile file;
    ASSERT_TRUE(file.create(16, "Zq7"));
    file.setCount(3);
    EXPECT_EQ(openFileLength("Zq7"), 48u);
    for (const auto& entry : fs::directory_iterator(file.directory()))
        EXPECT_NE(entry.path().filename().string().rfind("Zq7", 0), 0u);
    EXPECT_TRUE(file.close());
    EXPECT_EQ(openFileLength("Zq7"), 0u);
    EXPECT_EQ(file.count(), 0);
    EXPECT_EQ(file.recordSize(), 0u);
    EXPECT_TRUE(file.close());
}

}  // namespace
}  // namespace tessaro
