#include "document/scene_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "document/headless_render.h"

namespace tessaro {
namespace {

const std::string kValidWorld =
    "<world><lighting><ambient>1 1 1</ambient></lighting>"
    "<background><backcolor>0 0 0</backcolor></background>"
    "<mesh><mat id='1'><amb>1 0 0</amb><diff>0 0 0</diff></mat>"
    "<f><matref>1</matref><fv1><p>0 0 0</p></fv1><fv2><p>2 0 0</p></fv2>"
    "<fv3><p>2 1 0.5</p></fv3></f></mesh></world>";

struct LoadCase {
    const char* name;
    const char* fileName;  // written into a fresh folder unless it is "missing.xgl"
    std::string content;
    bool drawn;
    std::string message;
    bool white;
};

void PrintTo(const LoadCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadPath : public ::testing::TestWithParam<LoadCase> {};

bool allWhite(const RgbImage& picture) {
    for (std::uint8_t v : picture.pixels) {
        if (v != 255) return false;
    }
    return !picture.pixels.empty();
}

TEST_P(LoadPath, DrawsReportsOrDoesNothing) {
    const LoadCase& c = GetParam();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("tessaro-load-" + std::string(c.name));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / c.fileName).string();
    if (std::string(c.fileName) != "missing.xgl") std::ofstream(path) << c.content;

    RgbImage picture;
    const LoadResult result = renderDocument(path, 40, 30, picture);
    std::filesystem::remove_all(folder);
    // A file that cannot be opened draws a white picture and shows no message.
    const bool drawn = !picture.pixels.empty();
    const std::string shown = result.status == LoadStatus::invalid ? result.message : "";
    EXPECT_EQ(drawn, c.drawn) << result.message;
    EXPECT_EQ(shown, c.message);
    if (drawn) {
        EXPECT_EQ(allWhite(picture), c.white);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoadPath,
    ::testing::Values(LoadCase{"Valid", "scene.XGL", kValidWorld, true, "", false},
                      LoadCase{"OtherExtension", "scene.xgl.bak", kValidWorld, true, "", true},
                      LoadCase{"NoDot", "scene", kValidWorld, true, "", true},
                      LoadCase{"Unopenable", "missing.xgl", "", true, "", true},
                      LoadCase{"ErrorMidFile", "broken.xgl",
                               "<world><lighting><ambient>1 1 1</ambient></lighting><p/></world>",
                               false, "61: Tag Inappropriate in current context", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FitView, CentresTheWorldBoxInACubeOfItsDiagonal) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "tessaro-fit.xgl";
    std::ofstream(file) << kValidWorld;
    RgbImage picture;
    ASSERT_TRUE(renderDocument(file.string(), 40, 30, picture).loaded());
    std::filesystem::remove(file);
    double centre[3], size[3];
    viewState().getViewBox(centre, size);
    const double r = 2 * std::sqrt(3.0) / 2;  // the largest extent is 2 (x)
    for (int i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(centre[i], 0);
        EXPECT_DOUBLE_EQ(size[i], 2 * r);
    }
}

}  // namespace
}  // namespace tessaro
