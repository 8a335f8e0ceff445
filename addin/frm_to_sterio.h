// frmToSterio ("Save Stereo Images"): saves a left and a right image of the active view,
// as bitmaps or JPEGs, and can start an outside stereo program on them. Its options
// are stored whenever the dialog closes and before every export.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "addin_dialog.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace exportal {

class frmToSterio final : public AddInDialog {
  public:
    frmToSterio();

    // Width options 320, 480, 640, Screen, 800, 1024, 1280, 1600, User.
    std::array<QRadioButton*, 9> optWidth{};
    QLineEdit* txtWidth = nullptr;
    // Distance options 27, 52, 158 inches and User.
    std::array<QRadioButton*, 4> optDistance{};
    QLineEdit* txtDistance = nullptr;
    QRadioButton* optBMP = nullptr;
    QRadioButton* optJPG = nullptr;
    QCheckBox* chkRunCompiler = nullptr;
    QLineEdit* txtCompilerPath = nullptr;
    QPushButton* cmdFind = nullptr;
    QCheckBox* chkAlternate = nullptr;
    QLineEdit* txtTargetDir = nullptr;
    QPushButton* cmdBrowse = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* cmdDone = nullptr;
    QLabel* lblStatus = nullptr;

    // The width passed to the host: 0 for "Screen", 2048 for the "1600" option.
    std::int32_t StereoPixelWidth() const;
    // The viewing distance in whole inches; 0, after "Invalid Viewing Distance", for a
    // distance that rounds to nothing.
    double ViewingDistanceInches();
    void saveClicked();

  protected:
    void onLoad() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void buildControls();
    void connectHandlers();
    void LoadStereoSettings();
    void SaveStereoSettings();
    std::string ApplyStereoAlternatePath(const std::string& fullFileName);
    bool CaptureStereoPair(const std::string& baseName);
    void widthFieldChanged();
    void browse();
    void find();

    QButtonGroup* m_widths = nullptr;
    QButtonGroup* m_distances = nullptr;
};

}  // namespace exportal
