// "Compiled DWF" (frmToDWF) publishes the active document as a DWF and packs it with
// Plotwick into a self-extracting executable. It edits the "Inventor DWF Compiler" keys.
#pragma once

#include "compiler_dialog.h"
#include "host/cad_host.h"

namespace exportal {

class frmToDWF final : public CompilerDialog {
  public:
    frmToDWF();

    QCheckBox* chkPublish3D = nullptr;

    void run() override;
    // Always the built-in script: a template file is never read.
    void LoadScriptTemplate() override;
    // Publishes the active document to `sDWFFile` through the host's DWF translator;
    // false, reported, when there is no translator or it wrote nothing.
    bool PublishDWF(const std::string& sDWFFile);

  protected:
    void onLoad() override;

  private:
    // The DWF copy: through the translator on hosts from version 11, else save-a-copy.
    bool exportDwf();

    std::string m_templatePath;  // where a template would be; kept for its name only
};

// The translator's options, in the order they are written.
NameValueMap dwfPublishingOptions(bool publish3DModels, bool drawing);

}  // namespace exportal
