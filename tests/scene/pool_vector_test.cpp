#include "scene/pool_vector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace tessaro {
namespace {

PoolVector<std::uint32_t> filled(std::uint32_t n) {
    PoolVector<std::uint32_t> v;
    for (std::uint32_t i = 0; i < n; ++i)
        v.append(i);
    return v;
}

TEST(PoolVector, AppendGrowsFromSixteenByDoubling) {
    PoolVector<std::uint32_t> v;
    EXPECT_EQ(v.capacity(), 0u);
    EXPECT_EQ(v.data(), nullptr);
    EXPECT_EQ(v.append(7), 0u);
    EXPECT_EQ(v.capacity(), 16u);
    for (std::uint32_t i = 1; i < 16; ++i)
        EXPECT_EQ(v.append(i), i);
    EXPECT_EQ(v.capacity(), 16u);
    EXPECT_EQ(v.append(99), 16u);
    EXPECT_EQ(v.capacity(), 32u);
    EXPECT_EQ(v[0], 7u);
    EXPECT_EQ(v.top(), 99u);
}

struct CountCase {
    std::uint32_t start;
    bool autoShrink;
    std::uint32_t target;
    std::uint32_t expectedCapacity;
};

class PoolVectorSetCount : public testing::TestWithParam<CountCase> {};

TEST_P(PoolVectorSetCount, FollowsCapacityRules) {
    const CountCase& c = GetParam();
    auto v = filled(c.start);
    v.setAutoShrink(c.autoShrink);
    ASSERT_TRUE(v.setCount(c.target));
    EXPECT_EQ(v.count(), c.target);
    EXPECT_EQ(v.capacity(), c.expectedCapacity);
    const std::uint32_t kept = c.start < c.target ? c.start : c.target;
    for (std::uint32_t i = 0; i < kept; ++i)
        ASSERT_EQ(v[i], i);
}

INSTANTIATE_TEST_SUITE_P(Table, PoolVectorSetCount,
                         testing::Values(CountCase{0, true, 1000, 1024},
                                         CountCase{100, true, 10, 16},
                                         CountCase{100, false, 10, 128},
                                         CountCase{100, true, 64, 128},
                                         CountCase{100, true, 63, 64}, CountCase{17, true, 0, 16},
                                         CountCase{20, true, 33, 64}));

struct PopCase {
    std::uint32_t count;
    std::uint32_t capacity;
    std::uint32_t expectedCapacity;
};

class PoolVectorPop : public testing::TestWithParam<PopCase> {};

TEST_P(PoolVectorPop, ShrinksToTheNewCountNotAPowerOfTwo) {
    const PopCase& c = GetParam();
    PoolVector<std::uint32_t> v;
    v.setAutoShrink(false);
    v.setCount(c.capacity);
    v.setCount(c.count);
    for (std::uint32_t i = 0; i < c.count; ++i)
        v[i] = i;
    ASSERT_EQ(v.capacity(), c.capacity);
    v.setAutoShrink(true);
    EXPECT_EQ(v.pop(), c.count - 1);
    EXPECT_EQ(v.count(), c.count - 1);
    EXPECT_EQ(v.capacity(), c.expectedCapacity);
    for (std::uint32_t i = 0; i + 1 < c.count; ++i)
        ASSERT_EQ(v[i], i);
}

INSTANTIATE_TEST_SUITE_P(Table, PoolVectorPop,
                         testing::Values(PopCase{40, 128, 39}, PopCase{20, 64, 19},
                                         PopCase{10, 64, 16}, PopCase{40, 64, 64},
                                         PopCase{1, 16, 16}));

TEST(PoolVector, ClearFallsBackToSixteenAndNeverAllocatesFromNothing) {
    auto v = filled(40);
    ASSERT_EQ(v.capacity(), 64u);
    v.clear();
    EXPECT_EQ(v.count(), 0u);
    EXPECT_EQ(v.capacity(), 16u);

    PoolVector<std::uint32_t> empty;
    empty.clear();
    EXPECT_EQ(empty.capacity(), 0u);
    EXPECT_EQ(empty.data(), nullptr);

    auto kept = filled(40);
    kept.setAutoShrink(false);
    kept.clear();
    EXPECT_EQ(kept.capacity(), 64u);
}

TEST(PoolVector, CountOfAndMoveKeepElements) {
    PoolVector<int> v;
    for (int x : {3, 1, 3, 3, 2})
        v.append(x);
    EXPECT_EQ(v.countOf(3), 3u);
    EXPECT_EQ(v.countOf(5), 0u);
    PoolVector<int> moved(std::move(v));
    EXPECT_EQ(v.count(), 0u);
    EXPECT_EQ(moved.count(), 5u);
    EXPECT_EQ(std::vector<int>(moved.begin(), moved.end()), (std::vector<int>{3, 1, 3, 3, 2}));
}

TEST(PoolVector, RefusesCountsBeyondThirtyTwoBits) {
    PoolVector<char> v;
    EXPECT_FALSE(v.setCount(std::uint64_t{1} << 33));
    EXPECT_EQ(v.count(), 0u);
    EXPECT_EQ(v.capacity(), 0u);
}

}  // namespace
}  // namespace tessaro
