#include "render_command.h"

#include <QImage>
#include <QPainter>

#include <cstdio>

#include "dwf/dwf_document.h"
#include "dwf/sheet_painter.h"
#include "plotwick_window.h"

namespace plotwick {
namespace {

constexpr int kDrawn = 0;
constexpr int kIncomplete = 1;
constexpr int kUsage = 2;

struct RenderOptions {
    std::string input;
    std::string output;
    int sheet = 1;  // counted from 1, like the pages a user sees
    int width = 800;
    int height = 600;
};

int usage(const char* problem) {
    std::fprintf(stderr,
                 "plotwick: %s\nusage: plotwick [FILE]\n"
                 "       plotwick --render FILE -o OUT.png [--sheet N] [--size WxH]\n",
                 problem);
    return kUsage;
}

bool parseSize(const std::string& text, int& width, int& height) {
    char tail = 0;
    return std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &tail) == 2 && width > 0 &&
           height > 0 && width <= 16384 && height <= 16384;
}

bool parseOptions(const std::vector<std::string>& arguments, RenderOptions& options) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (word == "-o" && hasValue) {
            options.output = arguments[++i];
        } else if (word == "--sheet" && hasValue) {
            char tail = 0;
            if (std::sscanf(arguments[++i].c_str(), "%d%c", &options.sheet, &tail) != 1)
                return false;
        } else if (word == "--size" && hasValue) {
            if (!parseSize(arguments[++i], options.width, options.height)) return false;
        } else if (options.input.empty() && !word.starts_with("-")) {
            options.input = word;
        } else {
            return false;
        }
    }
    return !options.input.empty() && !options.output.empty();
}

}  // namespace

int runRenderCommand(const std::vector<std::string>& arguments) {
    RenderOptions options;
    if (!parseOptions(arguments, options)) return usage("bad arguments");
    const DwfDocument document = readDwfFile(options.input);
    if (document.sheets.empty()) {
        std::printf("%s\n", document.message.c_str());
        return kIncomplete;
    }
    if (options.sheet < 1 || options.sheet > static_cast<int>(document.sheets.size())) {
        std::printf("The file has %zu sheet(s); there is no sheet %d\n", document.sheets.size(),
                    options.sheet);
        return kIncomplete;
    }
    const Sheet& sheet = document.sheets[static_cast<std::size_t>(options.sheet - 1)];
    QImage image(options.width, options.height, QImage::Format_RGB32);
    image.fill(kBackground);
    {
        QPainter painter(&image);
        drawSheet(painter, sheet, QRectF(image.rect()));
    }
    if (!image.save(QString::fromStdString(options.output), "PNG")) {
        std::fprintf(stderr, "plotwick: cannot write %s\n", options.output.c_str());
        return kUsage;
    }
    // What was read is drawn, but a sheet that stopped early is not reported as whole.
    if (!sheet.graphics.message.empty()) {
        std::printf("%s\n", sheet.graphics.message.c_str());
        return kIncomplete;
    }
    return kDrawn;
}

}  // namespace plotwick
