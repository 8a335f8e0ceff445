#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "recording_consumer.h"
#include "test_files.h"
#include "xgl/scene_load_context.h"

namespace tessaro {
namespace {

using testing::inWorld;
using testing::TextStream;
using testing::validWorld;

using testing::RecordingConsumer;

struct Load {
    explicit Load(const std::string& document) {
        TextStream stream(document);
        context.parse(stream, nullptr);
    }
    std::string firstError() const { return consumer.errors.empty() ? "" : consumer.errors[0]; }

    RecordingConsumer consumer;
    SceneLoadContext context{consumer};
};

const std::string kRefs = "<ref>a.xgl</ref><reftype>xgl</reftype>";
const std::string kExtents = "<extents>0 0 0 1 1 1</extents>";
const std::string kTransform =
    "<transform><forward>0 0 1</forward><up>0 1 0</up><position>0 0 0</position></transform>";

std::string include(const std::string& content, const std::string& attributes = "") {
    return "<include" + attributes + ">" + content + "</include>";
}
std::string element(const std::string& content, const std::string& attributes = " type='t'") {
    return "<extgeomelem" + attributes + ">" + content + "</extgeomelem>";
}
std::string extGeom(const std::string& content) {
    return inWorld("<object><extgeom org='o'>" + content + "</extgeom></object>");
}
const std::string kDataAndExtents =
    "<extgeomelemdata>0A0B</extgeomelemdata><extgeomelemextents>0 0 0 1 1 1</extgeomelemextents>";

struct MessageCase {
    const char* name;
    std::string document;
    int message;  // 0: accepted
};

class IncludeMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(IncludeMessages, RaiseTheFirstMessageOrNone) {
    const Load load(GetParam().document);
    const char* expected = GetParam().message == 0 ? "" : messageText(GetParam().message);
    EXPECT_EQ(load.firstError(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    IncludedObjects, IncludeMessages,
    ::testing::Values(
        MessageCase{"WithoutExtents", inWorld(include(kRefs)), 116},
        MessageCase{"WithoutRef", inWorld(include(kExtents + "<reftype>x</reftype>")), 117},
        MessageCase{"WithoutReftype", inWorld(include(kExtents + "<ref>a</ref>")), 119},
        MessageCase{"WithTwoTransforms",
                    inWorld(include(kRefs + kExtents + kTransform + kTransform)), 120},
        MessageCase{"MaxBelowMin", inWorld(include("<extents>2 0 0 1 1 1</extents>")), 121},
        MessageCase{"FiveExtents", inWorld(include("<extents>0 0 0 1 1</extents>")), 118},
        MessageCase{"SamePathIdAsASiblingInclude",
                    inWorld(include(kRefs + kExtents, " pathid='5'") +
                            include(kRefs + kExtents, " pathid='5'")),
                    172},
        MessageCase{"SamePathIdAsASiblingObject",
                    inWorld("<object><object pathid='5'/>" +
                            include(kRefs + kExtents, " pathid='5'") + "</object>"),
                    172},
        MessageCase{"AfterAWorldMesh", inWorld("<mesh/>" + include(kRefs + kExtents)), 126},
        MessageCase{"InAnObjectWithAMesh",
                    inWorld("<object><mesh/>" + include(kRefs + kExtents) + "</object>"), 33},
        MessageCase{"SamePathIdUnderDifferentParents",
                    validWorld(include(kRefs + kExtents, " pathid='5'") + "<object>" +
                               include(kRefs + kExtents, " pathid='5'") + "</object>"),
                    0},
        MessageCase{"StaticWithEqualMinAndMax",
                    validWorld("<includestatic>" + kRefs +
                               "<extents>1 1 1 1 1 1</extents></includestatic>"),
                    0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ExternalImages, IncludeMessages,
    ::testing::Values(
        MessageCase{"InWorldWithoutId",
                    inWorld("<includetexturebuffer>" + kRefs + "</includetexturebuffer>"), 21},
        MessageCase{"WithIdInTexture",
                    inWorld("<texture id='1'><includetexturebuffer id='2'>" + kRefs +
                            "</includetexturebuffer></texture>"),
                    21},
        MessageCase{"WithoutRef",
                    inWorld("<includetexturebuffer id='1'><reftype>x</reftype>"
                            "</includetexturebuffer>"),
                    173},
        MessageCase{"WithoutReftype",
                    inWorld("<includetexturebuffer id='1'><ref>a</ref></includetexturebuffer>"),
                    174},
        MessageCase{"IdIsNotReadInASphereMap",
                    inWorld("<lighting><ambient>0 0 0</ambient><spheremap>"
                            "<includetexturebuffer id='3'>" +
                            kRefs +
                            "</includetexturebuffer></spheremap></lighting>"
                            "<background><backcolor>0 0 0</backcolor></background>"),
                    0}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ExternalGeometry, IncludeMessages,
    ::testing::Values(
        MessageCase{"WithoutOrg", inWorld("<object><extgeom/></object>"), 168},
        MessageCase{"OtherAttribute", inWorld("<object><extgeom org='o' kind='k'/></object>"), 169},
        MessageCase{"ElementWithoutType", extGeom(element(kDataAndExtents, "")), 155},
        MessageCase{"ElementWithOtherAttribute", extGeom(element(kDataAndExtents, " kind='k'")),
                    156},
        MessageCase{"ElementWithoutExtents",
                    extGeom(element("<extgeomelemdata>00</extgeomelemdata>")), 158},
        MessageCase{"ElementWithoutData",
                    extGeom(element("<extgeomelemextents>0 0 0 1 1 1</extgeomelemextents>")), 158},
        MessageCase{"TwoData",
                    extGeom(element(kDataAndExtents + "<extgeomelemdata>00"
                                                      "</extgeomelemdata>")),
                    159},
        MessageCase{"OddData", extGeom(element("<extgeomelemdata>0A 0</extgeomelemdata>")), 160},
        MessageCase{"TabInData", extGeom(element("<extgeomelemdata>0\t0B</extgeomelemdata>")), 122},
        MessageCase{"TwoExtents",
                    extGeom(element(kDataAndExtents +
                                    "<extgeomelemextents>0 0 0 1 1 1</extgeomelemextents>")),
                    162},
        MessageCase{"TwoPriorities",
                    extGeom(element("<extgeomelempriority>1</extgeomelempriority>"
                                    "<extgeomelempriority>1</extgeomelempriority>")),
                    164},
        MessageCase{"PriorityNotANumber",
                    extGeom(element("<extgeomelempriority>high</extgeomelempriority>")), 85},
        MessageCase{"PriorityAboveOne",
                    extGeom(element("<extgeomelempriority>1.5</extgeomelempriority>")), 166},
        MessageCase{"WithoutElements", extGeom(""), 167},
        MessageCase{"DataOutsideAnElement", extGeom(kDataAndExtents), 61},
        MessageCase{"InAMesh",
                    validWorld("<object><mesh><extgeom org='o'>" + element(kDataAndExtents) +
                               "</extgeom></mesh></object>"),
                    0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IncludeRecords, IncludedObjectIsAnInstanceWithItsReferenceAndTransform) {
    const Load load(validWorld(
        "<object><includestatic pathid='7'><ref>part.xgl</ref><reftype>xgl</reftype>"
        "<extents>-1 -2 -3 1 2 3</extents><transform><forward>0 0 2</forward><up>0 3 0</up>"
        "<position>4 5 6</position></transform></includestatic></object>"));
    ASSERT_EQ(load.firstError(), "");
    ASSERT_EQ(load.consumer.objects.size(), 2u);  // the include, then its parent
    const ObjectRecord& included = *load.consumer.objects[0];
    ASSERT_TRUE(included.include.has_value());
    EXPECT_TRUE(included.include->isStatic);
    EXPECT_EQ(included.pathId, 7);
    EXPECT_EQ(included.transform.up[1], 1.0);
    EXPECT_EQ(included.transform.forward[2], 1.0);
    EXPECT_EQ(included.transform.position[0], 4.0);
    EXPECT_EQ(load.consumer.objects[1]->childHandles, std::vector<std::int32_t>{0});

    EXPECT_FALSE(load.consumer.objects[1]->include.has_value());
    const IncludeReference& kept = *included.include;
    EXPECT_EQ(kept.pathId, 7);
    EXPECT_EQ(kept.reference, "part.xgl");
    EXPECT_EQ(kept.referenceType, "xgl");
    EXPECT_EQ(std::vector<double>(kept.extents, kept.extents + 6),
              (std::vector<double>{-1, -2, -3, 1, 2, 3}));
}

TEST(IncludeRecords, ExternalImagesAreImagesWithReferences) {
    const Load load(
        validWorld("<includetexturebuffer id='4'><ref>wood.png</ref><reftype>png</reftype>"
                   "</includetexturebuffer>"));
    ASSERT_EQ(load.firstError(), "");
    ASSERT_EQ(load.consumer.images.size(), 1u);
    const TextureImageRecord& image = *load.consumer.images[0];
    EXPECT_TRUE(image.included);
    EXPECT_EQ(image.id, 4);
    EXPECT_EQ(image.reference, "wood.png");
    EXPECT_EQ(image.referenceType, "png");
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(IncludeRecords, ExternalGeometryReachesTheConsumerAndItsObject) {
    const Load load(
        validWorld("<object><extgeom ORG='maker'>" +
                   element("<extgeomelemdata>0A 0B\n0c</extgeomelemdata>"
                           "<extgeomelemextents>0 0 0 1 2 3</extgeomelemextents>",
                           " TYPE='brep'") +
                   element(kDataAndExtents + "<extgeomelempriority>0.25</extgeomelempriority>") +
                   "</extgeom></object>"));
    ASSERT_EQ(load.firstError(), "");
    ASSERT_EQ(load.consumer.extGeoms.size(), 1u);
    const ExtGeomRecord& block = *load.consumer.extGeoms[0];
    EXPECT_EQ(block.org, "maker");
    ASSERT_EQ(block.elements.size(), 2u);
    EXPECT_EQ(block.elements[0].type, "brep");
    EXPECT_EQ(block.elements[0].data, (std::vector<std::uint8_t>{0x0A, 0x0B, 0x0C}));
    EXPECT_EQ(block.elements[0].extents[5], 3.0);
    EXPECT_EQ(block.elements[0].priority, 1.0f);
    EXPECT_EQ(block.elements[1].priority, 0.25f);
    ASSERT_EQ(load.consumer.objects.size(), 1u);
    const PoolVector<std::int32_t>& handles = load.consumer.objects[0]->extGeomHandles;
    ASSERT_EQ(handles.count(), 1u);
    EXPECT_EQ(handles[0], 300);
}

}  // namespace
}  // namespace tessaro
