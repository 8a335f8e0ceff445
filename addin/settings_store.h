// The per-user settings store: text values addressed by application name, section and
// key, kept in INI files under $XDG_CONFIG_HOME (else ~/.config), one file per
// application named after it with ".ini". Names are matched without regard to case.
#pragma once

#include <string>

namespace exportal {

// The value, or `defaultValue` when the file, the section or the key is missing or the
// file cannot be read.
std::string getSetting(const std::string& application, const std::string& section,
                       const std::string& key, const std::string& defaultValue);

// Replaces or adds the key, keeping every other line of the file. The file is replaced
// in one step, so a failed write never leaves half a file. Any value reads back as it
// was written, line breaks too (they are escaped, so they cannot add keys). False when
// it cannot be written, or when a name holds a line break, "=", "[" or "]".
bool saveSetting(const std::string& application, const std::string& section, const std::string& key,
                 const std::string& value);

// The folder that holds the files.
std::string settingsFolder();

}  // namespace exportal
