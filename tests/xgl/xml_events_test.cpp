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
    for (const std::size_t blockSize : {std::size_t{65536}, std::size_t{3}}) {
        EventLog log;
        EXPECT_EQ(parseInBlocks(GetParam().document, blockSize, log), GetParam().error)
            << "blocks of " << blockSize;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, XmlSyntaxErrors,
    ::testing::Values(BrokenDocument{"", "no element found at line 1"},
                      BrokenDocument{"\n\n", "no element found at line 3"},
                      BrokenDocument{"<world>\n<a>\n</world>", "mismatched tag at line 3"},
                      BrokenDocument{"<world>\n<a>\n", "no element found at line 3"},
                      BrokenDocument{"<world>\n<a>x</a>", "no element found at line 2"},
                      BrokenDocument{"<world>\n<a &>", "not well-formed (invalid token) at line 2"},
                      BrokenDocument{"<world>\n\n<a>&</a>",
                                     "not well-formed (invalid token) at line 3"},
                      BrokenDocument{"<world>\n<object", "unclosed token at line 2"},
                      BrokenDocument{"<world/>\n<x/>", "junk after document element at line 2"},
                      BrokenDocument{"<world/>\n\ntext", "junk after document element at line 3"}));

}  // namespace
