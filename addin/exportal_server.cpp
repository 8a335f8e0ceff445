#include "exportal_server.h"

#include "addin_dialog.h"
#include "addin_state.h"
#include "image_export.h"
#include "image_settings.h"

namespace exportal {

namespace {

// Older hosts lack operations the commands use.
constexpr int kOldestHostVersion = 6;

CadHost*& activeHost() {
    static CadHost* host = nullptr;
    return host;
}

// The in-memory flag that switches the automatic export on for a document type.
std::int16_t exportFlagFor(DocumentType type) {
    const ImageSettings& settings = imageSettings();
    switch (type) {
        case DocumentType::part:
            return settings.DoIPT;
        case DocumentType::assembly:
            return settings.DoIAM;
        case DocumentType::drawing:
            return settings.DoIDW;
        case DocumentType::presentation:
            return settings.DoIPN;
        default:
            return 0;
    }
}

}  // namespace

CadHost* hostApplication() {
    return activeHost();
}

void setHostApplication(CadHost* host) {
    activeHost() = host;
}

clsExportal::~clsExportal() {
    deactivate();
}

void clsExportal::activate(CadHost& host, bool /*firstTime*/) {
    if (host.softwareVersionMajor() < kOldestHostVersion) return;
    m_host = &host;
    setHostApplication(&host);
    host.subscribe(this);
    LoadSettings(imageSettings());
    oSettings = host.createCommand("Settings", kSettingsCommand, true);
    oJPEG = host.createCommand("JPEG", kJpegCommand, true);
    oXGL = host.createCommand("Compiled XGL", kCompiledXglCommand, true);
    oDWF = host.createCommand("Compiled DWF", kCompiledDwfCommand, true);
    oStereo = host.createCommand("Stereo Bitmap", kStereoCommand, true);
    oVRML = host.createCommand("VRML", kVrmlCommand, true);
}

void clsExportal::executeCommand(int commandId) {
    if (m_host == nullptr) return;
    showCommandDialog(commandId);
}

// Open dialogs stay open; they lose only their way back to the host.
void clsExportal::deactivate() {
    if (m_host == nullptr) return;
    m_host->unsubscribe(this);
    oXGL.reset();
    oJPEG.reset();
    oDWF.reset();
    oStereo.reset();
    oVRML.reset();
    oSettings.reset();
    if (hostApplication() == m_host) setHostApplication(nullptr);
    m_host = nullptr;
    m_savedDocument = nullptr;
}

void clsExportal::onSaveDocument(CadDocument* document, std::int32_t beforeOrAfter) {
    m_savedDocument = m_host->activeDocument();
    const ImageSettings& settings = imageSettings();
    if (beforeOrAfter != kAfterSave || settings.AutoSave != 1 || document == nullptr) return;
    if (exportFlagFor(m_host->activeDocumentType()) != 1) return;
    const std::string fileName = document->fullFileName();
    m_host->setStatusText("Saving " + fileName + " to Image");
    if (settings.AutoFit == 1) {
        if (CadView* view = m_host->activeView()) view->fit();
    }
    ExportViewImage(fileName, settings.PixelWidth);
}

}  // namespace exportal

// The one symbol a host looks up.
extern "C" __attribute__((visibility("default"))) exportal::AddInServer* exportalCreateAddIn() {
    return new exportal::clsExportal;
}
