// What a paint spends: each kept image decoded once, and a stream of images that declare
// (or turn out to hold) far more pixels than their bytes decodes no more than its
// allowance, whether the size is known before decoding or only after; clips paid for by
// the rows their edges cross.
#include <gtest/gtest.h>

#include <cmath>

#include "dwf/paint_work.h"

namespace plotwick {
namespace {

// A raster's "decoded" picture is its pixel count; `columns` stands for what its header
// declares (0: unknown) and `rows` for what decoding finds.
struct CountingCodec {
    static inline int decodes = 0;
    static std::uint64_t declaredPixels(const RasterImage& raster) {
        return std::uint64_t(raster.columns);
    }
    static std::uint64_t decode(const RasterImage& raster) {
        ++decodes;
        return std::uint64_t(raster.rows);
    }
    static std::uint64_t pixelsOf(std::uint64_t pixels) { return pixels; }
};

RasterImage raster(int declared, int found) {
    RasterImage image;
    image.encoding = RasterImage::Encoding::jpeg;
    image.columns = declared;
    image.rows = found;
    image.bytes.assign(1000, 0);
    return image;
}

TEST(ImageBook, DecodesEachImageOnceAndNoMoreThanTheAllowance) {
    constexpr int kLarge = 16'000'000;
    const struct {
        const char* name;
        int declared;
        int found;
    } cases[] = {
        {"size known from the header", kLarge, kLarge},
        {"size known only after decoding", 0, kLarge},
        {"header declaring less than it holds", 1, kLarge},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<RasterImage> images(100, raster(c.declared, c.found));
        const std::uint64_t allowance = imageAllowanceOf(images);
        ImageBook<CountingCodec> book(images);
        CountingCodec::decodes = 0;
        int drawn = 0;
        for (int copy = 0; copy < 3; ++copy)
            for (int detail = 0; detail < 100; ++detail)
                drawn += book.find(detail) != nullptr;
        const int affordable = static_cast<int>(allowance / kLarge);
        EXPECT_LE(CountingCodec::decodes, affordable + 1);
        EXPECT_GE(drawn, affordable - 1) << "what the allowance pays for is drawn";
        EXPECT_LT(drawn, 100);
    }
    // Small images, drawn again and again, stay kept.
    const std::vector<RasterImage> small(3, raster(100, 100));
    ImageBook<CountingCodec> book(small);
    CountingCodec::decodes = 0;
    for (int copy = 0; copy < 1000; ++copy)
        EXPECT_NE(book.find(copy % 3), nullptr);
    EXPECT_EQ(CountingCodec::decodes, 3);
    EXPECT_EQ(book.find(3), nullptr);
    EXPECT_EQ(book.find(-1), nullptr);
}

// What setting a clip costs is the rows its edges cross on the device, whatever its
// number of points: a convex ring twice its height, a zig-zag its points times it.
TEST(ClipWork, PaysForTheRowsAClipsEdgesCross) {
    Clip round, zigzag;
    round.contours.emplace_back();
    zigzag.contours.emplace_back();
    for (int i = 0; i < 400; ++i) {
        const double turn = 2 * 3.141592653589793 * i / 400;
        round.contours[0].push_back(
            {std::lround(500 + 400 * std::cos(turn)), std::lround(500 + 400 * std::sin(turn))});
    }
    for (int i = 0; i < 5000; ++i)
        zigzag.contours[0].push_back({i, i % 2 ? 1000 : 0});
    // Logical 0..1000 upwards onto 500 rows downwards.
    const DeviceRows device{0, -0.5, 500, 500};
    const std::uint64_t roundRows = clipRowsOf(round, device);
    EXPECT_GE(roundRows, 800u);
    EXPECT_LE(roundRows, 800u + 400u);
    EXPECT_GE(clipRowsOf(zigzag, device), 5000u * 500u);
    EXPECT_EQ(clipRowsOf(zigzag, {0, -0.5, 500, 100}), 5000u * 101u) << "rows off the device";

    const std::vector<Clip> clips{round, zigzag};
    ClipWork work(clips, device);
    EXPECT_TRUE(work.affords(1)) << "one zig-zag";
    EXPECT_FALSE(work.affords(1)) << "but not again and again";
    for (int i = 0; i < 1000; ++i)
        ASSERT_TRUE(work.affords(0)) << "the round clip, set " << i + 1 << " times";
    EXPECT_TRUE(work.affords(-1));
}

}  // namespace
}  // namespace plotwick
