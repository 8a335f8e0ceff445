#include "shell/shell_texts.h"

#include <cctype>

#include "shell/navigation.h"
#include "xgl/input_stream.h"

namespace tessaro {

namespace {

struct CommandStrings {
    int command;
    const char* menu;
    const char* promptAndTip;
    const char* shortcut = "";
};

constexpr CommandStrings kCommands[] = {
    {kOpenCommand, "&Open", "", "Ctrl+O"},
    {kCloseCommand, "&Close", "", "Ctrl+W"},
    {kExitCommand, "E&xit", "", "Ctrl+Q"},
    {kToolBarCommand, "&Toolbar", ""},
    {kStatusBarCommand, "&Status Bar", ""},
    {kExamineCommand, "Examine", "Rotates the world\nRotate World"},
    {kPanCommand, "Pan", "Pans the world\nPan World"},
    {kZoomCommand, "Zoom In", "Zooms into the center of the world\nZoom In"},
    {kDefaultViewCommand, "Default View", "Shows the default view of the world\nDefault View",
     "Home"},
    {kHeadlightCommand, "&Headlight", "Lights the world from the viewer\nHeadlight"},
    {kAboutCommand, "&About Tessaro...", ""},
};

const CommandStrings* find(int command) {
    for (const CommandStrings& c : kCommands) {
        if (c.command == command) return &c;
    }
    return nullptr;
}

}  // namespace

std::string_view commandString(int command) {
    const CommandStrings* c = find(command);
    return c != nullptr ? c->promptAndTip : "";
}

std::string commandPrompt(int command) {
    const std::string_view text = commandString(command);
    return std::string(text.substr(0, text.find('\n')));
}

std::string commandTip(int command) {
    const std::string_view text = commandString(command);
    const std::size_t newline = text.find('\n');
    return newline == std::string_view::npos ? std::string()
                                             : std::string(text.substr(newline + 1));
}

std::string_view menuText(int command) {
    const CommandStrings* c = find(command);
    return c != nullptr ? c->menu : "";
}

std::string_view commandShortcut(int command) {
    const CommandStrings* c = find(command);
    return c != nullptr ? c->shortcut : "";
}

std::string windowTitleFor(std::string_view fileName) {
    if (fileName.size() > kLongestTitledName) return kAppName;
    return std::string(fileName) + " - " + kAppName;
}

std::vector<std::string> filterPatterns(std::string_view filter) {
    const std::size_t open = filter.rfind('(');
    const std::size_t close = filter.rfind(')');
    std::vector<std::string> patterns;
    if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
        return patterns;
    }
    std::string current;
    for (const char c : filter.substr(open + 1, close - open - 1)) {
        if (c == ' ' || c == ';') {
            if (!current.empty()) patterns.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) patterns.push_back(current);
    return patterns;
}

// The reader decides which names are documents; the viewer accepts the same ones.
bool isSceneFileName(std::string_view fileName) {
    return hasDocumentExtension(std::string(fileName).c_str());
}

}  // namespace tessaro
