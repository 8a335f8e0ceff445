#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "recording_consumer.h"
#include "test_files.h"
#include "xgl/scene_load_context.h"

namespace tessaro {
namespace {

using testing::TextStream;

using testing::RecordingConsumer;

RecordingConsumer parse(const std::string& body) {
    RecordingConsumer recorder;
    SceneLoadContext context(recorder);
    TextStream stream(
        "<world><lighting><ambient>0 0 0</ambient></lighting>"
        "<background><backcolor>1 1 1</backcolor></background>"
        "<mat id='1'><amb>0 0 0</amb><diff>1 1 1</diff></mat>" +
        body + "</world>");
    context.parse(stream, nullptr);
    return recorder;
}

// A face of three inline positions with material run 1, plus `extra` inside it.
std::string face(const std::string& extra = "", const std::string& matref = "<matref>1</matref>") {
    return "<f>" + matref +
           "<fv1><p>0 0 0</p></fv1><fv2><p>1 0 0</p></fv2><fv3><p>0 1 0</p></fv3>" + extra + "</f>";
}

std::string mesh(const std::string& content, const std::string& attributes = "") {
    return "<mesh" + attributes + ">" + content + "</mesh>";
}

struct MessageCase {
    const char* name;
    std::string body;
    std::string message;
};

class GeometryMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(GeometryMessages, RaiseTheirNumberedMessage) {
    const RecordingConsumer r = parse(GetParam().body);
    if (GetParam().message.empty()) {
        EXPECT_TRUE(r.errors.empty()) << r.errors.front();
    } else {
        ASSERT_EQ(r.errors.size(), 1u);
        EXPECT_EQ(r.errors[0], GetParam().message);
    }
}

const std::string kVertexNoP = "<fv1><nref>1</nref></fv1>";
const std::string kTransform =
    "<transform><forward>0 0 1</forward><up>0 1 0</up><position>0 0 0</position></transform>";

INSTANTIATE_TEST_SUITE_P(
    Table, GeometryMessages,
    ::testing::Values(
        MessageCase{"ValidFace", mesh(face()), ""},
        MessageCase{"PositionWithoutId", mesh("<p>1 2 3</p>"),
                    "6: Position tag defined at Mesh Level without ID"},
        MessageCase{"NormalWithoutId", mesh("<n>0 0 1</n>"),
                    "7: Normal tag defined at Mesh Level without ID"},
        MessageCase{"MeshTcWithoutId", mesh("<tc>0 0</tc>"),
                    "26: Texture Coordinate tag defined at Mesh Level without ID"},
        MessageCase{"ObjectTcWithoutId", "<object><tc>0 0</tc></object>",
                    "27: Texture Coordinate tag defined at Object Level without ID"},
        MessageCase{"WorldTcWithoutId", "<tc>0 0</tc>",
                    "28: Texture Coordinate tag defined at World Level without ID"},
        MessageCase{"WorldTcWithIdAndNoText", "<tc id='1'/>", ""},
        MessageCase{"ZeroNormal", mesh("<n id='1'>0 0 0</n>"),
                    "114: A vector to be used as a direction was zero"},
        MessageCase{"PositionWithTwoNumbers", mesh("<p id='1'>1 2</p>"),
                    "83: Unable to parse 3 numbers from a 3D vector"},
        MessageCase{"NegativePatch", mesh("<patch patchid='-3'></patch>"),
                    "60: PatchIDs must be greater than 0"},
        MessageCase{"PatchInPatch", mesh("<patch><patch/></patch>"),
                    "98: No patches can be defined in patches"},
        MessageCase{"FaceWithoutFv1",
                    mesh("<f><matref>1</matref><fv2><p>0 0 0</p></fv2><fv3><p>0 0 0</p></fv3></f>"),
                    "65: Face requires exactly 1 FV1 element"},
        MessageCase{"FaceWithTwoFv2", mesh(face("<fv2><p>0 0 0</p></fv2>")),
                    "66: Face requires exactly 1 FV2 element"},
        MessageCase{"FaceWithoutFv3",
                    mesh("<f><matref>1</matref><fv1><p>0 0 0</p></fv1><fv2><p>0 0 0</p></fv2></f>"),
                    "67: Face requires exactly 1 FV3 element"},
        MessageCase{"FaceWithoutMaterial", mesh(face("", "")),
                    "68: Face requires exactly 1 material"},
        MessageCase{"FaceWithMatAndMatref",
                    mesh(face("<mat><amb>0 0 0</amb><diff>1 1 1</diff></mat>")),
                    "68: Face requires exactly 1 material"},
        MessageCase{"FaceWithTwoTextures",
                    mesh(face("<textureref>1</textureref><textureref>2</textureref>")),
                    "102: At most one texture in a face"},
        MessageCase{"SmoothingGroup31", mesh(face("<s>31</s>")), ""},
        MessageCase{"SmoothingGroup32", mesh(face("<s>32</s>")),
                    "127: Smoothing groups can only between 0 and 31 inclusive"},
        MessageCase{"NegativeSmoothingGroup", mesh(face("<s>-1</s>")),
                    "127: Smoothing groups can only between 0 and 31 inclusive"},
        MessageCase{"VertexWithoutPosition", mesh("<f><matref>1</matref>" + kVertexNoP + "</f>"),
                    "104: FaceVertex requires exactly 1 position"},
        MessageCase{"VertexWithPAndPref", mesh("<f><fv1><p>0 0 0</p><pref>1</pref></fv1></f>"),
                    "104: FaceVertex requires exactly 1 position"},
        MessageCase{"VertexWithTwoNormals",
                    mesh("<f><fv1><pref>1</pref><nref>1</nref><nref>2</nref></fv1></f>"),
                    "105: FaceVertex can have at most 1 normal"},
        MessageCase{"VertexWithTwoTexCoords",
                    mesh("<f><fv1><pref>1</pref><tcref>1</tcref><tc>0 0</tc></fv1></f>"),
                    "106: FaceVertex can have at most 1 texture coordinate"},
        MessageCase{"LineWithoutLv1", mesh("<l><matref>1</matref><lv2><pref>1</pref></lv2></l>"),
                    "129: Line requires exactly 1 LV1 element"},
        MessageCase{"LineWithoutLv2", mesh("<l><matref>1</matref><lv1><pref>1</pref></lv1></l>"),
                    "130: Line requires exactly 1 LV2 element"},
        MessageCase{"LineWithoutMaterial",
                    mesh("<l><lv1><pref>1</pref></lv1><lv2><pref>1</pref></lv2></l>"),
                    "131: Line requires exactly 1 material"},
        MessageCase{"LineWithTwoStyles",
                    mesh("<l><matref>1</matref><lv1><pref>1</pref></lv1><lv2><pref>1</pref></lv2>"
                         "<linestyleref>1</linestyleref><linestyleref>2</linestyleref></l>"),
                    "132: Line requires exactly 1 linestyle"},
        MessageCase{"LineWithTwoTextures",
                    mesh("<l><matref>1</matref><lv1><pref>1</pref></lv1><lv2><pref>1</pref></lv2>"
                         "<textureref>1</textureref><textureref>1</textureref></l>"),
                    "133: At most one texture in a line"},
        MessageCase{"PointWithoutPv1", mesh("<pt><matref>1</matref></pt>"),
                    "135: Point requires exactly 1 PV1 element"},
        MessageCase{"PointWithoutMaterial", mesh("<pt><pv1><pref>1</pref></pv1></pt>"),
                    "136: Point requires exactly 1 material"},
        MessageCase{"PointWithTwoStyles",
                    mesh("<pt><matref>1</matref><pv1><pref>1</pref></pv1>"
                         "<pointstyleref>1</pointstyleref><pointstyleref>1</pointstyleref></pt>"),
                    "137: Point requires exactly 1 pointstyle"},
        MessageCase{"PointWithTwoTextures",
                    mesh("<pt><matref>1</matref><pv1><pref>1</pref></pv1>"
                         "<textureref>1</textureref><textureref>1</textureref></pt>"),
                    "138: At most one texture in a point"},
        MessageCase{"TwoMeshesInAnObject", "<object>" + mesh("") + mesh("") + "</object>",
                    "100: At most one mesh per object"},
        MessageCase{"MeshrefAfterAMesh", "<object>" + mesh("") + "<meshref>3</meshref></object>",
                    "100: At most one mesh per object"},
        MessageCase{"MeshAfterSubObjects",
                    "<object><objectref>1</objectref>" + mesh("") + "</object>",
                    "33: An object cannot contain a mesh and sub objects"},
        MessageCase{"SubObjectAfterAMesh",
                    "<object>" + mesh("") + "<objectref>1</objectref></object>",
                    "33: An object cannot contain a mesh and sub objects"},
        MessageCase{"ObjectWithTwoTransforms", "<object>" + kTransform + kTransform + "</object>",
                    "99: At most one transform per object"},
        MessageCase{"SiblingPathIds", "<object pathid='5'/><object pathid='5'/>",
                    "172: PathIDs of sibling objects must be unique"},
        MessageCase{"SamePathIdUnderDifferentParents",
                    "<object pathid='5'><object pathid='5'/></object>", ""},
        MessageCase{"ObjectWithTwoNames", "<object><name>a</name><name>b</name></object>",
                    "171: only one object name is allowed"},
        MessageCase{"ObjectWithBadAttribute", "<object colour='red'/>",
                    "8: Attribute for Object Tag not called PathID or ID"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GeometryRecords, AWorldMeshNamingAnUndefinedMaterialIsReported) {
    const RecordingConsumer r = parse(mesh(face("", "<matref>3</matref>")));
    EXPECT_TRUE(r.meshes.empty());
    EXPECT_EQ(r.errors,
              std::vector<std::string>{"176: The mesh at the world level could not be resolved"});
}

TEST(GeometryRecords, AMeshReachesTheConsumerWithResolvedDefinitions) {
    const RecordingConsumer r = parse("<mat id='3'><amb>0 0 0</amb><diff>1 0 0</diff></mat>" +
                                      mesh("<p id='7'>5 6 7</p><n id='1'>0 0 2</n><patch>" +
                                           face("<s>0</s><s>1</s>", "<matref>3</matref>") +
                                           "</patch><patch patchid='0'/>"
                                           "<f><matref>3</matref><fv1><pref>7</pref></fv1>"
                                           "<fv2><pref>7</pref><nref>1</nref></fv2>"
                                           "<fv3><p id='9'>1 1 1</p></fv3></f>"));
    ASSERT_TRUE(r.errors.empty()) << r.errors.front();
    ASSERT_EQ(r.meshes.size(), 1u);
    const DrawableMesh& d = *r.meshes[0];
    ASSERT_EQ(d.faces.count, 2u);
    EXPECT_EQ(d.faces[0].smoothingGroups, 0x80000001u);
    EXPECT_EQ(d.faces[0].patch, 0);
    EXPECT_EQ(d.faces[1].patch, kNone);
    ASSERT_EQ(d.patches.size(), 2u);
    EXPECT_EQ(d.patches[0].patchId, 1u);
    EXPECT_EQ(d.patches[1].patchId, 9999u);
    const PositionRecord& p =
        d.positions[static_cast<std::uint32_t>(d.faces[1].vertex[0].position)];
    EXPECT_EQ(p.z, 7);
    const NormalRecord& n = d.normals[static_cast<std::uint32_t>(d.faces[1].vertex[1].normal)];
    EXPECT_EQ(n.z, 1.0f);
    const PositionRecord& q =
        d.positions[static_cast<std::uint32_t>(d.faces[1].vertex[2].position)];
    EXPECT_EQ(q.x, 1);
    EXPECT_EQ(d.materials[0].diffuse[0], 1.0f);
}

// Two faces over four position records, two of which stand at the same place; every
// vertex names normal 5 unless `withoutNormal` names the vertex that leaves it out.
std::string twoFaces(const std::string& withoutNormal = "") {
    auto vertex = [&](const std::string& tag, const char* p) {
        return "<" + tag + "><pref>" + p + "</pref>" +
               (tag == withoutNormal ? "" : "<nref>5</nref>") + "</" + tag + ">";
    };
    return "<p id='1'>0 0 0</p><p id='2'>1 0 0</p><p id='3'>0 1 0</p><p id='4'>1 0 0</p>"
           "<n id='5'>0 0 1</n>"
           "<f><s>1</s><matref>1</matref>" +
           vertex("fv1", "1") + vertex("fv2", "2") + vertex("fv3", "3") +
           "</f><f><s>1</s><matref>1</matref>" + vertex("fv1", "4") + vertex("fv2", "3") +
           vertex("fv3", "1") + "</f>";
}

// The normal step runs only for a mesh that lacks a normal somewhere: it welds the
// records of the two vertices at (1, 0, 0), and gives the two vertices without a normal
// (the second of each face) the normal of the faces. Every reference is a record.
TEST(GeometryRecords, NormalsAreGeneratedOnlyForMeshesThatLackThem) {
    const RecordingConsumer r =
        parse("<object>" + mesh(twoFaces()) + "</object><object>" + mesh(twoFaces("fv2")) +
              "</object><object>" + mesh(twoFaces()) + "</object>");
    ASSERT_TRUE(r.errors.empty()) << r.errors.front();
    ASSERT_EQ(r.meshes.size(), 3u);
    for (int m : {0, 2}) {  // the flag of the mesh before does not carry over
        const DrawableMesh& d = *r.meshes[m];
        EXPECT_EQ(d.normals.count, 6u);
        EXPECT_EQ(d.faces[1].vertex[0].position, 3) << "mesh " << m << " was welded";
    }
    const DrawableMesh& d = *r.meshes[1];
    EXPECT_EQ(d.faces[1].vertex[0].position, 1);
    ASSERT_EQ(d.normals.count, 6u);  // four named, then two generated
    for (const FaceRecord& face : {d.faces[0], d.faces[1]}) {
        const std::int32_t generated = face.vertex[1].normal;
        ASSERT_GE(generated, 4);
        ASSERT_LT(generated, 6);
        const NormalRecord& n = d.normals[static_cast<std::uint32_t>(generated)];
        EXPECT_EQ(n.x, 0.0f);
        EXPECT_EQ(n.y, 0.0f);
        EXPECT_EQ(n.z, 1.0f);
    }
}

TEST(GeometryRecords, ALineWithoutStyleGetsTheDefaultStyle) {
    const RecordingConsumer r =
        parse(mesh("<l><mat><amb>0 0 0</amb><diff>1 1 1</diff></mat>"
                   "<lv1><p>0 0 0</p></lv1><lv2><p>1 0 0</p></lv2></l>"));
    ASSERT_TRUE(r.errors.empty()) << r.errors.front();
    ASSERT_EQ(r.meshes.size(), 1u);
    const DrawableMesh& d = *r.meshes[0];
    ASSERT_EQ(d.lines.count, 1u);
    ASSERT_EQ(d.lineStyles.count, 1u);
    const LineStyleRecord& style = d.lineStyles[static_cast<std::uint32_t>(d.lines[0].lineStyle)];
    EXPECT_EQ(style.width, 1.0f);
    EXPECT_EQ(style.pattern, 0xFFFFu);
    EXPECT_EQ(style.patternFactor, 1u);
}

TEST(GeometryRecords, PatchesWithoutIdentifiersCountUp) {
    const RecordingConsumer r = parse(mesh("<patch/><patch/><patch id='7'/><patch/>"));
    ASSERT_TRUE(r.errors.empty()) << r.errors.front();
    ASSERT_EQ(r.meshes.size(), 1u);
    std::vector<std::uint32_t> ids;
    for (const PatchRecord& p : r.meshes[0]->patches)
        ids.push_back(p.patchId);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{1, 2, 7, 8}));
}

TEST(GeometryRecords, ObjectsWithIdsReachTheConsumerWithTheirChildren) {
    const RecordingConsumer r = parse(
        "<object id='4' pathid='2'><object pathid='1'/></object>"
        "<object><objectref>4</objectref></object>");
    ASSERT_TRUE(r.errors.empty()) << r.errors.front();
    ASSERT_GE(r.objects.size(), 2u);
    EXPECT_EQ(r.objects[0]->pathId, 1);
    EXPECT_EQ(r.objects[1]->id, 4);
    EXPECT_EQ(r.objects[1]->childHandles.size(), 1u);
}

}  // namespace
}  // namespace tessaro
