#include "frm_to_xgl.h"

#include "addin_folder.h"
#include "addin_state.h"
#include "image_settings.h"
#include "save_copy.h"
#include "user_prompts.h"

namespace exportal {

namespace {

const CompilerDialogKeys kXglKeys{
    kXglCompilerApplication, "XGLAltDir", "XGLUseAltDir", "TessaroWhenDone",
    "XGLShowScript",         "XGLDelXGL", "Delete XGL",   "XGLScript.nsi"};

}  // namespace

XglCompilerDialog::XglCompilerDialog(const QString& caption, const QString& command)
    : CompilerDialog(kXglKeys, caption, command) {}

void XglCompilerDialog::LoadScriptTemplate() {
    templateText() = exportal::LoadScriptTemplate(addInFolder() + "/Tessaro.nsi",
                                                  DefaultScriptTemplate(), m_warnedOnce, this);
}

bool XglCompilerDialog::saveCopy(const char* extension, bool intermediate) {
    if (!nameFiles(extension, "You must first save your file before you can Export to XGL"))
        return false;
    if (intermediate && !exportBesideOnlyWhenFree()) return false;
    CadHost* host = hostApplication();
    if (isTheDocument(*host, m_exportedFile)) {
        showMessage(this, QString::fromStdString(m_exportedFile +
                                                 " is the document itself; it is not replaced."));
        return false;
    }
    setStatus("Saving:" + QString::fromStdString(m_exportedFile));
    yieldToHost();
    // The host's command has written the copy when it returns: no pause is needed.
    const bool saved = saveCopyAs(*host, m_exportedFile);
    host->setSilentOperation(false);
    return saved;
}

frmToXGL::frmToXGL() : XglCompilerDialog("Compiled XGL", "Compile XGL") {}

void frmToXGL::run() {
    const bool saved = saveCopy("zgl", true);
    if (saved) ViewerBuilder(xglPackageRecipe(), *this).CompileViewer(m_exeName, m_exportedFile);
    dropPrivateCopy();
    if (!saved) return;
    if (CadHost* host = hostApplication()) host->setSilentOperation(false);
}

frmToVRML::frmToVRML() : XglCompilerDialog("Save VRML", "Save VRML") {}

void frmToVRML::run() {
    if (!saveCopy("wrl", false)) return;
    if (CadHost* host = hostApplication()) {
        host->setSilentOperation(false);
        host->setSilentOperation(false);
    }
}

}  // namespace exportal
