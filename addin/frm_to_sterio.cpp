#include "frm_to_sterio.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

#include "addin_state.h"
#include "image_export.h"
#include "image_settings.h"
#include "shell_open.h"
#include "stereo_pair.h"
#include "user_prompts.h"

namespace exportal {

namespace {

constexpr int kUserWidth = 8;
constexpr int kUserDistance = 3;
// The "1600" option has always written 2048-pixel images; "Screen" leaves the size
// to the view.
constexpr std::int32_t kOptionWidths[] = {320, 480, 640, 0, 800, 1024, 1280, 2048};
constexpr double kOptionInches[] = {27, 52, 158};
// The shell's show command for "show without activating".
constexpr int kShowNoActivate = 4;

// Selects the option at `position`; none for a position outside the group.
void selectOption(QButtonGroup* group, int position) {
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons())
        button->setChecked(group->id(button) == position);
    group->setExclusive(true);
}

std::string settingOf(const char* key) {
    return readSetting(kExportalApplication, key);
}

void store(const char* key, const std::string& value) {
    writeSetting(kExportalApplication, key, value);
}

std::string boxText(const QCheckBox* box) {
    return box->isChecked() ? "1" : "0";
}

int positionOf(const std::string& text) {
    double value = -1;
    return numericValue(text, value) && value >= 0 && value < 100 ? static_cast<int>(value) : -1;
}

}  // namespace

frmToSterio::frmToSterio() {
    setWindowTitle("Save Stereo Images");
    buildControls();
    connectHandlers();
}

void frmToSterio::buildControls() {
    m_widths = new QButtonGroup(this);
    auto* widthBox = new QGroupBox("Image Width");
    auto* widthGrid = new QGridLayout(widthBox);
    const char* widthCaptions[] = {"320",  "480",  "640",  "Screen", "800",
                                   "1024", "1280", "1600", "User"};
    for (int i = 0; i < 9; ++i) {
        optWidth[i] = new QRadioButton(widthCaptions[i]);
        m_widths->addButton(optWidth[i], i);
        widthGrid->addWidget(optWidth[i], i / 3, i % 3);
    }
    txtWidth = new QLineEdit;
    widthGrid->addWidget(txtWidth, 3, 0, 1, 3);

    m_distances = new QButtonGroup(this);
    auto* distanceBox = new QGroupBox("Viewing Distance");
    auto* distanceColumn = new QVBoxLayout(distanceBox);
    const char* distanceCaptions[] = {"27\" (0.7 m) Close", "52\" (1.3 m) Average",
                                      "158\" (4.0 m) Distant", "User"};
    for (int i = 0; i < 4; ++i) {
        optDistance[i] = new QRadioButton(distanceCaptions[i]);
        m_distances->addButton(optDistance[i], i);
        distanceColumn->addWidget(optDistance[i]);
    }
    txtDistance = new QLineEdit;
    distanceColumn->addWidget(txtDistance);

    auto* typeBox = new QGroupBox("Export File Type");
    auto* typeRow = new QHBoxLayout(typeBox);
    optBMP = new QRadioButton("BMP");
    optJPG = new QRadioButton("JPG");
    typeRow->addWidget(optBMP);
    typeRow->addWidget(optJPG);

    auto* optionsBox = new QGroupBox("Stereo Options");
    auto* options = new QGridLayout(optionsBox);
    chkRunCompiler = new QCheckBox("Run Compiler");
    txtCompilerPath = new QLineEdit;
    cmdFind = new QPushButton("...");
    chkAlternate = new QCheckBox("Save To Alternate Location");
    txtTargetDir = new QLineEdit;
    cmdBrowse = new QPushButton("...");
    options->addWidget(chkRunCompiler, 0, 0, 1, 2);
    options->addWidget(txtCompilerPath, 1, 0);
    options->addWidget(cmdFind, 1, 1);
    options->addWidget(chkAlternate, 2, 0, 1, 2);
    options->addWidget(txtTargetDir, 3, 0);
    options->addWidget(cmdBrowse, 3, 1);

    cmdSave = new QPushButton("Save Images");
    cmdDone = new QPushButton("Done");
    lblStatus = new QLabel;
    auto* groups = new QGridLayout;
    groups->addWidget(widthBox, 0, 0);
    groups->addWidget(distanceBox, 0, 1);
    groups->addWidget(typeBox, 1, 0);
    groups->addWidget(optionsBox, 1, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(cmdSave);
    bottom->addWidget(cmdDone);
    auto* page = new QVBoxLayout(this);
    page->addLayout(groups);
    page->addLayout(bottom);
}

void frmToSterio::connectHandlers() {
    connect(m_widths, &QButtonGroup::idToggled, this,
            [this] { txtWidth->setEnabled(m_widths->checkedId() == kUserWidth); });
    connect(m_distances, &QButtonGroup::idToggled, this,
            [this] { txtDistance->setEnabled(m_distances->checkedId() == kUserDistance); });
    connect(txtWidth, &QLineEdit::textChanged, this, &frmToSterio::widthFieldChanged);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmToSterio::browse);
    connect(cmdFind, &QPushButton::clicked, this, &frmToSterio::find);
    connect(cmdSave, &QPushButton::clicked, this, &frmToSterio::saveClicked);
    connect(cmdDone, &QPushButton::clicked, this, &QWidget::close);
}

void frmToSterio::onLoad() {
    LoadStereoSettings();
    lblStatus->clear();
}

void frmToSterio::LoadStereoSettings() {
    chkAlternate->setChecked(settingOf("AlternateStereoPath") == "1");
    txtTargetDir->setText(QString::fromStdString(settingOf("SterioTargetDir")));
    chkRunCompiler->setChecked(settingOf("RunCompiler") == "1");
    txtCompilerPath->setText(QString::fromStdString(settingOf("CompilerPath")));
    const bool bitmap = settingOf("BitmapType") == "BMP";
    optBMP->setChecked(bitmap);
    optJPG->setChecked(!bitmap);
    selectOption(m_widths, positionOf(settingOf("SterioPixelIndex")));
    txtWidth->setText(QString::fromStdString(settingOf("SterioPixelUser")));
    txtWidth->setEnabled(m_widths->checkedId() == kUserWidth);
    selectOption(m_distances, positionOf(settingOf("SterioViewDist")));
    txtDistance->setText(QString::fromStdString(settingOf("SterioVDistUser")));
    txtDistance->setEnabled(m_distances->checkedId() == kUserDistance);
}

// A position outside a group is stored as the first selected option, none: -1.
void frmToSterio::SaveStereoSettings() {
    store("AlternateStereoPath", boxText(chkAlternate));
    store("SterioTargetDir", txtTargetDir->text().toStdString());
    store("RunCompiler", boxText(chkRunCompiler));
    store("CompilerPath", txtCompilerPath->text().toStdString());
    store("BitmapType", optBMP->isChecked() ? "BMP" : "JPG");
    store("SterioPixelIndex", std::to_string(m_widths->checkedId()));
    store("SterioPixelUser", txtWidth->text().toStdString());
    store("SterioViewDist", std::to_string(m_distances->checkedId()));
    store("SterioVDistUser", txtDistance->text().toStdString());
}

void frmToSterio::closeEvent(QCloseEvent* event) {
    SaveStereoSettings();
    AddInDialog::closeEvent(event);
}

std::int32_t frmToSterio::StereoPixelWidth() const {
    const int position = m_widths->checkedId();
    if (position >= 0 && position < kUserWidth) return kOptionWidths[position];
    double value = 0;
    if (!numericValue(txtWidth->text().toStdString(), value) || value < 0 ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::int32_t>(value);
}

// The host measures in centimetres: whole centimetres, then whole inches, both
// rounded to the nearest with halves to the even neighbour.
double frmToSterio::ViewingDistanceInches() {
    const int position = m_distances->checkedId();
    if (position >= 0 && position < kUserDistance) return kOptionInches[position];
    double centimetres = 0;
    CadHost* host = hostApplication();
    if (host == nullptr ||
        !host->evaluateLength(txtDistance->text().toStdString(), "in", centimetres)) {
        centimetres = 0;
    }
    const double inches = std::nearbyint(std::nearbyint(centimetres) / 2.54);
    if (inches == 0) showMessage(this, "Invalid Viewing Distance");
    return inches;
}

std::string frmToSterio::ApplyStereoAlternatePath(const std::string& fullFileName) {
    if (!chkAlternate->isChecked()) return fullFileName;
    return alternatePathIn(fullFileName, txtTargetDir->text().toStdString(), this);
}

bool frmToSterio::CaptureStereoPair(const std::string& baseName) {
    CadHost* host = hostApplication();
    if (host == nullptr) return false;
    const std::int32_t width = StereoPixelWidth();
    const double inches = ViewingDistanceInches();
    return captureStereoPair(*host, baseName, width, inches);
}

// An image that was not captured is not waited for: no JPEG and no program follow.
// Bitmaps that only become JPEGs are taken in a temporary folder of the add-in's own,
// so a user's own NAME_L.bmp beside the JPEGs is neither overwritten nor deleted.
void frmToSterio::saveClicked() {
    SaveStereoSettings();
    CadHost* host = hostApplication();
    CadDocument* document = host != nullptr ? host->activeDocument() : nullptr;
    const std::string fullName = document != nullptr ? document->fullFileName() : std::string();
    if (fullName.size() <= 4) {
        lblStatus->setText("DOCUMENT NOT SAVED, please save first");
        return;
    }
    const std::string name = ApplyStereoAlternatePath(fullName);
    const std::string base = name.substr(0, name.size() - 4);
    const QTemporaryDir scratch;
    const bool jpeg = optJPG->isChecked();
    if (jpeg && !scratch.isValid()) {
        showMessage(this,
                    "No temporary folder could be made for the bitmaps: " + scratch.errorString());
        return;
    }
    const std::string bitmapBase = jpeg ? pathInside(scratch.path(), base) : base;
    if (!CaptureStereoPair(bitmapBase)) return;
    const std::string left = base + "_L", right = base + "_R";
    std::string leftFile = left + ".bmp", rightFile = right + ".bmp";
    if (jpeg) {
        lblStatus->setText(QString::fromStdString("Saving: " + left));
        convertBitmapFile(bitmapBase + "_L.bmp", left + ".jpg");
        lblStatus->setText(QString::fromStdString("Saving: " + right));
        convertBitmapFile(bitmapBase + "_R.bmp", right + ".jpg");
        leftFile = left + ".jpg";
        rightFile = right + ".jpg";
    }
    if (chkRunCompiler->isChecked()) {
        const std::string program = txtCompilerPath->text().toStdString();
        lblStatus->setText(QString::fromStdString("Launching: " + program));
        // The stereo program takes the right image first. The names go as two arguments,
        // not as quoted text split again: a double quote in a name would split it.
        ShellOpenArguments(program, "Open",
                           {QString::fromStdString(rightFile), QString::fromStdString(leftFile)},
                           "", kShowNoActivate);
    }
}

void frmToSterio::widthFieldChanged() {
    double value = 0;
    if (!numericValue(txtWidth->text().toStdString(), value))
        showMessage(this, "Not a valid Number, needs to be greater than 50");
}

void frmToSterio::browse() {
    const QString folder = BrowseForFolder(this);
    if (folder.isEmpty()) return;
    txtTargetDir->setText(folder);
    chkAlternate->setChecked(true);
}

// Windows programs live under wine's "Program Files" when wine is set up.
void frmToSterio::find() {
    const QString programs = QDir::home().filePath(".wine/drive_c/Program Files");
    const QString start = QDir(programs).exists() ? programs : QDir::homePath();
    const QString chosen = QFileDialog::getOpenFileName(this, "Sterio File Editor - Compiler",
                                                        start, "Executible Files (*.exe)");
    if (!chosen.isEmpty()) txtCompilerPath->setText(chosen);
}

}  // namespace exportal
