// tessaro-cli: the viewer's engine without a window, for people and scripts.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
// Drawing needs EGL and OpenGL, which the Windows build does not have.
#define TESSARO_CLI_RENDER 1
#include "convert/convert.h"
#include "document/headless_render.h"
#include "render/renderer.h"
#include "shell/navigation.h"
#endif
#include "progress_bar.h"
#include "scene/scene_consumer.h"
#include "xgl/document_info.h"
#include "xgl/scene_load_context.h"

namespace {

constexpr int kValid = 0;
constexpr int kInvalid = 1;
constexpr int kCannotOpen = 2;

void printUsage() {
    std::fputs(
        "usage: tessaro-cli check FILE\n"
        "       tessaro-cli info FILE [--json]\n"
#ifdef TESSARO_CLI_RENDER
        "       tessaro-cli render FILE -o OUT.png [--size WxH] [--headlight] [--turn X,Y]\n"
        "       tessaro-cli convert FILE -o OUT.glb|OUT.gltf|OUT.obj|OUT.stl [--headlight]\n"
#endif
        "  check   validate an .xgl or .zgl document; prints the first message.\n"
        "  info    also counts what the document holds, with load time and peak memory.\n"
#ifdef TESSARO_CLI_RENDER
        "  render  writes the picture the viewer shows after loading (default 800x600);\n"
        "          --headlight adds a white light from the viewer, --turn X,Y turns the\n"
        "          model as a drag of X and Y pixels with the Examine tool would.\n"
        "  convert writes what the viewer draws as glTF 2.0 (.glb, or .gltf with a .bin),\n"
        "          OBJ with MTL, or binary STL; --headlight adds the viewer's headlight.\n"
#endif
        "  exit 0 valid, 1 invalid (the message is printed), 2 cannot open\n",
        stderr);
}

void printMessage(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stdout);
}

// What every command does with a load that did not succeed: the reason a file cannot
// be opened goes to stderr (exit 2), the document's message to stdout (exit 1).
int reportFailure(const char* fileName, const tessaro::LoadResult& result) {
    if (result.status == tessaro::LoadStatus::cannotOpen) {
        std::fprintf(stderr, "tessaro-cli: %s: %s\n", fileName, result.message.c_str());
        return kCannotOpen;
    }
    printMessage(result.message);
    return kInvalid;
}

int check(const char* fileName) {
    tessaro::ValidatingConsumer consumer;
    const tessaro::LoadResult result = tessaro::loadDocument(fileName, consumer);
    return result.loaded() ? kValid : reportFailure(fileName, result);
}

int info(const char* fileName, bool json) {
    const tessaro::DocumentInfo info = [fileName] {
        const tessaro::TerminalProgress progress;
        return tessaro::describeDocument(fileName);
    }();
    if (info.load.status == tessaro::LoadStatus::cannotOpen)
        return reportFailure(fileName, info.load);
    if (json) {
        std::fputs(tessaro::toJson(info).c_str(), stdout);
    } else if (!info.load.loaded()) {
        printMessage(info.load.message);
    } else {
        std::fputs(tessaro::toText(info).c_str(), stdout);
    }
    return info.load.loaded() ? kValid : kInvalid;
}

#ifdef TESSARO_CLI_RENDER
int usageError(const char* what) {
    std::fprintf(stderr, "tessaro-cli: %s\n", what);
    printUsage();
    return kCannotOpen;
}

bool parseSize(const char* text, int& width, int& height) {
    char tail = 0;
    return std::sscanf(text, "%dx%d%c", &width, &height, &tail) == 2 && width > 0 && height > 0 &&
           width <= 16384 && height <= 16384;
}

// A drag longer than this has turned the model many times over already.
constexpr int kLongestTurn = 10000;

bool parseTurn(const char* text, int& x, int& y) {
    char tail = 0;
    return std::sscanf(text, "%d,%d%c", &x, &y, &tail) == 2 && std::abs(x) <= kLongestTurn &&
           std::abs(y) <= kLongestTurn;
}

// Turns the fitted camera as a drag from the middle of the picture would.
void turnCamera(int x, int y, int width, int height) {
    tessaro::Camera camera;
    tessaro::viewState().getOrientation(camera.forward, camera.up);
    tessaro::viewState().getViewBox(camera.centre, camera.size);
    const tessaro::Camera turned = tessaro::examineTurn(camera, x, y, width, height);
    tessaro::viewState().setOrientation(turned.forward, turned.up);
}

// tessaro-cli render FILE -o OUT.png [--size WxH] [--headlight] [--turn X,Y]
int render(int argc, char** argv) {
    const char* fileName = nullptr;
    const char* output = nullptr;
    int width = 800, height = 600;
    int turnX = 0, turnY = 0;
    bool headlight = false;
    for (int i = 2; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "-o") == 0 && hasValue) {
            output = argv[++i];
        } else if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            if (!parseSize(argv[++i], width, height)) return usageError("bad --size, use WxH");
        } else if (std::strcmp(argv[i], "--turn") == 0 && hasValue) {
            if (!parseTurn(argv[++i], turnX, turnY)) return usageError("bad --turn, use X,Y");
        } else if (std::strcmp(argv[i], "--headlight") == 0) {
            headlight = true;
        } else if (fileName == nullptr && argv[i][0] != '-') {
            fileName = argv[i];
        } else {
            return usageError("unexpected argument");
        }
    }
    if (fileName == nullptr || output == nullptr)
        return usageError("render needs FILE and -o OUT.png");
    tessaro::viewState().setHeadlight(headlight);
    tessaro::RgbImage picture;
    const auto turn = [&] {
        if (turnX != 0 || turnY != 0) turnCamera(turnX, turnY, width, height);
    };
    const tessaro::LoadResult result = [&] {
        const tessaro::TerminalProgress progress;
        return tessaro::renderDocument(fileName, width, height, picture, turn);
    }();
    if (!result.loaded()) return reportFailure(fileName, result);
    if (!tessaro::writePng(output, picture)) {
        std::fprintf(stderr, "tessaro-cli: cannot write %s\n", output);
        return kCannotOpen;
    }
    return kValid;
}

// tessaro-cli convert FILE -o OUT [--headlight]
int convert(int argc, char** argv) {
    const char* fileName = nullptr;
    const char* output = nullptr;
    tessaro::ConvertOptions options;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "-o") == 0 && i + 1 < argc) {
            output = argv[++i];
        } else if (std::strcmp(argv[i], "--headlight") == 0) {
            options.headlight = true;
        } else if (fileName == nullptr && argv[i][0] != '-') {
            fileName = argv[i];
        } else {
            return usageError("unexpected argument");
        }
    }
    if (fileName == nullptr || output == nullptr)
        return usageError("convert needs FILE and -o OUT.glb, .gltf, .obj or .stl");
    tessaro::ExportFormat format;
    if (!tessaro::exportFormatOf(output, format))
        return usageError("the output must be named .glb, .gltf, .obj or .stl");
    const tessaro::ConvertResult result = [&] {
        const tessaro::TerminalProgress progress;
        return tessaro::convertDocument(fileName, output, format, options);
    }();
    if (!result.load.loaded()) return reportFailure(fileName, result.load);
    if (!result.written()) {
        std::fprintf(stderr, "tessaro-cli: %s\n", result.writeError.c_str());
        return kCannotOpen;
    }
    return kValid;
}
#endif

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // The messages end in a bare line feed, byte for byte as on Linux, for scripts.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (argc == 3 && std::strcmp(argv[1], "check") == 0) return check(argv[2]);
#ifdef TESSARO_CLI_RENDER
    if (argc >= 2 && std::strcmp(argv[1], "render") == 0) return render(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "convert") == 0) return convert(argc, argv);
#endif
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "info") == 0) {
        const bool json = argc == 4 && std::strcmp(argv[3], "--json") == 0;
        if (argc == 3 || json) return info(argv[2], json);
    }
    printUsage();
    return kCannotOpen;
}
