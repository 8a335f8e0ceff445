#include "dwf/w2d_writer.h"

#include <minizip/zip.h>

#include <cstdio>
#include <limits>
#include <memory>

namespace plotwick {
namespace {

constexpr std::uint8_t kSetColour = 0x03;
constexpr std::string_view kPackageHeader = "(DWF V06.00)";
// The interface id that marks a package as holding ePlot sheets.
constexpr std::string_view kEPlotInterface = "715941D4-1AC2-4545-8185-BC40E053B551";

std::string number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string sectionName(std::size_t index) {
    return "com.autodesk.dwf.ePlot_" + std::to_string(index + 1);
}

std::string xmlEscaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string modelSectionName(std::size_t index) {
    return "com.autodesk.dwf.eModel_" + std::to_string(index + 1);
}

std::string manifestSection(const std::string& type, const std::string& name,
                            const std::string& title, const std::string& graphicsRole,
                            const std::string& graphicsMime, const std::string& graphicsEntry) {
    return "  <dwf:Section type=\"" + type + "\" name=\"" + name + "\" title=\"" +
           xmlEscaped(title) + "\">\n   <dwf:Source provider=\"Plotwick\" href=\"\"/>\n" +
           "   <dwf:Toc><dwf:Resource role=\"" + graphicsRole + "\" mime=\"" + graphicsMime +
           "\" href=\"" + name + "\\" + graphicsEntry + "\"/>\n" +
           "    <dwf:Resource role=\"descriptor\" mime=\"text/xml\" href=\"" + name +
           "\\descriptor.xml\"/></dwf:Toc>\n  </dwf:Section>\n";
}

std::string manifestXml(std::span<const PackageSheet> sheets,
                        std::span<const PackageModel> models) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<dwf:Manifest xmlns:dwf=\"DWF-Manifest:6.0\" version=\"6.0\" objectId=\"plotwick\">\n"
        " <dwf:Interfaces><dwf:Interface objectId=\"" +
        std::string(kEPlotInterface) +
        "\" name=\"ePlot\" href=\"http://www.autodesk.com/viewers\"/></dwf:Interfaces>\n"
        " <dwf:Sections>\n";
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        xml += manifestSection("com.autodesk.dwf.ePlot", sectionName(i), sheets[i].title,
                               "2d streaming graphics", "application/x-w2d", "sheet.w2d");
    }
    for (std::size_t i = 0; i < models.size(); ++i) {
        xml += manifestSection("com.autodesk.dwf.eModel", modelSectionName(i), models[i].title,
                               "3d streaming graphics", "application/x-w3d", "model.w3d");
    }
    return xml + " </dwf:Sections>\n</dwf:Manifest>\n";
}

std::string descriptorXml(const PackageSheet& sheet, std::size_t index) {
    const Paper& paper = sheet.paper;
    std::string transform;
    for (double element : sheet.transform)
        transform += (transform.empty() ? "" : " ") + number(element);
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<ePlot:Page xmlns:ePlot=\"DWF-ePlot:1.2\" version=\"1.2\" name=\"" +
           xmlEscaped(sheet.title) + "\" plotOrder=\"" + std::to_string(index + 1) + "\">\n" +
           " <ePlot:Paper units=\"" + (paper.millimetres ? "mm" : "in") + "\" width=\"" +
           number(paper.width) + "\" height=\"" + number(paper.height) + "\" clip=\"0 0 " +
           number(paper.width) + " " + number(paper.height) + "\"/>\n" +
           " <ePlot:Resources><ePlot:GraphicResource role=\"2d streaming graphics\" "
           "mime=\"application/x-w2d\" href=\"" +
           sectionName(index) + "\\sheet.w2d\" transform=\"" + transform +
           "\"/></ePlot:Resources>\n</ePlot:Page>\n";
}

// Extents in full precision, so that a reader's own box of the model compares equal.
std::string extentsXml(const std::optional<W3dBox>& extents) {
    if (!extents) return {};
    std::string text;
    for (double side : *extents) {
        char number[40];
        std::snprintf(number, sizeof number, "%.17g", side);
        text += (text.empty() ? "" : " ") + std::string(number);
    }
    return "\" extents=\"" + text;
}

std::string modelDescriptorXml(const PackageModel& model, std::size_t index) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<eModel:Space xmlns:eModel=\"DWF-eModel:1.0\" version=\"1.0\" name=\"" +
           xmlEscaped(model.title) +
           "\">\n <eModel:Resources><eModel:GraphicResource role=\"3d streaming graphics\" "
           "mime=\"application/x-w3d\" href=\"" +
           modelSectionName(index) + "\\model.w3d\" transform=\"1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1" +
           extentsXml(model.extents) + "\"/></eModel:Resources>\n</eModel:Space>\n";
}

bool addEntry(zipFile zip, const std::string& name, const void* data, std::size_t size) {
    // One write call takes an unsigned count; a larger entry would be cut short.
    if (size > std::numeric_limits<unsigned>::max()) return false;
    zip_fileinfo info{};
    if (zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                            Z_DEFAULT_COMPRESSION) != ZIP_OK) {
        return false;
    }
    const bool written = zipWriteInFileInZip(zip, data, static_cast<unsigned>(size)) == ZIP_OK;
    return zipCloseFileInZip(zip) == ZIP_OK && written;
}

bool addText(zipFile zip, const std::string& name, const std::string& text) {
    return addEntry(zip, name, text.data(), text.size());
}

bool writeHeader(const std::string& path) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "wb"),
                                                            &std::fclose);
    return file && std::fwrite(kPackageHeader.data(), 1, kPackageHeader.size(), file.get()) ==
                       kPackageHeader.size();
}

}  // namespace

W2dWriter::W2dWriter(std::string_view header) {
    ascii(header);
}

void W2dWriter::view(const LogicalBox& extent) {
    ascii("(View " + std::to_string(extent.min.x) + "," + std::to_string(extent.min.y) + " " +
          std::to_string(extent.max.x) + "," + std::to_string(extent.max.y) + ")");
}

void W2dWriter::colour(const Rgba& colour) {
    byte(kSetColour);
    for (std::uint8_t channel : {colour.r, colour.g, colour.b, colour.a})
        byte(channel);
}

void W2dWriter::fill(bool on) {
    byte(on ? 'F' : 'f');
}

void W2dWriter::moveTo(const LogicalPoint& point) {
    byte('O');
    int32(static_cast<std::int32_t>(point.x));
    int32(static_cast<std::int32_t>(point.y));
    m_current = point;
}

void W2dWriter::line(const LogicalPoint& from, const LogicalPoint& to) {
    byte('l');
    relative32(from);
    relative32(to);
}

void W2dWriter::polyline(std::span<const LogicalPoint> points) {
    if (points.empty()) return;  // a count of 0 cannot be written
    byte('p');
    count(static_cast<std::uint32_t>(points.size()));
    for (const LogicalPoint& point : points)
        relative32(point);
}

void W2dWriter::triangles(std::span<const LogicalPoint> strip) {
    if (strip.empty()) return;
    byte('t');
    count(static_cast<std::uint32_t>(strip.size()));
    for (const LogicalPoint& point : strip)
        relative32(point);
}

void W2dWriter::end() {
    ascii("(EndOfDWF)");
}

void W2dWriter::ascii(std::string_view text) {
    m_bytes.insert(m_bytes.end(), text.begin(), text.end());
}

void W2dWriter::byte(std::uint8_t value) {
    m_bytes.push_back(value);
}

void W2dWriter::int16(std::int16_t value) {
    uint16(static_cast<std::uint16_t>(value));
}

void W2dWriter::uint16(std::uint16_t value) {
    byte(static_cast<std::uint8_t>(value));
    byte(static_cast<std::uint8_t>(value >> 8));
}

void W2dWriter::int32(std::int32_t value) {
    uint32(static_cast<std::uint32_t>(value));
}

void W2dWriter::uint32(std::uint32_t value) {
    uint16(static_cast<std::uint16_t>(value));
    uint16(static_cast<std::uint16_t>(value >> 16));
}

void W2dWriter::count(std::uint32_t value) {
    if (value > 0 && value < 256) {
        byte(static_cast<std::uint8_t>(value));
        return;
    }
    byte(0);
    uint16(static_cast<std::uint16_t>(value - 256));
}

void W2dWriter::relative32(const LogicalPoint& point) {
    int32(static_cast<std::int32_t>(point.x - m_current.x));
    int32(static_cast<std::int32_t>(point.y - m_current.y));
    m_current = point;
}

void W2dWriter::relative16(const LogicalPoint& point) {
    int16(static_cast<std::int16_t>(point.x - m_current.x));
    int16(static_cast<std::int16_t>(point.y - m_current.y));
    m_current = point;
}

bool writeDwfPackage(const std::string& path, std::span<const PackageSheet> sheets,
                     std::span<const PackageModel> models, std::string& error) {
    // The ZIP archive follows the 12-byte header; its offsets count from the start
    // of the file, which is how minizip appends to an existing file.
    zipFile zip = writeHeader(path) ? zipOpen64(path.c_str(), APPEND_STATUS_CREATEAFTER) : nullptr;
    if (zip == nullptr) {
        error = "Cannot write " + path;
        return false;
    }
    bool ok = addText(zip, "manifest.xml", manifestXml(sheets, models));
    for (std::size_t i = 0; ok && i < sheets.size(); ++i) {
        const std::string folder = sectionName(i) + "\\";
        ok = addText(zip, folder + "descriptor.xml", descriptorXml(sheets[i], i)) &&
             addEntry(zip, folder + "sheet.w2d", sheets[i].stream.data(), sheets[i].stream.size());
    }
    for (std::size_t i = 0; ok && i < models.size(); ++i) {
        const std::string folder = modelSectionName(i) + "\\";
        ok = addText(zip, folder + "descriptor.xml", modelDescriptorXml(models[i], i)) &&
             addEntry(zip, folder + "model.w3d", models[i].stream.data(), models[i].stream.size());
    }
    ok = zipClose(zip, nullptr) == ZIP_OK && ok;
    if (!ok) error = "Cannot write " + path;
    return ok;
}

bool writeDwfPackage(const std::string& path, std::span<const PackageSheet> sheets,
                     std::string& error) {
    return writeDwfPackage(path, sheets, {}, error);
}

}  // namespace plotwick
