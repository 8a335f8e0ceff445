#include "xgl/scene_load_context.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "recording_consumer.h"
#include "test_files.h"

namespace tessaro {
namespace {

// Hands out a string in blocks of a chosen size, or fails after some blocks.
class StringStream : public InputStream {
  public:
    explicit StringStream(std::string text, std::size_t blockSize = kStreamBlockSize,
                          int failAfterBlocks = -1)
        : m_text(std::move(text)), m_blockSize(blockSize), m_failAfter(failAfterBlocks) {}

    bool read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
              StreamErrorSink*) override {
        if (m_failAfter >= 0 && m_blocks++ == m_failAfter) return false;
        const std::size_t n = std::min(m_blockSize, m_text.size() - m_pos);
        data = reinterpret_cast<const std::uint8_t*>(m_text.data() + m_pos);
        length = static_cast<std::uint32_t>(n);
        m_pos += n;
        more = m_pos < m_text.size();
        return true;
    }
    bool lastWriteTime(std::int64_t&) override { return false; }

  private:
    std::string m_text;
    std::size_t m_pos = 0;
    std::size_t m_blockSize;
    int m_failAfter;
    int m_blocks = 0;
};

using testing::RecordingConsumer;

struct ParseResult {
    bool clean;
    std::vector<std::string> errors;
    std::string lastText;
    std::uint32_t textCapacity;
};

ParseResult parseText(const std::string& document, std::size_t blockSize = kStreamBlockSize) {
    RecordingConsumer consumer;
    SceneLoadContext context(consumer);
    StringStream stream(document, blockSize);
    const bool clean = context.parse(stream, nullptr).loaded();
    const auto& buffer = context.textBuffer();
    return {clean, consumer.errors, buffer.empty() ? std::string() : std::string(buffer.data()),
            buffer.capacity()};
}

const std::string kMessage61 = "61: Tag Inappropriate in current context";
// Every valid world holds exactly one lighting and one background.
const std::string kWorld =
    "<world><lighting><ambient>0 0 0</ambient></lighting>"
    "<background><backcolor>1 1 1</backcolor></background>";
// For documents that bring their own lighting.
const std::string kWorldUnlit = "<world><background><backcolor>1 1 1</backcolor></background>";

struct DocumentCase {
    const char* name;
    std::string document;
    std::string message;  // empty: the document raises nothing
};

class ParseDocument : public ::testing::TestWithParam<DocumentCase> {};

TEST_P(ParseDocument, RaisesTheFirstMessageOrNone) {
    const ParseResult r = parseText(GetParam().document);
    if (GetParam().message.empty()) {
        EXPECT_TRUE(r.clean);
        EXPECT_TRUE(r.errors.empty()) << r.errors.front();
    } else {
        EXPECT_FALSE(r.clean);
        EXPECT_EQ(r.errors, std::vector<std::string>{GetParam().message});
    }
}

std::string name(std::size_t length) {
    return std::string(length, 'q');
}

INSTANTIATE_TEST_SUITE_P(
    Structure, ParseDocument,
    ::testing::Values(
        DocumentCase{"MinimalWorld", kWorld + "</world>", ""},
        DocumentCase{
            "CaseOfNamesIsIgnored",
            "<WORLD><LIGHTING><AMBIENT>0 0 0</AMBIENT></LIGHTING><BACKGROUND><BACKCOLOR>0 0 0"
            "</BACKCOLOR></BACKGROUND><Object><MESH></MESH></Object></WORLD>",
            ""},
        DocumentCase{"UnrecognisedRootIsSkipped", "<scene><world><p/></world></scene>", ""},
        DocumentCase{"KnownNonWorldRoot", "<object></object>", kMessage61},
        DocumentCase{"PositionInWorld", kWorld + "<p>1 2 3</p></world>", kMessage61},
        DocumentCase{"SkippedContentHoldsKnownTagsInTheWrongPlace",
                     kWorld + "<extra><p/><fv1><world/></fv1></extra></world>", ""},
        DocumentCase{"UnrecognisedInSphereMap",
                     kWorldUnlit + "<lighting><spheremap><extra/></spheremap></lighting></world>",
                     kMessage61},
        DocumentCase{
            "UnrecognisedInTcTransform",
            kWorld + "<texture id='1'><tctransform><extra/></tctransform></texture></world>",
            kMessage61},
        DocumentCase{"NameInInclude", kWorld + "<include><name>a</name></include></world>",
                     kMessage61},
        DocumentCase{"VertexInMesh", kWorld + "<mesh><fv1/></mesh></world>", kMessage61},
        DocumentCase{"LightChildrenNestedInTheLight",
                     kWorldUnlit + "<lighting><directionallight><direction>0 0 1</direction>"
                                   "<diffuse>1 1 1</diffuse></directionallight></lighting></world>",
                     ""},
        DocumentCase{
            "FacesInsideAPatch",
            kWorld + "<mat id='1'><amb>0 0 0</amb><diff>1 1 1</diff></mat><mesh><p id='1'>0 0 0</p>"
                     "<patch><f><matref>1</matref><fv1><pref>1</pref></fv1>"
                     "<fv2><pref>1</pref></fv2><fv3><pref>1</pref></fv3></f></patch></mesh>"
                     "</world>",
            ""},
        DocumentCase{"ObjectsNest",
                     kWorld + "<object><object><include><ref>a</ref><reftype>b</reftype>"
                              "<extents>0 0 0 1 1 1</extents></include></object></object></world>",
                     ""},
        DocumentCase{"NameOf255Characters", kWorld + "<" + name(255) + "/></world>", ""},
        DocumentCase{"NameOf256Characters", kWorld + "<" + name(256) + "/></world>",
                     "59: Tag name too long"},
        DocumentCase{"SyntaxErrorOnTheThirdLine", kWorld + "\n<object>\n</world>",
                     "0: ParseError: mismatched tag at line 3\n"},
        DocumentCase{"EmptyDocument", "", "0: ParseError: no element found at line 1\n"},
        DocumentCase{"NotXml", "\x01\x02 binary",
                     "0: ParseError: not well-formed (invalid token) at line 1\n"},
        DocumentCase{"TruncatedXml", kWorld + "<object>",
                     "0: ParseError: no element found at line 1\n"},
        DocumentCase{"OnlyTheFirstMessage", kWorld + "<p/>\n<oops></world>", kMessage61}),
    [](const auto& info) { return std::string(info.param.name); });

// One row per container: the smallest document whose last leaf has no text.
INSTANTIATE_TEST_SUITE_P(
    NeedsData, ParseDocument,
    ::testing::Values(
        DocumentCase{"World", kWorld + "<meshref/></world>", "96: Tag in world needs data"},
        DocumentCase{"WorldTcAndNameNeedNoText", kWorld + "<tc id='1'/><name/></world>", ""},
        DocumentCase{"Object", kWorld + "<object><tc id='1'/></object></world>",
                     "87: Tag in object needs data"},
        DocumentCase{"ObjectNameNeedsNoText", kWorld + "<object><name/></object></world>", ""},
        DocumentCase{"Mesh", kWorld + "<mesh><p id='1'></p></mesh></world>",
                     "88: Tag in mesh needs data"},
        DocumentCase{"Face", kWorld + "<mesh><f><matref/></f></mesh></world>",
                     "89: Tag in face needs data"},
        DocumentCase{"Material", kWorld + "<mat id='1'><diff/></mat></world>",
                     "90: Tag in material needs data"},
        DocumentCase{"Transform", kWorld + "<object><transform><up/></transform></object></world>",
                     "91: Tag in transform needs data"},
        DocumentCase{"Background", kWorld + "<background><backcolor/></background></world>",
                     "92: Tag in background needs data"},
        DocumentCase{"Lighting", kWorldUnlit + "<lighting><ambient/></lighting></world>",
                     "93: Tag in lighting needs data"},
        DocumentCase{"Texture", kWorld + "<texture id='1'><texturebordercolor/></texture></world>",
                     "95: Tag in Texture needs data"},
        DocumentCase{"TextureBufferRef",
                     kWorld + "<includetexturebuffer id='1'><ref/></includetexturebuffer></world>",
                     "95: Tag in Texture needs data"},
        DocumentCase{"SphereMap",
                     kWorldUnlit + "<lighting><spheremap><radius/></spheremap></lighting></world>",
                     "95: Tag in Texture needs data"},
        DocumentCase{"Vertex", kWorld + "<mesh><f><fv1><pref/></fv1></f></mesh></world>",
                     "103: Tag in Face Vertex needs data"},
        DocumentCase{"Include", kWorld + "<include><ref/></include></world>",
                     "115: Tag in Included Object needs data"},
        DocumentCase{"Line", kWorld + "<mesh><l><linestyleref/></l></mesh></world>",
                     "128: Tag in line needs data"},
        DocumentCase{"Point", kWorld + "<mesh><pt><textureref/></pt></mesh></world>",
                     "134: Tag in point needs data"},
        DocumentCase{"LineStyle", kWorld + "<linestyle id='1'><linewidth/></linestyle></world>",
                     "139: Tag in linestyle needs data"},
        DocumentCase{"PointStyle", kWorld + "<pointstyle id='1'><pointsize/></pointstyle></world>",
                     "146: Tag in pointstyle needs data"},
        DocumentCase{"ExtGeom",
                     kWorld + "<object><extgeom org='a'><extgeomelemdata/></extgeom></object>"
                              "</world>",
                     "157: Tag in extgeom needs data"},
        DocumentCase{"TcTransform",
                     kWorld + "<texture id='1'><tctransform><ss/></tctransform></texture></world>",
                     "177: Tag in TCTransform needs data"},
        DocumentCase{
            "EmptyDataStringsDoNotLeakIntoTheParent",
            kWorld + "<object><data org='a'><str name='s'/><bin name='b'/></data></object></world>",
            ""},
        DocumentCase{"WhitespaceIsText", kWorld + "<mesh><p id='1'> </p></mesh></world>",
                     "83: Unable to parse 3 numbers from a 3D vector"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TextCase {
    const char* name;
    std::string document;
    std::string lastLeafText;
};

class LeafText : public ::testing::TestWithParam<TextCase> {};

TEST_P(LeafText, IsJoinedFromItsRunsAndKeepsOnlyTheLastRun) {
    for (std::size_t blockSize : {std::size_t{1}, std::size_t{7}, std::size_t{kStreamBlockSize}}) {
        const ParseResult r = parseText(GetParam().document, blockSize);
        EXPECT_TRUE(r.errors.empty()) << "block size " << blockSize;
        EXPECT_EQ(r.lastText, GetParam().lastLeafText) << "block size " << blockSize;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, LeafText,
    ::testing::Values(
        TextCase{"CharacterReferences", kWorld + "<name>a&amp;b&#65;&#x42;c&lt;</name></world>",
                 "a&bABc<"},
        TextCase{"CData", kWorld + "<name>1 <![CDATA[<2>]]> 3</name></world>", "1 <2> 3"},
        TextCase{"LineEndsBecomeLineFeeds", kWorld + "<name>1\r\n2\r3</name></world>", "1\n2\n3"},
        TextCase{"TextBeforeAChildIsDropped",
                 kWorld + "<name>abc<extra>x</extra>def</name></world>", "def"},
        TextCase{"TextBetweenContainersIsNotKept",
                 kWorld + "<name>kept</name>\n  between\n<object/>  </world>", "kept"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LeafText, SpanningManyStreamBlocksIsWhole) {
    std::string raw;
    std::string decoded;
    for (int i = 0; raw.size() < 3 * kStreamBlockSize; ++i) {
        raw += std::to_string(i) + ",&#32;";
        decoded += std::to_string(i) + ", ";
    }
    const ParseResult r = parseText(kWorld + "<name>" + raw + "</name></world>");
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(r.lastText, decoded);
}

TEST(Parser, KeepsNoMemoryForTextOutsideLeaves) {
    const std::string filler(8 * kStreamBlockSize, ' ');
    const ParseResult r =
        parseText(kWorld + "<name>x</name>" + filler + "<extra>" + filler + "</extra></world>");
    EXPECT_TRUE(r.errors.empty());
    EXPECT_LE(r.textCapacity, 16u);
}

TEST(Parser, SkipsDeepNestingOfUnrecognisedElements) {
    constexpr int kDepth = 100000;
    std::string document = kWorld + "";
    for (int i = 0; i < kDepth; ++i)
        document += "<x>";
    document += "<p/>";
    for (int i = 0; i < kDepth; ++i)
        document += "</x>";
    document += "<p/></world>";
    RecordingConsumer consumer;
    SceneLoadContext context(consumer);
    StringStream stream(document);
    EXPECT_FALSE(context.parse(stream, nullptr).loaded());
    // The skipped subtree is ignored; the "p" after it is judged in the world again.
    EXPECT_EQ(consumer.errors, std::vector<std::string>{kMessage61});
    EXPECT_EQ(context.skipDepth(), 0u);
}

TEST(Parser, ContextsReturnToTheDocumentLevel) {
    RecordingConsumer consumer;
    SceneLoadContext context(consumer);
    StringStream stream(
        kWorld +
        "<object><mesh><f><fv1><p>1 2 3</p></fv1><fv2><p>0 0 0</p></fv2><fv3><p>0 1 0</p></fv3>"
        "<mat><amb>0 0 0</amb><diff>1 1 1</diff></mat></f></mesh></object></world>");
    EXPECT_TRUE(context.parse(stream, nullptr).loaded());
    EXPECT_EQ(context.context(), ParseContext::document);
    EXPECT_EQ(context.contextDepth(), 0u);
}

TEST(Parser, StopsAtTheFirstMessageAndIgnoresLaterSyntaxErrors) {
    const ParseResult r = parseText(kWorld + "<p/>\n<object>\n</oops></world>");
    EXPECT_FALSE(r.clean);
    EXPECT_EQ(r.errors, std::vector<std::string>{kMessage61});
}

TEST(Parser, AFailingReadReportsErrorReadingFile) {
    for (int failAfter : {0, 1}) {
        RecordingConsumer consumer;
        SceneLoadContext context(consumer);
        StringStream stream(kWorld + "<object></object></world>", 8, failAfter);
        EXPECT_FALSE(context.parse(stream, nullptr).loaded());
        EXPECT_EQ(consumer.errors, std::vector<std::string>{"Error Reading File\n"});
        EXPECT_TRUE(context.isStopped());
    }
}

// The result names the first message and the line the parser was on when it was raised.
TEST(Parser, ResultCarriesTheFirstMessageAndItsLine) {
    struct Case {
        std::string document;
        LoadStatus status;
        std::string message;
        int line;
    };
    const Case cases[] = {
        {kWorld + "<object/></world>", LoadStatus::loaded, "", 0},
        {kWorld + "\n<object>\n<p/>\n</object></world>", LoadStatus::invalid, kMessage61, 3},
        {kWorld + "\n\n</oops>", LoadStatus::invalid, "0: ParseError: mismatched tag at line 3\n",
         3},
    };
    for (const Case& c : cases) {
        RecordingConsumer consumer;
        SceneLoadContext context(consumer);
        StringStream stream(c.document);
        const LoadResult result = context.parse(stream, nullptr);
        EXPECT_EQ(result.status, c.status) << c.document;
        EXPECT_EQ(result.message, c.message) << c.document;
        EXPECT_EQ(result.line, c.line) << c.document;
        EXPECT_EQ(consumer.errors.empty() ? "" : consumer.errors.front(), c.message);
    }
}

// Every context a child can open has its row: events that reach it go to a rule group.
TEST(ParseContexts, EveryEnteredContextHasARuleGroup) {
    for (int c = -1; c < kContextSlots; ++c) {
        for (int t = 0; t <= static_cast<int>(TagId::ct); ++t) {  // every tag code
            const ChildRule rule = childRule(static_cast<ParseContext>(c), static_cast<TagId>(t));
            if (rule.kind != ChildKind::container) continue;
            EXPECT_NE(contextProperties(rule.enters).rules, RuleGroup::none)
                << "context " << static_cast<int>(rule.enters);
        }
    }
    EXPECT_EQ(contextProperties(ParseContext::skip).rules, RuleGroup::none);
    EXPECT_FALSE(contextProperties(ParseContext::skip).countsChildren);
}

struct FileCase {
    const char* fileName;
    std::string bytes;
    bool opened;
    std::string message;
};

TEST(LoadDocument, ReadsPlainAndCompressedFilesFromDisk) {
    using testing::deflateText;
    const std::string valid = kWorld + "<object/></world>";
    const FileCase cases[] = {
        {"a.xgl", valid, true, ""},
        {"b.ZGL", deflateText(valid), true, ""},
        {"c.zgl", deflateText(valid) + "trailing garbage", true, ""},
        {"d.zgl", valid, true, "Error Reading File\n"},
        {"e.xgl", "", true, "0: ParseError: no element found at line 1\n"},
        {"f.zgl", deflateText(kWorld + "<p/></world>"), true, kMessage61},
        {"g.txt", valid, false, ""},
    };
    testing::TempDir dir;
    for (const FileCase& c : cases) {
        testing::writeFile(dir.file(c.fileName), c.bytes);
        RecordingConsumer consumer;
        const LoadResult result = loadDocument(dir.file(c.fileName).c_str(), consumer);
        const bool opened = result.status != LoadStatus::cannotOpen;
        const bool clean = result.loaded();
        EXPECT_EQ(opened, c.opened) << c.fileName;
        EXPECT_EQ(clean, c.opened && c.message.empty()) << c.fileName;
        EXPECT_EQ(consumer.errors.empty() ? "" : consumer.errors.front(), c.message) << c.fileName;
    }
}

// A file that cannot be opened reaches no consumer; the result says why, for the
// command line to print.
TEST(LoadDocument, SaysWhyAFileCannotBeOpened) {
    testing::TempDir dir;
    testing::writeFile(dir.file("model.txt"), kWorld + "</world>");
    std::filesystem::create_directory(dir.file("folder.xgl"));
    struct Case {
        std::string path;
        const char* message;
        int systemError;
    };
    const Case cases[] = {
        {dir.file("model.txt"), "not an XGL document (expected .xgl or .zgl)", 0},
        {dir.file("missing.xgl"), "cannot open: No such file or directory", ENOENT},
        {dir.file("folder.xgl"), "cannot open: Is a directory", EISDIR},
    };
    for (const Case& c : cases) {
        RecordingConsumer consumer;
        const LoadResult result = loadDocument(c.path.c_str(), consumer);
        EXPECT_EQ(result.status, LoadStatus::cannotOpen) << c.path;
        EXPECT_EQ(result.message, c.message);
        EXPECT_EQ(result.systemError, c.systemError) << c.path;
        EXPECT_TRUE(consumer.errors.empty());
    }
}

}  // namespace
}  // namespace tessaro

namespace tessaro {
namespace {

// Points the temporary folder somewhere unusable for the life of the object.
class UnusableTempFolder {
  public:
    UnusableTempFolder() {
        for (const char* name : testing::kTempFolderVariables) {
            const char* old = std::getenv(name);
            m_old.push_back(old != nullptr ? std::optional<std::string>(old) : std::nullopt);
            testing::setEnvironment(name, testing::kUnusableFolder);
        }
    }
    ~UnusableTempFolder() {
        std::size_t i = 0;
        for (const char* name : testing::kTempFolderVariables) {
            const std::optional<std::string>& old = m_old[i++];
            if (old) {
                testing::setEnvironment(name, old->c_str());
            } else {
                testing::unsetEnvironment(name);
            }
        }
    }

  private:
    std::vector<std::optional<std::string>> m_old;
};

TEST(StorageFailure, StopsTheParseWithOneMessageNamingTheCause) {
    RecordingConsumer consumer;
    SceneLoadContext context(consumer);
    LoadModel model(consumer, context);  // the model's temporary files report to the parse
    DefinitionScope* scope = DefinitionScope::createWorld(&model);
    {
        UnusableTempFolder folder;
        bool allDefined = true;
        for (std::uint32_t i = 0; i <= DefinitionScope::kGeometrySpillLimit + 5; ++i) {
            allDefined = scope->definePosition(i, i, 0, 0) && allDefined;
        }
        EXPECT_FALSE(allDefined);
        EXPECT_EQ(scope->findPosition(DefinitionScope::kGeometrySpillLimit + 1), nullptr);
    }
    scope->release();
    ASSERT_EQ(consumer.errors.size(), 1u);
    EXPECT_EQ(
        consumer.errors[0].rfind(
            std::string("0: Cannot create a temporary file in ") + testing::kUnusableFolder, 0),
        0u)
        << consumer.errors[0];
    EXPECT_TRUE(context.isStopped());
}

TEST(StorageFailure, ADocumentThatSpillsWithoutATemporaryFolderGetsOneMessage) {
    std::string document = kWorld + "<mesh>";
    const std::uint32_t definitions = DefinitionScope::kGeometrySpillLimit + 10;
    for (std::uint32_t i = 0; i < definitions; ++i) {
        document += "<P ID='" + std::to_string(i) + "'>1 2 3</P>";
    }
    document += "</mesh></world>";
    UnusableTempFolder folder;
    const ParseResult r = parseText(document);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(
        r.errors[0].rfind(
            std::string("0: Cannot create a temporary file in ") + testing::kUnusableFolder, 0),
        0u)
        << r.errors[0];
}

}  // namespace
}  // namespace tessaro
