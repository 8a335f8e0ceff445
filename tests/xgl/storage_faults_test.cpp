// Loads of documents whose tables move to temporary files, with a temporary folder
// that cannot be used or that fills up during the load: one message that begins
// "0: " and names the cause, no crash, and no temporary file left behind. The spill
// files are unlinked as soon as they are made, so the folder never lists them, not
// even while they are open.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "scene/definition_scope.h"
#include "scene/mesh_build.h"
#include "scene/scene_consumer.h"
#include "test_files.h"
#include "xgl/input_stream.h"
#include "xgl/scene_load_context.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

const std::string kHead =
    "<WORLD><LIGHTING><AMBIENT>0 0 0</AMBIENT></LIGHTING>"
    "<BACKGROUND><BACKCOLOR>1 1 1</BACKCOLOR></BACKGROUND><MESH>";
const std::string kTail = "</MESH></WORLD>";

// Definitions and faces that go on after a table spilled, so that some blocks are
// read while the spill file is open.
constexpr std::uint32_t kAfterSpill = 20000;

// More "p" definitions in one mesh than its scope keeps in memory.
std::string manyPositions() {
    std::string doc = kHead;
    for (std::uint32_t i = 0; i < DefinitionScope::kGeometrySpillLimit + kAfterSpill; ++i) {
        doc += "<P ID='" + std::to_string(i) + "'>" + std::to_string(i) + " 0 1</P>";
    }
    return doc + kTail;
}

// More faces in one mesh than it keeps in memory.
std::string manyFaces() {
    std::string doc = kHead +
                      "<MAT ID='1'><AMB>0 0 0</AMB><DIFF>1 1 1</DIFF></MAT>"
                      "<P ID='0'>0 0 0</P><P ID='1'>1 0 0</P><P ID='2'>0 1 0</P>";
    for (std::uint32_t i = 0; i < MeshBuild::kPrimitiveSpillLimit + kAfterSpill; ++i) {
        doc +=
            "<F><MATREF>1</MATREF><FV1><PREF>0</PREF></FV1><FV2><PREF>1</PREF></FV2><FV3><PREF>2</"
            "PREF></FV3></F>";
    }
    return doc + kTail;
}

// TMPDIR points at `dir` for the life of the object.
class TmpDirOverride {
  public:
    explicit TmpDirOverride(const std::string& dir) {
        if (const char* old = std::getenv("TMPDIR")) m_old = old;
        m_had = std::getenv("TMPDIR") != nullptr;
        setenv("TMPDIR", dir.c_str(), 1);
    }
    ~TmpDirOverride() { m_had ? setenv("TMPDIR", m_old.c_str(), 1) : unsetenv("TMPDIR"); }

  private:
    bool m_had = false;
    std::string m_old;
};

// A tmpfs of 2 MiB mounted on `dir` while the object lives; `error` says why not.
class SmallTmpfs {
  public:
    explicit SmallTmpfs(const std::string& dir) : m_dir(dir) {
        fs::create_directory(dir);
        m_mounted = mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=2m") == 0;
        if (!m_mounted) error = std::strerror(errno);
    }
    ~SmallTmpfs() {
        if (m_mounted) umount2(m_dir.c_str(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    std::string error;

  private:
    std::string m_dir;
    bool m_mounted = false;
};

// Open descriptors of this process whose file was in `dir` and is already unlinked.
int unlinkedOpenFilesIn(const std::string& dir) {
    int found = 0;
    for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code ignored;
        const std::string target = fs::read_symlink(entry.path(), ignored).string();
        if (target.rfind(dir + "/", 0) == 0 && target.ends_with(" (deleted)")) ++found;
    }
    return found;
}

// Reads the document through the file stream and, before every block, looks at the
// temporary folder: what it lists, and which unlinked files the process holds open.
class WatchingStream final : public InputStream {
  public:
    WatchingStream(std::unique_ptr<InputStream> inner, std::string dir)
        : m_inner(std::move(inner)), m_dir(std::move(dir)) {}
    bool read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
              StreamErrorSink* sink) override {
        std::error_code ignored;
        if (fs::is_directory(m_dir, ignored) && !fs::is_empty(m_dir, ignored)) ++listedBlocks;
        if (fs::is_directory(m_dir, ignored)) {
            mostOpenUnlinked = std::max(mostOpenUnlinked, unlinkedOpenFilesIn(m_dir));
        }
        return m_inner->read(more, length, data, sink);
    }
    bool lastWriteTime(std::int64_t& time) override { return m_inner->lastWriteTime(time); }

    int listedBlocks = 0;      // blocks before which the folder listed a file
    int mostOpenUnlinked = 0;  // the most spill files open at one time

  private:
    std::unique_ptr<InputStream> m_inner;
    std::string m_dir;
};

struct Messages : ValidatingConsumer {
    void showError(const char* text) override { texts.emplace_back(text); }
    std::vector<std::string> texts;
};

struct LoadResult {
    bool clean = false;
    std::vector<std::string> messages;
    int listedBlocks = 0;
    int mostOpenUnlinked = 0;
};

LoadResult load(const std::string& fileName, const std::string& tempDir) {
    auto watching =
        std::make_unique<WatchingStream>(openDocumentStream(fileName.c_str(), nullptr), tempDir);
    WatchingStream& watch = *watching;
    Messages consumer;
    LoadResult result;
    {
        TmpDirOverride tmp(tempDir);
        SceneLoadContext context(consumer);
        result.clean = context.parse(watch, nullptr).loaded();
    }
    result.messages = consumer.texts;
    result.listedBlocks = watch.listedBlocks;
    result.mostOpenUnlinked = watch.mostOpenUnlinked;
    return result;
}

enum class Table { Positions, Faces };

std::string tableName(const ::testing::TestParamInfo<Table>& info) {
    return info.param == Table::Positions ? "Positions" : "Faces";
}

class SpillingLoad : public ::testing::TestWithParam<Table> {
  protected:
    void SetUp() override {
        ASSERT_FALSE(m_files.path().empty());
        document = m_files.file(GetParam() == Table::Positions ? "positions.xgl" : "faces.xgl");
        testing::writeFile(document,
                           GetParam() == Table::Positions ? manyPositions() : manyFaces());
    }
    std::string folder(const std::string& name) const { return m_files.file(name); }

    std::string document;

  private:
    testing::TempDir m_files;
};

TEST_P(SpillingLoad, SpillsIntoUnlinkedFilesWhenTheFolderIsUsable) {
    const std::string dir = folder("tmp");
    fs::create_directory(dir);
    const LoadResult r = load(document, dir);
    EXPECT_TRUE(r.clean);
    EXPECT_TRUE(r.messages.empty()) << r.messages.front();
    EXPECT_GE(r.mostOpenUnlinked, 1) << "the document did not spill";
    EXPECT_EQ(r.listedBlocks, 0) << "a spill file could be seen in the folder";
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_EQ(unlinkedOpenFilesIn(dir), 0) << "a spill file is still open after the load";
}

TEST_P(SpillingLoad, MissingFolderStopsTheLoadWithOneMessage) {
    const std::string dir = folder("missing");
    const LoadResult r = load(document, dir);
    EXPECT_FALSE(r.clean);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0],
              "0: Cannot create a temporary file in " + dir + ": No such file or directory");
    EXPECT_FALSE(fs::exists(dir));
}

TEST_P(SpillingLoad, RegularFileAsFolderStopsTheLoadWithOneMessage) {
    const std::string dir = folder("plain-file");
    testing::writeFile(dir, "not a folder");
    const LoadResult r = load(document, dir);
    EXPECT_FALSE(r.clean);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0], "0: Cannot create a temporary file in " + dir + ": Not a directory");
    EXPECT_EQ(fs::file_size(dir), 12u) << "the file in the way was changed";
}

TEST_P(SpillingLoad, FolderThatFillsUpStopsTheLoadWithOneMessageAndLeavesItEmpty) {
    const std::string dir = folder("small");
    if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";
    SmallTmpfs tmpfs(dir);
    if (!tmpfs.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here: " << tmpfs.error;
    const LoadResult r = load(document, dir);
    EXPECT_FALSE(r.clean);
    ASSERT_EQ(r.messages.size(), 1u);
    EXPECT_EQ(r.messages[0].rfind("0: Cannot ", 0), 0u) << r.messages[0];
    EXPECT_NE(r.messages[0].find(" a temporary file in " + dir + ": No space left on device"),
              std::string::npos)
        << r.messages[0];
    EXPECT_EQ(r.listedBlocks, 0) << "a spill file could be seen in the folder";
    EXPECT_TRUE(fs::is_empty(dir));
    EXPECT_EQ(unlinkedOpenFilesIn(dir), 0) << "a spill file is still open after the load";
}

INSTANTIATE_TEST_SUITE_P(Table, SpillingLoad, ::testing::Values(Table::Positions, Table::Faces),
                         tableName);

}  // namespace
}  // namespace tessaro
