#include "host/vrml_copy.h"

#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

#include "host/memory_stream.h"
#include "scene/scene_consumer.h"
#include "xgl/scene_load_context.h"

namespace exportal {

namespace {

using tessaro::DrawableMesh;
using tessaro::kNone;
using tessaro::MaterialRecord;

// Coordinates are doubles; colours, normals and texture coordinates are floats, whose
// seven digits are all they hold.
constexpr int kDoubleDigits = 15;
constexpr int kFloatDigits = 7;

void appendNumber(std::string& out, double value, int digits = kDoubleDigits) {
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", digits, std::isfinite(value) ? value : 0.0);
    out += text;
}

void appendTriple(std::string& out, double x, double y, double z, int digits = kDoubleDigits) {
    appendNumber(out, x, digits);
    out += ' ';
    appendNumber(out, y, digits);
    out += ' ';
    appendNumber(out, z, digits);
}

void appendColour(std::string& out, const float* rgb) {
    appendTriple(out, std::clamp(rgb[0], 0.0f, 1.0f), std::clamp(rgb[1], 0.0f, 1.0f),
                 std::clamp(rgb[2], 0.0f, 1.0f), kFloatDigits);
}

double clamp01(double value) {
    return std::clamp(value, 0.0, 1.0);
}

// A mesh's text is made before it is placed; its textures are marked by handle and
// become their node (or a USE of it) when the file is put together.
constexpr char kTextureMark = '\x01';

// OpenGL's shininess runs to 128, VRML's to 1. Lines and points are not lit in VRML:
// their colour is the emissive one, so they show the material's diffuse colour.
std::string appearanceNode(const MaterialRecord* m, bool unlit, std::int32_t texture = kNone) {
    std::string out = "appearance Appearance {";
    if (texture != kNone) {
        out += ' ';
        out += kTextureMark;
        out += std::to_string(texture);
        out += kTextureMark;
    }
    out += " material Material {";
    if (m != nullptr) {
        const float* colour = unlit ? m->diffuse : m->emissive;
        out += " diffuseColor ";
        appendColour(out, m->diffuse);
        out += " ambientIntensity ";
        appendNumber(out, clamp01((m->ambient[0] + m->ambient[1] + m->ambient[2]) / 3.0),
                     kFloatDigits);
        out += " specularColor ";
        appendColour(out, m->specular);
        out += " emissiveColor ";
        appendColour(out, colour);
        out += " shininess ";
        appendNumber(out, clamp01(m->shininess / 128.0), kFloatDigits);
        out += " transparency ";
        appendNumber(out, clamp01(1.0 - m->alpha), kFloatDigits);
    }
    return out + " } }\n";
}

// A texture's image as a PixelTexture. Both put the first pixel row at the bottom.
std::string pixelTexture(const tessaro::TextureImageRecord& image, bool repeat) {
    std::string out = "PixelTexture { image " + std::to_string(image.width) + ' ' +
                      std::to_string(image.height) + " 4";
    const std::size_t pixels = static_cast<std::size_t>(image.width) * image.height;
    char hex[16];
    for (std::size_t i = 0; i < pixels; ++i) {
        const std::uint8_t* p = image.pixels.get() + 4 * i;
        std::snprintf(hex, sizeof hex, " 0x%02X%02X%02X%02X", p[0], p[1], p[2], p[3]);
        out += hex;
    }
    const char* wrap = repeat ? "TRUE" : "FALSE";
    return out + " repeatS " + wrap + " repeatT " + wrap + " }";
}

// The rows of one of a mesh's tables that a set of primitives uses, numbered afresh.
class UsedRows {
  public:
    explicit UsedRows(std::uint32_t tableSize) : m_local(tableSize, kNone) {}
    std::int32_t localIndex(std::int32_t row) {
        std::int32_t& local = m_local[static_cast<std::size_t>(row)];
        if (local == kNone) {
            local = static_cast<std::int32_t>(m_rows.size());
            m_rows.push_back(row);
        }
        return local;
    }
    const std::vector<std::int32_t>& rows() const { return m_rows; }

  private:
    std::vector<std::int32_t> m_local;
    std::vector<std::int32_t> m_rows;
};

bool inTable(std::int32_t index, std::uint32_t size) {
    return index >= 0 && static_cast<std::uint32_t>(index) < size;
}

void appendIndices(std::string& out, const char* field, const std::vector<std::int32_t>& indices,
                   std::size_t perPrimitive) {
    out += field;
    out += " [";
    for (std::size_t i = 0; i < indices.size(); ++i) {
        out += ' ';
        out += std::to_string(indices[i]);
        if ((i + 1) % perPrimitive == 0) out += " -1";
    }
    out += " ]\n";
}

void appendCoordinates(std::string& out, const DrawableMesh& mesh, const UsedRows& used) {
    out += "coord Coordinate { point [";
    for (std::int32_t row : used.rows()) {
        const tessaro::PositionRecord& p = mesh.positions[static_cast<std::uint32_t>(row)];
        out += ' ';
        appendTriple(out, p.x, p.y, p.z);
        out += ',';
    }
    out += " ] }\n";
}

// A face set's distinct vertices, each a position with the normal and texture
// coordinate that go with it, numbered afresh. Coordinates, normals and texture
// coordinates are written one row per vertex with the same index lists: VTK's importer
// reads the shapes after a set whose normal list is longer or shorter than its
// coordinate list with the wrong coordinates.
class FaceSetVertices {
  public:
    std::int32_t localIndex(const tessaro::Vertex& v) {
        const auto [at, added] =
            m_local.try_emplace(Key{v.position, v.normal, v.texCoord}, std::int32_t(m_rows.size()));
        if (added) m_rows.push_back(v);
        return at->second;
    }
    const std::vector<tessaro::Vertex>& rows() const { return m_rows; }

  private:
    using Key = std::tuple<std::int32_t, std::int32_t, std::int32_t>;
    std::map<Key, std::int32_t> m_local;
    std::vector<tessaro::Vertex> m_rows;
};

// The faces of one material as an IndexedFaceSet. Normals and texture coordinates go
// in only when every vertex of the set has one: VRML has no "none" for a vertex.
std::string faceSet(const DrawableMesh& mesh, const std::vector<std::uint32_t>& faces) {
    bool allNormals = true, allTexCoords = true;
    for (std::uint32_t f : faces) {
        for (const tessaro::Vertex& v : mesh.faces[f].vertex) {
            allNormals = allNormals && inTable(v.normal, mesh.normals.count);
            allTexCoords = allTexCoords && inTable(v.texCoord, mesh.texCoords.count);
        }
    }
    FaceSetVertices vertices;
    std::vector<std::int32_t> indices;
    for (std::uint32_t f : faces) {
        for (tessaro::Vertex v : mesh.faces[f].vertex) {
            if (!allNormals) v.normal = kNone;
            if (!allTexCoords) v.texCoord = kNone;
            indices.push_back(vertices.localIndex(v));
        }
    }
    std::string out = "geometry IndexedFaceSet {\nsolid ";
    out += mesh.surface == 1 ? "FALSE\n" : "TRUE\n";
    out += "coord Coordinate { point [";
    for (const tessaro::Vertex& v : vertices.rows()) {
        const tessaro::PositionRecord& p = mesh.positions[static_cast<std::uint32_t>(v.position)];
        out += ' ';
        appendTriple(out, p.x, p.y, p.z);
        out += ',';
    }
    out += " ] }\n";
    appendIndices(out, "coordIndex", indices, 3);
    if (allNormals) {
        out += "normal Normal { vector [";
        for (const tessaro::Vertex& v : vertices.rows()) {
            const tessaro::NormalRecord& n = mesh.normals[static_cast<std::uint32_t>(v.normal)];
            out += ' ';
            appendTriple(out, n.x, n.y, n.z, kFloatDigits);
            out += ',';
        }
        out += " ] }\n";
        appendIndices(out, "normalIndex", indices, 3);
    }
    if (allTexCoords) {
        out += "texCoord TextureCoordinate { point [";
        for (const tessaro::Vertex& v : vertices.rows()) {
            const tessaro::TexCoordRecord& t =
                mesh.texCoords[static_cast<std::uint32_t>(v.texCoord)];
            out += ' ';
            appendNumber(out, t.u, kFloatDigits);
            out += ' ';
            appendNumber(out, t.v, kFloatDigits);
            out += ',';
        }
        out += " ] }\n";
        appendIndices(out, "texCoordIndex", indices, 3);
    }
    return out + "}\n";
}

std::string lineSet(const DrawableMesh& mesh, const std::vector<std::uint32_t>& lines) {
    UsedRows positions(mesh.positions.count);
    std::vector<std::int32_t> coordIndex;
    for (std::uint32_t l : lines)
        for (const tessaro::Vertex& v : mesh.lines[l].vertex)
            coordIndex.push_back(positions.localIndex(v.position));
    std::string out = "geometry IndexedLineSet {\n";
    appendCoordinates(out, mesh, positions);
    appendIndices(out, "coordIndex", coordIndex, 2);
    return out + "}\n";
}

// Every point as its own coordinate: a reader counts one vertex per coordinate.
std::string pointSet(const DrawableMesh& mesh, const std::vector<std::uint32_t>& points) {
    std::string out = "geometry PointSet {\ncoord Coordinate { point [";
    for (std::uint32_t p : points) {
        const auto row = static_cast<std::uint32_t>(mesh.points[p].vertex[0].position);
        out += ' ';
        appendTriple(out, mesh.positions[row].x, mesh.positions[row].y, mesh.positions[row].z);
        out += ',';
    }
    return out + " ] }\n}\n";
}

// The texture handle a face refers to; kNone for none.
std::int32_t textureOf(const DrawableMesh& mesh, const tessaro::FaceRecord& face) {
    if (!inTable(face.texture, mesh.textureRefs.count())) return kNone;
    const tessaro::TextureUse* use = mesh.textureRefs[static_cast<std::uint32_t>(face.texture)];
    return use != nullptr ? use->handle : kNone;
}

using Look = std::pair<std::int32_t, std::int32_t>;  // material, texture

// The primitives of one kind grouped by material and texture; primitives whose
// positions are outside the mesh are left out.
template <typename Primitive, typename LookOf>
std::map<Look, std::vector<std::uint32_t>> byLook(const tessaro::RecordBlock<Primitive>& primitives,
                                                  std::uint32_t positionCount, LookOf lookOf) {
    std::map<Look, std::vector<std::uint32_t>> groups;
    for (std::uint32_t i = 0; i < primitives.count; ++i) {
        const Primitive& primitive = primitives[i];
        const bool whole = std::all_of(
            std::begin(primitive.vertex), std::end(primitive.vertex),
            [&](const tessaro::Vertex& v) { return inTable(v.position, positionCount); });
        if (whole) groups[lookOf(primitive)].push_back(i);
    }
    return groups;
}

std::string meshShapes(const DrawableMesh& mesh) {
    const auto material = [&](std::int32_t index) {
        return inTable(index, mesh.materials.count)
                   ? &mesh.materials[static_cast<std::uint32_t>(index)]
                   : nullptr;
    };
    const auto untextured = [](const auto& primitive) { return Look{primitive.material, kNone}; };
    const auto textured = [&](const tessaro::FaceRecord& face) {
        return Look{face.material, textureOf(mesh, face)};
    };
    std::string out;
    const std::uint32_t positions = mesh.positions.count;
    for (const auto& [look, faces] : byLook(mesh.faces, positions, textured)) {
        out += "Shape {\n" + appearanceNode(material(look.first), false, look.second) +
               faceSet(mesh, faces) + "}\n";
    }
    for (const auto& [look, lines] : byLook(mesh.lines, positions, untextured))
        out +=
            "Shape {\n" + appearanceNode(material(look.first), true) + lineSet(mesh, lines) + "}\n";
    for (const auto& [look, points] : byLook(mesh.points, positions, untextured)) {
        out += "Shape {\n" + appearanceNode(material(look.first), true) + pointSet(mesh, points) +
               "}\n";
    }
    return out;
}

// An object's frame as VRML's rotation: the axis and angle of the rotation whose
// columns are right (up x forward), up and forward, the viewer's object matrix.
void appendRotation(std::string& out, const tessaro::Transform& t) {
    const double* f = t.forward;
    const double* u = t.up;
    const double r[3] = {u[1] * f[2] - u[2] * f[1], u[2] * f[0] - u[0] * f[2],
                         u[0] * f[1] - u[1] * f[0]};
    // m[row][column]
    const double m[3][3] = {{r[0], u[0], f[0]}, {r[1], u[1], f[1]}, {r[2], u[2], f[2]}};
    const double trace = m[0][0] + m[1][1] + m[2][2];
    const double angle = std::acos(std::clamp((trace - 1) / 2, -1.0, 1.0));
    double axis[3] = {m[2][1] - m[1][2], m[0][2] - m[2][0], m[1][0] - m[0][1]};
    if (std::sin(angle) < 1e-6 && angle > 1.0) {
        // Half a turn: the axis is the column of largest diagonal of (m + I) / 2.
        const int k = m[0][0] >= m[1][1] && m[0][0] >= m[2][2] ? 0 : (m[1][1] >= m[2][2] ? 1 : 2);
        for (int i = 0; i < 3; ++i)
            axis[i] = (m[i][k] + (i == k ? 1.0 : 0.0)) / 2;
    }
    const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (length < 1e-12) {
        out += "rotation 0 0 1 0\n";
        return;
    }
    out += "rotation ";
    appendTriple(out, axis[0] / length, axis[1] / length, axis[2] / length);
    out += ' ';
    appendNumber(out, angle);
    out += '\n';
}

// Receives the parsed world and keeps, per handle, what the VRML file needs of it.
class VrmlConsumer final : public tessaro::SceneConsumer {
  public:
    struct Entry {
        std::string shapes;  // a mesh's Shape nodes
        bool isObject = false;
        tessaro::Transform transform;       // an object's placement
        std::vector<std::int32_t> members;  // an object's children, a group's chunks
        std::int32_t mesh = kNone;          // an object's mesh or mesh group
        std::int32_t image = kNone;         // a texture's image
        bool repeat = true;                 // a texture's wrap mode
        std::unique_ptr<tessaro::TextureImageRecord> pixels;  // an image
    };

    void worldDone(std::unique_ptr<tessaro::WorldRecord> world) override {
        m_world = std::move(world);
    }
    std::int32_t addMesh(std::unique_ptr<DrawableMesh> mesh) override {
        Entry entry;
        entry.shapes = meshShapes(*mesh);
        return add(std::move(entry));
    }
    std::int32_t addObject(std::unique_ptr<tessaro::ObjectRecord> object) override {
        Entry entry;
        entry.isObject = true;
        entry.transform = object->transform;
        entry.members = object->childHandles;
        entry.mesh = object->meshHandle;
        return add(std::move(entry));
    }
    std::int32_t addMeshGroup(std::uint32_t count, const std::int32_t* handles) override {
        Entry entry;
        entry.members.assign(handles, handles + count);
        return add(std::move(entry));
    }
    std::int32_t addData(std::unique_ptr<tessaro::DataRecord>) override { return add({}); }
    std::int32_t addTexture(std::unique_ptr<tessaro::TextureRecord> texture) override {
        Entry entry;
        entry.image = texture->imageHandle;
        entry.repeat = texture->wrap == tessaro::kWrapRepeat;
        return add(std::move(entry));
    }
    std::int32_t addTextureImage(std::unique_ptr<tessaro::TextureImageRecord> image) override {
        Entry entry;
        if (!image->included && image->pixels && image->width > 0 && image->height > 0)
            entry.pixels = std::move(image);
        return add(std::move(entry));
    }
    std::int32_t addExtGeom(std::unique_ptr<tessaro::ExtGeomRecord>) override { return add({}); }
    void showError(const char* text) override {
        if (m_error.empty()) m_error = text;
    }
    void setBackground(std::unique_ptr<tessaro::BackgroundRecord> background) override {
        m_background = std::move(background);
    }
    void setLighting(std::unique_ptr<tessaro::LightingRecord>) override {}

    const std::string& error() const { return m_error; }
    std::string vrml();

  private:
    std::int32_t add(Entry entry) {
        m_entries.push_back(std::move(entry));
        return static_cast<std::int32_t>(m_entries.size() - 1);
    }
    void appendGeometry(std::string& out, std::int32_t handle, int depth);
    std::string textureField(std::int32_t texture);
    void placeTextures(std::string& out, std::size_t from);
    void appendObject(std::string& out, std::int32_t handle, int depth);

    std::vector<Entry> m_entries;
    std::unique_ptr<tessaro::WorldRecord> m_world;
    std::unique_ptr<tessaro::BackgroundRecord> m_background;
    std::string m_error;
    std::vector<bool> m_textureWritten;  // per handle: its node is in the file, USE it
};

// A reference cycle never completes in the parser; the bound keeps a broken table from
// recursing without end all the same.
constexpr int kDeepestNesting = 1000;

// The first use of a texture in the file carries its node, later ones name it.
std::string VrmlConsumer::textureField(std::int32_t texture) {
    const auto count = static_cast<std::uint32_t>(m_entries.size());
    if (!inTable(texture, count)) return {};
    const Entry& entry = m_entries[static_cast<std::size_t>(texture)];
    if (!inTable(entry.image, count) || !m_entries[static_cast<std::size_t>(entry.image)].pixels)
        return {};
    const std::string name = "T" + std::to_string(texture);
    m_textureWritten.resize(count);
    if (m_textureWritten[static_cast<std::size_t>(texture)]) return "texture USE " + name;
    m_textureWritten[static_cast<std::size_t>(texture)] = true;
    return "texture DEF " + name + ' ' +
           pixelTexture(*m_entries[static_cast<std::size_t>(entry.image)].pixels, entry.repeat);
}

void VrmlConsumer::placeTextures(std::string& out, std::size_t from) {
    std::size_t at = from;
    while ((at = out.find(kTextureMark, at)) != std::string::npos) {
        const std::size_t end = out.find(kTextureMark, at + 1);
        const std::string field = textureField(std::stoi(out.substr(at + 1, end - at - 1)));
        out.replace(at, end + 1 - at, field);
        at += field.size();
    }
}

void VrmlConsumer::appendGeometry(std::string& out, std::int32_t handle, int depth) {
    if (!inTable(handle, static_cast<std::uint32_t>(m_entries.size())) || depth > kDeepestNesting)
        return;
    const Entry& entry = m_entries[static_cast<std::size_t>(handle)];
    const std::size_t start = out.size();
    out += entry.shapes;
    placeTextures(out, start);
    if (!entry.isObject)
        for (std::int32_t chunk : entry.members)
            appendGeometry(out, chunk, depth + 1);
}

void VrmlConsumer::appendObject(std::string& out, std::int32_t handle, int depth) {
    if (!inTable(handle, static_cast<std::uint32_t>(m_entries.size())) || depth > kDeepestNesting)
        return;
    const Entry& entry = m_entries[static_cast<std::size_t>(handle)];
    if (!entry.isObject) return;
    const tessaro::Transform& t = entry.transform;
    out += "Transform {\ntranslation ";
    appendTriple(out, t.position[0], t.position[1], t.position[2]);
    out += '\n';
    appendRotation(out, t);
    out += "scale ";
    appendTriple(out, t.scale, t.scale, t.scale);
    out += "\nchildren [\n";
    appendGeometry(out, entry.mesh, depth + 1);
    for (std::int32_t child : entry.members)
        appendObject(out, child, depth + 1);
    out += "]\n}\n";
}

std::string VrmlConsumer::vrml() {
    std::string out = "#VRML V2.0 utf8\n";
    if (m_background) {
        out += "Background { skyColor [ ";
        appendColour(out, m_background->colour);
        out += " ] }\n";
    }
    out += "Group {\nchildren [\n";
    if (m_world) {
        appendGeometry(out, m_world->meshHandle, 0);
        for (std::int32_t child : m_world->childHandles)
            appendObject(out, child, 0);
    }
    return out + "]\n}\n";
}

}  // namespace

bool writeVrmlCopy(const QByteArray& xgl, const std::string& fileName, std::string& error) {
    VrmlConsumer consumer;
    MemoryStream stream(xgl);
    tessaro::LoadResult result;
    {
        tessaro::SceneLoadContext context(consumer);
        result = context.parse(stream, nullptr);
    }
    if (!result.loaded()) {
        error = consumer.error().empty() ? result.message : consumer.error();
        return false;
    }
    const std::string text = consumer.vrml();
    QSaveFile file(QString::fromStdString(fileName));
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) < 0 || !file.commit()) {
        error = "The copy " + fileName + " cannot be written.";
        return false;
    }
    return true;
}

}  // namespace exportal
