// The 3D stream writer: its bytes against a stream laid out by hand from the format's
// rules, the face list's sample size at its limits, what it refuses, and a package of a
// sheet and a model read back whole, extents included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dwf/dwf_document.h"
#include "dwf/w2d_writer.h"
#include "dwf/w3d_reader.h"
#include "dwf/w3d_scene.h"
#include "dwf/w3d_writer.h"

namespace plotwick {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Layout {
    Bytes bytes;
    Layout& u8(unsigned value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
        return *this;
    }
    Layout& i32(std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            u8(value >> (8 * i) & 0xFF);
        return *this;
    }
    Layout& f32(float value) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, 4);
        return i32(bits);
    }
    Layout& text(const std::string& value) {
        bytes.insert(bytes.end(), value.begin(), value.end());
        return *this;
    }
};

const std::vector<float> kTrianglePoints = {0, 0, 0, 2, 0, 0, 0, 3, 0};
const std::vector<std::uint32_t> kOneTriangle = {0, 1, 2};
// Turned a quarter about z, doubled, moved by (10, 20, 30).
const W3dMatrix kPlacement{0, 2, 0, 0, -2, 0, 0, 0, 0, 0, 2, 0, 10, 20, 30, 1};

TEST(W3dWriter, OneTriangleIsTheStreamLaidOutByHand) {
    W3dWriter writer;
    writer.openSegment("?Include Library/t");
    writer.faceColour({1.0f, 0.5f, 0.0f});
    ASSERT_TRUE(writer.shell(kTrianglePoints, kOneTriangle));
    writer.closeSegment();
    writer.openSegment("");
    writer.matrix(kPlacement);
    writer.include("?Include Library/t");
    writer.closeSegment();
    writer.end();

    Layout expected;
    expected.text(";; HSF V11.70 \n");                     // header comment, to the LF
    expected.u8('I').i32(0);                               // file info
    expected.u8('(').u8(18).text("?Include Library/t");    // open a library segment
    expected.u8('~').u8(0x01).u8(0xFF).u8(0x80).u8(0x00);  // faces: rgb bytes
    expected.u8('S').u8(0x10).u8(0);                       // new shell, full detail
    expected.i32(3);                                       // raw points: count, xyz
    for (float p : kTrianglePoints)
        expected.f32(p);
    expected.u8(1).i32(5).u8(8).u8(3).u8(0).u8(1).u8(2);  // face list, 8-bit samples
    expected.u8(')');
    expected.u8('(').u8(0);  // anonymous instance
    expected.u8('%');        // 12 floats: 3 per row
    for (float m : {0.f, 2.f, 0.f, -2.f, 0.f, 0.f, 0.f, 0.f, 2.f, 10.f, 20.f, 30.f})
        expected.f32(m);
    expected.u8('<').u8(18).text("?Include Library/t");
    expected.u8(')').u8(0x00);  // termination
    ASSERT_EQ(writer.bytes(), expected.bytes);

    const W3dModel model = internal::evaluateW3d(internal::readW3d(writer.bytes()));
    EXPECT_EQ(model.message, "");
    ASSERT_EQ(model.sets.size(), 1u);
    EXPECT_EQ(model.triangleCount, 1u);
    EXPECT_EQ(model.meshes[0].triangles, kOneTriangle);
    EXPECT_EQ(model.sets[0].matrix, kPlacement);
    ASSERT_TRUE(model.sets[0].colour);
    EXPECT_EQ(*model.sets[0].colour, (std::array<float, 3>{1.0f, 128 / 255.0f, 0.0f}));
    // (2, 0, 0) goes to (10, 24, 30), (0, 3, 0) to (4, 20, 30).
    W3dExtents extents;
    extents.add(*boxOfPoints(kTrianglePoints), asWritten(kPlacement));
    EXPECT_EQ(extents.box(), (W3dBox{4, 20, 30, 10, 24, 30}));
    EXPECT_EQ(model.conservativeBox, extents.box());
}

// A grid of `count` points whose last triangle uses the last point.
std::vector<float> pointsInARow(std::size_t count) {
    std::vector<float> points(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        points[3 * i] = static_cast<float>(i % 1000);
        points[3 * i + 1] = static_cast<float>(i / 1000);
    }
    return points;
}

TEST(W3dWriter, FaceSamplesWidenWithThePointCountAndReadBack) {
    const struct {
        std::size_t points;
        unsigned bits;
    } rows[] = {{3, 8}, {256, 8}, {257, 16}, {65536, 16}, {65537, 32}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.points);
        const std::vector<float> points = pointsInARow(row.points);
        const auto last = static_cast<std::uint32_t>(row.points - 1);
        const std::vector<std::uint32_t> triangles = {0, 1, 2, last, 0, last - 1};
        W3dWriter writer;
        writer.openSegment("");
        ASSERT_TRUE(writer.shell(points, triangles));
        writer.closeSegment();
        writer.end();
        // Header 15 + I 5, ( 2, S sub lod 3, count 4, the points, then the face scheme
        // and the list's length.
        const std::size_t lengthAt = 15 + 5 + 2 + 3 + 4 + points.size() * 4 + 1;
        const Bytes& bytes = writer.bytes();
        std::uint32_t length = 0;
        std::memcpy(&length, &bytes[lengthAt], 4);
        EXPECT_EQ(length, 1 + 2 * 4 * row.bits / 8);
        EXPECT_EQ(bytes[lengthAt + 4], row.bits);
        const internal::W3dStream stream = internal::readW3d(bytes);
        EXPECT_EQ(stream.message, "");
        ASSERT_EQ(stream.meshes.size(), 1u);
        EXPECT_EQ(stream.meshes[0].triangles, triangles);
        EXPECT_EQ(stream.meshes[0].points, points);
    }
}

TEST(W3dWriter, RefusesWhatTheFormatCannotCarryAndWritesNothingThen) {
    W3dWriter writer;
    const Bytes start = writer.bytes();
    EXPECT_FALSE(writer.shell(kTrianglePoints, std::vector<std::uint32_t>{0, 1, 3}));
    EXPECT_FALSE(writer.shell(kTrianglePoints, std::vector<std::uint32_t>{0, 1}));
    EXPECT_FALSE(writer.shell(std::vector<float>{0, 0}, {}));
    EXPECT_FALSE(writer.openSegment(std::string(256, 'a')));
    EXPECT_FALSE(writer.include(""));
    EXPECT_EQ(writer.bytes(), start);
}

// A package with a sheet and a model side by side reads back as both; its extents are
// the writer's, and the reader's own box of the decoded model agrees with them.
TEST(W3dWriter, APackageCarriesASheetAndAModelWithItsExtents) {
    W3dWriter writer;
    writer.openSegment("?Include Library/t");
    writer.faceColour({0.2f, 0.4f, 0.6f});
    ASSERT_TRUE(writer.shell(kTrianglePoints, kOneTriangle));
    writer.closeSegment();
    W3dExtents extents;
    for (const W3dMatrix& matrix : {kW3dIdentity, kPlacement}) {
        writer.openSegment("");
        writer.matrix(matrix);
        writer.include("?Include Library/t");
        writer.closeSegment();
        extents.add(*boxOfPoints(kTrianglePoints), asWritten(matrix));
    }
    writer.end();
    W2dWriter sheet;
    sheet.view({{0, 0}, {100, 100}});
    sheet.end();
    const PackageSheet sheets[] = {{"Gear",
                                    {false, 11, 8.5},
                                    {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
                                    sheet.bytes()}};
    const PackageModel models[] = {{"Gear & co", writer.bytes(), extents.box()}};
    const std::string path =
        (std::filesystem::temp_directory_path() / "w3d_writer_test_package.dwf").string();
    std::string error;
    ASSERT_TRUE(writeDwfPackage(path, sheets, models, error)) << error;
    const DwfDocument document = readDwfFile(path);
    std::filesystem::remove(path);
    EXPECT_EQ(document.message, "");
    ASSERT_EQ(document.sheets.size(), 1u);
    ASSERT_EQ(document.models.size(), 1u);
    const W3dModel& model = document.models[0];
    EXPECT_EQ(model.title, "Gear & co");
    EXPECT_EQ(model.message, "");
    EXPECT_EQ(model.triangleCount, 2u);
    EXPECT_EQ(model.extents, (W3dBox{0, 0, 0, 10, 24, 30}));
    EXPECT_EQ(model.conservativeBox, model.extents);
    EXPECT_EQ(model.fitBox, model.extents);
}

}  // namespace
}  // namespace plotwick
