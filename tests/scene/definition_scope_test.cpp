#include "scene/definition_scope.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "scene/id_hash_table.h"

namespace tessaro {
namespace {

struct SlotCase {
    std::uint32_t entries;
    std::uint32_t slots;
};

class IdHashTableGrowth : public ::testing::TestWithParam<SlotCase> {};

// Rebuilt when 2 * (used + deleted) exceeds the slots, to 8 doubled up to 2 * used.
TEST_P(IdHashTableGrowth, RebuildsAtTheFixedLoad) {
    IdHashTable<int, false> table;
    std::vector<int> values(GetParam().entries);
    for (std::uint32_t i = 0; i < GetParam().entries; ++i) {
        ASSERT_TRUE(table.insert(i * 8, &values[i]));
    }
    EXPECT_EQ(table.slotCount(), GetParam().slots);
    for (std::uint32_t i = 0; i < GetParam().entries; ++i)
        EXPECT_EQ(table.find(i * 8), &values[i]);
    EXPECT_EQ(table.find(1), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, IdHashTableGrowth,
                         ::testing::Values(SlotCase{0, 8}, SlotCase{1, 8}, SlotCase{5, 8},
                                           SlotCase{6, 16}, SlotCase{9, 16}, SlotCase{10, 32},
                                           SlotCase{17, 32}, SlotCase{18, 64},
                                           SlotCase{1000, 2048}));

TEST(IdHashTable, ReplacesRemovesAndReusesDeletedSlots) {
    IdHashTable<int, false> table;
    int a = 1, b = 2, c = 3;
    table.insert(7, &a);
    table.insert(7, &b);
    EXPECT_EQ(table.count(), 1u);
    EXPECT_EQ(table.find(7), &b);
    EXPECT_TRUE(table.remove(7));
    EXPECT_FALSE(table.remove(7));
    EXPECT_EQ(table.find(7), nullptr);
    // Churn through one small table: deleted slots must not fill it up for ever.
    for (std::uint32_t i = 0; i < 10000; ++i) {
        ASSERT_TRUE(table.insert(i, &c));
        ASSERT_TRUE(table.remove(i));
    }
    EXPECT_EQ(table.count(), 0u);
    EXPECT_LE(table.slotCount(), 16u);
    table.insert(0xFFFFFFFFu, &a);
    EXPECT_EQ(table.find(0xFFFFFFFFu), &a);
}

struct ScopeChain {
    DefinitionScope* world = DefinitionScope::createWorld();
    DefinitionScope* object = DefinitionScope::createChild(world);
    DefinitionScope* mesh = DefinitionScope::createChild(object);
    ~ScopeChain() {
        mesh->release();
        object->release();
        world->release();
    }
};

TEST(DefinitionScope, InnerDefinitionsHideOuterOnes) {
    ScopeChain chain;
    chain.world->definePosition(5, 1, 1, 1);
    chain.mesh->definePosition(5, 2, 2, 2);
    chain.world->defineNormal(9, 0, 0, 1);
    MaterialRecord red;
    red.diffuse[0] = 1;
    chain.object->defineMaterial(3, red);

    EXPECT_EQ(chain.mesh->findPosition(5)->x, 2);
    EXPECT_EQ(chain.object->findPosition(5)->x, 1);
    EXPECT_EQ(chain.world->findPosition(5)->x, 1);
    EXPECT_EQ(chain.mesh->findNormal(9)->z, 1.0f);
    EXPECT_EQ(chain.mesh->findMaterial(3)->diffuse[0], 1.0f);
    EXPECT_EQ(chain.world->findMaterial(3), nullptr);
    EXPECT_EQ(chain.mesh->findTexCoord(5), nullptr);
}

TEST(DefinitionScope, ARedefinitionReplacesTheRecordInPlace) {
    DefinitionScope* world = DefinitionScope::createWorld();
    world->definePosition(1, 1, 0, 0);
    world->definePosition(2, 2, 0, 0);
    world->definePosition(1, 3, 0, 0);
    EXPECT_EQ(world->findPosition(1)->x, 3);
    EXPECT_EQ(world->findPosition(1)->id, 1u);
    EXPECT_EQ(world->findPosition(2)->x, 2);
    world->release();
}

TEST(DefinitionScope, GeometryBeyondTheSpillLimitIsFoundAgain) {
    DefinitionScope* world = DefinitionScope::createWorld();
    const std::uint32_t n = DefinitionScope::kGeometrySpillLimit + 10;
    for (std::uint32_t i = 0; i < n; ++i) {
        ASSERT_TRUE(world->defineTexCoord(i * 3, static_cast<float>(i), 0.5f));
    }
    for (std::uint32_t i : {0u, 1u, 149999u, 150000u, n - 1}) {
        const TexCoordRecord* t = world->findTexCoord(i * 3);
        ASSERT_NE(t, nullptr) << i;
        EXPECT_EQ(t->u, static_cast<float>(i));
        EXPECT_EQ(t->id, i * 3);
    }
    world->release();
}

TEST(DefinitionScope, CountedReferencesKeepAScopeAliveAfterItsElementEnds) {
    DefinitionScope* world = DefinitionScope::createWorld();
    DefinitionScope* object = DefinitionScope::createChild(world);
    EXPECT_EQ(world->refCount(), 2);
    ScopeRef pending = ScopeRef::share(object);
    EXPECT_EQ(object->releaseAndGetParent(), world);  // the element ends
    object->definePosition(1, 4, 5, 6);               // still alive through `pending`
    EXPECT_EQ(object->findPosition(1)->y, 5);
    world->release();
    EXPECT_EQ(pending->parent()->refCount(), 1);  // the child's reference keeps the world
    pending.reset();                              // the whole chain goes here
}

TEST(DefinitionScope, ReleasingAVeryDeepChainDoesNotRecurse) {
    DefinitionScope* scope = DefinitionScope::createWorld();
    for (int i = 0; i < 200000; ++i) {
        DefinitionScope* child = DefinitionScope::createChild(scope);
        scope->release();  // only the child holds its parent now
        scope = child;
    }
    scope->release();
}

}  // namespace
}  // namespace tessaro
