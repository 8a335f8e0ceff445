// The dialog of a packaged-viewer command: the check boxes, the alternate directory
// with its browse button, the command and "Done" buttons, the status line and the
// maker's links. Each kind of package names its own settings keys and texts.
#pragma once

#include <memory>
#include <string>

#include "addin_dialog.h"
#include "viewer_builder.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTemporaryDir;

namespace exportal {

// The settings application and keys a dialog reads at load and writes on a click.
struct CompilerDialogKeys {
    const char* application;
    const char* alternateDirectory;
    const char* useAlternateDirectory;
    const char* viewWhenDone;
    const char* showScript;
    const char* deleteExported;
    const char* deleteCaption;   // "Delete XGL", "Delete DWF"
    const char* scriptFileName;  // the generated script in the add-in's folder
};

class CompilerDialog : public AddInDialog, public BuilderDialog {
  public:
    ~CompilerDialog() override;
    QCheckBox* chkDelete = nullptr;
    QCheckBox* chkAlternate = nullptr;
    QCheckBox* chkViewWhenDone = nullptr;
    QCheckBox* chkShowScript = nullptr;
    QLineEdit* txtAltDir = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdCompile = nullptr;
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

  protected:
    CompilerDialog(const CompilerDialogKeys& keys, const QString& caption, const QString& command);
    void onLoad() override;
    // A check box of the kind's own, placed after the shared ones.
    void addCheckBox(QCheckBox* box);
    // Steps 1 and 2 of the commands: the exe name and the exported file (the document's
    // stem + `extension`) from the active document's name. False, with `unsavedMessage`,
    // when the document was never saved.
    bool nameFiles(const char* extension, const QString& unsavedMessage);
    void storeBox(const char* key, bool checked) const;
    // A file already at the exported file's place may be the user's own, or the
    // document itself: the copy to pack is then made in a temporary folder of the
    // add-in's own and the file stays as it is. False, after a message, when that
    // folder cannot be made.
    bool exportBesideOnlyWhenFree();
    // The temporary folder goes with what it holds, once the package is built.
    void dropPrivateCopy();

    const CompilerDialogKeys& m_keys;
    std::string m_exeName;
    std::string m_exportedFile;

  private:
    void buildControls(const QString& command);
    void connectHandlers();
    void browse();
    void runGuarded();

    QGridLayout* m_boxes = nullptr;
    std::string m_scriptPath;
    std::string m_templateText;
    std::string m_alternateDirectory;
    std::unique_ptr<QTemporaryDir> m_privateCopy;
};

// Fills a check box from a stored "0" or "1" without running its handler: filling is
// not the user changing a setting.
void setBoxQuietly(QCheckBox* box, const std::string& value);

}  // namespace exportal
