// The XML event seam, with the same expectations for every platform's parser (expat
// here, XmlLite in the Windows tests): the events the core sees and the words and
// lines of syntax errors must not depend on the parser or on where blocks are cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "xgl/xml_events.h"

namespace {

using tessaro::createXmlEventParser;
using tessaro::XmlEventHandler;
using tessaro::XmlEventParser;

// Writes every event into one text; adjacent text runs simply join.
class EventLog final : public XmlEventHandler {
  public:
    std::string text;

    void startElement(const char* name, const char** attributes) override {
        text += std::string("<") + name;
        for (int i = 0; attributes[i] != nullptr; i += 2)
            text += std::string(" ") + attributes[i] + "=" + attributes[i + 1];
        text += ">";
    }
    void endElement(const char* name) override { text += std::string("</") + name + ">"; }
    void characterData(const char* run, int length) override {
        text.append(run, static_cast<std::size_t>(length));
    }
    void outOfMemory() noexcept override {}
};

// Feeds `document` in blocks of `blockSize`; empty on success, else "TEXT at line N".
std::string parseInBlocks(const std::string& document, std::size_t blockSize, EventLog& log) {
    const std::unique_ptr<XmlEventParser> parser = createXmlEventParser(log);
    if (!parser) return "no parser";
    std::size_t at = 0;
    do {
        const std::size_t length = std::min(blockSize, document.size() - at);
        const bool last = at + length == document.size();
        if (!parser->feed(document.data() + at, static_cast<std::uint32_t>(length), last))
            return std::string(parser->errorText()) + " at line " +
                   std::to_string(parser->currentLine());
        at += length;
    } while (at < document.size());
    return {};
}

TEST(XmlEvents, GiveTheSameEventsWhereverTheBlocksAreCut) {
    const std::string document =
        "<?xml version=\"1.0\"?>\n<!-- c -->\n<World a=\"1\" B='x&amp;y'>\n"
        " <p id=\"3\">1 &#50; 3</p><e/>t&lt;u<![CDATA[<c>]]></World>\n";
    const std::string expected = "<World a=1 B=x&y>\n <p id=3>1 2 3</p><e></e>t<u<c></World>";
    for (const std::size_t blockSize : {document.size(), std::size_t{1}, std::size_t{7}}) {
        EventLog log;
        EXPECT_EQ(parseInBlocks(document, blockSize, log), "") << "blocks of " << blockSize;
        EXPECT_EQ(log.text, expected) << "blocks of " << blockSize;
    }
}

struct BrokenDocument {
    const char* document;
    const char* error;
};

class XmlSyntaxErrors : public ::testing::TestWithParam<BrokenDocument> {};

TEST_P(XmlSyntaxErrors, AreWordedAsExpatWordsThemOnTheSameLine) {
    for (const std::size_t blockSize : {std::size_t{65536}, std::size_t{3}, std::size_t{1}}) {
        EventLog log;
        EXPECT_EQ(parseInBlocks(GetParam().document, blockSize, log), GetParam().error)
            << "blocks of " << blockSize;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, XmlSyntaxErrors,
    ::testing::Values(
        BrokenDocument{"", "no element found at line 1"},
        BrokenDocument{"\n\n", "no element found at line 3"},
        BrokenDocument{"<world>\n<a>\n</world>", "mismatched tag at line 3"},
        BrokenDocument{"<world>\n<a>\n", "no element found at line 3"},
        BrokenDocument{"<world>\n<a>x</a>", "no element found at line 2"},
        BrokenDocument{"<world>\n<a &>", "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<world>\n\n<a>&</a>", "not well-formed (invalid token) at line 3"},
        BrokenDocument{"<world>\n<object", "unclosed token at line 2"},
        BrokenDocument{"<world/>\n<x/>", "junk after document element at line 2"},
        BrokenDocument{"<world/>\n\ntext", "junk after document element at line 3"},
        // Cut off: inside an element, a tag, an attribute, text, a
        // reference, a comment, a CDATA section, an instruction, an end tag.
        BrokenDocument{"<world>\n<mesh>", "no element found at line 2"},
        BrokenDocument{"<world>\n<mesh id=\"1", "unclosed token at line 2"},
        BrokenDocument{"<world>\n<mesh\n id=", "unclosed token at line 2"},
        BrokenDocument{"<world>\n<mesh>1 2", "no element found at line 2"},
        BrokenDocument{"<world>\n<a>&am", "unclosed token at line 2"},
        BrokenDocument{"<world>\n<!-- a\nb", "unclosed token at line 2"},
        BrokenDocument{"<world>\n<![CDATA[a\nb", "unclosed CDATA section at line 3"},
        BrokenDocument{"<world>\n<?pi a\nb", "unclosed token at line 2"},
        BrokenDocument{"<world>\n</wor", "unclosed token at line 2"},
        // References and characters no document may hold.
        BrokenDocument{"<world>\n<a>&nbsp;</a></world>", "undefined entity at line 2"},
        BrokenDocument{"<world>\n<a b=\"&x;\"/></world>", "undefined entity at line 2"},
        BrokenDocument{"<world>\n<a>&#0;</a></world>",
                       "reference to invalid character number at line 2"},
        BrokenDocument{"<world>\n<a>\x01</a></world>", "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<world>\r\n<a>\r<b>\r\n&</b></a></world>",
                       "not well-formed (invalid token) at line 4"},
        // Faults on the line the input ends on, inside a tag, before the end.
        BrokenDocument{"<world><a></b><c", "mismatched tag at line 1"},
        BrokenDocument{"<world>\n<a><<", "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<world>\n<a b='1'c='2'/></world>",
                       "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<world>\n<a'></a></world>", "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<world>\n<a b=\"<\"/></world>",
                       "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<world>\n<a b=\"1\" / ></world>",
                       "not well-formed (invalid token) at line 2"},
        // Broken UTF-8: an overlong form, a surrogate, a stray byte, and U+FFFE.
        BrokenDocument{"<world>\n<a>\xC1\x81</a></world>",
                       "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<world>\n<a>\xED\xA0\x80</a></world>",
                       "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<world>\n<a b=\"\xFF\"/></world>",
                       "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<world>\n<a>\xEF\xBF\xBE</a></world>",
                       "not well-formed (invalid token) at line 2"},
        BrokenDocument{"<a:b></a\u00B7b>", "mismatched tag at line 1"},
        BrokenDocument{"<world/>\n<!-- c -->\n<?p?>\n<x/>",
                       "junk after document element at line 4"}));

// expat runs without namespace processing: a prefix is part of the name, declared or
// not, and a name may hold several colons.
TEST(XmlEvents, TakePrefixedNamesAsPlainNames) {
    const std::string document =
        "<a:world x:y=\"1\" xmlns:q=\"\"><w:a:b/><a\u00B7b c\u00B70=\"2\"/></a:world>";
    for (const std::size_t blockSize : {document.size(), std::size_t{1}}) {
        EventLog log;
        EXPECT_EQ(parseInBlocks(document, blockSize, log), "") << "blocks of " << blockSize;
        EXPECT_EQ(
            log.text,
            "<a:world x:y=1 xmlns:q=><w:a:b></w:a:b><a\u00B7b c\u00B70=2></a\u00B7b></a:world>")
            << "blocks of " << blockSize;
    }
}

// A long document is parsed as its blocks come, not held until the last one.
TEST(XmlEvents, ArriveBeforeTheLastBlockIsFed) {
    std::string document = "<world>";
    std::string expected = "<world>";
    while (document.size() < 200000) {
        document += "<p id=\"1\">1 2 3</p>\n";
        expected += "<p id=1>1 2 3</p>\n";
    }
    document += "</world>";
    expected += "</world>";
    EventLog log;
    const std::unique_ptr<XmlEventParser> parser = createXmlEventParser(log);
    ASSERT_TRUE(parser);
    ASSERT_TRUE(parser->feed(document.data(), 65536, false));
    ASSERT_TRUE(parser->feed(document.data() + 65536, 65536, false));
    EXPECT_GT(log.text.size(), 30000u);
    const auto rest = static_cast<std::uint32_t>(document.size() - 131072);
    EXPECT_TRUE(parser->feed(document.data() + 131072, rest, true)) << parser->errorText();
    EXPECT_EQ(log.text, expected);
}

// A caller may stop feeding at any point (a read error, a stopped load); the parser
// must then go without leaving work behind, however far it got.
TEST(XmlEvents, ParsersLeftMidDocumentGoCleanly) {
    const std::string document = "<world><p id=\"1\">1 2 3</p><q>";
    for (std::size_t cut = 0; cut <= document.size(); cut += 5) {
        EventLog log;
        std::unique_ptr<XmlEventParser> parser = createXmlEventParser(log);
        ASSERT_TRUE(parser);
        EXPECT_TRUE(parser->feed(document.data(), static_cast<std::uint32_t>(cut), false));
        parser.reset();
    }
    EventLog log;
    EXPECT_EQ(parseInBlocks(document, 4, log), "no element found at line 1");
}

}  // namespace
