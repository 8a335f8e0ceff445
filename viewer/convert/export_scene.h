// ExportScene: the consumer of a load that keeps what an export needs. Each mesh (or
// chunk of a spilled mesh) is turned at once into primitives as the viewer draws them
// (one per material, texture and kind), with the vertices welded per primitive; their
// arrays go to the BinaryStore and only their descriptions stay in memory. Objects,
// the world, textures, images, lights and background are kept as small records and
// written out once the load has ended.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "convert/binary_store.h"
#include "scene/scene_bounds.h"
#include "scene/scene_consumer.h"

namespace tessaro {

// glTF primitive modes.
inline constexpr std::uint32_t kModePoints = 0;
inline constexpr std::uint32_t kModeLines = 1;
inline constexpr std::uint32_t kModeTriangles = 4;

inline constexpr std::uint64_t kNoArray = ~std::uint64_t{0};

// One primitive's arrays in the store: float positions and normals (3 each per
// vertex), float texture coordinates (2, or none) and 32-bit indices.
struct ExportPrimitive {
    std::uint32_t mode = kModeTriangles;
    std::int32_t material = kNone;  // index into ExportScene::materials()
    float size = 1;                 // line width or point size
    std::uint32_t vertexCount = 0;
    std::uint32_t indexCount = 0;
    std::uint64_t positions = kNoArray;
    std::uint64_t normals = kNoArray;
    std::uint64_t texCoords = kNoArray;
    std::uint64_t indices = kNoArray;
    float min[3] = {0, 0, 0};
    float max[3] = {0, 0, 0};
};

// A material as the viewer draws it: the colours, the texture (an index into
// textures(), kNone for none) and whether both sides are drawn.
struct ExportMaterial {
    MaterialRecord colours;
    std::int32_t texture = kNone;
    bool doubleSided = false;
};

// How an image's alpha looks: every pixel opaque, only fully transparent or opaque
// pixels, or partly transparent ones.
enum class ImageAlpha : std::uint8_t { opaque, cutout, blended };

struct ExportImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint64_t png = kNoArray;  // the PNG file in the store
    std::uint64_t pngSize = 0;
    ImageAlpha alpha = ImageAlpha::opaque;
};

struct ExportTexture {
    std::int32_t image = kNone;  // index into images(); kNone: draws as no texture
    std::int32_t wrap = kWrapRepeat;
};

// An entry of the handle table: a mesh or group (its primitives) or an object.
struct ExportEntry {
    SceneBounds::EntryKind kind = SceneBounds::EntryKind::mesh;
    std::vector<std::uint32_t> primitives;
    std::string name;
    bool hasName = false;
    Transform transform;
    std::int32_t meshHandle = kNone;
    std::vector<std::int32_t> children;
};

class ExportScene final : public SceneConsumer {
  public:
    // False when the temporary file cannot be made.
    bool open();

    void worldDone(std::unique_ptr<WorldRecord> world) override;
    std::int32_t addMesh(std::unique_ptr<DrawableMesh> mesh) override;
    std::int32_t addObject(std::unique_ptr<ObjectRecord> object) override;
    std::int32_t addData(std::unique_ptr<DataRecord> data) override;
    std::int32_t addTexture(std::unique_ptr<TextureRecord> texture) override;
    std::int32_t addTextureImage(std::unique_ptr<TextureImageRecord> image) override;
    void showError(const char* text) override;
    void setBackground(std::unique_ptr<BackgroundRecord> background) override;
    void setLighting(std::unique_ptr<LightingRecord> lighting) override;
    std::int32_t addExtGeom(std::unique_ptr<ExtGeomRecord> geometry) override;
    std::int32_t addMeshGroup(std::uint32_t count, const std::int32_t* handles) override;

    // Why the export cannot be written although the load went on (the store failed,
    // memory ran short); empty when all is well.
    const std::string& failure() const { return m_failure; }

    const BinaryStore& store() const { return m_store; }
    const std::vector<ExportPrimitive>& primitives() const { return m_primitives; }
    const std::vector<ExportMaterial>& materials() const { return m_materials; }
    const std::vector<ExportTexture>& textures() const { return m_textures; }
    const std::vector<ExportImage>& images() const { return m_images; }
    const ExportEntry* entry(std::int32_t handle) const;
    const WorldRecord* world() const { return m_world.get(); }
    const LightingRecord* lighting() const { return m_lighting.get(); }
    const BackgroundRecord* background() const { return m_background.get(); }
    // The world box the viewer fits its camera to; empty without geometry.
    Box worldBox() const;
    // The texture function in force while the viewer draws: that of the texture added
    // last, since the texture environment is global state.
    std::int32_t textureFunction() const { return m_textureFunction; }

  private:
    struct MaterialKey {
        MaterialRecord colours;
        std::int32_t texture;
        std::int32_t doubleSided;
        bool operator<(const MaterialKey& other) const;
    };

    void convertMesh(const DrawableMesh& mesh, std::vector<std::uint32_t>& primitives);
    std::int32_t materialIndex(const MaterialKey& key);
    ExportEntry& entryAt(std::int32_t handle);
    void fail(const std::string& why);

    BinaryStore m_store;
    std::string m_failure;
    SceneBounds m_bounds;
    std::vector<ExportEntry> m_entries;
    std::vector<ExportPrimitive> m_primitives;
    std::vector<ExportMaterial> m_materials;
    std::map<MaterialKey, std::int32_t> m_materialIndex;
    std::vector<ExportTexture> m_textures;
    std::vector<TextureRecord> m_textureRecords;  // indexed like m_textures
    std::vector<ExportImage> m_images;
    std::int32_t m_textureFunction = kTextureModulate;
    std::unique_ptr<WorldRecord> m_world;
    std::unique_ptr<LightingRecord> m_lighting;
    std::unique_ptr<BackgroundRecord> m_background;
};

}  // namespace tessaro
