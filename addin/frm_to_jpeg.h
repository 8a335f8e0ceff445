// frmToJpeg: exports the active view as a JPEG at the width typed in the dialog. Its
// other options are stored by "Done" and act from the next time an image dialog loads.
#pragma once

#include "addin_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace exportal {

class frmToJpeg final : public AddInDialog {
  public:
    frmToJpeg();

    QLineEdit* txtWidth = nullptr;  // "Width in Pixels"
    QLineEdit* txtQuality = nullptr;
    QCheckBox* chkAutoNumber = nullptr;
    QCheckBox* chkAlternate = nullptr;
    QLineEdit* txtTargetDir = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdDone = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblWeb = nullptr;
    QLabel* lblMail = nullptr;

    void saveClicked();
    void doneClicked();

  protected:
    void onLoad() override;

  private:
    void buildControls();
    void browse();
};

}  // namespace exportal
