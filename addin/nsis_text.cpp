#include "nsis_text.h"

#include <algorithm>
#include <cctype>
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

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

// Windows opens these as devices whatever follows the first dot: a package would
// unpack nothing under "aux.zgl" and start the viewer on the device.
std::string deviceNameOf(std::string_view fileName) {
    std::string_view stem = fileName.substr(0, fileName.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.remove_suffix(1);
    for (const std::string_view device : {"CON", "PRN", "AUX", "NUL"})
        if (stem.size() == 3 && startsWithIgnoringCase(stem, device)) return std::string(device);
    for (const std::string_view device : {"COM", "LPT"})
        if (stem.size() == 4 && startsWithIgnoringCase(stem, device) &&
            std::isdigit(static_cast<unsigned char>(stem[3])))
            return std::string(device) + stem[3];
    return {};
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
    const std::string device = deviceNameOf(unpacked);
    if (!device.empty())
        return refusal(value, "the Windows device name " + device,
                       "which Windows opens as a device instead of the file");
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

std::string scriptValueText(const std::string& value) {
    // The File command takes a quoted argument starting with "/x" or "/oname=" for one
    // of its switches; "/./" names the same folder.
    const std::string_view firstFolder = std::string_view(value).substr(1);
    const bool readAsSwitch =
        value.starts_with('/') &&
        (startsWithIgnoringCase(firstFolder, "x") || startsWithIgnoringCase(firstFolder, "oname="));
    return quotedScriptText(readAsSwitch ? "/." + value : value);
}

}  // namespace exportal
