#include "shell/shell_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/navigation.h"

namespace tessaro {
namespace {

struct CommandCase {
    int command;
    const char* menu;
    const char* prompt;
    const char* tip;
};

class CommandTexts : public ::testing::TestWithParam<CommandCase> {};

TEST_P(CommandTexts, SplitThePromptFromTheTip) {
    const CommandCase& c = GetParam();
    EXPECT_EQ(menuText(c.command), c.menu);
    EXPECT_EQ(commandPrompt(c.command), c.prompt);
    EXPECT_EQ(commandTip(c.command), c.tip);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandTexts,
    ::testing::Values(
        CommandCase{32777, "Pan", "Pans the world", "Pan World"},
        CommandCase{32778, "Examine", "Rotates the world", "Rotate World"},
        CommandCase{32779, "Zoom In", "Zooms into the center of the world", "Zoom In"},
        CommandCase{32780, "Default View", "Shows the default view of the world", "Default View"},
        CommandCase{57601, "&Open", "", ""}, CommandCase{57602, "&Close", "", ""},
        CommandCase{57665, "E&xit", "", ""}, CommandCase{59392, "&Toolbar", "", ""},
        CommandCase{59393, "&Status Bar", "", ""}, CommandCase{57664, "&About Tessaro...", "", ""},
        CommandCase{12345, "", "", ""}));

TEST(CommandNumbers, AreTheFrameworkAndResourceNumbers) {
    EXPECT_EQ(kOpenCommand, 57601);
    EXPECT_EQ(kCloseCommand, 57602);
    EXPECT_EQ(kExitCommand, 57665);
    EXPECT_EQ(kAboutCommand, 57664);
    EXPECT_EQ(kToolBarCommand, 59392);
    EXPECT_EQ(kStatusBarCommand, 59393);
    EXPECT_EQ(kDefaultViewCommand, 32780);
    const std::vector<int> buttons(std::begin(kToolbarCommands), std::end(kToolbarCommands));
    EXPECT_EQ(buttons, (std::vector<int>{32778, 32777, 32779, 32780}));
}

struct TitleCase {
    std::size_t length;
    bool titled;
};

class WindowTitle : public ::testing::TestWithParam<TitleCase> {};

TEST_P(WindowTitle, NamesTheFileUpTo1023Characters) {
    const std::string name(GetParam().length, 'a');
    const std::string expected = GetParam().titled ? name + " - Tessaro" : "Tessaro";
    EXPECT_EQ(windowTitleFor(name), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, WindowTitle,
                         ::testing::Values(TitleCase{1, true}, TitleCase{1022, true},
                                           TitleCase{1023, true}, TitleCase{1024, false},
                                           TitleCase{5000, false}));

TEST(WindowTitle, KeepsTheNameAsGiven) {
    EXPECT_EQ(windowTitleFor("../models/Grid.XGL"), "../models/Grid.XGL - Tessaro");
}

struct PatternCase {
    const char* filter;
    std::vector<std::string> patterns;
};

class FilterPatterns : public ::testing::TestWithParam<PatternCase> {};

TEST_P(FilterPatterns, SplitAtBlanksAndSemicolons) {
    EXPECT_EQ(filterPatterns(GetParam().filter), GetParam().patterns);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FilterPatterns,
    ::testing::Values(PatternCase{"XGL Files (*.xgl; *.zgl)", {"*.xgl", "*.zgl"}},
                      PatternCase{"All Files (*.*)", {"*.*"}},
                      PatternCase{"X (*.a;*.b  *.c)", {"*.a", "*.b", "*.c"}},
                      PatternCase{"No patterns", {}}, PatternCase{"Reversed )(", {}}));

struct NameCase {
    const char* name;
    bool scene;
};

class SceneFileNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(SceneFileNames, EndInXglOrZglInAnyCase) {
    EXPECT_EQ(isSceneFileName(GetParam().name), GetParam().scene) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Table, SceneFileNames,
                         ::testing::Values(NameCase{"a.xgl", true}, NameCase{"a.XGL", true},
                                           NameCase{"b.zGl", true}, NameCase{"a.xgl.bak", false},
                                           NameCase{"xgl", false}, NameCase{"a.xg", false},
                                           NameCase{".zgl", true}, NameCase{"a.txt", false}));

}  // namespace
}  // namespace tessaro
