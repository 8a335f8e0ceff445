// frmSettings ("Export Options"): edits the image-export options. Every control
// changes the in-memory settings at once; "Done" stores them.
#pragma once

#include <array>

#include "addin_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;

namespace exportal {

class frmSettings final : public AddInDialog {
  public:
    frmSettings();

    // The check boxes "IPT", "IAM", "IDW", "IPN", "All Sheets", "Make Precise".
    std::array<QCheckBox*, 6> chkExport{};
    QCheckBox* chkAutoSave = nullptr;
    QCheckBox* chkAutoFit = nullptr;
    QCheckBox* chkAutoNumber = nullptr;
    QCheckBox* chkAlternate = nullptr;
    QRadioButton* optJPEG = nullptr;
    QRadioButton* optDWF = nullptr;
    QLineEdit* Text1 = nullptr;  // "Width in Pixels"
    QLineEdit* txtQuality = nullptr;
    QLineEdit* txtTargetDir = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QListWidget* lstNumStyle = nullptr;
    QListWidget* lstSheetStyle = nullptr;
    QLabel* lblStatus = nullptr;
    QPushButton* cmdDone = nullptr;

    // What leaving the two number fields does; false when the entry was refused and
    // the focus stays in the field.
    bool leaveWidthField();
    bool leaveQualityField();
    void doneClicked();

  protected:
    void onLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();
    void exportBoxChanged(int position, bool checked);
    void autoNumberChanged(bool checked);
    void alternateChanged(bool checked);
    void browse();
    void styleChosen(QListWidget* list, QListWidgetItem* item);
    void showList(QListWidget* list);
    void SaveSettingsDialogSettings();
    void keepFocus(QLineEdit* field);

    QLineEdit* m_refocusing = nullptr;
};

}  // namespace exportal
