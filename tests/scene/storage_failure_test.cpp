// How temporary-file failures surface: as results, as a kept cause, through the sink, and
// never as a record that was not read.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "scene/spill_array.h"
#include "scene/temp_record_file.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

// A fresh folder that TMPDIR points at for the life of the object.
class ScratchTmpDir {
  public:
    ScratchTmpDir() {
        std::string pattern = (fs::temp_directory_path() / "tessaro-test-XXXXXX").string();
        root = mkdtemp(pattern.data());
        if (const char* old = getenv("TMPDIR")) m_old = old;
        point(root);
    }
    ~ScratchTmpDir() {
        m_old.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", m_old.c_str(), 1);
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root);
    }
    static void point(const fs::path& dir) { setenv("TMPDIR", dir.c_str(), 1); }
    fs::path root;

  private:
    std::string m_old;
};

// Files may not grow beyond `bytes` while the object lives; writes past it fail (EFBIG).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_oldHandler);
    }

  private:
    rlimit m_old{};
    sighandler_t m_oldHandler;
};

struct CollectingSink : StorageErrorSink {
    void storageFailed(const std::string& cause) override { causes.push_back(cause); }
    std::vector<std::string> causes;
};

struct Rec {
    std::uint32_t values[4];
};

enum class Folder { Missing, RegularFile, ReadOnly };

std::string folderName(const testing::TestParamInfo<std::pair<Folder, const char*>>& info) {
    static const char* const names[] = {"Missing", "RegularFile", "ReadOnly"};
    return names[int(info.param.first)];
}

class CreateFailure : public testing::TestWithParam<std::pair<Folder, const char*>> {};

TEST_P(CreateFailure, IsReportedWithItsCauseAndHandsOutNothing) {
    const auto [folder, reason] = GetParam();
    ScratchTmpDir scratch;
    const fs::path dir = scratch.root / "dir";
    if (folder == Folder::RegularFile) std::ofstream{dir};
    if (folder == Folder::ReadOnly) {
        if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
        fs::create_directory(dir);
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    }
    scratch.point(dir);
    const std::string cause = "Cannot create a temporary file in " + dir.string() + ": " + reason;
    TempRecordFile file;
    EXPECT_FALSE(file.create(16, "vts"));
    EXPECT_EQ(file.failureCause(), cause);

    SpillArray<Rec> array;
    CollectingSink sink;
    array.setErrorSink(&sink);
    array.reset(4, "vts");
    ASSERT_TRUE(array.setCount(3));
    EXPECT_FALSE(array.setCount(4));
    EXPECT_EQ(array.at(0), nullptr);
    EXPECT_FALSE(array.setCount(2));
    EXPECT_EQ(array.failureCause(), cause);
    EXPECT_EQ(sink.causes, std::vector<std::string>{cause});
    array.reset(4, "vts");
    ASSERT_TRUE(array.setCount(3));
    EXPECT_NE(array.at(2), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, CreateFailure,
                         testing::Values(std::pair{Folder::Missing, "No such file or directory"},
                                         std::pair{Folder::RegularFile, "Not a directory"},
                                         std::pair{Folder::ReadOnly, "Permission denied"}),
                         folderName);

TEST(StorageFailure, ShortWriteOfARunIsAFailure) {
    ScratchTmpDir scratch;
    TempRecordFile file;
    ASSERT_TRUE(file.create(1024, "fcs"));
    const std::vector<char> run(64 * 1024, 'x');
    FileSizeLimit limit(16 * 1024);  // the system writes 16 of the 64 records, then refuses
    EXPECT_EQ(file.writeRun(run.data(), 0, 64), 0);
    EXPECT_EQ(file.failureCause(),
              "Cannot write to a temporary file in " + scratch.root.string() + ": File too large");
}

// A dirty block goes back to the file when it is evicted or when a run is read over it;
// either failure fails the table for good.
TEST(StorageFailure, FailedWriteBackFailsTheArrayOnceAndForGood) {
    constexpr std::uint32_t kBlock = SpillArrayBase::kBlockRecords;
    constexpr std::uint32_t kCount = (SpillArrayBase::kCacheBlocks + 2) * kBlock;
    for (const bool byEviction : {true, false}) {
        ScratchTmpDir scratch;
        SpillArray<Rec> array;
        CollectingSink sink;
        array.setErrorSink(&sink);
        array.reset(1, "nrs");
        ASSERT_TRUE(array.setCount(kCount));  // the file is extended before the limit
        FileSizeLimit limit(4096);
        array.at(kBlock + 5)->values[0] = 7;  // only in the cache: block 1 lies past 4096
        if (byEviction) {
            for (std::uint32_t b = 2; b < kCount / kBlock; ++b)
                array.peek(b * kBlock);
        } else {
            Rec out[1];
            EXPECT_FALSE(array.copyOut(kBlock, 1, out));
        }
        EXPECT_EQ(array.at(3), nullptr) << "block 1 could not be written back";
        EXPECT_EQ(array.peek(0), nullptr);
        EXPECT_FALSE(array.store(0, Rec{}));
        EXPECT_EQ(sink.causes.size(), 1u);
        EXPECT_NE(array.failureCause().find(": File too large"), std::string::npos);
    }
}

TEST(StorageFailure, RecordMissingFromTheFileIsNeverHandedOut) {
    ScratchTmpDir scratch;
    SpillArray<Rec> array;
    array.reset(1, "tcs");
    ASSERT_TRUE(array.setCount(2));
    FileSizeLimit limit(4096);
    ASSERT_TRUE(array.setCount(1000));  // the file cannot be extended
    ASSERT_TRUE(array.setCount(999));   // drops the cached open record; 998 is not in the file
    EXPECT_EQ(array.peek(998), nullptr);
    EXPECT_EQ(array.failureCause(), "Cannot read from a temporary file in " +
                                        scratch.root.string() + ": unexpected end of file");
    Rec out[2];
    EXPECT_FALSE(array.copyOut(0, 2, out));
}

}  // namespace
}  // namespace tessaro
