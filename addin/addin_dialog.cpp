#include "addin_dialog.h"

#include <QCloseEvent>
#include <QPointer>

#include <array>
#include <memory>

#include "addin_state.h"
#include "frm_settings.h"
#include "frm_to_dwf.h"
#include "frm_to_jpeg.h"
#include "frm_to_sterio.h"
#include "frm_to_xgl.h"

namespace exportal {

namespace {

constexpr int kCommandCount = 6;

std::array<QPointer<AddInDialog>, kCommandCount>& slots() {
    static std::array<QPointer<AddInDialog>, kCommandCount> instances;
    return instances;
}

AddInDialog* createDialog(int commandId) {
    switch (commandId) {
        case kSettingsCommand:
            return new frmSettings;
        case kJpegCommand:
            return new frmToJpeg;
        case kStereoCommand:
            return new frmToSterio;
        case kCompiledXglCommand:
            return new frmToXGL;
        case kCompiledDwfCommand:
            return new frmToDWF;
        case kVrmlCommand:
            return new frmToVRML;
        default:
            return nullptr;
    }
}

}  // namespace

AddInDialog::AddInDialog() = default;

void AddInDialog::ensureLoaded() {
    if (m_loaded) return;
    // Owned by the host's window: it stays above the host and goes with it.
    if (CadHost* host = hostApplication()) setParent(host->mainWindow(), Qt::Dialog);
    onLoad();
    m_loaded = true;
}

void AddInDialog::showModeless() {
    ensureLoaded();
    setModal(false);
    show();
    raise();
    activateWindow();
}

void AddInDialog::unload() {
    m_loaded = false;
    hide();
}

void AddInDialog::closeEvent(QCloseEvent* event) {
    m_loaded = false;
    QDialog::closeEvent(event);
}

AddInDialog* dialogInSlot(int commandId) {
    if (commandId < 1 || commandId > kCommandCount) return nullptr;
    return slots()[commandId - 1];
}

namespace {

AddInDialog* dialogCreatedFor(int commandId) {
    if (commandId < 1 || commandId > kCommandCount) return nullptr;
    QPointer<AddInDialog>& slot = slots()[commandId - 1];
    if (slot.isNull()) slot = createDialog(commandId);
    return slot;
}

}  // namespace

void showCommandDialog(int commandId) {
    if (AddInDialog* dialog = dialogCreatedFor(commandId)) dialog->showModeless();
}

AddInDialog* loadedDialog(int commandId) {
    AddInDialog* dialog = dialogCreatedFor(commandId);
    if (dialog != nullptr) dialog->ensureLoaded();
    return dialog;
}

}  // namespace exportal
