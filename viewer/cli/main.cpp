// tessaro-cli: the viewer's engine without a window, for people and scripts.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

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
        "  check   validate an .xgl or .zgl document; prints the first message.\n"
        "  info    also counts what the document holds, with load time and peak memory.\n"
        "  exit 0 valid, 1 invalid (the message is printed), 2 cannot open\n",
        stderr);
}

void printMessage(const std::string& text) {
    std::fputs(text.c_str(), stdout);
    if (text.empty() || text.back() != '\n') std::fputc('\n', stdout);
}

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

int info(const char* fileName, bool json) {
    if (!tessaro::hasDocumentExtension(fileName)) {
        std::fprintf(stderr, "tessaro-cli: %s: not an XGL document (expected .xgl or .zgl)\n",
                     fileName);
        return kCannotOpen;
    }
    const tessaro::DocumentInfo info = tessaro::describeDocument(fileName);
    if (!info.opened) {
        std::fprintf(stderr, "tessaro-cli: %s: cannot open: %s\n", fileName, std::strerror(errno));
        return kCannotOpen;
    }
    if (json) {
        std::fputs(tessaro::toJson(info).c_str(), stdout);
    } else if (info.message) {
        printMessage(*info.message);
    } else {
        std::fputs(tessaro::toText(info).c_str(), stdout);
    }
    return info.message ? kInvalid : kValid;
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
