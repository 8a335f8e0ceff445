#include "dwf/w3d_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string_view>

#include "dwf/byte_cursor.h"
#include "dwf/w3d_shell.h"

namespace plotwick::internal {
namespace {

constexpr std::size_t kNoObject = static_cast<std::size_t>(-1);
// The inflated part may not grow beyond this many times the stream, nor beyond 512 MiB.
constexpr std::size_t kInflateRatio = 1032;
constexpr std::size_t kInflateLimit = std::size_t{512} << 20;

std::string hexByte(std::uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string opcodeName(std::uint8_t op) {
    std::string name = "opcode " + hexByte(op);
    if (op > 0x20 && op < 0x7F) name += std::string(" ('") + static_cast<char>(op) + "')";
    return name;
}

// The HSF version from the header comment: "; HSF V11.70 " gives 1170.
std::optional<unsigned> headerVersion(std::span<const std::uint8_t> bytes) {
    constexpr std::string_view prefix = ";; HSF V";
    if (bytes.size() < prefix.size() || !std::equal(prefix.begin(), prefix.end(), bytes.begin()))
        return std::nullopt;
    unsigned version = 0;
    int digits = 0;
    for (std::size_t i = prefix.size(); i < bytes.size() && bytes[i] != ' '; ++i) {
        if (bytes[i] == '.') continue;
        if (bytes[i] < '0' || bytes[i] > '9' || ++digits > 6) return std::nullopt;
        version = version * 10 + (bytes[i] - '0');
    }
    if (digits == 0) return std::nullopt;
    return version;
}

// Inflates one zlib stream from the start of `input`; `consumed` is its compressed size.
bool inflateRegion(std::span<const std::uint8_t> input, std::size_t limit,
                   std::vector<std::uint8_t>& output, std::size_t& consumed) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) return false;
    zs.next_in = const_cast<Bytef*>(input.data());
    zs.avail_in = static_cast<uInt>(std::min<std::size_t>(input.size(), 0x7FFFFFFF));
    output.clear();
    int status = Z_OK;
    while (status == Z_OK) {
        if (output.size() >= limit) break;
        const std::size_t chunk = std::min<std::size_t>(limit - output.size(), 1 << 20);
        const std::size_t before = output.size();
        output.resize(before + chunk);
        zs.next_out = output.data() + before;
        zs.avail_out = static_cast<uInt>(chunk);
        status = inflate(&zs, Z_NO_FLUSH);
        output.resize(before + chunk - zs.avail_out);
        if (status == Z_BUF_ERROR && zs.avail_in == 0) break;
        if (status == Z_BUF_ERROR) status = Z_OK;
    }
    consumed = zs.total_in;
    inflateEnd(&zs);
    return status == Z_STREAM_END;
}

float clampUnit(float value) {
    return std::clamp(value, 0.0f, 1.0f);
}

// "name (r=0.5 g=0.6 b=0.7)": the modulating colour of a textured diffuse channel.
std::optional<std::array<float, 3>> colourOfName(const std::string& name) {
    std::array<float, 3> rgb{};
    const char* keys[] = {"r=", "g=", "b="};
    const std::size_t quote = name.rfind('"');
    const std::size_t from = quote == std::string::npos ? 0 : quote;
    for (int i = 0; i < 3; ++i) {
        const std::size_t at = name.find(keys[i], from);
        if (at == std::string::npos) return std::nullopt;
        const char* start = name.c_str() + at + 2;
        char* end = nullptr;
        rgb[i] = clampUnit(std::strtof(start, &end));
        if (end == start) return std::nullopt;
    }
    return rgb;
}

W3dMesh tessellateCylinder(const std::array<float, 3>& a, const std::array<float, 3>& b,
                           float radius, std::uint8_t caps);
W3dMesh tessellateSphere(const std::array<float, 3>& centre, float radius);

constexpr int kRoundSteps = 24;
// What the tessellations below add, taken from the geometry budget before they run.
constexpr std::uint64_t kSteps = kRoundSteps;
constexpr std::uint64_t kSphereVertices = (kSteps / 2 + 1) * (kSteps + 1);
constexpr std::uint64_t kSphereIndices = (kSteps / 2) * kSteps * 6;

std::uint64_t capsOf(std::uint8_t caps) {
    return (caps & 0x01) + ((caps >> 1) & 0x01);
}
std::uint64_t cylinderVertices(std::uint8_t caps) {
    return 2 * kSteps + capsOf(caps) * (kSteps + 1);
}
std::uint64_t cylinderIndices(std::uint8_t caps) {
    return 6 * kSteps + capsOf(caps) * 3 * kSteps;
}

class Reader {
  public:
    Reader(std::span<const std::uint8_t> bytes, W3dGeometryBudget& geometry)
        : m_bytes(bytes), m_geometry(geometry) {}

    W3dStream run() {
        const auto version = headerVersion(m_bytes);
        if (!version) {
            m_stream.message = "The 3D stream does not begin with its header ;; HSF V..";
            return std::move(m_stream);
        }
        m_stream.version = *version;
        m_stream.segments.emplace_back();
        m_open.push_back(0);
        ByteCursor cursor(m_bytes);
        runRegion(cursor, false);
        return std::move(m_stream);
    }

  private:
    enum class End { terminated, regionEnd, stopped };

    End runRegion(ByteCursor& cursor, bool inflated) {
        const char* where = inflated ? " of the stream's compressed part" : " of the stream";
        while (!cursor.atEnd()) {
            const std::size_t at = cursor.offset();
            std::uint8_t op = 0;
            cursor.read(op);
            if (op == 0x00) {
                if (m_attributeBlock) {
                    m_attributeBlock = false;
                    continue;
                }
                return End::terminated;
            }
            if (op == 'z') {
                if (inflated) return End::regionEnd;
                continue;
            }
            if (op == 'Z' && !inflated) {
                const End end = runCompressed(cursor);
                if (end != End::regionEnd) return end;
                continue;
            }
            m_detail.clear();
            if (!readOperands(op, cursor)) {
                m_stream.message = "The 3D stream stops at " + opcodeName(op) + " at byte " +
                                   std::to_string(at) + where;
                if (!m_detail.empty()) m_stream.message += ": " + m_detail;
                return End::stopped;
            }
        }
        m_stream.message = inflated ? "The 3D stream's compressed part ends without its end mark"
                                    : "The 3D stream ends without its termination";
        return End::stopped;
    }

    End runCompressed(ByteCursor& cursor) {
        std::span<const std::uint8_t> rest;
        cursor.take(cursor.remaining(), rest);
        const std::size_t limit =
            std::min(kInflateLimit, std::max<std::size_t>(1 << 20, m_bytes.size() * kInflateRatio));
        std::vector<std::uint8_t> inflated;
        std::size_t consumed = 0;
        const bool whole = inflateRegion(rest, limit, inflated, consumed);
        ByteCursor inner(inflated);
        const End end = runRegion(inner, true);
        if (!whole && end != End::stopped) {
            m_stream.message = "The 3D stream's compressed part is damaged or too large";
            return End::stopped;
        }
        if (!whole) return end;  // the message of the opcode that stopped is the clearer
        cursor.seek(cursor.offset() - rest.size() + consumed);
        return end;
    }

    W3dSegment& current() { return m_stream.segments[m_open.back()]; }
    // Attributes inside a geometry-attribute block belong to a geometry item; this
    // viewer reads them but does not apply them.
    W3dSegment* attributeTarget() { return m_attributeBlock ? nullptr : &current(); }

    bool fail(std::string detail) {
        m_detail = std::move(detail);
        return false;
    }

    bool skipFloats(ByteCursor& cursor, std::size_t count) { return cursor.skip(count * 4); }

    bool readFloats(ByteCursor& cursor, float* values, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (!cursor.read(values[i])) return false;
        }
        return true;
    }

    bool readString8(ByteCursor& cursor, std::string& text) {
        std::uint8_t length = 0;
        std::span<const std::uint8_t> bytes;
        if (!cursor.read(length) || !cursor.take(length, bytes)) return false;
        text.assign(bytes.begin(), bytes.end());
        return true;
    }

    // u8 n; 255: an i32 follows; 254 (when allowed): a u16 follows.
    bool readEscapedLength(ByteCursor& cursor, bool allowU16, std::uint32_t& length) {
        std::uint8_t small = 0;
        if (!cursor.read(small)) return false;
        length = small;
        if (small == 255) {
            std::int32_t large = 0;
            if (!cursor.read(large) || large < 0) return false;
            length = static_cast<std::uint32_t>(large);
        } else if (small == 254 && allowU16) {
            std::uint16_t medium = 0;
            if (!cursor.read(medium)) return false;
            length = medium;
        }
        return true;
    }

    bool skipSized(ByteCursor& cursor, std::int64_t length) {
        return length >= 0 && cursor.skip(static_cast<std::size_t>(length));
    }

    bool readColourMask(ByteCursor& cursor, std::uint32_t& mask) {
        std::uint8_t byte = 0;
        if (!cursor.read(byte)) return false;
        mask = byte;
        for (int shift = 8; shift <= 24 && (mask & (0x80u << (shift - 8))); shift += 8) {
            if (!cursor.read(byte)) return false;
            mask |= std::uint32_t{byte} << shift;
        }
        return true;
    }

    void setColour(std::uint32_t mask, const std::array<float, 3>& rgb) {
        W3dSegment* segment = attributeTarget();
        if (segment == nullptr) return;
        if (mask & 0x01) segment->faceColour = rgb;
        for (auto curveClass :
             {W3dCurveClass::edges, W3dCurveClass::lines, W3dCurveClass::markers}) {
            if (mask & maskOf(curveClass)) segment->curveColours[indexOf(curveClass)] = rgb;
        }
    }

    bool readRgbBytes(ByteCursor& cursor, std::array<float, 3>& rgb) {
        for (float& channel : rgb) {
            std::uint8_t byte = 0;
            if (!cursor.read(byte)) return false;
            channel = byte / 255.0f;
        }
        return true;
    }

    // One channel of a colour: three bytes, or a name (which may carry an r= g= b=).
    bool readChannel(ByteCursor& cursor, bool escaped, std::optional<std::array<float, 3>>& rgb) {
        std::uint32_t length = 0;
        if (escaped) {
            if (!readEscapedLength(cursor, false, length)) return false;
        } else {
            std::uint8_t small = 0;
            if (!cursor.read(small)) return false;
            length = small;
        }
        if (length == 0) {
            std::array<float, 3> value{};
            if (!readRgbBytes(cursor, value)) return false;
            rgb = value;
            return true;
        }
        std::span<const std::uint8_t> name;
        if (!cursor.take(length, name)) return false;
        rgb = colourOfName(std::string(name.begin(), name.end()));
        return true;
    }

    bool readColour(ByteCursor& cursor) {
        std::uint32_t mask = 0;
        std::uint8_t low = 0, high = 0;
        if (!readColourMask(cursor, mask) || !cursor.read(low)) return false;
        if ((low & 0x80) && !cursor.read(high)) return false;
        const std::uint32_t channels = low | std::uint32_t{high} << 8;
        std::optional<std::array<float, 3>> diffuse, ignored;
        if ((channels & 0x001) && !readChannel(cursor, true, diffuse)) return false;
        for (std::uint32_t bit : {0x002u, 0x004u, 0x008u, 0x010u}) {
            if ((channels & bit) && !readChannel(cursor, false, ignored)) return false;
        }
        if ((channels & 0x020) && !skipFloats(cursor, 1)) return false;
        if ((channels & 0x040) && !skipFloats(cursor, 1)) return false;
        std::string name;
        if ((channels & 0x100) && !readString8(cursor, name)) return false;
        if ((channels & 0x200) && !readString8(cursor, name)) return false;
        if (diffuse) setColour(mask, *diffuse);
        return true;
    }

    bool readColourByIndex(std::uint8_t op, ByteCursor& cursor) {
        std::uint32_t mask = 0;
        if (!readColourMask(cursor, mask)) return false;
        double index = 0;
        if (op == 0x08) {
            std::uint8_t value = 0;
            if (!cursor.read(value)) return false;
            index = value;
        } else if (op == 0x09) {
            std::uint16_t value = 0;
            if (!cursor.read(value)) return false;
            index = value;
        } else {
            float value = 0;
            if (!cursor.read(value)) return false;
            index = value;
        }
        if (index >= 0 && index < static_cast<double>(m_colourMap.size()))
            setColour(mask, m_colourMap[static_cast<std::size_t>(index)]);
        return true;
    }

    bool readColourMap(ByteCursor& cursor) {
        std::uint8_t format = 0;
        std::int32_t count = 0;
        if (!cursor.read(format) || !cursor.read(count) || count < 0) return false;
        if (format != 0) return skipSized(cursor, count);
        if (static_cast<std::size_t>(count) > cursor.remaining() / 3) return false;
        m_colourMap.resize(static_cast<std::size_t>(count));
        for (auto& rgb : m_colourMap)
            readRgbBytes(cursor, rgb);
        return true;
    }

    bool readVisibility(ByteCursor& cursor) {
        std::uint8_t mask8 = 0, value8 = 0;
        if (!cursor.read(mask8) || !cursor.read(value8)) return false;
        std::uint32_t mask = mask8, value = value8;
        if (mask & 0x80) {
            std::uint16_t mask16 = 0, value16 = 0;
            if (!cursor.read(mask16) || !cursor.read(value16)) return false;
            mask |= std::uint32_t{mask16} << 8;
            value |= std::uint32_t{value16} << 8;
        }
        if (mask & 0x800000) {
            if (!cursor.read(mask8) || !cursor.read(value8)) return false;
            mask |= std::uint32_t{mask8} << 24;
            value |= std::uint32_t{value8} << 24;
        }
        W3dSegment* segment = attributeTarget();
        if (segment == nullptr) return true;
        if (mask & 0x01) segment->facesVisible = (value & 0x01) != 0;
        for (auto curveClass :
             {W3dCurveClass::edges, W3dCurveClass::lines, W3dCurveClass::markers}) {
            const std::uint32_t bit = maskOf(curveClass);
            if (mask & bit) segment->curvesVisible[indexOf(curveClass)] = (value & bit) != 0;
        }
        return true;
    }

    bool readMatrix(ByteCursor& cursor, bool modelling) {
        float m[12];
        if (!readFloats(cursor, m, 12)) return false;
        W3dSegment* segment = attributeTarget();
        if (!modelling || segment == nullptr) return true;
        segment->matrix = W3dMatrix{m[0], m[1], m[2], 0, m[3], m[4],  m[5],  0,
                                    m[6], m[7], m[8], 0, m[9], m[10], m[11], 1};
        return true;
    }

    bool readHeuristics(ByteCursor& cursor) {
        std::uint16_t low = 0, high = 0;
        if (!cursor.read(low)) return false;
        std::uint32_t mask = low;
        if ((mask & 0x8000) && !cursor.read(high)) return false;
        mask |= std::uint32_t{high} << 16;
        high = 0;
        if (!cursor.read(low)) return false;
        if ((mask & 0x8000) && !cursor.read(high)) return false;
        const std::uint32_t on = mask & (low | std::uint32_t{high} << 16);
        const unsigned version = m_stream.version;
        bool ok = true;
        if (on & 0x40) ok = ok && cursor.skip(4);
        if (on & 0x80) ok = ok && cursor.skip(4);
        if (on & 0x0C) ok = ok && cursor.skip(1);
        std::uint32_t cull = 0;
        std::uint8_t byte = 0;
        if (version > 705 && (mask & 0x10000) && (on & 0x10000)) {
            ok = ok && cursor.read(byte);
            cull = byte;
            if (cull & 0x80) {
                ok = ok && cursor.read(byte);
                cull |= std::uint32_t{byte} << 8;
            }
        }
        if (version > 1200 && (mask & 0x10000)) {
            for (std::uint32_t bit : {0x002u, 0x004u, 0x200u}) {
                if (cull & bit) ok = ok && cursor.skip(4);
            }
        }
        if (mask & 0x200000) {
            ok = ok && cursor.read(byte);
            for (int k = 0; k < 6; ++k) {
                if (byte & (1u << k)) ok = ok && cursor.skip(4);
            }
        }
        if (on & 0x400000) ok = ok && cursor.skip(4);
        if (mask & 0x1000000) ok = ok && cursor.skip(1);
        if ((mask & 0x10000) && (cull & 0x400)) ok = ok && cursor.skip(12);
        if ((mask & 0x10000) && (cull & 0x800)) ok = ok && cursor.skip(4);
        return ok;
    }

    bool readCamera(ByteCursor& cursor, bool named) {
        std::uint8_t projection = 0;
        float values[11];
        if (!cursor.read(projection) || !readFloats(cursor, values, 11)) return false;
        for (std::uint8_t bit : {0x04, 0x08, 0x10}) {
            if ((projection & bit) && !skipFloats(cursor, 1)) return false;
        }
        std::string name;
        if (named && !readString8(cursor, name)) return false;
        if (!m_stream.camera) {
            W3dCamera camera;
            camera.perspective = (projection & 0x03) == 1;
            for (int i = 0; i < 3; ++i) {
                camera.position[i] = values[i];
                camera.target[i] = values[3 + i];
                camera.up[i] = values[6 + i];
            }
            camera.fieldWidth = values[9];
            camera.fieldHeight = values[10];
            m_stream.camera = camera;
        }
        return true;
    }

    bool readSegmentPath(ByteCursor& cursor, std::string& path) {
        std::uint8_t length = 0;
        if (!cursor.read(length)) return false;
        if (length != 0) {
            std::span<const std::uint8_t> bytes;
            if (!cursor.take(length, bytes)) return false;
            path.assign(bytes.begin(), bytes.end());
            return true;
        }
        std::string condition;
        return readString8(cursor, path) && readString8(cursor, condition);
    }

    std::string keyOf(std::size_t segment) const {
        const std::string& path = m_stream.segments[segment].path;
        if (!path.empty() || segment == 0) return path;
        // Appended rather than "#" + number: GCC 12 takes that form for an overlapping copy.
        std::string key = "#";
        key += std::to_string(segment);
        return key;
    }

    std::size_t newSegment(std::string path) {
        m_stream.segments.emplace_back();
        m_stream.segments.back().path = path;
        const std::size_t index = m_stream.segments.size() - 1;
        if (!path.empty()) m_stream.byPath.emplace(std::move(path), index);
        return index;
    }

    bool openSegment(ByteCursor& cursor) {
        std::string name;
        if (!readString8(cursor, name)) return false;
        std::size_t index = 0;
        if (!name.empty() && (name[0] == '?' || name[0] == '/')) {
            // A library segment: reached only through includes, never a child.
            const auto found = m_stream.byPath.find(name);
            index = found != m_stream.byPath.end() ? found->second : newSegment(name);
        } else if (name.empty()) {
            index = newSegment({});
            m_stream.segments[m_open.back()].children.push_back(index);
        } else {
            const std::string path = keyOf(m_open.back()) + "/" + name;
            const auto found = m_stream.byPath.find(path);
            if (found != m_stream.byPath.end()) {
                index = found->second;
            } else {
                index = newSegment(path);
                m_stream.segments[m_open.back()].children.push_back(index);
            }
        }
        m_open.push_back(index);
        m_lastObject = index;
        return true;
    }

    bool addMesh(W3dMesh mesh) {
        m_stream.meshes.push_back(std::move(mesh));
        if (W3dSegment* segment = attributeTarget())
            segment->meshes.push_back(m_stream.meshes.size() - 1);
        return true;
    }

    bool readShellOpcode(ByteCursor& cursor) {
        W3dMesh mesh;
        bool hasGeometry = false;
        if (!readShell(cursor, m_stream.version, m_geometry, mesh, hasGeometry, m_detail))
            return false;
        ++m_stream.shellCount;
        m_lastObject = kNoObject;
        return !hasGeometry || addMesh(std::move(mesh));
    }

    // Curves of one class gather in one mesh per segment, so that a segment of a thousand
    // edges draws as one set, not a thousand.
    bool readCurveOpcode(std::uint8_t op, ByteCursor& cursor) {
        m_lastObject = kNoObject;
        W3dCurve curve;
        if (!readCurve(op, cursor, m_stream.version, m_curveBudget, curve, m_detail)) return false;
        // Lines take two indices a segment, markers one a point.
        if (!m_geometry.take(curve.points.size(), 2 * curve.points.size()))
            return fail(kGeometrySpent);
        W3dSegment* segment = attributeTarget();
        if (segment == nullptr) return true;
        auto& slot = segment->curveMeshes[indexOf(*curveClassOf(op))];
        if (!slot) {
            slot = m_stream.meshes.size();
            m_stream.meshes.emplace_back();
        }
        appendCurve(curve, m_stream.meshes[*slot]);
        return true;
    }

    bool readCylinder(ByteCursor& cursor) {
        float values[7];
        std::uint8_t caps = 0;
        if (!readFloats(cursor, values, 7) || !cursor.read(caps)) return false;
        if (!m_geometry.take(cylinderVertices(caps), cylinderIndices(caps)))
            return fail(kGeometrySpent);
        m_lastObject = kNoObject;
        return addMesh(tessellateCylinder({values[0], values[1], values[2]},
                                          {values[3], values[4], values[5]}, values[6], caps));
    }

    bool readSphere(ByteCursor& cursor) {
        std::uint8_t flags = 0;
        float values[4];
        if (!cursor.read(flags) || !readFloats(cursor, values, 4)) return false;
        if (!(flags & 0x01) && !skipFloats(cursor, 6)) return false;
        if (!m_geometry.take(kSphereVertices, kSphereIndices)) return fail(kGeometrySpent);
        m_lastObject = kNoObject;
        return addMesh(tessellateSphere({values[0], values[1], values[2]}, values[3]));
    }

    bool readTexture(ByteCursor& cursor) {
        std::uint32_t length = 0;
        for (int text = 0; text < 2; ++text) {
            if (!readEscapedLength(cursor, false, length) || !cursor.skip(length)) return false;
        }
        std::uint16_t low = 0, high = 0;
        if (!cursor.read(low)) return false;
        if ((low & 0x8000) && !cursor.read(high)) return false;
        const std::uint32_t flags = low | std::uint32_t{high} << 16;
        for (std::uint32_t bit = 0x1; bit <= 0x200; bit <<= 1) {
            if ((flags & bit) && !cursor.skip(1)) return false;
        }
        std::string name;
        if ((flags & 0x800) && !skipFloats(cursor, 2)) return false;
        if ((flags & 0x400) && !readString8(cursor, name)) return false;
        if ((flags & 0x30000) && !cursor.skip(1)) return false;
        if ((flags & 0x40000) && !cursor.skip(1)) return false;
        return true;
    }

    bool readTag() {
        m_tags.push_back(m_lastObject);
        return true;
    }

    bool reopenSegment(ByteCursor& cursor) {
        std::int32_t tag = 0;
        if (!cursor.read(tag)) return false;
        if (tag < 0 || static_cast<std::size_t>(tag) >= m_tags.size() ||
            m_tags[static_cast<std::size_t>(tag)] == kNoObject)
            return fail("it reopens tag " + std::to_string(tag) + ", which names no segment");
        m_open.push_back(m_tags[static_cast<std::size_t>(tag)]);
        return true;
    }

    bool readOperands(std::uint8_t op, ByteCursor& cursor) {
        std::uint32_t length = 0;
        std::int32_t count = 0;
        std::uint8_t byte = 0;
        std::string text;
        switch (op) {
            case 0x01:  // pause
            case '9':   // end of geometry attributes in the ASCII form
                return true;
            case 0x07: {
                std::int16_t size = 0;
                return cursor.read(size) && skipSized(cursor, size);
            }
            case 0x08:
            case 0x09:
            case 0x0A:
                return readColourByIndex(op, cursor);
            case 0x0B: {
                std::uint32_t mask = 0;
                float rgb[3];
                if (!readColourMask(cursor, mask) || !cursor.read(byte) ||
                    !readFloats(cursor, rgb, 3))
                    return false;
                if (byte == 0)
                    setColour(mask, {clampUnit(rgb[0]), clampUnit(rgb[1]), clampUnit(rgb[2])});
                return true;
            }
            case 0x0C:
                return readColourMap(cursor);
            case 0x0D:
            case '-':
            case '@':
                if (!cursor.read(byte)) return false;
                if (byte == 0xFF) return readString8(cursor, text);
                return op == '@' || cursor.skip(1);
            case 0x0E:
            case ' ':
            case '+':
            case '=': {
                float size = 0;
                if (!cursor.read(size)) return false;
                return size >= 0 || cursor.skip(1);
            }
            case 0x12:
            case 0x15:
            case '?':
                return readEscapedLength(cursor, true, length) && cursor.skip(length);
            case 0x18:
                return cursor.read(count) && skipSized(cursor, count);
            case 0x1A:
                return readSphere(cursor);
            case '"':
                return readColour(cursor);
            case '#':
            case '*':
            case 'P':
            case 'p':
            case 'h':
                return cursor.skip(1);
            case '$':
            case '%':
                return readMatrix(cursor, op == '%');
            case '(':
                return openSegment(cursor);
            case ')':
                if (m_open.size() <= 1) return fail("it closes a segment that is not open");
                m_open.pop_back();
                return true;
            case '.':
            case 'd':
                m_lastObject = kNoObject;
                return skipFloats(cursor, 3) && (m_stream.version < 1170 || cursor.skip(1));
            case '0':
            case 'I':
            case 'K':
            case 'k':
            case 'v':
                return cursor.skip(4);
            case ':':
                m_attributeBlock = true;
                return true;
            case ';':
                while (cursor.read(byte)) {
                    if (byte == '\n') return true;
                }
                return fail("a comment without its line end");
            case '<':
            case '{':
                if (!readSegmentPath(cursor, text)) return false;
                if (W3dSegment* segment = attributeTarget())
                    (op == '<' ? segment->includes : segment->styles).push_back(text);
                return true;
            case '>':
            case '}':
                return readCamera(cursor, op == '}');
            case 'B':
            case 'b':
                if (!cursor.read(byte)) return false;
                if (byte > 1) return fail("a bounding volume of type " + std::to_string(byte));
                return skipFloats(cursor, byte == 0 ? 6 : 4);
            case 'C':
            case 'c':
            case '\\':
            case 'w':
            case 'E':
            case 'e':
            case 'G':
            case 'L':
            case 'N':
            case 'X':
            case 'l':
                return readCurveOpcode(op, cursor);
            case 'H':
                return readHeuristics(cursor);
            case 'S':
                return readShellOpcode(cursor);
            case 'M': {
                W3dMesh mesh;
                if (!readMesh(cursor, m_stream.version, m_geometry, mesh, m_detail)) return false;
                m_lastObject = kNoObject;
                return addMesh(std::move(mesh));
            }
            case 'U': {
                std::uint16_t size = 0;
                if (!cursor.read(size)) return false;
                if (size != 0xFFFF) return cursor.skip(size);
                return cursor.read(count) && skipSized(cursor, count);
            }
            case 'V':
                return readVisibility(cursor);
            case 'W':
                return skipFloats(cursor, 4);
            case '|':
                m_lastObject = kNoObject;
                return skipFloats(cursor, 3);
            case '`':
                m_lastObject = kNoObject;
                return skipFloats(cursor, 6);
            case 'Y':
                return readCylinder(cursor);
            case '[':
                if (!cursor.read(count) || !skipSized(cursor, count) || !cursor.read(byte))
                    return false;
                return byte == ']' || fail("user data not closed by ]");
            case 'n':
                if (!cursor.read(count) || count < 0) return false;
                return cursor.skip(8 * static_cast<std::size_t>(count));
            case 'q':
                return readTag();
            case 'r':
                if (!cursor.skip(4)) return false;
                return readString8(cursor, text);
            case 's':
                return reopenSegment(cursor);
            case 't':
                return readTexture(cursor);
            case '~': {
                std::uint32_t mask = 0;
                std::array<float, 3> rgb{};
                if (!readColourMask(cursor, mask) || !readRgbBytes(cursor, rgb)) return false;
                setColour(mask, rgb);
                return true;
            }
            case 0xE0:
                return readString8(cursor, text) && cursor.skip(9);
            default:
                return fail("an opcode this reader does not know; the rest of the model is lost");
        }
    }

    std::span<const std::uint8_t> m_bytes;
    W3dStream m_stream;
    std::vector<std::size_t> m_open;
    std::vector<std::size_t> m_tags;
    std::size_t m_lastObject = kNoObject;
    std::vector<std::array<float, 3>> m_colourMap;
    W3dCurveBudget m_curveBudget;
    W3dGeometryBudget& m_geometry;
    bool m_attributeBlock = false;
    std::string m_detail;
};

std::array<float, 3> normalised(std::array<double, 3> v) {
    const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (length == 0) return {0, 0, 1};
    return {static_cast<float>(v[0] / length), static_cast<float>(v[1] / length),
            static_cast<float>(v[2] / length)};
}

void addVertex(W3dMesh& mesh, const std::array<double, 3>& point,
               const std::array<float, 3>& normal) {
    for (int k = 0; k < 3; ++k) {
        mesh.points.push_back(static_cast<float>(point[k]));
        mesh.normals.push_back(normal[k]);
    }
}

std::uint32_t vertexCount(const W3dMesh& mesh) {
    return static_cast<std::uint32_t>(mesh.points.size() / 3);
}

W3dMesh tessellateCylinder(const std::array<float, 3>& a, const std::array<float, 3>& b,
                           float radius, std::uint8_t caps) {
    W3dMesh mesh;
    const std::array<double, 3> axis{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const auto unitAxis = normalised(axis);
    // Any vector not along the axis gives the first of two radial directions.
    std::array<double, 3> helper{1, 0, 0};
    if (std::fabs(unitAxis[0]) > 0.9f) helper = {0, 1, 0};
    const auto u = normalised({unitAxis[1] * helper[2] - unitAxis[2] * helper[1],
                               unitAxis[2] * helper[0] - unitAxis[0] * helper[2],
                               unitAxis[0] * helper[1] - unitAxis[1] * helper[0]});
    const std::array<double, 3> v{unitAxis[1] * u[2] - unitAxis[2] * u[1],
                                  unitAxis[2] * u[0] - unitAxis[0] * u[2],
                                  unitAxis[0] * u[1] - unitAxis[1] * u[0]};
    for (int i = 0; i < kRoundSteps; ++i) {
        const double angle = 2 * std::numbers::pi * i / kRoundSteps;
        std::array<double, 3> radial{};
        for (int k = 0; k < 3; ++k)
            radial[k] = std::cos(angle) * u[k] + std::sin(angle) * v[k];
        const auto normal = normalised(radial);
        addVertex(mesh,
                  {a[0] + radius * radial[0], a[1] + radius * radial[1], a[2] + radius * radial[2]},
                  normal);
        addVertex(mesh,
                  {b[0] + radius * radial[0], b[1] + radius * radial[1], b[2] + radius * radial[2]},
                  normal);
    }
    for (std::uint32_t i = 0; i < kRoundSteps; ++i) {
        const std::uint32_t j = (i + 1) % kRoundSteps;
        mesh.triangles.insert(mesh.triangles.end(),
                              {2 * i, 2 * j, 2 * j + 1, 2 * i, 2 * j + 1, 2 * i + 1});
    }
    for (int end = 0; end < 2; ++end) {
        if (!(caps & (1 << end))) continue;
        const auto& centre = end == 0 ? a : b;
        std::array<float, 3> normal = unitAxis;
        if (end == 0) normal = {-normal[0], -normal[1], -normal[2]};
        const std::uint32_t first = vertexCount(mesh);
        addVertex(mesh, {centre[0], centre[1], centre[2]}, normal);
        for (std::uint32_t i = 0; i < kRoundSteps; ++i) {
            const std::size_t at = 3 * (2 * i + end);
            addVertex(mesh, {mesh.points[at], mesh.points[at + 1], mesh.points[at + 2]}, normal);
        }
        for (std::uint32_t i = 0; i < kRoundSteps; ++i) {
            const std::uint32_t j = (i + 1) % kRoundSteps;
            mesh.triangles.insert(mesh.triangles.end(), {first, first + 1 + i, first + 1 + j});
        }
    }
    return mesh;
}

W3dMesh tessellateSphere(const std::array<float, 3>& centre, float radius) {
    W3dMesh mesh;
    constexpr int rings = kRoundSteps / 2;
    for (int ring = 0; ring <= rings; ++ring) {
        const double polar = std::numbers::pi * ring / rings;
        for (int i = 0; i <= kRoundSteps; ++i) {
            const double angle = 2 * std::numbers::pi * i / kRoundSteps;
            const std::array<double, 3> direction{std::sin(polar) * std::cos(angle),
                                                  std::sin(polar) * std::sin(angle),
                                                  std::cos(polar)};
            addVertex(mesh,
                      {centre[0] + radius * direction[0], centre[1] + radius * direction[1],
                       centre[2] + radius * direction[2]},
                      normalised(direction));
        }
    }
    const std::uint32_t row = kRoundSteps + 1;
    for (std::uint32_t ring = 0; ring < rings; ++ring) {
        for (std::uint32_t i = 0; i < kRoundSteps; ++i) {
            const std::uint32_t p = ring * row + i, q = p + row;
            mesh.triangles.insert(mesh.triangles.end(), {p, q, q + 1, p, q + 1, p + 1});
        }
    }
    return mesh;
}

}  // namespace

W3dStream readW3d(std::span<const std::uint8_t> bytes) {
    W3dGeometryBudget geometry = geometryBudgetFor(bytes.size());
    return readW3d(bytes, geometry);
}

W3dStream readW3d(std::span<const std::uint8_t> bytes, W3dGeometryBudget& geometry) {
    return Reader(bytes, geometry).run();
}

}  // namespace plotwick::internal
