// The add-in's dialogs: modeless, owned by the host's main window, kept in one slot
// per command. Closing ("Done") unloads a dialog but keeps its slot; the next show
// loads it again, which runs its load handler and so re-reads its settings.
#pragma once

#include <QDialog>

namespace exportal {

class AddInDialog : public QDialog {
  public:
    // Loads the dialog when it is not loaded, then shows it without blocking.
    void showModeless();
    // Loads the dialog without showing it, when it is not loaded: other modules read
    // its controls.
    void ensureLoaded();
    bool loaded() const { return m_loaded; }

  protected:
    AddInDialog();
    // Fills the controls; the owner is already the host's main window.
    virtual void onLoad() = 0;
    void unload();
    void closeEvent(QCloseEvent* event) override;

  private:
    bool m_loaded = false;
};

// The dialog of a command (ids 1 to 6) as its slot holds it; null while the slot is
// empty or the command has no dialog.
AddInDialog* dialogInSlot(int commandId);
// Creates the dialog when its slot is empty and shows it.
void showCommandDialog(int commandId);
// Creates the dialog when its slot is empty and loads it, hidden; null for a command
// without a dialog.
AddInDialog* loadedDialog(int commandId);

}  // namespace exportal
