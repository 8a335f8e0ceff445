#include "xgl/load_model.h"

#include <gtest/gtest.h>

#include <string>

#include "recording_consumer.h"

namespace tessaro {
namespace {

using testing::RecordingConsumer;

// Keeps the first message and stops, as the parser core does.
struct FirstMessage : ErrorReporter {
    void reportError(const char* text) override {
        if (!stopped) first = text;
        stopped = true;
    }
    bool isStopped() const override { return stopped; }
    std::string first;
    bool stopped = false;
};

LoadEvent inData(TagId tag, AttributeList attributes = nullptr, const char* text = nullptr) {
    LoadEvent event;
    event.context = ParseContext::data;
    event.parent = ParseContext::world;
    event.tag = tag;
    event.attributes = attributes;
    event.text = text;
    return event;
}

// The rule groups need no parser: the events and the model are all they read.
TEST(LoadModel, RulesFillItFromEventsAlone) {
    RecordingConsumer consumer;
    FirstMessage reporter;
    LoadModel model(consumer, reporter);
    const char* org[] = {"org", "acme", nullptr};
    const char* name[] = {"name", "key", nullptr};
    WorldRules::enter(model, inData(TagId::data, org));
    WorldRules::leafStart(model, inData(TagId::str, name));
    WorldRules::text(model, inData(TagId::str, nullptr, "value"));
    model.childTagsOf(ParseContext::data).append(static_cast<std::int32_t>(TagId::str));
    WorldRules::leave(model, inData(TagId::data));

    EXPECT_EQ(reporter.first, "");
    ASSERT_EQ(consumer.dataBlocks.size(), 1u);
    EXPECT_EQ(consumer.dataBlocks[0]->org, "acme");
    ASSERT_EQ(consumer.dataBlocks[0]->strings.size(), 1u);
    EXPECT_EQ(consumer.dataBlocks[0]->strings[0].name, "key");
    EXPECT_EQ(consumer.dataBlocks[0]->strings[0].value, "value");
}

TEST(LoadModel, RulesReportThroughItsReporter) {
    RecordingConsumer consumer;
    FirstMessage reporter;
    LoadModel model(consumer, reporter);
    const char* org[] = {"org", "acme", nullptr};
    WorldRules::enter(model, inData(TagId::data, org));
    WorldRules::leave(model, inData(TagId::data));  // no child was recorded

    EXPECT_EQ(reporter.first, messageText(Message::dataNeedsBinOrString));
    EXPECT_TRUE(model.isStopped());
    EXPECT_TRUE(consumer.dataBlocks.empty());
}

}  // namespace
}  // namespace tessaro
