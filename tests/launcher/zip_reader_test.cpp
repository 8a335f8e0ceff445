// The ZIP reader over inflate, which every platform uses: packages as minizip writes
// them, archives written by hand for the cases minizip does not write, and damage, which
// must give nothing rather than wrong bytes and never read outside the data.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "dwf/zip_reader.h"
#include "sample_streams.h"

namespace plotwick {
namespace {

using internal::ZipReader;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kLimit = 1 << 20;

struct HandEntry {
    std::string name;
    std::string data;
    std::uint16_t flags = 0;
};

void put(Bytes& out, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Stored entries; offsets count from the archive's own start, after `prefix`.
Bytes storedArchive(const std::vector<HandEntry>& entries, const std::string& prefix = "",
                    const std::string& comment = "") {
    Bytes archive, directory;
    for (const HandEntry& entry : entries) {
        const auto crc =
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(entry.data.data()),
                                             static_cast<uInt>(entry.data.size())));
        const auto size = static_cast<std::uint32_t>(entry.data.size());
        const auto offset = static_cast<std::uint32_t>(archive.size());
        put(archive, 0x04034b50, 4), put(archive, 20, 2), put(archive, entry.flags, 2);
        put(archive, 0, 2), put(archive, 0, 4), put(archive, crc, 4), put(archive, size, 4);
        put(archive, size, 4), put(archive, entry.name.size(), 2), put(archive, 0, 2);
        archive.insert(archive.end(), entry.name.begin(), entry.name.end());
        archive.insert(archive.end(), entry.data.begin(), entry.data.end());
        put(directory, 0x02014b50, 4), put(directory, 20, 2), put(directory, 20, 2);
        put(directory, entry.flags, 2), put(directory, 0, 2), put(directory, 0, 4);
        put(directory, crc, 4), put(directory, size, 4), put(directory, size, 4);
        put(directory, entry.name.size(), 2), put(directory, 0, 4), put(directory, 0, 4);
        put(directory, 0, 4), put(directory, offset, 4);
        directory.insert(directory.end(), entry.name.begin(), entry.name.end());
    }
    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive.insert(archive.end(), directory.begin(), directory.end());
    put(archive, 0x06054b50, 4), put(archive, 0, 4), put(archive, entries.size(), 2);
    put(archive, entries.size(), 2), put(archive, directory.size(), 4);
    put(archive, directoryOffset, 4), put(archive, comment.size(), 2);
    archive.insert(archive.end(), comment.begin(), comment.end());
    archive.insert(archive.begin(), prefix.begin(), prefix.end());
    return archive;
}

std::string textOf(const std::optional<Bytes>& bytes) {
    return bytes ? std::string(bytes->begin(), bytes->end()) : "(nothing)";
}

TEST(ZipReader, ReadsDeflatedPackageEntriesByNameWithEitherSlashAndAnyCase) {
    const std::string stream(5000, 'x');
    const Bytes package =
        test::packageWithEntries({{"a.TYPEINFO", ""}, {"Sec\\Sheet.w2d", stream}});
    const ZipReader zip(package);
    ASSERT_TRUE(zip.isOpen());
    EXPECT_EQ(textOf(zip.read("sec/SHEET.w2d", kLimit)), stream);
    EXPECT_EQ(textOf(zip.read("a.typeinfo", kLimit)), "");
    EXPECT_FALSE(zip.read("sec/other.w2d", kLimit));
    EXPECT_FALSE(zip.read("sec/sheet.w2d", stream.size() - 1)) << "the limit is not kept";
}

TEST(ZipReader, FindsAnArchiveAfterForeignBytesAndBeforeItsComment) {
    const Bytes archive =
        storedArchive({{"one.txt", "first"}, {"two.txt", "second"}}, std::string(100, '#'), "note");
    const ZipReader zip(archive);
    ASSERT_TRUE(zip.isOpen());
    EXPECT_EQ(textOf(zip.read("two.txt", kLimit)), "second");
    EXPECT_EQ(textOf(zip.read("one.txt", kLimit)), "first");
}

TEST(ZipReader, DamagedOrEncryptedEntriesGiveNothing) {
    Bytes stored = storedArchive({{"a.txt", "payload"}});
    stored[30 + 5 + 2] ^= 0x20;  // a byte of the data, after the header and the name
    EXPECT_FALSE(ZipReader(stored).read("a.txt", kLimit)) << "CRC mismatch handed out";

    EXPECT_FALSE(ZipReader(storedArchive({{"a.txt", "payload", 1}})).read("a.txt", kLimit));

    const std::string text(4000, 'y');
    Bytes deflated = test::packageWithEntries({{"a.txt", text}});
    deflated[12 + 30 + 5 + 3] ^= 0xff;
    EXPECT_FALSE(ZipReader(deflated).read("a.txt", kLimit));
}

TEST(ZipReader, EveryTruncationIsRefusedOrReadsWholeEntries) {
    const Bytes package = test::packageWithEntries({{"m.xml", "<m/>"}, {"s.w2d", "stream"}});
    for (std::size_t length = 0; length < package.size(); ++length) {
        const ZipReader zip(std::span(package.data(), length));
        EXPECT_FALSE(zip.isOpen()) << "open after cutting to " << length << " bytes";
        EXPECT_FALSE(zip.read("m.xml", kLimit));
    }
    EXPECT_EQ(textOf(ZipReader(package).read("s.w2d", kLimit)), "stream");
}

}  // namespace
}  // namespace plotwick
