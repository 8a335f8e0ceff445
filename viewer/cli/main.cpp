// tessaro-cli: the viewer's engine without a window, for people and scripts.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "document/headless_render.h"
#include "scene/scene_consumer.h"
#include "xgl/document_info.h"
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
        "       tessaro-cli render FILE -o OUT.png [--size WxH]\n"
        "  check   validate an .xgl or .zgl document; prints the first message.\n"
        "  info    also counts what the document holds, with load time and peak memory.\n"
        "  render  writes the picture the viewer shows after loading (default 800x600).\n"
        "  exit 0 valid, 1 invalid (the message is printed), 2 cannot open\n",
        stderr);
}

int usageError(const char* what) {
    std::fprintf(stderr, "tessaro-cli: %s\n", what);
    printUsage();
    return kCannotOpen;
}

void printMessage(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stdout);
}

// False (with a line on stderr) when the name is not an XGL document or the file
// cannot be opened.
bool openable(const char* fileName) {
    if (!tessaro::hasDocumentExtension(fileName)) {
        std::fprintf(stderr, "tessaro-cli: %s: not an XGL document (expected .xgl or .zgl)\n",
                     fileName);
        return false;
    }
    if (!tessaro::openDocumentStream(fileName, nullptr)) {
        std::fprintf(stderr, "tessaro-cli: %s: cannot open: %s\n", fileName, std::strerror(errno));
        return false;
    }
    return true;
}

int check(const char* fileName) {
    if (!openable(fileName)) return kCannotOpen;
    tessaro::ValidatingConsumer consumer;
    tessaro::loadDocument(fileName, consumer);
    if (!consumer.hasError()) return kValid;
    printMessage(consumer.firstError());
    return kInvalid;
}

int info(const char* fileName, bool json) {
    if (!openable(fileName)) return kCannotOpen;
    const tessaro::DocumentInfo info = tessaro::describeDocument(fileName);
    if (json) {
        std::fputs(tessaro::toJson(info).c_str(), stdout);
    } else if (info.message) {
        printMessage(*info.message);
    } else {
        std::fputs(tessaro::toText(info).c_str(), stdout);
    }
    return info.message ? kInvalid : kValid;
}

bool parseSize(const char* text, int& width, int& height) {
    char tail = 0;
    return std::sscanf(text, "%dx%d%c", &width, &height, &tail) == 2 && width > 0 && height > 0 &&
           width <= 16384 && height <= 16384;
}

// tessaro-cli render FILE -o OUT.png [--size WxH]
int render(int argc, char** argv) {
    const char* fileName = nullptr;
    const char* output = nullptr;
    int width = 800, height = 600;
    for (int i = 2; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (std::strcmp(argv[i], "-o") == 0 && hasValue) {
            output = argv[++i];
        } else if (std::strcmp(argv[i], "--size") == 0 && hasValue) {
            if (!parseSize(argv[++i], width, height)) return usageError("bad --size, use WxH");
        } else if (fileName == nullptr && argv[i][0] != '-') {
            fileName = argv[i];
        } else {
            return usageError("unexpected argument");
        }
    }
    if (fileName == nullptr || output == nullptr)
        return usageError("render needs FILE and -o OUT.png");
    if (!openable(fileName)) return kCannotOpen;
    tessaro::RgbImage picture;
    const tessaro::HeadlessResult result =
        tessaro::renderDocument(fileName, width, height, picture);
    if (!result.drawn) {
        printMessage(result.message);
        return kInvalid;
    }
    if (!tessaro::writePng(output, picture)) {
        std::fprintf(stderr, "tessaro-cli: cannot write %s\n", output);
        return kCannotOpen;
    }
    return kValid;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "check") == 0) return check(argv[2]);
    if (argc >= 2 && std::strcmp(argv[1], "render") == 0) return render(argc, argv);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "info") == 0) {
        const bool json = argc == 4 && std::strcmp(argv[3], "--json") == 0;
        if (argc == 3 || json) return info(argv[2], json);
    }
    printUsage();
    return kCannotOpen;
}
