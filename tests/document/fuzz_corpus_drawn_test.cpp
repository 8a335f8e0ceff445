// The read-path fuzzer's corpus, drawn: every input it kept is loaded by the drawing
// consumer on a small surface and turned, so the renderer meets the same hostile
// documents as the reader. The drawing load must end as the validating load does
// (the same status and message) and draw exactly when it loaded.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "document/headless_render.h"
#include "render/renderer.h"
#include "scene/scene_consumer.h"
#include "xgl/scene_load_context.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 24, kHeight = 18;

// The fuzzer's first byte says how the rest is read; bit 0 marks a zlib stream.
fs::path writeDocument(const fs::path& input, const fs::path& folder) {
    std::ifstream in(input, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
    const bool compressed = !bytes.empty() && (bytes[0] & 1) != 0;
    const fs::path document = folder / (compressed ? "input.zgl" : "input.xgl");
    std::ofstream out(document, std::ios::binary | std::ios::trunc);
    if (!bytes.empty()) out.write(bytes.data() + 1, std::streamsize(bytes.size() - 1));
    return document;
}

TEST(FuzzCorpusDrawn, EveryInputDrawsAsItLoads) {
    // A folder of this process's own: another run of the suite may draw at the same time.
    const fs::path folder =
        fs::temp_directory_path() / ("tessaro-corpus-drawn-" + std::to_string(getpid()));
    fs::create_directories(folder);
    int drawn = 0, inputs = 0;
    for (const auto& entry : fs::directory_iterator(TESSARO_FUZZ_CORPUS)) {
        const std::string path = writeDocument(entry.path(), folder).string();
        ValidatingConsumer validating;
        const LoadResult checked = loadDocument(path.c_str(), validating);
        RgbImage picture;
        const LoadResult result = renderDocument(path, kWidth, kHeight, picture, [] {
            double forward[3], up[3];
            viewState().getOrientation(forward, up);
            // A quarter turn about the view's vertical: the far side faces the viewer.
            const double turned[3] = {forward[2], forward[1], -forward[0]};
            const double turnedUp[3] = {up[2], up[1], -up[0]};
            viewState().setOrientation(turned, turnedUp);
        });
        ++inputs;
        const std::string name = entry.path().filename().string();
        ASSERT_EQ(result.status, checked.status) << name << ": " << result.message;
        ASSERT_EQ(result.message, checked.message) << name;
        if (result.loaded()) {
            ASSERT_EQ(picture.pixels.size(), std::size_t(kWidth * kHeight * 3)) << name;
            ++drawn;
        }
    }
    fs::remove_all(folder);
    EXPECT_GT(inputs, 100);
    EXPECT_GT(drawn, 10);
    std::printf("%d of %d corpus inputs loaded and drawn\n", drawn, inputs);
}

}  // namespace
}  // namespace tessaro
