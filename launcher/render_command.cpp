#include "render_command.h"

#include <QImage>
#include <QPainter>

#include <cstdio>

#include "dwf/dwf_document.h"
#include "dwf/sheet_painter.h"
#include "plotwick_window.h"
#include "render_options.h"

namespace plotwick {

namespace {

bool save(const QImage& image, const RenderOptions& options) {
    if (image.save(QString::fromStdString(options.output), "PNG")) return true;
    std::fprintf(stderr, "plotwick: cannot write %s\n", options.output.c_str());
    return false;
}

// A package of 3D models only: its own preview picture, with the message, and exit 1
// because the model itself is not drawn.
int renderPreview(const DwfDocument& document, const RenderOptions& options) {
    const QImage preview =
        QImage::fromData(document.preview.data(), static_cast<int>(document.preview.size()));
    QImage image(options.width, options.height, QImage::Format_RGB32);
    image.fill(kBackground);
    {
        QPainter painter(&image);
        drawPicture(painter, preview, QRectF(image.rect()));
    }
    if (!save(image, options)) return kRenderUsage;
    std::printf("%s\n", document.message.c_str());
    return kRenderIncomplete;
}

}  // namespace

int runRenderCommand(const std::vector<std::string>& arguments) {
    RenderOptions options;
    if (!parseRenderOptions(arguments, options)) return renderUsage("bad arguments");
    const DwfDocument document = readDwfFile(options.input);
    if (document.sheets.empty() && !document.preview.empty())
        return renderPreview(document, options);
    const Sheet* chosen = sheetToRender(document, options);
    if (chosen == nullptr) return kRenderIncomplete;
    const Sheet& sheet = *chosen;
    QImage image(options.width, options.height, QImage::Format_RGB32);
    image.fill(kBackground);
    {
        QPainter painter(&image);
        drawSheet(painter, sheet, QRectF(image.rect()));
    }
    if (!save(image, options)) return kRenderUsage;
    // What was read is drawn, but a sheet that stopped early is not reported as whole.
    if (!sheet.graphics.message.empty()) {
        std::printf("%s\n", sheet.graphics.message.c_str());
        return kRenderIncomplete;
    }
    return kRenderDrawn;
}

}  // namespace plotwick
