#include "shell/load_outcome.h"

#include <cstring>

#include "shell/shell_texts.h"

namespace tessaro {

namespace {

std::string cannotOpen(const char* fileName) {
    return "Cannot open " + std::string(fileName) + ": ";
}

}  // namespace

std::string nameProblem(const char* fileName) {
    if (isSceneFileName(fileName)) return {};
    return cannotOpen(fileName) + "not an XGL or ZGL document";
}

std::string openFailure(const char* fileName, const LoadResult& result) {
    return cannotOpen(fileName) + std::strerror(result.systemError);
}

void NotingSink::showMessage(const char* text) {
    m_shown = true;
    if (m_target != nullptr) m_target->showMessage(text);
}

}  // namespace tessaro
