#pragma once

#include <string>

#include "host/cad_host.h"

namespace exportal {

// `SaveCopyAs`: the host saves a copy of the active document in the format the name's
// extension selects. It takes a private event carrying the name and then a command;
// the add-in yields to the event loop after each, as the host expects.
bool saveCopyAs(CadHost& host, const std::string& fileName);

// True when `fileName` is the active document's own file (under this name or another
// link to it): an export named after the document must never replace the document.
bool isTheDocument(CadHost& host, const std::string& fileName);

}  // namespace exportal
