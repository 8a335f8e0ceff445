#include "scene/spill_array.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace tessaro {
namespace {

struct Rec {
    std::uint32_t id;
    float x, y, z;
};
static_assert(sizeof(Rec) == 16);

Rec rec(std::uint32_t v) {
    return {v, float(v), float(v) * 0.5f, -float(v)};
}

bool same(const Rec* a, const Rec& b) {
    return a != nullptr && a->id == b.id && a->x == b.x && a->y == b.y && a->z == b.z;
}

// Fills the array the way the loader does: grow by one, then write the open record.
void appendAll(SpillArray<Rec>& array, std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; ++i) {
        ASSERT_TRUE(array.setCount(i + 1));
        *array.at(i) = rec(i);
    }
}

TEST(SpillArray, SpillsExactlyAtTheLimitAndKeepsEveryRecord) {
    struct Row {
        std::uint32_t limit, count;
        bool onDisk;
    };
    for (const Row& r : {Row{64, 63, false}, Row{64, 64, true}, Row{64, 65, true}, Row{1, 1, true},
                         Row{65536, 70000, true}}) {
        SpillArray<Rec> array;
        array.reset(r.limit, "vts");
        appendAll(array, r.count);
        EXPECT_EQ(array.onDisk(), r.onDisk) << r.count;
        ASSERT_EQ(array.size(), r.count);
        for (std::uint32_t i = 0; i < r.count; ++i)
            ASSERT_TRUE(same(array.at(i), rec(i))) << i;
        EXPECT_EQ(array.at(r.count), nullptr);
    }
}

// Random reads and writes through every access path against a plain vector, in memory
// and spilled. The table spans more blocks than the cache holds, so blocks are evicted
// dirty and clean, and runs are read across blocks that are and are not cached.
TEST(SpillArray, AgreesWithAPlainVectorInMemoryAndSpilled) {
    constexpr std::uint32_t kCount =
        (SpillArrayBase::kCacheBlocks + 3) * SpillArrayBase::kBlockRecords + 17;
    for (std::uint32_t limit : {kCount + 1, 8u, 1u}) {
        SpillArray<Rec> array;
        array.reset(limit, "nrs");
        appendAll(array, kCount);
        std::vector<Rec> model(kCount);
        for (std::uint32_t i = 0; i < kCount; ++i)
            model[i] = rec(i);
        std::mt19937 random(7);
        for (std::uint32_t step = 0; step < 20000; ++step) {
            const std::uint32_t i = random() % kCount, value = kCount + step;
            std::vector<Rec> out(random() % std::min(kCount - i, 3000u));
            switch (random() % 5) {
                case 0:
                    *array.at(i) = model[i] = rec(value);
                    break;
                case 1:
                    ASSERT_TRUE(array.store(i, model[i] = rec(value)));
                    break;
                case 2:
                    ASSERT_TRUE(same(array.peek(i), model[i])) << step;
                    break;
                case 3:
                    ASSERT_TRUE(same(array.at(i), model[i])) << step;
                    break;
                default:
                    ASSERT_TRUE(array.copyOut(i, out.size(), out.data()));
                    for (std::size_t k = 0; k < out.size(); ++k)
                        ASSERT_TRUE(same(&out[k], model[i + k])) << step;
            }
        }
        EXPECT_EQ(array.onDisk(), limit <= kCount);
    }
}

TEST(SpillArray, KeepsAWriteThroughAtAfterAPeekOfTheSameRecord) {
    SpillArray<Rec> array;
    array.reset(1, "tcs");
    appendAll(array, 10);
    array.peek(5);
    array.at(5)->id = 555;
    array.peek(6);
    EXPECT_EQ(array.peek(5)->id, 555u);
}

TEST(SpillArray, ShrinkingDropsACachedRecordBeyondTheCountAndResetReturnsToMemory) {
    SpillArray<Rec> array;
    array.reset(1, "points");
    appendAll(array, 10);
    array.at(8)->id = 88;
    ASSERT_TRUE(array.setCount(5));
    ASSERT_TRUE(array.setCount(10));
    EXPECT_TRUE(same(array.peek(8), Rec{}));
    EXPECT_TRUE(same(array.peek(4), rec(4)));
    EXPECT_STREQ(array.prefix(), "poi");
    array.reset(50, "Cvt");
    EXPECT_FALSE(array.onDisk());
    EXPECT_EQ(array.size(), 0u);
    appendAll(array, 3);
    EXPECT_TRUE(same(array.at(2), rec(2)));
}

TEST(SpillArray, IndexTimesRecordSizeBeyondThirtyTwoBitsReachesItsOwnRecord) {
    struct Wide {
        unsigned char bytes[64];
    };
    const std::uint32_t high = (1u << 26) + 1;  // high * 64 cut to 32 bits is 1 * 64
    SpillArray<Wide> array;
    array.reset(1, "big");
    ASSERT_TRUE(array.setCount(high + 1));  // a sparse file of just over 4 GiB
    std::memset(array.at(1)->bytes, 0xAA, 64);
    std::memset(array.at(high)->bytes, 0xBB, 64);
    EXPECT_EQ(array.at(1)->bytes[63], 0xAA);
    EXPECT_EQ(array.at(high)->bytes[0], 0xBB);
}

}  // namespace
}  // namespace tessaro
