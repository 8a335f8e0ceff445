// Small documents that ask for a great deal of work: each must end quickly, in little
// memory, with one clear message (or load, when the work is only made to look large),
// through the load that `tessaro-cli info` runs, which also measures the time and the
// peak memory. The inputs are generated.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "../peak_growth.h"
#include "test_files.h"
#include "xgl/document_info.h"
#include "xgl/messages.h"

namespace tessaro {
namespace {

using testing::validWorld;

const std::string kMaterial = "<mat id='1'><amb>1,1,1</amb><diff>1,1,1</diff></mat>";
const std::string kTriangle =
    "<mesh><f><matref>1</matref><fv1><p>0,0,0</p></fv1><fv2><p>1,0,0</p></fv2>"
    "<fv3><p>0,1,0</p></fv3></f></mesh>";

std::string repeat(const std::string& text, int times) {
    std::string out;
    out.reserve(text.size() * static_cast<std::size_t>(times));
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

std::string objectRefs(int id, int times) {
    return repeat("<objectref>" + std::to_string(id) + "</objectref>", times);
}

// `refs` references to a top-level object from inside `depth` nested objects: each
// reference is looked up through every level.
std::string nestedReferences(int depth, int refs) {
    return validWorld(kMaterial + "<object id='1'>" + kTriangle + "</object>" +
                      repeat("<object>", depth) + objectRefs(1, refs) + repeat("</object>", depth));
}

// Each level refers `fan` times to the level below: fan^levels parts of `partFaces`
// faces per frame.
std::string fanOut(int levels, int fan, int partFaces = 1) {
    std::string body = kMaterial + "<object id='1'><mesh>" +
                       repeat(
                           "<f><matref>1</matref><fv1><p>0,0,0</p></fv1><fv2><p>1,0,0</p></fv2>"
                           "<fv3><p>0,1,0</p></fv3></f>",
                           partFaces) +
                       "</mesh></object>";
    for (int level = 2; level <= levels + 1; ++level)
        body += "<object id='" + std::to_string(level) + "'>" + objectRefs(level - 1, fan) +
                "</object>";
    return validWorld(body + objectRefs(levels + 1, 1));
}

// IDs that are all multiples of 2^14 shared every home slot and probe step of the
// fixed hashes: each definition probed past all the earlier ones.
std::string collidingIds(int count) {
    std::string materials;
    std::string positions;
    for (int i = 1; i <= count; ++i) {
        const std::string id = std::to_string(i << 14);
        materials += "<mat id='" + id + "'><amb>1,1,1</amb><diff>1,1,1</diff></mat>";
        positions += "<p id='" + id + "'>" + std::to_string(i) + ",0,0</p>";
    }
    const std::string last = std::to_string(count << 14);
    return validWorld(materials + "<mesh>" + positions + "<f><matref>" + last +
                      "</matref><fv1><pref>16384</pref></fv1><fv2><pref>32768</pref></fv2>"
                      "<fv3><pref>" +
                      last + "</pref></fv3></f></mesh>");
}

struct Case {
    const char* name;
    std::string (*document)();
    const char* message;  // empty: the document is valid
};

const Case kCases[] = {
    {"DeeplyNestedReferences", [] { return nestedReferences(5000, 50000); }, kLookupLimitReached},
    {"FanOutOfTenMillionDraws", [] { return fanOut(7, 10); }, kInstanceLimitReached},
    // 2,000 faces drawn 10,000 times: few objects, but 20 million faces a frame.
    {"LargePartInstancedOften", [] { return fanOut(2, 100, 2000); }, kInstanceLimitReached},
    {"IdsCraftedToCollide", [] { return collidingIds(131000); }, ""},
    // What people make stays well inside the bounds.
    {"ModeratelyNestedReferences", [] { return nestedReferences(200, 5000); }, ""},
    {"GridOfTenThousandInstances", [] { return fanOut(2, 100); }, ""},
    {"PartOfFortyFacesInstancedTenThousandTimes", [] { return fanOut(2, 100, 40); }, ""},
};

using test_support::PeakGrowth;

class HostileDocuments : public ::testing::TestWithParam<Case> {};

TEST_P(HostileDocuments, EndQuicklyInLittleMemoryWithOneMessage) {
    const Case& c = GetParam();
    testing::TempDir dir;
    const std::string path = dir.file("hostile.zgl");
    testing::writeFile(path, testing::deflateText(c.document()));

    const PeakGrowth memory;
    const DocumentInfo info = describeDocument(path.c_str());
    EXPECT_EQ(info.load.message, c.message);
    EXPECT_EQ(info.load.loaded(), *c.message == '\0');
    EXPECT_LT(info.seconds, 5.0);
    EXPECT_LT(memory.bytes(), std::uint64_t{256} << 20);
}

INSTANTIATE_TEST_SUITE_P(Documents, HostileDocuments, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessaro
