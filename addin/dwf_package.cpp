#include "dwf_package.h"

#include <vector>

namespace exportal::dwf {

namespace {

std::vector<std::string> scriptLines() {
    return {
        R"(Name "DWF Viewer")",
        R"(OutFile "#EXE_FILENAME")",
        R"(!define DWF_FILE "#DWF_FILENAME")",
        R"(!define DWF_PATH "#DWF_PATH_ONLY")",
        R"(!define APP_PATH "#DWF_APP_PATH")",
        R"(InstallDir $TEMP\Plotwick)",
        R"(SilentInstall silent)",
        R"(Section "")",
        R"(SetOutPath $INSTDIR)",
        R"(ReadRegStr $0 HKCR "AdView.AdViewer" "")",
        R"(StrCmp $0 "Autodesk Dwf Viewer Control" HasAD)",
        R"(MessageBox MB_YESNO "Autodesk DWF Viewer Must be Installed to view this type of file, Do you want to Install it?" IDYES DoInst IDNO NoInst)",
        R"(DoInst:)",
        R"(messagebox MB_OK "Try running this program again after Installing the DWF Viewer")",
        std::string(R"(ExecShell "open" ")") + kViewerDownloadAddress + R"(" SW_SHOWNORMAL)",
        R"(GoTo NoInst)",
        R"(HasAD:)",
        R"(File "${APP_PATH}\RunPlotwick.exe")",
        R"(File "${DWF_PATH}\${DWF_FILE}")",
        R"(ExecWait '"$INSTDIR\RunPlotwick.exe" "${DWF_FILE}"')",
        R"(Delete "$INSTDIR\*.*")",
        R"(NoInst:)",
        R"(SectionEnd)",
    };
}

}  // namespace

std::string DefaultScriptTemplate() {
    std::string text;
    for (const std::string& line : scriptLines()) {
        if (!text.empty()) text += "\r\n";
        text += line;
    }
    return text;
}

const PackageRecipe& packageRecipe() {
    static const PackageRecipe recipe{
        "DWFScript.nsi", "RunPlotwick.exe", "Failed to compile the DWF to EXE",
        [](const std::string& exeName, const std::string& exportedFile,
           const std::string& addInFolder) {
            // The directory keeps its separator: the script puts another after it.
            const std::size_t split = exportedFile.rfind('/') + 1;
            return std::vector<Placeholder>{
                {"#EXE_FILENAME", exeName},
                {"#DWF_PATH_ONLY", exportedFile.substr(0, split)},
                {"#DWF_FILENAME", exportedFile.substr(split), ScriptValueKind::packedFile},
                {"#DWF_APP_PATH", addInFolder}};
        }};
    return recipe;
}

}  // namespace exportal::dwf
