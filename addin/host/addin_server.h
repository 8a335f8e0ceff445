// The add-in side of the contract: what a host calls on a loaded add-in, and the one
// exported function through which a host creates it.
#pragma once

#include "host/cad_host.h"

namespace exportal {

class AddInServer {
  public:
    virtual ~AddInServer() = default;
    virtual void activate(CadHost& host, bool firstTime) = 0;
    virtual void executeCommand(int commandId) = 0;
    // The add-in's automation object; null when it offers none.
    virtual void* automation() = 0;
    virtual void deactivate() = 0;
};

// The factory a host looks up by this name; the caller owns the server.
inline constexpr const char* kAddInFactorySymbol = "exportalCreateAddIn";
using AddInFactory = AddInServer* (*)();

}  // namespace exportal
