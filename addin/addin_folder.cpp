#include "addin_folder.h"

#include <dlfcn.h>

#include <filesystem>

namespace exportal {

namespace {

std::string& chosenFolder() {
    static std::string folder;
    return folder;
}

}  // namespace

std::string addInFolder() {
    if (!chosenFolder().empty()) return chosenFolder();
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&addInFolder), &info) == 0 || info.dli_fname == nullptr) {
        return std::filesystem::current_path().string();
    }
    return std::filesystem::absolute(info.dli_fname).parent_path().string();
}

void setAddInFolder(const std::string& folder) {
    chosenFolder() = folder;
}

}  // namespace exportal
