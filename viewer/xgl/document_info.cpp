#include "xgl/document_info.h"

#ifdef _WIN32
#include <windows.h>
// psapi after windows.h, which it needs.
#include <psapi.h>
#else
#include <sys/resource.h>
#endif

#include <chrono>
#include <cstdio>
#include <string>

#include "scene/scene_consumer.h"
#include "xgl/scene_load_context.h"

namespace tessaro {

namespace {

// Counts what a load delivers and keeps the boxes the viewer would keep.
class InfoConsumer : public ValidatingConsumer {
  public:
    explicit InfoConsumer(DocumentInfo& info) : m_info(info) {}

    void worldDone(std::unique_ptr<WorldRecord> world) override {
        const Box box = m_bounds.worldBox(*world);
        if (!box.empty()) m_info.bbox = box;
    }
    std::int32_t addMesh(std::unique_ptr<DrawableMesh> mesh) override {
        ++m_info.meshes;
        m_info.faces += mesh->faces.count;
        m_info.lines += mesh->lines.count;
        m_info.points += mesh->points.count;
        m_info.materials += mesh->materials.count;
        return m_bounds.addMesh(*mesh);
    }
    std::int32_t addObject(std::unique_ptr<ObjectRecord> object) override {
        ++m_info.objects;
        if (object->include) ++m_info.includes;
        return m_bounds.addObject(*object);
    }
    std::int32_t addMeshGroup(std::uint32_t count, const std::int32_t* handles) override {
        ++m_info.meshGroups;
        return m_bounds.addMeshGroup(count, handles);
    }
    std::int32_t addData(std::unique_ptr<DataRecord> data) override {
        ++m_info.data;
        return ValidatingConsumer::addData(std::move(data));
    }
    std::int32_t addTexture(std::unique_ptr<TextureRecord> texture) override {
        ++m_info.textures;
        return ValidatingConsumer::addTexture(std::move(texture));
    }
    std::int32_t addTextureImage(std::unique_ptr<TextureImageRecord> image) override {
        ++m_info.images;
        return ValidatingConsumer::addTextureImage(std::move(image));
    }

  private:
    DocumentInfo& m_info;
    SceneBounds m_bounds;
};

std::uint64_t peakRssBytes() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;
#endif
}

void appendJsonString(std::string& out, const std::string& text) {
    out += '"';
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

std::string boxText(const Box& b, const char* separator) {
    char text[256];
    std::snprintf(text, sizeof text, "%.10g%s%.10g%s%.10g%s%.10g%s%.10g%s%.10g", b.min[0],
                  separator, b.min[1], separator, b.min[2], separator, b.max[0], separator,
                  b.max[1], separator, b.max[2]);
    return text;
}

}  // namespace

DocumentInfo describeDocument(const char* fileName) {
    DocumentInfo info;
    InfoConsumer consumer(info);
    const auto start = std::chrono::steady_clock::now();
    info.load = loadDocument(fileName, consumer);
    info.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    info.peakRssBytes = peakRssBytes();
    if (info.load.status == LoadStatus::invalid) info.bbox.reset();
    return info;
}

namespace {

// The counts in the order both formats print them: JSON key, text label, field.
struct CountField {
    const char* key;
    const char* label;
    std::uint64_t DocumentInfo::*field;
};

constexpr CountField kCounts[] = {
    {"meshes", "meshes", &DocumentInfo::meshes},
    {"mesh_groups", "mesh groups", &DocumentInfo::meshGroups},
    {"objects", "objects", &DocumentInfo::objects},
    {"faces", "faces", &DocumentInfo::faces},
    {"lines", "lines", &DocumentInfo::lines},
    {"points", "points", &DocumentInfo::points},
    {"materials", "materials", &DocumentInfo::materials},
    {"textures", "textures", &DocumentInfo::textures},
    {"images", "images", &DocumentInfo::images},
    {"data", "data", &DocumentInfo::data},
    {"includes", "includes", &DocumentInfo::includes},
};

}  // namespace

std::string toJson(const DocumentInfo& i) {
    std::string out = "{";
    for (const CountField& count : kCounts) {
        out += '"';
        out += count.key;
        out += "\": ";
        out += std::to_string(i.*count.field);
        out += ", ";
    }
    out += "\"bbox\": ";
    out += i.bbox ? '[' + boxText(*i.bbox, ", ") + ']' : std::string("null");
    char tail[128];
    std::snprintf(tail, sizeof tail,
                  ", \"seconds\": %.6f, \"peak_rss_bytes\": %llu, \"message\": ", i.seconds,
                  static_cast<unsigned long long>(i.peakRssBytes));
    out += tail;
    if (i.load.status == LoadStatus::invalid) {
        appendJsonString(out, i.load.message);
    } else {
        out += "null";
    }
    return out + "}\n";
}

std::string toText(const DocumentInfo& i) {
    std::string out;
    char line[128];
    for (const CountField& count : kCounts) {
        std::snprintf(line, sizeof line, "%-13s%llu\n", count.label,
                      static_cast<unsigned long long>(i.*count.field));
        out += line;
    }
    out += "bbox         " + (i.bbox ? boxText(*i.bbox, " ") : std::string("none")) + "\n";
    std::snprintf(line, sizeof line, "load time    %.3f s\npeak memory  %.1f MB\n", i.seconds,
                  static_cast<double>(i.peakRssBytes) / 1048576.0);
    return out + line;
}

}  // namespace tessaro
