#include "xgl/tags.h"

#include <gtest/gtest.h>

#include <string>

namespace tessaro {
namespace {

struct TagCase {
    std::string name;
    TagId expected;
};

class LookupTag : public ::testing::TestWithParam<TagCase> {};

TEST_P(LookupTag, MapsNamesWithoutRegardToCase) {
    EXPECT_EQ(lookupTag(GetParam().name.c_str()), GetParam().expected) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LookupTag,
    ::testing::Values(
        TagCase{"world", TagId::world}, TagCase{"WORLD", TagId::world},
        TagCase{"World", TagId::world}, TagCase{"p", TagId::p}, TagCase{"P", TagId::p},
        TagCase{"n", TagId::n}, TagCase{"F", TagId::f}, TagCase{"L", TagId::l},
        TagCase{"s", TagId::s}, TagCase{"x", TagId::unrecognised}, TagCase{"FV1", TagId::fv1},
        TagCase{"fv2", TagId::fv2}, TagCase{"Pt", TagId::pt}, TagCase{"pv1", TagId::pv1},
        TagCase{"TC", TagId::tc}, TagCase{"ct", TagId::ct}, TagCase{"mat", TagId::mat},
        TagCase{"MatRef", TagId::matref}, TagCase{"directionalLight", TagId::directionallight},
        TagCase{"texturergbref", TagId::imageref}, TagCase{"TextureRGBARef", TagId::imageref},
        TagCase{"texturebufferref", TagId::imageref},
        TagCase{"includetexturebuffer", TagId::includetexturebuffer},
        TagCase{"ExtGeomElemPriority", TagId::extgeomelempriority},
        TagCase{"linepatternfactor", TagId::linepatternfactor},
        TagCase{"texturergba", TagId::texturergba}, TagCase{"tctransform", TagId::tctransform},
        TagCase{"includestatic", TagId::includestatic}, TagCase{"name", TagId::name},
        // Near misses and names outside the vocabulary.
        TagCase{"worlds", TagId::unrecognised}, TagCase{"wor", TagId::unrecognised},
        TagCase{"fv4", TagId::unrecognised}, TagCase{"texturergbx", TagId::unrecognised},
        TagCase{"zzzzzzzzz", TagId::unrecognised}, TagCase{"w\xc3\xb6rld", TagId::unrecognised},
        TagCase{"includetexturebuffers", TagId::unrecognised}, TagCase{"", TagId::invalid},
        TagCase{std::string(255, 'q'), TagId::unrecognised},
        TagCase{std::string(256, 'q'), TagId::invalid},
        TagCase{std::string(1000, 'w'), TagId::invalid}));

TEST(LookupTag, NullNameIsInvalid) {
    EXPECT_EQ(lookupTag(nullptr), TagId::invalid);
}

}  // namespace
}  // namespace tessaro
