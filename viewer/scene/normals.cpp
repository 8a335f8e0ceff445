#include "scene/normals.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>
#include <tuple>

namespace tessaro {
namespace {

// cos 45 degrees: faces that meet at a sharper angle keep a crease between them.
constexpr double kSmoothingCosine = 0.7071067811865476;
// Normals all within about 22.49 degrees of one axis are pairwise well inside 45 degrees;
// the margin dwarfs the rounding of the dot products.
constexpr double kHalfLimitCosine = 0.9239;
constexpr std::uint32_t kNoCorner = 0xFFFFFFFFu;
// Up to this many corners at one position, summing per corner beats sorting into groups.
constexpr std::uint32_t kShortList = 16;
// Double hashing at the highest load (7/8) averages about 2.4 probes per entry.
constexpr std::uint64_t kProbesPerPosition = 8;
constexpr std::uint64_t kProbeAllowance = 1024;

template <typename T>
std::unique_ptr<T[]> allocateArray(std::uint64_t n) {
    if (n > SIZE_MAX / sizeof(T)) return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[n == 0 ? 1 : n]);
}

Vector3 operator-(const Vector3& a, const Vector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

double dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

bool isZero(const Vector3& v) {
    return v.x == 0 && v.y == 0 && v.z == 0;
}

Vector3 pointOf(const PositionRecord& p) {
    return {p.x, p.y, p.z};
}

bool normalizeVector(Vector3& v) {
    const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (!(length > 0) || std::isinf(length)) {
        v = {0, 0, 0};
        return false;
    }
    const double scale = 1 / length;
    v = {v.x * scale, v.y * scale, v.z * scale};
    return true;
}

// ---- Position welding ----

// -0 and +0 compare equal, so they must hash alike.
std::uint64_t keyBits(double value) {
    return value == 0.0 ? 0 : std::bit_cast<std::uint64_t>(value);
}

struct ProbeSequence {
    std::uint32_t home, step;
};

ProbeSequence probeSequence(const PositionRecord& p) {
    const std::uint64_t x = keyBits(p.x), y = keyBits(p.y), z = keyBits(p.z);
    const auto w0 = std::uint32_t(x), w1 = std::uint32_t(x >> 32);
    const auto w2 = std::uint32_t(y), w3 = std::uint32_t(y >> 32);
    const auto w4 = std::uint32_t(z), w5 = std::uint32_t(z >> 32);
    const std::uint32_t home = (w0 + 19u * w1 + 17u * w2 + 13u * w3 + 11u * w4 + 7u * w5) * 15401u;
    const std::uint32_t step = 2u * (3u * w0 + 5u * w1 + w2 + 11u * w3 + 13u * w4 + 17u * w5) + 1u;
    return {home, step};
}

bool samePlace(const PositionRecord& a, const PositionRecord& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool hasNaN(const PositionRecord& p) {
    return std::isnan(p.x) || std::isnan(p.y) || std::isnan(p.z);
}

}  // namespace

bool PositionWeldSet::reserve(std::uint32_t count) {
    if (m_count != 0) return false;
    std::uint64_t keys = kMinKeyCapacity, slots = kMinSlotCount;
    while (keys < count) {
        keys *= 2;
        slots *= 2;
    }
    return rebuild(keys, slots);
}

std::uint32_t PositionWeldSet::enter(std::uint32_t index) {
    if (!makeRoom()) return kNotEntered;
    bool equal = false;
    std::uint32_t* slot = findSlot(index, &equal);
    if (equal) return *slot - 1;
    *slot = index + 1;
    ++m_count;
    return index;
}

// The slot that holds a position equal to positions[index] (*equal set), or the empty
// slot that ends its probe sequence.
std::uint32_t* PositionWeldSet::findSlot(std::uint32_t index, bool* equal) {
    const PositionRecord& p = m_positions[index];
    const ProbeSequence probe = probeSequence(p);
    const std::uint32_t mask = m_slotCount - 1;
    for (std::uint32_t at = probe.home & mask;; at = (at + probe.step) & mask) {
        ++m_probes;
        const std::uint32_t entry = m_slots[at];
        *equal = entry != 0 && (entry - 1 == index || samePlace(m_positions[entry - 1], p));
        if (entry == 0 || *equal) return &m_slots[at];
    }
}

bool PositionWeldSet::makeRoom() {
    if (m_slotCount == 0) return rebuild(kMinKeyCapacity, kMinSlotCount);
    if (8ull * m_count < 7ull * m_slotCount) return true;
    return rebuild(std::max<std::uint64_t>(kMinKeyCapacity, 2ull * m_count),
                   std::max<std::uint64_t>(kMinSlotCount, 2ull * m_slotCount));
}

bool PositionWeldSet::rebuild(std::uint64_t keyCapacity, std::uint64_t slotCount) {
    if (slotCount > (std::uint64_t{1} << 31)) return false;
    std::unique_ptr<std::uint32_t[]> slots(new (std::nothrow) std::uint32_t[slotCount]());
    if (!slots) return false;
    std::swap(m_slots, slots);
    const std::uint32_t oldSlotCount = m_slotCount;
    m_slotCount = static_cast<std::uint32_t>(slotCount);
    m_keyCapacity = static_cast<std::uint32_t>(std::min<std::uint64_t>(keyCapacity, UINT32_MAX));
    // Entries are distinct, so re-entering one only looks for an empty slot.
    for (std::uint32_t i = 0; i < oldSlotCount; ++i) {
        if (slots[i] == 0) continue;
        bool equal = false;
        *findSlot(slots[i] - 1, &equal) = slots[i];
    }
    return true;
}

namespace {

enum class HashWeld { done, noMemory, crowded };

HashWeld weldByHashing(const PositionRecord* positions, std::uint32_t count,
                       std::uint32_t* canonical) {
    PositionWeldSet set(positions);
    if (!set.reserve(count)) return HashWeld::noMemory;
    const std::uint64_t budget = kProbesPerPosition * count + kProbeAllowance;
    for (std::uint32_t i = 0; i < count; ++i) {
        canonical[i] = set.enter(i);
        if (canonical[i] == PositionWeldSet::kNotEntered) return HashWeld::noMemory;
        if (set.probeCount() > budget) return HashWeld::crowded;
    }
    return HashWeld::done;
}

// Same result as hashing: equal positions end up side by side, lowest index first.
bool weldBySorting(const PositionRecord* positions, std::uint32_t count, std::uint32_t* canonical) {
    auto order = allocateArray<std::uint32_t>(count);
    if (!order) return false;
    for (std::uint32_t i = 0; i < count; ++i)
        order[i] = i;
    const auto key = [positions](std::uint32_t i) {
        const PositionRecord& p = positions[i];
        return std::make_tuple(keyBits(p.x), keyBits(p.y), keyBits(p.z), i);
    };
    std::sort(order.get(), order.get() + count,
              [&key](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    std::uint32_t first = 0;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t i = order[k];
        const bool joins = k != 0 && samePlace(positions[first], positions[i]);
        if (!joins) first = i;
        canonical[i] = hasNaN(positions[i]) ? i : first;
    }
    return true;
}

}  // namespace

bool normalize(Vector3& v) {
    return normalizeVector(v);
}

bool weldPositions(const PositionRecord* positions, std::uint32_t count, std::uint32_t* canonical) {
    switch (weldByHashing(positions, count, canonical)) {
        case HashWeld::done:
            return true;
        case HashWeld::crowded:
            return weldBySorting(positions, count, canonical);
        case HashWeld::noMemory:
            break;
    }
    return false;
}

namespace {

// ---- Face pass ----

struct CornerList {
    std::uint32_t head;
    std::uint32_t length;
};

// Working tables of one generation; corner c is vertex c % 3 of face c / 3.
struct NormalWork {
    std::unique_ptr<std::uint32_t[]> canonical;
    std::unique_ptr<Vector3[]> faceNormals;
    std::unique_ptr<double[]> cornerAngles;  // angle of the face at each corner
    std::unique_ptr<CornerList[]> lists;     // per position
    std::unique_ptr<std::uint32_t[]> nextCorner;
    std::uint32_t missing = 0;  // corners that receive a generated normal
    std::uint32_t longestList = 0;
};

bool facePositionsValid(const FaceRecord& face, std::uint32_t positionCount) {
    for (const Vertex& v : face.vertex) {
        if (v.position < 0 || std::uint32_t(v.position) >= positionCount) return false;
    }
    return true;
}

// Normalising each edge once serves both corners on it: p(k) - p(k+2) is exactly the
// negation of p(k+2) - p(k), and so is its normalisation and every dot product with it.
void storeCornerAngles(const Vector3 (&p)[3], double* angles) {
    Vector3 edge[3] = {p[1] - p[0], p[2] - p[1], p[0] - p[2]};  // edge k leaves corner k
    bool valid[3];
    for (int k = 0; k < 3; ++k)
        valid[k] = normalizeVector(edge[k]);
    for (int k = 0; k < 3; ++k) {
        const int arriving = (k + 2) % 3;
        // An edge without direction gives angle 0. Rounding can push the cosine of a
        // sliver's tiny angle past 1, where acos gives NaN, so it is clamped.
        const double cosine = -dot(edge[k], edge[arriving]);
        angles[k] = valid[k] && valid[arriving] ? std::acos(std::clamp(cosine, -1.0, 1.0)) : 0;
    }
}

void pushCorner(NormalWork& work, std::uint32_t position, std::uint32_t corner) {
    CornerList& list = work.lists[position];
    work.nextCorner[corner] = list.head;
    list.head = corner;
    ++list.length;
    work.longestList = std::max(work.longestList, list.length);
}

// Face normal and corner angles of one face over its welded positions. Only faces with a
// group and a normal can contribute, so only they need angles.
void measureFace(const DrawableMesh& mesh, NormalWork& work, std::uint32_t f) {
    const FaceRecord& face = mesh.faces[f];
    Vector3 p[3];
    for (int k = 0; k < 3; ++k)
        p[k] = pointOf(mesh.positions[work.canonical[face.vertex[k].position]]);
    Vector3& normal = work.faceNormals[f];
    normal = cross(p[1] - p[0], p[2] - p[0]);
    double* angles = &work.cornerAngles[3 * f];
    if (normalizeVector(normal) && face.smoothingGroups != 0)
        storeCornerAngles(p, angles);
    else
        angles[0] = angles[1] = angles[2] = 0;
}

// Face normals, corner angles and corner lists. The mesh is only read, so a later failure
// leaves it as it was.
void facePass(const DrawableMesh& mesh, NormalWork& work) {
    for (std::uint32_t f = 0; f < mesh.faces.count; ++f) {
        const FaceRecord& face = mesh.faces[f];
        if (!facePositionsValid(face, mesh.positions.count)) {
            work.faceNormals[f] = {0, 0, 0};
            continue;
        }
        measureFace(mesh, work, f);
        for (std::uint32_t k = 0; k < 3; ++k) {
            pushCorner(work, work.canonical[face.vertex[k].position], 3 * f + k);
            if (face.vertex[k].normal == kNone) ++work.missing;
        }
    }
}

bool allocateWork(const DrawableMesh& mesh, NormalWork& work) {
    const std::uint32_t positions = mesh.positions.count;
    const std::uint64_t corners = 3ull * mesh.faces.count;
    if (corners >= kNoCorner) return false;
    work.canonical = allocateArray<std::uint32_t>(positions);
    work.faceNormals = allocateArray<Vector3>(mesh.faces.count);
    work.cornerAngles = allocateArray<double>(corners);
    work.lists = allocateArray<CornerList>(positions);
    work.nextCorner = allocateArray<std::uint32_t>(corners);
    if (!work.canonical || !work.faceNormals || !work.cornerAngles || !work.lists ||
        !work.nextCorner)
        return false;
    std::fill_n(work.lists.get(), positions, CornerList{kNoCorner, 0});
    return weldPositions(mesh.positions.data.get(), positions, work.canonical.get());
}

// ---- Vertex pass ----

// One corner of the position being smoothed, gathered so the inner loop reads contiguous memory.
struct ListCorner {
    Vector3 normal;  // face normal
    double weight;   // angle of the face at this corner
    std::uint32_t mask;
    std::uint32_t record;  // generated normal record, or kNoCorner when the vertex has one
};

struct VertexPass {
    DrawableMesh& mesh;
    const NormalWork& work;
    NormalRecord* normals;  // the new table, old normals first
    std::uint32_t nextRecord;
    ListCorner* corners;     // scratch for the longest list
    std::uint32_t* needing;  // scratch: list positions of corners that need a normal
};

// Collects the corners of one position in list order (most recent first), moves their
// faces onto the welded position and reserves a record, in list order, for each vertex
// that has no normal.
std::uint32_t gatherCorners(VertexPass& pass, std::uint32_t position) {
    std::uint32_t n = 0;
    for (std::uint32_t c = pass.work.lists[position].head; c != kNoCorner;
         c = pass.work.nextCorner[c]) {
        FaceRecord& face = pass.mesh.faces[c / 3];
        Vertex& vertex = face.vertex[c % 3];
        vertex.position = static_cast<std::int32_t>(position);
        ListCorner& corner = pass.corners[n++];
        corner.normal = pass.work.faceNormals[c / 3];
        corner.weight = pass.work.cornerAngles[c];
        corner.mask = face.smoothingGroups;
        corner.record = kNoCorner;
        if (vertex.normal == kNone) {
            corner.record = pass.nextRecord++;
            vertex.normal = static_cast<std::int32_t>(corner.record);
        }
    }
    return n;
}

// True when every pair of non-zero face normals passes the 45-degree test, so that the
// smoothed sum of a corner depends on its mask alone.
bool normalsPairwiseClose(const ListCorner* corners, std::uint32_t n) {
    Vector3 axis{0, 0, 0};
    for (std::uint32_t i = 0; i < n; ++i) {
        axis = {axis.x + corners[i].normal.x, axis.y + corners[i].normal.y,
                axis.z + corners[i].normal.z};
    }
    if (!normalizeVector(axis)) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (!isZero(corners[i].normal) && dot(axis, corners[i].normal) < kHalfLimitCosine)
            return false;
    }
    return true;
}

// Corners with equal keys get bit-identical sums: the same faces pass their tests, added
// in the same order.
struct SmoothingKey {
    std::uint32_t mask;
    std::uint64_t x, y, z;
    auto operator<=>(const SmoothingKey&) const = default;
};

SmoothingKey smoothingKey(const ListCorner& corner, bool pairwiseClose) {
    const Vector3& n = corner.normal;
    if (pairwiseClose) return {corner.mask, isZero(n) ? 0u : 1u, 0, 0};
    return {corner.mask, std::bit_cast<std::uint64_t>(n.x), std::bit_cast<std::uint64_t>(n.y),
            std::bit_cast<std::uint64_t>(n.z)};
}

// Sum of angle-weighted face normals that share a group with `corner` and lie within 45
// degrees of its face normal, in list order.
Vector3 smoothedSum(const ListCorner* corners, std::uint32_t n, const ListCorner& corner) {
    Vector3 sum{0, 0, 0};
    if (corner.mask == 0) return sum;
    for (std::uint32_t d = 0; d < n; ++d) {
        const ListCorner& other = corners[d];
        if ((other.mask & corner.mask) == 0 || dot(corner.normal, other.normal) < kSmoothingCosine)
            continue;
        sum = {sum.x + other.weight * other.normal.x, sum.y + other.weight * other.normal.y,
               sum.z + other.weight * other.normal.z};
    }
    return sum;
}

void writeNormal(const VertexPass& pass, std::uint32_t record, const Vector3& n) {
    pass.normals[record] = {kNoId, float(n.x), float(n.y), float(n.z)};
}

// A failed sum leaves each corner its own face normal (faces without a group, isolated faces).
void writeGroup(const VertexPass& pass, const std::uint32_t* members, std::uint32_t count,
                Vector3 sum) {
    const bool smooth = normalizeVector(sum);
    for (std::uint32_t m = 0; m < count; ++m) {
        const ListCorner& corner = pass.corners[members[m]];
        writeNormal(pass, corner.record, smooth ? sum : corner.normal);
    }
}

// Sorts the needing corners by key and returns the number of groups that must be summed.
std::uint64_t groupByKey(const VertexPass& pass, std::uint32_t needCount, bool pairwiseClose) {
    const auto key = [&](std::uint32_t i) { return smoothingKey(pass.corners[i], pairwiseClose); };
    std::sort(pass.needing, pass.needing + needCount,
              [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
    std::uint64_t groups = 0;
    for (std::uint32_t m = 0; m < needCount; ++m) {
        const bool starts = m == 0 || key(pass.needing[m - 1]) != key(pass.needing[m]);
        if (starts && pass.corners[pass.needing[m]].mask != 0) ++groups;
    }
    return groups;
}

// Short lists are summed corner by corner, sorting pays off only for long ones; a corner
// whose key an earlier corner had reuses that sum. On a smooth surface every corner of
// a position has the same key, so the list is summed once instead of once per corner.
void smoothEachCorner(const VertexPass& pass, std::uint32_t n) {
    const bool pairwiseClose = normalsPairwiseClose(pass.corners, n);
    SmoothingKey keys[kShortList];
    Vector3 sums[kShortList];
    std::uint32_t summed = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const ListCorner& corner = pass.corners[i];
        if (corner.record == kNoCorner) continue;
        const SmoothingKey key = smoothingKey(corner, pairwiseClose);
        std::uint32_t k = 0;
        while (k < summed && keys[k] != key)
            ++k;
        if (k == summed) {
            keys[k] = key;
            sums[k] = smoothedSum(pass.corners, n, corner);
            ++summed;
        }
        writeGroup(pass, &i, 1, sums[k]);
    }
}

void smoothByGroups(const VertexPass& pass, std::uint32_t n) {
    std::uint32_t needCount = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        if (pass.corners[i].record != kNoCorner) pass.needing[needCount++] = i;
    }
    const bool pairwiseClose = normalsPairwiseClose(pass.corners, n);
    const std::uint64_t groups = groupByKey(pass, needCount, pairwiseClose);
    const bool flat = groups * n > kMaxSmoothingPairsPerPosition;
    const auto key = [&](std::uint32_t m) {
        return smoothingKey(pass.corners[pass.needing[m]], pairwiseClose);
    };
    for (std::uint32_t start = 0, end = 0; start < needCount; start = end) {
        while (end < needCount && key(end) == key(start))
            ++end;
        const ListCorner& first = pass.corners[pass.needing[start]];
        const Vector3 sum = flat ? Vector3{0, 0, 0} : smoothedSum(pass.corners, n, first);
        writeGroup(pass, pass.needing + start, end - start, sum);
    }
}

void vertexPass(VertexPass& pass) {
    for (std::uint32_t p = 0; p < pass.mesh.positions.count; ++p) {
        if (pass.work.lists[p].length == 0) continue;
        const std::uint32_t before = pass.nextRecord;
        const std::uint32_t n = gatherCorners(pass, p);
        if (pass.nextRecord == before) continue;  // every vertex here has its normal
        if (n <= kShortList)
            smoothEachCorner(pass, n);
        else
            smoothByGroups(pass, n);
    }
}

// The new table is sized exactly: the face pass counted the vertices without a normal.
bool startNormalTable(const DrawableMesh& mesh, std::uint32_t missing,
                      RecordBlock<NormalRecord>& normals) {
    const std::uint64_t total = std::uint64_t{mesh.normals.count} + missing;
    if (missing == 0) return true;
    if (total > std::uint64_t{INT32_MAX}) return false;  // normal indices are signed 32-bit
    if (!normals.allocate(static_cast<std::uint32_t>(total))) return false;
    if (mesh.normals.count != 0)
        std::memcpy(normals.data.get(), mesh.normals.data.get(),
                    sizeof(NormalRecord) * mesh.normals.count);
    return true;
}

}  // namespace

bool generateNormals(DrawableMesh& mesh) {
    if (mesh.faces.count == 0) return true;
    NormalWork work;
    if (!allocateWork(mesh, work)) return false;
    facePass(mesh, work);

    RecordBlock<NormalRecord> normals;
    auto corners = allocateArray<ListCorner>(work.longestList);
    auto needing = allocateArray<std::uint32_t>(work.longestList);
    if (!corners || !needing || !startNormalTable(mesh, work.missing, normals)) return false;

    VertexPass pass{mesh,          work,         normals.data.get(), mesh.normals.count,
                    corners.get(), needing.get()};
    vertexPass(pass);
    if (work.missing != 0) mesh.normals = std::move(normals);
    return true;
}

}  // namespace tessaro
