// The viewer's settings in the registry, where the frame has always kept them: under the
// current user's Software key, in "Local AppWizard-Generated Applications" and a subkey
// named after the program.
#pragma once

#include <string>
#include <vector>

namespace tessaro {

struct ProfileSettings {
    bool stored = false;  // the program's key exists (it is made when missing)
    // Up to four names; nothing shows or uses them, but they are kept as loaded.
    std::vector<std::string> recentFiles;
};

// Opens (making it when missing) the program's key and loads the recent-file list.
// `application` names the program's subkey.
ProfileSettings loadProfileSettings(const char* application);

}  // namespace tessaro
