// "Compiled XGL" (frmToXGL) packs the active document as a ZGL with Tessaro into a
// self-extracting executable; "Save VRML" (frmToVRML) is the same dialog that only
// saves a VRML copy. Both edit the "Inventor XGL Compiler" keys.
#pragma once

#include "compiler_dialog.h"

namespace exportal {

class XglCompilerDialog : public CompilerDialog {
  public:
    // The template file Tessaro.nsi of the add-in's folder, or the built-in one.
    void LoadScriptTemplate() override;

  protected:
    XglCompilerDialog(const QString& caption, const QString& command);
    // Steps 1 to 4 of both commands: the file names and the host's copy with this
    // extension; an `intermediate` copy (one only to pack) does not take the place of a
    // file already there. False when there is no copy (an unsaved document is reported
    // here, a failed copy by the host).
    bool saveCopy(const char* extension, bool intermediate);

  private:
    bool m_warnedOnce = false;
};

class frmToXGL final : public XglCompilerDialog {
  public:
    frmToXGL();
    void run() override;
};

class frmToVRML final : public XglCompilerDialog {
  public:
    frmToVRML();
    void run() override;
};

}  // namespace exportal
