#include "scene/chunk_plan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace tessaro {
namespace {

constexpr PrimitiveKind F = PrimitiveKind::faces;
constexpr PrimitiveKind L = PrimitiveKind::lines;
constexpr PrimitiveKind P = PrimitiveKind::points;

// One expected chunk: kind, local number, then first/count of faces, lines and points.
struct Expected {
    PrimitiveKind kind;
    std::uint32_t local;
    std::uint32_t ranges[3][2];
};

struct PlanCase {
    std::uint32_t faces, lines, points;
    std::vector<Expected> chunks;
    friend void PrintTo(const PlanCase& c, std::ostream* os) {
        *os << c.faces << " faces, " << c.lines << " lines, " << c.points << " points";
    }
};

class ChunkPlanTable : public testing::TestWithParam<PlanCase> {};

TEST_P(ChunkPlanTable, CutsAndNumbersChunks) {
    const PlanCase& c = GetParam();
    const ChunkPlan plan = planChunks(c.faces, c.lines, c.points);
    ASSERT_EQ(plan.total, c.chunks.size());
    for (std::uint32_t i = 0; i <= plan.total; ++i) {
        const MeshChunk chunk = chunkAt(plan, i);
        const Expected e = i < plan.total ? c.chunks[i] : Expected{F, 0, {}};
        EXPECT_EQ(chunk.kind, e.kind) << "chunk " << i;
        EXPECT_EQ(chunk.localIndex, e.local) << "chunk " << i;
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(chunk.ranges[k].first, e.ranges[k][0]) << "chunk " << i << " kind " << k;
            EXPECT_EQ(chunk.ranges[k].count, e.ranges[k][1]) << "chunk " << i << " kind " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ChunkPlanTable,
    testing::Values(
        PlanCase{0, 0, 0, {}}, PlanCase{500, 0, 0, {{F, 0, {{0, 500}, {}, {}}}}},
        PlanCase{99998, 300, 0, {{F, 0, {{0, 99998}, {0, 300}, {}}}}},
        PlanCase{99999, 0, 0, {{F, 0, {{0, 49999}, {}, {}}}, {F, 1, {{49999, 50000}, {}, {}}}}},
        PlanCase{250000,
                 500,
                 0,
                 {{F, 0, {{0, 83333}, {0, 500}, {}}},
                  {F, 1, {{83333, 83333}, {}, {}}},
                  {F, 2, {{166666, 83334}, {}, {}}}}},
        PlanCase{99998,
                 200000,
                 7,
                 {{L, 0, {{0, 99998}, {0, 100000}, {0, 7}}}, {L, 1, {{}, {100000, 100000}, {}}}}},
        PlanCase{212500,
                 9,
                 150000,
                 {{F, 0, {{0, 70833}, {0, 9}, {}}},
                  {F, 1, {{70833, 70833}, {}, {}}},
                  {F, 2, {{141666, 70834}, {}, {}}},
                  {P, 0, {{}, {}, {0, 75000}}},
                  {P, 1, {{}, {}, {75000, 75000}}}}}));

}  // namespace
}  // namespace tessaro
