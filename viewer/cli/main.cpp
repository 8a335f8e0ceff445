// tessaro-cli: the viewer's engine without a window, for people and scripts.
#include <sys/resource.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "scene/scene_consumer.h"
#include "xgl/input_stream.h"
#include "xgl/scene_load_context.h"

namespace {

constexpr int kValid = 0;
constexpr int kInvalid = 1;
constexpr int kCannotOpen = 2;

void printUsage() {
    std::fputs(
        "usage: tessaro-cli check FILE\n"
        "       tessaro-cli info FILE [--json]\n"
        "  check   validate an .xgl or .zgl document; prints the first message.\n"
        "  info    also counts what the document holds, with load time and peak memory.\n"
        "  exit 0 valid, 1 invalid (the message is printed), 2 cannot open\n",
        stderr);
}

void printMessage(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stdout);
}

// Counts what a load delivers and drops it.
struct CountingConsumer : tessaro::ValidatingConsumer {
    std::int32_t addMesh(std::unique_ptr<tessaro::DrawableMesh> mesh) override {
        ++meshes;
        faces += mesh->faces.count;
        lines += mesh->lines.count;
        points += mesh->points.count;
        positions += mesh->positions.count;
        return ValidatingConsumer::addMesh(nullptr);
    }
    std::int32_t addObject(std::unique_ptr<tessaro::ObjectRecord> object) override {
        ++objects;
        return ValidatingConsumer::addObject(std::move(object));
    }
    std::int32_t addTexture(std::unique_ptr<tessaro::TextureRecord> texture) override {
        ++textures;
        return ValidatingConsumer::addTexture(std::move(texture));
    }
    std::int32_t addTextureImage(std::unique_ptr<tessaro::TextureImageRecord> image) override {
        ++images;
        return ValidatingConsumer::addTextureImage(std::move(image));
    }
    void worldDone(std::unique_ptr<tessaro::WorldRecord>) override { world = true; }

    std::uint64_t meshes = 0, faces = 0, lines = 0, points = 0, positions = 0;
    std::uint64_t objects = 0, textures = 0, images = 0;
    bool world = false;
};

// Loads the document; kCannotOpen (with a line on stderr) when it cannot be read.
int load(const char* fileName, tessaro::ValidatingConsumer& consumer) {
    if (!tessaro::hasDocumentExtension(fileName)) {
        std::fprintf(stderr, "tessaro-cli: %s: not an XGL document (expected .xgl or .zgl)\n",
                     fileName);
        return kCannotOpen;
    }
    bool opened = false;
    tessaro::loadDocument(fileName, consumer, &opened);
    if (!opened) {
        std::fprintf(stderr, "tessaro-cli: %s: cannot open: %s\n", fileName, std::strerror(errno));
        return kCannotOpen;
    }
    return consumer.hasError() ? kInvalid : kValid;
}

int check(const char* fileName) {
    tessaro::ValidatingConsumer consumer;
    const int result = load(fileName, consumer);
    if (result == kInvalid) printMessage(consumer.firstError());
    return result;
}

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void printInfo(const CountingConsumer& c, double seconds, bool json) {
    const char* format = json ? "{\"meshes\": %llu, \"faces\": %llu, \"lines\": %llu, "
                                "\"points\": %llu, \"positions\": %llu, \"objects\": %llu, "
                                "\"textures\": %llu, \"images\": %llu, \"seconds\": %.3f, "
                                "\"peak_mb\": %.1f}\n"
                              : "meshes     %llu\nfaces      %llu\nlines      %llu\n"
                                "points     %llu\npositions  %llu\nobjects    %llu\n"
                                "textures   %llu\nimages     %llu\nload time  %.3f s\n"
                                "peak mem   %.1f MB\n";
    using ull = unsigned long long;
    std::printf(format, static_cast<ull>(c.meshes), static_cast<ull>(c.faces),
                static_cast<ull>(c.lines), static_cast<ull>(c.points),
                static_cast<ull>(c.positions), static_cast<ull>(c.objects),
                static_cast<ull>(c.textures), static_cast<ull>(c.images), seconds, peakMegabytes());
}

int info(const char* fileName, bool json) {
    CountingConsumer consumer;
    const auto start = std::chrono::steady_clock::now();
    const int result = load(fileName, consumer);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (result == kInvalid) printMessage(consumer.firstError());
    if (result == kValid) printInfo(consumer, elapsed.count(), json);
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "check") == 0) return check(argv[2]);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "info") == 0) {
        const bool json = argc == 4 && std::strcmp(argv[3], "--json") == 0;
        if (argc == 3 || json) return info(argv[2], json);
    }
    printUsage();
    return kCannotOpen;
}
