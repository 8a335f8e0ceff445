// The few file operations a temporary record file needs from the system, so that the
// record logic is the same on every platform. Failures return false or -1 with a reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaro::internal {

// A file descriptor or a Windows handle; kNoFile when nothing is open.
using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoFile = -1;

// $TMPDIR (else /tmp) on POSIX systems, the user's temporary folder on Windows.
std::string temporaryDirectory();

// A new empty file in `directory` whose name starts with `prefix`, private to this
// process and deleted by the system when it is closed or the process ends.
NativeFile createPrivateFile(const std::string& directory, std::string_view prefix,
                             std::string& reason);
bool closeFile(NativeFile file);
bool setFileLength(NativeFile file, std::uint64_t length);

// Bytes moved (0 at the end of the file), or -1 with `reason` set.
std::int64_t writeAt(NativeFile file, const void* data, std::size_t size, std::uint64_t offset,
                     std::string& reason);
std::int64_t readAt(NativeFile file, void* data, std::size_t size, std::uint64_t offset,
                    std::string& reason);

}  // namespace tessaro::internal
