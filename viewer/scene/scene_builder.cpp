#include "scene/scene_builder.h"

#include <algorithm>
#include <utility>

namespace tessaro {

SceneBuilder::SceneBuilder(SceneConsumer& consumer) : m_consumer(consumer) {}

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
    entry->registered = true;
    if (scope != nullptr) scope->defineObject(id, entry);
    const Waiting previous = std::exchange(m_newest, Waiting{m_nextAge++, entry});
    if (tryRegister(*entry)) {
        m_newest.entry = nullptr;
    } else {
        m_pending.push_back(entry);
    }
    if (previous.entry != nullptr) m_woken.push(previous);
    noteDefinition(ReferenceKind::object, id);
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
    noteDefinition(ReferenceKind::mesh, id);
    retryPending();
    return filed;
}

void SceneBuilder::noteDefinition(ReferenceKind kind, std::uint32_t id) {
    // The common case, once per position read: nothing waits.
    if (m_waitingOnId.empty() || kind == ReferenceKind::none) return;
    const auto found = m_waitingOnId.find(keyOf({kind, id}));
    if (found == m_waitingOnId.end()) return;
    wake(found->second);
    m_waitingOnId.erase(found);
}

void SceneBuilder::retryPending() {
    wake(m_waitingOnAny);
    retryWoken();
}

std::uint32_t SceneBuilder::pendingCount() const {
    return static_cast<std::uint32_t>(
        std::count_if(m_pending.begin(), m_pending.end(),
                      [](const DefinitionEntry* e) { return !e->resolved(); }));
}

std::uint64_t SceneBuilder::keyOf(MissingReference reference) {
    return (static_cast<std::uint64_t>(reference.kind) << 32) | reference.id;
}

void SceneBuilder::wake(WaitingList& list) {
    for (const Waiting& waiting : list)
        m_woken.push(waiting);
    list.clear();
}

void SceneBuilder::wakeWaitersOf(const DefinitionEntry& entry) {
    const auto found = m_waitingOnEntry.find(&entry);
    if (found == m_waitingOnEntry.end()) return;
    wake(found->second);
    m_waitingOnEntry.erase(found);
}

// Oldest first; an object handed over on the way wakes those waiting on it, which
// join the same round.
void SceneBuilder::retryWoken() {
    if (m_retrying) return;  // the round under way takes them
    m_retrying = true;
    while (!m_woken.empty()) {
        const Waiting waiting = m_woken.top();
        m_woken.pop();
        if (waiting.entry->resolved()) continue;
        if (!tryRegister(*waiting.entry)) file(waiting);
    }
    m_retrying = false;
}

// Files a pending object under what stopped its last try. One in a reference cycle
// can never complete and is not filed.
void SceneBuilder::file(const Waiting& waiting) {
    switch (m_blocker.kind) {
        case Blocker::Kind::definition:
            m_waitingOnId[keyOf(m_blocker.reference)].push_back(waiting);
            break;
        case Blocker::Kind::entry:
            m_waitingOnEntry[m_blocker.entry].push_back(waiting);
            break;
        case Blocker::Kind::retry:
            m_waitingOnAny.push_back(waiting);
            break;
        case Blocker::Kind::never:
            break;
    }
}

// Hands an entry's node to the consumer when the node completes.
bool SceneBuilder::tryRegister(DefinitionEntry& entry) {
    if (entry.resolved()) return true;
    if (!entry.pendingDefinition || !completeObject(*entry.pendingDefinition)) return false;
    handOver(entry);
    return true;
}

void SceneBuilder::handOver(DefinitionEntry& entry) {
    entry.instances = entry.pendingDefinition->instances;
    entry.handle = m_consumer.addObject(std::move(entry.pendingDefinition));
    entry.pendingDefinition.reset();
    entry.pendingScope.reset();
    wakeWaitersOf(entry);
}

// Objects nested in the node that still wait are completed depth first, children
// before their parent, with a stack of their own instead of recursion: a document
// may nest objects deeper than the call stack could follow.
bool SceneBuilder::completeObject(ObjectRecord& root) {
    if (root.completing) {
        m_blocker = {};
        return false;
    }
    struct Step {
        ObjectRecord* node;
        DefinitionEntry* entry;  // null for the root, which the caller hands over
        std::size_t next;        // the next child to look at
    };
    std::vector<Step> steps{{&root, nullptr, 0}};
    root.completing = true;
    // A registered object on the way completes only on its own terms: the root waits
    // for the outermost one. Otherwise it waits for what stopped the walk.
    const auto giveUp = [this, &steps](Blocker cause) {
        m_blocker = cause;
        for (Step& step : steps)
            step.node->completing = false;
        const auto registered = std::find_if(steps.begin(), steps.end(), [](const Step& step) {
            return step.entry != nullptr && step.entry->registered;
        });
        if (registered != steps.end() && cause.kind != Blocker::Kind::never)
            m_blocker = {Blocker::Kind::entry, {}, registered->entry};
        return false;
    };
    while (!steps.empty()) {
        Step& step = steps.back();
        ObjectRecord& node = *step.node;
        DefinitionEntry* waiting = nullptr;
        for (; step.next < node.children.size(); ++step.next) {
            DefinitionEntry*& child = node.children[step.next];
            if (child->resolved()) continue;
            const std::int32_t referencedId = child->referencedId;
            if (!bindChild(child)) return giveUp(waitFor(ReferenceKind::object, referencedId));
            if (child->resolved()) continue;
            if (!child->pendingDefinition) return giveUp({});
            // A child that is completing already closes a reference cycle.
            if (child->pendingDefinition->completing) return giveUp(never());
            waiting = child;  // looked at again once it is handed over
            break;
        }
        if (waiting != nullptr) {
            waiting->pendingDefinition->completing = true;
            steps.push_back({waiting->pendingDefinition.get(), waiting, 0});
            continue;
        }
        node.completing = false;
        if (!bindMesh(node.mesh)) return giveUp(meshBlocker(*node.mesh));
        collectHandles(node.children, node.childHandles);
        node.meshHandle = node.mesh != nullptr ? node.mesh->handle : kNone;
        node.instances = addWork(1, countInstances(node.children, node.mesh));
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
    if (m_instanceBudget != nullptr &&
        !m_instanceBudget->spend(countInstances(world.children, world.mesh))) {
        return false;
    }
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

SceneBuilder::Blocker SceneBuilder::never() {
    return {Blocker::Kind::never, {}, nullptr};
}

SceneBuilder::Blocker SceneBuilder::waitFor(ReferenceKind kind, std::int32_t id) {
    return {Blocker::Kind::definition, {kind, static_cast<std::uint32_t>(id)}, nullptr};
}

// A mesh reference still unbound waits for its ID; a bound mesh that could not be
// resolved, for the first reference it lacks. A mesh that lacks nothing a definition
// supplies (no scope, short of memory) never completes.
SceneBuilder::Blocker SceneBuilder::meshBlocker(const MeshEntry& mesh) {
    if (mesh.referencedId != kNone) return waitFor(ReferenceKind::mesh, mesh.referencedId);
    if (!mesh.pendingMesh) return {};
    if (mesh.missing.kind == ReferenceKind::none) return never();
    return {Blocker::Kind::definition, mesh.missing, nullptr};
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

// Each entry keeps the count of its own subtree, so counting costs one addition per
// child, however many draws the tree would make. A mesh weighs as much as its
// primitives: a large part instanced many times is as costly as many small ones.
std::uint64_t SceneBuilder::countInstances(const std::vector<DefinitionEntry*>& children,
                                           const MeshEntry* mesh) {
    std::uint64_t total = mesh != nullptr ? addWork(1, mesh->primitives) : 0;
    for (const DefinitionEntry* child : children)
        total = addWork(total, child->instances);
    return total;
}

}  // namespace tessaro
