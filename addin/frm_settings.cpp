#include "frm_settings.h"

#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QVBoxLayout>

#include <limits>

#include "image_settings.h"
#include "user_prompts.h"

namespace exportal {

namespace {

constexpr int kAllSheetsBox = 4;
constexpr int kMinimumWidth = 120;
constexpr int kLowestQuality = 10;
constexpr int kHighestQuality = 100;

QListWidget* styleList(const QStringList& entries) {
    auto* list = new QListWidget;
    for (const QString& entry : entries) {
        auto* item = new QListWidgetItem(entry, list);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setCheckState(Qt::Unchecked);
    }
    list->setMaximumHeight(90);
    list->hide();
    return list;
}

void checkOnly(QListWidget* list, int position) {
    const QSignalBlocker quiet(list);
    for (int i = 0; i < list->count(); ++i)
        list->item(i)->setCheckState(i == position ? Qt::Checked : Qt::Unchecked);
}

int checkedPosition(const QListWidget* list, int fallback) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) return i;
    return fallback;
}

std::int16_t boxValue(const QCheckBox* box) {
    return box->isChecked() ? 1 : 0;
}

std::string boxText(const QCheckBox* box) {
    return box->isChecked() ? "1" : "0";
}

void setBox(QCheckBox* box, int value) {
    const QSignalBlocker quiet(box);
    box->setChecked(value == 1);
}

// A field's number when it is numeric and fits 32 bits.
bool fieldNumber(const QLineEdit* field, int& number) {
    double value = 0;
    if (!numericValue(field->text().toStdString(), value) ||
        value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    number = static_cast<int>(value);
    return true;
}

}  // namespace

frmSettings::frmSettings() {
    setWindowTitle("Export Options");
    buildControls();
    connectHandlers();
}

void frmSettings::buildControls() {
    auto* types = new QGroupBox;
    auto* typeRow = new QHBoxLayout(types);
    const char* captions[] = {"IPT", "IAM", "IDW", "IPN", "All Sheets", "Make Precise"};
    for (int i = 0; i < 6; ++i) {
        chkExport[i] = new QCheckBox(captions[i]);
        typeRow->addWidget(chkExport[i]);
    }
    chkAutoSave = new QCheckBox("Auto Save");
    optJPEG = new QRadioButton("JPEG");
    optDWF = new QRadioButton("DWF");
    chkAutoFit = new QCheckBox("Auto Fit (not recommended)");
    chkAutoNumber = new QCheckBox("Auto Number Files");
    chkAlternate = new QCheckBox("Save To Alternate Location");
    Text1 = new QLineEdit("2048");
    txtQuality = new QLineEdit("75");
    txtTargetDir = new QLineEdit;
    cmdBrowse = new QPushButton("...");
    lstNumStyle = styleList({".000.jpg", "-000.jpg", "_000.jpg", "#000.jpg"});
    lstSheetStyle = styleList({".s00*.jpg", "-s00*.jpg", "_s00*.jpg", " s00*.jpg"});
    lblStatus = new QLabel;
    cmdDone = new QPushButton("Done");

    auto* grid = new QGridLayout;
    grid->addWidget(chkAutoSave, 0, 0);
    grid->addWidget(optJPEG, 0, 1);
    grid->addWidget(optDWF, 0, 2);
    grid->addWidget(chkAutoFit, 1, 0, 1, 3);
    grid->addWidget(new QLabel("Width in Pixels"), 2, 0);
    grid->addWidget(Text1, 2, 1, 1, 2);
    grid->addWidget(new QLabel("Quality (10-100)"), 3, 0);
    grid->addWidget(txtQuality, 3, 1, 1, 2);
    grid->addWidget(chkAutoNumber, 4, 0, 1, 3);
    grid->addWidget(lstNumStyle, 5, 0, 1, 3);
    grid->addWidget(lstSheetStyle, 6, 0, 1, 3);
    grid->addWidget(chkAlternate, 7, 0, 1, 3);
    auto* directoryRow = new QHBoxLayout;
    directoryRow->addWidget(txtTargetDir);
    directoryRow->addWidget(cmdBrowse);
    grid->addLayout(directoryRow, 8, 0, 1, 3);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lblStatus, 1);
    bottom->addWidget(cmdDone);
    auto* page = new QVBoxLayout(this);
    page->addWidget(types);
    page->addLayout(grid);
    page->addLayout(bottom);
}

void frmSettings::connectHandlers() {
    for (int i = 0; i < 6; ++i) {
        connect(chkExport[i], &QCheckBox::toggled, this,
                [this, i](bool checked) { exportBoxChanged(i, checked); });
    }
    connect(chkAutoSave, &QCheckBox::toggled, this,
            [this] { imageSettings().AutoSave = boxValue(chkAutoSave); });
    connect(chkAutoFit, &QCheckBox::toggled, this,
            [this] { imageSettings().AutoFit = boxValue(chkAutoFit); });
    connect(chkAutoNumber, &QCheckBox::toggled, this, &frmSettings::autoNumberChanged);
    connect(chkAlternate, &QCheckBox::toggled, this, &frmSettings::alternateChanged);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmSettings::browse);
    connect(cmdDone, &QPushButton::clicked, this, &frmSettings::doneClicked);
    for (QListWidget* list : {lstNumStyle, lstSheetStyle}) {
        connect(list, &QListWidget::itemChanged, this,
                [this, list](QListWidgetItem* item) { styleChosen(list, item); });
        list->installEventFilter(this);
    }
    Text1->installEventFilter(this);
    txtQuality->installEventFilter(this);
}

// Controls are filled quietly: filling is not the user changing a setting.
void frmSettings::onLoad() {
    ImageSettings& settings = imageSettings();
    LoadSettings(settings);
    const std::int16_t flags[6] = {settings.DoIPT, settings.DoIAM,       settings.DoIDW,
                                   settings.DoIPN, settings.DoAllSheets, settings.MakePrecise};
    for (int i = 0; i < 6; ++i)
        setBox(chkExport[i], flags[i]);
    setBox(chkAutoSave, settings.AutoSave);
    setBox(chkAutoFit, settings.AutoFit);
    setBox(chkAutoNumber, settings.AutoNumber);
    setBox(chkAlternate, settings.AlternatePath);
    optDWF->setChecked(settings.AutoSaveType == kAutoSaveDwf);
    optJPEG->setChecked(settings.AutoSaveType != kAutoSaveDwf);
    Text1->setText(QString::number(settings.PixelWidth));
    txtQuality->setText(QString::number(settings.StoredQuality));
    txtTargetDir->setText(QString::fromStdString(settings.JPEGTargetDir));
    checkOnly(lstNumStyle, settings.AutoNumStyle);
    checkOnly(lstSheetStyle, settings.AutoSheet);
    lstNumStyle->hide();
    lstSheetStyle->hide();
    lblStatus->clear();
    settings.CurrentQuality = settings.StoredQuality;
}

void frmSettings::exportBoxChanged(int position, bool checked) {
    ImageSettings& settings = imageSettings();
    const std::int16_t value = checked ? 1 : 0;
    std::int16_t* items[6] = {&settings.DoIPT, &settings.DoIAM,     &settings.DoIDW,
                              &settings.DoIPN, &settings.AutoSheet, &settings.MakePrecise};
    *items[position] = value;
    if (position == kAllSheetsBox && checked) showList(lstSheetStyle);
}

void frmSettings::autoNumberChanged(bool checked) {
    imageSettings().AutoNumber = checked ? 1 : 0;
    if (checked) showList(lstNumStyle);
}

void frmSettings::alternateChanged(bool checked) {
    ImageSettings& settings = imageSettings();
    settings.AlternatePath = checked ? 1 : 0;
    if (checked) settings.JPEGTargetDir = txtTargetDir->text().toStdString();
}

void frmSettings::browse() {
    const QString folder = BrowseForFolder(this);
    if (folder.isEmpty()) return;
    txtTargetDir->setText(folder);
    imageSettings().JPEGTargetDir = folder.toStdString();
    chkAlternate->setChecked(true);
}

void frmSettings::showList(QListWidget* list) {
    list->show();
    if (isVisible()) list->setFocus();
}

void frmSettings::styleChosen(QListWidget* list, QListWidgetItem* item) {
    if (item->checkState() != Qt::Checked) return;
    const int position = list->row(item);
    checkOnly(list, position);
    list->hide();
    if (list == lstNumStyle) {
        imageSettings().AutoNumStyle = static_cast<std::int16_t>(position);
        lblStatus->setText("AutoNumber Style set to *." + item->text());
    } else {
        imageSettings().AutoSheet = static_cast<std::int16_t>(position);
        lblStatus->setText("Auto Sheet Number Style set to *." + item->text());
    }
}

// A field whose entry was refused takes the focus back; until it has it, no other
// field is checked, or two refused fields would pass the focus and their messages
// back and forth for ever. Focus lost to another window (a message box) is no leaving.
void frmSettings::keepFocus(QLineEdit* field) {
    m_refocusing = field;
    QTimer::singleShot(0, field, [this, field] {
        field->setFocus();
        m_refocusing = nullptr;
    });
}

bool frmSettings::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        const bool leaving = m_refocusing == nullptr && reason != Qt::ActiveWindowFocusReason &&
                             reason != Qt::PopupFocusReason;
        if (leaving && watched == Text1) leaveWidthField();
        if (leaving && watched == txtQuality) leaveQualityField();
        if (watched == lstNumStyle || watched == lstSheetStyle)
            static_cast<QWidget*>(watched)->hide();
    }
    return AddInDialog::eventFilter(watched, event);
}

bool frmSettings::leaveWidthField() {
    int width = 0;
    if (!fieldNumber(Text1, width)) {
        showMessage(this, "You must enter a value between 320 and 4096");
        keepFocus(Text1);
        return false;
    }
    if (width < kMinimumWidth) {
        showMessage(this, "You must enter a value Greater than 120");
        keepFocus(Text1);
        return false;
    }
    imageSettings().PixelWidth = width;
    return true;
}

bool frmSettings::leaveQualityField() {
    int quality = 0;
    if (!fieldNumber(txtQuality, quality)) {
        showMessage(this, "Invalid entry for JPEG Quality\rEnter a number between 10 and 100");
        return false;
    }
    if (quality < kLowestQuality || quality > kHighestQuality) {
        showMessage(this, "Value must be between 10 and 100");
        keepFocus(txtQuality);
        return false;
    }
    imageSettings().CurrentQuality = quality;
    return true;
}

void frmSettings::doneClicked() {
    SaveSettingsDialogSettings();
    unload();
}

// A number field whose text was refused is stored with the value in memory, so
// the store never holds text that the next load cannot read.
void frmSettings::SaveSettingsDialogSettings() {
    ImageSettings& settings = imageSettings();
    int number = 0;
    const bool widthValid = fieldNumber(Text1, number) && number >= kMinimumWidth;
    writeSetting(
        kExportalApplication, "PixelWidth",
        widthValid ? Text1->text().trimmed().toStdString() : std::to_string(settings.PixelWidth));
    const char* boxKeys[6] = {"DoIPT", "DoIAM", "DoIDW", "DoIPN", "DoAllSheets", "MakePrecise"};
    for (int i = 0; i < 6; ++i)
        writeSetting(kExportalApplication, boxKeys[i], boxText(chkExport[i]));
    writeSetting(kExportalApplication, "AutoSave", boxText(chkAutoSave));
    writeSetting(kExportalApplication, "AutoSaveType", optDWF->isChecked() ? "True" : "False");
    writeSetting(kExportalApplication, "AutoFit", boxText(chkAutoFit));
    writeSetting(kExportalApplication, "AutoNumber", boxText(chkAutoNumber));
    writeSetting(kExportalApplication, "AutoNumStyle",
                 std::to_string(checkedPosition(lstNumStyle, settings.AutoNumStyle)));
    writeSetting(kExportalApplication, "AutoSheet",
                 std::to_string(checkedPosition(lstSheetStyle, settings.AutoSheet)));
    writeSetting(kExportalApplication, "AlternatePath", boxText(chkAlternate));
    writeSetting(kExportalApplication, "JPEGTargetDir", txtTargetDir->text().toStdString());
    const bool qualityValid =
        fieldNumber(txtQuality, number) && number >= kLowestQuality && number <= kHighestQuality;
    writeSetting(kExportalApplication, "JPEGQuality",
                 qualityValid ? txtQuality->text().trimmed().toStdString()
                              : std::to_string(settings.StoredQuality));
    settings.AutoSaveType = optDWF->isChecked() ? kAutoSaveDwf : kAutoSaveJpeg;
}

}  // namespace exportal
