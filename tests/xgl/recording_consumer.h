// A fake consumer for the reader's tests: it keeps every record and message it is
// handed. Each kind of record gets handles counted from a base of its own, which a
// test may change, so that an assertion can tell which record a handle names.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/scene_consumer.h"

namespace tessaro::testing {

struct RecordingConsumer : ValidatingConsumer {
    void showError(const char* text) override {
        errors.emplace_back(text);
        ValidatingConsumer::showError(text);
    }
    std::int32_t addMesh(std::unique_ptr<DrawableMesh> mesh) override {
        return keep(meshes, std::move(mesh), meshBase);
    }
    std::int32_t addObject(std::unique_ptr<ObjectRecord> object) override {
        return keep(objects, std::move(object), objectBase);
    }
    std::int32_t addTextureImage(std::unique_ptr<TextureImageRecord> image) override {
        return keep(images, std::move(image), imageBase);
    }
    std::int32_t addTexture(std::unique_ptr<TextureRecord> texture) override {
        return keep(textures, std::move(texture), textureBase);
    }
    std::int32_t addExtGeom(std::unique_ptr<ExtGeomRecord> block) override {
        return keep(extGeoms, std::move(block), extGeomBase);
    }
    std::int32_t addData(std::unique_ptr<DataRecord> block) override {
        return keep(dataBlocks, std::move(block), dataBase);
    }
    void setLighting(std::unique_ptr<LightingRecord> record) override {
        lighting = std::move(record);
    }

    std::int32_t meshBase = 0;
    std::int32_t objectBase = 0;
    std::int32_t imageBase = 100;
    std::int32_t textureBase = 200;
    std::int32_t extGeomBase = 300;
    std::int32_t dataBase = 400;

    std::vector<std::string> errors;
    std::vector<std::unique_ptr<DrawableMesh>> meshes;
    std::vector<std::unique_ptr<ObjectRecord>> objects;
    std::vector<std::unique_ptr<TextureImageRecord>> images;
    std::vector<std::unique_ptr<TextureRecord>> textures;
    std::vector<std::unique_ptr<ExtGeomRecord>> extGeoms;
    std::vector<std::unique_ptr<DataRecord>> dataBlocks;
    std::unique_ptr<LightingRecord> lighting;

  private:
    template <typename Record>
    static std::int32_t keep(std::vector<std::unique_ptr<Record>>& kept,
                             std::unique_ptr<Record> record, std::int32_t base) {
        kept.push_back(std::move(record));
        return base + static_cast<std::int32_t>(kept.size()) - 1;
    }
};

}  // namespace tessaro::testing
