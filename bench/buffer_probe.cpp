// Would vertex buffers turn a large mesh faster than display lists on this driver?
// Draws one lit grid of 584 x 584 points (the 100 MB single mesh's size) at 1024x768
// both ways, in turns: as the renderer compiles a mesh (a display list of separate
// triangles, each corner with its normal) and as an indexed vertex buffer (each point
// stored once). Prints wall-clock and CPU milliseconds per frame, glFinish included.
#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "render/renderer.h"
#include "render/surface.h"

namespace {

constexpr int kSide = 584;
constexpr int kFrames = 30;

struct Grid {
    std::vector<float> positions, normals;
    std::vector<GLuint> corners;  // three per triangle
};

// A gently waved sheet, so that lighting varies over it.
Grid makeGrid() {
    Grid grid;
    for (int j = 0; j < kSide; ++j) {
        for (int i = 0; i < kSide; ++i) {
            const float x = -1 + 2.0f * i / (kSide - 1), y = -1 + 2.0f * j / (kSide - 1);
            grid.positions.insert(grid.positions.end(),
                                  {x, y, 0.1f * std::sin(7 * x) * std::cos(5 * y)});
            const float nx = -0.7f * std::cos(7 * x) * std::cos(5 * y),
                        ny = 0.5f * std::sin(7 * x) * std::sin(5 * y);
            const float length = std::sqrt(nx * nx + ny * ny + 1);
            grid.normals.insert(grid.normals.end(), {nx / length, ny / length, 1 / length});
        }
    }
    for (GLuint j = 0; j + 1 < kSide; ++j) {
        for (GLuint i = 0; i + 1 < kSide; ++i) {
            const GLuint a = j * kSide + i, b = a + 1, c = a + kSide, d = c + 1;
            grid.corners.insert(grid.corners.end(), {a, b, d, a, d, c});
        }
    }
    return grid;
}

GLuint compileList(const Grid& grid) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    glBegin(GL_TRIANGLES);
    for (const GLuint k : grid.corners) {
        glNormal3fv(&grid.normals[3 * k]);
        glVertex3d(grid.positions[3 * k], grid.positions[3 * k + 1], grid.positions[3 * k + 2]);
    }
    glEnd();
    glEndList();
    return list;
}

struct Buffers {
    GLuint positions = 0, normals = 0, corners = 0;
    GLsizei count = 0;
};

Buffers uploadBuffers(const Grid& grid) {
    Buffers buffers;
    const auto upload = [](GLenum target, GLuint& name, const auto& values) {
        glGenBuffers(1, &name);
        glBindBuffer(target, name);
        glBufferData(target, values.size() * sizeof(values[0]), values.data(), GL_STATIC_DRAW);
    };
    upload(GL_ARRAY_BUFFER, buffers.positions, grid.positions);
    upload(GL_ARRAY_BUFFER, buffers.normals, grid.normals);
    upload(GL_ELEMENT_ARRAY_BUFFER, buffers.corners, grid.corners);
    buffers.count = static_cast<GLsizei>(grid.corners.size());
    return buffers;
}

void drawBuffers(const Buffers& buffers) {
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glBindBuffer(GL_ARRAY_BUFFER, buffers.positions);
    glVertexPointer(3, GL_FLOAT, 0, nullptr);
    glBindBuffer(GL_ARRAY_BUFFER, buffers.normals);
    glNormalPointer(GL_FLOAT, 0, nullptr);
    glDrawElements(GL_TRIANGLES, buffers.count, GL_UNSIGNED_INT, nullptr);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

template <typename Draw>
void timeFrames(const char* name, Draw draw) {
    const auto frame = [&draw](int step) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glRotatef(step * 3.0f, 1, 1, 0);
        draw();
        glFinish();
    };
    for (int step = 0; step < 3; ++step)
        frame(step);
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int step = 0; step < kFrames; ++step)
        frame(step);
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("%-14s %8.1f %8.1f\n", name, 1000 * wall / kFrames, 1000 * cpu / kFrames);
}

}  // namespace

int main() {
    std::string error;
    auto surface = tessaro::createHeadlessSurface(1024, 768, &error);
    if (!surface) {
        std::printf("no off-screen surface: %s\n", error.c_str());
        return 1;
    }
    tessaro::createContext(surface.get());
    tessaro::setViewport(1024, 768);
    std::printf("GL_RENDERER %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1.5, 1.5, -1.125, 1.125, -3, 3);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_DEPTH_TEST);
    const Grid grid = makeGrid();
    const GLuint list = compileList(grid);
    const Buffers buffers = uploadBuffers(grid);
    std::printf("%-14s %8s %8s\n", "", "ms", "cpu ms");
    for (int round = 0; round < 3; ++round) {
        timeFrames("display list", [list] { glCallList(list); });
        timeFrames("vertex buffer", [&buffers] { drawBuffers(buffers); });
    }
    tessaro::destroyContext();
    return 0;
}
