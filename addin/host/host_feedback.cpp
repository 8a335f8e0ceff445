#include "host/host_feedback.h"

#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "render/renderer.h"

namespace exportal {
namespace {

// Feedback buffers grow by doubling; the largest holds about 1.4 million triangles
// (23 values each) in 128 MiB, beyond which a copy is refused rather than swapping.
constexpr std::size_t kFirstBufferValues = std::size_t(1) << 20;
constexpr std::size_t kLargestBufferValues = std::size_t(1) << 25;
// GL_3D_COLOR in RGBA mode: window x, y, z, then red, green, blue, alpha.
constexpr std::size_t kValuesPerVertex = 7;

std::uint8_t channelByte(float value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value * 255.0f), 0L, 255L));
}

// Walks the values the feedback pass returned; stops at anything it does not know.
class FeedbackReader {
  public:
    FeedbackReader(const GLfloat* values, std::size_t count) : m_values(values), m_count(count) {}

    void readInto(std::vector<ShadedPrimitive>& primitives) {
        while (m_at < m_count) {
            const auto token = static_cast<GLint>(m_values[m_at++]);
            std::size_t vertices = 0, skipped = 0;
            switch (token) {
                case GL_POINT_TOKEN:
                    vertices = 1;
                    break;
                case GL_LINE_TOKEN:
                case GL_LINE_RESET_TOKEN:
                    vertices = 2;
                    break;
                case GL_POLYGON_TOKEN:
                    if (m_at >= m_count) return;
                    vertices = static_cast<std::size_t>(std::max(0.0f, m_values[m_at++]));
                    break;
                case GL_BITMAP_TOKEN:
                case GL_DRAW_PIXEL_TOKEN:
                case GL_COPY_PIXEL_TOKEN:
                    skipped = kValuesPerVertex;
                    break;
                case GL_PASS_THROUGH_TOKEN:
                    skipped = 1;
                    break;
                default:
                    return;
            }
            if (skipped > m_count - m_at) return;
            m_at += skipped;
            if (vertices > 0 && !readPrimitive(vertices, primitives)) return;
        }
    }

  private:
    bool readPrimitive(std::size_t vertices, std::vector<ShadedPrimitive>& primitives) {
        if (vertices > (m_count - m_at) / kValuesPerVertex) return false;
        ShadedPrimitive primitive;
        primitive.vertices.reserve(vertices);
        for (std::size_t i = 0; i < vertices; ++i, m_at += kValuesPerVertex) {
            const GLfloat* v = m_values + m_at;
            primitive.vertices.push_back(
                {v[0],
                 v[1],
                 v[2],
                 {channelByte(v[3]), channelByte(v[4]), channelByte(v[5]), channelByte(v[6])}});
        }
        primitives.push_back(std::move(primitive));
        return true;
    }

    const GLfloat* m_values;
    std::size_t m_count;
    std::size_t m_at = 0;
};

static_assert(sizeof(plotwick::Rgba) == 4, "pixels are read straight into Rgba");

// The view's picture and depths as the renderer draws them at this size.
bool readViewPixels(ShadedPicture& picture) {
    QOpenGLFramebufferObject target(picture.width, picture.height, QOpenGLFramebufferObject::Depth);
    if (!target.isValid() || !target.bind()) return false;
    tessaro::viewState().redraw();
    const std::size_t size = static_cast<std::size_t>(picture.width) * picture.height;
    picture.pixels.resize(size);
    picture.depths.resize(size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, picture.width, picture.height, GL_RGBA, GL_UNSIGNED_BYTE,
                 picture.pixels.data());
    glReadPixels(0, 0, picture.width, picture.height, GL_DEPTH_COMPONENT, GL_FLOAT,
                 picture.depths.data());
    target.release();
    return true;
}

}  // namespace

bool captureShadedPicture(int width, int height, ShadedPicture& picture, std::string& error) {
    picture = ShadedPicture{};
    picture.width = width;
    picture.height = height;
    GLfloat clear[4] = {1, 1, 1, 1};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    picture.background = {channelByte(clear[0]), channelByte(clear[1]), channelByte(clear[2]), 255};

    if (!readViewPixels(picture)) {
        picture.pixels.clear();
        picture.depths.clear();
    }
    std::vector<GLfloat> buffer;
    for (std::size_t size = kFirstBufferValues; size <= kLargestBufferValues; size *= 2) {
        buffer.assign(size, 0.0f);
        glFeedbackBuffer(static_cast<GLsizei>(size), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        tessaro::viewState().redraw();
        const GLint used = glRenderMode(GL_RENDER);  // negative when the buffer overflowed
        if (used >= 0) {
            FeedbackReader(buffer.data(), static_cast<std::size_t>(used))
                .readInto(picture.primitives);
            return true;
        }
    }
    error = "The view holds too many primitives for a DWF copy.";
    return false;
}

}  // namespace exportal
