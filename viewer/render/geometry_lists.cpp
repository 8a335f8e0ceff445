#include <cmath>
#include <cstring>

#include "render/gl_state.h"
#include "render/renderer.h"
#include "scene/scene_bounds.h"

namespace tessaro {

namespace {

using namespace internal;

constexpr std::int32_t kNoCurrent = -1;

template <typename Table>
bool inTable(std::int32_t index, const Table& table) {
    return index >= 0 && static_cast<std::uint32_t>(index) < table.count;
}

// The display list of texture index `texture`, or 0 when the index names none.
std::uint32_t textureListOf(const DrawableMesh& mesh, std::int32_t texture) {
    if (texture < 0 || static_cast<std::uint32_t>(texture) >= mesh.textureRefs.count()) return 0;
    const TextureUse* use = mesh.textureRefs[static_cast<std::uint32_t>(texture)];
    if (use == nullptr || use->handle <= 0) return 0;
    return static_cast<std::uint32_t>(use->handle);
}

// A primitive is drawn only when every corner has a position, its material exists
// and, when textured, its texture has a list: anything else would read outside the
// mesh or, inside a triangle batch, shift every later corner to the wrong triangle.
bool drawable(const DrawableMesh& mesh, const Vertex* vertices, int count, std::int32_t material,
              std::int32_t texture) {
    for (int i = 0; i < count; ++i) {
        if (!inTable(vertices[i].position, mesh.positions)) return false;
    }
    if (!inTable(material, mesh.materials)) return false;
    return texture == kNone || textureListOf(mesh, texture) != 0;
}

void emitVertex(const DrawableMesh& mesh, const Vertex& v) {
    // An absent or unknown normal or coordinate keeps the one already current.
    if (inTable(v.normal, mesh.normals)) {
        const NormalRecord& n = mesh.normals[static_cast<std::uint32_t>(v.normal)];
        glNormal3f(n.x, n.y, n.z);
    }
    if (inTable(v.texCoord, mesh.texCoords)) {
        const TexCoordRecord& t = mesh.texCoords[static_cast<std::uint32_t>(v.texCoord)];
        glTexCoord2f(t.u, t.v);
    }
    const PositionRecord& p = mesh.positions[static_cast<std::uint32_t>(v.position)];
    glVertex3d(p.x, p.y, p.z);
}

// All fifteen words of the record, the id among them (it reads -1 in a mesh).
bool sameMaterial(const MaterialRecord& a, const MaterialRecord& b) {
    static_assert(sizeof(MaterialRecord) == 15 * sizeof(std::uint32_t));
    return std::memcmp(&a, &b, sizeof(MaterialRecord)) == 0;
}

void sendMaterial(const MaterialRecord& m) {
    const GLfloat ambient[4] = {m.ambient[0], m.ambient[1], m.ambient[2], m.alpha};
    const GLfloat diffuse[4] = {m.diffuse[0], m.diffuse[1], m.diffuse[2], m.alpha};
    const GLfloat specular[4] = {m.specular[0], m.specular[1], m.specular[2], m.alpha};
    const GLfloat emission[4] = {m.emissive[0], m.emissive[1], m.emissive[2], m.alpha};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, ambient);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
}

// What one pass has last sent, so that repeats are left out.
class PassEmitter {
  public:
    PassEmitter(const DrawableMesh& mesh, int pass) : m_mesh(mesh), m_pass(pass) {}
    void emit(bool twoSidedMesh);

  private:
    bool inPass(std::int32_t material, std::int32_t texture) const {
        return passOf(m_mesh, material, texture) == m_pass;
    }
    void useMaterial(std::int32_t material);
    bool textureChanges(std::int32_t texture) const {
        return texture != kNone && texture != m_texture;
    }
    void useTexture(std::int32_t texture);
    void faces();
    void lines();
    void points();

    const DrawableMesh& m_mesh;
    int m_pass;
    std::int32_t m_material = kNoCurrent;
    std::int32_t m_texture = kNoCurrent;
};

void PassEmitter::emit(bool twoSidedMesh) {
    if (twoSidedMesh) {
        twoSided();
    } else {
        oneSided();
    }
    plainState();
    if (m_pass == 2 || m_pass == 3) blendedState();
    glEnable(GL_NORMALIZE);
    faces();
    lines();
    points();
    glDisable(GL_NORMALIZE);
    plainState();
}

void PassEmitter::useMaterial(std::int32_t material) {
    if (material == m_material) return;
    const MaterialRecord& wanted = m_mesh.materials[static_cast<std::uint32_t>(material)];
    const bool same =
        m_material != kNoCurrent &&
        sameMaterial(m_mesh.materials[static_cast<std::uint32_t>(m_material)], wanted);
    if (!same) sendMaterial(wanted);
    m_material = material;
}

// The texture list sets the texture state, so the material must be sent again.
void PassEmitter::useTexture(std::int32_t texture) {
    glCallList(textureListOf(m_mesh, texture));
    m_material = kNoCurrent;
    m_texture = texture;
}

void PassEmitter::faces() {
    glBegin(GL_TRIANGLES);
    for (const FaceRecord& face : m_mesh.faces) {
        if (!inPass(face.material, face.texture)) continue;
        if (!drawable(m_mesh, face.vertex, 3, face.material, face.texture)) continue;
        if (textureChanges(face.texture)) {
            // Binding a texture is not allowed inside a batch.
            glEnd();
            useTexture(face.texture);
            glBegin(GL_TRIANGLES);
        }
        useMaterial(face.material);
        for (const Vertex& v : face.vertex)
            emitVertex(m_mesh, v);
    }
    glEnd();
}

void PassEmitter::lines() {
    for (const LineRecord& line : m_mesh.lines) {
        if (!inPass(line.material, line.texture)) continue;
        if (!drawable(m_mesh, line.vertex, 2, line.material, line.texture)) continue;
        bool stippled = false;
        if (inTable(line.lineStyle, m_mesh.lineStyles)) {
            const LineStyleRecord& style =
                m_mesh.lineStyles[static_cast<std::uint32_t>(line.lineStyle)];
            glLineWidth(style.width);
            const auto pattern = static_cast<GLushort>(style.pattern & 0xFFFF);
            stippled = pattern < 0xFFFF;  // a solid line leaves the stipple state alone
            if (stippled) {
                glEnable(GL_LINE_STIPPLE);
                glLineStipple(static_cast<GLint>(style.patternFactor), pattern);
            }
        }
        if (textureChanges(line.texture)) useTexture(line.texture);
        useMaterial(line.material);
        defaultNormal();
        glBegin(GL_LINES);
        for (const Vertex& v : line.vertex)
            emitVertex(m_mesh, v);
        glEnd();
        if (stippled) glDisable(GL_LINE_STIPPLE);
    }
}

void PassEmitter::points() {
    for (const PointRecord& point : m_mesh.points) {
        // The size is set before the class test, so points of other passes set it too.
        if (inTable(point.pointStyle, m_mesh.pointStyles)) {
            glPointSize(m_mesh.pointStyles[static_cast<std::uint32_t>(point.pointStyle)].size);
        }
        if (!inPass(point.material, point.texture)) continue;
        if (!drawable(m_mesh, point.vertex, 1, point.material, point.texture)) continue;
        if (textureChanges(point.texture)) useTexture(point.texture);
        useMaterial(point.material);
        defaultNormal();
        glBegin(GL_POINTS);
        emitVertex(m_mesh, point.vertex[0]);
        glEnd();
    }
}

void emitObjectPass(const ObjectRecord& object, int pass,
                    const PoolVector<GeometryEntry>& entries) {
    float matrix[16];
    objectMatrix(object.transform, matrix);
    glMatrixMode(GL_MODELVIEW);
    glMultMatrixf(matrix);
    const int word = entryWordOfPass(pass);
    const std::uint32_t meshList = entryList(entries, object.meshHandle, word);
    if (meshList != 0) glCallList(meshList);
    for (const std::int32_t child : object.childHandles) {
        const std::uint32_t list = entryList(entries, child, word);
        if (list != 0) callChildList(list);
    }
}

// Compiles what `emit` sends into a new list; 0 when no list name could be had.
template <typename Emit>
std::uint32_t compileList(Emit emit) {
    glFinish();
    const std::uint32_t name = newListName();
    if (name == 0) return 0;  // glNewList(0) fails and the calls would draw at once
    glNewList(name, GL_COMPILE);
    emit();
    glEndList();
    glFinish();
    return name;
}

}  // namespace

int passOf(const DrawableMesh& mesh, std::int32_t material, std::int32_t texture) {
    // A material outside the table counts as opaque; such a primitive is not drawn.
    const bool opaque = !inTable(material, mesh.materials) ||
                        mesh.materials[static_cast<std::uint32_t>(material)].alpha == 1.0f;
    const bool textured = texture != kNone;
    if (opaque) return textured ? 1 : 0;
    return textured ? 2 : 3;
}

std::uint32_t compilePassList(const DrawableMesh& mesh, int pass, bool forceTwoSided) {
    return compileList([&] { PassEmitter(mesh, pass).emit(mesh.surface == 1 || forceTwoSided); });
}

std::uint32_t compileObjectList(const ObjectRecord& object, int pass,
                                const PoolVector<GeometryEntry>& entries) {
    return compileList([&] { emitObjectPass(object, pass, entries); });
}

void objectMatrix(const Transform& transform, float out[16]) {
    double columns[16];
    objectMatrix(transform, columns);
    for (int i = 0; i < 16; ++i)
        out[i] = static_cast<float>(columns[i]);
}

}  // namespace tessaro
