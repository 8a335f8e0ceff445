#include "image_export.h"

namespace exportal {

namespace {

ImageExport& imageExport() {
    static ImageExport exporter;
    return exporter;
}

}  // namespace

void ExportViewImage(const std::string& fileName, std::int32_t pixelWidth) {
    if (imageExport()) imageExport()(fileName, pixelWidth);
}

void setImageExport(ImageExport exporter) {
    imageExport() = std::move(exporter);
}

}  // namespace exportal
