#include "frm_to_dwf.h"

#include <QCheckBox>

#include "addin_folder.h"
#include "addin_state.h"
#include "dwf_package.h"
#include "image_settings.h"
#include "save_copy.h"
#include "user_prompts.h"

namespace exportal {

namespace {

const CompilerDialogKeys kDwfKeys{
    kDwfCompilerApplication, "DWFAltDir", "DWFUseAltDir", "PlotwickWhenDone",
    "DWFShowScript",         "DWFDelDWF", "Delete DWF",   "DWFScript.nsi"};

// The translation context of a copy saved under a name the caller chose.
constexpr std::int32_t kFileBrowseContext = 13059;
constexpr int kFirstTranslatorVersion = 11;

CadTranslator* dwfTranslator(CadHost& host) {
    for (int index = 1; index <= host.addInCount(); ++index) {
        const AddInEntry entry = host.addIn(index);
        if (entry.type == kTranslatorAddInType && entry.classId == kDwfTranslatorClassId)
            return entry.translator;
    }
    return nullptr;
}

}  // namespace

NameValueMap dwfPublishingOptions(bool publish3DModels, bool drawing) {
    NameValueMap options{{"Launch_Viewer", std::int16_t{0}},
                         {"Publish_Component_Props", std::int16_t{1}},
                         {"Publish_Mass_Props", std::int16_t{1}}};
    // Cleared, the translator is told 2, not false.
    if (publish3DModels)
        options.emplace_back("Publish_3D_Models", true);
    else
        options.emplace_back("Publish_3D_Models", std::int16_t{2});
    if (drawing) options.emplace_back("Publish_All_Sheets", true);
    return options;
}

frmToDWF::frmToDWF() : CompilerDialog(kDwfKeys, "Compiled DWF", "Compile DWF") {
    chkPublish3D = new QCheckBox("Publish 3D Models with IDW's");
    addCheckBox(chkPublish3D);
    connect(chkPublish3D, &QCheckBox::toggled, this,
            [this](bool checked) { storeBox("DWFPublish3D", checked); });
}

void frmToDWF::onLoad() {
    setBoxQuietly(chkPublish3D, readSetting(kDwfCompilerApplication, "DWFPublish3D"));
    CompilerDialog::onLoad();
}

void frmToDWF::LoadScriptTemplate() {
    m_templatePath = addInFolder() + "/Plotwick.nsi";
    templateText() = dwf::DefaultScriptTemplate();
}

void frmToDWF::run() {
    if (!nameFiles("DWF", "You must first save your file before you can Export to DWF")) return;
    if (exportBesideOnlyWhenFree() && exportDwf()) {
        // The host has written the copy when its call returns: no pause is needed.
        yieldToHost();
        ViewerBuilder(dwf::packageRecipe(), *this).CompileViewer(m_exeName, m_exportedFile);
    }
    dropPrivateCopy();
}

// A copy that was not written stops the run: an earlier DWF of the same name would
// otherwise be packed in its place.
bool frmToDWF::exportDwf() {
    CadHost* host = hostApplication();
    if (host->softwareVersionMajor() >= kFirstTranslatorVersion) return PublishDWF(m_exportedFile);
    setStatus("Saving:" + QString::fromStdString(m_exportedFile));
    yieldToHost();
    host->setSilentOperation(false);
    return saveCopyAs(*host, m_exportedFile);
}

bool frmToDWF::PublishDWF(const std::string& sDWFFile) {
    setStatus("Publishing " + QString::fromStdString(sDWFFile));
    CadHost* host = hostApplication();
    CadTranslator* translator = dwfTranslator(*host);
    CadDocument* document = host->activeDocument();
    if (translator == nullptr || document == nullptr) {
        showMessage(this, QString("The host has no DWF translator (an add-in of type %1 with the "
                                  "class %2): nothing was published.")
                              .arg(kTranslatorAddInType)
                              .arg(kDwfTranslatorClassId));
        return false;
    }
    TranslationContext context = host->createTranslationContext();
    context.type = kFileBrowseContext;
    NameValueMap options = host->createNameValueMap();
    DataMedium medium = host->createDataMedium();
    medium.fileName = sDWFFile;
    if (translator->hasSaveCopyAsOptions(*document, context, options)) {
        const NameValueMap written = dwfPublishingOptions(
            chkPublish3D->isChecked(), document->type() == DocumentType::drawing);
        options.insert(options.end(), written.begin(), written.end());
    }
    yieldToHost();
    return translator->saveCopyAs(*document, context, options, medium);
}

}  // namespace exportal
