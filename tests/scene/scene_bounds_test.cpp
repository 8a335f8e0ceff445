#include "scene/scene_bounds.h"

#include <gtest/gtest.h>

#include "scene/scene_consumer.h"

namespace tessaro {
namespace {

DrawableMesh meshOver(std::initializer_list<PositionRecord> positions) {
    DrawableMesh mesh;
    mesh.positions.allocate(static_cast<std::uint32_t>(positions.size()));
    std::uint32_t i = 0;
    for (const PositionRecord& p : positions)
        mesh.positions[i++] = p;
    mesh.points.allocate(static_cast<std::uint32_t>(positions.size()));
    for (std::uint32_t k = 0; k < mesh.points.count; ++k) {
        mesh.points[k] =
            PointRecord{{{static_cast<std::int32_t>(k), kNone, kNone}}, kNone, 0, kNone, 0};
    }
    return mesh;
}

TEST(SceneBounds, AMeshBoxHoldsTheUsedPositionsOnly) {
    SceneBounds bounds;
    DrawableMesh mesh = meshOver({{1, 2, 3, kNoId, 0}, {-1, 5, 0, kNoId, 0}, {9, 9, 9, kNoId, 0}});
    mesh.points.count = 2;  // the third position is in the table but unused
    const std::int32_t handle = bounds.addMesh(mesh);
    ASSERT_EQ(handle, 0);
    const Box* box = bounds.boxOf(handle);
    EXPECT_EQ(box->min[0], -1);
    EXPECT_EQ(box->max[0], 1);
    EXPECT_EQ(box->max[1], 5);
    EXPECT_EQ(box->max[2], 3);
    EXPECT_EQ(bounds.addMesh(DrawableMesh{}), kDropped);
}

struct TransformCase {
    const char* name;
    Transform transform;
    Box expected;
};

class ObjectBox : public ::testing::TestWithParam<TransformCase> {};

// The unit cube mapped by corner' = s (x X + y U + z F) + P, X = U x F.
TEST_P(ObjectBox, IsTheLocalBoxMappedThroughTheTransform) {
    SceneBounds bounds;
    const std::int32_t mesh = bounds.addMesh(meshOver({{0, 0, 0, kNoId, 0}, {1, 1, 1, kNoId, 0}}));
    ObjectRecord object;
    object.transform = GetParam().transform;
    object.meshHandle = mesh;
    const std::int32_t handle = bounds.addObject(object);
    ASSERT_GE(handle, 0);
    const Box* box = bounds.boxOf(handle);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(box->min[i], GetParam().expected.min[i], 1e-12) << i;
        EXPECT_NEAR(box->max[i], GetParam().expected.max[i], 1e-12) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ObjectBox,
    ::testing::Values(TransformCase{"Identity", Transform{}, Box{{0, 0, 0}, {1, 1, 1}}},
                      TransformCase{"ScaledAndMoved",
                                    Transform{{0, 0, 1}, {0, 1, 0}, {10, 0, -2}, 2},
                                    Box{{10, 0, -2}, {12, 2, 0}}},
                      // Forward +x, up +y: X = U x F = (0, 0, -1), so local x runs along -z.
                      TransformCase{"TurnedAboutY", Transform{{1, 0, 0}, {0, 1, 0}, {0, 0, 0}, 1},
                                    Box{{0, 0, -1}, {1, 1, 0}}},
                      // U is used as stored, not made orthogonal to F.
                      TransformCase{"SkewedUp", Transform{{0, 0, 1}, {0, 1, 1}, {0, 0, 0}, 1},
                                    Box{{0, 0, 0}, {1, 1, 2}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SceneBounds, TheWorldBoxIsTheUnionOfItsObjectsOrItsMesh) {
    SceneBounds bounds;
    const std::int32_t mesh = bounds.addMesh(meshOver({{0, 0, 0, kNoId, 0}, {1, 1, 1, kNoId, 0}}));
    ObjectRecord a, b;
    a.meshHandle = b.meshHandle = mesh;
    b.transform.position[0] = 5;
    WorldRecord world;
    world.childHandles = {bounds.addObject(a), bounds.addObject(b), kDropped};
    const Box box = bounds.worldBox(world);
    EXPECT_EQ(box.min[0], 0);
    EXPECT_EQ(box.max[0], 6);
    world.meshHandle = mesh;
    EXPECT_EQ(bounds.worldBox(world).max[0], 1);
    ObjectRecord empty;
    EXPECT_EQ(bounds.addObject(empty), kDropped);
}

}  // namespace
}  // namespace tessaro
