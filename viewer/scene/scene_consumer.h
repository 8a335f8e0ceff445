// The interface through which a load hands its results to the viewer's document.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "scene/handover_records.h"

namespace tessaro {

// Handles: 0 or more for a kept item, kNotKept for one that is not kept, kDropped
// for an empty item that was dropped. Every record passed becomes the consumer's.
inline constexpr std::int32_t kNotKept = -1;
inline constexpr std::int32_t kDropped = -2;

class SceneConsumer {
  public:
    virtual ~SceneConsumer() = default;
    virtual void worldDone(std::unique_ptr<WorldRecord> world) = 0;
    virtual std::int32_t addMesh(std::unique_ptr<DrawableMesh> mesh) = 0;
    virtual std::int32_t addObject(std::unique_ptr<ObjectRecord> object) = 0;
    virtual std::int32_t addData(std::unique_ptr<DataRecord> data) = 0;
    virtual std::int32_t addTexture(std::unique_ptr<TextureRecord> texture) = 0;
    virtual std::int32_t addTextureImage(std::unique_ptr<TextureImageRecord> image) = 0;
    virtual void showError(const char* text) = 0;
    virtual void setBackground(std::unique_ptr<BackgroundRecord> background) = 0;
    virtual void setLighting(std::unique_ptr<LightingRecord> lighting) = 0;
    virtual std::int32_t addExtGeom(std::unique_ptr<ExtGeomRecord> geometry) = 0;
    virtual std::int32_t addMeshGroup(std::uint32_t count, const std::int32_t* handles) = 0;
};

// A consumer that keeps nothing and remembers the first error text; used to
// validate documents. It still hands out distinct handles, so that references to
// what it received count as resolved.
class ValidatingConsumer : public SceneConsumer {
  public:
    void worldDone(std::unique_ptr<WorldRecord>) override {}
    std::int32_t addMesh(std::unique_ptr<DrawableMesh>) override { return nextHandle(); }
    std::int32_t addObject(std::unique_ptr<ObjectRecord>) override { return nextHandle(); }
    std::int32_t addData(std::unique_ptr<DataRecord>) override { return nextHandle(); }
    std::int32_t addTexture(std::unique_ptr<TextureRecord>) override { return nextHandle(); }
    std::int32_t addTextureImage(std::unique_ptr<TextureImageRecord>) override {
        return nextHandle();
    }
    void showError(const char* text) override {
        if (!m_hasError) m_firstError = text;
        m_hasError = true;
    }
    void setBackground(std::unique_ptr<BackgroundRecord>) override {}
    void setLighting(std::unique_ptr<LightingRecord>) override {}
    std::int32_t addExtGeom(std::unique_ptr<ExtGeomRecord>) override { return nextHandle(); }
    std::int32_t addMeshGroup(std::uint32_t, const std::int32_t*) override { return nextHandle(); }

    bool hasError() const { return m_hasError; }
    const std::string& firstError() const { return m_firstError; }

  private:
    std::int32_t nextHandle() { return m_handles < INT32_MAX ? m_handles++ : m_handles; }

    std::int32_t m_handles = 0;
    bool m_hasError = false;
    std::string m_firstError;
};

}  // namespace tessaro
