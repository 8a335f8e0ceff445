#include "render_command.h"

#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <span>

#include "dwf/dwf_document.h"
#include "dwf/sheet_painter.h"
#include "model_picture.h"
#include "plotwick_window.h"
#include "render_options.h"

namespace plotwick {

namespace {

enum class PictureKind { png, svg, pdf };

// Vector pages are laid out in units of a 96 dpi screen, so that the pixel sizes the
// painter goes by (line widths of one pixel, curve steps) are those of the window.
constexpr int kVectorDotsPerInch = 96;
// The largest SVG page in those units: 200 inches, as PDF readers take.
constexpr int kLargestSvgPixels = 200 * kVectorDotsPerInch;

struct Page {
    QPageSize size;
    std::string title;
    std::function<void(QPainter&, const QRectF&)> draw;
};

PictureKind pictureKindOf(const std::string& path) {
    std::string tail = path.substr(path.size() - std::min<std::size_t>(path.size(), 4));
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (tail == ".svg") return PictureKind::svg;
    if (tail == ".pdf") return PictureKind::pdf;
    return PictureKind::png;
}

int usage(const char* problem) {
    return renderUsage(problem, "plotwick",
                       {"-o OUT.png [--sheet N] [--size WxH]", "-o OUT.svg [--sheet N]",
                        "-o OUT.pdf [--sheet N|--all-sheets]"});
}

bool cannotWrite(const std::string& path) {
    std::fprintf(stderr, "plotwick: cannot write %s\n", path.c_str());
    return false;
}

bool writePng(const Page& page, const RenderOptions& options) {
    QImage image(options.width, options.height, QImage::Format_RGB32);
    image.fill(kBackground);
    {
        QPainter painter(&image);
        page.draw(painter, QRectF(image.rect()));
    }
    if (image.save(QString::fromStdString(options.output), "PNG")) return true;
    return cannotWrite(options.output);
}

QSize svgPixels(const QPageSize& size) {
    const QSizeF inches = size.size(QPageSize::Inch) * kVectorDotsPerInch;
    return QSize(std::clamp(qRound(inches.width()), 1, kLargestSvgPixels),
                 std::clamp(qRound(inches.height()), 1, kLargestSvgPixels));
}

bool writeSvg(const Page& page, const std::string& path) {
    QSvgGenerator generator;
    generator.setFileName(QString::fromStdString(path));
    const QSize pixels = svgPixels(page.size);
    generator.setSize(pixels);
    generator.setViewBox(QRect(QPoint(0, 0), pixels));
    generator.setResolution(kVectorDotsPerInch);
    generator.setTitle(QString::fromStdString(page.title));
    generator.setDescription(QStringLiteral("Drawn by Plotwick"));
    QPainter painter;
    if (!painter.begin(&generator)) return cannotWrite(path);
    page.draw(painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    if (!painter.end()) return cannotWrite(path);
    return true;
}

// One page per sheet, each of its own size.
bool writePdf(std::span<const Page> pages, const std::string& path) {
    QPdfWriter writer(QString::fromStdString(path));
    writer.setResolution(kVectorDotsPerInch);
    writer.setCreator(QStringLiteral("Plotwick"));
    writer.setTitle(QString::fromStdString(pages.front().title));
    const auto layoutOf = [](const Page& page) {
        return QPageLayout(page.size, QPageLayout::Portrait, QMarginsF());
    };
    writer.setPageLayout(layoutOf(pages.front()));
    QPainter painter;
    if (!painter.begin(&writer)) return cannotWrite(path);
    // Rasters in a drawing are kept exact: Qt would write them as JPEG.
    painter.setRenderHint(QPainter::LosslessImageRendering);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0) {
            writer.setPageLayout(layoutOf(pages[i]));
            writer.newPage();
        }
        pages[i].draw(painter, QRectF(0, 0, writer.width(), writer.height()));
    }
    if (!painter.end()) return cannotWrite(path);
    return true;
}

bool write(std::span<const Page> pages, PictureKind kind, const RenderOptions& options) {
    switch (kind) {
        case PictureKind::png:
            return writePng(pages.front(), options);
        case PictureKind::svg:
            return writeSvg(pages.front(), options.output);
        case PictureKind::pdf:
            return writePdf(pages, options.output);
    }
    return false;
}

Page sheetPage(const Sheet& sheet) {
    return {pageSizeOf(sheet), sheet.title, [&sheet](QPainter& painter, const QRectF& target) {
                drawSheet(painter, sheet, target);
            }};
}

// A package with nothing of its own to draw: the picture it carries of itself, with the
// message, and exit 1 because its content is not what is shown.
int renderPreview(const DwfDocument& document, PictureKind kind, const RenderOptions& options) {
    const QImage preview =
        QImage::fromData(document.preview.data(), static_cast<int>(document.preview.size()));
    const Page page{pageSizeOfShape(std::max(1, preview.width()), std::max(1, preview.height())),
                    "", [&preview](QPainter& painter, const QRectF& target) {
                        drawPicture(painter, preview, target);
                    }};
    if (!write({&page, 1}, kind, options)) return kRenderUsage;
    std::printf("%s\n", document.message.c_str());
    return kRenderIncomplete;
}

// Which options a kind of picture takes: a PNG has the size it is asked for, a vector
// page the size of the sheet's paper; only a PDF holds more than one sheet.
const char* problemWith(const RenderOptions& options, PictureKind kind) {
    if (options.allSheets && kind != PictureKind::pdf)
        return "--all-sheets writes a PDF, one page per sheet; a PNG or SVG holds one sheet";
    if (options.sizeGiven && kind != PictureKind::png)
        return "--size is for PNG pictures; SVG and PDF pages have the size of the sheet's paper";
    return nullptr;
}

// A 3D model through its published camera (or an isometric view), off-screen.
int renderModel(const W3dModel& model, PictureKind kind, const RenderOptions& options) {
    if (kind != PictureKind::png)
        return usage("a 3D model is drawn into a PNG picture; SVG and PDF pages hold sheets");
    ModelPicture picture;
    std::string error;
    if (!picture.open(model, options.width, options.height, &error)) {
        std::fprintf(stderr, "plotwick: no OpenGL context to draw the 3D model: %s\n",
                     error.c_str());
        return kRenderIncomplete;
    }
    const QImage image = picture.draw(publishedCamera(model));
    if (!image.save(QString::fromStdString(options.output), "PNG")) {
        cannotWrite(options.output);
        return kRenderUsage;
    }
    // What was read is drawn, but a model that stopped early is not reported as whole.
    if (model.message.empty()) return kRenderDrawn;
    std::printf("%s\n", model.message.c_str());
    return kRenderIncomplete;
}

}  // namespace

int runRenderCommand(const std::vector<std::string>& arguments) {
    RenderOptions options;
    if (!parseRenderOptions(arguments, options)) return usage("bad arguments");
    const PictureKind kind = pictureKindOf(options.output);
    if (const char* problem = problemWith(options, kind)) return usage(problem);
    const DwfDocument document = readDwfFile(options.input);
    if (document.sheets.empty() && !document.message.empty() && !document.preview.empty())
        return renderPreview(document, kind, options);
    std::vector<const Sheet*> sheets;
    if (options.allSheets && !document.sheets.empty()) {
        for (const Sheet& sheet : document.sheets)
            sheets.push_back(&sheet);
    } else if (const PageToRender page = pageToRender(document, options); page.sheet) {
        sheets.push_back(page.sheet);
    } else if (page.model) {
        return renderModel(*page.model, kind, options);
    } else {
        return kRenderIncomplete;
    }
    std::vector<Page> pages;
    for (const Sheet* sheet : sheets)
        pages.push_back(sheetPage(*sheet));
    if (!write(pages, kind, options)) return kRenderUsage;
    // What was read is drawn, but a sheet that stopped early is not reported as whole.
    int status = kRenderDrawn;
    for (const Sheet* sheet : sheets) {
        if (sheet->graphics.message.empty()) continue;
        std::printf("%s\n", sheet->graphics.message.c_str());
        status = kRenderIncomplete;
    }
    return status;
}

}  // namespace plotwick
