#include "dwf/dwf_document.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "dwf/package_xml.h"
#include "dwf/w2d_reader.h"
#include "dwf/w3d_reader.h"
#include "dwf/w3d_scene.h"
#include "dwf/zip_reader.h"

namespace plotwick {
namespace {

using internal::ManifestSection;
using internal::ZipReader;

// Larger entries are refused rather than held in memory; real sheets are a few MB.
constexpr std::size_t kEntryLimit = std::size_t{512} << 20;
constexpr std::size_t kHeaderSize = 12;

bool startsWith(std::span<const std::uint8_t> bytes, std::string_view prefix) {
    return bytes.size() >= prefix.size() &&
           std::memcmp(bytes.data(), prefix.data(), prefix.size()) == 0;
}

bool isPackage(std::span<const std::uint8_t> bytes) {
    return startsWith(bytes, "(DWF V") && bytes.size() >= kHeaderSize + 2 &&
           bytes[kHeaderSize] == 'P' && bytes[kHeaderSize + 1] == 'K';
}

std::string_view textOf(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

const std::string* hrefOf(const ManifestSection& section, std::string_view role) {
    for (const internal::Resource& resource : section.resources) {
        if (resource.role == role) return &resource.href;
    }
    return nullptr;
}

// Why an entry the manifest names (a "stream", a "descriptor") could not be used.
std::string entryProblem(const char* kind, const std::string& href, ZipReader::Problem problem) {
    using P = ZipReader::Problem;
    const std::string named = "The manifest names the " + std::string(kind) + " " + href;
    const std::string entry = "The package's " + std::string(kind) + " " + href;
    switch (problem) {
        case P::missing:
            return named + ", which the package does not hold";
        case P::tooLarge:
            return entry + " is larger than 512 MiB";
        case P::impossible:
            return entry + " declares more bytes than its compressed bytes can hold";
        case P::readBefore:
            return named + " again; each entry of a package is read once";
        case P::overBudget:
            return entry + " would inflate the package to more than 1032 times its size";
        case P::damaged:
        case P::none:
            break;
    }
    return entry + " is damaged (its size or checksum does not match)";
}

void placeFromDescriptor(const ZipReader& zip, const ManifestSection& section, Sheet& sheet) {
    const std::string* href = hrefOf(section, "descriptor");
    if (href == nullptr) return;
    const auto bytes = zip.read(*href, kEntryLimit);
    std::string error;
    const auto descriptor = bytes ? internal::parseDescriptor(textOf(*bytes), error) : std::nullopt;
    if (!descriptor) return;  // the sheet is still drawn, fitted to what it holds
    sheet.paper = descriptor->paper;
    if (descriptor->transform) sheet.transform = *descriptor->transform;
}

// Whether the placement puts the view (or, without one, the drawing) on its paper, to
// within a tenth of the paper: a placement that does not is not the drawing's.
bool putsTheDrawingOnItsPaper(const W2dGraphics& graphics) {
    const PlotPlacement& plot = *graphics.plot;
    const auto box = graphics.view ? graphics.view : boundsOf(graphics);
    if (!box) return true;
    const auto& m = plot.logicalToPaper;
    const double marginX = plot.width / 10, marginY = plot.height / 10;
    for (const auto x : {box->min.x, box->max.x}) {
        for (const auto y : {box->min.y, box->max.y}) {
            const double paperX = double(x) * m[0] + double(y) * m[4] + m[12];
            const double paperY = double(x) * m[1] + double(y) * m[5] + m[13];
            if (!(paperX >= -marginX && paperX <= plot.width + marginX && paperY >= -marginY &&
                  paperY <= plot.height + marginY)) {
                return false;
            }
        }
    }
    return true;
}

// A stream's own plot placement gives the paper when no descriptor did.
void placeByPlot(Sheet& sheet) {
    if (sheet.paper || !sheet.graphics.plot || !putsTheDrawingOnItsPaper(sheet.graphics)) return;
    const PlotPlacement& plot = *sheet.graphics.plot;
    sheet.paper = Paper{plot.millimetres, plot.width, plot.height};
    sheet.transform = plot.logicalToPaper;
}

Sheet readSection(const ZipReader& zip, const ManifestSection& section, std::size_t& budget) {
    Sheet sheet;
    sheet.title = section.title;
    placeFromDescriptor(zip, section, sheet);
    const std::string* href = hrefOf(section, "2d streaming graphics");
    if (href == nullptr) {
        sheet.graphics.message = "The sheet \"" + section.title + "\" names no 2D graphics stream";
        return sheet;
    }
    ZipReader::Problem problem = ZipReader::Problem::none;
    const auto stream = zip.read(*href, kEntryLimit, &problem);
    if (!stream) {
        sheet.graphics.message = entryProblem("stream", *href, problem);
        return sheet;
    }
    W2dLimits limits;
    limits.displayListBytes = budget;
    sheet.graphics = readW2d(*stream, limits);
    budget -= std::min(budget, sheet.graphics.memoryBytes);
    placeByPlot(sheet);
    return sheet;
}

// The largest picture the package holds of itself: preview, else thumbnail, else icon.
std::vector<std::uint8_t> previewOf(const ZipReader& zip,
                                    const std::vector<ManifestSection>& sections) {
    constexpr std::size_t kPictureLimit = std::size_t{32} << 20;
    for (const char* role : {"preview", "thumbnail", "icon"}) {
        for (const ManifestSection& section : sections) {
            const std::string* href = hrefOf(section, role);
            if (href == nullptr) continue;
            if (auto bytes = zip.read(*href, kPictureLimit)) return std::move(*bytes);
        }
    }
    return {};
}

// A model section's 3D stream, placed by its descriptor, decoded into triangle sets.
W3dModel readModelSection(const ZipReader& zip, const ManifestSection& section,
                          internal::W3dGeometryBudget& geometry) {
    W3dModel model;
    model.title = section.title;
    std::optional<internal::Descriptor> descriptor;
    if (const std::string* href = hrefOf(section, "descriptor")) {
        std::string error;
        if (const auto bytes = zip.read(*href, kEntryLimit))
            descriptor = internal::parseDescriptor(textOf(*bytes), error);
    }
    std::string streamHref = descriptor ? descriptor->modelHref : std::string();
    if (const std::string* listed = hrefOf(section, "3d streaming graphics");
        streamHref.empty() && listed != nullptr)
        streamHref = *listed;
    if (streamHref.empty()) {
        model.message = "The model \"" + section.title + "\" names no 3D graphics stream";
        return model;
    }
    ZipReader::Problem problem = ZipReader::Problem::none;
    const auto stream = zip.read(streamHref, kEntryLimit, &problem);
    if (!stream) {
        model.message = entryProblem("stream", streamHref, problem);
        return model;
    }
    const W3dMatrix placement =
        descriptor && descriptor->modelTransform ? *descriptor->modelTransform : kW3dIdentity;
    std::string title = std::move(model.title);
    model = internal::evaluateW3d(internal::readW3d(*stream, geometry), placement);
    model.title = std::move(title);
    if (descriptor) model.extents = descriptor->modelExtents;
    model.fitBox = internal::fitBoxOf(model.extents, model.conservativeBox);
    return model;
}

// "the model (29 shells, 42 instances, 22840 triangles)", and why a stream stopped.
std::string decodedModels(const std::vector<W3dModel>& models) {
    std::size_t shells = 0, instances = 0, triangles = 0;
    std::string problems;
    for (const W3dModel& model : models) {
        shells += model.shellCount;
        instances += model.instanceCount;
        triangles += model.triangleCount;
        if (!model.message.empty()) problems += " " + model.message + ".";
    }
    return "Decoded " +
           (models.size() == 1 ? std::string("the model")
                               : std::to_string(models.size()) + " models") +
           " (" + std::to_string(shells) + " shells, " + std::to_string(instances) +
           " instances, " + std::to_string(triangles) + " triangles)." + problems;
}

bool anyDrawable(const std::vector<W3dModel>& models) {
    return std::any_of(models.begin(), models.end(),
                       [](const W3dModel& model) { return !model.sets.empty(); });
}

DwfDocument readPackage(std::span<const std::uint8_t> bytes) {
    DwfDocument document;
    const ZipReader zip(bytes);
    if (!zip.isOpen()) {
        document.message = "The DWF package's ZIP archive cannot be read";
        return document;
    }
    ZipReader::Problem problem = ZipReader::Problem::none;
    const auto manifestBytes = zip.read("manifest.xml", kEntryLimit, &problem);
    if (!manifestBytes) {
        document.message = problem == ZipReader::Problem::missing
                               ? "The DWF package holds no manifest.xml"
                               : "The DWF package's manifest.xml cannot be read: " +
                                     entryProblem("manifest", "manifest.xml", problem);
        return document;
    }
    std::string error;
    const auto sections = internal::parseManifest(textOf(*manifestBytes), error);
    if (!sections) {
        document.message = "The DWF package's manifest.xml cannot be read: " + error;
        return document;
    }
    // One budget for the display lists of all sheets, and one for the geometry of all
    // models, so that many sections cannot multiply the memory a small file asks for.
    std::size_t budget = limitsFor(bytes.size()).displayListBytes;
    internal::W3dGeometryBudget geometry = internal::geometryBudgetFor(bytes.size());
    // A package may hold sheets and models side by side (a part published with its
    // shaded view); both are read.
    for (const ManifestSection& section : *sections) {
        if (section.type == "com.autodesk.dwf.ePlot")
            document.sheets.push_back(readSection(zip, section, budget));
        else if (section.type == "com.autodesk.dwf.eModel")
            document.models.push_back(readModelSection(zip, section, geometry));
    }
    // The picture the publisher left of a package without sheets: shown when nothing
    // else can be, and what its models are compared with.
    if (document.sheets.empty()) document.preview = previewOf(zip, *sections);
    if (document.sheets.empty() && !anyDrawable(document.models)) {
        if (document.models.empty())
            document.message = "The DWF package holds no 2D sheet";
        else
            document.message = "The DWF package's 3D models hold nothing to draw. " +
                               decodedModels(document.models);
    }
    return document;
}

}  // namespace

DwfDocument readDwf(std::span<const std::uint8_t> bytes) {
    DwfDocument document;
    if (bytes.empty()) {
        document.message = "The file is empty";
    } else if (isPackage(bytes)) {
        document = readPackage(bytes);
    } else if (startsWith(bytes, "(DWF V") || startsWith(bytes, "(W2D V")) {
        Sheet sheet;
        sheet.title = "Sheet 1";
        sheet.graphics = readW2d(bytes);
        placeByPlot(sheet);
        document.sheets.push_back(std::move(sheet));
    } else {
        document.message = "Not a DWF file: it begins with neither (DWF V..) nor (W2D V..)";
    }
    return document;
}

DwfDocument readDwfFile(const std::string& path) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "rb"),
                                                            &std::fclose);
    DwfDocument document;
    if (!file) {
        document.message = "Cannot open " + path + ": " + std::strerror(errno);
        return document;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t block[65536];
    for (std::size_t count = 0; (count = std::fread(block, 1, sizeof block, file.get())) > 0;) {
        bytes.insert(bytes.end(), block, block + count);
    }
    if (std::ferror(file.get())) {
        document.message = "Cannot read " + path + ": " + std::strerror(errno);
        return document;
    }
    return readDwf(bytes);
}

}  // namespace plotwick
