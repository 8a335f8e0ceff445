// SceneBuilder: the link between a load and its SceneConsumer. It owns the entries
// that stand for objects and meshes, hands an object to the consumer only once
// everything it refers to has a handle, and keeps the others pending: after a new
// definition the pending objects it may complete are tried again, oldest first.
// Each pending object waits on what stopped it (the kind and ID of a definition it
// lacks, or another pending object), so a definition costs only the objects waiting
// on it.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <queue>
#include <unordered_map>
#include <vector>

#include "scene/definition_scope.h"
#include "scene/scene_consumer.h"
#include "scene/scene_model.h"
#include "scene/work_budget.h"

namespace tessaro {

class SceneBuilder {
  public:
    // Resolves the pending mesh of an entry and hands it to the consumer; true when
    // the entry then has its handle. Supplied by the mesh hand-over.
    using MeshHandOver = std::function<bool(MeshEntry&)>;

    explicit SceneBuilder(SceneConsumer& consumer);
    ~SceneBuilder();
    SceneBuilder(const SceneBuilder&) = delete;
    SceneBuilder& operator=(const SceneBuilder&) = delete;

    void setMeshHandOver(MeshHandOver handOver) { m_meshHandOver = std::move(handOver); }
    // What the world may instance in all: completeWorld spends the objects and meshes
    // that one frame draws (each object counted as often as it is referenced).
    void setInstanceBudget(WorkBudget* budget) { m_instanceBudget = budget; }

    // An entry for "objectref" id, made in scope; bound when its holder completes.
    DefinitionEntry* referenceObject(std::uint32_t id, DefinitionScope* scope);
    // An entry holding an object defined without ID (an instance under its parent).
    DefinitionEntry* objectInstance(std::unique_ptr<ObjectRecord> node, DefinitionScope* scope);
    // Registers an object defined with an ID in scope: files it, hands it over when it
    // can be completed now (else keeps it pending), then retries the older pending ones.
    DefinitionEntry* registerObject(std::unique_ptr<ObjectRecord> node, DefinitionScope* scope,
                                    std::uint32_t id);

    // A new, empty mesh entry owned by the builder.
    MeshEntry* newMeshEntry();
    // An entry for "meshref" id, made in scope.
    MeshEntry* referenceMesh(std::uint32_t id, DefinitionScope* scope);
    // Files a mesh entry under its ID in scope and retries the pending objects.
    bool defineMesh(MeshEntry* entry, DefinitionScope* scope, std::uint32_t id);

    // Notes the definition of something a mesh may use (material, style, position,
    // normal, texture coordinate, texture or image): the objects waiting for it are
    // tried again at the next retry.
    void noteDefinition(ReferenceKind kind, std::uint32_t id);
    // Tries again, oldest first, the pending objects that a definition since the last
    // retry may complete, except the newest registered.
    void retryPending();

    // Completes a node: binds referenced children and mesh, completes and hands over
    // children that still wait, and fills childHandles/meshHandle. False when some
    // reference has no definition (yet), or on a reference cycle.
    bool completeObject(ObjectRecord& node);
    // The same for the world's children and mesh, before the world is handed over;
    // false too when the world instances more than the instance budget allows.
    bool completeWorld(WorldRecord& world);

    std::uint32_t pendingCount() const;

  private:
    // What stopped the last completeObject.
    struct Blocker {
        enum class Kind : std::uint8_t { definition, entry, retry, never };
        Kind kind = Kind::retry;
        MissingReference reference;              // Definition
        const DefinitionEntry* entry = nullptr;  // Entry: a pending registered object
    };
    struct Waiting {
        std::uint64_t age;  // order of registration
        DefinitionEntry* entry;
        bool operator>(const Waiting& other) const { return age > other.age; }
    };
    using WaitingList = std::vector<Waiting>;

    DefinitionEntry* newEntry();
    void file(const Waiting& waiting);
    void wake(WaitingList& list);
    void wakeWaitersOf(const DefinitionEntry& entry);
    void retryWoken();
    static std::uint64_t keyOf(MissingReference reference);
    bool bindChild(DefinitionEntry*& child);
    bool bindMesh(MeshEntry*& mesh);
    static Blocker never();
    static Blocker waitFor(ReferenceKind kind, std::int32_t id);
    static Blocker meshBlocker(const MeshEntry& mesh);
    bool tryRegister(DefinitionEntry& entry);
    void handOver(DefinitionEntry& entry);
    static void collectHandles(const std::vector<DefinitionEntry*>& children,
                               std::vector<std::int32_t>& handles);
    static std::uint64_t countInstances(const std::vector<DefinitionEntry*>& children,
                                        const MeshEntry* mesh);

    SceneConsumer& m_consumer;
    MeshHandOver m_meshHandOver;
    WorkBudget* m_instanceBudget = nullptr;
    std::deque<std::unique_ptr<DefinitionEntry>> m_entries;
    std::deque<std::unique_ptr<MeshEntry>> m_meshEntries;
    std::vector<DefinitionEntry*> m_pending;  // registered, not handed over at first try
    // The newest registered object, if it waits: it was tried when it was registered,
    // and is tried again only when the next object is registered.
    Waiting m_newest{0, nullptr};
    std::uint64_t m_nextAge = 0;
    Blocker m_blocker;
    std::unordered_map<std::uint64_t, WaitingList> m_waitingOnId;
    std::unordered_map<const DefinitionEntry*, WaitingList> m_waitingOnEntry;
    WaitingList m_waitingOnAny;  // stopped by nothing a definition names: tried at every retry
    std::priority_queue<Waiting, WaitingList, std::greater<>> m_woken;
    bool m_retrying = false;
};

}  // namespace tessaro
