#include "jpeg_writer.h"

#include <QSaveFile>
#include <QString>

#include <algorithm>
#include <memory>
#include <new>

#include "dib_section.h"
#include "image_settings.h"
#include "jpeg_library.h"
#include "user_prompts.h"

namespace exportal {

namespace {

// A JPEG's headers and tables alone take about 600 bytes, so the area of four bytes a
// pixel would refuse the smallest pictures; it never shrinks below this.
constexpr std::uint64_t kMinimumArea = 4096;

std::int32_t jpegQuality() {
    std::int32_t& quality = imageSettings().CurrentQuality;
    if (quality < 10 || quality > 100) quality = 100;
    return quality;
}

bool saveBytes(const std::string& fileName, const std::uint8_t* bytes, std::int32_t size) {
    QSaveFile file(QString::fromStdString(fileName));
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(reinterpret_cast<const char*>(bytes), size);
    return file.commit();
}

}  // namespace

bool WriteJpegFile(const cDIBSection& buffer, const std::string& fileName) {
    JpegCoreProperties properties;
    if (const std::int32_t result = ijlInit(&properties); result != kJpegOk) {
        ShowJpegLibraryError("Failed to initialise the IJL library", result);
        return false;
    }
    properties.DIBWidth = buffer.dib_width();
    properties.DIBHeight = -buffer.dib_height();
    properties.DIBBytes = buffer.DIBSectionBitsPtr();
    properties.DIBPadBytes = buffer.BytesPerScanLine() - buffer.dib_width() * 3;
    properties.JPGWidth = buffer.dib_width();
    properties.JPGHeight = buffer.dib_height();
    properties.jquality = jpegQuality();
    const std::uint64_t area = std::max<std::uint64_t>(
        std::uint64_t(std::max(buffer.dib_width(), 0)) * std::max(buffer.dib_height(), 0) * 4,
        kMinimumArea);
    std::unique_ptr<std::uint8_t[]> output(
        area <= 0x7fffffffu ? new (std::nothrow) std::uint8_t[area] : nullptr);
    properties.JPGBytes = output.get();
    properties.JPGSizeBytes = output ? static_cast<std::int32_t>(area) : 0;
    const std::int32_t result = ijlWrite(&properties, kWriteWholeImageToBuffer);
    if (result != kJpegOk) {
        ShowJpegLibraryError("Failed to save to JPG", result);
        ijlFree(&properties);
        return false;
    }
    const bool saved = saveBytes(fileName, output.get(), properties.JPGSizeBytes);
    ijlFree(&properties);
    if (!saved)
        showMessage(
            nullptr,
            QString("The JPEG file %1 cannot be written.").arg(QString::fromStdString(fileName)));
    return saved;
}

void ShowJpegLibraryError(const std::string& text, std::int32_t code) {
    const QString message = QString("IJL ERROR: [%1] - %2 - %3")
                                .arg(code)
                                .arg(QString::fromUtf8(ijlErrorStr(code)))
                                .arg(QString::fromStdString(text));
    showWarning(nullptr, "Intel(R) JPEG Library", message);
}

}  // namespace exportal
