// OBJ and STL hold no object tree: every instance of a mesh is written in world
// coordinates. Each primitive is read back from the store on its own, so memory stays
// at one chunk's arrays whatever the document's size.
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "convert/scene_walk.h"
#include "convert/writers.h"

namespace tessaro {

namespace {

struct PrimitiveArrays {
    std::vector<float> positions, normals, texCoords;
    std::vector<std::uint32_t> indices;
};

bool readPrimitive(const BinaryStore& store, const ExportPrimitive& p, PrimitiveArrays& out) {
    return readValues(store, p.positions, p.vertexCount * 3, out.positions) &&
           readValues(store, p.normals, p.vertexCount * 3, out.normals) &&
           (p.texCoords == kNoArray
                ? (out.texCoords.clear(), true)
                : readValues(store, p.texCoords, p.vertexCount * 2, out.texCoords)) &&
           readValues(store, p.indices, p.indexCount, out.indices);
}

void worldPoint(const Matrix4& m, const float* p, double out[3]) {
    const double in[3] = {p[0], p[1], p[2]};
    m.apply(in, out);
}

void worldNormal(const Matrix4& m, const float* n, double out[3]) {
    const double in[3] = {n[0], n[1], n[2]};
    m.applyLinear(in, out);  // rotation and uniform scale: the normal only needs length 1
    const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
    if (length > 0) {
        for (int i = 0; i < 3; ++i)
            out[i] /= length;
    }
}

// Text output in large pieces; numbers in their shortest exact form.
class TextOut {
  public:
    explicit TextOut(std::FILE* file) : m_file(file) {}
    ~TextOut() { flush(); }
    TextOut& operator<<(const char* text) {
        m_buffer += text;
        return spill();
    }
    TextOut& operator<<(const std::string& text) {
        m_buffer += text;
        return spill();
    }
    TextOut& number(double value) {
        char digits[32];
        const auto result =
            std::to_chars(digits, digits + sizeof digits, static_cast<float>(value));
        m_buffer.append(digits, result.ptr);
        return spill();
    }
    TextOut& index(std::uint64_t value) {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        m_buffer.append(digits, result.ptr);
        return spill();
    }
    bool flush() {
        m_ok = m_ok && std::fwrite(m_buffer.data(), 1, m_buffer.size(), m_file) == m_buffer.size();
        m_buffer.clear();
        return m_ok;
    }

  private:
    TextOut& spill() {
        if (m_buffer.size() > (1u << 20)) flush();
        return *this;
    }
    std::FILE* m_file;
    std::string m_buffer;
    bool m_ok = true;
};

std::string materialName(std::int32_t index) {
    return "material" + std::to_string(index);
}

std::string textureFileName(const std::string& output, std::int32_t image) {
    return withExtension(output, "") + "_texture" + std::to_string(image) + ".png";
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The MTL file: the viewer's Phong colours as they are, the texture as map_Kd.
bool writeMtl(const ExportScene& scene, const std::string& output,
              const std::map<std::int32_t, bool>& used, std::string& failure) {
    std::map<std::int32_t, bool> images;
    const bool written = writeFile(
        withExtension(output, ".mtl"),
        [&](std::FILE* file) {
            TextOut out(file);
            out << "# Materials of " << baseName(output) << "\n";
            for (const auto& [index, unused] : used) {
                const ExportMaterial& m = scene.materials()[static_cast<std::size_t>(index)];
                const MaterialRecord& c = m.colours;
                const auto colour = [&out](const char* key, const float* v) {
                    out << key << " ";
                    out.number(v[0]) << " ";
                    out.number(v[1]) << " ";
                    out.number(v[2]) << "\n";
                };
                out << "newmtl " << materialName(index) << "\n";
                colour("Ka", c.ambient);
                colour("Kd", c.diffuse);
                colour("Ks", c.specular);
                colour("Ke", c.emissive);
                out << "Ns ";
                out.number(c.shininess) << "\nd ";
                out.number(c.alpha) << "\nillum 2\n";
                if (m.texture != kNone) {
                    const std::int32_t image =
                        scene.textures()[static_cast<std::size_t>(m.texture)].image;
                    images[image] = true;
                    out << "map_Kd " << baseName(textureFileName(output, image)) << "\n";
                }
                out << "\n";
            }
            return out.flush();
        },
        failure);
    if (!written) return false;
    for (const auto& [image, unused] : images) {
        const ExportImage& info = scene.images()[static_cast<std::size_t>(image)];
        std::vector<char> png(info.pngSize);
        if (!scene.store().read(info.png, info.pngSize, png.data())) {
            failure = "Cannot read a temporary file: " + scene.store().failure();
            return false;
        }
        const bool ok = writeFile(
            textureFileName(output, image),
            [&](std::FILE* file) {
                return std::fwrite(png.data(), 1, png.size(), file) == png.size();
            },
            failure);
        if (!ok) return false;
    }
    return true;
}

class ObjWriter {
  public:
    ObjWriter(const ExportScene& scene, TextOut& out) : m_scene(scene), m_out(out) {}
    bool node(const NodeVisit& visit);
    const std::map<std::int32_t, bool>& usedMaterials() const { return m_used; }
    std::string failure;

  private:
    bool primitive(const ExportPrimitive& p, const Matrix4& world);

    const ExportScene& m_scene;
    TextOut& m_out;
    PrimitiveArrays m_arrays;
    std::uint64_t m_vertices = 0, m_texCoords = 0;
    std::map<std::int32_t, bool> m_used;
};

bool ObjWriter::node(const NodeVisit& visit) {
    const std::vector<std::uint32_t>& primitives = nodePrimitives(m_scene, visit);
    if (primitives.empty()) return true;
    const std::string name = visit.worldMesh
                                 ? (m_scene.world()->hasName ? m_scene.world()->name : "")
                             : visit.entry->hasName ? visit.entry->name
                                                    : "";
    m_out << "o ";
    m_out << (name.empty() ? "node" + std::to_string(visit.index) : name) << "\n";
    for (const std::uint32_t p : primitives) {
        if (!primitive(m_scene.primitives()[p], visit.world)) return false;
    }
    return true;
}

bool ObjWriter::primitive(const ExportPrimitive& p, const Matrix4& world) {
    if (!readPrimitive(m_scene.store(), p, m_arrays)) {
        failure = "Cannot read a temporary file: " + m_scene.store().failure();
        return false;
    }
    double v[3];
    for (std::uint32_t i = 0; i < p.vertexCount; ++i) {
        worldPoint(world, &m_arrays.positions[i * 3], v);
        m_out << "v ";
        m_out.number(v[0]) << " ";
        m_out.number(v[1]) << " ";
        m_out.number(v[2]) << "\n";
    }
    for (std::uint32_t i = 0; i < p.vertexCount; ++i) {
        worldNormal(world, &m_arrays.normals[i * 3], v);
        m_out << "vn ";
        m_out.number(v[0]) << " ";
        m_out.number(v[1]) << " ";
        m_out.number(v[2]) << "\n";
    }
    const bool textured = !m_arrays.texCoords.empty();
    // OBJ counts t from the bottom of the image, glTF and the viewer from its first row.
    for (std::uint32_t i = 0; textured && i < p.vertexCount; ++i) {
        m_out << "vt ";
        m_out.number(m_arrays.texCoords[i * 2]) << " ";
        m_out.number(1.0 - m_arrays.texCoords[i * 2 + 1]) << "\n";
    }
    m_used[p.material] = true;
    m_out << "usemtl " << materialName(p.material) << "\n";
    const char* keyword = p.mode == kModeTriangles ? "f" : p.mode == kModeLines ? "l" : "p";
    const std::uint32_t corners = p.mode == kModeTriangles ? 3 : p.mode == kModeLines ? 2 : 1;
    for (std::uint32_t i = 0; i + corners <= p.indexCount; i += corners) {
        m_out << keyword;
        for (std::uint32_t k = 0; k < corners; ++k) {
            const std::uint64_t vertex = m_vertices + m_arrays.indices[i + k] + 1;
            m_out << " ";
            m_out.index(vertex);
            if (p.mode != kModeTriangles) continue;
            m_out << "/";
            if (textured) m_out.index(m_texCoords + m_arrays.indices[i + k] + 1);
            m_out << "/";
            m_out.index(vertex);
        }
        m_out << "\n";
    }
    m_vertices += p.vertexCount;
    if (textured) m_texCoords += p.vertexCount;
    return true;
}

void putFloat(std::string& out, double value) {
    const float f = static_cast<float>(value);
    char bytes[4];
    std::memcpy(bytes, &f, 4);
    out.append(bytes, 4);
}

}  // namespace

bool writeObj(const ExportScene& scene, const std::string& output, std::string& failure) {
    std::map<std::int32_t, bool> used;
    const bool written = writeFile(
        output,
        [&](std::FILE* file) {
            TextOut out(file);
            out << "# Written by tessaro-cli convert\nmtllib "
                << baseName(withExtension(output, ".mtl")) << "\n";
            ObjWriter writer(scene, out);
            const bool walked = walkScene(
                scene, [&](const NodeVisit& visit) { return writer.node(visit); }, failure);
            if (failure.empty()) failure = writer.failure;
            used = writer.usedMaterials();
            return out.flush() && walked && failure.empty();
        },
        failure);
    if (!written) return false;
    if (writeMtl(scene, output, used, failure)) return true;
    // An OBJ whose materials are missing is no export.
    std::remove(output.c_str());
    std::remove(withExtension(output, ".mtl").c_str());
    return false;
}

bool writeStl(const ExportScene& scene, const std::string& output, std::string& failure) {
    std::uint64_t triangles = 0;
    const auto count = [&](const NodeVisit& visit) {
        for (const std::uint32_t p : nodePrimitives(scene, visit)) {
            const ExportPrimitive& primitive = scene.primitives()[p];
            if (primitive.mode == kModeTriangles) triangles += primitive.indexCount / 3;
        }
        return true;
    };
    if (!walkScene(scene, count, failure)) return false;
    if (triangles > 0xFFFFFFFFu) {
        failure = "The document has more triangles than an STL file can count";
        return false;
    }
    return writeFile(
        output,
        [&](std::FILE* file) {
            std::string out(80, '\0');
            std::memcpy(out.data(), "Binary STL written by tessaro-cli convert", 41);
            const auto n = static_cast<std::uint32_t>(triangles);
            out.append(reinterpret_cast<const char*>(&n), 4);  // little-endian machines
            PrimitiveArrays arrays;
            const auto node = [&](const NodeVisit& visit) {
                for (const std::uint32_t p : nodePrimitives(scene, visit)) {
                    const ExportPrimitive& primitive = scene.primitives()[p];
                    if (primitive.mode != kModeTriangles) continue;
                    if (!readPrimitive(scene.store(), primitive, arrays)) return false;
                    for (std::uint32_t i = 0; i + 3 <= primitive.indexCount; i += 3) {
                        double c[3][3];
                        for (int k = 0; k < 3; ++k)
                            worldPoint(visit.world, &arrays.positions[arrays.indices[i + k] * 3],
                                       c[k]);
                        const double e1[3] = {c[1][0] - c[0][0], c[1][1] - c[0][1],
                                              c[1][2] - c[0][2]};
                        const double e2[3] = {c[2][0] - c[0][0], c[2][1] - c[0][1],
                                              c[2][2] - c[0][2]};
                        double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                       e1[0] * e2[1] - e1[1] * e2[0]};
                        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                        for (double& v : n)
                            v = length > 0 ? v / length : 0;
                        for (const double v : n)
                            putFloat(out, v);
                        for (const auto& corner : c)
                            for (const double v : corner)
                                putFloat(out, v);
                        out.append(2, '\0');
                    }
                    if (out.size() > (1u << 20)) {
                        if (std::fwrite(out.data(), 1, out.size(), file) != out.size())
                            return false;
                        out.clear();
                    }
                }
                return true;
            };
            return walkScene(scene, node, failure) &&
                   std::fwrite(out.data(), 1, out.size(), file) == out.size();
        },
        failure);
}

}  // namespace tessaro
