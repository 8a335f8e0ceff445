// Small DWF packages that ask the package layer for a great deal of memory or work:
// entries that declare far more bytes than they hold, one entry named by many
// sections or under many names. Each is written to a file and opened as Plotwick
// opens it; it must end quickly, in little memory, with a clear message per sheet.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "../peak_growth.h"
#include "dwf/dwf_document.h"
#include "dwf/w3d_shell.h"
#include "dwf/xml_starts.h"
#include "dwf/zip_reader.h"
#include "sample_streams.h"

namespace plotwick {
namespace {

using Bytes = std::vector<std::uint8_t>;

void put(Bytes& out, std::uint64_t value, int size) {
    for (int i = 0; i < size; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// One directory record; several may point at the same local header.
struct Name {
    std::string name;
    std::size_t body;        // index into the bodies
    std::size_t header = 0;  // which of the body's local headers
};

// An entry's bytes as stored, and what its headers claim about them. A body may sit
// behind several local headers, each inside the extra field of the one before, so that
// entries at different offsets share its bytes.
struct Body {
    Bytes stored;
    std::uint16_t method;
    std::uint32_t declaredSize;
    std::uint32_t crc;
    std::size_t headers = 1;
    std::uint32_t claimedStored = 0;  // the directory's compressed size, when not the true one
};

Body deflated(const std::string& text) {
    Bytes out(compressBound(static_cast<uLong>(text.size())) + 16);
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
    return {out, 8, static_cast<std::uint32_t>(text.size()), crc};
}

constexpr std::size_t kLocalHeader = 31;  // 30 fixed bytes and a one-letter name

// The body's local headers and its bytes; the offsets of the headers go to `offsets`.
void putBody(Bytes& out, std::size_t zipStart, const Body& body,
             std::vector<std::uint32_t>& offsets) {
    for (std::size_t h = 0; h < body.headers; ++h) {
        offsets.push_back(static_cast<std::uint32_t>(out.size() - zipStart));
        const std::size_t extra = kLocalHeader * (body.headers - 1 - h);
        put(out, 0x04034b50, 4), put(out, 20, 2), put(out, 0, 2), put(out, body.method, 2);
        put(out, 0, 4), put(out, body.crc, 4), put(out, body.stored.size(), 4);
        put(out, body.declaredSize, 4), put(out, 1, 2), put(out, extra, 2), put(out, 'x', 1);
    }
    out.insert(out.end(), body.stored.begin(), body.stored.end());
}

// A package: the header, the bodies behind their local headers, the directory of `names`.
Bytes package(const std::vector<Body>& bodies, const std::vector<Name>& names) {
    Bytes out;
    for (char c : std::string("(DWF V06.00)"))
        out.push_back(static_cast<std::uint8_t>(c));
    const std::size_t zipStart = out.size();
    std::vector<std::vector<std::uint32_t>> offsets(bodies.size());
    for (std::size_t b = 0; b < bodies.size(); ++b)
        putBody(out, zipStart, bodies[b], offsets[b]);
    const std::size_t directoryStart = out.size();
    for (const Name& name : names) {
        const Body& body = bodies[name.body];
        const std::size_t stored =
            body.claimedStored != 0 ? body.claimedStored : body.stored.size();
        put(out, 0x02014b50, 4), put(out, 20, 2), put(out, 20, 2), put(out, 0, 2);
        put(out, body.method, 2), put(out, 0, 4), put(out, body.crc, 4);
        put(out, stored, 4), put(out, body.declaredSize, 4);
        put(out, name.name.size(), 2), put(out, 0, 4), put(out, 0, 4), put(out, 0, 4);
        put(out, offsets[name.body][name.header], 4);
        out.insert(out.end(), name.name.begin(), name.name.end());
    }
    const std::size_t directorySize = out.size() - directoryStart;
    put(out, 0x06054b50, 4), put(out, 0, 4), put(out, names.size(), 2), put(out, names.size(), 2);
    put(out, directorySize, 4), put(out, directoryStart - zipStart, 4);
    put(out, 0, 2);
    return out;
}

// `sections` ePlot sections, section i naming the stream hrefs[i % hrefs.size()].
std::string manifest(int sections, const std::vector<std::string>& hrefs) {
    std::string text = "<dwf:Manifest xmlns:dwf='x'><dwf:Sections>";
    for (int i = 0; i < sections; ++i) {
        text += "<dwf:Section type='com.autodesk.dwf.ePlot' title='S" + std::to_string(i) +
                "'><dwf:Resources><dwf:Resource role='2d streaming graphics' href='" +
                hrefs[static_cast<std::size_t>(i) % hrefs.size()] +
                "'/></dwf:Resources></dwf:Section>";
    }
    return text + "</dwf:Sections></dwf:Manifest>";
}

// The package of the review: a 2-byte body that declares 512 MiB, named by 8 sections.
Bytes declaresFarMoreThanItHolds() {
    Body bomb{{0x03, 0x00}, 8, 512u << 20, 0};
    return package({deflated(manifest(8, {"s.w2d"})), bomb}, {{"manifest.xml", 0}, {"s.w2d", 1}});
}

// A stream of 16 MiB of blanks: about 16 KB deflated.
std::string blankStream() {
    return "(W2D V06.00)" + std::string(16u << 20, ' ');
}

// A genuine 1000:1 body named by 64 sections.
Bytes oneBombNamedBySixtyFourSections() {
    return package({deflated(manifest(64, {"s.w2d"})), deflated(blankStream())},
                   {{"manifest.xml", 0}, {"s.w2d", 1}});
}

// `count` sections naming `count` entries of the bomb: under one local header with
// many names, or behind as many local headers.
Bytes oneBombUnderManyEntries(std::size_t count, bool headerPerName) {
    Body bomb = deflated(blankStream());
    bomb.headers = headerPerName ? count : 1;
    std::vector<Name> names{{"manifest.xml", 0}};
    std::vector<std::string> hrefs;
    for (std::size_t i = 0; i < count; ++i) {
        hrefs.push_back("s" + std::to_string(i) + ".w2d");
        names.push_back({hrefs.back(), 1, headerPerName ? i : 0});
    }
    return package({deflated(manifest(static_cast<int>(count), hrefs)), bomb}, names);
}

// A directory that claims a body longer than the whole file.
Bytes bodyLongerThanTheFile() {
    Body body = deflated("(W2D V06.00)");
    body.claimedStored = 0x7f000000;
    return package({deflated(manifest(1, {"s.w2d"})), body}, {{"manifest.xml", 0}, {"s.w2d", 1}});
}

struct Case {
    const char* name;
    Bytes (*package)();
    std::string firstSheet;  // part of the first sheet's message; empty: drawn
    std::string lastSheet;   // part of the last sheet's message
};

const Case kCases[] = {
    {"DeclaresFarMoreThanItHolds", declaresFarMoreThanItHolds,
     "declares more bytes than its compressed bytes can hold",
     "declares more bytes than its compressed bytes can hold"},
    {"OneBombNamedBySixtyFourSections", oneBombNamedBySixtyFourSections, "",
     "names the stream s.w2d again; each entry of a package is read once"},
    {"OneBombUnderSixtyFourNames", [] { return oneBombUnderManyEntries(64, false); }, "",
     "names the stream s63.w2d again; each entry of a package is read once"},
    {"OneBombBehindSixtyFourHeaders", [] { return oneBombUnderManyEntries(64, true); }, "",
     "s63.w2d would inflate the package to more than 1032 times its size"},
    {"BodyLongerThanTheFile", bodyLongerThanTheFile, "is damaged", "is damaged"},
};

using test_support::PeakGrowth;

class HostilePackages : public ::testing::TestWithParam<Case> {};

// The package written to a file and opened as Plotwick opens one, with what it took.
struct MeasuredRead {
    DwfDocument document;
    double seconds = 0;
    std::uint64_t growth = 0;  // bytes of peak memory
};

MeasuredRead readMeasured(const char* name, const Bytes& bytes) {
    const std::string path = test::scratchPath(std::string(name) + ".dwf");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    const PeakGrowth memory;
    const auto start = std::chrono::steady_clock::now();
    MeasuredRead read{readDwfFile(path)};
    read.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    read.growth = memory.bytes();
    return read;
}

TEST_P(HostilePackages, EndQuicklyInLittleMemoryWithAMessagePerSheet) {
    const Case& c = GetParam();
    const MeasuredRead read = readMeasured(c.name, c.package());
    const DwfDocument& document = read.document;

    ASSERT_FALSE(document.sheets.empty()) << document.message;
    const std::string& first = document.sheets.front().graphics.message;
    const std::string& last = document.sheets.back().graphics.message;
    if (c.firstSheet.empty()) {  // read: whatever the stream says, the package allowed it
        EXPECT_EQ(first.find("package"), std::string::npos) << first;
        EXPECT_EQ(first.find("manifest"), std::string::npos) << first;
    } else {
        EXPECT_NE(first.find(c.firstSheet), std::string::npos) << first;
    }
    EXPECT_NE(last.find(c.lastSheet), std::string::npos) << last;
    EXPECT_LT(read.seconds, 5.0);
    EXPECT_LT(read.growth, std::uint64_t{256} << 20);
}

INSTANTIATE_TEST_SUITE_P(Packages, HostilePackages, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Packages whose few bytes ask the model reader or the manifest for far more: shapes
// the reader tessellates or unpacks from a compressed part of a 3D stream, sections
// listed by the hundred thousand, entities that expand into them.
void putFloats(Bytes& out, std::initializer_list<float> values) {
    for (float value : values) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, 4);
        put(out, bits, 4);
    }
}

Body stored(const Bytes& bytes) {
    const auto crc =
        static_cast<std::uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
    return {bytes, 0, static_cast<std::uint32_t>(bytes.size()), crc};
}

// A 3D stream of `count` copies of `shape` in one compressed part, then `tail` in it.
Bytes compressedStream(const Bytes& shape, std::size_t count, const Bytes& tail = {}) {
    Bytes plain;
    for (std::size_t i = 0; i < count; ++i)
        plain.insert(plain.end(), shape.begin(), shape.end());
    plain.insert(plain.end(), tail.begin(), tail.end());
    plain.push_back('z');
    uLongf size = compressBound(static_cast<uLong>(plain.size()));
    Bytes packed(size);
    compress2(packed.data(), &size, plain.data(), static_cast<uLong>(plain.size()), 9);
    const std::string header = ";; HSF V11.70 \n";
    Bytes stream(header.begin(), header.end());
    stream.push_back('Z');
    stream.insert(stream.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(size));
    stream.push_back(0x00);
    return stream;
}

Bytes modelPackage(const Bytes& stream) {
    const std::string text =
        "<dwf:Manifest xmlns:dwf='x'><dwf:Sections><dwf:Section type='com.autodesk.dwf.eModel' "
        "title='M'><dwf:Resources><dwf:Resource role='3d streaming graphics' href='m.w3d'/>"
        "</dwf:Resources></dwf:Section></dwf:Sections></dwf:Manifest>";
    return package({deflated(text), stored(stream)}, {{"manifest.xml", 0}, {"m.w3d", 1}});
}

// The review's sphere opcode: 18 bytes, 325 vertices.
Bytes spheres() {
    Bytes sphere{0x1A, 0x01};
    putFloats(sphere, {0, 0, 0, 1});
    return modelPackage(compressedStream(sphere, 58000));
}

Bytes cappedCylinders() {
    Bytes cylinder{'Y'};
    putFloats(cylinder, {0, 0, 0, 0, 0, 1, 1});
    cylinder.push_back(0x03);
    return modelPackage(compressedStream(cylinder, 100000));
}

// One shell of three points whose faces name them 255 times over: 253 triangles a
// 256-byte face, 16 MiB of faces.
Bytes shellOfLongFaces() {
    Bytes faces{8};
    for (int face = 0; face < (1 << 16); ++face) {
        faces.push_back(255);
        faces.insert(faces.end(), 255, 0);
    }
    Bytes shell{'S', 0x10, 0x00};
    put(shell, 3, 4);
    putFloats(shell, {0, 0, 0, 1, 0, 0, 0, 1, 0});
    shell.push_back(0);
    put(shell, faces.size(), 4);
    shell.insert(shell.end(), faces.begin(), faces.end());
    return modelPackage(compressedStream(shell, 1));
}

// A 4096 x 4096 mesh of one-bit points (6 MiB), and a comment after it long enough for
// the mesh's claim of more bytes than points to hold.
Bytes meshOfOneBitPoints() {
    constexpr std::uint32_t side = 4096, count = side * side;
    Bytes mesh{'M', 0x01};
    put(mesh, side, 4), put(mesh, side, 4);
    mesh.push_back(1);
    put(mesh, count, 4);
    putFloats(mesh, {0, 0, 0, 1, 1, 1});
    mesh.push_back(1);
    put(mesh, count * 3 / 8, 4);
    mesh.insert(mesh.end(), count * 3 / 8, 0x55);
    Bytes comment{';'};
    comment.insert(comment.end(), count, 'x');
    comment.push_back('\n');
    return modelPackage(compressedStream(mesh, 1, comment));
}

Bytes manifestPackage(const std::string& text) {
    return package({deflated(text)}, {{"manifest.xml", 0}});
}

Bytes quarterMillionSections() {
    std::string text = "<M>";
    for (int i = 0; i < 250000; ++i)
        text += "<Section type='com.autodesk.dwf.ePlot'/>";
    return manifestPackage(text + "</M>");
}

// The review's manifest: 100,000 sections from 1000 references to nested entities.
Bytes entitiesOfSections() {
    std::string text =
        "<!DOCTYPE M [<!ENTITY s \"<Section type='com.autodesk.dwf.ePlot'/>\">"
        "<!ENTITY t \"&s;&s;&s;&s;&s;&s;&s;&s;&s;&s;\">"
        "<!ENTITY u \"&t;&t;&t;&t;&t;&t;&t;&t;&t;&t;\">]><M>";
    for (int i = 0; i < 1000; ++i)
        text += "&u;";
    return manifestPackage(text + "</M>");
}

struct Overreach {
    const char* name;
    Bytes (*package)();
    std::string message;  // part of the document's or a model's message
};

const Overreach kOverreaches[] = {
    {"Spheres", spheres, "opcode 0x1A at byte"},
    {"CappedCylinders", cappedCylinders, "opcode 0x59 ('Y') at byte"},
    {"ShellOfLongFaces", shellOfLongFaces, "opcode 0x53 ('S') at byte 0"},
    {"MeshOfOneBitPoints", meshOfOneBitPoints, "opcode 0x4D ('M') at byte 0"},
    {"QuarterMillionSections", quarterMillionSections, "more than 10000 sections"},
    {"EntitiesOfSections", entitiesOfSections, "document type declaration"},
};

class OverreachingPackages : public ::testing::TestWithParam<Overreach> {};

TEST_P(OverreachingPackages, StopQuicklyInLittleMemoryWithAMessage) {
    const Overreach& c = GetParam();
    const MeasuredRead read = readMeasured(c.name, c.package());
    const DwfDocument& document = read.document;

    std::string messages = document.message;
    for (const W3dModel& model : document.models)
        messages += " | " + model.message;
    EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    EXPECT_TRUE(c.message.starts_with("opcode") ==
                (messages.find(internal::kGeometrySpent) != std::string::npos))
        << messages;
    EXPECT_LT(read.seconds, 2.0);
    EXPECT_LT(read.growth, std::uint64_t{128} << 20);
}

INSTANTIATE_TEST_SUITE_P(Packages, OverreachingPackages, ::testing::ValuesIn(kOverreaches),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ZipReader, RefusesWhatCannotBeKnownSafeBeforeAllocating) {
    const Body small = deflated("payload");
    Body impossible = small;
    impossible.declaredSize = static_cast<std::uint32_t>(small.stored.size() * 1032 + 1);
    Body stored{{'a', 'b'}, 0, 3, 0};
    const Bytes bytes =
        package({small, impossible, stored}, {{"a", 0}, {"b", 0}, {"c", 1}, {"d", 2}});
    const internal::ZipReader zip(std::span<const std::uint8_t>(bytes).subspan(12));
    using P = internal::ZipReader::Problem;
    struct Row {
        const char* name;
        P problem;
    };
    for (const Row& row :
         {Row{"a", P::none}, Row{"a", P::readBefore}, Row{"b", P::readBefore},
          Row{"c", P::impossible}, Row{"d", P::impossible}, Row{"e", P::missing}}) {
        P problem = P::none;
        const auto read = zip.read(row.name, 1 << 20, &problem);
        EXPECT_EQ(problem, row.problem) << row.name;
        EXPECT_EQ(read.has_value(), row.problem == P::none) << row.name;
    }
}

TEST(XmlStarts, AnExceptionInTheHandlerStopsTheParseInsteadOfCrossingExpat) {
    std::string error;
    int starts = 0;
    const bool read = internal::readXmlStarts(
        "<a><b/><c/></a>",
        [&](const std::string&, const internal::XmlAttributes&) {
            if (++starts == 2) throw std::bad_alloc();
        },
        error);
    EXPECT_FALSE(read);
    EXPECT_EQ(starts, 2);
    EXPECT_EQ(error, "out of memory at line 1");
}

}  // namespace
}  // namespace plotwick
