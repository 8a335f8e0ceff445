#include "xgl/tags.h"

#include <cstdint>
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

// ASCII lower-casing, as the C locale does; no element name of the format has other letters.
constexpr char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// FNV-1a over the lower-cased name: every element start and end is looked up, so
// the lookup is one hash and, on a hit, one comparison.
constexpr std::uint32_t kHashBasis = 2166136261u;

constexpr std::uint32_t hashStep(std::uint32_t h, char c) {
    return (h ^ static_cast<unsigned char>(c)) * 16777619u;
}

constexpr std::uint32_t hashName(std::string_view name) {
    std::uint32_t h = kHashBasis;
    for (char c : name)
        h = hashStep(h, c);
    return h;
}

constexpr std::size_t kSlots = 512;  // a power of two, well above twice the name count

struct HashTable {
    std::int16_t slot[kSlots]{};  // index into kTagNames plus one; 0 = empty
};

constexpr HashTable buildHashTable() {
    HashTable table;
    for (std::size_t i = 0; i < std::size(kTagNames); ++i) {
        std::size_t at = hashName(kTagNames[i].name) & (kSlots - 1);
        while (table.slot[at] != 0)
            at = (at + 1) & (kSlots - 1);
        table.slot[at] = static_cast<std::int16_t>(i + 1);
    }
    return table;
}

constexpr HashTable kHashTable = buildHashTable();

TagId findLowerCase(std::string_view key, std::uint32_t hash) {
    for (std::size_t at = hash & (kSlots - 1);; at = (at + 1) & (kSlots - 1)) {
        const int entry = kHashTable.slot[at];
        if (entry == 0) return TagId::unrecognised;
        if (kTagNames[entry - 1].name == key) return kTagNames[entry - 1].tag;
    }
}

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

}  // namespace

TagId lookupTag(const char* name) {
    if (name == nullptr || name[0] == '\0') return TagId::invalid;
    if (name[1] == '\0') return singleCharacterTag(name[0]);
    // Lower-case and hash in one pass over the short names that can be in the table.
    char lower[kLongestName];
    std::uint32_t hash = kHashBasis;
    std::size_t length = 0;
    for (; length < kLongestName && name[length] != '\0'; ++length) {
        lower[length] = lowerAscii(name[length]);
        hash = hashStep(hash, lower[length]);
    }
    if (name[length] != '\0') {
        return strnlen(name, kTooLong) >= kTooLong ? TagId::invalid : TagId::unrecognised;
    }
    return findLowerCase(std::string_view(lower, length), hash);
}

}  // namespace tessaro
