#include "xgl/appearance_rules.h"

#include <cmath>
#include <cstring>
#include <new>
#include <optional>
#include <type_traits>

#include "xgl/load_model.h"

namespace tessaro {

namespace {

using PC = ParseContext;
// The fields of a face, line or point that an inline element fills.
enum class PrimitiveField { material, texture, lineStyle, pointStyle };

constexpr const char* kNoMemoryForImage = "0: Not enough memory for a texture image";

// The messages of a definition without "id" directly in the world, an object or a mesh.
struct MissingIdMessages {
    Message world;
    Message object;
    Message mesh;
};

// Reads "id"; directly in world, object or mesh one is required, inside a face, line
// or point the element is inline and needs none.
std::int32_t readDefinitionId(LoadModel& model, const LoadEvent& event,
                              const MissingIdMessages& missing) {
    const std::int32_t id = readIdAttribute(model, event.attributes);
    if (model.isStopped() || id != kNone) return id;
    switch (event.parent) {
        case PC::world:
            model.raise(missing.world);
            break;
        case PC::object:
            model.raise(missing.object);
            break;
        case PC::mesh:
            model.raise(missing.mesh);
            break;
        default:
            break;
    }
    return id;
}

// The message for an image's "id" in the context it stands in; none when it may stand.
std::optional<Message> imageIdMessage(ParseContext context, std::int32_t id) {
    const bool named = id != kNone;
    switch (context) {
        case PC::world:
            if (!named) return Message::imageWithoutIdInWorld;
            break;
        case PC::object:
            if (!named) return Message::imageWithoutIdInObject;
            break;
        case PC::mesh:
            if (!named) return Message::imageWithoutIdInMesh;
            break;
        case PC::texture:
            if (named) return Message::imageInTexture;
            break;
        case PC::sphereMap:
            if (named) return Message::imageInSphereMap;
            break;
        default:
            break;
    }
    return std::nullopt;
}

bool readColor(ErrorReporter& reporter, const char* text, float (&color)[3], Message rangeMessage) {
    if (!readFloat3(reporter, text, color)) return false;
    for (float component : color) {
        if (!inUnitRange(component)) {
            reporter.raise(rangeMessage);
            return false;
        }
    }
    return true;
}

void readMaterialValue(ErrorReporter& reporter, MaterialRecord& material, TagId leaf,
                       const char* text) {
    switch (leaf) {
        case TagId::emiss:
            readColor(reporter, text, material.emissive, Message::emissiveOutOfRange);
            break;
        case TagId::diff:
            readColor(reporter, text, material.diffuse, Message::diffuseOutOfRange);
            break;
        case TagId::specularColour:
            readColor(reporter, text, material.specular, Message::specularOutOfRange);
            break;
        case TagId::amb:
            readColor(reporter, text, material.ambient, Message::ambientOutOfRange);
            break;
        case TagId::shine:
            readFloat(reporter, text, material.shininess);
            break;
        case TagId::alpha:
            if (readFloat(reporter, text, material.alpha) && !inUnitRange(material.alpha)) {
                reporter.raise(Message::alphaOutOfRange);
            }
            break;
        default:
            break;
    }
}

// Four hexadecimal digits, the first one most significant.
void readLinePattern(ErrorReporter& reporter, const char* text, std::uint32_t& pattern) {
    if (std::strlen(text) != 4) {
        reporter.raise(Message::linePatternInvalid);
        return;
    }
    std::uint8_t bytes[2];
    if (decodeHex(reporter, text, 4, bytes)) pattern = (std::uint32_t{bytes[0]} << 8) | bytes[1];
}

void readLineStyleValue(ErrorReporter& reporter, LineStyleRecord& style, TagId leaf,
                        const char* text) {
    switch (leaf) {
        case TagId::linewidth:
            if (readFloat(reporter, text, style.width) && !(style.width > 0))
                reporter.raise(Message::lineWidthNotPositive);
            break;
        case TagId::linepattern:
            readLinePattern(reporter, text, style.pattern);
            break;
        case TagId::linepatternfactor:
            if (readUnsigned(reporter, text, style.patternFactor) &&
                (style.patternFactor == 0 || style.patternFactor > 256)) {
                reporter.raise(Message::linePatternFactorOutOfRange);
            }
            break;
        default:
            break;
    }
}

void readPointSize(ErrorReporter& reporter, PointStyleRecord& style, const char* text) {
    if (readFloat(reporter, text, style.size) && !(style.size > 0))
        reporter.raise(Message::pointSizeNotPositive);
}

void readTransformValue(ErrorReporter& reporter, Transform& transform, TagId leaf,
                        const char* text) {
    switch (leaf) {
        case TagId::forward:
            readVector3(reporter, text, transform.forward);
            break;
        case TagId::up:
            readVector3(reporter, text, transform.up);
            break;
        case TagId::position:
            readVector3(reporter, text, transform.position);
            break;
        case TagId::scale:
            readDouble(reporter, text, transform.scale);
            break;
        default:
            break;
    }
}

void readSphereMapValue(LoadModel& model, TagId leaf, const char* text) {
    SphereMapRecord* sphereMap = WorldRules::openSphereMap(model);
    if (sphereMap == nullptr) return;
    if (leaf == TagId::radius) readDouble(model, text, sphereMap->radius);
    if (leaf == TagId::center) readVector3(model, text, sphereMap->center);
}

// Where a "tctransform" leaf goes in the texture's six coordinate-transform values.
int coordTransformSlot(TagId leaf) {
    switch (leaf) {
        case TagId::ss:
            return 0;
        case TagId::st:
            return 1;
        case TagId::ts:
            return 2;
        case TagId::tt:
            return 3;
        case TagId::cs:
            return 4;
        case TagId::ct:
            return 5;
        default:
            return -1;
    }
}

// hypot keeps huge components from overflowing to an infinite length.
double lengthOf(const double (&v)[3]) {
    return std::hypot(v[0], v[1], v[2]);
}

void scaleBy(double (&v)[3], double factor) {
    for (double& component : v)
        component *= factor;
}

// Checks a transform and turns forward and up into an orthonormal pair.
bool normalizeTransform(ErrorReporter& reporter, Transform& t) {
    if (!(t.scale > 0)) {
        reporter.raise(Message::scaleNotPositive);
        return false;
    }
    const double forwardLength = lengthOf(t.forward);
    if (forwardLength == 0) {
        reporter.raise(Message::forwardZero);
        return false;
    }
    scaleBy(t.forward, 1.0 / forwardLength);
    const double upLength = lengthOf(t.up);
    if (upLength == 0) {
        reporter.raise(Message::upZero);
        return false;
    }
    scaleBy(t.up, 1.0 / upLength);
    const double d = t.up[0] * t.forward[0] + t.up[1] * t.forward[1] + t.up[2] * t.forward[2];
    if (d == 1.0 || d == -1.0) {
        reporter.raise(Message::forwardAndUpCoincident);
        return false;
    }
    for (int i = 0; i < 3; ++i)
        t.up[i] -= d * t.forward[i];
    const double rest = lengthOf(t.up);
    if (rest == 0) {
        reporter.raise(Message::upAndForwardColinear);
        return false;
    }
    // Taken at float precision, so that stored models keep the up vectors they always had.
    scaleBy(t.up, static_cast<float>(1.0 / rest));
    return true;
}

// Spreads `count` packed RGB pixels at the start of `pixels` to RGBA with alpha 255,
// from the last pixel down so that no pixel is overwritten before it was read.
void expandRgbToRgba(std::uint8_t* pixels, std::uint64_t count) {
    for (std::uint64_t i = count; i-- > 0;) {
        const std::uint8_t red = pixels[3 * i];
        const std::uint8_t green = pixels[3 * i + 1];
        const std::uint8_t blue = pixels[3 * i + 2];
        pixels[4 * i] = red;
        pixels[4 * i + 1] = green;
        pixels[4 * i + 2] = blue;
        pixels[4 * i + 3] = 255;
    }
}

std::unique_ptr<TextureImageRecord> copyWithoutPixels(const TextureImageRecord& image) {
    auto copy = std::make_unique<TextureImageRecord>();
    copy->id = image.id;
    copy->handle = image.handle;
    copy->width = image.width;
    copy->height = image.height;
    copy->rgb = image.rgb;
    copy->included = image.included;
    copy->reference = image.reference;
    copy->referenceType = image.referenceType;
    return copy;
}

template <typename Record>
std::int32_t* fieldOf(Record* record, PrimitiveField field) {
    if (record == nullptr) return nullptr;
    switch (field) {
        case PrimitiveField::material:
            return &record->material;
        case PrimitiveField::texture:
            return &record->texture;
        case PrimitiveField::lineStyle:
            if constexpr (std::is_same_v<Record, LineRecord>) return &record->lineStyle;
            return nullptr;
        case PrimitiveField::pointStyle:
            if constexpr (std::is_same_v<Record, PointRecord>) return &record->pointStyle;
            return nullptr;
    }
    return nullptr;
}

// A reference takes the texture filed under its ID, seen from the mesh's scope.
bool bindTextureReference(TextureUse*& use, DefinitionScope* scope) {
    if (!use->isReference()) return true;
    TextureUse* definition =
        scope != nullptr ? scope->findTexture(static_cast<std::uint32_t>(use->textureId)) : nullptr;
    if (definition == nullptr || definition->isReference()) return false;
    use = definition;
    return true;
}

void registerTexture(TextureUse& use, SceneConsumer& consumer) {
    TextureRecord& texture = *use.pending;
    if (texture.imageHandle == kNone && texture.imageId != kNone && use.imageScope) {
        const TextureImageRecord* image =
            use.imageScope->findTextureImage(static_cast<std::uint32_t>(texture.imageId));
        if (image != nullptr) texture.imageHandle = image->handle;
    }
    use.handle = consumer.addTexture(std::move(use.pending));
    use.pending.reset();
    use.imageScope.reset();
}

}  // namespace

bool passesCounts(ErrorReporter& reporter, std::initializer_list<CountRule> rules) {
    for (const CountRule& rule : rules) {
        if (rule.count < rule.atLeast || rule.count > rule.atMost) {
            reporter.raise(rule.message);
            return false;
        }
    }
    return true;
}

namespace {

// ---- definitions and inline use ----

template <typename Define>
void define(LoadModel& model, ReferenceKind kind, std::int32_t id, Define define) {
    if (model.isStopped() || model.scope == nullptr) return;
    if (!define(*model.scope)) {
        model.reportError(kNotEnoughMemory);
        return;
    }
    model.builder.noteDefinition(kind, static_cast<std::uint32_t>(id));
    model.builder.retryPending();
}

std::int32_t* openField(LoadModel& model, ParseContext holder, PrimitiveField field) {
    switch (holder) {
        case PC::face:
            return fieldOf(model.mesh.openFace(), field);
        case PC::line:
            return fieldOf(model.mesh.openLine(), field);
        case PC::point:
            return fieldOf(model.mesh.openPoint(), field);
        default:
            return nullptr;
    }
}

template <typename Add>
void attach(LoadModel& model, ParseContext holder, PrimitiveField field, Add add) {
    if (model.isStopped()) return;
    std::int32_t* slot = openField(model, holder, field);
    if (slot == nullptr) return;
    const std::int32_t index = add();
    if (index == kNone) {
        model.reportError(kNotEnoughMemory);
        return;
    }
    *slot = index;
}

// ---- images ----

void startImage(LoadModel& model, const LoadEvent& event) {
    ImageAttributes attrs;
    if (!readImageAttributes(model, event.attributes, attrs)) return;
    // A size below 1 is refused like a missing one, so nothing is sized from it.
    if (attrs.width < 1) {
        model.raise(Message::imageWidthMissing);
        return;
    }
    if (attrs.height < 1) {
        model.raise(Message::imageHeightMissing);
        return;
    }
    if (const std::optional<Message> message = imageIdMessage(event.context, attrs.id)) {
        model.raise(*message);
        return;
    }
    auto image = std::make_unique<TextureImageRecord>();
    image->id = attrs.id;
    image->width = attrs.width;
    image->height = attrs.height;
    image->rgb = event.tag == TagId::texturergb;
    model.appearanceState.image = std::move(image);
}

// The length of the text is checked against the size before anything is allocated,
// so a large width and height cannot claim more memory than the text itself holds.
void readImagePixels(LoadModel& model, TagId leaf, const char* text) {
    TextureImageRecord* image = model.appearanceState.image.get();
    if (image == nullptr) return;
    const bool rgb = leaf == TagId::texturergb;
    const std::uint64_t digitsPerPixel = rgb ? 6 : 8;
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(image->width) * static_cast<std::uint64_t>(image->height);
    const std::size_t length = std::strlen(text);
    if (length % digitsPerPixel != 0 || length / digitsPerPixel != pixels) {
        model.raise(rgb ? Message::rgbImageSizeMismatch : Message::rgbaImageSizeMismatch);
        return;
    }
    image->pixels.reset(new (std::nothrow) std::uint8_t[pixels * 4]);
    if (!image->pixels) {
        model.reportError(kNoMemoryForImage);
        return;
    }
    if (decodeHex(model, text, length, image->pixels.get()) && rgb) {
        expandRgbToRgba(image->pixels.get(), pixels);
    }
}

void defineImage(LoadModel& model, std::unique_ptr<TextureImageRecord> image) {
    TextureImageRecord* kept = image.get();
    model.appearanceState.imageDefinitions.push_back(std::move(image));
    // No mesh waits for an image: a texture without one is drawn untextured.
    define(model, ReferenceKind::none, kept->id, [kept](DefinitionScope& scope) {
        return scope.defineTextureImage(static_cast<std::uint32_t>(kept->id), kept);
    });
}

// ---- textures ----

void setTextureMode(LoadModel& model, TagId tag) {
    TextureRecord* texture = model.appearanceState.texture.get();
    if (texture == nullptr) return;
    switch (tag) {
        case TagId::replace:
            texture->function = kTextureReplace;
            break;
        case TagId::modulate:
            texture->function = kTextureModulate;
            break;
        case TagId::decal:
            texture->function = kTextureDecal;
            break;
        case TagId::repeat:
            texture->wrap = kWrapRepeat;
            break;
        case TagId::clamp:
            texture->wrap = kWrapClamp;
            break;
        default:
            break;
    }
}

void readTextureValue(LoadModel& model, TagId leaf, const char* text) {
    TextureRecord* texture = model.appearanceState.texture.get();
    if (texture == nullptr) return;
    if (leaf == TagId::texturebordercolor) {
        if (readFloat4(model, text, texture->borderColor)) texture->hasBorderColor = 1;
    } else if (leaf == TagId::imageref) {
        readInt(model, text, texture->imageId);
    } else if (const int slot = coordTransformSlot(leaf); slot >= 0) {
        readDouble(model, text, texture->coordTransform[slot]);
    }
}

void endTcTransform(LoadModel& model) {
    const PoolVector<std::int32_t>& tags = model.childTagsOf(PC::tcTransform);
    const auto n = [&tags](TagId tag) { return countOf(tags, tag); };
    passesCounts(model, {{n(TagId::ss), 1, 1, Message::tcTransformNeedsOneSs},
                         {n(TagId::st), 1, 1, Message::tcTransformNeedsOneSt},
                         {n(TagId::ts), 1, 1, Message::tcTransformNeedsOneTs},
                         {n(TagId::tt), 1, 1, Message::tcTransformNeedsOneTt},
                         {n(TagId::cs), 1, 1, Message::tcTransformNeedsOneCs},
                         {n(TagId::ct), 1, 1, Message::tcTransformNeedsOneCt}});
}

// The finished texture becomes a texture-use record owned by the load. Its image is
// looked up where the texture stands; one defined later is looked up again from
// there when the texture is registered.
TextureUse* keepTexture(LoadModel& model) {
    AppearanceState& s = model.appearanceState;
    if (!s.texture) return nullptr;
    auto use = std::make_unique<TextureUse>();
    use->pending = std::move(s.texture);
    TextureRecord& texture = *use->pending;
    if (texture.imageId != kNone && model.scope != nullptr) {
        const TextureImageRecord* image =
            model.scope->findTextureImage(static_cast<std::uint32_t>(texture.imageId));
        if (image != nullptr) {
            texture.imageHandle = image->handle;
        } else {
            use->imageScope = ScopeRef::share(model.scope);
        }
    }
    s.textures.push_back(std::move(use));
    return s.textures.back().get();
}

void endTexture(LoadModel& model, ParseContext holder) {
    const PoolVector<std::int32_t>& tags = model.childTagsOf(PC::texture);
    const auto n = [&tags](TagId tag) { return countOf(tags, tag); };
    const std::uint32_t images = n(TagId::texturergb) + n(TagId::texturergba) +
                                 n(TagId::includetexturebuffer) + n(TagId::imageref);
    const std::uint32_t functions = n(TagId::replace) + n(TagId::modulate) + n(TagId::decal);
    const std::uint32_t wraps = n(TagId::repeat) + n(TagId::clamp);
    if (!passesCounts(
            model, {{images, 1, 1, Message::textureNeedsOneImage},
                    {functions, 1, 1, Message::textureNeedsOneFunction},
                    {wraps, 1, 1, Message::textureNeedsOneWrap},
                    {n(TagId::texturebordercolor), 0, 1, Message::textureAtMostOneBorderColor}})) {
        return;
    }
    TextureUse* use = keepTexture(model);
    if (use == nullptr) return;
    const std::int32_t id = model.appearanceState.textureId;
    if (id != kNone) {
        define(model, ReferenceKind::texture, id, [id, use](DefinitionScope& scope) {
            return scope.defineTexture(static_cast<std::uint32_t>(id), use);
        });
    }
    attach(model, holder, PrimitiveField::texture,
           [&model, use] { return model.mesh.addTexture(use); });
}

// ---- materials and styles ----

void endMaterial(LoadModel& model, ParseContext holder) {
    const PoolVector<std::int32_t>& tags = model.childTagsOf(PC::material);
    const auto n = [&tags](TagId tag) { return countOf(tags, tag); };
    if (!passesCounts(model, {{n(TagId::amb), 1, 1, Message::materialNeedsOneAmbient},
                              {n(TagId::diff), 1, 1, Message::materialNeedsOneDiffuse},
                              {n(TagId::emiss), 0, 1, Message::materialAtMostOneEmissive},
                              {n(TagId::specularColour), 0, 1, Message::materialAtMostOneSpecular},
                              {n(TagId::alpha), 0, 1, Message::materialAtMostOneAlpha},
                              {n(TagId::shine), 0, 1, Message::materialAtMostOneShininess}})) {
        return;
    }
    const MaterialRecord& material = model.appearanceState.material;
    if (material.id != kNone) {
        define(model, ReferenceKind::material, material.id, [&material](DefinitionScope& scope) {
            return scope.defineMaterial(static_cast<std::uint32_t>(material.id), material);
        });
    }
    attach(model, holder, PrimitiveField::material,
           [&model, &material] { return model.mesh.addMaterial(material); });
}

void endLineStyle(LoadModel& model, ParseContext holder) {
    const PoolVector<std::int32_t>& tags = model.childTagsOf(PC::lineStyle);
    const auto n = [&tags](TagId tag) { return countOf(tags, tag); };
    if (!passesCounts(model,
                      {{n(TagId::linewidth), 1, 1, Message::lineStyleNeedsOneWidth},
                       {n(TagId::linepattern), 0, 1, Message::lineStyleAtMostOnePattern},
                       {n(TagId::linepatternfactor), 0, 1, Message::lineStyleAtMostOneFactor}})) {
        return;
    }
    const LineStyleRecord& style = model.appearanceState.lineStyle;
    if (style.id != kNone) {
        define(model, ReferenceKind::lineStyle, style.id, [&style](DefinitionScope& scope) {
            return scope.defineLineStyle(static_cast<std::uint32_t>(style.id), style);
        });
    }
    attach(model, holder, PrimitiveField::lineStyle,
           [&model, &style] { return model.mesh.addLineStyle(style); });
}

void endPointStyle(LoadModel& model, ParseContext holder) {
    const PoolVector<std::int32_t>& tags = model.childTagsOf(PC::pointStyle);
    if (!passesCounts(model,
                      {{countOf(tags, TagId::pointsize), 1, 1, Message::pointStyleNeedsOneSize}}))
        return;
    const PointStyleRecord& style = model.appearanceState.pointStyle;
    if (style.id != kNone) {
        define(model, ReferenceKind::pointStyle, style.id, [&style](DefinitionScope& scope) {
            return scope.definePointStyle(static_cast<std::uint32_t>(style.id), style);
        });
    }
    attach(model, holder, PrimitiveField::pointStyle,
           [&model, &style] { return model.mesh.addPointStyle(style); });
}

// ---- transforms ----

void endTransform(LoadModel& model) {
    const PoolVector<std::int32_t>& tags = model.childTagsOf(PC::transform);
    const auto n = [&tags](TagId tag) { return countOf(tags, tag); };
    if (!passesCounts(model, {{n(TagId::forward), 1, 1, Message::transformNeedsOneForward},
                              {n(TagId::up), 1, 1, Message::transformNeedsOneUp},
                              {n(TagId::position), 1, 1, Message::transformNeedsOnePosition},
                              {n(TagId::scale), 0, 1, Message::transformAtMostOneScale}})) {
        return;
    }
    Transform& transform = model.appearanceState.transform;
    if (!normalizeTransform(model, transform)) return;
    if (!model.objectFrames.empty() && model.objectFrames.back().node) {
        model.objectFrames.back().node->transform = transform;
    }
}

}  // namespace

// ---- events ----

void AppearanceRules::enter(LoadModel& model, const LoadEvent& event) {
    AppearanceState& s = model.appearanceState;
    switch (event.tag) {
        case TagId::mat:
            s.material = MaterialRecord{};
            s.material.id = readDefinitionId(
                model, event,
                {Message::materialWithoutIdInWorld, Message::materialWithoutIdInObject,
                 Message::materialWithoutIdInMesh});
            break;
        case TagId::linestyle:
            s.lineStyle = LineStyleRecord{};
            s.lineStyle.id = readDefinitionId(
                model, event,
                {Message::lineStyleWithoutIdInWorld, Message::lineStyleWithoutIdInObject,
                 Message::lineStyleWithoutIdInMesh});
            break;
        case TagId::pointstyle:
            s.pointStyle = PointStyleRecord{};
            s.pointStyle.id = readDefinitionId(
                model, event,
                {Message::pointStyleWithoutIdInWorld, Message::pointStyleWithoutIdInObject,
                 Message::pointStyleWithoutIdInMesh});
            break;
        case TagId::texture:
            s.texture = std::make_unique<TextureRecord>();
            s.textureId = readDefinitionId(
                model, event,
                {Message::textureWithoutIdInWorld, Message::textureWithoutIdInObject,
                 Message::textureWithoutIdInMesh});
            break;
        case TagId::transform:
            s.transform = Transform{};
            break;
        case TagId::spheremap:
            if (SphereMapRecord* sphereMap = WorldRules::openSphereMap(model)) {
                *sphereMap = SphereMapRecord{};
                sphereMap->given = true;
            }
            break;
        default:
            break;  // "tctransform" fills the open texture
    }
}

void AppearanceRules::leafStart(LoadModel& model, const LoadEvent& event) {
    if (event.tag == TagId::texturergb || event.tag == TagId::texturergba) {
        startImage(model, event);
    } else if (event.context == PC::texture) {
        setTextureMode(model, event.tag);
    }
}

void AppearanceRules::text(LoadModel& model, const LoadEvent& event) {
    AppearanceState& s = model.appearanceState;
    const TagId leaf = event.tag;
    const char* text = event.text;
    if (leaf == TagId::texturergb || leaf == TagId::texturergba) {
        readImagePixels(model, leaf, text);
        return;
    }
    switch (event.context) {
        case PC::material:
            readMaterialValue(model, s.material, leaf, text);
            break;
        case PC::lineStyle:
            readLineStyleValue(model, s.lineStyle, leaf, text);
            break;
        case PC::pointStyle:
            readPointSize(model, s.pointStyle, text);
            break;
        case PC::transform:
            readTransformValue(model, s.transform, leaf, text);
            break;
        case PC::texture:
        case PC::tcTransform:
            readTextureValue(model, leaf, text);
            break;
        case PC::sphereMap:
            readSphereMapValue(model, leaf, text);
            break;
        default:
            break;
    }
}

void AppearanceRules::leafEnd(LoadModel& model, const LoadEvent& event) {
    if (event.tag != TagId::texturergb && event.tag != TagId::texturergba) return;
    std::unique_ptr<TextureImageRecord>& image = model.appearanceState.image;
    if (image && image->pixels) finishImage(model, event.context, std::move(image));
}

void AppearanceRules::leave(LoadModel& model, const LoadEvent& event) {
    switch (event.context) {
        case PC::material:
            endMaterial(model, event.parent);
            break;
        case PC::lineStyle:
            endLineStyle(model, event.parent);
            break;
        case PC::pointStyle:
            endPointStyle(model, event.parent);
            break;
        case PC::texture:
            endTexture(model, event.parent);
            break;
        case PC::tcTransform:
            endTcTransform(model);
            break;
        case PC::transform:
            endTransform(model);
            break;
        default:
            break;  // a sphere map's image was handed over when it ended
    }
}

void AppearanceRules::finishImage(LoadModel& model, ParseContext owner,
                                  std::unique_ptr<TextureImageRecord> image) {
    if (!image) return;
    AppearanceState& s = model.appearanceState;
    const bool named = owner != PC::texture && owner != PC::sphereMap;
    std::unique_ptr<TextureImageRecord> definition = named ? copyWithoutPixels(*image) : nullptr;
    const std::int32_t handle = model.consumer.addTextureImage(std::move(image));
    if (owner == PC::texture) {
        if (s.texture) s.texture->imageHandle = handle;
    } else if (owner == PC::sphereMap) {
        if (SphereMapRecord* sphereMap = WorldRules::openSphereMap(model))
            sphereMap->image = handle;
    } else {
        definition->handle = handle;
        defineImage(model, std::move(definition));
    }
}

TextureUse* AppearanceRules::textureReference(LoadModel& model, std::uint32_t id) {
    std::unique_ptr<TextureUse>& use = model.appearanceState.textureReferences[id];
    if (!use) {
        use = std::make_unique<TextureUse>();
        use->textureId = static_cast<std::int32_t>(id);
    }
    return use.get();
}

bool resolveTextureUses(PoolVector<TextureUse*>& textures, DefinitionScope* scope,
                        SceneConsumer& consumer) {
    for (TextureUse*& use : textures) {
        if (use == nullptr) continue;
        if (!bindTextureReference(use, scope)) return false;
        if (use->pending) registerTexture(*use, consumer);
    }
    return true;
}

}  // namespace tessaro
