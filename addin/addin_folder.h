#pragma once

#include <string>

namespace exportal {

// The folder that holds the add-in's library: its scripts, templates and the programs
// it packs live there.
std::string addInFolder();

}  // namespace exportal
