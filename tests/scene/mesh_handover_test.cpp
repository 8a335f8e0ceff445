#include "scene/mesh_handover.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tessaro {
namespace {

struct MeshRecorder : ValidatingConsumer {
    std::int32_t addMesh(std::unique_ptr<DrawableMesh> mesh) override {
        meshes.push_back(std::move(mesh));
        return static_cast<std::int32_t>(meshes.size() - 1);
    }
    std::int32_t addMeshGroup(std::uint32_t count, const std::int32_t* handles) override {
        groups.emplace_back(handles, handles + count);
        return 1000;
    }
    std::vector<std::unique_ptr<DrawableMesh>> meshes;
    std::vector<std::vector<std::int32_t>> groups;
};

// A mesh of `faces` faces over `positions` inline positions; face i uses positions
// i, i+1, i+2 (modulo the count) and material run `materialId`.
void fillMesh(MeshBuild& mesh, std::uint32_t faces, std::uint32_t positions,
              std::uint32_t materialId = 7) {
    ASSERT_TRUE(mesh.start(kNone));
    for (std::uint32_t i = 0; i < positions; ++i)
        mesh.addPosition(i, 0, 0);
    const std::int32_t material = mesh.materialRun(materialId);
    for (std::uint32_t i = 0; i < faces; ++i) {
        FaceRecord* f = mesh.openFace();
        ASSERT_NE(f, nullptr);
        for (int v = 0; v < 3; ++v) {
            f->vertex[v].position = static_cast<std::int32_t>((i + v) % positions);
        }
        f->material = material;
        ASSERT_TRUE(mesh.commitFace());
    }
}

struct HandOverTest : ::testing::Test {
    HandOverTest() { scope->defineMaterial(7, red()); }
    ~HandOverTest() override { scope->release(); }
    static MaterialRecord red() {
        MaterialRecord m;
        m.id = 7;
        m.diffuse[0] = 1;
        return m;
    }

    MeshRecorder consumer;
    SceneBuilder builder{consumer};
    MeshHandOver handOver{consumer, nullptr, nullptr};
    DefinitionScope* scope = DefinitionScope::createWorld();
    MeshBuild mesh;
};

TEST_F(HandOverTest, AWholeMeshGetsCopiesOfItsTablesAndResolvedMaterials) {
    fillMesh(mesh, 5, 6);
    MeshEntry* entry = handOver.handOver(mesh, scope, builder);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->handle, 0);
    ASSERT_EQ(consumer.meshes.size(), 1u);
    const DrawableMesh& d = *consumer.meshes[0];
    EXPECT_EQ(d.faces.count, 5u);
    EXPECT_EQ(d.positions.count, 6u);
    ASSERT_EQ(d.materials.count, 1u);
    EXPECT_EQ(d.materials[0].id, kNone);
    EXPECT_EQ(d.materials[0].diffuse[0], 1.0f);
    EXPECT_EQ(d.faces[4].vertex[2].position, 0);
}

TEST_F(HandOverTest, AnUnresolvedWholeMeshWaitsInItsEntryUntilTheDefinitionArrives) {
    ASSERT_TRUE(mesh.start(kNone));
    const std::int32_t ref = mesh.addPositionReference(42);
    FaceRecord* f = mesh.openFace();
    f->vertex[0].position = f->vertex[1].position = f->vertex[2].position = ref;
    f->material = mesh.materialRun(7);
    mesh.commitFace();
    MeshEntry* entry = handOver.handOver(mesh, scope, builder);
    EXPECT_EQ(entry->handle, kNone);
    EXPECT_TRUE(entry->pendingMesh);
    EXPECT_TRUE(consumer.meshes.empty());

    scope->definePosition(42, 1, 2, 3);
    EXPECT_TRUE(handOver.handOverPending(*entry));
    EXPECT_TRUE(entry->resolved());
    ASSERT_EQ(consumer.meshes.size(), 1u);
    EXPECT_EQ(consumer.meshes[0]->positions[0].y, 2);
    EXPECT_EQ(consumer.meshes[0]->positions[0].id, kNoId);
}

TEST_F(HandOverTest, TheTextureInvariantHoldsWhenAFaceIsCommitted) {
    ASSERT_TRUE(mesh.start(kNone));
    const std::int32_t tc = mesh.addTexCoord(0.5f, 0.5f);
    FaceRecord* f = mesh.openFace();
    f->texture = 0;
    f->vertex[0].texCoord = tc;
    f->vertex[2].texCoord = tc;  // the second vertex has none
    mesh.commitFace();
    FaceRecord* g = mesh.openFace();
    EXPECT_EQ(g->texture, kNone);  // the next open record starts blank
    auto d = MeshHandOver::buildWhole(mesh);
    ASSERT_EQ(d->faces.count, 1u);
    EXPECT_EQ(d->faces[0].texture, kNone);
    for (const Vertex& v : d->faces[0].vertex)
        EXPECT_EQ(v.texCoord, kNone);
}

struct ChunkCase {
    std::uint32_t positions;
    bool compacted;
};

class SpilledMesh : public HandOverTest, public ::testing::WithParamInterface<ChunkCase> {};

TEST_P(SpilledMesh, IsCutIntoChunksWithTheirOwnTables) {
    fillMesh(mesh, 250000, GetParam().positions);
    ASSERT_TRUE(mesh.spilled());
    MeshEntry* entry = handOver.handOver(mesh, scope, builder);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->handle, 1000);
    ASSERT_EQ(consumer.meshes.size(), 3u);
    EXPECT_EQ(consumer.groups, (std::vector<std::vector<std::int32_t>>{{0, 1, 2}}));
    const std::uint32_t sizes[] = {83333, 83333, 83334};
    for (std::uint32_t c = 0; c < 3; ++c) {
        const DrawableMesh& d = *consumer.meshes[c];
        ASSERT_EQ(d.faces.count, sizes[c]);
        EXPECT_EQ(d.materials[0].diffuse[0], 1.0f);
        const std::uint32_t firstFace = c * 83333;
        if (!GetParam().compacted) {
            EXPECT_EQ(d.positions.count, GetParam().positions);
            EXPECT_EQ(d.faces[0].vertex[0].position,
                      static_cast<std::int32_t>(firstFace % GetParam().positions));
            continue;
        }
        // In order of first use: the first face's three positions become 0, 1, 2.
        EXPECT_EQ(d.positions.count, GetParam().positions);
        EXPECT_EQ(d.faces[0].vertex[0].position, 0);
        EXPECT_EQ(d.faces[0].vertex[1].position, 1);
        EXPECT_EQ(d.positions[0].x, static_cast<double>(firstFace % GetParam().positions));
        for (const FaceRecord& face : d.faces) {
            for (const Vertex& v : face.vertex) {
                ASSERT_LT(static_cast<std::uint32_t>(v.position), d.positions.count);
            }
        }
    }
}

// A chunk of 83333 faces compacts a table of more than 41666 records.
INSTANTIATE_TEST_SUITE_P(Table, SpilledMesh,
                         ::testing::Values(ChunkCase{50000, true}, ChunkCase{41666, false},
                                           ChunkCase{10, false}));

TEST_F(HandOverTest, AChunkThatCannotResolveIsDroppedAndTheRestFormTheGroup) {
    // The material run names an ID that no scope defines: every chunk fails.
    fillMesh(mesh, 200000, 10, 99);
    MeshEntry* entry = handOver.handOver(mesh, scope, builder);
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(consumer.meshes.empty());
    EXPECT_EQ(consumer.groups, (std::vector<std::vector<std::int32_t>>{{}}));
    EXPECT_FALSE(entry->pendingMesh);
}

TEST_F(HandOverTest, MissingNormalsAreGeneratedBeforeTheHandOver) {
    int generated = 0;
    MeshHandOver withNormals(
        consumer, [&](DrawableMesh&) { return ++generated > 0; }, nullptr);
    fillMesh(mesh, 3, 4);
    mesh.needsNormals = true;
    withNormals.handOver(mesh, scope, builder);
    EXPECT_EQ(generated, 1);
    fillMesh(mesh, 3, 4);
    withNormals.handOver(mesh, scope, builder);
    EXPECT_EQ(generated, 1);
}

}  // namespace
}  // namespace tessaro
