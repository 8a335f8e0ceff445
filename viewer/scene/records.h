// Fixed-layout records of the scene model. They are copied with memory copies,
// also to and from temporary files, so their sizes are part of the contract.
#pragma once

#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "scene/pool_vector.h"

namespace tessaro {

inline constexpr std::int32_t kNone = -1;            // an absent index or reference
inline constexpr std::uint32_t kNoId = 0xFFFFFFFFu;  // a record that carries its own values

// A record whose id is kNoId carries its own values; any other id stands for a
// reference that the hand-over replaces with the definition of that ID.
struct PositionRecord {
    double x, y, z;
    std::uint32_t id;
    std::uint32_t reserved;  // keeps the record 32 bytes in the temporary files
};
static_assert(sizeof(PositionRecord) == 32);

struct NormalRecord {
    std::uint32_t id;
    float x, y, z;
};
static_assert(sizeof(NormalRecord) == 16);

struct TexCoordRecord {
    std::uint32_t id;
    float u, v;
};
static_assert(sizeof(TexCoordRecord) == 12);

// Indices into the mesh's position, normal and texture-coordinate tables; kNone = none.
struct Vertex {
    std::int32_t position;
    std::int32_t normal;
    std::int32_t texCoord;
};
static_assert(sizeof(Vertex) == 12);

// Smoothing group g sets bit (g - 1) mod 32: groups 1..31 use bits 0..30, group 0 bit 31.
inline constexpr std::uint32_t smoothingGroupBit(std::uint32_t group) {
    return 1u << ((group + 31u) % 32u);
}

struct FaceRecord {
    Vertex vertex[3];
    std::int32_t texture;   // index into the mesh's texture-reference list
    std::int32_t material;  // index into the mesh's material list
    std::int32_t patch;     // index into the mesh's patch list
    std::uint32_t smoothingGroups;
};
static_assert(sizeof(FaceRecord) == 52);

struct LineRecord {
    Vertex vertex[2];
    std::int32_t texture;
    std::int32_t material;
    std::int32_t patch;
    std::int32_t lineStyle;
};
static_assert(sizeof(LineRecord) == 40);

struct PointRecord {
    Vertex vertex[1];
    std::int32_t texture;
    std::int32_t material;
    std::int32_t patch;
    std::int32_t pointStyle;
};
static_assert(sizeof(PointRecord) == 28);

struct MaterialRecord {
    std::int32_t id = kNone;  // kNone for a material given inline
    float ambient[3] = {0, 0, 0};
    float diffuse[3] = {0, 0, 0};
    float specular[3] = {0, 0, 0};
    float shininess = 0;
    float alpha = 1.0f;
    float emissive[3] = {0, 0, 0};
};
static_assert(sizeof(MaterialRecord) == 60);
static_assert(std::is_trivially_copyable_v<MaterialRecord>);

struct LineStyleRecord {
    std::int32_t id = kNone;
    float width = 1.0f;
    std::uint32_t pattern = 0xFFFF;   // 16-bit stipple pattern
    std::uint32_t patternFactor = 1;  // 1 to 256
};
static_assert(sizeof(LineStyleRecord) == 16);

struct PointStyleRecord {
    std::int32_t id = kNone;
    float size = 1.0f;
};
static_assert(sizeof(PointStyleRecord) == 8);

struct PatchRecord {
    std::uint32_t patchId = 0;
    std::uint32_t count = 0;
    PoolVector<std::int32_t> values;  // handles of the "data" elements inside the patch
};

// A count and an owned block of exactly that many records.
template <typename T>
struct RecordBlock {
    static_assert(std::is_trivially_copyable_v<T>);
    std::uint32_t count = 0;
    std::unique_ptr<T[]> data;

    // Allocates n records (contents unspecified); false when memory is short.
    bool allocate(std::uint32_t n) {
        data.reset(n == 0 ? nullptr : new (std::nothrow) T[n]);
        count = (n == 0 || data) ? n : 0;
        return n == 0 || data != nullptr;
    }
    T* begin() { return data.get(); }
    T* end() { return data.get() + count; }
    const T* begin() const { return data.get(); }
    const T* end() const { return data.get() + count; }
    T& operator[](std::uint32_t i) { return data[i]; }
    const T& operator[](std::uint32_t i) const { return data[i]; }
};

struct TextureUse;  // a texture that faces, lines and points refer to; shared, not owned

// The self-contained mesh that the consumer receives. Indices in faces, lines and
// points refer to the tables of the same mesh.
struct DrawableMesh {
    std::uint32_t surface = 0;  // 1: both sides are lit
    RecordBlock<FaceRecord> faces;
    RecordBlock<LineRecord> lines;
    RecordBlock<PointRecord> points;
    RecordBlock<MaterialRecord> materials;
    RecordBlock<LineStyleRecord> lineStyles;
    RecordBlock<PointStyleRecord> pointStyles;
    PoolVector<TextureUse*> textureRefs;
    RecordBlock<PositionRecord> positions;
    RecordBlock<NormalRecord> normals;
    RecordBlock<TexCoordRecord> texCoords;
    std::vector<PatchRecord> patches;
    std::uint32_t meshValue = 0;        // first chunk only
    PoolVector<std::int32_t> meshList;  // first chunk only
};

}  // namespace tessaro
