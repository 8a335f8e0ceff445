#include "frm_to_jpeg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <limits>

#include "addin_state.h"
#include "image_export.h"
#include "image_settings.h"
#include "user_prompts.h"

namespace exportal {

namespace {

// The width field's whole value; text that is no number gives 0, the view's own width.
std::int32_t widthOf(const QLineEdit* field) {
    double value = 0;
    if (!numericValue(field->text().toStdString(), value) || value < 0 ||
        value > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace

frmToJpeg::frmToJpeg() {
    setWindowTitle("JPEG");
    buildControls();
    connect(cmdSave, &QPushButton::clicked, this, &frmToJpeg::saveClicked);
    connect(cmdDone, &QPushButton::clicked, this, &frmToJpeg::doneClicked);
    connect(cmdBrowse, &QPushButton::clicked, this, &frmToJpeg::browse);
}

void frmToJpeg::buildControls() {
    txtWidth = new QLineEdit("2048");
    txtQuality = new QLineEdit("75");
    chkAutoNumber = new QCheckBox("Auto Number Files");
    chkAlternate = new QCheckBox("Save To Alternate Location");
    txtTargetDir = new QLineEdit;
    cmdBrowse = new QPushButton("...");
    cmdSave = new QPushButton("Save JPEG");
    cmdDone = new QPushButton("Done");
    lblStatus = new QLabel;
    // The maker's two links; this dialog shows them without an action.
    lblWeb = new QLabel("Web page");
    lblMail = new QLabel("E-mail");

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel("Width in Pixels"), 0, 0);
    grid->addWidget(txtWidth, 0, 1);
    grid->addWidget(new QLabel("Quality (10-100)"), 1, 0);
    grid->addWidget(txtQuality, 1, 1);
    grid->addWidget(chkAutoNumber, 2, 0, 1, 2);
    grid->addWidget(chkAlternate, 3, 0, 1, 2);
    auto* directoryRow = new QHBoxLayout;
    directoryRow->addWidget(txtTargetDir);
    directoryRow->addWidget(cmdBrowse);
    grid->addLayout(directoryRow, 4, 0, 1, 2);
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(new QLabel("Status:"));
    statusRow->addWidget(lblStatus, 1);
    auto* links = new QHBoxLayout;
    links->addWidget(lblWeb);
    links->addWidget(lblMail);
    links->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdDone);
    auto* page = new QVBoxLayout(this);
    page->addLayout(grid);
    page->addLayout(statusRow);
    page->addLayout(links);
    page->addLayout(buttons);
}

void frmToJpeg::onLoad() {
    ImageSettings& settings = imageSettings();
    LoadSettings(settings);
    txtWidth->setText(QString::number(settings.PixelWidth));
    chkAutoNumber->setChecked(settings.AutoNumber == 1);
    txtTargetDir->setText(QString::fromStdString(settings.JPEGTargetDir));
    chkAlternate->setChecked(settings.AlternatePath == 1);
    txtQuality->setText(QString::number(settings.StoredQuality));
    settings.CurrentQuality = settings.StoredQuality;
    lblStatus->clear();
}

void frmToJpeg::saveClicked() {
    CadHost* host = hostApplication();
    CadDocument* document = host != nullptr ? host->activeDocument() : nullptr;
    const std::string name = document != nullptr ? document->fullFileName() : std::string();
    if (name.empty()) {
        lblStatus->setText("DOCUMENT NOT SAVED, please save first");
        return;
    }
    lblStatus->setText("Writing:" + QString::fromStdString(name));
    yieldToHost();
    if (imageSettings().AutoFit == 1) {
        if (CadView* view = host->activeView()) view->fit();
    }
    ExportViewImage(name, widthOf(txtWidth));
    lblStatus->setText("Done");
}

void frmToJpeg::doneClicked() {
    StoreJpegDialogSettings({txtWidth->text().toStdString(), chkAutoNumber->isChecked(),
                             chkAlternate->isChecked(), txtTargetDir->text().toStdString(),
                             txtQuality->text().toStdString()});
    unload();
}

void frmToJpeg::browse() {
    const QString folder = BrowseForFolder(this);
    if (folder.isEmpty()) return;
    txtTargetDir->setText(folder);
    chkAlternate->setChecked(true);
}

}  // namespace exportal
