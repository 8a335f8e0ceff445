#include "scene/scene_builder.h"

#include <algorithm>

namespace tessaro {

SceneBuilder::SceneBuilder(SceneConsumer* consumer) : m_consumer(consumer) {}

// Pending entries hold nodes whose children point at other entries; the nodes go
// first, then the entries, so no destructor follows a pointer into freed memory.
SceneBuilder::~SceneBuilder() {
    for (auto& entry : m_entries)
        entry->pendingDefinition.reset();
}

DefinitionEntry* SceneBuilder::newEntry() {
    m_entries.push_back(std::make_unique<DefinitionEntry>());
    return m_entries.back().get();
}

MeshEntry* SceneBuilder::newMeshEntry() {
    m_meshEntries.push_back(std::make_unique<MeshEntry>());
    return m_meshEntries.back().get();
}

DefinitionEntry* SceneBuilder::referenceObject(std::uint32_t id, DefinitionScope* scope) {
    DefinitionEntry* entry = newEntry();
    entry->referencedId = static_cast<std::int32_t>(id);
    entry->pendingScope = ScopeRef::share(scope);
    return entry;
}

DefinitionEntry* SceneBuilder::objectInstance(std::unique_ptr<ObjectRecord> node,
                                              DefinitionScope* scope) {
    DefinitionEntry* entry = newEntry();
    entry->pendingDefinition = std::move(node);
    entry->pendingScope = ScopeRef::share(scope);
    return entry;
}

DefinitionEntry* SceneBuilder::registerObject(std::unique_ptr<ObjectRecord> node,
                                              DefinitionScope* scope, std::uint32_t id) {
    DefinitionEntry* entry = objectInstance(std::move(node), scope);
    entry->id = id;
    if (scope != nullptr) scope->defineObject(id, entry);
    m_newestRegistered = entry;
    if (!tryRegister(*entry)) m_pending.push_back(entry);
    retryPending();
    return entry;
}

MeshEntry* SceneBuilder::referenceMesh(std::uint32_t id, DefinitionScope* scope) {
    MeshEntry* entry = newMeshEntry();
    entry->referencedId = static_cast<std::int32_t>(id);
    entry->pendingScope = ScopeRef::share(scope);
    return entry;
}

bool SceneBuilder::defineMesh(MeshEntry* entry, DefinitionScope* scope, std::uint32_t id) {
    entry->id = id;
    const bool filed = scope != nullptr && scope->defineMesh(id, entry);
    retryPending();
    return filed;
}

// The newest registered object was tried when it was registered.
void SceneBuilder::retryPending() {
    std::vector<DefinitionEntry*> waiting;
    for (DefinitionEntry* entry : m_pending) {
        if (entry->resolved()) continue;  // completed on the way, as another's child
        if (entry == m_newestRegistered || !tryRegister(*entry)) waiting.push_back(entry);
    }
    m_pending = std::move(waiting);
}

std::uint32_t SceneBuilder::pendingCount() const {
    return static_cast<std::uint32_t>(
        std::count_if(m_pending.begin(), m_pending.end(),
                      [](const DefinitionEntry* e) { return !e->resolved(); }));
}

// Hands an entry's node to the consumer when the node completes.
bool SceneBuilder::tryRegister(DefinitionEntry& entry) {
    if (entry.resolved()) return true;
    if (!entry.pendingDefinition || !completeObject(*entry.pendingDefinition)) return false;
    handOver(entry);
    return true;
}

void SceneBuilder::handOver(DefinitionEntry& entry) {
    entry.handle = m_consumer != nullptr ? m_consumer->addObject(std::move(entry.pendingDefinition))
                                         : kNotKept;
    entry.pendingDefinition.reset();
    entry.pendingScope.reset();
}

// Objects nested in the node that still wait are completed depth first, children
// before their parent, with a stack of their own instead of recursion: a document
// may nest objects deeper than the call stack could follow.
bool SceneBuilder::completeObject(ObjectRecord& root) {
    if (root.completing) return false;
    struct Step {
        ObjectRecord* node;
        DefinitionEntry* entry;  // null for the root, which the caller hands over
        std::size_t next;        // the next child to look at
    };
    std::vector<Step> steps{{&root, nullptr, 0}};
    root.completing = true;
    const auto giveUp = [&steps] {
        for (Step& step : steps) step.node->completing = false;
        return false;
    };
    while (!steps.empty()) {
        Step& step = steps.back();
        ObjectRecord& node = *step.node;
        DefinitionEntry* waiting = nullptr;
        for (; step.next < node.children.size(); ++step.next) {
            DefinitionEntry*& child = node.children[step.next];
            if (child->resolved()) continue;
            if (!bindChild(child)) return giveUp();
            if (child->resolved()) continue;
            // A child that is completing already closes a reference cycle.
            if (!child->pendingDefinition || child->pendingDefinition->completing) return giveUp();
            waiting = child;  // looked at again once it is handed over
            break;
        }
        if (waiting != nullptr) {
            waiting->pendingDefinition->completing = true;
            steps.push_back({waiting->pendingDefinition.get(), waiting, 0});
            continue;
        }
        node.completing = false;
        if (!bindMesh(node.mesh)) return giveUp();
        collectHandles(node.children, node.childHandles);
        node.meshHandle = node.mesh != nullptr ? node.mesh->handle : kNone;
        DefinitionEntry* entry = step.entry;
        steps.pop_back();
        if (entry != nullptr) handOver(*entry);
    }
    return true;
}

// Unlike an object, the world tries every reference, so that one without a target
// does not keep those behind it from being bound (the check names the right one).
bool SceneBuilder::completeWorld(WorldRecord& world) {
    bool complete = true;
    for (DefinitionEntry*& child : world.children) {
        if (!child->resolved() && (!bindChild(child) || !tryRegister(*child))) complete = false;
    }
    if (!bindMesh(world.mesh) || !complete) return false;
    collectHandles(world.children, world.childHandles);
    world.meshHandle = world.mesh != nullptr ? world.mesh->handle : kNone;
    return true;
}

// A reference takes the entry of the definition it names, seen from its own scope.
bool SceneBuilder::bindChild(DefinitionEntry*& child) {
    if (child->referencedId == kNone) return true;
    DefinitionScope* scope = child->pendingScope.get();
    DefinitionEntry* definition =
        scope != nullptr ? scope->findObject(static_cast<std::uint32_t>(child->referencedId))
                         : nullptr;
    if (definition == nullptr) return false;
    child->pendingScope.reset();
    child = definition;
    return true;
}

bool SceneBuilder::bindMesh(MeshEntry*& mesh) {
    if (mesh == nullptr || mesh->resolved()) return true;
    if (mesh->referencedId != kNone) {
        DefinitionScope* scope = mesh->pendingScope.get();
        MeshEntry* definition =
            scope != nullptr ? scope->findMesh(static_cast<std::uint32_t>(mesh->referencedId))
                             : nullptr;
        if (definition == nullptr) return false;
        mesh->pendingScope.reset();
        mesh = definition;
        if (mesh->resolved()) return true;
    }
    return mesh->pendingMesh && m_meshHandOver && m_meshHandOver(*mesh) && mesh->resolved();
}

void SceneBuilder::collectHandles(const std::vector<DefinitionEntry*>& children,
                                  std::vector<std::int32_t>& handles) {
    handles.clear();
    for (const DefinitionEntry* child : children)
        handles.push_back(child->handle);
}

}  // namespace tessaro
