#include "convert/convert.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "convert/export_scene.h"
#include "convert/writers.h"
#include "xgl/scene_load_context.h"

namespace tessaro {

namespace {

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::size_t extensionStart(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path.size();
    return dot;
}

}  // namespace

bool exportFormatOf(const std::string& outputName, ExportFormat& format) {
    const std::string extension = lowerCase(outputName.substr(extensionStart(outputName)));
    if (extension == ".glb")
        format = ExportFormat::glb;
    else if (extension == ".gltf")
        format = ExportFormat::gltf;
    else if (extension == ".obj")
        format = ExportFormat::obj;
    else if (extension == ".stl")
        format = ExportFormat::stl;
    else
        return false;
    return extensionStart(outputName) != 0 && outputName[extensionStart(outputName) - 1] != '/';
}

std::string stemOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t first = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(first, extensionStart(path) - first);
}

std::string withExtension(const std::string& path, const std::string& extension) {
    return path.substr(0, extensionStart(path)) + extension;
}

bool writeFile(const std::string& path, const std::function<bool(std::FILE*)>& write,
               std::string& failure) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        failure = "Cannot write " + path;
        return false;
    }
    const bool written = write(file);
    if (std::fclose(file) != 0 || !written) {
        if (failure.empty()) failure = "Cannot write " + path;
        std::remove(path.c_str());
        return false;
    }
    return true;
}

ConvertResult convertDocument(const char* input, const std::string& output, ExportFormat format,
                              const ConvertOptions& options) {
    ConvertResult result;
    ExportScene scene;
    const bool opened = scene.open();
    result.load = loadDocument(input, scene);
    if (!result.load.loaded()) return result;
    if (!opened || !scene.failure().empty()) {
        result.writeError = scene.failure();
        return result;
    }
    switch (format) {
        case ExportFormat::glb:
        case ExportFormat::gltf:
            writeGltf(scene, output, format == ExportFormat::glb, options, result.writeError);
            break;
        case ExportFormat::obj:
            writeObj(scene, output, result.writeError);
            break;
        case ExportFormat::stl:
            writeStl(scene, output, result.writeError);
            break;
    }
    return result;
}

}  // namespace tessaro
