#include "win32/gdi_render_command.h"

#include <windows.h>

#include <cstdio>
#include <memory>

#include "render_options.h"
#include "win32/gdi_objects.h"
#include "win32/gdi_sheet_painter.h"
#include "win32/plotwick_form.h"
#include "win32/wgl_model_picture.h"

namespace plotwick {
namespace {

// A 24-bit bottom-up DIB: its bits are already in the layout of a BMP file.
BITMAPINFOHEADER headerFor(int width, int height) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(((width * 3 + 3) & ~3) * height);
    return header;
}

bool writeBmp(const std::string& path, const BITMAPINFOHEADER& header, const void* bits) {
    std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "wb"),
                                                            &std::fclose);
    if (!file) return false;
    BITMAPFILEHEADER fileHeader{};
    fileHeader.bfType = 0x4d42;  // "BM"
    fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
    fileHeader.bfSize = fileHeader.bfOffBits + header.biSizeImage;
    const bool written = std::fwrite(&fileHeader, sizeof fileHeader, 1, file.get()) == 1 &&
                         std::fwrite(&header, sizeof header, 1, file.get()) == 1 &&
                         std::fwrite(bits, header.biSizeImage, 1, file.get()) == 1;
    return std::fclose(file.release()) == 0 && written;
}

// Draws into a DIB of the options' size and writes it; false when the picture cannot
// be made or written.
template <typename Draw>
bool drawToBmp(const RenderOptions& options, Draw draw) {
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader = headerFor(options.width, options.height);
    void* bits = nullptr;
    const GdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dc || !bitmap || bits == nullptr) return false;
    {
        const Selection selected(dc.get(), bitmap.get());
        const RECT area{0, 0, options.width, options.height};
        const GdiObject background(CreateSolidBrush(kBackground));
        FillRect(dc.get(), &area, background.get<HBRUSH>());
        if (!draw(dc.get(), area)) return false;
        GdiFlush();
    }
    return writeBmp(options.output, info.bmiHeader, bits);
}

void cannotWrite(const RenderOptions& options) {
    std::fprintf(stderr, "RunPlotwick.exe: cannot write %s\n", options.output.c_str());
}

// What was read is drawn, but a page that stopped early is not reported as whole.
int statusOf(const std::string& message) {
    if (message.empty()) return kRenderDrawn;
    std::printf("%s\n", message.c_str());
    return kRenderIncomplete;
}

// A 3D model through its published camera, drawn by OpenGL in a window never shown.
int renderModel(const W3dModel& model, const RenderOptions& options) {
    WglModelPicture picture;
    std::string error;
    if (!picture.open(nullptr, options.width, options.height, &error) || !picture.build(model)) {
        std::fprintf(stderr, "RunPlotwick.exe: no OpenGL context to draw the 3D model: %s\n",
                     error.c_str());
        return kRenderIncomplete;
    }
    const auto draw = [&](HDC dc, const RECT&) {
        return picture.drawInto(dc, publishedCamera(model), options.width, options.height);
    };
    if (!drawToBmp(options, draw)) {
        cannotWrite(options);
        return kRenderUsage;
    }
    return statusOf(model.message);
}

}  // namespace

int runGdiRenderCommand(const std::vector<std::string>& arguments) {
    RenderOptions options;
    const std::vector<std::string> forms = {"-o OUT.bmp [--sheet N] [--size WxH]"};
    if (!parseRenderOptions(arguments, options) || options.allSheets)
        return renderUsage("bad arguments", "RunPlotwick.exe", forms);
    const DwfDocument document = readDwfFile(options.input);
    const PageToRender page = pageToRender(document, options);
    if (page.empty()) return kRenderIncomplete;
    if (page.model != nullptr) return renderModel(*page.model, options);
    const auto draw = [&](HDC dc, const RECT& area) {
        drawSheet(dc, *page.sheet, area);
        return true;
    };
    if (!drawToBmp(options, draw)) {
        cannotWrite(options);
        return kRenderUsage;
    }
    return statusOf(page.sheet->graphics.message);
}

}  // namespace plotwick
