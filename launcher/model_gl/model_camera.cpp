#include "model_gl/model_camera.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace plotwick {
namespace {

Vector3 operator-(const Vector3& a, const Vector3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vector3 operator+(const Vector3& a, const Vector3& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vector3 operator*(const Vector3& a, double s) {
    return {a[0] * s, a[1] * s, a[2] * s};
}
double dot(const Vector3& a, const Vector3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double length(const Vector3& a) {
    return std::sqrt(dot(a, a));
}
Vector3 normalized(const Vector3& a) {
    const double size = length(a);
    return size > 0 ? a * (1 / size) : Vector3{0, 0, 0};
}

// Rodrigues' rotation of `v` by `angle` about the unit `axis`.
Vector3 rotated(const Vector3& v, const Vector3& axis, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return v * c + cross(axis, v) * s + axis * (dot(axis, v) * (1 - c));
}

struct Basis {
    Vector3 forward, right, up;
};

// Right-handed: with the left-handed convention the published pictures come out mirrored.
Basis basisOf(const ModelCamera& camera) {
    const Vector3 forward = normalized(camera.target - camera.position);
    const Vector3 right = normalized(cross(forward, camera.up));
    return {forward, right, cross(right, forward)};
}

bool usable(const W3dCamera& camera) {
    const Vector3 position{camera.position[0], camera.position[1], camera.position[2]};
    const Vector3 target{camera.target[0], camera.target[1], camera.target[2]};
    const Vector3 up{camera.up[0], camera.up[1], camera.up[2]};
    const Vector3 forward = target - position;
    const bool finite = std::isfinite(dot(forward, forward)) && std::isfinite(dot(up, up)) &&
                        std::isfinite(camera.fieldWidth) && std::isfinite(camera.fieldHeight);
    return finite && length(forward) > 0 &&
           length(cross(normalized(forward), normalized(up))) > 1e-6 && camera.fieldWidth > 0 &&
           camera.fieldHeight > 0;
}

W3dBox modelBox(const W3dModel& model) {
    if (model.fitBox) return *model.fitBox;
    if (model.conservativeBox) return *model.conservativeBox;
    return {-1, -1, -1, 1, 1, 1};
}

Vector3 centreOf(const W3dBox& box) {
    return {(box[0] + box[3]) / 2, (box[1] + box[4]) / 2, (box[2] + box[5]) / 2};
}

double diagonalOf(const W3dBox& box) {
    const double size = length(Vector3{box[3] - box[0], box[4] - box[1], box[5] - box[2]});
    return std::isfinite(size) && size > 0 ? size : 2;
}

// Half the width and height seen at the target in a width x height window: the
// publishers' pictures are square and show the field's smaller side across, so the
// window shows at least that square, widened to its own shape.
std::pair<double, double> halfFieldAtTarget(const ModelCamera& camera, int width, int height) {
    const double aspect = static_cast<double>(std::max(width, 1)) / std::max(height, 1);
    const double half = std::min(camera.fieldWidth, camera.fieldHeight) / 2;
    return aspect > 1 ? std::pair{half * aspect, half} : std::pair{half, half / aspect};
}

}  // namespace

ModelCamera publishedCamera(const W3dModel& model) {
    ModelCamera camera;
    if (model.camera && usable(*model.camera)) {
        const W3dCamera& published = *model.camera;
        camera.position = published.position;
        camera.target = published.target;
        camera.up = published.up;
        camera.fieldWidth = published.fieldWidth;
        camera.fieldHeight = published.fieldHeight;
        camera.perspective = published.perspective;
        return camera;
    }
    const W3dBox box = modelBox(model);
    const double diagonal = diagonalOf(box);
    camera.target = centreOf(box);
    camera.position = camera.target + normalized(Vector3{1, 1, 1}) * (2 * diagonal);
    camera.up = {0, 1, 0};
    camera.fieldWidth = camera.fieldHeight = diagonal;
    return camera;
}

ModelCamera turned(const ModelCamera& camera, double dx, double dy) {
    const Basis basis = basisOf(camera);
    const double yaw = -dx * std::numbers::pi;
    const double pitch = -dy * std::numbers::pi;
    Vector3 offset = camera.position - camera.target;
    Vector3 up = basis.up;
    offset = rotated(offset, basis.up, yaw);
    const Vector3 right = rotated(basis.right, basis.up, yaw);
    offset = rotated(offset, right, pitch);
    up = rotated(up, right, pitch);
    ModelCamera result = camera;
    result.position = camera.target + offset;
    result.up = normalized(up);
    return result;
}

ModelCamera zoomed(const ModelCamera& camera, double factor) {
    if (!(factor > 0) || !std::isfinite(factor)) return camera;
    ModelCamera result = camera;
    result.fieldWidth /= factor;
    result.fieldHeight /= factor;
    return result;
}

ModelCamera panned(const ModelCamera& camera, double dx, double dy, int width, int height) {
    // The field seen at the target is what the pointer drags, in perspective too.
    const double unitsPerPixel =
        2 * halfFieldAtTarget(camera, width, height).first / std::max(width, 1);
    const Basis basis = basisOf(camera);
    const Vector3 shift = basis.right * (-dx * unitsPerPixel) + basis.up * (dy * unitsPerPixel);
    ModelCamera result = camera;
    result.position = camera.position + shift;
    result.target = camera.target + shift;
    return result;
}

ViewVolume viewVolume(const ModelCamera& camera, const W3dBox& box, int width, int height) {
    const auto [halfWidth, halfHeight] = halfFieldAtTarget(camera, width, height);
    const Basis basis = basisOf(camera);
    const double radius = diagonalOf(box) / 2;
    const double centreDepth = dot(centreOf(box) - camera.position, basis.forward);
    ViewVolume volume{-halfWidth, halfWidth, -halfHeight, halfHeight, 0, 0, camera.perspective};
    if (!camera.perspective) {
        volume.zNear = centreDepth - 1.05 * radius;
        volume.zFar = centreDepth + 1.05 * radius;
        return volume;
    }
    // A perspective field is measured at the target; the frustum is given at the near plane.
    const double distance = length(camera.target - camera.position);
    volume.zFar = std::max(centreDepth + 1.05 * radius, distance * 1e-3);
    volume.zNear = std::max(centreDepth - 1.05 * radius, volume.zFar * 1e-4);
    const double shrink = volume.zNear / distance;
    volume.left *= shrink, volume.right *= shrink, volume.bottom *= shrink, volume.top *= shrink;
    return volume;
}

std::array<double, 16> viewMatrix(const ModelCamera& camera) {
    const Basis b = basisOf(camera);
    const Vector3& p = camera.position;
    return {b.right[0],       b.up[0],       -b.forward[0],     0,  //
            b.right[1],       b.up[1],       -b.forward[1],     0,  //
            b.right[2],       b.up[2],       -b.forward[2],     0,  //
            -dot(b.right, p), -dot(b.up, p), dot(b.forward, p), 1};
}

}  // namespace plotwick
