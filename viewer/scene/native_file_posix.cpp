#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "scene/native_file.h"

namespace tessaro::internal {

std::string temporaryDirectory() {
    const char* dir = std::getenv("TMPDIR");
    return (dir != nullptr && *dir != '\0') ? std::string(dir) : std::string("/tmp");
}

NativeFile createPrivateFile(const std::string& directory, std::string_view prefix,
                             std::string& reason) {
    std::string path = directory + "/" + std::string(prefix) + "XXXXXX";
    const int fd = mkostemp(path.data(), O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return kNoFile;
    }
    // Unlinked at once: the file is private and the system reclaims it on any exit.
    if (unlink(path.c_str()) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return kNoFile;
    }
    return fd;
}

bool closeFile(NativeFile file) {
    return ::close(static_cast<int>(file)) == 0;
}

bool setFileLength(NativeFile file, std::uint64_t length) {
    return length <= static_cast<std::uint64_t>(LLONG_MAX) &&
           ftruncate(static_cast<int>(file), static_cast<off_t>(length)) == 0;
}

std::int64_t writeAt(NativeFile file, const void* data, std::size_t size, std::uint64_t offset,
                     std::string& reason) {
    ssize_t written = 0;
    do {
        written = pwrite(static_cast<int>(file), data, size, static_cast<off_t>(offset));
    } while (written < 0 && errno == EINTR);
    if (written < 0) reason = std::strerror(errno);
    return written;
}

std::int64_t readAt(NativeFile file, void* data, std::size_t size, std::uint64_t offset,
                    std::string& reason) {
    ssize_t got = 0;
    do {
        got = pread(static_cast<int>(file), data, size, static_cast<off_t>(offset));
    } while (got < 0 && errno == EINTR);
    if (got < 0) reason = std::strerror(errno);
    return got;
}

}  // namespace tessaro::internal
