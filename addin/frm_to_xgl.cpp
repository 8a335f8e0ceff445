#include "frm_to_xgl.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "addin_folder.h"
#include "addin_state.h"
#include "image_settings.h"
#include "maker_links.h"
#include "save_copy.h"
#include "user_prompts.h"

namespace exportal {

namespace {

void setBox(QCheckBox* box, const std::string& value) {
    const QSignalBlocker quiet(box);
    box->setChecked(value == "1");
}

void storeBox(const char* key, bool checked) {
    writeSetting(kXglCompilerApplication, key, checked ? "1" : "0");
}

// Clears a flag when the run ends, however it ends.
class RunningFlag {
  public:
    explicit RunningFlag(QPushButton* button) : m_button(button) { m_button->setEnabled(false); }
    ~RunningFlag() { m_button->setEnabled(true); }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

  private:
    QPushButton* m_button;
};

}  // namespace

XglCompilerDialog::XglCompilerDialog(const QString& caption, const QString& command) {
    setWindowTitle(caption);
    buildControls(command);
    connectHandlers();
}

void XglCompilerDialog::buildControls(const QString& command) {
    chkDeleteXGL = new QCheckBox("Delete XGL");
    chkDeleteXGL->setToolTip("Removes intermediate XGL file after compiling");
    chkAlternate = new QCheckBox("Save To Alternate Location");
    chkViewWhenDone = new QCheckBox("View When Done");
    chkShowScript = new QCheckBox("Show Script");
    txtAltDir = new QLineEdit;
    cmdBrowse = new QPushButton("...");
    cmdCompile = new QPushButton(command);
    cmdDone = new QPushButton("Done");
    lblStatus = new QLabel;
    lblHint = new QLabel;

    auto* boxes = new QGridLayout;
    boxes->addWidget(chkDeleteXGL, 0, 0);
    boxes->addWidget(chkViewWhenDone, 0, 1);
    boxes->addWidget(chkShowScript, 1, 0);
    boxes->addWidget(chkAlternate, 1, 1);
    auto* directoryRow = new QHBoxLayout;
    directoryRow->addWidget(txtAltDir, 1);
    directoryRow->addWidget(cmdBrowse);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(new QLabel("Status:"));
    statusRow->addWidget(lblStatus, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdCompile);
    buttons->addWidget(cmdDone);

    auto* page = new QVBoxLayout(this);
    page->addLayout(boxes);
    page->addLayout(directoryRow);
    page->addLayout(buttons);
    page->addLayout(statusRow);
    page->addLayout(makerLinks(lblHint, true));
    page->addWidget(lblHint);
    setMinimumWidth(460);
}

void XglCompilerDialog::connectHandlers() {
    connect(chkDeleteXGL, &QCheckBox::toggled, this,
            [](bool checked) { storeBox("XGLDelXGL", checked); });
    connect(chkShowScript, &QCheckBox::toggled, this,
            [](bool checked) { storeBox("XGLShowScript", checked); });
    connect(chkViewWhenDone, &QCheckBox::toggled, this,
            [](bool checked) { storeBox("TessaroWhenDone", checked); });
    connect(chkAlternate, &QCheckBox::toggled, this, [this](bool checked) {
        storeBox("XGLUseAltDir", checked);
        txtAltDir->setEnabled(checked);
    });
    connect(cmdBrowse, &QPushButton::clicked, this, &XglCompilerDialog::browse);
    connect(cmdCompile, &QPushButton::clicked, this, &XglCompilerDialog::runGuarded);
    connect(cmdDone, &QPushButton::clicked, this, [this] { unload(); });
}

// Controls are filled quietly: filling is not the user changing a setting.
void XglCompilerDialog::onLoad() {
    m_scriptPath = addInFolder() + "/XGLScript.nsi";
    m_alternateDirectory = readSetting(kXglCompilerApplication, "XGLAltDir");
    txtAltDir->setText(QString::fromStdString(m_alternateDirectory));
    setBox(chkAlternate, readSetting(kXglCompilerApplication, "XGLUseAltDir"));
    setBox(chkViewWhenDone, readSetting(kXglCompilerApplication, "TessaroWhenDone"));
    setBox(chkShowScript, readSetting(kXglCompilerApplication, "XGLShowScript"));
    setBox(chkDeleteXGL, readSetting(kXglCompilerApplication, "XGLDelXGL"));
    txtAltDir->setEnabled(chkAlternate->isChecked());
    lblStatus->clear();
    LoadScriptTemplate();
}

void XglCompilerDialog::browse() {
    const QString folder = BrowseForFolder(this);
    if (folder.isEmpty()) return;
    txtAltDir->setText(folder);
    m_alternateDirectory = folder.toStdString();
    writeSetting(kXglCompilerApplication, "XGLAltDir", m_alternateDirectory);
    chkAlternate->setChecked(true);
    storeBox("XGLUseAltDir", true);
}

// A second press while a run waits for the host or the compiler would write the same
// script and copy again under the running one.
void XglCompilerDialog::runGuarded() {
    RunningFlag running(cmdCompile);
    run();
}

void XglCompilerDialog::LoadScriptTemplate() {
    m_templateText = exportal::LoadScriptTemplate(addInFolder() + "/Tessaro.nsi",
                                                  DefaultScriptTemplate(), m_warnedOnce, this);
}

bool XglCompilerDialog::saveCopy(const char* extension) {
    CadHost* host = hostApplication();
    CadDocument* document = host ? host->activeDocument() : nullptr;
    m_exeName = document ? document->fullFileName() : std::string();
    if (m_exeName.empty()) {
        showMessage(this, "You must first save your file before you can Export to XGL");
        return false;
    }
    // The stem keeps its dot: the extension is three letters.
    const std::string stem = m_exeName.substr(0, m_exeName.size() < 3 ? 0 : m_exeName.size() - 3);
    m_exportedFile = stem + extension;
    m_exeName = stem + "exe";
    setStatus("Saving:" + QString::fromStdString(m_exportedFile));
    yieldToHost();
    // The host's command has written the copy when it returns: no pause is needed.
    const bool saved = saveCopyAs(*host, m_exportedFile);
    host->setSilentOperation(false);
    return saved;
}

void XglCompilerDialog::setStatus(const QString& text) {
    lblStatus->setText(text);
}

bool XglCompilerDialog::useAlternateDirectory() const {
    return chkAlternate->isChecked();
}

void XglCompilerDialog::uncheckAlternateDirectory() {
    chkAlternate->setChecked(false);
}

QString XglCompilerDialog::alternateDirectoryText() const {
    return txtAltDir->text();
}

bool XglCompilerDialog::showScript() const {
    return chkShowScript->isChecked();
}

bool XglCompilerDialog::viewWhenDone() const {
    return chkViewWhenDone->isChecked();
}

bool XglCompilerDialog::deleteExported() const {
    return chkDeleteXGL->isChecked();
}

frmToXGL::frmToXGL() : XglCompilerDialog("Compiled XGL", "Compile XGL") {}

void frmToXGL::run() {
    if (!saveCopy("zgl")) return;
    ViewerBuilder(xglPackageRecipe(), *this).CompileViewer(m_exeName, m_exportedFile);
    if (CadHost* host = hostApplication()) host->setSilentOperation(false);
}

frmToVRML::frmToVRML() : XglCompilerDialog("Save VRML", "Save VRML") {}

void frmToVRML::run() {
    if (!saveCopy("wrl")) return;
    if (CadHost* host = hostApplication()) {
        host->setSilentOperation(false);
        host->setSilentOperation(false);
    }
}

}  // namespace exportal
