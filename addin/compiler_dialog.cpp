#include "compiler_dialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include "addin_folder.h"
#include "addin_state.h"
#include "image_export.h"
#include "image_settings.h"
#include "maker_links.h"
#include "user_prompts.h"

namespace exportal {

namespace {

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

void setBoxQuietly(QCheckBox* box, const std::string& value) {
    const QSignalBlocker quiet(box);
    box->setChecked(value == "1");
}

CompilerDialog::CompilerDialog(const CompilerDialogKeys& keys, const QString& caption,
                               const QString& command)
    : m_keys(keys) {
    setWindowTitle(caption);
    buildControls(command);
    connectHandlers();
}

CompilerDialog::~CompilerDialog() = default;

void CompilerDialog::buildControls(const QString& command) {
    chkDelete = new QCheckBox(m_keys.deleteCaption);
    // Both kinds say XGL here: the tooltip was written for the first.
    chkDelete->setToolTip("Removes intermediate XGL file after compiling");
    chkAlternate = new QCheckBox("Save To Alternate Location");
    chkViewWhenDone = new QCheckBox("View When Done");
    chkShowScript = new QCheckBox("Show Script");
    txtAltDir = new QLineEdit;
    cmdBrowse = new QPushButton("...");
    cmdCompile = new QPushButton(command);
    cmdDone = new QPushButton("Done");
    lblStatus = new QLabel;
    lblHint = new QLabel;

    m_boxes = new QGridLayout;
    m_boxes->addWidget(chkDelete, 0, 0);
    m_boxes->addWidget(chkViewWhenDone, 0, 1);
    m_boxes->addWidget(chkShowScript, 1, 0);
    m_boxes->addWidget(chkAlternate, 1, 1);
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
    page->addLayout(m_boxes);
    page->addLayout(directoryRow);
    page->addLayout(buttons);
    page->addLayout(statusRow);
    page->addLayout(makerLinks(lblHint, true));
    page->addWidget(lblHint);
    setMinimumWidth(460);
}

void CompilerDialog::addCheckBox(QCheckBox* box) {
    m_boxes->addWidget(box, m_boxes->rowCount(), 0, 1, 2);
}

void CompilerDialog::storeBox(const char* key, bool checked) const {
    writeSetting(m_keys.application, key, checked ? "1" : "0");
}

void CompilerDialog::connectHandlers() {
    const std::pair<QCheckBox*, const char*> boxes[] = {{chkDelete, m_keys.deleteExported},
                                                        {chkShowScript, m_keys.showScript},
                                                        {chkViewWhenDone, m_keys.viewWhenDone}};
    for (const auto& [box, key] : boxes)
        connect(box, &QCheckBox::toggled, this,
                [this, key](bool checked) { storeBox(key, checked); });
    connect(chkAlternate, &QCheckBox::toggled, this, [this](bool checked) {
        storeBox(m_keys.useAlternateDirectory, checked);
        txtAltDir->setEnabled(checked);
    });
    connect(cmdBrowse, &QPushButton::clicked, this, &CompilerDialog::browse);
    connect(cmdCompile, &QPushButton::clicked, this, &CompilerDialog::runGuarded);
    connect(cmdDone, &QPushButton::clicked, this, [this] { unload(); });
}

void CompilerDialog::onLoad() {
    const char* application = m_keys.application;
    m_scriptPath = addInFolder() + "/" + m_keys.scriptFileName;
    m_alternateDirectory = readSetting(application, m_keys.alternateDirectory);
    txtAltDir->setText(QString::fromStdString(m_alternateDirectory));
    setBoxQuietly(chkAlternate, readSetting(application, m_keys.useAlternateDirectory));
    setBoxQuietly(chkViewWhenDone, readSetting(application, m_keys.viewWhenDone));
    setBoxQuietly(chkShowScript, readSetting(application, m_keys.showScript));
    setBoxQuietly(chkDelete, readSetting(application, m_keys.deleteExported));
    txtAltDir->setEnabled(chkAlternate->isChecked());
    lblStatus->clear();
    LoadScriptTemplate();
}

void CompilerDialog::browse() {
    const QString folder = BrowseForFolder(this);
    if (folder.isEmpty()) return;
    txtAltDir->setText(folder);
    m_alternateDirectory = folder.toStdString();
    writeSetting(m_keys.application, m_keys.alternateDirectory, m_alternateDirectory);
    chkAlternate->setChecked(true);
    storeBox(m_keys.useAlternateDirectory, true);
}

// A second press while a run waits for the host or the compiler would write the same
// script and copy again under the running one.
void CompilerDialog::runGuarded() {
    RunningFlag running(cmdCompile);
    run();
}

bool CompilerDialog::nameFiles(const char* extension, const QString& unsavedMessage) {
    CadHost* host = hostApplication();
    CadDocument* document = host ? host->activeDocument() : nullptr;
    m_exeName = document ? document->fullFileName() : std::string();
    if (m_exeName.empty()) {
        showMessage(this, unsavedMessage);
        return false;
    }
    // The stem keeps its dot: the extension is three letters.
    const std::string stem = m_exeName.substr(0, m_exeName.size() < 3 ? 0 : m_exeName.size() - 3);
    m_exportedFile = stem + extension;
    m_exeName = stem + "exe";
    return true;
}

bool CompilerDialog::exportBesideOnlyWhenFree() {
    const QFileInfo place(QString::fromStdString(m_exportedFile));
    if (!place.exists() && !place.isSymLink()) return true;
    m_privateCopy = std::make_unique<QTemporaryDir>();
    if (!m_privateCopy->isValid()) {
        showMessage(this, "No temporary folder could be made for the copy to pack: " +
                              m_privateCopy->errorString());
        m_privateCopy.reset();
        return false;
    }
    const QString kept = place.filePath();
    m_exportedFile = pathInside(m_privateCopy->path(), m_exportedFile);
    if (!deleteExported())
        showMessage(this, kept +
                              " is already there and is kept as it is; the copy packed into "
                              "the executable is not kept beside it.");
    return true;
}

void CompilerDialog::dropPrivateCopy() {
    m_privateCopy.reset();
}

void CompilerDialog::setStatus(const QString& text) {
    lblStatus->setText(text);
}

bool CompilerDialog::useAlternateDirectory() const {
    return chkAlternate->isChecked();
}

void CompilerDialog::uncheckAlternateDirectory() {
    chkAlternate->setChecked(false);
}

QString CompilerDialog::alternateDirectoryText() const {
    return txtAltDir->text();
}

bool CompilerDialog::showScript() const {
    return chkShowScript->isChecked();
}

bool CompilerDialog::viewWhenDone() const {
    return chkViewWhenDone->isChecked();
}

bool CompilerDialog::deleteExported() const {
    return chkDelete->isChecked();
}

}  // namespace exportal
