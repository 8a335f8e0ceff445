#include "nsis_text.h"

#include <cstdio>
#include <string_view>

namespace exportal {

namespace {

std::string controlCharacterName(unsigned char c) {
    switch (c) {
        case '\n':
            return "a line feed";
        case '\r':
            return "a carriage return";
        case '\0':
            return "a NUL character";
        case '\t':
            return "a tab";
        default:
            break;
    }
    char name[48];
    std::snprintf(name, sizeof name, "the control character U+%04X", c);
    return name;
}

// What the compiler would make of a character, or empty for a harmless one.
std::string scriptMeaning(unsigned char c, std::string& name) {
    if (c < 0x20 || c == 0x7f) {
        name = controlCharacterName(c);
        return "which would end the script's line and start a new command";
    }
    if (c == '$') {
        name = "the dollar sign ($)";
        return "which the compiler reads as the start of a variable or a definition";
    }
    if (c == '\\') {
        name = "the backslash (\\)";
        return "which the compiler reads as a folder separator";
    }
    return {};
}

std::string windowsMeaning(char c, std::string& name) {
    constexpr std::string_view kNotInWindowsNames = "\"*?<>|:";
    if (kNotInWindowsNames.find(c) == std::string_view::npos) return {};
    name = std::string("the character ") + c;
    if (c == '*' || c == '?') return "which the compiler reads as a wildcard";
    return "which a Windows file name cannot hold";
}

std::string refusal(const std::string& value, const std::string& name, const std::string& why) {
    return "\"" + value + "\" holds " + name + ", " + why + "; rename it to build the package.";
}

}  // namespace

std::string scriptValueRefusal(const std::string& value, ScriptValueKind kind) {
    std::string name;
    for (const char c : value) {
        const std::string why = scriptMeaning(static_cast<unsigned char>(c), name);
        if (!why.empty()) return refusal(value, name, why);
    }
    if (kind != ScriptValueKind::packedFile) return {};
    const std::size_t separator = value.rfind('/');
    const std::string unpacked =
        separator == std::string::npos ? value : value.substr(separator + 1);
    for (const char c : unpacked) {
        const std::string why = windowsMeaning(c, name);
        if (!why.empty()) return refusal(value, name, why);
    }
    return {};
}

std::string quotedScriptText(const std::string& value) {
    std::string quoted;
    quoted.reserve(value.size());
    for (const char c : value) {
        if (c == '"' || c == '\'' || c == '`') quoted += "$\\";
        quoted += c;
    }
    return quoted;
}

}  // namespace exportal
