#include <algorithm>
#include <cstring>
#include <memory>

#include "render/gl_state.h"
#include "render/renderer.h"

namespace tessaro {

namespace {

constexpr std::int32_t kSmallestSide = 32;
constexpr std::int32_t kLargestSide = 4096;

// One step of the walk along a line: add `source` with `weight`, then, when `write`,
// finish the current target pixel. The walk depends only on the two lengths, so it
// is worked out once and replayed for every row and every column.
struct FilterStep {
    std::int32_t source;
    double weight;
    bool write;
};

std::vector<FilterStep> filterSteps(std::int32_t n, std::int32_t m) {
    const double r = static_cast<double>(m) / n;  // target pixels per source pixel
    std::vector<FilterStep> steps;
    steps.reserve(static_cast<std::size_t>(n) + m + 1);
    std::int32_t source = 0, written = 0;
    double remaining = r, capacity = 1.0;
    while (written < m) {
        if (capacity >= remaining) {
            steps.push_back({source, remaining, false});
            capacity -= remaining;
            source = std::min(source + 1, n - 1);
            remaining = r;
        } else {
            steps.push_back({source, capacity, true});
            remaining -= capacity;
            capacity = 1.0;
            ++written;
        }
    }
    return steps;
}

// Colours weighted by alpha, so fully transparent pixels add no colour.
struct Accumulator {
    double red = 0, green = 0, blue = 0, alpha = 0, weight = 0;

    void add(const std::uint8_t* pixel, double w) {
        const double a = pixel[3] / 255.0;
        red += a * pixel[0] * w;
        green += a * pixel[1] * w;
        blue += a * pixel[2] * w;
        alpha += pixel[3] * w;
        weight += a * w;
    }

    void writeTo(std::uint8_t* pixel) const {
        const auto byte = [](double v) { return static_cast<std::uint8_t>(std::min(v, 255.0)); };
        if (weight <= 0) {
            std::memset(pixel, 0, 4);
            return;
        }
        pixel[0] = byte(red / weight);
        pixel[1] = byte(green / weight);
        pixel[2] = byte(blue / weight);
        pixel[3] = byte(alpha);
    }
};

void resampleRow(const std::uint8_t* row, const std::vector<FilterStep>& steps, std::uint8_t* out) {
    Accumulator sum;
    for (const FilterStep& step : steps) {
        sum.add(row + static_cast<std::size_t>(step.source) * 4, step.weight);
        if (step.write) {
            sum.writeTo(out);
            out += 4;
            sum = {};
        }
    }
}

// First every row to the new width, then every column to the new height. The
// columns all walk alike, so they advance together over one temporary row at a
// time: the same pixels as a whole temporary image, without its memory.
void resampleInto(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                  std::int32_t newWidth, std::int32_t newHeight, std::uint8_t* out) {
    const std::vector<FilterStep> across = filterSteps(width, newWidth);
    const std::vector<FilterStep> down = filterSteps(height, newHeight);
    const std::size_t sourceStride = static_cast<std::size_t>(width) * 4;
    const std::size_t stride = static_cast<std::size_t>(newWidth) * 4;
    std::vector<std::uint8_t> temporaryRow(stride);
    std::vector<Accumulator> sums(static_cast<std::size_t>(newWidth));
    std::int32_t rowInTemporary = -1;
    for (const FilterStep& step : down) {
        if (step.source != rowInTemporary) {
            resampleRow(pixels + step.source * sourceStride, across, temporaryRow.data());
            rowInTemporary = step.source;
        }
        for (std::size_t x = 0; x < sums.size(); ++x)
            sums[x].add(&temporaryRow[x * 4], step.weight);
        if (!step.write) continue;
        for (std::size_t x = 0; x < sums.size(); ++x) {
            sums[x].writeTo(out + x * 4);
            sums[x] = {};
        }
        out += stride;
    }
}

// An image without pixels (one kept outside the document) or without area has no
// colour to spread: its texture is transparent black.
bool hasPixels(const std::uint8_t* pixels, std::int32_t width, std::int32_t height) {
    return pixels != nullptr && width > 0 && height > 0;
}

void resampleOrClear(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                     std::int32_t newWidth, std::int32_t newHeight, std::uint8_t* out) {
    if (hasPixels(pixels, width, height)) {
        resampleInto(pixels, width, height, newWidth, newHeight, out);
    } else {
        std::memset(out, 0, static_cast<std::size_t>(newWidth) * newHeight * 4);
    }
}

void setWrap(std::int32_t wrap) {
    GLint mode = 0;
    if (wrap == kWrapRepeat) mode = GL_REPEAT;
    if (wrap == kWrapClamp) mode = GL_CLAMP;
    if (mode == 0) return;  // other values leave the wrap alone
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, mode);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, mode);
}

void setEnvironment(std::int32_t function) {
    GLint mode = 0;
    if (function == kTextureReplace) mode = GL_REPLACE;
    if (function == kTextureModulate) mode = GL_MODULATE;
    if (function == kTextureDecal) mode = GL_DECAL;
    if (mode != 0) glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
}

// The texture object's own state; the environment is global and is set too.
void configureTexture(const TextureRecord& texture, GLuint name) {
    glBindTexture(GL_TEXTURE_2D, name);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    setWrap(texture.wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    if (texture.hasBorderColor == 1) {
        glTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_BORDER_COLOR, texture.borderColor);
    }
    setEnvironment(texture.function);
}

void emitTextureSwitch(const TextureRecord& texture, GLuint name) {
    const double* t = texture.coordTransform;
    // s' = t0 s + t1 t + t4, t' = t3 s + t2 t + t5
    const GLdouble matrix[16] = {t[0], t[3], 0, 0, t[1], t[2], 0, 0, 0, 0, 1, 0, t[4], t[5], 0, 1};
    internal::texturedState();
    glBindTexture(GL_TEXTURE_2D, name);
    glMatrixMode(GL_TEXTURE);
    glLoadMatrixd(matrix);
}

}  // namespace

std::int32_t textureSide(std::int32_t side) {
    if (side >= kLargestSide) return kLargestSide;
    std::int32_t target = 1;
    while (target < side)
        target *= 2;
    return std::clamp(target, kSmallestSide, kLargestSide);
}

std::vector<std::uint8_t> resampleArea(const std::uint8_t* pixels, std::int32_t width,
                                       std::int32_t height, std::int32_t newWidth,
                                       std::int32_t newHeight) {
    if (newWidth <= 0 || newHeight <= 0) return {};
    std::vector<std::uint8_t> out(static_cast<std::size_t>(newWidth) * newHeight * 4);
    resampleOrClear(pixels, width, height, newWidth, newHeight, out.data());
    return out;
}

std::uint32_t uploadTextureImage(TextureImageRecord& image) {
    const std::int32_t width = textureSide(image.width), height = textureSide(image.height);
    std::unique_ptr<std::uint8_t[]> pixels(
        new std::uint8_t[static_cast<std::size_t>(width) * height * 4]);
    resampleOrClear(image.pixels.get(), image.width, image.height, width, height, pixels.get());
    image.pixels = std::move(pixels);
    image.width = width;
    image.height = height;

    glFinish();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    GLuint name = 0;
    glGenTextures(1, &name);
    internal::noteTexture(name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 image.pixels.get());
    glFinish();
    return name;
}

std::uint32_t compileTextureList(const TextureRecord& texture) {
    // Without an image the default texture object stands in: it holds no image, so
    // it draws like no texture, and no stray object is made.
    const GLuint name = texture.imageHandle > 0 ? static_cast<GLuint>(texture.imageHandle) : 0;
    configureTexture(texture, name);
    glFinish();
    const std::uint32_t list = internal::newListName();
    if (list == 0) return 0;  // glNewList(0) fails and the switch would run at once
    glNewList(list, GL_COMPILE);
    emitTextureSwitch(texture, name);
    glEndList();
    glFinish();
    return list;
}

}  // namespace tessaro
