#include "image_export.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <memory>

#include "addin_state.h"
#include "dib_section.h"
#include "frm_settings.h"
#include "image_settings.h"
#include "jpeg_writer.h"
#include "save_copy.h"
#include "user_prompts.h"

namespace exportal {

namespace {

// The host writes the bitmap before its call returns or soon after; a bitmap that is
// not readable after this long is not coming.
constexpr qint64 kBitmapWaitMs = 5000;
constexpr unsigned long kBitmapPollMs = 20;
constexpr int kHighestNumber = 999;

ImageExport& imageExport() {
    static ImageExport exporter;
    return exporter;
}

// The add-in's one image buffer, made on first use.
cDIBSection& imageBuffer() {
    static std::unique_ptr<cDIBSection> buffer;
    if (!buffer) buffer = std::make_unique<cDIBSection>();
    return *buffer;
}

QWidget* hostWindow() {
    CadHost* host = hostApplication();
    return host != nullptr ? host->mainWindow() : nullptr;
}

// A DWF copy is published only by the automatic export. Otherwise the export is a
// JPEG, also when DWF is the automatic export's type: "Save JPEG" must not leave a
// bare bitmap behind.
bool publishesDwf() {
    const ImageSettings& settings = imageSettings();
    return settings.AutoSaveType == kAutoSaveDwf && settings.AutoSave == 1;
}

void tell(const std::string& text) {
    showMessage(hostWindow(), QString::fromStdString(text));
}

std::string withoutExtension(const std::string& name) {
    return name.size() > 4 ? name.substr(0, name.size() - 4) : std::string();
}

// The style lists live in the Settings dialog; an entry outside the list is empty.
std::string styleEntry(bool sheetList, int position) {
    auto* settings = static_cast<frmSettings*>(loadedDialog(kSettingsCommand));
    const QListWidget* list = sheetList ? settings->lstSheetStyle : settings->lstNumStyle;
    if (position < 0 || position >= list->count()) return {};
    return list->item(position)->text().toStdString();
}

// The active sheet's position among the drawing's sheets; one past the last when no
// sheet has its name.
int activeSheetPosition(const CadDocument& drawing) {
    const std::string active = drawing.activeSheetName();
    const int count = drawing.sheetCount();
    for (int position = 1; position <= count; ++position) {
        if (drawing.sheetName(position) == active) return position;
    }
    return count + 1;
}

std::string sheetSuffix() {
    CadHost* host = hostApplication();
    const std::int16_t style = imageSettings().AutoSheet;
    if (host == nullptr || style == 0 || host->activeDocumentType() != DocumentType::drawing ||
        host->activeDocument() == nullptr) {
        return {};
    }
    char number[16];
    std::snprintf(number, sizeof number, "%02d", activeSheetPosition(*host->activeDocument()));
    return styleEntry(true, style).substr(0, 2) + number;
}

bool fileExists(const std::string& name) {
    return QFile::exists(QString::fromStdString(name));
}

bool waitForBitmap(cDIBSection& buffer, const std::string& bitmap) {
    QElapsedTimer waited;
    waited.start();
    while (!buffer.Load(bitmap)) {
        if (waited.elapsed() > kBitmapWaitMs) return false;
        yieldToHost();
        QThread::msleep(kBitmapPollMs);
    }
    return true;
}

void exportThroughPipeline(const std::string& fileName, std::int32_t pixelWidth) {
    if (fileName.empty()) {
        tell("You must save your file before outputting to JPEG");
        return;
    }
    CadHost* host = hostApplication();
    if (host == nullptr || !host->ready()) return;
    std::string name = fileName;
    if (imageSettings().AlternatePath == 1) name = ApplyAlternatePath(name);
    const std::string output = BuildOutputName(name);
    if (output.empty()) return;
    if (isTheDocument(*host, output)) {
        tell(output + " is the document itself; it is not replaced.");
        return;
    }
    const std::string base = withoutExtension(output);
    if (publishesDwf()) {
        SaveViewBitmap(base, pixelWidth);
        return;
    }
    // The bitmap is only a step to the JPEG: it is made where no file of the user's is.
    const QTemporaryDir scratch;
    if (!scratch.isValid()) {
        tell("No temporary folder could be made for the view bitmap: " +
             scratch.errorString().toStdString());
        return;
    }
    const std::string bitmapBase = pathInside(scratch.path(), base);
    if (SaveViewBitmap(bitmapBase, pixelWidth))
        convertBitmapFile(bitmapBase + ".bmp", base + ".jpg");
}

}  // namespace

void ExportViewImage(const std::string& fileName, std::int32_t pixelWidth) {
    if (imageExport()) {
        imageExport()(fileName, pixelWidth);
        return;
    }
    exportThroughPipeline(fileName, pixelWidth);
}

void setImageExport(ImageExport exporter) {
    imageExport() = std::move(exporter);
}

bool SaveViewBitmap(const std::string& baseName, std::int32_t pixelWidth) {
    if (baseName.empty()) {
        tell("Error, No base Filename");
        return false;
    }
    CadHost* host = hostApplication();
    if (host == nullptr) return false;
    if (publishesDwf()) {
        const std::string copy = baseName + ".dwf";
        host->setStatusText("Saving:" + copy);
        yieldToHost();
        host->setSilentOperation(true);
        saveCopyAs(*host, copy);
        host->setSilentOperation(false);
        return true;
    }
    const std::string bitmap = baseName + ".bmp";
    CadView* view = host->activeView();
    std::int32_t width = pixelWidth, height = 0;
    if (view == nullptr || !view->saveBitmap(bitmap, width, height)) {
        tell("The view could not be saved as " + bitmap + ".");
        return false;
    }
    return true;
}

bool convertBitmapFile(const std::string& bitmap, const std::string& jpeg) {
    cDIBSection& buffer = imageBuffer();
    if (!waitForBitmap(buffer, bitmap)) {
        tell("The view bitmap " + bitmap + " did not arrive; no JPEG was written.");
        return false;
    }
    const bool written = WriteJpegFile(buffer, jpeg);
    yieldToHost();
    QFile::remove(QString::fromStdString(bitmap));
    buffer.CleanUp();
    return written;
}

std::string pathInside(const QString& folder, const std::string& name) {
    const std::size_t slash = name.rfind('/');
    return folder.toStdString() + "/" +
           (slash == std::string::npos ? name : name.substr(slash + 1));
}

std::string BuildOutputName(const std::string& fullFileName) {
    const std::string name = withoutExtension(fullFileName) + sheetSuffix();
    const ImageSettings& settings = imageSettings();
    const std::string extension = publishesDwf() ? ".dwf" : ".jpg";
    if (settings.AutoNumber != 1) return name + extension;
    const std::string separator = styleEntry(false, settings.AutoNumStyle).substr(0, 1);
    for (int number = 1; number <= kHighestNumber; ++number) {
        char digits[8];
        std::snprintf(digits, sizeof digits, "%03d", number);
        const std::string candidate = name + separator + digits + extension;
        if (!fileExists(candidate)) return candidate;
    }
    // The last number would overwrite an earlier export.
    tell("All numbered names from " + name + separator + "001" + extension + " to " + name +
         separator + "999" + extension + " are taken; nothing was written.");
    return {};
}

std::string alternatePathIn(const std::string& fullFileName, const std::string& targetDir,
                            QWidget* owner) {
    const std::size_t slash = fullFileName.rfind('/');
    const std::string directory =
        slash == std::string::npos ? std::string() : fullFileName.substr(0, slash + 1);
    const std::string file =
        slash == std::string::npos ? fullFileName : fullFileName.substr(slash + 1);
    if (directory.empty() || targetDir.empty()) {
        showMessage(owner, "Alternate directory value missing or incorrect");
        return fullFileName;
    }
    return targetDir + (targetDir.back() == '/' ? "" : "/") + file;
}

std::string ApplyAlternatePath(const std::string& fullFileName) {
    auto* settings = static_cast<frmSettings*>(loadedDialog(kSettingsCommand));
    return alternatePathIn(fullFileName, settings->txtTargetDir->text().toStdString(),
                           hostWindow());
}

}  // namespace exportal
