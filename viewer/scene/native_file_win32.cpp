#include <windows.h>

#include <random>
#include <string>

#include "scene/native_file.h"

namespace tessaro::internal {
namespace {

HANDLE handleOf(NativeFile file) {
    return reinterpret_cast<HANDLE>(file);
}

std::string lastErrorText() {
    const DWORD code = GetLastError();
    char text[256] = {};
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, text, sizeof text, nullptr);
    std::string reason(text, length);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
        reason.pop_back();
    return reason.empty() ? "error " + std::to_string(code) : reason;
}

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(offset);
    position.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return position;
}

}  // namespace

std::string temporaryDirectory() {
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof path, path);
    if (length == 0 || length > MAX_PATH) return ".";
    std::string directory(path, length);
    if (directory.size() > 1 && directory.back() == '\\') directory.pop_back();
    return directory;
}

// A name of our own choosing, opened with CREATE_NEW: a file that someone else put at
// that name between choosing and opening is never taken over (GetTempFileName with 0
// creates the file first, which left a window for it to be replaced before it was
// opened again).
NativeFile createPrivateFile(const std::string& directory, std::string_view prefix,
                             std::string& reason) {
    static std::mt19937 names{std::random_device{}() ^ GetCurrentProcessId()};
    constexpr int kAttempts = 64;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char path[MAX_PATH + 1] = {};
        const UINT unique = names() % 0xFFFF + 1;  // 0 would create the file itself
        if (GetTempFileNameA(directory.c_str(), std::string(prefix).c_str(), unique, path) == 0) {
            reason = lastErrorText();
            return kNoFile;
        }
        // Not shared and deleted on close: private, and gone however the process ends.
        const HANDLE file =
            CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (file != INVALID_HANDLE_VALUE) return reinterpret_cast<NativeFile>(file);
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            reason = lastErrorText();
            return kNoFile;
        }
    }
    reason = "no free name for a temporary file";
    return kNoFile;
}

bool closeFile(NativeFile file) {
    return CloseHandle(handleOf(file)) != 0;
}

bool setFileLength(NativeFile file, std::uint64_t length) {
    LARGE_INTEGER end{};
    end.QuadPart = static_cast<LONGLONG>(length);
    return SetFilePointerEx(handleOf(file), end, nullptr, FILE_BEGIN) != 0 &&
           SetEndOfFile(handleOf(file)) != 0;
}

std::int64_t writeAt(NativeFile file, const void* data, std::size_t size, std::uint64_t offset,
                     std::string& reason) {
    OVERLAPPED position = at(offset);
    DWORD written = 0;
    if (!WriteFile(handleOf(file), data, static_cast<DWORD>(size), &written, &position)) {
        reason = lastErrorText();
        return -1;
    }
    return written;
}

std::int64_t readAt(NativeFile file, void* data, std::size_t size, std::uint64_t offset,
                    std::string& reason) {
    OVERLAPPED position = at(offset);
    DWORD got = 0;
    if (!ReadFile(handleOf(file), data, static_cast<DWORD>(size), &got, &position)) {
        if (GetLastError() == ERROR_HANDLE_EOF) return 0;
        reason = lastErrorText();
        return -1;
    }
    return got;
}

}  // namespace tessaro::internal
