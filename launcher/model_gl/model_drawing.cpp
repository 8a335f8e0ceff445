#include "model_gl/model_drawing.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include <GL/gl.h>

#include <cmath>

namespace plotwick {
namespace {

using Colour = std::array<float, 3>;

Colour orDefault(const std::optional<Colour>& colour, const float (&fallback)[3]) {
    return colour ? *colour : Colour{fallback[0], fallback[1], fallback[2]};
}

const float* vertexOf(const W3dMesh& mesh, std::uint32_t index) {
    return &mesh.points[3 * std::size_t{index}];
}

bool inRange(const W3dMesh& mesh, std::uint32_t index) {
    return 3 * std::size_t{index} + 2 < mesh.points.size();
}

// A shell without normals of its own is shaded flat: each face its own normal.
void faceNormal(const float* a, const float* b, const float* c) {
    const double u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const double v[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
    glNormal3d(u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]);
}

void emitFaces(const W3dMesh& mesh) {
    const bool smooth = mesh.normals.size() == mesh.points.size();
    glBegin(GL_TRIANGLES);
    for (std::size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
        const std::uint32_t* corner = &mesh.triangles[t];
        if (!inRange(mesh, corner[0]) || !inRange(mesh, corner[1]) || !inRange(mesh, corner[2]))
            continue;
        if (!smooth)
            faceNormal(vertexOf(mesh, corner[0]), vertexOf(mesh, corner[1]),
                       vertexOf(mesh, corner[2]));
        for (int k = 0; k < 3; ++k) {
            if (smooth) glNormal3fv(&mesh.normals[3 * std::size_t{corner[k]}]);
            glVertex3fv(vertexOf(mesh, corner[k]));
        }
    }
    glEnd();
}

void emitCurves(const W3dMesh& mesh) {
    glBegin(GL_LINES);
    for (std::size_t k = 0; k + 1 < mesh.lines.size(); k += 2) {
        if (!inRange(mesh, mesh.lines[k]) || !inRange(mesh, mesh.lines[k + 1])) continue;
        glVertex3fv(vertexOf(mesh, mesh.lines[k]));
        glVertex3fv(vertexOf(mesh, mesh.lines[k + 1]));
    }
    glEnd();
    glBegin(GL_POINTS);
    for (std::uint32_t marker : mesh.markers)
        if (inRange(mesh, marker)) glVertex3fv(vertexOf(mesh, marker));
    glEnd();
}

template <typename Emit>
std::uint32_t compiled(const W3dMesh& mesh, Emit emit) {
    const GLuint list = glGenLists(1);
    if (list == 0) return 0;
    glNewList(list, GL_COMPILE);
    emit(mesh);
    glEndList();
    return list;
}

void setLighting() {
    // A light from over the viewer's shoulder, fixed to the eye, so that every side the
    // user turns to is lit; the model's own lights are not drawn.
    const GLfloat direction[4] = {0.35f, 0.45f, 1.0f, 0.0f};
    const GLfloat diffuse[4] = {0.7f, 0.7f, 0.7f, 1.0f};
    const GLfloat ambient[4] = {0.4f, 0.4f, 0.4f, 1.0f};
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, direction);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_LIGHT0);
    glEnable(GL_NORMALIZE);  // instance matrices may scale
    glShadeModel(GL_SMOOTH);
}

void setProjection(const ViewVolume& volume) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (volume.perspective)
        glFrustum(volume.left, volume.right, volume.bottom, volume.top, volume.zNear, volume.zFar);
    else
        glOrtho(volume.left, volume.right, volume.bottom, volume.top, volume.zNear, volume.zFar);
    glMatrixMode(GL_MODELVIEW);
}

}  // namespace

ModelDrawing::~ModelDrawing() = default;

void ModelDrawing::build(const W3dModel& model) {
    release();
    m_lists.reserve(model.meshes.size());
    for (const W3dMesh& mesh : model.meshes) {
        MeshLists lists;
        if (!mesh.triangles.empty()) lists.faces = compiled(mesh, emitFaces);
        if (!mesh.lines.empty() || !mesh.markers.empty()) lists.curves = compiled(mesh, emitCurves);
        m_lists.push_back(lists);
    }
    for (const W3dTriangleSet& set : model.sets) {
        if (set.mesh >= m_lists.size()) continue;
        m_sets.push_back({set.mesh, set.matrix, orDefault(set.colour, kModelDefaultColour),
                          set.lineColour.value_or(Colour{0, 0, 0})});
    }
    m_box =
        model.fitBox ? *model.fitBox : model.conservativeBox.value_or(W3dBox{-1, -1, -1, 1, 1, 1});
}

void ModelDrawing::release() {
    // Lists are deleted only by the context that made them; the caller keeps it current.
    for (const MeshLists& lists : m_lists) {
        if (lists.faces != 0) glDeleteLists(lists.faces, 1);
        if (lists.curves != 0) glDeleteLists(lists.curves, 1);
    }
    m_lists.clear();
    m_sets.clear();
}

void ModelDrawing::draw(const ModelCamera& camera, int width, int height) const {
    glViewport(0, 0, width, height);
    glClearColor(kModelBackground[0], kModelBackground[1], kModelBackground[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDisable(GL_CULL_FACE);  // both faces are shaded: open shells show their inside
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    setProjection(viewVolume(camera, m_box, width, height));
    setLighting();
    glMultMatrixd(viewMatrix(camera).data());
    drawSets();
    glFlush();
}

void ModelDrawing::drawSets() const {
    // Faces step back a little so that edges lying on them stay in front.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.0f, 1.0f);
    glPointSize(3.0f);
    for (const Placed& set : m_sets) {
        const MeshLists& lists = m_lists[set.mesh];
        glPushMatrix();
        glMultMatrixd(set.matrix.data());
        if (lists.faces != 0) {
            glEnable(GL_LIGHTING);
            glColor3fv(set.colour.data());
            glCallList(lists.faces);
        }
        if (lists.curves != 0) {
            glDisable(GL_LIGHTING);
            glColor3fv(set.lineColour.data());
            glCallList(lists.curves);
        }
        glPopMatrix();
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_LIGHTING);
}

}  // namespace plotwick
