// "Compiled XGL" (frmToXGL) packs the active document as a ZGL with Tessaro into a
// self-extracting executable; "Save VRML" (frmToVRML) is the same dialog that only
// saves a VRML copy. Both edit the "Inventor XGL Compiler" keys.
#pragma once

#include <string>

#include "addin_dialog.h"
#include "viewer_builder.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace exportal {

class XglCompilerDialog : public AddInDialog, public BuilderDialog {
  public:
    QCheckBox* chkDeleteXGL = nullptr;
    QCheckBox* chkAlternate = nullptr;
    QCheckBox* chkViewWhenDone = nullptr;
    QCheckBox* chkShowScript = nullptr;
    QLineEdit* txtAltDir = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdCompile = nullptr;  // "Compile XGL" or "Save VRML"
    QPushButton* cmdDone = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblHint = nullptr;

    // The command button's work.
    virtual void run() = 0;

    const std::string& scriptPath() const { return m_scriptPath; }

    // BuilderDialog
    QWidget* owner() override { return this; }
    void setStatus(const QString& text) override;
    bool useAlternateDirectory() const override;
    void uncheckAlternateDirectory() override;
    QString alternateDirectoryText() const override;
    bool showScript() const override;
    bool viewWhenDone() const override;
    bool deleteExported() const override;
    std::string& templateText() override { return m_templateText; }
    void LoadScriptTemplate() override;

  protected:
    XglCompilerDialog(const QString& caption, const QString& command);
    void onLoad() override;
    // Steps 1 to 4 of both commands: the exe name and the exported file from the
    // active document's name, and the host's copy with this extension. False when
    // there is no copy (an unsaved document is reported here, a failed copy by the host).
    bool saveCopy(const char* extension);

    std::string m_exeName;
    std::string m_exportedFile;

  private:
    void buildControls(const QString& command);
    void connectHandlers();
    void browse();
    void runGuarded();

    std::string m_scriptPath;
    std::string m_templateText;
    std::string m_alternateDirectory;
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
