// The 3D stream reader: each decoding step on bytes laid out by hand from the format's
// rules (cascade codes, the m-table, the edgebreaker ops, dummies and patches, the
// predicted vertex values, a whole shell and a small stream), then the sample packages,
// which must decode to the figures their writers give.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "dwf/dwf_document.h"
#include "dwf/w3d_reader.h"
#include "dwf/w3d_scene.h"
#include "dwf/w3d_shell.h"

namespace plotwick::internal {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Bits most significant first into 32-bit little-endian words, as the format packs them.
class BitWriter {
  public:
    BitWriter& put(std::uint32_t value, unsigned width) {
        for (unsigned i = width; i-- > 0;)
            m_bits.push_back((value >> i) & 1);
        return *this;
    }
    // A cascade value written at its first width (it must fit below the escape).
    BitWriter& small(std::int64_t value) { return put(static_cast<std::uint32_t>(value + 1), 2); }
    BitWriter& large(std::int64_t value) {
        return put(static_cast<std::uint32_t>(value + 32767), 16);
    }
    Bytes bytes() const {
        Bytes out((m_bits.size() + 31) / 32 * 4, 0);
        for (std::size_t i = 0; i < m_bits.size(); ++i) {
            const std::size_t word = i / 32, bit = 31 - i % 32;
            if (m_bits[i]) out[word * 4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
        return out;
    }

  private:
    std::vector<int> m_bits;
};

struct ByteWriter {
    Bytes bytes;
    ByteWriter& u8(unsigned value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
        return *this;
    }
    ByteWriter& i32(std::int64_t value) {
        for (int i = 0; i < 4; ++i)
            u8(static_cast<std::uint32_t>(value) >> (8 * i) & 0xFF);
        return *this;
    }
    ByteWriter& f32(float value) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, 4);
        return i32(bits);
    }
    ByteWriter& text(const std::string& value) {
        bytes.insert(bytes.end(), value.begin(), value.end());
        return *this;
    }
    ByteWriter& str8(const std::string& value) { return u8(value.size()).text(value); }
    ByteWriter& raw(const Bytes& value) {
        bytes.insert(bytes.end(), value.begin(), value.end());
        return *this;
    }
    ByteWriter& pad4() {
        while (bytes.size() % 4)
            u8(0);
        return *this;
    }
};

struct CascadeRow {
    const char* name;
    Bytes bits;
    bool small;  // else the LARGE widths
    std::vector<std::int64_t> expected;
};

TEST(W3dBits, CascadeCodesEscapeToWiderFieldsAndStraddleWords) {
    const std::vector<CascadeRow> rows = {
        // The worked example: no strips, then 3 absolute vertices.
        {"first word of a sample shell", {0x04, 0xA0, 0x00, 0x60}, true, {0}},
        {"2-bit values",
         BitWriter().put(0b00, 2).put(0b10, 2).put(0b01, 2).bytes(),
         true,
         {-1, 1, 0}},
        {"escape to 6 bits", BitWriter().put(0b11, 2).put(33, 6).bytes(), true, {2}},
        {"escape to 10 bits, negative",
         BitWriter().put(0b11, 2).put(63, 6).put(0, 10).bytes(),
         true,
         {-511}},
        {"large escape across a word",
         BitWriter().put(0xFFFF, 16).put((1u << 30) + 4, 31).put(32770, 16).bytes(),
         false,
         {5, 3}},
        {"large escape to 31 bits",
         BitWriter().put(0xFFFF, 16).put((1u << 30) + 99, 31).bytes(),
         false,
         {100}},
    };
    for (const CascadeRow& row : rows) {
        SCOPED_TRACE(row.name);
        W3dBitReader reader(row.bits);
        std::vector<std::int64_t> values;
        for (std::size_t i = 0; i < row.expected.size(); ++i) {
            std::int64_t value = 0;
            ASSERT_TRUE(row.small ? reader.cascade(kSmallCascade, value)
                                  : reader.cascade(kLargeCascade, value));
            values.push_back(value);
        }
        EXPECT_EQ(values, row.expected);
    }
    // The same first word read on: the next 16 bits are the absolute count 3.
    const Bytes word{0x04, 0xA0, 0x00, 0x60};
    W3dBitReader reader(word);
    std::int64_t strips = 0, absolute = 0;
    ASSERT_TRUE(reader.cascade(kSmallCascade, strips));
    ASSERT_TRUE(reader.cascade(kLargeCascade, absolute));
    EXPECT_EQ(absolute, 3);
    std::uint32_t rest = 0;
    EXPECT_TRUE(reader.get(14, rest));
    EXPECT_FALSE(reader.get(1, rest)) << "no bit past the last word";
}

struct MTableRow {
    const char* name;
    Bytes bytes;
    std::string error;  // empty: it reads
    std::vector<std::uint32_t> dummies = {};
    std::vector<std::pair<std::uint32_t, std::uint32_t>> patches = {};
    std::uint32_t normalBits = 11;
};

TEST(W3dShell, MTableCountsIntegersAndDeltaCodesDummiesAndPatchOlds) {
    const std::vector<MTableRow> rows = {
        {"one patch pair, normal bits",
         ByteWriter().i32(0x90).i32(2).i32(3).i32(1).i32(8).i32(8).i32(8).bytes,
         "",
         {},
         {{3, 1}},
         8},
        {"delta-coded dummies",
         ByteWriter().i32(0x08).i32(3).i32(137).i32(3).i32(47).bytes,
         "",
         {137, 140, 187},
         {},
         11},
        {"two pairs, olds delta-coded, news absolute",
         ByteWriter()
             .i32(0x98)
             .i32(1)
             .i32(4)
             .i32(5)
             .i32(2)
             .i32(0)
             .i32(4)
             .i32(3)
             .i32(8)
             .i32(8)
             .i32(8)
             .bytes,
         "",
         {5},
         {{2, 0}, {6, 3}},
         8},
        {"obsolete counts are stepped over",
         ByteWriter().i32(0x0B).i32(1).i32(1).i32(1).i32(77).i32(78).i32(79).i32(9).bytes,
         "",
         {9},
         {},
         11},
        {"not used up", ByteWriter().i32(0x08).i32(1).i32(4).i32(0).bytes, "not used up"},
        {"an odd patch count", ByteWriter().i32(0x10).i32(3).i32(1).i32(1).i32(1).bytes, "odd"},
        {"counts past the end", ByteWriter().i32(0x08).i32(1000).i32(1).bytes, "exceed"},
        {"dummies not ascending", ByteWriter().i32(0x08).i32(2).i32(4).i32(0).bytes, "ascending"},
    };
    for (const MTableRow& row : rows) {
        SCOPED_TRACE(row.name);
        W3dMTable table;
        std::string error;
        const bool read = readMTable(row.bytes, table, error);
        if (!row.error.empty()) {
            EXPECT_FALSE(read);
            EXPECT_NE(error.find(row.error), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(table.dummies, row.dummies);
        EXPECT_EQ(table.patches, row.patches);
        EXPECT_EQ(table.normalBits[2], row.normalBits);
    }
}

using Triangles = std::vector<std::array<std::uint32_t, 3>>;

Triangles keptTriangles(const W3dConnectivity& connectivity) {
    Triangles triangles;
    for (std::size_t h = 0; h + 2 < connectivity.starts.size(); h += 3) {
        if (connectivity.starts[h] == kDummyVertex) continue;
        triangles.push_back(
            {connectivity.starts[h], connectivity.starts[h + 1], connectivity.starts[h + 2]});
    }
    return triangles;
}

// Ops: C 0, L 1, E 2, R 3, S 4.
struct OpsRow {
    const char* name;
    Bytes ops;
    std::string error;
    Triangles triangles = {};
    std::uint32_t vertices = 0;
    std::vector<std::pair<int, int>> twins = {};
};

TEST(W3dShell, EdgebreakerOpsBuildTrianglesAndTwins) {
    const std::vector<OpsRow> rows = {
        {"E closes a loop of three", {2}, "", {{0, 1, 2}}, 3, {}},
        {"L takes the vertex before the gate", {1, 2}, "", {{0, 1, 3}, {3, 1, 2}}, 4, {{1, 3}}},
        {"R takes the vertex after the next", {3, 2}, "", {{0, 1, 2}, {0, 2, 3}}, 4, {{2, 3}}},
        {"C brings a new vertex, fanned around by R",
         {0, 3, 3, 2},
         "",
         {{0, 1, 4}, {4, 1, 2}, {4, 2, 3}, {4, 3, 0}},
         5,
         {{1, 3}, {5, 6}, {8, 9}, {2, 11}}},
        {"S splits the loop; its offset comes from the matching E",
         {4, 2, 2},
         "",
         {{0, 1, 3}, {3, 1, 2}, {0, 3, 4}},
         5,
         {{1, 3}, {2, 6}}},
        {"components follow one another", {2, 2}, "", {{0, 1, 2}, {3, 4, 5}}, 6, {}},
        {"a loop shorter than three", {0, 2}, "shorter than 3"},
        {"ops ending inside a component", {0, 3}, "end inside a component"},
        {"an op past S", {7}, "edgebreaker op 7"},
    };
    for (const OpsRow& row : rows) {
        SCOPED_TRACE(row.name);
        W3dConnectivity connectivity;
        std::string error;
        std::size_t budget = 1000;
        const bool read = decodeConnectivity(row.ops, connectivity, budget, error);
        if (!row.error.empty()) {
            EXPECT_FALSE(read);
            EXPECT_NE(error.find(row.error), std::string::npos) << error;
            continue;
        }
        ASSERT_TRUE(read) << error;
        EXPECT_EQ(keptTriangles(connectivity), row.triangles);
        EXPECT_EQ(connectivity.vertexCount, row.vertices);
        int paired = 0;
        for (std::size_t h = 0; h < connectivity.twins.size(); ++h)
            paired += connectivity.twins[h] != kNoTwin;
        EXPECT_EQ(paired, static_cast<int>(2 * row.twins.size()));
        for (const auto& [a, b] : row.twins) {
            EXPECT_EQ(connectivity.twins[a], b);
            EXPECT_EQ(connectivity.twins[b], a);
        }
    }
}

struct RenumberRow {
    const char* name;
    Bytes ops;
    W3dMTable table;
    Triangles triangles;
    std::uint32_t finalCount;
};

TEST(W3dShell, DummiesDropTheirTrianglesAndPatchesAliasVertices) {
    W3dMTable dummy;
    dummy.dummies = {0};
    W3dMTable patch;
    patch.patches = {{3, 0}};
    W3dMTable both;
    both.dummies = {1};
    both.patches = {{4, 0}};
    const std::vector<RenumberRow> rows = {
        {"a dummy at the rim of a fan", {0, 3, 3, 2}, dummy, {{3, 0, 1}, {3, 1, 2}}, 4},
        {"a patch joins two components", {2, 2}, patch, {{0, 1, 2}, {0, 3, 4}}, 5},
        {"a dummy and a patch", {2, 2}, both, {{2, 0, 3}}, 4},
    };
    for (const RenumberRow& row : rows) {
        SCOPED_TRACE(row.name);
        W3dConnectivity connectivity;
        std::string error;
        std::size_t budget = 1000;
        ASSERT_TRUE(decodeConnectivity(row.ops, connectivity, budget, error)) << error;
        std::uint32_t finalCount = 0;
        ASSERT_TRUE(applyDummiesAndPatches(row.table, connectivity, finalCount, error)) << error;
        EXPECT_EQ(keptTriangles(connectivity), row.triangles);
        EXPECT_EQ(finalCount, row.finalCount);
    }
    W3dConnectivity connectivity;
    std::string error;
    std::size_t budget = 1000;
    ASSERT_TRUE(decodeConnectivity(Bytes{2}, connectivity, budget, error));
    W3dMTable outside;
    outside.dummies = {3};
    std::uint32_t finalCount = 0;
    EXPECT_FALSE(applyDummiesAndPatches(outside, connectivity, finalCount, error));
}

TEST(W3dShell, VertexValuesArePredictedAcrossEdgesMinusTheDifference) {
    W3dConnectivity connectivity;  // a quad: (0 1 3) and (3 1 2)
    std::string error;
    std::size_t budget = 1000;
    ASSERT_TRUE(decodeConnectivity(Bytes{1, 2}, connectivity, budget, error));
    const std::vector<std::int64_t> absolute{0, 0, 0, 10, 0, 0, 0, 10, 0};  // vertices 0 1 3
    const std::vector<std::int64_t> difference{1, 2, 3};                    // vertex 2
    std::vector<std::int64_t> values;
    ASSERT_TRUE(predictVertexValues(connectivity, 4, absolute, difference, values, error)) << error;
    // Vertex 2 = v3 + v1 - v0 - difference, the parallelogram rule.
    EXPECT_EQ(values, (std::vector<std::int64_t>{0, 0, 0, 10, 0, 0, 9, 8, -3, 0, 10, 0}));
    EXPECT_FALSE(predictVertexValues(connectivity, 4, absolute, {}, values, error))
        << "a vertex left without its difference";
    const std::vector<std::int64_t> extra{1, 2, 3, 4, 5, 6};
    EXPECT_FALSE(predictVertexValues(connectivity, 4, absolute, extra, values, error))
        << "a difference left over";
}

// One edgebreaker triangle with its normals, raw points and 8-bit texture coordinates.
Bytes oneTriangleShell() {
    const Bytes ops{2};
    const Bytes table = ByteWriter().i32(0x80).i32(8).i32(8).i32(8).bytes;
    BitWriter bits;
    bits.small(0).large(3).large(0);
    for (int v : {0, 0, 255, 255, 0, 255, 0, 255, 255})
        bits.large(v);  // normals, 8 bits
    const Bytes stream = bits.bytes();
    ByteWriter block;
    block.u8(2).u8(0).u8(0).u8(3).i32(ops.size()).i32(table.size()).i32(stream.size()).i32(3);
    block.i32(stream.size()).raw(ops).pad4().raw(table).pad4().raw(stream);
    ByteWriter shell;
    shell.u8('S').u8(0x5A).u8(0).u8(5).i32(block.bytes.size()).raw(block.bytes);
    for (float p : {0.f, 0.f, 0.f, 2.f, 0.f, 0.f, 0.f, 3.f, 0.f})
        shell.f32(p);
    shell.u8(3).u8(1);  // all texture parameters, trivially quantised
    for (float b : {0.f, 0.f, 0.f, 1.f, 2.f, 0.f})
        shell.f32(b);
    shell.u8(8).i32(9);
    for (int s : {0, 0, 0, 255, 0, 0, 0, 255, 0})
        shell.u8(s);
    shell.u8(0);
    return shell.bytes;
}

TEST(W3dShell, AnEdgebreakerShellDecodesPointsNormalsAndTextureCoordinates) {
    const Bytes bytes = oneTriangleShell();
    ByteCursor cursor(bytes, 1);
    W3dMesh mesh;
    bool hasGeometry = false;
    std::string error;
    W3dGeometryBudget geometry = geometryBudgetFor(0);
    ASSERT_TRUE(readShell(cursor, 1000, geometry, mesh, hasGeometry, error)) << error;
    EXPECT_TRUE(cursor.atEnd());
    EXPECT_TRUE(hasGeometry);
    EXPECT_EQ(mesh.triangles, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(mesh.points[3], 2.f);
    EXPECT_EQ(mesh.normals, (std::vector<float>{-1, -1, 1, 1, -1, 1, -1, 1, 1}));
    EXPECT_EQ(mesh.texCoords, (std::vector<float>{0, 0, 0, 1, 0, 0, 0, 2, 0}));
    // Cut short anywhere, the shell fails instead of reading past its bytes.
    for (std::size_t size = 1; size < bytes.size(); size += 7) {
        const Bytes cut(bytes.begin(), bytes.begin() + size);
        ByteCursor shortCursor(cut, 1);
        W3dMesh partial;
        EXPECT_FALSE(readShell(shortCursor, 1000, geometry, partial, hasGeometry, error)) << size;
    }
}

struct PlainShellRow {
    const char* name;
    Bytes bytes;  // after the opcode
    bool reads;
    std::vector<std::uint32_t> triangles = {};
    bool grid = false;  // a mesh opcode, else a shell
};

Bytes plainShell(std::uint8_t sub, const Bytes& faces) {
    ByteWriter shell;
    shell.u8(sub).u8(0).i32(4);
    for (float p : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 1.f, 1.f, 0.f, 0.f, 1.f, 0.f})
        shell.f32(p);
    shell.u8(1).i32(faces.size()).raw(faces);
    return shell.bytes;
}

TEST(W3dShell, PlainShellsAndMeshesReadPointsAndFaces) {
    ByteWriter hostile;  // quantised points claiming two billion vertices in three bytes
    hostile.u8(0x11).u8(0).u8(1).i32(0x7FFFFFFF);
    for (int i = 0; i < 6; ++i)
        hostile.f32(0);
    hostile.u8(8).i32(3).u8(1).u8(2).u8(3);
    ByteWriter grid;
    grid.u8(0).i32(2).i32(3);
    for (int i = 0; i < 18; ++i)
        grid.f32(static_cast<float>(i));
    const std::vector<PlainShellRow> rows = {
        {"a quad is fanned", plainShell(0x10, {8, 4, 0, 1, 2, 3}), true, {0, 1, 2, 0, 2, 3}},
        {"a strip alternates its winding",
         plainShell(0x14, {8, 4, 0, 1, 2, 3}),
         true,
         {0, 1, 2, 2, 1, 3}},
        {"a face naming a vertex it does not have", plainShell(0x10, {8, 3, 0, 1, 4}), false},
        {"a face longer than its list", plainShell(0x10, {8, 9, 0, 1, 2}), false},
        {"a count larger than its samples", hostile.bytes, false},
        {"a mesh of 2 x 3 points", grid.bytes, true, {0, 1, 4, 0, 4, 3, 1, 2, 5, 1, 5, 4}, true},
        {"a mesh short of its points",
         Bytes(grid.bytes.begin(), grid.bytes.end() - 4),
         false,
         {},
         true},
    };
    for (const PlainShellRow& row : rows) {
        SCOPED_TRACE(row.name);
        ByteCursor cursor(row.bytes);
        W3dMesh mesh;
        bool hasGeometry = false;
        std::string error;
        W3dGeometryBudget geometry = geometryBudgetFor(0);
        const bool read = row.grid ? readMesh(cursor, 1000, geometry, mesh, error)
                                   : readShell(cursor, 1000, geometry, mesh, hasGeometry, error);
        ASSERT_EQ(read, row.reads) << error;
        if (row.reads) {
            EXPECT_EQ(mesh.triangles, row.triangles);
        }
    }
}

Bytes deflated(const Bytes& plain) {
    uLongf size = compressBound(plain.size());
    Bytes out(size);
    compress(out.data(), &size, plain.data(), plain.size());
    out.resize(size);
    return out;
}

// A header, then a compressed part holding a library part drawn through two instances
// (one moved, one hidden), then the termination.
Bytes smallStream(const Bytes& tail) {
    ByteWriter body;
    body.u8('(').str8("?Include Library/part").u8('q');
    body.u8('"').u8(0x01).u8(0x01).str8("\"thread\" (r=0.25 g=0.5 b=1)");  // named diffuse
    body.raw(oneTriangleShell()).u8(')');
    body.u8('(').str8("1");
    body.u8('(').str8("13").u8('%');
    for (float m : {1.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 5.f, 6.f, 7.f})
        body.f32(m);
    body.u8('<').str8("?Include Library/part").u8(')');
    body.u8('(').str8("").u8('V').u8(0x01).u8(0xFE);
    body.u8('<').str8("?Include Library/part").u8(')');
    body.u8(')').raw(tail).u8('z');
    ByteWriter stream;
    stream.text(";; HSF V10.00 \n").u8('I').i32(0x1A06).u8('Z').raw(deflated(body.bytes)).u8(0);
    return stream.bytes;
}

TEST(W3dReader, ASmallStreamEvaluatesIntoPlacedColouredSets) {
    W3dStream stream = readW3d(smallStream({}));
    EXPECT_EQ(stream.version, 1000u);
    EXPECT_EQ(stream.message, "");
    EXPECT_EQ(stream.shellCount, 1u);
    const W3dModel model = evaluateW3d(std::move(stream));
    ASSERT_EQ(model.sets.size(), 1u) << "the library part is no child, the hidden one is off";
    EXPECT_EQ(model.triangleCount, 1u);
    EXPECT_EQ(model.sets[0].matrix[12], 5);
    EXPECT_EQ(model.sets[0].matrix[14], 7);
    ASSERT_TRUE(model.sets[0].colour.has_value());
    EXPECT_EQ(*model.sets[0].colour, (std::array<float, 3>{0.25f, 0.5f, 1.f}));
    ASSERT_TRUE(model.conservativeBox.has_value());
    EXPECT_EQ(*model.conservativeBox, (W3dBox{5, 6, 7, 7, 9, 7}));
}

TEST(W3dScene, DescriptorExtentsFitTheViewOnlyWhenTheDecodedModelAgrees) {
    const W3dBox decoded{0, 0, 0, 10, 20, 30};
    const W3dBox close{-0.02, 0, 0, 10, 20.02, 30};
    const W3dBox stale{-1, 0, 0, 10, 20, 30};
    EXPECT_EQ(fitBoxOf(close, decoded), close);
    EXPECT_EQ(fitBoxOf(stale, decoded), decoded);
    EXPECT_EQ(fitBoxOf(std::nullopt, decoded), decoded);
    EXPECT_EQ(fitBoxOf(stale, std::nullopt), stale) << "nothing decoded to check against";
}

TEST(W3dReader, AnUnknownOpcodeEndsTheModelNamingItsOffsetAndKeepsWhatWasRead) {
    const W3dStream stream = readW3d(smallStream({0xA5, 1, 2, 3}));
    EXPECT_NE(stream.message.find("opcode 0xA5 at byte"), std::string::npos) << stream.message;
    EXPECT_NE(stream.message.find("compressed part"), std::string::npos) << stream.message;
    EXPECT_EQ(stream.shellCount, 1u);
    const W3dModel model = evaluateW3d(W3dStream(stream));
    EXPECT_EQ(model.sets.size(), 1u);

    const Bytes good = smallStream({});
    for (const Bytes& bad :
         {Bytes(good.begin(), good.begin() + 10), Bytes(good.begin(), good.end() - 9)}) {
        const W3dStream cut = readW3d(bad);
        EXPECT_FALSE(cut.message.empty());
    }
}

// A vertex normal from the decoded triangles and points, against the decoded normal.
double worstNormalCosine(const W3dMesh& mesh) {
    std::vector<double> sums(mesh.points.size(), 0.0);
    const auto& p = mesh.points;
    for (std::size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
        const std::size_t a = mesh.triangles[t] * 3, b = mesh.triangles[t + 1] * 3,
                          c = mesh.triangles[t + 2] * 3;
        const double u[3] = {p[b] - p[a], p[b + 1] - p[a + 1], p[b + 2] - p[a + 2]};
        const double v[3] = {p[c] - p[a], p[c + 1] - p[a + 1], p[c + 2] - p[a + 2]};
        const double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2],
                             u[0] * v[1] - u[1] * v[0]};
        for (std::size_t corner : {a, b, c}) {
            for (int k = 0; k < 3; ++k)
                sums[corner + k] += n[k];
        }
    }
    double worst = 1;
    for (std::size_t i = 0; i + 2 < sums.size(); i += 3) {
        const double* s = &sums[i];
        const float* d = &mesh.normals[i];
        const double dot = s[0] * d[0] + s[1] * d[1] + s[2] * d[2];
        const double length = std::hypot(s[0], s[1], s[2]) * std::hypot(d[0], d[1], d[2]);
        if (length > 0) worst = std::min(worst, dot / length);
    }
    return worst;
}

const std::filesystem::path kSamples = PLOTWICK_DWF_SAMPLES;

TEST(W3dSamples, TheArborPressDecodesToItsFigures) {
    const auto path = kSamples / "arbor-press-3d.dwf";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no sample package at " << path;
    const DwfDocument document = readDwfFile(path.string());
    ASSERT_EQ(document.models.size(), 1u) << document.message;
    const W3dModel& model = document.models[0];
    EXPECT_EQ(model.message, "");
    EXPECT_EQ(model.shellCount, 29u);
    EXPECT_EQ(model.instanceCount, 42u);
    EXPECT_EQ(model.triangleCount, 22840u);
    EXPECT_EQ(model.colourCount, 11u);
    ASSERT_TRUE(model.camera.has_value());
    EXPECT_NEAR(model.camera->position[0], 62.72, 0.01);
    // Each of the 21 instances also draws its part's published edges (lines, arcs,
    // NURBS curves, elliptical arcs) in the colour the part gives its faces, edges and
    // lines at once; the edge segments hide faces, not lines.
    std::set<std::array<float, 3>> faceColours;
    for (const W3dTriangleSet& set : model.sets) {
        if (set.colour) faceColours.insert(*set.colour);
    }
    std::size_t curveSets = 0;
    for (const W3dTriangleSet& set : model.sets) {
        const W3dMesh& mesh = model.meshes[set.mesh];
        if (mesh.lines.empty()) continue;
        ++curveSets;
        EXPECT_TRUE(mesh.triangles.empty() && mesh.markers.empty());
        ASSERT_TRUE(set.lineColour.has_value());
        EXPECT_TRUE(faceColours.contains(*set.lineColour));
    }
    EXPECT_EQ(curveSets, 21u);
    EXPECT_EQ(model.sets.size(), 42u + curveSets);
    EXPECT_GT(model.lineCount, 1881u) << "at least the line opcodes";
    EXPECT_EQ(model.markerCount, 0u);
    // The writer's extents are the parts' boxes (shells and edge curves) moved by their
    // instances' matrices. Where a side is set by a curve's end point, not an arc's
    // bulge, the box meets the descriptor to float precision: a misplaced or misread
    // curve would move it.
    ASSERT_TRUE(model.extents.has_value());
    ASSERT_TRUE(model.conservativeBox.has_value());
    const W3dBox& box = *model.conservativeBox;
    const W3dBox& extents = *model.extents;
    const double size = extents[5] - extents[2];
    for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(box[k], extents[k], 1e-4 * size) << k;
    EXPECT_NEAR(box[1], extents[1], 1e-6) << "ymin";
    EXPECT_NEAR(box[3], extents[3], 1e-6) << "xmax";
    for (int k = 0; k < 3; ++k) {
        EXPECT_GE(box[k], extents[k] - 1e-6) << "inside the descriptor's box, side " << k;
        EXPECT_LE(box[k + 3], extents[k + 3] + 1e-6)
            << "inside the descriptor's box, side " << k + 3;
    }
    EXPECT_EQ(model.fitBox, model.extents) << "the descriptor's extents fit the view";
    // The normals coded in the stream agree with the decoded connectivity and points.
    for (const W3dMesh& mesh : model.meshes) {
        if (mesh.fromShell) {
            EXPECT_GT(worstNormalCosine(mesh), 0.9);
        }
    }
}

TEST(W3dSamples, ThePublishedPackageDecodesBothModels) {
    const auto path = kSamples / "publish-3d.dwf";
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no sample package at " << path;
    const DwfDocument document = readDwfFile(path.string());
    ASSERT_EQ(document.models.size(), 2u) << document.message;
    for (const W3dModel& model : document.models) {
        EXPECT_EQ(model.message, "");
        EXPECT_EQ(model.shellCount, 11u);
        std::size_t shellSets = 0, shellTriangles = 0;
        for (const W3dTriangleSet& set : model.sets) {
            const W3dMesh& mesh = model.meshes[set.mesh];
            if (!mesh.fromShell) continue;
            ++shellSets;
            shellTriangles += mesh.triangles.size() / 3;
            EXPECT_GT(worstNormalCosine(mesh), 0.98);
        }
        EXPECT_EQ(shellSets, 8u);
        EXPECT_EQ(shellTriangles, 7168u);
        EXPECT_EQ(model.instanceCount, 10u) << "and a cylinder and a sphere";
        EXPECT_EQ(model.sets.size(), 11u) << "and the marker";
        EXPECT_EQ(model.markerCount, 1u);
        ASSERT_TRUE(model.conservativeBox.has_value());
        EXPECT_NEAR((*model.conservativeBox)[4], 12, 1e-6) << "the marker above the sphere";
        EXPECT_NEAR((*model.conservativeBox)[3], 8, 1e-6);
    }
}

}  // namespace
}  // namespace plotwick::internal
