#include "dwf/display_list.h"

#include <algorithm>
#include <cmath>

namespace plotwick {
namespace {

// The CAD colour-index wheel: 0-9 named colours, 10-249 twenty-four hues in steps of
// 15 degrees with five shades each at full and half saturation, 250-255 greys.
std::array<Rgba, 256> makePalette() {
    std::array<Rgba, 256> palette{};
    const Rgba named[10] = {{0, 0, 0, 255},      {255, 0, 0, 255},     {255, 255, 0, 255},
                            {0, 255, 0, 255},    {0, 255, 255, 255},   {0, 0, 255, 255},
                            {255, 0, 255, 255},  {255, 255, 255, 255}, {128, 128, 128, 255},
                            {192, 192, 192, 255}};
    std::copy(std::begin(named), std::end(named), palette.begin());
    const double shades[5] = {1.0, 0.65, 0.5, 0.3, 0.15};
    for (int i = 10; i < 250; ++i) {
        const double hue = (i - 10) / 10 * 15.0;
        const double value = shades[(i - 10) % 10 / 2];
        const double saturation = (i % 2 == 0) ? 1.0 : 0.5;
        auto channel = [&](double offset) {
            const double k = std::fmod(offset + hue / 60.0, 6.0);
            const double weight = std::max(0.0, std::min({k, 4.0 - k, 1.0}));
            const double level = value * (1.0 - saturation * weight);
            return static_cast<std::uint8_t>(std::lround(255.0 * level));
        };
        palette[i] = {channel(5), channel(3), channel(1), 255};
    }
    const std::uint8_t greys[6] = {51, 80, 105, 130, 190, 255};
    for (int i = 0; i < 6; ++i)
        palette[250 + i] = {greys[i], greys[i], greys[i], 255};
    return palette;
}

void include(LogicalBox& box, std::int64_t x, std::int64_t y) {
    box.min = {std::min(box.min.x, x), std::min(box.min.y, y)};
    box.max = {std::max(box.max.x, x), std::max(box.max.y, y)};
}

}  // namespace

const std::array<Rgba, 256>& defaultPalette() {
    static const std::array<Rgba, 256> palette = makePalette();
    return palette;
}

std::optional<LogicalBox> boundsOf(const W2dGraphics& graphics) {
    std::optional<LogicalBox> box;
    for (const DrawOp& op : graphics.ops) {
        const auto reach = static_cast<std::int64_t>(std::ceil(op.radius));
        for (const LogicalPoint& point : op.points) {
            if (!box) box = LogicalBox{point, point};
            include(*box, point.x - reach, point.y - reach);
            include(*box, point.x + reach, point.y + reach);
        }
    }
    return box;
}

}  // namespace plotwick
