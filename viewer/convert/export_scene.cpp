#include "convert/export_scene.h"

#include <png.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>
#include <tuple>

namespace tessaro {

namespace {

constexpr const char* kNoMemory = "Not enough memory to convert the document";

template <typename Table>
bool inTable(std::int32_t index, const Table& table) {
    return index >= 0 && static_cast<std::uint32_t>(index) < table.count;
}

// glTF holds 32-bit floats: larger values become the largest float, and a value that
// is not a number becomes 0, so that every reader accepts the file.
float toFloat(double value) {
    if (std::isnan(value)) return 0;
    if (value > FLT_MAX) return FLT_MAX;
    if (value < -FLT_MAX) return -FLT_MAX;
    return static_cast<float>(value);
}

// The viewer renormalises every normal it draws with; glTF wants unit normals in the
// file. A normal without length points along z, as the viewer's default normal does.
void unitNormal(float n[3]) {
    const double length =
        std::sqrt(double{n[0]} * n[0] + double{n[1]} * n[1] + double{n[2]} * n[2]);
    if (!(length > 1e-12) || !std::isfinite(length)) {
        n[0] = 0, n[1] = 0, n[2] = 1;
        return;
    }
    for (int i = 0; i < 3; ++i)
        n[i] = static_cast<float>(n[i] / length);
}

// What makes two corners of one primitive the same vertex besides their position.
struct CornerKey {
    std::int32_t normal;
    std::int32_t texCoord;
    bool operator==(const CornerKey&) const = default;
};

// The arrays of one primitive.
class PrimitiveBuilder {
  public:
    PrimitiveBuilder(const DrawableMesh& mesh, const TextureRecord* texture)
        : m_mesh(mesh), m_texture(texture) {}

    // Room for `corners` corners; untouched room costs no memory.
    void reserve(std::size_t corners);
    std::uint32_t addVertex(std::int32_t position, CornerKey key);
    void addIndex(std::uint32_t vertex) { m_indices.push_back(vertex); }
    const CornerKey& keyOf(std::uint32_t vertex) const { return m_keys[vertex]; }
    bool textured() const { return m_texture != nullptr; }
    bool write(BinaryStore& store, ExportPrimitive& out) const;

  private:
    const DrawableMesh& m_mesh;
    const TextureRecord* m_texture;  // null for a primitive without texture
    std::vector<CornerKey> m_keys;
    std::vector<float> m_positions, m_normals, m_texCoords;
    std::vector<std::uint32_t> m_indices;
};

void PrimitiveBuilder::reserve(std::size_t corners) {
    m_keys.reserve(corners);
    m_positions.reserve(corners * 3);
    m_normals.reserve(corners * 3);
    if (m_texture != nullptr) m_texCoords.reserve(corners * 2);
    m_indices.reserve(corners);
}

std::uint32_t PrimitiveBuilder::addVertex(std::int32_t position, CornerKey key) {
    m_keys.push_back(key);
    const PositionRecord& p = m_mesh.positions[static_cast<std::uint32_t>(position)];
    m_positions.insert(m_positions.end(), {toFloat(p.x), toFloat(p.y), toFloat(p.z)});
    float n[3] = {0, 0, 1};
    if (key.normal != kNone) {
        const NormalRecord& record = m_mesh.normals[static_cast<std::uint32_t>(key.normal)];
        n[0] = record.x, n[1] = record.y, n[2] = record.z;
    }
    unitNormal(n);
    m_normals.insert(m_normals.end(), n, n + 3);
    if (m_texture != nullptr) {
        double s = 0, t = 0;
        if (key.texCoord != kNone) {
            const TexCoordRecord& c = m_mesh.texCoords[static_cast<std::uint32_t>(key.texCoord)];
            s = c.u, t = c.v;
        }
        // The texture matrix the viewer loads: s' = t0 s + t1 t + t4, t' = t3 s + t2 t + t5.
        const double* m = m_texture->coordTransform;
        m_texCoords.push_back(toFloat(m[0] * s + m[1] * t + m[4]));
        m_texCoords.push_back(toFloat(m[3] * s + m[2] * t + m[5]));
    }
    return static_cast<std::uint32_t>(m_keys.size() - 1);
}

bool PrimitiveBuilder::write(BinaryStore& store, ExportPrimitive& out) const {
    out.vertexCount = static_cast<std::uint32_t>(m_keys.size());
    out.indexCount = static_cast<std::uint32_t>(m_indices.size());
    for (int axis = 0; axis < 3; ++axis) {
        out.min[axis] = FLT_MAX;
        out.max[axis] = -FLT_MAX;
    }
    for (std::size_t i = 0; i < m_positions.size(); i += 3) {
        for (int axis = 0; axis < 3; ++axis) {
            out.min[axis] = std::min(out.min[axis], m_positions[i + axis]);
            out.max[axis] = std::max(out.max[axis], m_positions[i + axis]);
        }
    }
    const auto put = [&store](const auto& values, std::uint64_t& offset) {
        return store.append(values.data(), values.size() * sizeof(values[0]), offset);
    };
    return put(m_positions, out.positions) && put(m_normals, out.normals) &&
           (m_texture == nullptr || put(m_texCoords, out.texCoords)) && put(m_indices, out.indices);
}

// Welds the corners of a mesh's primitives: each position keeps a chain of the
// vertices made at it, newest first, so a corner reuses the vertex of its primitive
// with the same normal and coordinate. Chains are walked a bounded number of steps,
// so that a position shared by a huge fan costs a duplicate vertex, not a long walk.
class CornerWelder {
  public:
    explicit CornerWelder(std::uint32_t positions, std::size_t corners) : m_head(positions, kEnd) {
        m_links.reserve(corners);
    }

    std::uint32_t vertexOf(std::vector<PrimitiveBuilder>& builders, std::uint32_t builder,
                           const DrawableMesh& mesh, const Vertex& corner);

  private:
    static constexpr std::uint32_t kEnd = 0xFFFFFFFFu;
    static constexpr int kLongestWalk = 16;
    struct Link {
        std::uint32_t builder, vertex, next;
    };
    std::vector<std::uint32_t> m_head;
    std::vector<Link> m_links;
};

std::uint32_t CornerWelder::vertexOf(std::vector<PrimitiveBuilder>& builders, std::uint32_t builder,
                                     const DrawableMesh& mesh, const Vertex& corner) {
    PrimitiveBuilder& primitive = builders[builder];
    // Absent normals and coordinates share one key each.
    const CornerKey key{
        inTable(corner.normal, mesh.normals) ? corner.normal : kNone,
        primitive.textured() && inTable(corner.texCoord, mesh.texCoords) ? corner.texCoord : kNone};
    std::uint32_t& head = m_head[static_cast<std::uint32_t>(corner.position)];
    int steps = 0;
    for (std::uint32_t at = head; at != kEnd && steps < kLongestWalk;
         at = m_links[at].next, ++steps) {
        const Link& link = m_links[at];
        if (link.builder == builder && primitive.keyOf(link.vertex) == key) return link.vertex;
    }
    const std::uint32_t vertex = primitive.addVertex(corner.position, key);
    m_links.push_back({builder, vertex, head});
    head = static_cast<std::uint32_t>(m_links.size() - 1);
    return vertex;
}

ImageAlpha alphaOf(const TextureImageRecord& image) {
    ImageAlpha alpha = ImageAlpha::opaque;
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t a = image.pixels[i * 4 + 3];
        if (a == 255) continue;
        if (a != 0) return ImageAlpha::blended;
        alpha = ImageAlpha::cutout;
    }
    return alpha;
}

// The image as a PNG file: RGB when every pixel is opaque, else RGBA. Empty when
// libpng refuses it.
std::vector<std::uint8_t> encodePng(const TextureImageRecord& image, bool withAlpha) {
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    std::vector<std::uint8_t> rgb;
    const std::uint8_t* pixels = image.pixels.get();
    if (!withAlpha) {
        rgb.resize(count * 3);
        for (std::size_t i = 0; i < count; ++i)
            std::memcpy(&rgb[i * 3], &image.pixels[i * 4], 3);
        pixels = rgb.data();
    }
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = withAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels, 0, nullptr)) return {};
    std::vector<std::uint8_t> file(size);
    if (!png_image_write_to_memory(&png, file.data(), &size, 0, pixels, 0, nullptr)) return {};
    file.resize(size);
    return file;
}

}  // namespace

bool ExportScene::MaterialKey::operator<(const MaterialKey& other) const {
    const int colours = std::memcmp(&this->colours, &other.colours, sizeof(MaterialRecord));
    if (colours != 0) return colours < 0;
    return std::tie(texture, doubleSided) < std::tie(other.texture, other.doubleSided);
}

bool ExportScene::open() {
    if (m_store.open()) return true;
    fail("Cannot make a temporary file: " + m_store.failure());
    return false;
}

void ExportScene::fail(const std::string& why) {
    if (m_failure.empty()) m_failure = why;
}

ExportEntry& ExportScene::entryAt(std::int32_t handle) {
    if (m_entries.size() < m_bounds.entryCount()) m_entries.resize(m_bounds.entryCount());
    return m_entries[static_cast<std::size_t>(handle)];
}

const ExportEntry* ExportScene::entry(std::int32_t handle) const {
    if (handle < 0 || static_cast<std::size_t>(handle) >= m_entries.size()) return nullptr;
    return &m_entries[static_cast<std::size_t>(handle)];
}

Box ExportScene::worldBox() const {
    return m_world ? m_bounds.worldBox(*m_world) : Box{};
}

std::int32_t ExportScene::materialIndex(const MaterialKey& key) {
    const auto [at, added] =
        m_materialIndex.emplace(key, static_cast<std::int32_t>(m_materials.size()));
    if (added) m_materials.push_back({key.colours, key.texture, key.doubleSided != 0});
    return at->second;
}

// Primitives as the viewer draws them: every corner has a position, the material
// exists and a texture, when named, was registered. The mesh is two-sided when it
// says so or when any of its faces is transparent (the viewer then draws all its
// passes two-sided). A first pass picks each primitive's builder and counts the
// corners, so that the arrays are sized once; the second fills them.
void ExportScene::convertMesh(const DrawableMesh& mesh, std::vector<std::uint32_t>& primitives) {
    bool transparent = false;
    for (const FaceRecord& face : mesh.faces) {
        transparent = transparent ||
                      (inTable(face.material, mesh.materials) &&
                       mesh.materials[static_cast<std::uint32_t>(face.material)].alpha != 1.0f);
    }
    const bool doubleSided = mesh.surface == 1 || transparent;

    using GroupKey = std::tuple<std::uint32_t, std::int32_t, float>;  // mode, material, size
    std::map<GroupKey, std::uint32_t> groupIndex;
    std::vector<PrimitiveBuilder> builders;
    std::vector<GroupKey> keys;
    std::vector<std::size_t> corners;
    constexpr std::uint32_t kSkipped = 0xFFFFFFFFu;
    // Neighbouring primitives mostly share material and texture: the last answer is kept.
    struct Last {
        std::uint32_t mode;
        std::int32_t material, texture;
        float size;
        std::uint32_t builder;
    } last{kModeTriangles, kNone, kNone, 0, kSkipped};
    const auto builderFor = [&](std::uint32_t mode, std::int32_t material, std::int32_t texture,
                                float size) -> std::uint32_t {
        if (last.builder != kSkipped && last.mode == mode && last.material == material &&
            last.texture == texture && last.size == size) {
            return last.builder;
        }
        if (!inTable(material, mesh.materials)) return kSkipped;
        std::int32_t exported = kNone;
        if (texture != kNone) {
            if (texture < 0 || static_cast<std::uint32_t>(texture) >= mesh.textureRefs.count())
                return kSkipped;
            const TextureUse* use = mesh.textureRefs[static_cast<std::uint32_t>(texture)];
            if (use == nullptr || use->handle < 0 ||
                static_cast<std::size_t>(use->handle) >= m_textures.size()) {
                return kSkipped;
            }
            // A texture without an image draws as none.
            if (m_textures[static_cast<std::size_t>(use->handle)].image != kNone)
                exported = use->handle;
        }
        const MaterialKey materialKey{mesh.materials[static_cast<std::uint32_t>(material)],
                                      exported, doubleSided ? 1 : 0};
        const GroupKey key{mode, materialIndex(materialKey), size};
        const auto [at, added] =
            groupIndex.emplace(key, static_cast<std::uint32_t>(builders.size()));
        if (added) {
            builders.emplace_back(
                mesh, exported == kNone ? nullptr
                                        : &m_textureRecords[static_cast<std::size_t>(exported)]);
            keys.push_back(key);
            corners.push_back(0);
        }
        last = {mode, material, texture, size, at->second};
        return at->second;
    };
    const auto positioned = [&mesh](const Vertex* vertices, int count) {
        for (int i = 0; i < count; ++i) {
            if (!inTable(vertices[i].position, mesh.positions)) return false;
        }
        return true;
    };
    const auto lineWidth = [&mesh](const LineRecord& line) {
        return inTable(line.lineStyle, mesh.lineStyles)
                   ? mesh.lineStyles[static_cast<std::uint32_t>(line.lineStyle)].width
                   : 1.0f;
    };
    const auto pointSize = [&mesh](const PointRecord& point) {
        return inTable(point.pointStyle, mesh.pointStyles)
                   ? mesh.pointStyles[static_cast<std::uint32_t>(point.pointStyle)].size
                   : 1.0f;
    };

    std::vector<std::uint32_t> chosen;
    chosen.reserve(std::size_t{mesh.faces.count} + mesh.lines.count + mesh.points.count);
    const auto choose = [&](bool drawable, std::uint32_t mode, std::int32_t material,
                            std::int32_t texture, float size, std::size_t count) {
        const std::uint32_t builder =
            drawable ? builderFor(mode, material, texture, size) : kSkipped;
        if (builder != kSkipped) corners[builder] += count;
        chosen.push_back(builder);
    };
    for (const FaceRecord& face : mesh.faces)
        choose(positioned(face.vertex, 3), kModeTriangles, face.material, face.texture, 1, 3);
    for (const LineRecord& line : mesh.lines)
        choose(positioned(line.vertex, 2), kModeLines, line.material, line.texture, lineWidth(line),
               2);
    for (const PointRecord& point : mesh.points)
        choose(positioned(point.vertex, 1), kModePoints, point.material, point.texture,
               pointSize(point), 1);

    std::size_t total = 0;
    for (std::size_t i = 0; i < builders.size(); ++i) {
        builders[i].reserve(corners[i]);
        total += corners[i];
    }
    CornerWelder welder(mesh.positions.count, total);
    std::size_t next = 0;
    const auto add = [&](const Vertex* vertices, int count) {
        const std::uint32_t builder = chosen[next++];
        if (builder == kSkipped) return;
        for (int i = 0; i < count; ++i)
            builders[builder].addIndex(welder.vertexOf(builders, builder, mesh, vertices[i]));
    };
    for (const FaceRecord& face : mesh.faces)
        add(face.vertex, 3);
    for (const LineRecord& line : mesh.lines)
        add(line.vertex, 2);
    for (const PointRecord& point : mesh.points)
        add(point.vertex, 1);

    for (std::size_t i = 0; i < builders.size(); ++i) {
        ExportPrimitive primitive;
        primitive.mode = std::get<0>(keys[i]);
        primitive.material = std::get<1>(keys[i]);
        primitive.size = std::get<2>(keys[i]);
        if (!builders[i].write(m_store, primitive)) {
            fail("Cannot write to a temporary file: " + m_store.failure());
            return;
        }
        primitives.push_back(static_cast<std::uint32_t>(m_primitives.size()));
        m_primitives.push_back(primitive);
    }
}

// Every consumer call catches a shortage of memory itself: nothing may be thrown
// through the XML parser that calls it.

std::int32_t ExportScene::addMesh(std::unique_ptr<DrawableMesh> mesh) {
    try {
        const std::int32_t handle = m_bounds.addMesh(*mesh);
        if (handle < 0) return kDropped;
        ExportEntry& entry = entryAt(handle);
        entry.kind = SceneBounds::EntryKind::mesh;
        if (m_failure.empty()) convertMesh(*mesh, entry.primitives);
        return handle;
    } catch (const std::bad_alloc&) {
        fail(kNoMemory);
        return kDropped;
    }
}

std::int32_t ExportScene::addMeshGroup(std::uint32_t count, const std::int32_t* handles) {
    try {
        const std::int32_t handle = m_bounds.addMeshGroup(count, handles);
        if (handle < 0) return kDropped;
        ExportEntry& group = entryAt(handle);
        group.kind = SceneBounds::EntryKind::group;
        for (std::uint32_t i = 0; i < count; ++i) {
            const ExportEntry* chunk = entry(handles[i]);
            if (chunk == nullptr || chunk->kind != SceneBounds::EntryKind::mesh) continue;
            group.primitives.insert(group.primitives.end(), chunk->primitives.begin(),
                                    chunk->primitives.end());
        }
        return handle;
    } catch (const std::bad_alloc&) {
        fail(kNoMemory);
        return kDropped;
    }
}

std::int32_t ExportScene::addObject(std::unique_ptr<ObjectRecord> object) {
    try {
        const std::int32_t handle = m_bounds.addObject(*object);
        if (handle < 0) return kDropped;
        ExportEntry& entry = entryAt(handle);
        entry.kind = SceneBounds::EntryKind::object;
        entry.hasName = object->hasName;
        entry.name = object->name;
        entry.transform = object->transform;
        entry.meshHandle = object->meshHandle;
        entry.children = object->childHandles;
        return handle;
    } catch (const std::bad_alloc&) {
        fail(kNoMemory);
        return kDropped;
    }
}

std::int32_t ExportScene::addTexture(std::unique_ptr<TextureRecord> texture) {
    try {
        ExportTexture exported;
        if (texture->imageHandle >= 0 &&
            static_cast<std::size_t>(texture->imageHandle) < m_images.size() &&
            m_images[static_cast<std::size_t>(texture->imageHandle)].png != kNoArray) {
            exported.image = texture->imageHandle;
        }
        exported.wrap = texture->wrap;
        m_textureFunction = texture->function;
        m_textures.push_back(exported);
        m_textureRecords.push_back(*texture);
        return static_cast<std::int32_t>(m_textures.size() - 1);
    } catch (const std::bad_alloc&) {
        fail(kNoMemory);
        return kNotKept;
    }
}

std::int32_t ExportScene::addTextureImage(std::unique_ptr<TextureImageRecord> image) {
    try {
        ExportImage exported;
        if (image->pixels && image->width > 0 && image->height > 0) {
            exported.width = image->width;
            exported.height = image->height;
            exported.alpha = alphaOf(*image);
            const std::vector<std::uint8_t> png =
                encodePng(*image, exported.alpha != ImageAlpha::opaque);
            if (png.empty()) {
                fail("Cannot encode a texture image as PNG");
            } else if (!m_store.append(png.data(), png.size(), exported.png)) {
                fail("Cannot write to a temporary file: " + m_store.failure());
            }
            exported.pngSize = png.size();
        }
        m_images.push_back(exported);
        return static_cast<std::int32_t>(m_images.size() - 1);
    } catch (const std::bad_alloc&) {
        fail(kNoMemory);
        return kNotKept;
    }
}

void ExportScene::worldDone(std::unique_ptr<WorldRecord> world) {
    m_world = std::move(world);
}

void ExportScene::showError(const char*) {
    // The load's result carries the message; the export is then not written.
}

void ExportScene::setBackground(std::unique_ptr<BackgroundRecord> background) {
    m_background = std::move(background);
}

void ExportScene::setLighting(std::unique_ptr<LightingRecord> lighting) {
    m_lighting = std::move(lighting);
}

std::int32_t ExportScene::addData(std::unique_ptr<DataRecord>) {
    return kNotKept;
}

std::int32_t ExportScene::addExtGeom(std::unique_ptr<ExtGeomRecord>) {
    return kNotKept;
}

}  // namespace tessaro
