#include "xgl/tags.h"

#include <cstring>
#include <string_view>

namespace tessaro {
namespace {

struct TagName {
    std::string_view name;
    TagId tag;
};

// Grouped by length so that a lookup compares only names of the same length.
constexpr TagName kTagNames[] = {
    {"fv1", TagId::fv1},
    {"mat", TagId::mat},
    {"str", TagId::str},
    {"bin", TagId::bin},
    {"fv2", TagId::fv2},
    {"fv3", TagId::fv3},
    {"ref", TagId::ref},
    {"lv1", TagId::lv1},
    {"lv2", TagId::lv2},
    {"pv1", TagId::pv1},
    {"amb", TagId::amb},
    {"up", TagId::up},
    {"tc", TagId::tc},
    {"pt", TagId::pt},
    {"ss", TagId::ss},
    {"st", TagId::st},
    {"tt", TagId::tt},
    {"ts", TagId::ts},
    {"cs", TagId::cs},
    {"ct", TagId::ct},
    {"world", TagId::world},
    {"object", TagId::object},
    {"mesh", TagId::mesh},
    {"scale", TagId::scale},
    {"matref", TagId::matref},
    {"emiss", TagId::emiss},
    {"diff", TagId::diff},
    {"spec", TagId::spec},
    {"shine", TagId::shine},
    {"alpha", TagId::alpha},
    {"pref", TagId::pref},
    {"nref", TagId::nref},
    {"data", TagId::data},
    {"patch", TagId::patch},
    {"tcref", TagId::tcref},
    {"decal", TagId::decal},
    {"repeat", TagId::repeat},
    {"clamp", TagId::clamp},
    {"name", TagId::name},
    {"radius", TagId::radius},
    {"center", TagId::center},
    {"lighting", TagId::lighting},
    {"transform", TagId::transform},
    {"forward", TagId::forward},
    {"position", TagId::position},
    {"surface", TagId::surface},
    {"diffuse", TagId::diffuse},
    {"specular", TagId::specular},
    {"direction", TagId::direction},
    {"ambient", TagId::ambient},
    {"directionallight", TagId::directionallight},
    {"background", TagId::background},
    {"backcolor", TagId::backcolor},
    {"meshref", TagId::meshref},
    {"texture", TagId::texture},
    {"textureref", TagId::textureref},
    {"texturergb", TagId::texturergb},
    {"texturergba", TagId::texturergba},
    {"replace", TagId::replace},
    {"modulate", TagId::modulate},
    {"texturebordercolor", TagId::texturebordercolor},
    {"objectref", TagId::objectref},
    {"include", TagId::include},
    {"extents", TagId::extents},
    {"reftype", TagId::reftype},
    {"linestyle", TagId::linestyle},
    {"linestyleref", TagId::linestyleref},
    {"linewidth", TagId::linewidth},
    {"linepattern", TagId::linepattern},
    {"linepatternfactor", TagId::linepatternfactor},
    {"pointstyle", TagId::pointstyle},
    {"pointstyleref", TagId::pointstyleref},
    {"pointsize", TagId::pointsize},
    {"extgeom", TagId::extgeom},
    {"extgeomelem", TagId::extgeomelem},
    {"extgeomelemdata", TagId::extgeomelemdata},
    {"extgeomelemextents", TagId::extgeomelemextents},
    {"extgeomelempriority", TagId::extgeomelempriority},
    {"includestatic", TagId::includestatic},
    {"includetexturebuffer", TagId::includetexturebuffer},
    {"texturergbref", TagId::imageref},
    {"texturergbaref", TagId::imageref},
    {"texturebufferref", TagId::imageref},
    {"spheremap", TagId::spheremap},
    {"tctransform", TagId::tctransform},
};

constexpr std::size_t kLongestName = 20;  // "includetexturebuffer"
constexpr std::size_t kTooLong = 256;

struct LengthIndex {
    // Names of each length, as [first, last) ranges into a table sorted by length.
    TagName sorted[std::size(kTagNames)]{};
    std::size_t first[kLongestName + 2]{};
};

constexpr LengthIndex buildLengthIndex() {
    LengthIndex index;
    std::size_t out = 0;
    for (std::size_t length = 0; length <= kLongestName; ++length) {
        index.first[length] = out;
        for (const TagName& t : kTagNames) {
            if (t.name.size() == length) index.sorted[out++] = t;
        }
    }
    index.first[kLongestName + 1] = out;
    return index;
}

constexpr LengthIndex kByLength = buildLengthIndex();

TagId singleCharacterTag(char c) {
    switch (c) {
        case 'P':
        case 'p':
            return TagId::p;
        case 'N':
        case 'n':
            return TagId::n;
        case 'F':
        case 'f':
            return TagId::f;
        case 'L':
        case 'l':
            return TagId::l;
        case 'S':
        case 's':
            return TagId::s;
        default:
            return TagId::unrecognised;
    }
}

// ASCII lower-casing, as the C locale does; no element name of the format has other letters.
char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

TagId lookupTag(const char* name) {
    if (name == nullptr) return TagId::invalid;
    const std::size_t length = strnlen(name, kTooLong);
    if (length == 1) return singleCharacterTag(name[0]);
    if (length == 0 || length >= kTooLong) return TagId::invalid;
    if (length > kLongestName) return TagId::unrecognised;

    char lower[kLongestName];
    for (std::size_t i = 0; i < length; ++i)
        lower[i] = lowerAscii(name[i]);
    const std::string_view key(lower, length);
    for (std::size_t i = kByLength.first[length]; i < kByLength.first[length + 1]; ++i) {
        if (kByLength.sorted[i].name == key) return kByLength.sorted[i].tag;
    }
    return TagId::unrecognised;
}

}  // namespace tessaro
