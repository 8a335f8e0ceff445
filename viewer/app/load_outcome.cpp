#include "app/load_outcome.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

// Windows names the promise that a child process gets no copy of the handle otherwise.
#if defined(_WIN32) && !defined(O_CLOEXEC)
#define O_CLOEXEC _O_NOINHERIT
#endif

#include "app/shell_texts.h"

namespace tessaro {

namespace {

// The reason the file does not open, or 0. A folder opens on POSIX but holds no
// document, so it counts as one that does not.
int openError(const char* fileName) {
    const int fd = ::open(fileName, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat info {};
    const int error = ::fstat(fd, &info) != 0 ? errno : S_ISDIR(info.st_mode) ? EISDIR : 0;
    ::close(fd);
    return error;
}

}  // namespace

std::string openProblem(const char* fileName) {
    const std::string cannotOpen = "Cannot open " + std::string(fileName) + ": ";
    if (!isSceneFileName(fileName)) return cannotOpen + "not an XGL or ZGL document";
    const int error = openError(fileName);
    return error == 0 ? std::string() : cannotOpen + std::strerror(error);
}

void NotingSink::showMessage(const char* text) {
    m_shown = true;
    if (m_target != nullptr) m_target->showMessage(text);
}

}  // namespace tessaro
