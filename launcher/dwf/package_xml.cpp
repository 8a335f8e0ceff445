#include "dwf/package_xml.h"

#include <expat.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

namespace plotwick::internal {
namespace {

using Attributes = std::map<std::string, std::string>;
using StartHandler = std::function<void(const std::string&, const Attributes&)>;

// Element and attribute names without their prefix: files write both "dwf:href" and
// "href".
std::string localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon != nullptr ? colon + 1 : name;
}

void onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    Attributes map;
    for (int i = 0; attributes[i] != nullptr; i += 2) {
        map[localName(attributes[i])] = attributes[i + 1];
    }
    (*static_cast<StartHandler*>(data))(localName(name), map);
}

bool parseXml(std::string_view xml, StartHandler handler, std::string& error) {
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate(nullptr),
                                                                        &XML_ParserFree);
    if (!parser) {
        error = "out of memory";
        return false;
    }
    XML_SetUserData(parser.get(), &handler);
    XML_SetStartElementHandler(parser.get(), onStart);
    if (xml.size() > static_cast<std::size_t>(INT32_MAX) ||
        XML_Parse(parser.get(), xml.data(), static_cast<int>(xml.size()), XML_TRUE) !=
            XML_STATUS_OK) {
        error = std::string(XML_ErrorString(XML_GetErrorCode(parser.get()))) + " at line " +
                std::to_string(XML_GetCurrentLineNumber(parser.get()));
        return false;
    }
    return true;
}

std::string valueOf(const Attributes& attributes, const char* name) {
    const auto found = attributes.find(name);
    return found == attributes.end() ? std::string() : found->second;
}

std::optional<double> numberOf(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end == text.c_str()) return std::nullopt;
    return value;
}

std::optional<std::array<double, 16>> matrixOf(const std::string& text) {
    std::array<double, 16> matrix{};
    const char* next = text.c_str();
    for (double& element : matrix) {
        char* end = nullptr;
        element = std::strtod(next, &end);
        if (end == next) return std::nullopt;
        next = end;
    }
    return matrix;
}

std::optional<Paper> paperOf(const Attributes& attributes) {
    const auto width = numberOf(valueOf(attributes, "width"));
    const auto height = numberOf(valueOf(attributes, "height"));
    if (!width || !height || *width <= 0 || *height <= 0) return std::nullopt;
    return Paper{valueOf(attributes, "units") == "mm", *width, *height};
}

}  // namespace

std::optional<std::vector<ManifestSection>> parseManifest(std::string_view xml,
                                                          std::string& error) {
    std::vector<ManifestSection> sections;
    const auto handler = [&](const std::string& name, const Attributes& attributes) {
        if (name == "Section") {
            sections.push_back({valueOf(attributes, "type"), valueOf(attributes, "title"), {}});
        } else if (name == "Resource" && !sections.empty()) {
            sections.back().resources.push_back(
                {valueOf(attributes, "role"), valueOf(attributes, "href")});
        }
    };
    if (!parseXml(xml, handler, error)) return std::nullopt;
    return sections;
}

std::optional<Descriptor> parseDescriptor(std::string_view xml, std::string& error) {
    Descriptor descriptor;
    const auto handler = [&](const std::string& name, const Attributes& attributes) {
        if (name == "Paper") {
            descriptor.paper = paperOf(attributes);
        } else if (name == "GraphicResource" &&
                   valueOf(attributes, "role") == "2d streaming graphics") {
            descriptor.graphicsHref = valueOf(attributes, "href");
            descriptor.transform = matrixOf(valueOf(attributes, "transform"));
        }
    };
    if (!parseXml(xml, handler, error)) return std::nullopt;
    return descriptor;
}

}  // namespace plotwick::internal
