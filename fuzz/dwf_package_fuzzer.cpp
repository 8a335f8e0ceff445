// Fuzzes the layers of a DWF 6 package behind its checksums: the input holds the
// manifest, a descriptor and two 2D graphics streams as plain parts, and the target
// builds the ZIP package around them itself, with true CRCs and sizes, so that a
// mutated manifest or stream reaches the XML and stream readers instead of failing its
// CRC. A flag may replace an entry's declared size, so the size checks are fuzzed too.
//
// Input layout:
//   byte 0      flags: bits 0-3 store part 0-3 instead of deflating it; bit 4 declares
//               the size in bytes 1-4 (little endian) for the first stream; bit 5 adds
//               a second directory name for the first stream ("sec/alias.w2d")
//   bytes 1-4   that declared size
//   the rest    the parts, separated by kSeparator: manifest.xml, sec/descriptor.xml,
//               sec/sheet.w2d, sec2/sheet.w2d (missing parts are left out)
//
// Besides the sanitizers: the package reader must hand out each part exactly as it
// went in (unless its size was falsified), and the document keeps the contract of
// dwf_contract.h.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "dwf/dwf_document.h"
#include "dwf/zip_reader.h"
#include "dwf_contract.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kSeparator = "\n@@@\n";
constexpr const char* kNames[] = {"manifest.xml", "sec/descriptor.xml", "sec/sheet.w2d",
                                  "sec2/sheet.w2d"};
constexpr std::size_t kParts = 4;
constexpr std::size_t kFirstStream = 2;
constexpr std::uint8_t kFalseSize = 1 << 4;
constexpr std::uint8_t kAlias = 1 << 5;

struct Part {
    std::string name;
    std::string_view text;
    bool stored;
    Bytes body;
    std::uint32_t crc = 0;
    std::uint32_t declared = 0;
    std::uint32_t offset = 0;
};

void put(Bytes& out, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

Bytes deflateRaw(std::string_view text) {
    Bytes out(compressBound(static_cast<uLong>(text.size())) + 64);
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::vector<std::string_view> splitParts(std::string_view rest) {
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < kParts) {
        const std::size_t at = rest.find(kSeparator);
        if (at == std::string_view::npos) break;
        parts.push_back(rest.substr(0, at));
        rest.remove_prefix(at + kSeparator.size());
    }
    parts.push_back(rest);
    return parts;
}

void putLocal(Bytes& out, Part& part) {
    part.offset = static_cast<std::uint32_t>(out.size() - 12);
    const std::uint16_t method = part.stored ? 0 : 8;
    put(out, 0x04034b50, 4), put(out, 20, 2), put(out, 0, 2), put(out, method, 2);
    put(out, 0, 4), put(out, part.crc, 4), put(out, part.body.size(), 4);
    put(out, part.declared, 4), put(out, part.name.size(), 2), put(out, 0, 2);
    out.insert(out.end(), part.name.begin(), part.name.end());
    out.insert(out.end(), part.body.begin(), part.body.end());
}

void putDirectory(Bytes& out, const Part& part, const std::string& name) {
    const std::uint16_t method = part.stored ? 0 : 8;
    put(out, 0x02014b50, 4), put(out, 20, 2), put(out, 20, 2), put(out, 0, 2);
    put(out, method, 2), put(out, 0, 4), put(out, part.crc, 4), put(out, part.body.size(), 4);
    put(out, part.declared, 4), put(out, name.size(), 2), put(out, 0, 4), put(out, 0, 4);
    put(out, 0, 4), put(out, part.offset, 4);
    out.insert(out.end(), name.begin(), name.end());
}

Bytes buildPackage(std::vector<Part>& parts, bool alias) {
    Bytes out;
    for (char c : std::string_view("(DWF V06.00)"))
        out.push_back(static_cast<std::uint8_t>(c));
    for (Part& part : parts)
        putLocal(out, part);
    const std::size_t directory = out.size();
    std::size_t records = 0;
    for (const Part& part : parts) {
        putDirectory(out, part, part.name), ++records;
        if (alias && part.name == kNames[kFirstStream])
            putDirectory(out, part, "sec/alias.w2d"), ++records;
    }
    const std::size_t directorySize = out.size() - directory;
    put(out, 0x06054b50, 4), put(out, 0, 4), put(out, records, 2), put(out, records, 2);
    put(out, directorySize, 4), put(out, directory - 12, 4), put(out, 0, 2);
    return out;
}

std::vector<Part> makeParts(std::uint8_t flags, std::uint32_t falseSize, std::string_view rest) {
    std::vector<Part> parts;
    const std::vector<std::string_view> texts = splitParts(rest);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        Part part{kNames[i], texts[i], (flags >> i & 1) != 0, {}};
        if (part.stored) {
            part.body.assign(texts[i].begin(), texts[i].end());
        } else {
            part.body = deflateRaw(texts[i]);
        }
        part.crc =
            static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(texts[i].data()),
                                             static_cast<uInt>(texts[i].size())));
        part.declared = static_cast<std::uint32_t>(texts[i].size());
        if ((flags & kFalseSize) != 0 && i == kFirstStream) part.declared = falseSize;
        parts.push_back(std::move(part));
    }
    return parts;
}

// Each part whose size is true comes back as it went in, once.
void checkRoundTrip(const Bytes& package, const std::vector<Part>& parts) {
    const plotwick::internal::ZipReader zip(std::span<const std::uint8_t>(package).subspan(12));
    if (!zip.isOpen()) plotwick::fuzz::fail("a built package does not open", "");
    for (const Part& part : parts) {
        if (part.declared != part.text.size()) continue;
        const auto bytes = zip.read(part.name, std::size_t{1} << 30);
        if (!bytes || bytes->size() != part.text.size() ||
            (!part.text.empty() &&
             std::memcmp(bytes->data(), part.text.data(), part.text.size()))) {
            plotwick::fuzz::fail("an entry did not come back as written", part.name);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    const std::uint8_t flags = data[0];
    const std::uint32_t falseSize =
        data[1] | data[2] << 8 | data[3] << 16 | static_cast<std::uint32_t>(data[4]) << 24;
    const std::string_view rest(reinterpret_cast<const char*>(data + 5), size - 5);
    std::vector<Part> parts = makeParts(flags, falseSize, rest);
    const Bytes package = buildPackage(parts, (flags & kAlias) != 0);
    checkRoundTrip(package, parts);
    plotwick::fuzz::checkDocument(plotwick::readDwf(package));
    return 0;
}
