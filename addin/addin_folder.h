#pragma once

#include <string>

namespace exportal {

// The folder that holds the add-in's library: its scripts, templates and the programs
// it packs live there.
std::string addInFolder();

// Puts the add-in's files in another folder, as an installation elsewhere would (tests
// use their own); empty text returns to the library's folder.
void setAddInFolder(const std::string& folder);

}  // namespace exportal
