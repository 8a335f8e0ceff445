#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "render/png.h"

namespace tessaro {
namespace {

class PngFile : public testing::Test {
  protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        m_path = (std::filesystem::temp_directory_path() /
                  (std::string("tessaro_png_") + info->name() + ".png"))
                     .string();
    }
    void TearDown() override { std::remove(m_path.c_str()); }

    std::string m_path;
};

TEST_F(PngFile, RoundTripKeepsEveryPixel) {
    for (const auto& [width, height] : {std::pair{1, 1}, std::pair{3, 2}, std::pair{64, 17}}) {
        RgbImage image{width, height, std::vector<std::uint8_t>(width * height * 3)};
        std::mt19937 random(width * 131 + height);
        for (auto& byte : image.pixels)
            byte = static_cast<std::uint8_t>(random());
        ASSERT_TRUE(writePng(m_path, image)) << width << "x" << height;
        RgbImage back;
        ASSERT_TRUE(readPng(m_path, back)) << width << "x" << height;
        EXPECT_EQ(back.width, width);
        EXPECT_EQ(back.height, height);
        EXPECT_EQ(back.pixels, image.pixels) << width << "x" << height;
    }
}

TEST_F(PngFile, RefusesAnImageWhosePixelsDoNotMatchItsSize) {
    const RgbImage image{4, 4, std::vector<std::uint8_t>(4 * 4 * 3 - 1)};
    EXPECT_FALSE(writePng(m_path, image));
    EXPECT_FALSE(writePng(m_path, RgbImage{0, 4, {}}));
}

TEST_F(PngFile, RefusesAFileThatIsNotAPng) {
    std::ofstream(m_path, std::ios::binary) << "not a picture at all, only some words";
    RgbImage image;
    EXPECT_FALSE(readPng(m_path, image));
    EXPECT_FALSE(readPng(m_path + ".missing", image));
}

TEST_F(PngFile, RefusesATruncatedFile) {
    RgbImage image{8, 8, std::vector<std::uint8_t>(8 * 8 * 3, 77)};
    ASSERT_TRUE(writePng(m_path, image));
    std::filesystem::resize_file(m_path, std::filesystem::file_size(m_path) - 20);
    RgbImage back;
    EXPECT_FALSE(readPng(m_path, back));
}

}  // namespace
}  // namespace tessaro
