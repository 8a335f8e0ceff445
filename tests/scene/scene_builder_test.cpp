#include "scene/scene_builder.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tessaro {
namespace {

// Records which objects reach the consumer, by their pathId, in order.
struct RecordingConsumer : ValidatingConsumer {
    std::int32_t addObject(std::unique_ptr<ObjectRecord> object) override {
        added.push_back(object->pathId);
        childHandles.push_back(object->childHandles);
        return static_cast<std::int32_t>(100 + added.size());
    }
    std::vector<std::int32_t> added;
    std::vector<std::vector<std::int32_t>> childHandles;
};

std::unique_ptr<ObjectRecord> object(std::int32_t tag) {
    auto node = std::make_unique<ObjectRecord>();
    node->pathId = tag;
    return node;
}

struct BuilderTest : ::testing::Test {
    BuilderTest() {
        builder.setMeshHandOver([this](MeshEntry& entry) {
            ++handOvers;
            entry.pendingMesh.reset();
            entry.pendingScope.reset();
            entry.handle = 500 + handOvers;
            return true;
        });
    }
    ~BuilderTest() override { world->release(); }

    RecordingConsumer consumer;
    SceneBuilder builder{consumer};
    DefinitionScope* world = DefinitionScope::createWorld();
    int handOvers = 0;
};

TEST_F(BuilderTest, AnObjectWithoutReferencesIsHandedOverAtOnce) {
    DefinitionEntry* entry = builder.registerObject(object(1), world, 10);
    EXPECT_TRUE(entry->resolved());
    EXPECT_EQ(entry->handle, 101);
    EXPECT_EQ(consumer.added, std::vector<std::int32_t>{1});
    EXPECT_EQ(world->findObject(10), entry);
}

TEST_F(BuilderTest, AForwardReferenceWaitsAndCompletesWhenItsTargetIsDefined) {
    auto a = object(1);
    a->children.push_back(builder.referenceObject(20, world));
    DefinitionEntry* first = builder.registerObject(std::move(a), world, 10);
    EXPECT_FALSE(first->resolved());
    EXPECT_EQ(builder.pendingCount(), 1u);

    builder.registerObject(object(2), world, 20);
    EXPECT_TRUE(first->resolved());
    EXPECT_EQ(builder.pendingCount(), 0u);
    EXPECT_EQ(consumer.added, (std::vector<std::int32_t>{2, 1}));
    EXPECT_EQ(consumer.childHandles[1], std::vector<std::int32_t>{101});
}

TEST_F(BuilderTest, PendingObjectsAreRetriedOldestFirst) {
    for (std::int32_t tag : {1, 2, 3}) {
        auto node = object(tag);
        node->children.push_back(builder.referenceObject(99, world));
        builder.registerObject(std::move(node), world, static_cast<std::uint32_t>(tag));
    }
    EXPECT_TRUE(consumer.added.empty());
    builder.registerObject(object(99), world, 99);
    EXPECT_EQ(consumer.added, (std::vector<std::int32_t>{99, 1, 2, 3}));
}

TEST_F(BuilderTest, AReferenceCycleNeverCompletes) {
    auto a = object(1);
    a->children.push_back(builder.referenceObject(2, world));
    auto b = object(2);
    b->children.push_back(builder.referenceObject(1, world));
    DefinitionEntry* ea = builder.registerObject(std::move(a), world, 1);
    DefinitionEntry* eb = builder.registerObject(std::move(b), world, 2);
    builder.retryPending();
    EXPECT_FALSE(ea->resolved());
    EXPECT_FALSE(eb->resolved());
    EXPECT_TRUE(consumer.added.empty());
}

TEST_F(BuilderTest, AnInstanceIsCompletedAndHandedOverWithItsParent) {
    auto child = object(7);
    child->children.push_back(builder.referenceObject(30, world));
    auto parent = object(8);
    parent->children.push_back(builder.objectInstance(std::move(child), world));
    DefinitionEntry* entry = builder.registerObject(std::move(parent), world, 8);
    EXPECT_FALSE(entry->resolved());
    builder.registerObject(object(30), world, 30);
    builder.retryPending();
    EXPECT_EQ(consumer.added, (std::vector<std::int32_t>{30, 7, 8}));
}

TEST_F(BuilderTest, MeshReferencesBindThroughTheScopeChainAndHandOverOnce) {
    DefinitionScope* objectScope = DefinitionScope::createChild(world);
    MeshEntry* defined = builder.newMeshEntry();
    defined->pendingMesh = std::make_unique<DrawableMesh>();
    builder.defineMesh(defined, world, 4);

    auto a = object(1);
    a->mesh = builder.referenceMesh(4, objectScope);
    auto b = object(2);
    b->mesh = builder.referenceMesh(4, objectScope);
    builder.registerObject(std::move(a), objectScope, 1);
    builder.registerObject(std::move(b), objectScope, 2);
    EXPECT_EQ(consumer.added, (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(handOvers, 1);
    objectScope->release();
}

TEST_F(BuilderTest, AMissingMeshKeepsTheObjectPending) {
    auto a = object(1);
    a->mesh = builder.referenceMesh(4, world);
    DefinitionEntry* entry = builder.registerObject(std::move(a), world, 1);
    EXPECT_FALSE(entry->resolved());
    MeshEntry* late = builder.newMeshEntry();
    late->pendingMesh = std::make_unique<DrawableMesh>();
    builder.defineMesh(late, world, 4);
    // The newest registered object is not retried by this definition, only by a later one.
    EXPECT_FALSE(entry->resolved());
    builder.registerObject(object(2), world, 2);
    EXPECT_TRUE(entry->resolved());
}

TEST_F(BuilderTest, AnObjectWaitingForAPendingOneCompletesRightAfterIt) {
    auto a = object(1);
    a->children.push_back(builder.referenceObject(2, world));
    auto b = object(2);
    b->children.push_back(builder.referenceObject(3, world));
    DefinitionEntry* ea = builder.registerObject(std::move(a), world, 1);
    DefinitionEntry* eb = builder.registerObject(std::move(b), world, 2);
    builder.registerObject(object(4), world, 4);  // an unrelated definition changes nothing
    EXPECT_TRUE(consumer.added == std::vector<std::int32_t>{4});
    builder.registerObject(object(3), world, 3);
    EXPECT_TRUE(ea->resolved() && eb->resolved());
    EXPECT_EQ(consumer.added, (std::vector<std::int32_t>{4, 3, 2, 1}));
}

// A mesh that lacks material 7 is tried again only once material 7 is defined, however
// many other definitions come first.
TEST_F(BuilderTest, AnUnresolvedMeshWaitsForTheReferenceItLacks) {
    bool materialDefined = false;
    builder.setMeshHandOver([&](MeshEntry& entry) {
        ++handOvers;
        if (!materialDefined) {
            entry.missing = {ReferenceKind::material, 7};
            return false;
        }
        entry.pendingMesh.reset();
        entry.handle = 600;
        return true;
    });
    auto a = object(1);
    a->mesh = builder.newMeshEntry();
    a->mesh->pendingMesh = std::make_unique<DrawableMesh>();
    DefinitionEntry* entry = builder.registerObject(std::move(a), world, 1);
    for (std::uint32_t id = 2; id < 100; ++id) {
        builder.registerObject(object(static_cast<std::int32_t>(id)), world, id);
        builder.noteDefinition(ReferenceKind::material, id + 100);
        builder.noteDefinition(ReferenceKind::position, 7);
        builder.retryPending();
    }
    EXPECT_EQ(handOvers, 2);  // at its registration, and when the next object came
    materialDefined = true;
    builder.noteDefinition(ReferenceKind::material, 7);
    builder.retryPending();
    EXPECT_EQ(handOvers, 3);
    EXPECT_TRUE(entry->resolved());
}

TEST_F(BuilderTest, TheWorldBindsItsReferencesWhenItEnds) {
    WorldRecord w;
    w.children.push_back(builder.referenceObject(5, world));
    w.children.push_back(builder.referenceObject(6, world));
    builder.registerObject(object(5), world, 5);
    EXPECT_FALSE(builder.completeWorld(w));  // 6 is still unknown
    EXPECT_TRUE(w.children[0]->resolved());
    EXPECT_FALSE(w.children[1]->resolved());
    builder.registerObject(object(6), world, 6);
    EXPECT_TRUE(builder.completeWorld(w));
    EXPECT_EQ(w.childHandles, (std::vector<std::int32_t>{101, 102}));
}

TEST_F(BuilderTest, APendingEntryHoldsItsScope) {
    DefinitionScope* meshScope = DefinitionScope::createChild(world);
    auto a = object(1);
    a->children.push_back(builder.referenceObject(77, meshScope));
    builder.registerObject(std::move(a), meshScope, 1);
    EXPECT_EQ(meshScope->refCount(), 3);  // the element, the reference, the pending entry
    meshScope->release();
    EXPECT_EQ(world->refCount(), 2);
}

}  // namespace
}  // namespace tessaro
