// SceneDocument: turns a file name into a picture. It runs one load and is the
// consumer of the parse: every mesh, object and texture is compiled into display
// lists the moment it arrives, with its bounding box; when the world is complete
// the camera is fitted, the scene list built and the parsed records freed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "render/renderer.h"
#include "scene/scene_bounds.h"
#include "scene/scene_consumer.h"
#include "xgl/input_stream.h"
#include "xgl/load_result.h"

namespace tessaro {

// Where the document shows its one message of a load: a message box in the viewer,
// the caller's text headless.
class MessageSink {
  public:
    virtual void showMessage(const char* text) = 0;

  protected:
    ~MessageSink() = default;
};

class SceneDocument final : public SceneConsumer {
  public:
    explicit SceneDocument(MessageSink* messages = nullptr) : m_messages(messages) {}

    // Loads a ".xgl" or ".zgl" file (any letter case) into the current GL context.
    // Any other name, or a file that cannot be opened, leaves a white picture and
    // shows nothing; the result says why.
    LoadResult load(const char* fileName);
    // Clears the picture and reads an opened document into the current GL context.
    LoadResult load(InputStream& stream);
    // Empties the picture and returns the camera to its default orientation.
    void clear();

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

    // Fits the camera to the world box: the scene is drawn around its centre, in a
    // cube whose side is the diagonal of the box's largest extent.
    void fitView();
    // Empties the entry table and the boxes and destroys the world, lighting and
    // background records; display lists stay.
    void resetTables();

    const PoolVector<GeometryEntry>& entries() const { return m_entries; }
    const SceneBounds& bounds() const { return m_bounds; }

  private:
    void compileMeshLists(const DrawableMesh& mesh, GeometryEntry& entry);
    void compileObjectLists(const ObjectRecord& object, GeometryEntry& entry);
    // Keeps the entry table as long as the bounds' entries: handles index both.
    GeometryEntry& entryFor(std::int32_t handle);

    MessageSink* m_messages;
    std::unique_ptr<WorldRecord> m_world;
    std::unique_ptr<LightingRecord> m_lighting;
    std::unique_ptr<BackgroundRecord> m_background;
    PoolVector<GeometryEntry> m_entries;
    SceneBounds m_bounds;
};

}  // namespace tessaro
