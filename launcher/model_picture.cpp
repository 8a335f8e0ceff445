#include "model_picture.h"

#include "render/surface.h"

namespace plotwick {

ModelPicture::ModelPicture() = default;

ModelPicture::~ModelPicture() {
    close();
}

bool ModelPicture::open(const W3dModel& model, int width, int height, std::string* error) {
    // Another model of the same size keeps the context; only its lists are made again.
    if (m_surface && m_surface->width() == width && m_surface->height() == height &&
        m_surface->makeCurrent()) {
        m_drawing.build(model);
        return true;
    }
    close();
    m_surface = tessaro::createHeadlessSurface(width, height, error);
    if (!m_surface || !m_surface->makeCurrent()) {
        m_surface.reset();
        return false;
    }
    m_drawing.build(model);
    return true;
}

QImage ModelPicture::draw(const ModelCamera& camera) {
    if (!m_surface || !m_surface->makeCurrent()) return {};
    const int width = m_surface->width(), height = m_surface->height();
    m_drawing.draw(camera, width, height);
    const std::vector<std::uint8_t> pixels = tessaro::readPixelsRgb(width, height);
    return QImage(pixels.data(), width, height, 3 * width, QImage::Format_RGB888)
        .convertToFormat(QImage::Format_RGB32);
}

void ModelPicture::close() {
    if (!m_surface) return;
    // The lists belong to this surface's context.
    if (m_surface->makeCurrent()) m_drawing.release();
    m_surface.reset();
}

int ModelPicture::width() const {
    return m_surface ? m_surface->width() : 0;
}
int ModelPicture::height() const {
    return m_surface ? m_surface->height() : 0;
}

}  // namespace plotwick
