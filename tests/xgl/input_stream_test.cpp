#include "xgl/input_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_files.h"

namespace tessaro {
namespace {

using testing::deflateText;
using testing::TempDir;
using testing::truncateFile;
using testing::writeFile;

struct RecordingSink : StreamErrorSink {
    void error(const char* text) override { errors.emplace_back(text); }
    void sharingViolation() override { ++sharingViolations; }
    std::vector<std::string> errors;
    int sharingViolations = 0;
};

struct Block {
    std::uint32_t length;
    bool more;
};

// Reads the stream to its end; returns the bytes, and the block shapes in `blocks`.
std::string drain(InputStream& stream, std::vector<Block>* blocks, bool* ok,
                  StreamErrorSink* sink = nullptr) {
    std::string bytes;
    bool more = true;
    *ok = true;
    for (int guard = 0; more && guard < 100000; ++guard) {
        std::uint32_t length = 0;
        const std::uint8_t* data = nullptr;
        if (!stream.read(more, length, data, sink)) {
            *ok = false;
            break;
        }
        if (blocks) blocks->push_back({length, more});
        bytes.append(reinterpret_cast<const char*>(data), length);
    }
    return bytes;
}

std::string patterned(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>('a' + (i * 7 + i / 13) % 26);
    return s;
}

struct FileCase {
    std::size_t size;
    std::vector<std::uint32_t> lengths;  // the last block has more = false
};

class FileStreamBlocks : public ::testing::TestWithParam<FileCase> {};

TEST_P(FileStreamBlocks, HandsOutWholeBlocksOf64KiB) {
    TempDir dir;
    const std::string content = patterned(GetParam().size);
    writeFile(dir.file("a.xgl"), content);
    FileInputStream stream;
    ASSERT_TRUE(stream.open(dir.file("a.xgl").c_str(), nullptr));
    std::vector<Block> blocks;
    bool ok = false;
    EXPECT_EQ(drain(stream, &blocks, &ok), content);
    ASSERT_TRUE(ok);
    ASSERT_EQ(blocks.size(), GetParam().lengths.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].length, GetParam().lengths[i]) << "block " << i;
        EXPECT_EQ(blocks[i].more, i + 1 < blocks.size()) << "block " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, FileStreamBlocks,
                         ::testing::Values(FileCase{0, {0}}, FileCase{1, {1}},
                                           FileCase{65536, {65536}}, FileCase{65537, {65536, 1}},
                                           FileCase{200000, {65536, 65536, 65536, 3392}}));

TEST(FileStream, ReportsOpenFailuresToTheSinkOnly) {
    TempDir dir;
    RecordingSink sink;
    FileInputStream missing;
    EXPECT_FALSE(missing.open(dir.file("missing.xgl").c_str(), &sink));
    FileInputStream folder;
    EXPECT_FALSE(folder.open(dir.path().c_str(), &sink));
    FileInputStream silent;
    EXPECT_FALSE(silent.open(dir.file("missing.xgl").c_str(), nullptr));
    EXPECT_EQ(sink.errors,
              (std::vector<std::string>{"Unable to open file: 2\n", "Unable to open file: 15\n"}));
    std::int64_t time = 0;
    EXPECT_FALSE(missing.lastWriteTime(time));
}

TEST(FileStream, AFileThatShrinksWhileReadIsAFailureNotAShortBlock) {
    TempDir dir;
    writeFile(dir.file("a.xgl"), patterned(100000));
    FileInputStream stream;
    ASSERT_TRUE(stream.open(dir.file("a.xgl").c_str(), nullptr));
    ASSERT_TRUE(truncateFile(dir.file("a.xgl"), 1000));
    RecordingSink sink;
    bool more = false;
    std::uint32_t length = 0;
    const std::uint8_t* data = nullptr;
    EXPECT_FALSE(stream.read(more, length, data, &sink));
    EXPECT_EQ(sink.errors, std::vector<std::string>{"ReadFile did not return enough bytes"});
}

TEST(FileStream, KnowsItsLastWriteTime) {
    TempDir dir;
    writeFile(dir.file("a.xgl"), "x");
    FileInputStream stream;
    ASSERT_TRUE(stream.open(dir.file("a.xgl").c_str(), nullptr));
    std::int64_t time = 0;
    ASSERT_TRUE(stream.lastWriteTime(time));
    EXPECT_GT(time, std::int64_t{1500000000} * 1000000000);
}

std::unique_ptr<InflateInputStream> inflating(const TempDir& dir, const std::string& bytes) {
    writeFile(dir.file("a.zgl"), bytes);
    auto file = std::make_unique<FileInputStream>();
    if (!file->open(dir.file("a.zgl").c_str(), nullptr)) return nullptr;
    return std::make_unique<InflateInputStream>(std::move(file));
}

struct InflateCase {
    const char* name;
    std::size_t plainSize;
    std::string trailer;  // bytes after the zlib stream
};

class InflateRoundTrip : public ::testing::TestWithParam<InflateCase> {};

TEST_P(InflateRoundTrip, GivesBackEveryByteAndStopsAtTheEndMarker) {
    TempDir dir;
    // Highly compressible text: one compressed block inflates to many output blocks.
    const std::string plain = GetParam().plainSize > 1000 ? std::string(GetParam().plainSize, 'x')
                                                          : patterned(GetParam().plainSize);
    auto stream = inflating(dir, deflateText(plain) + GetParam().trailer);
    ASSERT_TRUE(stream);
    bool ok = false;
    std::vector<Block> blocks;
    EXPECT_EQ(drain(*stream, &blocks, &ok), plain);
    EXPECT_TRUE(ok);
    EXPECT_FALSE(blocks.back().more);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InflateRoundTrip,
    ::testing::Values(InflateCase{"empty", 0, ""}, InflateCase{"small", 700, ""},
                      InflateCase{"manyBlocks", 5000000, ""},
                      InflateCase{"garbageAfterEnd", 300000, "GARBAGE!"},
                      InflateCase{"secondStreamAfterEnd", 700, deflateText("<world/>")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InflateStream, NotZlibDataFailsOnTheFirstRead) {
    TempDir dir;
    auto stream = inflating(dir, "<world></world> is plain text, not zlib data");
    RecordingSink sink;
    bool ok = true;
    drain(*stream, nullptr, &ok, &sink);
    EXPECT_FALSE(ok);
    EXPECT_EQ(sink.errors, std::vector<std::string>{"ZLIB could not inflate data"});
}

TEST(InflateStream, ATruncatedStreamEndsWithWhatItHoldsAndWithoutHanging) {
    TempDir dir;
    const std::string plain = patterned(400000);
    const std::string packed = deflateText(plain, 1);
    auto stream = inflating(dir, packed.substr(0, packed.size() / 2));
    bool ok = false;
    const std::string got = drain(*stream, nullptr, &ok);
    EXPECT_TRUE(ok);
    EXPECT_GT(got.size(), 0u);
    EXPECT_LT(got.size(), plain.size());
    EXPECT_EQ(got, plain.substr(0, got.size()));
}

TEST(InflateStream, AStreamThatWantsAPresetDictionaryIsAnError) {
    TempDir dir;
    z_stream z{};
    ASSERT_EQ(deflateInit(&z, Z_DEFAULT_COMPRESSION), Z_OK);
    const char dictionary[] = "world object mesh";
    deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary), sizeof dictionary - 1);
    std::string plain = "<world><object><mesh/></object></world>";
    std::string out(256, '\0');
    z.next_in = reinterpret_cast<Bytef*>(plain.data());
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);

    auto stream = inflating(dir, out);
    RecordingSink sink;
    bool ok = true;
    drain(*stream, nullptr, &ok, &sink);
    EXPECT_FALSE(ok);
    EXPECT_EQ(sink.errors, std::vector<std::string>{"ZLIB could not inflate data"});
}

TEST(DocumentStream, ChoosesTheChainByExtensionInAnyLetterCase) {
    TempDir dir;
    const std::string xml = "<world/>";
    writeFile(dir.file("plain.XgL"), xml);
    writeFile(dir.file("packed.ZGL"), deflateText(xml));
    writeFile(dir.file("other.xml"), xml);
    bool ok = false;
    auto plain = openDocumentStream(dir.file("plain.XgL").c_str(), nullptr);
    ASSERT_TRUE(plain);
    EXPECT_EQ(drain(*plain, nullptr, &ok), xml);
    auto packed = openDocumentStream(dir.file("packed.ZGL").c_str(), nullptr);
    ASSERT_TRUE(packed);
    EXPECT_EQ(drain(*packed, nullptr, &ok), xml);
    EXPECT_FALSE(openDocumentStream(dir.file("other.xml").c_str(), nullptr));
    EXPECT_FALSE(openDocumentStream(dir.file("missing.xgl").c_str(), nullptr));
}

}  // namespace
}  // namespace tessaro
