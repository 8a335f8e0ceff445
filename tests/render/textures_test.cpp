#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>
#include <ostream>
#include <random>
#include <vector>

#include "render/renderer.h"

namespace tessaro {
namespace {

using Pixel = std::array<std::uint8_t, 4>;

Pixel pixelAt(const std::vector<std::uint8_t>& image, int width, int x, int y) {
    const std::size_t at = (static_cast<std::size_t>(y) * width + x) * 4;
    return {image[at], image[at + 1], image[at + 2], image[at + 3]};
}

struct SideCase {
    std::int32_t side;
    std::int32_t expected;
};

class TextureSideTable : public testing::TestWithParam<SideCase> {};

TEST_P(TextureSideTable, IsAPowerOfTwoFrom32To4096) {
    EXPECT_EQ(textureSide(GetParam().side), GetParam().expected) << "side " << GetParam().side;
}

INSTANTIATE_TEST_SUITE_P(Sides, TextureSideTable,
                         testing::Values(SideCase{-3, 32}, SideCase{0, 32}, SideCase{1, 32},
                                         SideCase{2, 32}, SideCase{31, 32}, SideCase{32, 32},
                                         SideCase{33, 64}, SideCase{64, 64}, SideCase{100, 128},
                                         SideCase{129, 256}, SideCase{4095, 4096},
                                         SideCase{4096, 4096}, SideCase{4097, 4096},
                                         SideCase{5000, 4096},
                                         SideCase{std::numeric_limits<std::int32_t>::max(), 4096}));

TEST(TextureSize, WideImageBecomes4096By128) {
    EXPECT_EQ(textureSide(5000), 4096);
    EXPECT_EQ(textureSide(100), 128);
    const std::vector<std::uint8_t> source(5000 * 100 * 4, 200);
    const std::vector<std::uint8_t> out = resampleArea(source.data(), 5000, 100, 4096, 128);
    ASSERT_EQ(out.size(), 4096u * 128u * 4u);
    // An even grey stays grey; each channel may lose one to the truncation.
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_NEAR(out[i], 200, 1) << "byte " << i;
}

class OnePixelImage : public testing::TestWithParam<Pixel> {};

TEST_P(OnePixelImage, BecomesA32By32TextureOfTheSameColour) {
    const Pixel colour = GetParam();
    const std::vector<std::uint8_t> out = resampleArea(colour.data(), 1, 1, 32, 32);
    ASSERT_EQ(out.size(), 32u * 32u * 4u);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            ASSERT_EQ(pixelAt(out, 32, x, y), colour) << x << "," << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Colours, OnePixelImage,
                         testing::Values(Pixel{255, 0, 0, 255}, Pixel{12, 34, 56, 255},
                                         Pixel{255, 255, 255, 255}, Pixel{0, 0, 0, 255},
                                         Pixel{0, 0, 0, 0}));

TEST(AreaFilter, KeepsOpaquePixelsOfAnImageThatAlreadyFits) {
    std::mt19937 random(7);
    std::vector<std::uint8_t> source(64 * 64 * 4);
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = i % 4 == 3 ? 255 : static_cast<std::uint8_t>(random());
    }
    EXPECT_EQ(resampleArea(source.data(), 64, 64, 64, 64), source);
}

TEST(AreaFilter, FullyTransparentPixelsBecomeTransparentBlack) {
    std::vector<std::uint8_t> source(64 * 64 * 4);
    for (int i = 0; i < 64 * 64; ++i) {
        const bool transparent = i % 3 == 0;
        const Pixel p = transparent ? Pixel{200, 150, 100, 0} : Pixel{10, 20, 30, 255};
        std::copy(p.begin(), p.end(), source.begin() + i * 4);
    }
    const std::vector<std::uint8_t> out = resampleArea(source.data(), 64, 64, 64, 64);
    for (int i = 0; i < 64 * 64; ++i) {
        const Pixel expected = i % 3 == 0 ? Pixel{0, 0, 0, 0} : Pixel{10, 20, 30, 255};
        ASSERT_EQ(pixelAt(out, 64, i % 64, i / 64), expected) << "pixel " << i;
    }
}

// One line of the filter, along a row or along a column.
struct LineCase {
    const char* name;
    std::vector<Pixel> source;
    std::vector<Pixel> expected;
    friend void PrintTo(const LineCase& c, std::ostream* os) { *os << c.name; }
};

class AreaFilterLine : public testing::TestWithParam<LineCase> {
  protected:
    static std::vector<std::uint8_t> flatten(const std::vector<Pixel>& pixels) {
        std::vector<std::uint8_t> bytes;
        for (const Pixel& p : pixels)
            bytes.insert(bytes.end(), p.begin(), p.end());
        return bytes;
    }
};

TEST_P(AreaFilterLine, AlongARow) {
    const LineCase& c = GetParam();
    const int n = static_cast<int>(c.source.size()), m = static_cast<int>(c.expected.size());
    EXPECT_EQ(resampleArea(flatten(c.source).data(), n, 1, m, 1), flatten(c.expected));
}

TEST_P(AreaFilterLine, AlongAColumn) {
    const LineCase& c = GetParam();
    const int n = static_cast<int>(c.source.size()), m = static_cast<int>(c.expected.size());
    EXPECT_EQ(resampleArea(flatten(c.source).data(), 1, n, 1, m), flatten(c.expected));
}

// Worked by hand from the rule: colours weighted by alpha, alpha by coverage,
// every channel truncated.
INSTANTIATE_TEST_SUITE_P(
    Lines, AreaFilterLine,
    testing::Values(
        // Half red opaque, half blue transparent: no blue, half the alpha.
        LineCase{"transparent half", {{255, 0, 0, 255}, {0, 0, 255, 0}}, {{255, 0, 0, 127}}},
        // Green at a third of the alpha weighs a third: 127.5 / (2/3) = 191.25.
        LineCase{"weighted", {{255, 0, 0, 255}, {0, 255, 0, 85}}, {{191, 63, 0, 170}}},
        // Three to two: each target takes 2/3 and 1/3 of neighbouring sources.
        LineCase{"three to two",
                 {{10, 0, 0, 255}, {101, 0, 0, 255}, {201, 0, 0, 255}},
                 {{40, 0, 0, 255}, {167, 0, 0, 255}}},
        LineCase{"all transparent", {{9, 9, 9, 0}, {200, 100, 50, 0}}, {{0, 0, 0, 0}}},
        // Two to four: every source covers two targets.
        LineCase{"upsampled",
                 {{255, 0, 0, 255}, {0, 0, 255, 255}},
                 {{255, 0, 0, 255}, {255, 0, 0, 255}, {0, 0, 255, 255}, {0, 0, 255, 255}}}));

TEST(AreaFilter, AnImageWithoutPixelsBecomesTransparentBlack) {
    // An image kept outside the document arrives with sizes 0 and no pixels.
    const std::vector<std::uint8_t> out = resampleArea(nullptr, 0, 0, 32, 32);
    EXPECT_EQ(out, std::vector<std::uint8_t>(32 * 32 * 4, 0));
}

}  // namespace
}  // namespace tessaro
