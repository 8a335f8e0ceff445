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
    {"spec", TagId::specularColour},
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

// A lower-cased name of up to kLongestName bytes, packed first byte lowest into
// words and padded with zeros. A name holds no NUL, so equal keys are equal names:
// a hit costs three word comparisons instead of a call to compare strings, which
// matters because every element start and end is looked up. The words are separate
// members so that they stay in registers.
struct NameKey {
    std::uint64_t head = 0;    // bytes 0 to 7
    std::uint64_t middle = 0;  // bytes 8 to 15
    std::uint64_t tail = 0;    // bytes 16 to 19

    constexpr bool operator==(const NameKey&) const = default;
};

constexpr std::uint64_t kEveryByte = 0x0101010101010101ull;

// ASCII lower-casing, as the C locale does, of the eight bytes of a word at once; no
// element name of the format has other letters. Bytes of 0x80 and above, which only
// UTF-8 sequences hold, stay as they are.
constexpr std::uint64_t lowerAsciiBytes(std::uint64_t word) {
    const std::uint64_t low7 = word & (0x7F * kEveryByte);
    const std::uint64_t fromA = low7 + (0x80 - 'A') * kEveryByte;   // top bit: >= 'A'
    const std::uint64_t aboveZ = low7 + (0x7F - 'Z') * kEveryByte;  // top bit: > 'Z'
    const std::uint64_t upper = fromA & ~aboveZ & ~word & (0x80 * kEveryByte);
    return word | (upper >> 2);  // 0x80 >> 2 is the 0x20 between 'A' and 'a'
}

// The lower-cased bytes of `text` before its NUL, at most `limit` (up to 8) of them,
// packed into a word; adds their number to `length`.
constexpr std::uint64_t packLower(const char* text, std::size_t limit, std::size_t& length) {
    std::uint64_t packed = 0;
    std::size_t n = 0;
    for (; n < limit && text[n] != '\0'; ++n)
        packed |= std::uint64_t{static_cast<unsigned char>(text[n])} << (8 * n);
    length += n;
    return lowerAsciiBytes(packed);
}

// The key of the name's first kLongestName bytes; `length` is how many there were
// before the NUL (kLongestName when the name may go on).
constexpr NameKey keyOf(const char* name, std::size_t& length) {
    NameKey key;
    length = 0;
    key.head = packLower(name, 8, length);
    if (length == 8) key.middle = packLower(name + 8, 8, length);
    if (length == 16) key.tail = packLower(name + 16, kLongestName - 16, length);
    return key;
}

constexpr NameKey keyOf(std::string_view name) {
    std::size_t length = 0;
    return keyOf(name.data(), length);  // the table's names are NUL-terminated literals
}

// Multiplicative hashing of the three words; the top bits mix every byte.
constexpr std::uint32_t hashKey(const NameKey& key) {
    const std::uint64_t mixed = key.head * 0x9E3779B97F4A7C15ull ^
                                key.middle * 0xC2B2AE3D27D4EB4Full ^
                                key.tail * 0x165667B19E3779F9ull;
    return static_cast<std::uint32_t>(mixed >> 32);
}

constexpr std::size_t kSlots = 512;  // a power of two, well above twice the name count

struct TagEntry {
    NameKey key;
    TagId tag;
};

struct HashTable {
    std::int16_t slot[kSlots]{};  // index into entry plus one; 0 = empty
    TagEntry entry[std::size(kTagNames)]{};
};

constexpr HashTable buildHashTable() {
    HashTable table;
    for (std::size_t i = 0; i < std::size(kTagNames); ++i) {
        table.entry[i] = {keyOf(kTagNames[i].name), kTagNames[i].tag};
        std::size_t at = hashKey(table.entry[i].key) & (kSlots - 1);
        while (table.slot[at] != 0)
            at = (at + 1) & (kSlots - 1);
        table.slot[at] = static_cast<std::int16_t>(i + 1);
    }
    return table;
}

constexpr HashTable kHashTable = buildHashTable();

TagId findKey(const NameKey& key) {
    for (std::size_t at = hashKey(key) & (kSlots - 1);; at = (at + 1) & (kSlots - 1)) {
        const int index = kHashTable.slot[at];
        if (index == 0) return TagId::unrecognised;
        if (kHashTable.entry[index - 1].key == key) return kHashTable.entry[index - 1].tag;
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
    std::size_t length = 0;
    const NameKey key = keyOf(name, length);
    if (name[length] != '\0') {
        return strnlen(name, kTooLong) >= kTooLong ? TagId::invalid : TagId::unrecognised;
    }
    return findKey(key);
}

}  // namespace tessaro
