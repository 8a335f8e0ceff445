#include "document/scene_document.h"

#include <algorithm>
#include <cmath>

#include "xgl/scene_load_context.h"

namespace tessaro {

LoadResult SceneDocument::load(const char* fileName) {
    LoadResult result;
    std::unique_ptr<InputStream> stream = openDocument(fileName, result);
    if (!stream) {
        clear();
        return result;
    }
    return load(*stream);
}

LoadResult SceneDocument::load(InputStream& stream) {
    clear();
    SceneLoadContext context(*this);
    return context.parse(stream, nullptr);
}

void SceneDocument::clear() {
    resetTables();
    clearDisplay();
    const double forward[3] = {0, 0, 1};
    const double up[3] = {0, 1, 0};
    viewState().setOrientation(forward, up);
}

// ---- meshes ----

namespace {

struct PassUse {
    bool faces[kPasses] = {false, false, false, false};
    bool transparent = false;
    bool allPass = false;
};

PassUse passUse(const DrawableMesh& mesh) {
    PassUse use;
    for (const FaceRecord& f : mesh.faces) {
        const int pass = passOf(mesh, f.material, f.texture);
        use.faces[pass] = true;
        use.transparent = use.transparent || pass >= 2;
    }
    use.allPass = mesh.lines.count != 0 || mesh.points.count != 0;
    return use;
}

}  // namespace

GeometryEntry& SceneDocument::entryFor(std::int32_t handle) {
    const std::uint32_t wanted =
        std::max<std::uint32_t>(m_bounds.entryCount(), static_cast<std::uint32_t>(handle) + 1);
    const std::uint32_t old = m_entries.count();
    if (old < wanted && m_entries.setCount(wanted)) {
        for (std::uint32_t i = old; i < wanted; ++i)
            m_entries[i] = GeometryEntry{};
    }
    return m_entries[static_cast<std::uint32_t>(handle)];
}

// Opaque passes are two-sided too when the mesh has a transparent face; a mesh with
// lines or points gets every pass, since they may fall into any of them.
void SceneDocument::compileMeshLists(const DrawableMesh& mesh, GeometryEntry& entry) {
    const PassUse use = passUse(mesh);
    for (int pass = 0; pass < kPasses; ++pass) {
        if (!use.faces[pass] && !use.allPass) continue;
        const bool twoSided = pass >= 2 || use.transparent;
        entry.list[entryWordOfPass(pass)] = compilePassList(mesh, pass, twoSided);
    }
}

std::int32_t SceneDocument::addMesh(std::unique_ptr<DrawableMesh> mesh) {
    const std::int32_t handle = m_bounds.addMesh(*mesh);
    if (handle < 0) return kDropped;
    GeometryEntry& entry = entryFor(handle);
    entry.boxIndex = static_cast<std::uint32_t>(m_bounds.boxIndexOf(handle));
    compileMeshLists(*mesh, entry);
    return handle;
}

// ---- objects and groups ----

void SceneDocument::compileObjectLists(const ObjectRecord& object, GeometryEntry& entry) {
    const GeometryEntry* mesh =
        object.meshHandle >= 0 && static_cast<std::uint32_t>(object.meshHandle) < m_entries.count()
            ? &m_entries[static_cast<std::uint32_t>(object.meshHandle)]
            : nullptr;
    for (int pass = 0; pass < kPasses; ++pass) {
        const int word = entryWordOfPass(pass);
        if (object.meshHandle >= 0 && (mesh == nullptr || mesh->list[word] == 0)) continue;
        entry.list[word] = compileObjectList(object, pass, m_entries);
    }
}

std::int32_t SceneDocument::addObject(std::unique_ptr<ObjectRecord> object) {
    const auto handle = static_cast<std::int32_t>(m_bounds.entryCount());
    GeometryEntry& entry = entryFor(handle);
    compileObjectLists(*object, entry);
    if (m_bounds.addObject(*object) < 0) return kDropped;  // the entry stays unused
    entryFor(handle).boxIndex = static_cast<std::uint32_t>(m_bounds.boxIndexOf(handle));
    return handle;
}

std::int32_t SceneDocument::addMeshGroup(std::uint32_t count, const std::int32_t* handles) {
    const std::int32_t handle = m_bounds.addMeshGroup(count, handles);
    if (handle < 0) return kDropped;
    ObjectRecord group;  // identity transform, no mesh, the chunks as children
    group.childHandles.assign(handles, handles + count);
    GeometryEntry& entry = entryFor(handle);
    for (int pass = 0; pass < kPasses; ++pass) {
        entry.list[entryWordOfPass(pass)] = compileObjectList(group, pass, m_entries);
    }
    entry.boxIndex = static_cast<std::uint32_t>(m_bounds.boxIndexOf(handle));
    return handle;
}

// ---- textures and what the viewer does not draw ----

std::int32_t SceneDocument::addTexture(std::unique_ptr<TextureRecord> texture) {
    return static_cast<std::int32_t>(compileTextureList(*texture));
}

std::int32_t SceneDocument::addTextureImage(std::unique_ptr<TextureImageRecord> image) {
    return static_cast<std::int32_t>(uploadTextureImage(*image));
}

std::int32_t SceneDocument::addData(std::unique_ptr<DataRecord>) {
    return kNotKept;
}
std::int32_t SceneDocument::addExtGeom(std::unique_ptr<ExtGeomRecord>) {
    return kNotKept;
}

void SceneDocument::setBackground(std::unique_ptr<BackgroundRecord> background) {
    m_background = std::move(background);
}

void SceneDocument::setLighting(std::unique_ptr<LightingRecord> lighting) {
    m_lighting = std::move(lighting);
}

// ---- the end of a load ----

void SceneDocument::worldDone(std::unique_ptr<WorldRecord> world) {
    m_world = std::move(world);
    fitView();
    viewState().buildSceneList(m_world.get(), m_lighting.get(), m_background.get(), m_entries);
    resetTables();
    viewState().redraw();
}

void SceneDocument::showError(const char* text) {
    resetTables();
    if (m_messages != nullptr) m_messages->showMessage(text);
}

void SceneDocument::fitView() {
    const Box box = m_world ? m_bounds.worldBox(*m_world) : Box{};
    double centre[3];
    double largest = 0;
    for (int i = 0; i < 3; ++i) {
        centre[i] = (box.min[i] + box.max[i]) / 2;
        largest = i == 0 ? box.max[i] - box.min[i] : std::max(largest, box.max[i] - box.min[i]);
    }
    const double radius = largest * std::sqrt(3.0) / 2;
    const double origin[3] = {0, 0, 0};
    const double size[3] = {2 * radius, 2 * radius, 2 * radius};
    viewState().setSceneOffset(centre);
    viewState().setViewBox(origin, size);
}

void SceneDocument::resetTables() {
    m_entries.clear();
    m_bounds.clear();
    m_world.reset();
    m_lighting.reset();
    m_background.reset();
}

}  // namespace tessaro
