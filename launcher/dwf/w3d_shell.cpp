#include "dwf/w3d_shell.h"

#include <algorithm>

namespace plotwick::internal {
namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

std::uint32_t next(std::uint32_t h) {
    return h - h % 3 + (h + 1) % 3;
}
std::uint32_t prev(std::uint32_t h) {
    return h - h % 3 + (h + 2) % 3;
}

std::uint32_t allOnes(unsigned width) {
    return width >= 32 ? 0xFFFFFFFFu : (std::uint32_t{1} << width) - 1;
}

bool fail(std::string& error, std::string text) {
    error = std::move(text);
    return false;
}

// The cyclic boundary of the component being decoded: edges with their start vertex
// and the inner half-edge across them.
struct Boundary {
    std::vector<std::uint32_t> start, inner, after, before;

    std::uint32_t add(std::uint32_t vertex, std::uint32_t innerEdge) {
        start.push_back(vertex);
        inner.push_back(innerEdge);
        after.push_back(kNone);
        before.push_back(kNone);
        return static_cast<std::uint32_t>(start.size() - 1);
    }
    void link(std::uint32_t first, std::uint32_t second) {
        after[first] = second;
        before[second] = first;
    }
};

// Step 1: the length of the component's starting loop and the offsets of its S ops.
bool scanComponent(std::span<const std::uint8_t> ops, std::size_t first, std::int64_t& loop,
                   std::vector<std::int64_t>& offsets, std::string& error) {
    std::int64_t k = 0;
    std::vector<std::pair<std::size_t, std::int64_t>> pending;
    offsets.clear();
    for (std::size_t i = first; i < ops.size(); ++i) {
        switch (static_cast<EdgebreakerOp>(ops[i])) {
            case EdgebreakerOp::C:
                k -= 1;
                break;
            case EdgebreakerOp::L:
            case EdgebreakerOp::R:
                k += 1;
                break;
            case EdgebreakerOp::S:
                k -= 1;
                pending.emplace_back(offsets.size(), k);
                offsets.push_back(0);
                break;
            case EdgebreakerOp::E:
                k += 3;
                if (pending.empty()) {
                    loop = k;
                    if (loop < 3) return fail(error, "an edgebreaker loop shorter than 3 edges");
                    return true;
                }
                offsets[pending.back().first] = k - 2 - pending.back().second;
                if (offsets[pending.back().first] < 0)
                    return fail(error, "an edgebreaker split with a negative offset");
                pending.pop_back();
                break;
            default:
                return fail(error, "edgebreaker op " + std::to_string(ops[i]) +
                                       " (only C L E R S are known)");
        }
    }
    return fail(error, "the edgebreaker ops end inside a component");
}

void pair(W3dConnectivity& result, std::uint32_t a, std::uint32_t b) {
    if (a == kNone || b == kNone) return;
    result.twins[a] = static_cast<std::int32_t>(b);
    result.twins[b] = static_cast<std::int32_t>(a);
}

}  // namespace

bool W3dGeometryBudget::take(std::uint64_t vertexCount, std::uint64_t indexCount) {
    if (vertexCount > vertices || indexCount > indices) return false;
    vertices -= static_cast<std::size_t>(vertexCount);
    indices -= static_cast<std::size_t>(indexCount);
    return true;
}

// Real models hold well under one vertex per byte of their file (shells compress to a
// few bytes a vertex); a file of plain cylinders reaches about three. The floor, some
// 350,000 triangles, is also what drawing can take without great time or memory.
W3dGeometryBudget geometryBudgetFor(std::size_t fileBytes) {
    constexpr std::size_t kVertexFloor = std::size_t{1} << 18, kVerticesPerByte = 8;
    constexpr std::size_t kIndexFloor = std::size_t{1} << 20, kIndicesPerByte = 32;
    const std::size_t bytes = std::min(fileBytes, SIZE_MAX / (2 * kIndicesPerByte));
    return {kVertexFloor + bytes * kVerticesPerByte, kIndexFloor + bytes * kIndicesPerByte};
}

bool W3dBitReader::get(unsigned count, std::uint32_t& value) {
    const std::size_t totalBits = (m_bytes.size() / 4) * 32;
    if (count > 32 || count > totalBits - std::min(totalBits, m_bit)) return false;
    std::uint64_t result = 0;
    for (unsigned done = 0; done < count;) {
        const std::size_t word = m_bit / 32;
        const unsigned used = static_cast<unsigned>(m_bit % 32);
        const std::uint32_t bits =
            std::uint32_t{m_bytes[word * 4]} | std::uint32_t{m_bytes[word * 4 + 1]} << 8 |
            std::uint32_t{m_bytes[word * 4 + 2]} << 16 | std::uint32_t{m_bytes[word * 4 + 3]} << 24;
        const unsigned take = std::min(count - done, 32 - used);
        const std::uint32_t chunk = static_cast<std::uint32_t>(
            (std::uint64_t{bits} << used & 0xFFFFFFFFull) >> (32 - take));
        result = result << take | chunk;
        done += take;
        m_bit += take;
    }
    value = static_cast<std::uint32_t>(result);
    return true;
}

bool W3dBitReader::cascade(std::span<const unsigned> widths, std::int64_t& value) {
    for (std::size_t i = 0; i < widths.size(); ++i) {
        std::uint32_t raw = 0;
        if (!get(widths[i], raw)) return false;
        if (raw == allOnes(widths[i]) && i + 1 < widths.size()) continue;
        value = std::int64_t{raw} - (std::int64_t{1} << (widths[i] - 1)) + 1;
        return true;
    }
    return false;
}

bool readMTable(std::span<const std::uint8_t> bytes, W3dMTable& table, std::string& error) {
    ByteCursor cursor(bytes);
    std::uint32_t flags = 0, lengths = 0, m2 = 0, dummies = 0, patchInts = 0;
    const auto count = [&](std::uint32_t bit, std::uint32_t& value) {
        return (flags & bit) == 0 || cursor.read(value);
    };
    if (!cursor.read(flags) || !count(0x01, lengths) || !count(0x02, m2) || !count(0x08, dummies) ||
        !count(0x10, patchInts))
        return fail(error, "the m-table ends early");
    if (patchInts % 2 != 0) return fail(error, "the m-table has an odd patch count");
    const std::uint64_t ints = std::uint64_t{lengths} + 2ull * m2 + dummies + patchInts;
    if (ints * 4 > cursor.remaining()) return fail(error, "the m-table's counts exceed it");
    cursor.skip((std::size_t{lengths} + 2 * std::size_t{m2}) * 4);
    std::int64_t vertex = 0;
    for (std::uint32_t i = 0; i < dummies; ++i) {
        std::int32_t delta = 0;
        cursor.read(delta);
        vertex += delta;
        if (vertex < 0 || vertex > 0x7FFFFFFF || (i > 0 && vertex <= table.dummies.back()))
            return fail(error, "the m-table's dummies are not ascending");
        table.dummies.push_back(static_cast<std::uint32_t>(vertex));
    }
    std::int64_t old = 0;
    for (std::uint32_t i = 0; i < patchInts / 2; ++i) {
        std::int32_t delta = 0, newVertex = 0;
        cursor.read(delta);
        cursor.read(newVertex);
        old += delta;
        if (old < 0 || old > 0x7FFFFFFF || newVertex < 0)
            return fail(error, "the m-table has a patch outside the vertices");
        table.patches.emplace_back(static_cast<std::uint32_t>(old),
                                   static_cast<std::uint32_t>(newVertex));
    }
    bool whole = true;
    if (flags & 0x20) {
        for (float& value : table.pointBox)
            whole = whole && cursor.read(value);
    }
    if (flags & 0x40) {
        for (auto& bits : table.pointBits)
            whole = whole && cursor.read(bits);
    }
    if (flags & 0x80) {
        for (auto& bits : table.normalBits)
            whole = whole && cursor.read(bits);
    }
    if (!whole) return fail(error, "the m-table ends early");
    if (!cursor.atEnd()) return fail(error, "the m-table is not used up");
    return true;
}

bool decodeConnectivity(std::span<const std::uint8_t> ops, W3dConnectivity& result,
                        std::size_t& budget, std::string& error) {
    result.starts.assign(ops.size() * 3, 0);
    result.twins.assign(ops.size() * 3, kNoTwin);
    std::uint32_t nextVertex = 0;
    std::vector<std::int64_t> offsets;
    std::size_t op = 0;
    while (op < ops.size()) {
        std::int64_t loop = 0;
        if (!scanComponent(ops, op, loop, offsets, error)) return false;
        if (std::uint64_t{nextVertex} + loop > 0x7FFFFFFF)
            return fail(error, "too many edgebreaker vertices");
        Boundary boundary;
        for (std::int64_t j = 0; j < loop; ++j)
            boundary.add(nextVertex++, kNone);
        for (std::uint32_t j = 0; j < loop; ++j)
            boundary.link(j, static_cast<std::uint32_t>((j + 1) % loop));
        std::uint32_t gate = 0;
        std::vector<std::uint32_t> gates;
        std::size_t splits = 0;
        for (bool finished = false; !finished; ++op) {
            if (op >= ops.size()) return fail(error, "the edgebreaker ops end inside a component");
            const std::uint32_t t = static_cast<std::uint32_t>(op) * 3;
            const std::uint32_t gp = boundary.before[gate], gn = boundary.after[gate];
            const std::uint32_t a = boundary.start[gate], b = boundary.start[gn];
            std::uint32_t x = 0;
            pair(result, t, boundary.inner[gate]);
            switch (static_cast<EdgebreakerOp>(ops[op])) {
                case EdgebreakerOp::C: {
                    x = nextVertex++;
                    const std::uint32_t e = boundary.add(a, t + 2);
                    boundary.link(gp, e);
                    boundary.link(e, gate);
                    boundary.start[gate] = x;
                    boundary.inner[gate] = t + 1;
                    break;
                }
                case EdgebreakerOp::L:
                    x = boundary.start[gp];
                    pair(result, t + 2, boundary.inner[gp]);
                    boundary.link(boundary.before[gp], gate);
                    boundary.start[gate] = x;
                    boundary.inner[gate] = t + 1;
                    break;
                case EdgebreakerOp::R: {
                    const std::uint32_t beyond = boundary.after[gn];
                    x = boundary.start[beyond];
                    pair(result, t + 1, boundary.inner[gn]);
                    boundary.link(gate, beyond);
                    boundary.inner[gate] = t + 2;
                    break;
                }
                case EdgebreakerOp::E:
                    x = boundary.start[gp];
                    pair(result, t + 1, boundary.inner[gn]);
                    pair(result, t + 2, boundary.inner[gp]);
                    if (gates.empty()) {
                        finished = true;
                    } else {
                        gate = gates.back();
                        gates.pop_back();
                    }
                    break;
                case EdgebreakerOp::S: {
                    if (splits >= offsets.size()) return fail(error, "an unmatched edgebreaker S");
                    const std::int64_t steps = offsets[splits++] + 1;
                    if (static_cast<std::uint64_t>(steps) > budget)
                        return fail(error, "the edgebreaker splits walk too far");
                    budget -= static_cast<std::size_t>(steps);
                    std::uint32_t f = gate;
                    for (std::int64_t i = 0; i < steps; ++i)
                        f = boundary.after[f];
                    const std::uint32_t beyond = boundary.after[f];
                    x = boundary.start[beyond];
                    const std::uint32_t e = boundary.add(a, t + 2);
                    boundary.link(gp, e);
                    boundary.link(e, beyond);
                    gates.push_back(e);
                    boundary.start[gate] = x;
                    boundary.inner[gate] = t + 1;
                    boundary.link(f, gate);
                    boundary.link(gate, gn);
                    break;
                }
                default:
                    return fail(error, "an unknown edgebreaker op");
            }
            if (a == b || b == x || x == a)
                return fail(error, "a degenerate edgebreaker triangle at op " + std::to_string(op));
            result.starts[t] = a;
            result.starts[t + 1] = b;
            result.starts[t + 2] = x;
        }
    }
    result.vertexCount = nextVertex;
    return true;
}

bool applyDummiesAndPatches(const W3dMTable& table, W3dConnectivity& connectivity,
                            std::uint32_t& finalCount, std::string& error) {
    const std::uint32_t count = connectivity.vertexCount;
    std::vector<std::uint32_t> final(count, 0);
    std::vector<std::uint8_t> removed(count, 0);
    for (std::uint32_t dummy : table.dummies) {
        if (dummy >= count) return fail(error, "an edgebreaker dummy outside the vertices");
        removed[dummy] = 1;
        final[dummy] = kDummyVertex;
    }
    for (const auto& [old, to] : table.patches) {
        if (old >= count || removed[old])
            return fail(error, "an edgebreaker patch outside the vertices");
        removed[old] = 2;
        final[old] = to;
    }
    std::uint32_t numbered = 0;
    for (std::uint32_t v = 0; v < count; ++v) {
        if (!removed[v]) final[v] = numbered++;
    }
    for (const auto& patch : table.patches) {
        if (patch.second >= numbered) return fail(error, "an edgebreaker patch to no vertex");
    }
    finalCount = numbered;
    auto& starts = connectivity.starts;
    auto& twins = connectivity.twins;
    for (auto& start : starts) {
        if (start >= count) return fail(error, "an edgebreaker vertex outside the vertices");
        start = final[start];
    }
    for (std::size_t t = 0; t + 2 < starts.size(); t += 3) {
        for (std::size_t e = t; e < t + 3; ++e) {
            if (starts[e] != kDummyVertex) continue;
            const std::uint32_t n = next(static_cast<std::uint32_t>(e));
            if (twins[n] != kNoTwin && twins[twins[n]] == static_cast<std::int32_t>(n))
                twins[twins[n]] = kNoTwin;
            for (std::size_t d = t; d < t + 3; ++d) {
                starts[d] = kDummyVertex;
                twins[d] = kNoTwin;
            }
            break;
        }
    }
    return true;
}

bool predictVertexValues(const W3dConnectivity& connectivity, std::uint32_t finalCount,
                         std::span<const std::int64_t> absolute,
                         std::span<const std::int64_t> differences,
                         std::vector<std::int64_t>& values, std::string& error) {
    const auto& starts = connectivity.starts;
    const auto& twins = connectivity.twins;
    values.assign(std::size_t{finalCount} * 3, 0);
    std::vector<std::uint8_t> seen(finalCount, 0);
    std::size_t usedAbsolute = 0, usedDifferences = 0;
    std::vector<std::uint32_t> stack;
    const auto dummy = [&](std::uint32_t h) { return starts[h] == kDummyVertex; };
    for (std::uint32_t h = 0; h < starts.size(); ++h) {
        if (dummy(h) || seen[starts[h]] || dummy(next(h)) || dummy(prev(h))) continue;
        stack.clear();
        for (std::uint32_t e : {h, next(h), next(next(h))}) {
            const std::uint32_t v = starts[e];
            if (v >= finalCount) return fail(error, "an edgebreaker vertex outside the vertices");
            if (!seen[v]) {
                if (usedAbsolute + 3 > absolute.size())
                    return fail(error, "more vertices than absolute values");
                seen[v] = 1;
                std::copy_n(absolute.begin() + usedAbsolute, 3, values.begin() + v * 3);
                usedAbsolute += 3;
            }
            if (twins[e] != kNoTwin) stack.push_back(e);
        }
        while (!stack.empty()) {
            const std::uint32_t e = stack.back();
            stack.pop_back();
            const auto f = static_cast<std::uint32_t>(twins[e]);
            const std::uint32_t v = starts[prev(f)];
            if (v == kDummyVertex || seen[v]) continue;
            if (v >= finalCount) return fail(error, "an edgebreaker vertex outside the vertices");
            if (usedDifferences + 3 > differences.size())
                return fail(error, "more vertices than predicted values");
            const std::uint32_t p = starts[f], q = starts[next(f)], r = starts[prev(e)];
            for (std::size_t k = 0; k < 3; ++k) {
                const std::int64_t prediction =
                    values[p * 3 + k] + values[q * 3 + k] - values[r * 3 + k];
                values[v * 3 + k] = prediction - differences[usedDifferences + k];
            }
            usedDifferences += 3;
            if (twins[next(f)] != kNoTwin) stack.push_back(next(f));
            if (twins[prev(f)] != kNoTwin) stack.push_back(prev(f));
            seen[v] = 1;
        }
    }
    if (usedAbsolute != absolute.size() || usedDifferences != differences.size())
        return fail(error, "the vertex values do not match the vertices");
    if (std::find(seen.begin(), seen.end(), 0) != seen.end())
        return fail(error, "a vertex no triangle reaches");
    return true;
}

namespace {

struct BlockHeader {
    std::uint8_t layout = 0, mtableFormat = 0, pointsFormat = 0, normalsFormat = 0;
    std::uint32_t opsLength = 0, mtableLength = 0, pointsLength = 0, pointCount = 0;
};

std::size_t padded(std::size_t offset) {
    return (offset + 3) / 4 * 4;
}

bool readCascades(W3dBitReader& bits, std::span<const unsigned> widths, std::size_t count,
                  std::vector<std::int64_t>& values) {
    values.resize(count);
    for (std::int64_t& value : values) {
        if (!bits.cascade(widths, value)) return false;
    }
    return true;
}

float dequantise(std::int64_t value, std::uint32_t bits, float low, float high) {
    const double top = static_cast<double>(allOnes(std::min<std::uint32_t>(bits, 32)));
    if (static_cast<double>(value) == top) return high;
    return static_cast<float>(low + static_cast<double>(value) * (high - low) / top);
}

// Vertex values (points or normals) coded as absolute values and predicted differences.
bool readVertexValues(W3dBitReader& bits, const W3dConnectivity& connectivity,
                      std::uint32_t finalCount, std::int64_t absoluteCount,
                      std::int64_t differenceCount, std::vector<std::int64_t>& values,
                      std::string& error) {
    std::vector<std::int64_t> absolute, differences;
    if (!readCascades(bits, kLargeCascade, static_cast<std::size_t>(absoluteCount) * 3, absolute) ||
        !readCascades(bits, kSmallCascade, static_cast<std::size_t>(differenceCount) * 3,
                      differences))
        return fail(error, "the edgebreaker vertex bits end early");
    return predictVertexValues(connectivity, finalCount, absolute, differences, values, error);
}

bool readVertexBits(std::span<const std::uint8_t> stream, const BlockHeader& header,
                    const W3dMTable& table, const W3dConnectivity& connectivity,
                    std::uint32_t finalCount, W3dMesh& mesh, std::string& error) {
    W3dBitReader bits(stream);
    std::int64_t strips = 0, absoluteCount = 0, differenceCount = 0;
    if (!bits.cascade(kSmallCascade, strips) || !bits.cascade(kLargeCascade, absoluteCount) ||
        !bits.cascade(kLargeCascade, differenceCount))
        return fail(error, "the edgebreaker vertex bits end early");
    if (absoluteCount < 0 || differenceCount < 0 || absoluteCount + differenceCount != finalCount)
        return fail(error, "the edgebreaker vertex counts do not add up");
    std::vector<std::int64_t> values;
    if (header.pointsFormat > 0) {
        if (!readVertexValues(bits, connectivity, finalCount, absoluteCount, differenceCount,
                              values, error))
            return false;
        mesh.points.resize(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            const std::size_t k = i % 3;
            mesh.points[i] =
                dequantise(values[i], table.pointBits[k], table.pointBox[k], table.pointBox[k + 3]);
        }
    }
    if (header.normalsFormat > 0) {
        if (!readVertexValues(bits, connectivity, finalCount, absoluteCount, differenceCount,
                              values, error))
            return false;
        mesh.normals.resize(values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            mesh.normals[i] = dequantise(values[i], table.normalBits[i % 3], -1.0f, 1.0f);
    }
    if (strips != 0) {
        // Strips rebuild the same triangles; they are read only to check the bit count.
        std::int64_t count = 0;
        std::vector<std::int64_t> ignored;
        if (!bits.cascade(kLargeCascade, count) || count < 0 ||
            static_cast<std::uint64_t>(count) > stream.size() * 8 ||
            !readCascades(bits, kLargeCascade, static_cast<std::size_t>(count), ignored) ||
            !readCascades(bits, kSmallCascade, static_cast<std::size_t>(count), ignored))
            return fail(error, "the edgebreaker strip bits end early");
    }
    return true;
}

bool readBlockHeader(ByteCursor& cursor, BlockHeader& header) {
    if (!cursor.read(header.layout) || !cursor.read(header.mtableFormat) ||
        !cursor.read(header.pointsFormat) || !cursor.read(header.normalsFormat) ||
        !cursor.read(header.opsLength) || !cursor.read(header.mtableLength) ||
        !cursor.read(header.pointsLength) || !cursor.read(header.pointCount))
        return false;
    std::uint32_t normalsLength = 0;
    return header.layout == 0 || cursor.read(normalsLength);
}

// The edgebreaker block: connectivity ops, m-table and vertex bit stream.
bool decodeEdgebreaker(std::span<const std::uint8_t> block, W3dGeometryBudget& geometry,
                       W3dMesh& mesh, std::uint32_t& pointCount, std::string& error) {
    ByteCursor cursor(block);
    BlockHeader header;
    if (!readBlockHeader(cursor, header)) return fail(error, "the edgebreaker header ends early");
    if (header.layout != 2)
        return fail(error, "edgebreaker layout " + std::to_string(header.layout) +
                               " (only layout 2 is read)");
    const std::size_t opsAt = cursor.offset();
    const std::size_t tableAt = padded(opsAt + std::size_t{header.opsLength});
    const std::size_t bitsAt = padded(tableAt + std::size_t{header.mtableLength});
    if (header.opsLength > block.size() || tableAt > block.size() ||
        header.mtableLength > block.size() - tableAt || bitsAt > block.size() ||
        header.pointsLength > block.size() - bitsAt)
        return fail(error, "the edgebreaker lengths exceed its block");
    // Each op is one triangle.
    if (!geometry.take(header.pointCount, 3 * std::uint64_t{header.opsLength}))
        return fail(error, kGeometrySpent);
    W3dMTable table;
    if (!readMTable(block.subspan(tableAt, header.mtableLength), table, error)) return false;
    W3dConnectivity connectivity;
    // Splits walk along the boundary; real shells walk a few times their op count.
    std::size_t budget = 256 * std::size_t{header.opsLength} + (std::size_t{1} << 20);
    if (!decodeConnectivity(block.subspan(opsAt, header.opsLength), connectivity, budget, error))
        return false;
    std::uint32_t finalCount = 0;
    if (!applyDummiesAndPatches(table, connectivity, finalCount, error)) return false;
    if (finalCount != header.pointCount)
        return fail(error, "the edgebreaker gives " + std::to_string(finalCount) +
                               " vertices where the shell has " +
                               std::to_string(header.pointCount));
    if (!readVertexBits(block.subspan(bitsAt, header.pointsLength), header, table, connectivity,
                        finalCount, mesh, error))
        return false;
    mesh.triangles.reserve(connectivity.starts.size());
    for (std::size_t h = 0; h + 2 < connectivity.starts.size(); h += 3) {
        if (connectivity.starts[h] == kDummyVertex) continue;
        mesh.triangles.insert(mesh.triangles.end(), connectivity.starts.begin() + h,
                              connectivity.starts.begin() + h + 3);
    }
    pointCount = finalCount;
    return true;
}

bool readFloats(ByteCursor& cursor, std::size_t count, std::vector<float>& values) {
    if (count > cursor.remaining() / 4) return false;
    values.resize(count);
    for (float& value : values)
        cursor.read(value);
    return true;
}

// Samples of a quantised array: a byte each for 8 bits in threes, else packed in words.
bool readQuantised(std::span<const std::uint8_t> bytes, std::size_t width, std::uint32_t bits,
                   std::span<const float> box, std::size_t count, std::vector<float>& values) {
    if (bits == 0 || bits > 32) return false;
    // Checked before anything is allocated: a count is only as large as its samples.
    if (count > bytes.size() * 8 / bits / width) return false;
    values.resize(count * width);
    if (bits == 8 && width == 3) {
        if (bytes.size() < values.size()) return false;
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = dequantise(bytes[i], 8, box[i % width], box[i % width + width]);
        return true;
    }
    W3dBitReader reader(bytes);
    for (std::size_t i = 0; i < values.size(); ++i) {
        std::uint32_t sample = 0;
        if (!reader.get(bits, sample)) return false;
        values[i] = dequantise(sample, bits, box[i % width], box[i % width + width]);
    }
    return true;
}

// Texture coordinates for every vertex, quantised.
bool readTextureParameters(ByteCursor& cursor, unsigned version, std::size_t pointCount,
                           W3dMesh& mesh, std::string& error) {
    std::uint8_t scheme = 0, width = 3, bits = 0;
    if (!cursor.read(scheme) || (version >= 1175 && !cursor.read(width)))
        return fail(error, "the shell's texture parameters end early");
    if (scheme != 1) return fail(error, "texture parameters in scheme " + std::to_string(scheme));
    std::vector<float> box;
    std::uint32_t length = 0;
    std::span<const std::uint8_t> samples;
    if (width == 0 || !readFloats(cursor, 2 * std::size_t{width}, box) || !cursor.read(bits) ||
        !cursor.read(length) || !cursor.take(length, samples))
        return fail(error, "the shell's texture parameters end early");
    if (!readQuantised(samples, width, bits, box, pointCount, mesh.texCoords))
        return fail(error, "the shell's texture parameters hold fewer samples than vertices");
    if (width != 3) mesh.texCoords.clear();  // kept only in the common u v w form
    return true;
}

bool readAttributes(ByteCursor& cursor, unsigned version, std::size_t pointCount, W3dMesh& mesh,
                    std::string& error) {
    for (;;) {
        std::uint8_t op = 0;
        if (!cursor.read(op)) return fail(error, "the shell's attribute list ends early");
        if (op == 0) return true;
        if (op != 3)
            return fail(error, "shell attribute " + std::to_string(op) + " (not read yet)");
        if (!readTextureParameters(cursor, version, pointCount, mesh, error)) return false;
    }
}

// HOOPS face lists: a count and that many vertices, a negative count a hole; faces are
// fanned from their first vertex, holes are left out.
bool readFaceList(ByteCursor& cursor, unsigned version, std::uint16_t sub2, bool strips,
                  std::size_t pointCount, W3dGeometryBudget& budget, W3dMesh& mesh,
                  std::string& error) {
    std::uint8_t scheme = 0, size = 0;
    std::uint32_t length = 0;
    std::span<const std::uint8_t> bytes;
    if (!cursor.read(scheme) || !cursor.read(length) || !cursor.take(length, bytes) ||
        bytes.empty())
        return fail(error, "the shell's faces end early");
    size = bytes[0];
    if (size != 8 && size != 16 && size != 32)
        return fail(error, "shell faces of " + std::to_string(size) + " bits");
    const bool isSigned = version >= 650 && (sub2 & 0x04);
    ByteCursor list(bytes.subspan(1));
    const auto next = [&](std::int64_t& value) {
        std::uint32_t raw = 0;
        bool ok = true;
        if (size == 8) {
            std::uint8_t v = 0;
            ok = list.read(v);
            raw = isSigned ? static_cast<std::uint32_t>(static_cast<std::int8_t>(v)) : v;
        } else if (size == 16) {
            std::uint16_t v = 0;
            ok = list.read(v);
            raw = isSigned ? static_cast<std::uint32_t>(static_cast<std::int16_t>(v)) : v;
        } else {
            ok = list.read(raw);
        }
        value = isSigned || size == 32 ? static_cast<std::int32_t>(raw) : std::int64_t{raw};
        return ok;
    };
    std::vector<std::uint32_t> face;
    while (!list.atEnd()) {
        std::int64_t count = 0;
        if (!next(count)) break;
        const std::int64_t n = count < 0 ? -count : count;
        if (static_cast<std::uint64_t>(n) > list.remaining())
            return fail(error, "a shell face runs past its list");
        if (n > 2 && !budget.take(0, 3 * static_cast<std::uint64_t>(n - 2)))
            return fail(error, kGeometrySpent);
        face.clear();
        for (std::int64_t i = 0; i < n; ++i) {
            std::int64_t v = 0;
            next(v);
            if (v < 0 || static_cast<std::uint64_t>(v) >= pointCount)
                return fail(error, "a shell face names a vertex it does not have");
            face.push_back(static_cast<std::uint32_t>(v));
        }
        for (std::size_t j = 2; j < face.size(); ++j) {
            if (!strips) {
                if (count > 0)
                    mesh.triangles.insert(mesh.triangles.end(), {face[0], face[j - 1], face[j]});
            } else if (count < 0) {
                mesh.triangles.insert(mesh.triangles.end(), {face[0], face[j - 1], face[j]});
            } else if (j % 2 == 0) {
                mesh.triangles.insert(mesh.triangles.end(), {face[j - 2], face[j - 1], face[j]});
            } else {
                mesh.triangles.insert(mesh.triangles.end(), {face[j - 1], face[j - 2], face[j]});
            }
        }
    }
    (void)scheme;
    return true;
}

bool readPlainPoints(ByteCursor& cursor, unsigned version, std::uint8_t scheme, std::uint16_t sub2,
                     W3dGeometryBudget& budget, W3dMesh& mesh, std::string& error) {
    std::uint32_t count = 0;
    if (!cursor.read(count)) return fail(error, "the shell's points end early");
    if (!budget.take(count, 0)) return fail(error, kGeometrySpent);
    if (scheme == 4) {
        if (!readFloats(cursor, std::size_t{count} * 3, mesh.points))
            return fail(error, "the shell's points end early");
        return true;
    }
    if (scheme != 1) return fail(error, "shell points in scheme " + std::to_string(scheme));
    if (count == 0) return true;
    std::vector<float> box(6, 0.0f);
    if (sub2 & 0x08) return fail(error, "globally quantised shell points (not read yet)");
    std::uint8_t bits = 0;
    std::uint32_t length = count * 3;
    std::span<const std::uint8_t> samples;
    if (!readFloats(cursor, 6, box) || !cursor.read(bits) ||
        (version >= 650 && !cursor.read(length)) || !cursor.take(length, samples) ||
        !readQuantised(samples, 3, bits, box, count, mesh.points))
        return fail(error, "the shell's quantised points end early");
    return true;
}

}  // namespace

bool readShell(ByteCursor& cursor, unsigned version, W3dGeometryBudget& budget, W3dMesh& mesh,
               bool& hasGeometry, std::string& error) {
    hasGeometry = false;
    std::uint8_t sub = 0, lod = 0;
    std::uint16_t sub2 = 0;
    if (!cursor.read(sub)) return fail(error, "the shell ends early");
    if (sub & 0x20) {  // bounding box only
        if ((sub & 0x80) && !cursor.read(sub2)) return fail(error, "the shell ends early");
        if (!cursor.read(lod) || !cursor.skip(24)) return fail(error, "the shell ends early");
        return true;
    }
    std::uint32_t refined = 0;
    if (((sub & 0x80) && !cursor.read(sub2)) || (!(sub & 0x10) && !cursor.read(refined)) ||
        !cursor.read(lod))
        return fail(error, "the shell ends early");
    if (sub2 & 0x02) return true;  // null shell
    if (sub2 & 0x01) return fail(error, "a shell collection (not read yet)");
    std::uint8_t scheme = 4;
    if ((sub & 0x41) && !cursor.read(scheme)) return fail(error, "the shell ends early");
    std::size_t pointCount = 0;
    if (scheme == 5) {
        std::uint32_t length = 0, count = 0;
        std::span<const std::uint8_t> block;
        if (!cursor.read(length) || !cursor.take(length, block))
            return fail(error, "the shell's edgebreaker block ends early");
        if (!decodeEdgebreaker(block, budget, mesh, count, error)) return false;
        pointCount = count;
        if (!(sub & 0x01) && version >= 651 && !readFloats(cursor, pointCount * 3, mesh.points))
            return fail(error, "the shell's points end early");
        if (mesh.points.size() != pointCount * 3)
            return fail(error, "the shell has no points for its vertices");
    } else {
        if (!readPlainPoints(cursor, version, scheme, sub2, budget, mesh, error)) return false;
        pointCount = mesh.points.size() / 3;
        if (!readFaceList(cursor, version, sub2, (sub & 0x04) != 0, pointCount, budget, mesh,
                          error))
            return false;
    }
    if ((sub & 0x08) && !readAttributes(cursor, version, pointCount, mesh, error)) return false;
    mesh.fromShell = true;
    // Coarser levels of detail replace the full one; only the full one is drawn.
    hasGeometry = lod == 0;
    return true;
}

bool readMesh(ByteCursor& cursor, unsigned version, W3dGeometryBudget& budget, W3dMesh& mesh,
              std::string& error) {
    std::uint8_t sub = 0, scheme = 4;
    std::int32_t rows = 0, columns = 0;
    if ((version > 100 && !cursor.read(sub)) || !cursor.read(rows) || !cursor.read(columns) ||
        rows < 0 || columns < 0)
        return fail(error, "the mesh ends early");
    const std::uint64_t count = std::uint64_t(rows) * std::uint64_t(columns);
    if (count > cursor.remaining()) return fail(error, "the mesh has more points than bytes");
    const std::uint64_t cells = std::uint64_t(std::max(rows - 1, 0)) * std::max(columns - 1, 0);
    if (!budget.take(0, 6 * cells)) return fail(error, kGeometrySpent);
    if (sub & 0x01) {
        if (!cursor.read(scheme) ||
            !readPlainPoints(cursor, version, scheme, 0, budget, mesh, error))
            return error.empty() ? fail(error, "the mesh ends early") : false;
    } else if (!budget.take(count, 0)) {
        return fail(error, kGeometrySpent);
    } else if (!readFloats(cursor, static_cast<std::size_t>(count) * 3, mesh.points)) {
        return fail(error, "the mesh's points end early");
    }
    if (mesh.points.size() != count * 3)
        return fail(error, "the mesh's points do not fill its grid");
    if ((sub & 0x08) && !readAttributes(cursor, version, count, mesh, error)) return false;
    const auto width = static_cast<std::uint32_t>(columns);
    for (std::uint32_t row = 0; row + 1 < static_cast<std::uint32_t>(rows); ++row) {
        for (std::uint32_t column = 0; column + 1 < width; ++column) {
            const std::uint32_t v = row * width + column;
            mesh.triangles.insert(mesh.triangles.end(),
                                  {v, v + 1, v + width + 1, v, v + width + 1, v + width});
        }
    }
    return true;
}

}  // namespace plotwick::internal
