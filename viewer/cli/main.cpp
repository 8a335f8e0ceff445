// tessaro-cli: the viewer's engine without a window, for people and scripts.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "xgl/input_stream.h"
#include "scene/scene_consumer.h"
#include "xgl/scene_load_context.h"

namespace {

constexpr int kValid = 0;
constexpr int kInvalid = 1;
constexpr int kCannotOpen = 2;

void printUsage() {
    std::fputs(
        "usage: tessaro-cli check FILE\n"
        "  check   validate an .xgl or .zgl document; prints the first message.\n"
        "          exit 0 valid, 1 invalid, 2 cannot open\n",
        stderr);
}

void printMessage(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stdout);
}

int check(const char* fileName) {
    if (!tessaro::hasDocumentExtension(fileName)) {
        std::fprintf(stderr, "tessaro-cli: %s: not an XGL document (expected .xgl or .zgl)\n",
                     fileName);
        return kCannotOpen;
    }
    tessaro::ValidatingConsumer consumer;
    bool opened = false;
    tessaro::loadDocument(fileName, consumer, &opened);
    if (!opened) {
        std::fprintf(stderr, "tessaro-cli: %s: cannot open: %s\n", fileName, std::strerror(errno));
        return kCannotOpen;
    }
    if (consumer.hasError()) {
        printMessage(consumer.firstError());
        return kInvalid;
    }
    return kValid;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "check") == 0) return check(argv[2]);
    printUsage();
    return kCannotOpen;
}
