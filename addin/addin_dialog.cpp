#include "addin_dialog.h"

#include <QCloseEvent>
#include <QPointer>

#include <array>
#include <memory>

#include "addin_state.h"
#include "frm_settings.h"

namespace exportal {

namespace {

constexpr int kCommandCount = 6;

std::array<QPointer<AddInDialog>, kCommandCount>& slots() {
    static std::array<QPointer<AddInDialog>, kCommandCount> instances;
    return instances;
}

// The export dialogs of commands 2 to 6 are built by their own modules; until a
// command has one, its slot stays empty.
AddInDialog* createDialog(int commandId) {
    switch (commandId) {
        case kSettingsCommand:
            return new frmSettings;
        default:
            return nullptr;
    }
}

}  // namespace

AddInDialog::AddInDialog() = default;

void AddInDialog::showModeless() {
    if (!m_loaded) {
        // Owned by the host's window: it stays above the host and goes with it.
        if (CadHost* host = hostApplication()) setParent(host->mainWindow(), Qt::Dialog);
        onLoad();
        m_loaded = true;
    }
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

void showCommandDialog(int commandId) {
    if (commandId < 1 || commandId > kCommandCount) return;
    QPointer<AddInDialog>& slot = slots()[commandId - 1];
    if (slot.isNull()) slot = createDialog(commandId);
    if (!slot.isNull()) slot->showModeless();
}

}  // namespace exportal
