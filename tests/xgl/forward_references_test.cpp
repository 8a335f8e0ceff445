// Documents whose objects refer to definitions further on. Each kind once made the
// load retry every waiting object after every definition, so 20,000 objects took
// minutes (a chain through inline objects, hours); the test fails by its timeout.
#include <gtest/gtest.h>

#include <string>

#include "scene/scene_consumer.h"
#include "test_files.h"
#include "xgl/scene_load_context.h"

namespace tessaro {
namespace {

constexpr int kObjects = 20000;

struct Counting : ValidatingConsumer {
    std::int32_t addObject(std::unique_ptr<ObjectRecord> object) override {
        ++objects;
        return ValidatingConsumer::addObject(std::move(object));
    }
    std::int32_t addMesh(std::unique_ptr<DrawableMesh> mesh) override {
        ++meshes;
        return ValidatingConsumer::addMesh(std::move(mesh));
    }
    int objects = 0;
    int meshes = 0;
};

const std::string kTriangle =
    "<f><matref>1</matref><fv1><p>0,0,0</p></fv1><fv2><p>1,0,0</p></fv2>"
    "<fv3><p>0,1,0</p></fv3></f>";
const std::string kMaterial = "<mat id='1'><amb>1,1,1</amb><diff>1,1,1</diff></mat>";

std::string object(int id, const std::string& content) {
    return "<object id='" + std::to_string(id) + "'>" + content + "</object>";
}
std::string objectRef(int id) {
    return "<objectref>" + std::to_string(id) + "</objectref>";
}

// Object i refers to object i + 1, defined right after it.
std::string chain() {
    std::string body;
    for (int i = 1; i <= kObjects; ++i)
        body += object(i, objectRef(i + 1));
    return body + object(kObjects + 1, "") + objectRef(1);
}

// The same chain, each link through an inline object without ID.
std::string chainThroughInstances() {
    std::string body;
    for (int i = 1; i <= kObjects; ++i)
        body += object(i, "<object>" + objectRef(i + 1) + "</object>");
    return body + object(kObjects + 1, "") + objectRef(1);
}

// Every object refers to one defined at the end.
std::string allOnTheLast() {
    std::string body;
    for (int i = 1; i <= kObjects; ++i)
        body += object(i, objectRef(kObjects + 1));
    return body + object(kObjects + 1, "") + objectRef(1);
}

// Every object uses a mesh defined at the end.
std::string meshDefinedLast() {
    std::string body;
    for (int i = 1; i <= kObjects; ++i)
        body += object(i, "<meshref>1</meshref>");
    return body + kMaterial + "<mesh id='1'>" + kTriangle + "</mesh>" + objectRef(kObjects);
}

// Every object's own mesh uses a material defined at the end.
std::string materialDefinedLast() {
    std::string body;
    for (int i = 1; i <= kObjects; ++i)
        body += object(i, "<mesh>" + kTriangle + "</mesh>");
    return body + kMaterial + objectRef(kObjects);
}

// Every object's own mesh uses a texture defined last, after many others.
std::string textureDefinedLast() {
    const std::string face =
        "<f><matref>1</matref><textureref>" + std::to_string(kObjects) +
        "</textureref><fv1><p>0,0,0</p><tc>0,0</tc></fv1>"
        "<fv2><p>1,0,0</p><tc>1,0</tc></fv2><fv3><p>0,1,0</p><tc>0,1</tc></fv3></f>";
    std::string body = kMaterial + "<texturergb id='1' width='1' height='1'>102030</texturergb>";
    for (int i = 1; i <= kObjects; ++i)
        body += object(i, "<mesh>" + face + "</mesh>");
    for (int i = 1; i <= kObjects; ++i) {
        body += "<texture id='" + std::to_string(i) +
                "'><texturergbref>1</texturergbref><replace/><repeat/></texture>";
    }
    return body + objectRef(kObjects);
}

// A ring of objects, each referring to the next: none can complete.
std::string ring() {
    std::string body;
    for (int i = 1; i <= kObjects; ++i)
        body += object(i, objectRef(i % kObjects + 1));
    return body + objectRef(1);
}

struct Case {
    const char* name;
    std::string (*body)();
    int objects;
    int meshes;
    const char* message;
};

const Case kCases[] = {
    {"Chain", chain, kObjects + 1, 0, ""},
    {"ChainThroughInstances", chainThroughInstances, 2 * kObjects + 1, 0, ""},
    {"AllOnTheLast", allOnTheLast, kObjects + 1, 0, ""},
    {"MeshDefinedLast", meshDefinedLast, kObjects, 1, ""},
    {"MaterialDefinedLast", materialDefinedLast, kObjects, kObjects, ""},
    {"TextureDefinedLast", textureDefinedLast, kObjects, kObjects, ""},
    {"Ring", ring, 0, 0, "32: An object could not be resolved : 0"},
};

class ForwardReferences : public ::testing::TestWithParam<Case> {};

TEST_P(ForwardReferences, AllCompleteOnceTheirTargetsAreDefined) {
    const Case& c = GetParam();
    testing::TextStream stream(testing::validWorld(c.body()));
    Counting consumer;
    SceneLoadContext load(consumer);
    load.parse(stream, nullptr);
    EXPECT_EQ(consumer.firstError(), c.message);
    EXPECT_EQ(consumer.objects, c.objects);
    EXPECT_EQ(consumer.meshes, c.meshes);
}

INSTANTIATE_TEST_SUITE_P(Documents, ForwardReferences, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tessaro
