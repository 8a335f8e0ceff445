#include "dwf/package_xml.h"

#include <cstdlib>

#include "dwf/xml_starts.h"

namespace plotwick::internal {
namespace {

using Attributes = XmlAttributes;

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

template <std::size_t N>
std::optional<std::array<double, N>> numbersOf(const std::string& text) {
    std::array<double, N> matrix{};
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
    std::size_t resources = 0;
    bool tooMany = false;
    const auto handler = [&](const std::string& name, const Attributes& attributes) {
        if (tooMany) return;
        if (name == "Section") {
            tooMany = sections.size() == kMaxManifestSections;
            if (!tooMany)
                sections.push_back({valueOf(attributes, "type"), valueOf(attributes, "title"), {}});
        } else if (name == "Resource" && !sections.empty()) {
            tooMany = resources++ == kMaxManifestResources;
            if (!tooMany)
                sections.back().resources.push_back(
                    {valueOf(attributes, "role"), valueOf(attributes, "href")});
        }
    };
    if (!readXmlStarts(xml, handler, error)) return std::nullopt;
    if (tooMany) {
        error = "it lists more than " + std::to_string(kMaxManifestSections) + " sections or " +
                std::to_string(kMaxManifestResources) + " resources";
        return std::nullopt;
    }
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
            descriptor.transform = numbersOf<16>(valueOf(attributes, "transform"));
        } else if (name == "GraphicResource" &&
                   valueOf(attributes, "role") == "3d streaming graphics") {
            descriptor.modelHref = valueOf(attributes, "href");
            descriptor.modelTransform = numbersOf<16>(valueOf(attributes, "transform"));
            descriptor.modelExtents = numbersOf<6>(valueOf(attributes, "extents"));
        }
    };
    if (!readXmlStarts(xml, handler, error)) return std::nullopt;
    return descriptor;
}

}  // namespace plotwick::internal
