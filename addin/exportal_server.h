// clsExportal: the add-in server. It registers the six commands, opens their dialogs
// and runs the automatic image export when the host reports a saved document.
#pragma once

#include <memory>

#include "host/addin_server.h"

namespace exportal {

class clsExportal final : public AddInServer, public SaveEventSink {
  public:
    ~clsExportal() override;

    void activate(CadHost& host, bool firstTime) override;
    void executeCommand(int commandId) override;
    void* automation() override { return nullptr; }
    void deactivate() override;

    void onSaveDocument(CadDocument* document, std::int32_t beforeOrAfter) override;

  private:
    CadHost* m_host = nullptr;
    std::unique_ptr<CadCommand> oXGL, oJPEG, oDWF, oStereo, oVRML, oSettings;
    CadDocument* m_savedDocument = nullptr;
};

}  // namespace exportal
