#include "scene/normals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace tessaro {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

FaceRecord face(std::int32_t a, std::int32_t b, std::int32_t c, std::uint32_t mask) {
    return {{{a, kNone, kNone}, {b, kNone, kNone}, {c, kNone, kNone}}, kNone, kNone, kNone, mask};
}

DrawableMesh makeMesh(const std::vector<Vector3>& points, const std::vector<FaceRecord>& faces,
                      const std::vector<NormalRecord>& normals = {}) {
    DrawableMesh mesh;
    EXPECT_TRUE(mesh.positions.allocate(std::uint32_t(points.size())));
    for (std::uint32_t i = 0; i < points.size(); ++i)
        mesh.positions[i] = {points[i].x, points[i].y, points[i].z, kNoId, 0};
    EXPECT_TRUE(mesh.faces.allocate(std::uint32_t(faces.size())));
    std::copy(faces.begin(), faces.end(), mesh.faces.begin());
    EXPECT_TRUE(mesh.normals.allocate(std::uint32_t(normals.size())));
    std::copy(normals.begin(), normals.end(), mesh.normals.begin());
    return mesh;
}

Vector3 normalAt(const DrawableMesh& mesh, std::uint32_t f, int k) {
    const auto i = std::uint32_t(mesh.faces[f].vertex[k].normal);
    if (i >= mesh.normals.count) return {kNaN, kNaN, kNaN};  // fails every comparison
    return {mesh.normals[i].x, mesh.normals[i].y, mesh.normals[i].z};
}

double dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vector3 operator-(const Vector3& a, const Vector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
bool samePlace(const Vector3& a, const Vector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

Vector3 faceNormalOf(const std::vector<Vector3>& p, const FaceRecord& f) {
    const Vector3 a = p[f.vertex[0].position];
    const Vector3 e1 = p[f.vertex[1].position] - a, e2 = p[f.vertex[2].position] - a;
    Vector3 n{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
    normalize(n);
    return n;
}

// A fan of n faces around a hub at height h over the unit circle: h = 0 is a flat disc, a
// small h a shallow cone whose normals all lie close together, a large h a steep one.
void makeFan(std::uint32_t n, double h, std::uint32_t mask, std::vector<Vector3>& points,
             std::vector<FaceRecord>& faces) {
    const std::int32_t hub = std::int32_t(points.size());
    points.push_back({0, 0, h});
    for (std::uint32_t i = 0; i < n; ++i) {
        const double a = 2 * std::numbers::pi * i / n;
        points.push_back({std::cos(a), std::sin(a), 0});
        faces.push_back(
            face(hub, hub + 1 + std::int32_t(i), hub + 1 + std::int32_t((i + 1) % n), mask));
    }
}

// The algorithm written out literally: welding by linear search, corner lists as vectors,
// the vertex pass quadratic in each list.
void generateLiterally(DrawableMesh& m) {
    std::vector<Vector3> pos;
    for (const PositionRecord& r : m.positions)
        pos.push_back({r.x, r.y, r.z});
    const auto canonical = [&](std::int32_t i) {  // a NaN position only matches itself
        const auto first = std::find_if(pos.begin(), pos.end(),
                                        [&](const Vector3& q) { return samePlace(q, pos[i]); });
        return std::min(std::int32_t(first - pos.begin()), i);
    };
    std::vector<Vector3> fn(m.faces.count, Vector3{0, 0, 0});
    std::vector<std::vector<std::uint32_t>> lists(pos.size());
    for (std::uint32_t f = 0; f < m.faces.count; ++f) {
        Vertex* v = m.faces[f].vertex;
        if (std::any_of(v, v + 3, [&](const Vertex& x) {
                return x.position < 0 || std::size_t(x.position) >= pos.size();
            }))
            continue;
        for (std::uint32_t k = 0; k < 3; ++k) {
            v[k].position = canonical(v[k].position);
            lists[v[k].position].insert(lists[v[k].position].begin(), 3 * f + k);
        }
        fn[f] = faceNormalOf(pos, m.faces[f]);
    }
    const auto angle = [&](std::uint32_t d) {
        const Vertex* v = m.faces[d / 3].vertex;
        const Vector3 p = pos[v[d % 3].position];
        Vector3 u = pos[v[(d + 1) % 3].position] - p, w = pos[v[(d + 2) % 3].position] - p;
        return normalize(u) && normalize(w) ? std::acos(std::clamp(dot(u, w), -1.0, 1.0)) : 0;
    };
    std::vector<NormalRecord> out(m.normals.begin(), m.normals.end());
    for (const auto& list : lists) {
        for (std::uint32_t c : list) {
            if (m.faces[c / 3].vertex[c % 3].normal != kNone) continue;
            Vector3 sum{0, 0, 0};
            for (std::uint32_t d : list) {
                if ((m.faces[c / 3].smoothingGroups & m.faces[d / 3].smoothingGroups) != 0 &&
                    dot(fn[c / 3], fn[d / 3]) >= 0.7071067811865476)
                    sum = {sum.x + angle(d) * fn[d / 3].x, sum.y + angle(d) * fn[d / 3].y,
                           sum.z + angle(d) * fn[d / 3].z};
            }
            if (!normalize(sum)) sum = fn[c / 3];
            m.faces[c / 3].vertex[c % 3].normal = std::int32_t(out.size());
            out.push_back({kNoId, float(sum.x), float(sum.y), float(sum.z)});
        }
    }
    ASSERT_TRUE(m.normals.allocate(std::uint32_t(out.size())));
    std::copy(out.begin(), out.end(), m.normals.begin());
}

template <typename T>
bool sameRecords(const RecordBlock<T>& a, const RecordBlock<T>& b) {
    return a.count == b.count && std::memcmp(a.begin(), b.begin(), sizeof(T) * a.count) == 0;
}

TEST(Normalize, FailsOnZeroNaNAndInfiniteLengthLeavingZero) {
    struct Row {
        Vector3 in, out;
        bool ok;
    };
    for (const Row& r :
         {Row{{3, 0, 4}, {0.6, 0, 0.8}, true}, Row{{0, 0, 0}, {0, 0, 0}, false},
          Row{{1e-200, 0, 0}, {0, 0, 0}, false},  // the square underflows
          Row{{kNaN, 1, 0}, {0, 0, 0}, false}, Row{{kInf, 1, 0}, {0, 0, 0}, false}}) {
        Vector3 v = r.in;
        EXPECT_EQ(normalize(v), r.ok) << r.in.x;
        EXPECT_DOUBLE_EQ(v.x, r.out.x);
        EXPECT_DOUBLE_EQ(v.y, r.out.y);
        EXPECT_DOUBLE_EQ(v.z, r.out.z);
    }
}

TEST(PositionWeldSet, ReservesLikeAnIdIndex) {
    struct Row {
        std::uint32_t positions, keyCapacity, slotCount;
    };
    for (const Row& r : {Row{0, 28, 32}, Row{28, 28, 32}, Row{29, 56, 64}, Row{1000, 1792, 2048}}) {
        PositionWeldSet set(nullptr);
        ASSERT_TRUE(set.reserve(r.positions));
        EXPECT_EQ(set.keyCapacity(), r.keyCapacity);
        EXPECT_EQ(set.slotCount(), r.slotCount);
    }
}

// Changing the low words of x, y, z by (-21t, -2t, 5t), or the high words by (t, -2t, t),
// leaves both hash sums unchanged, so these positions share their home slot and probe
// step: entry t looks at t + 1 slots.
TEST(PositionWeldSet, KeysCraftedToCollideStillWeldRight) {
    const std::uint32_t n = 3000;
    const auto word = [](std::uint32_t high, std::uint32_t low) {
        return std::bit_cast<double>(std::uint64_t{high} << 32 | low);
    };
    const std::uint32_t one = 0x3FF00000;
    for (bool lowWords : {true, false}) {
        std::vector<PositionRecord> p(n + 1);
        for (std::uint32_t t = 0; t < n; ++t) {
            p[t] = lowWords ? PositionRecord{word(one, 7 - 21 * t), word(one, 9 - 2 * t),
                                             word(one, 4 + 5 * t), t, 0}
                            : PositionRecord{word(one + t, 7), word(one - 2 * t, 9),
                                             word(one + t, 4), t, 0};
        }
        p[n] = p[n / 2];
        PositionWeldSet set(p.data());
        ASSERT_TRUE(set.reserve(n));
        for (std::uint32_t t = 0; t < n; ++t)
            ASSERT_EQ(set.enter(t), t);
        EXPECT_EQ(set.probeCount(), std::uint64_t{n} * (n + 1) / 2) << lowWords;
        std::vector<std::uint32_t> canonical(n + 1);
        ASSERT_TRUE(weldPositions(p.data(), n + 1, canonical.data()));
        for (std::uint32_t t = 0; t < n; ++t)
            ASSERT_EQ(canonical[t], t);
        EXPECT_EQ(canonical[n], n / 2);
    }
}

TEST(GenerateNormals, CubeInOneGroupKeepsItsEdgesSharp) {
    std::vector<Vector3> p;
    for (int i = 0; i < 8; ++i)
        p.push_back({double(i & 1), double(i >> 1 & 1), double(i >> 2 & 1)});
    std::vector<FaceRecord> faces;
    const int quads[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& q : quads) {
        faces.push_back(face(q[0], q[1], q[2], 1));
        faces.push_back(face(q[0], q[2], q[3], 1));
    }
    DrawableMesh mesh = makeMesh(p, faces);
    ASSERT_TRUE(generateNormals(mesh));
    EXPECT_EQ(mesh.normals.count, 36u);
    for (std::uint32_t f = 0; f < 12; ++f) {
        const Vector3 flat = faceNormalOf(p, faces[f]);
        for (int k = 0; k < 3; ++k)
            EXPECT_GT(dot(normalAt(mesh, f, k), flat), 1 - 1e-7) << f;
    }
}

TEST(GenerateNormals, FineSphereGetsNormalsCloseToTheTrueOnes) {
    const int stacks = 48, slices = 96;
    std::vector<Vector3> p{{0, 0, 1}, {0, 0, -1}};
    for (int s = 1; s < stacks; ++s) {
        const double theta = std::numbers::pi * s / stacks;
        for (int l = 0; l < slices; ++l) {
            const double phi = 2 * std::numbers::pi * l / slices;
            p.push_back({std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi),
                         std::cos(theta)});
        }
    }
    const auto at = [&](int s, int l) {
        return s == 0 ? 0 : s == stacks ? 1 : 2 + (s - 1) * slices + (l % slices);
    };
    std::vector<FaceRecord> faces;
    for (int s = 0; s < stacks; ++s) {
        for (int l = 0; l < slices; ++l) {
            if (s != 0) faces.push_back(face(at(s, l), at(s + 1, l), at(s, l + 1), 1));
            if (s != stacks - 1)
                faces.push_back(face(at(s, l + 1), at(s + 1, l), at(s + 1, l + 1), 1));
        }
    }
    DrawableMesh mesh = makeMesh(p, faces);
    ASSERT_TRUE(generateNormals(mesh));
    double worst = 0;  // radians; flat shading would be off by up to half a slice, 1.9 degrees
    for (std::uint32_t f = 0; f < faces.size(); ++f) {
        for (int k = 0; k < 3; ++k) {
            const double c = dot(normalAt(mesh, f, k), p[faces[f].vertex[k].position]);
            worst = std::max(worst, std::acos(std::min(1.0, c)));
        }
    }
    EXPECT_LT(worst * 180 / std::numbers::pi, 0.1);
}

// Two faces over the edge (0,0,0)-(1,0,0), 10 degrees apart; position 4 repeats position 0
// under another ID, so the faces only meet there after welding.
TEST(GenerateNormals, SmoothsOnlyFacesThatShareAGroup) {
    const double c = std::cos(10 * std::numbers::pi / 180),
                 s = std::sin(10 * std::numbers::pi / 180);
    struct Row {
        std::uint32_t maskA, maskB;
        bool smooth;
    };
    for (const Row& r : {Row{1, 2, false}, Row{4, 4, true}, Row{0, 0, false}, Row{0, 1, false},
                         Row{3, 2, true}, Row{0x80000000, 0x80000000, true}}) {
        DrawableMesh mesh = makeMesh({{0, 0, 0}, {1, 0, 0}, {0.5, 1, 0}, {0.5, -c, s}, {0, 0, 0}},
                                     {face(0, 1, 2, r.maskA), face(1, 4, 3, r.maskB)});
        mesh.positions[4].id = 77;
        ASSERT_TRUE(generateNormals(mesh));
        EXPECT_EQ(mesh.faces[1].vertex[1].position, 0);
        const Vector3 a = normalAt(mesh, 0, 0), b = normalAt(mesh, 1, 1);
        EXPECT_EQ(samePlace(a, b), r.smooth) << r.maskA << " " << r.maskB;
        EXPECT_EQ(dot(a, {0, 0, 1}) < 1 - 1e-7, r.smooth);
        EXPECT_GT(dot(b, {0, s, c}), std::cos(10 * std::numbers::pi / 180) - 1e-7);
    }
}

TEST(GenerateNormals, DegenerateFaceIsFlatZeroAndChangesNoNeighbour) {
    std::vector<Vector3> p;
    std::vector<FaceRecord> faces;
    makeFan(6, 0.3, 1, p, faces);
    DrawableMesh plain = makeMesh(p, faces);
    p.push_back({2, 0, -0.3});  // on the line from the hub through (1,0,0)
    faces.push_back(face(0, 1, 7, 1));
    DrawableMesh withDegenerate = makeMesh(p, faces);
    ASSERT_TRUE(generateNormals(plain));
    ASSERT_TRUE(generateNormals(withDegenerate));
    for (std::uint32_t f = 0; f < 6; ++f) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_TRUE(samePlace(normalAt(plain, f, k), normalAt(withDegenerate, f, k))) << f;
        }
    }
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(dot(normalAt(withDegenerate, 6, k), {1, 1, 1}), 0);
}

TEST(GenerateNormals, KeepsGivenNormalsAndAppendsNewOnesInCornerOrder) {
    const std::vector<NormalRecord> given{{5, 1, 0, 0}, {6, 0, 1, 0}};
    std::vector<FaceRecord> faces{face(0, 1, 2, 1), face(3, 1, 2, 1)};
    faces[0].vertex[1].normal = 1;
    DrawableMesh mesh = makeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}}, faces, given);
    ASSERT_TRUE(mesh.lines.allocate(1));
    mesh.lines[0] = {{{0, kNone, kNone}, {1, kNone, kNone}}, kNone, kNone, kNone, kNone};
    ASSERT_TRUE(generateNormals(mesh));
    ASSERT_EQ(mesh.normals.count, 7u);
    EXPECT_EQ(std::memcmp(mesh.normals.begin(), given.data(), sizeof(NormalRecord) * 2), 0);
    EXPECT_EQ(mesh.faces[0].vertex[1].normal, 1);
    // Position 0 first, its list newest first; then positions 1 and 2.
    const std::int32_t expected[2][3] = {{3, 1, 6}, {2, 4, 5}};
    for (int f = 0; f < 2; ++f) {
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(mesh.faces[f].vertex[k].normal, expected[f][k]) << f << k;
    }
    EXPECT_EQ(mesh.faces[1].vertex[0].position, 0);
    EXPECT_EQ(mesh.lines[0].vertex[0].normal, kNone);
    EXPECT_EQ(mesh.normals[6].id, kNoId);
}

TEST(GenerateNormals, MeshWithEveryNormalGivenOnlyGetsWelded) {
    std::vector<FaceRecord> faces{face(0, 1, 2, 1), face(3, 1, 2, 1)};
    for (FaceRecord& f : faces) {
        for (Vertex& v : f.vertex)
            v.normal = 0;
    }
    DrawableMesh mesh = makeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}}, faces, {{}});
    const NormalRecord* table = mesh.normals.begin();
    ASSERT_TRUE(generateNormals(mesh));
    EXPECT_TRUE(mesh.normals.begin() == table && mesh.normals.count == 1);
    faces[1].vertex[0].position = 0;
    EXPECT_EQ(std::memcmp(mesh.faces.begin(), faces.data(), sizeof(FaceRecord) * 2), 0);
}

TEST(GenerateNormals, FacesNamingMissingPositionsAreLeftAlone) {
    const std::vector<FaceRecord> faces{face(-1, 0, 1, 1), face(0, 1, 3, 1),
                                        face(INT32_MIN, INT32_MAX, 2, 1), face(0, 1, 2, 1)};
    DrawableMesh mesh = makeMesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, faces);
    ASSERT_TRUE(generateNormals(mesh));
    EXPECT_EQ(std::memcmp(mesh.faces.begin(), faces.data(), sizeof(FaceRecord) * 3), 0);
    EXPECT_EQ(mesh.normals.count, 3u);
    EXPECT_GT(dot(normalAt(mesh, 3, 0), {0, 0, 1}), 1 - 1e-7);
}

// Grouping by mask and face normal, and the shortcut for pairwise close normals, must give
// the very bits of the quadratic algorithm.
TEST(GenerateNormals, MatchesTheQuadraticAlgorithmBitForBit) {
    std::mt19937 random(17);
    const double grid[] = {-1, -0.0, 0, 0.5, 1, kNaN};
    const std::uint32_t masks[] = {0, 1, 2, 3, 4, 0x80000000, 0xFFFFFFFF};
    for (int round = 0; round < 12; ++round) {
        std::vector<Vector3> p;
        std::vector<FaceRecord> faces;
        if (round < 3) makeFan(300, round * 0.1, round + 1, p, faces);  // flat, shallow, steeper
        makeFan(40, 2, 1, p, faces);
        for (int i = 0; i < 60; ++i)
            p.push_back({grid[random() % 6], grid[random() % 5], grid[random() % 5]});
        for (int i = 0; i < 200; ++i) {
            const auto pick = [&] { return std::int32_t(random() % (p.size() + 1)) - (i == 7); };
            faces.push_back(face(pick(), pick(), pick(), masks[random() % 7]));
            if (random() % 5 == 0) faces.back().vertex[random() % 3].normal = 0;
        }
        for (FaceRecord& f : faces)
            f.smoothingGroups ^= (random() % 4 == 0) ? 2 : 0;
        DrawableMesh mesh = makeMesh(p, faces, {{kNoId, 0, 0, 1}});
        DrawableMesh literal = makeMesh(p, faces, {{kNoId, 0, 0, 1}});
        ASSERT_TRUE(generateNormals(mesh));
        generateLiterally(literal);
        EXPECT_TRUE(sameRecords(mesh.faces, literal.faces)) << round;
        EXPECT_TRUE(sameRecords(mesh.normals, literal.normals)) << round;
    }
}

// A fan whose hub would cost more corner pairs than allowed is shaded flat at the hub; a
// smaller one is smoothed there.
TEST(GenerateNormals, HugeFanOfDistinctNormalsIsFlatAtItsHub) {
    const auto side = std::uint32_t(std::sqrt(double(kMaxSmoothingPairsPerPosition)));
    for (std::uint32_t n : {side / 8, side + 1}) {
        std::vector<Vector3> p;
        std::vector<FaceRecord> faces;
        makeFan(n, 1, 1, p, faces);
        DrawableMesh mesh = makeMesh(p, faces);
        ASSERT_TRUE(generateNormals(mesh));
        const Vector3 hub = normalAt(mesh, 0, 0), flat = faceNormalOf(p, faces[0]);
        EXPECT_EQ(dot(hub, flat) > 1 - 1e-7, n > side) << n;
        EXPECT_GT(dot(normalAt(mesh, 0, 1), flat), 0.9) << n;  // rims smooth with two faces
    }
}

// At (0,0,0) the edges of the sliver point the same way up to 1e-9; rounding puts the
// cosine of that angle above 1. Its weight is 0, not NaN, so its corner there takes the
// neighbour's normal instead of falling back to its own.
TEST(GenerateNormals, SliverWithRoundedCosineAboveOneDoesNotSpoilTheSum) {
    const std::vector<Vector3> p{{0, 0, 0}, {1, 5, 0}, {2, 10, 1e-9}, {-0.1, 1, 0}, {0, 0, 1}};
    Vector3 u = p[1], w = p[2];
    ASSERT_TRUE(normalize(u) && normalize(w));
    ASSERT_GT(dot(u, w), 1.0);
    const std::vector<FaceRecord> faces{face(0, 1, 2, 1), face(0, 3, 4, 1)};
    const Vector3 neighbour = faceNormalOf(p, faces[1]);
    ASSERT_GT(dot(faceNormalOf(p, faces[0]), neighbour), 0.75);
    DrawableMesh mesh = makeMesh(p, faces);
    ASSERT_TRUE(generateNormals(mesh));
    EXPECT_GT(dot(normalAt(mesh, 0, 0), neighbour), 1 - 1e-7);
}

}  // namespace
}  // namespace tessaro
