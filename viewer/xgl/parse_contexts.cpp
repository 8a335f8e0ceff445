#include "xgl/parse_contexts.h"

#include <array>
#include <initializer_list>

namespace tessaro {
namespace {

constexpr int kTagSlots = 95;                    // tag codes 0 .. 94
constexpr int kContextRows = kContextSlots + 1;  // document first, then world .. tcTransform

using PC = ParseContext;
using K = ChildKind;

struct Child {
    TagId tag;
    ChildKind kind;
    ParseContext enters = PC::document;
};

// Everything the parser knows about one context.
struct ContextRow {
    ParseContext context;
    ContextProperties properties;  // {rule group, needs-data message, counts children}
    ChildKind unrecognised;        // what an unknown name does in it
    std::initializer_list<Child> children;
};

constexpr bool kCounted = true;
constexpr bool kUncounted = false;
constexpr std::optional<Message> kNoData = std::nullopt;
using R = RuleGroup;
using M = Message;

Child in(TagId tag, ParseContext context) {
    return {tag, K::container, context};
}
Child text(TagId tag) {
    return {tag, K::textLeaf};
}
Child leaf(TagId tag) {
    return {tag, K::leaf};
}
Child marker(TagId tag) {
    return {tag, K::marker};
}

using T = TagId;

// One row per context: its properties and the vocabulary's nesting rules; any tag not
// listed for a context raises tagInappropriate.
const ContextRow kContexts[] = {
    {PC::document, {R::world, kNoData, kUncounted}, K::skip, {in(T::world, PC::world)}},
    {PC::world,
     {R::world, M::worldNeedsData, kCounted},
     K::skip,
     {in(T::object, PC::object), in(T::lighting, PC::lighting), in(T::mesh, PC::mesh),
      in(T::mat, PC::material), in(T::background, PC::background), in(T::data, PC::data),
      in(T::texture, PC::texture), in(T::include, PC::include), in(T::includestatic, PC::include),
      in(T::linestyle, PC::lineStyle), in(T::pointstyle, PC::pointStyle),
      in(T::includetexturebuffer, PC::textureBufferRef), text(T::meshref), text(T::texturergb),
      text(T::texturergba), text(T::objectref), leaf(T::tc), leaf(T::name)}},
    {PC::object,
     {R::geometry, M::objectNeedsData, kCounted},
     K::skip,
     {in(T::object, PC::object), in(T::transform, PC::transform), in(T::mesh, PC::mesh),
      in(T::mat, PC::material), in(T::data, PC::data), in(T::texture, PC::texture),
      in(T::include, PC::include), in(T::includestatic, PC::include),
      in(T::linestyle, PC::lineStyle), in(T::pointstyle, PC::pointStyle),
      in(T::extgeom, PC::extGeom), text(T::meshref), text(T::tc), text(T::texturergb),
      text(T::texturergba), text(T::objectref), leaf(T::name)}},
    {PC::mesh,
     {R::geometry, M::meshNeedsData, kUncounted},
     K::skip,
     {in(T::mat, PC::material), in(T::f, PC::face), in(T::data, PC::data),
      in(T::texture, PC::texture), in(T::l, PC::line), in(T::linestyle, PC::lineStyle),
      in(T::pt, PC::point), in(T::pointstyle, PC::pointStyle), in(T::extgeom, PC::extGeom),
      text(T::p), text(T::n), text(T::tc), text(T::texturergb), text(T::texturergba),
      marker(T::patch), leaf(T::surface)}},
    {PC::transform,
     {R::appearance, M::transformNeedsData, kCounted},
     K::skip,
     {text(T::forward), text(T::up), text(T::position), text(T::scale)}},
    {PC::material,
     {R::appearance, M::materialNeedsData, kCounted},
     K::skip,
     {text(T::emiss), text(T::diff), text(T::specularColour), text(T::amb), text(T::shine),
      text(T::alpha)}},
    {PC::lighting,
     {R::world, M::lightingNeedsData, kCounted},
     K::skip,
     {marker(T::directionallight), in(T::spheremap, PC::sphereMap), text(T::ambient),
      text(T::direction), text(T::diffuse), text(T::specular)}},
    {PC::background, {R::world, M::backgroundNeedsData, kCounted}, K::skip, {text(T::backcolor)}},
    {PC::data, {R::world, kNoData, kCounted}, K::skip, {text(T::str), text(T::bin)}},
    {PC::face,
     {R::geometry, M::faceNeedsData, kCounted},
     K::skip,
     {in(T::mat, PC::material), in(T::fv1, PC::vertex), in(T::fv2, PC::vertex),
      in(T::fv3, PC::vertex), in(T::texture, PC::texture), text(T::matref), text(T::textureref),
      text(T::s), leaf(T::surface)}},
    {PC::texture,
     {R::appearance, M::textureNeedsData, kCounted},
     K::skip,
     {in(T::includetexturebuffer, PC::textureBufferRef), in(T::tctransform, PC::tcTransform),
      text(T::texturergb), text(T::texturergba), text(T::texturebordercolor), text(T::imageref),
      leaf(T::replace), leaf(T::modulate), leaf(T::decal), leaf(T::repeat), leaf(T::clamp)}},
    {PC::vertex,
     {R::geometry, M::vertexNeedsData, kCounted},
     K::skip,
     {text(T::p), text(T::n), text(T::tc), text(T::pref), text(T::nref), text(T::tcref)}},
    {PC::include,
     {R::include, M::includeNeedsData, kCounted},
     K::skip,
     {in(T::transform, PC::transform), in(T::data, PC::data), text(T::ref), text(T::extents),
      text(T::reftype)}},
    {PC::line,
     {R::geometry, M::lineNeedsData, kCounted},
     K::skip,
     {in(T::mat, PC::material), in(T::texture, PC::texture), in(T::lv1, PC::vertex),
      in(T::lv2, PC::vertex), in(T::linestyle, PC::lineStyle), text(T::matref), text(T::textureref),
      text(T::linestyleref), leaf(T::surface)}},
    {PC::point,
     {R::geometry, M::pointNeedsData, kCounted},
     K::skip,
     {in(T::mat, PC::material), in(T::texture, PC::texture), in(T::pv1, PC::vertex),
      in(T::pointstyle, PC::pointStyle), text(T::matref), text(T::textureref),
      text(T::pointstyleref), leaf(T::surface)}},
    {PC::lineStyle,
     {R::appearance, M::lineStyleNeedsData, kCounted},
     K::skip,
     {text(T::linewidth), text(T::linepattern), text(T::linepatternfactor)}},
    {PC::pointStyle,
     {R::appearance, M::pointStyleNeedsData, kCounted},
     K::skip,
     {text(T::pointsize)}},
    {PC::extGeom,
     {R::include, M::extGeomNeedsData, kUncounted},
     K::skip,
     {marker(T::extgeomelem), text(T::extgeomelemdata), text(T::extgeomelemextents),
      text(T::extgeomelempriority)}},
    {PC::textureBufferRef,
     {R::include, M::textureNeedsData, kUncounted},
     K::skip,
     {text(T::ref), text(T::reftype)}},
    {PC::sphereMap,
     {R::appearance, M::textureNeedsData, kUncounted},
     K::notAllowed,
     {text(T::texturergb), text(T::texturergba), in(T::includetexturebuffer, PC::textureBufferRef),
      text(T::radius), text(T::center)}},
    {PC::tcTransform,
     {R::appearance, M::tcTransformNeedsData, kCounted},
     K::notAllowed,
     {text(T::ss), text(T::st), text(T::tt), text(T::ts), text(T::cs), text(T::ct)}},
};

using RuleTable = std::array<std::array<ChildRule, kTagSlots>, kContextRows>;

int row(ParseContext context) {
    return static_cast<int>(context) + 1;
}

RuleTable buildRuleTable() {
    RuleTable table{};
    for (auto& r : table)
        r.fill({K::notAllowed, PC::document});
    for (const ContextRow& c : kContexts) {
        auto& r = table[row(c.context)];
        r[static_cast<int>(T::unrecognised)] = {c.unrecognised, PC::skip};
        for (const Child& child : c.children) {
            r[static_cast<int>(child.tag)] = {child.kind, child.enters};
        }
    }
    return table;
}

const RuleTable& ruleTable() {
    static const RuleTable table = buildRuleTable();
    return table;
}

using PropertyTable = std::array<ContextProperties, kContextRows>;

// Contexts without a row (skip) keep the defaults: no rules, no checks.
const PropertyTable& propertyTable() {
    static const PropertyTable table = [] {
        PropertyTable t{};
        for (const ContextRow& c : kContexts)
            t[row(c.context)] = c.properties;
        return t;
    }();
    return table;
}

}  // namespace

ChildRule childRule(ParseContext context, TagId tag) {
    const int t = static_cast<int>(tag);
    const int r = row(context);
    if (t < 0 || t >= kTagSlots || r < 0 || r >= kContextRows) return {K::notAllowed, PC::document};
    return ruleTable()[r][t];
}

ContextProperties contextProperties(ParseContext context) {
    const int r = row(context);
    if (r < 0 || r >= kContextRows) return {};
    return propertyTable()[r];
}

}  // namespace tessaro
