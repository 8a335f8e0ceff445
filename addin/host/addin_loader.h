// Loads an add-in library and creates its server through the exported factory.
#pragma once

#include <memory>
#include <string>

#include "host/addin_server.h"

namespace exportal {

// The server, or null with the reason in `error` (a library that cannot be loaded or
// lacks the factory). The library stays loaded for the life of the process: windows
// the add-in made may outlive its server.
std::unique_ptr<AddInServer> loadAddIn(const std::string& library, std::string& error);

// The add-in the host was built or installed with.
std::string defaultAddInLibrary();

}  // namespace exportal
