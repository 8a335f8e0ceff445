#include "render_options.h"

#include <cstdio>

namespace plotwick {
namespace {

bool parseSize(const std::string& text, int& width, int& height) {
    char tail = 0;
    return std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &tail) == 2 && width > 0 &&
           height > 0 && width <= 16384 && height <= 16384;
}

}  // namespace

PageToRender pageToRender(const DwfDocument& document, const RenderOptions& options) {
    const std::size_t pages = pageCount(document);
    if (pages == 0 || !document.message.empty()) {
        std::printf("%s\n", document.message.c_str());
        return {};
    }
    if (options.sheet < 1 || static_cast<std::size_t>(options.sheet) > pages) {
        if (document.models.empty())
            std::printf("The file has %zu sheet(s); there is no sheet %d\n", pages, options.sheet);
        else
            std::printf("The file has %zu sheet(s) and %zu 3D model(s); there is no page %d\n",
                        document.sheets.size(), document.models.size(), options.sheet);
        return {};
    }
    const auto index = static_cast<std::size_t>(options.sheet - 1);
    if (index < document.sheets.size()) return {&document.sheets[index], nullptr};
    return {nullptr, &document.models[index - document.sheets.size()]};
}

int renderUsage(const char* problem, const char* program, const std::vector<std::string>& forms) {
    std::fprintf(stderr, "%s: %s\nusage: %s [FILE]\n", program, problem, program);
    for (const std::string& form : forms)
        std::fprintf(stderr, "       %s --render FILE %s\n", program, form.c_str());
    return kRenderUsage;
}

bool parseRenderOptions(const std::vector<std::string>& arguments, RenderOptions& options) {
    bool sheetGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const bool hasValue = i + 1 < arguments.size();
        if (word == "-o" && hasValue) {
            options.output = arguments[++i];
        } else if (word == "--sheet" && hasValue && !options.allSheets) {
            char tail = 0;
            if (std::sscanf(arguments[++i].c_str(), "%d%c", &options.sheet, &tail) != 1)
                return false;
            sheetGiven = true;
        } else if (word == "--all-sheets" && !sheetGiven) {
            options.allSheets = true;
        } else if (word == "--size" && hasValue) {
            if (!parseSize(arguments[++i], options.width, options.height)) return false;
            options.sizeGiven = true;
        } else if (options.input.empty() && !word.starts_with("-")) {
            options.input = word;
        } else {
            return false;
        }
    }
    return !options.input.empty() && !options.output.empty();
}

}  // namespace plotwick
