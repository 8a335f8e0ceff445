#include "scene/id_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <unordered_map>

namespace tessaro {
namespace {

TEST(IdIndex, DoublesBeforeTheLoadReachesSevenEighths) {
    struct Row {
        std::uint32_t inserted, keyCapacity, slotCount;
    };
    for (const Row& r : {Row{0, 0, 0}, Row{1, 28, 32}, Row{28, 28, 32}, Row{29, 56, 64},
                         Row{56, 56, 64}, Row{57, 112, 128}, Row{1000, 1792, 2048}}) {
        IdIndex index;
        for (std::uint32_t i = 0; i < r.inserted; ++i)
            ASSERT_EQ(index.insert(i * 7919 + 3), i);
        EXPECT_EQ(index.keyCapacity(), r.keyCapacity) << r.inserted;
        EXPECT_EQ(index.slotCount(), r.slotCount) << r.inserted;
        for (std::uint32_t i = 0; i < r.inserted; ++i)
            ASSERT_EQ(index.find(i * 7919 + 3), i);
    }
}

// IDs that differ only above bit `shift` share their home slot and their probe step.
TEST(IdIndex, KeepsIdsSharingTheirLowBitsApart) {
    for (std::uint32_t shift : {5u, 12u, 20u, 24u}) {
        const std::uint32_t n = std::min(600u, (1u << (32 - shift)) - 1);
        const auto id = [shift](std::uint32_t i) { return ((i + 1) << shift) | 5; };
        IdIndex index;
        for (std::uint32_t i = 0; i < n; ++i)
            ASSERT_EQ(index.insert(id(i)), i) << shift;
        for (std::uint32_t i = 0; i < n; ++i)
            ASSERT_EQ(index.find(id(i)), i) << shift;
        EXPECT_EQ(index.find(5), IdIndex::kNotFound);  // same low bits, never inserted
    }
}

TEST(IdIndex, AgreesWithAMapOnRepeatedAndExtremeIds) {
    IdIndex index;
    std::unordered_map<std::uint32_t, std::uint32_t> model;
    EXPECT_EQ(index.find(0), IdIndex::kNotFound);
    std::mt19937 random(11);
    for (int step = 0; step < 20000; ++step) {
        std::uint32_t id = random() % 4 == 0 ? random() % 64 : random();
        if (step % 1000 == 0) id = step % 2000 == 0 ? 0 : 0xFFFFFFFFu;
        const auto it = model.try_emplace(id, std::uint32_t(model.size())).first;
        ASSERT_EQ(index.insert(id), it->second) << step;
    }
    EXPECT_EQ(index.count(), model.size());
    for (const auto& [id, position] : model)
        ASSERT_EQ(index.find(id), position);
}

TEST(IdIndex, ReserveSizesBothArraysTogetherSoNoInsertionGrowsThem) {
    IdIndex index;
    ASSERT_TRUE(index.reserve(3000));
    EXPECT_EQ(index.keyCapacity(), 28u * 128);
    for (std::uint32_t i = 0; i < 28 * 128; ++i)
        ASSERT_EQ(index.insert(i), i);
    EXPECT_EQ(index.slotCount(), 32u * 128);
    EXPECT_FALSE(index.reserve(10));
}

}  // namespace
}  // namespace tessaro
