#include "xgl/input_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <strings.h>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tessaro {

namespace {

void report(StreamErrorSink* sink, const char* text) {
    if (sink != nullptr) sink->error(text);
}

// Reads exactly n bytes unless the file ends or fails; returns the bytes read or -1.
ssize_t readFully(int fd, std::uint8_t* buffer, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::read(fd, buffer + done, n - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

ReadObserver* g_readObserver = nullptr;

}  // namespace

ReadObserver* setReadObserver(ReadObserver* observer) {
    ReadObserver* previous = g_readObserver;
    g_readObserver = observer;
    return previous;
}

// ---- FileInputStream ----

FileInputStream::~FileInputStream() {
    if (m_ownsHandle && m_handle >= 0) ::close(m_handle);
}

bool FileInputStream::open(const char* fileName, StreamErrorSink* sink) {
    m_ownsHandle = true;
#ifdef _WIN32
    // Without binary mode Windows would translate line ends and stop at a ^Z byte.
    const int fd = ::open(fileName, O_RDONLY | O_BINARY);
    // Windows refuses to open a folder as "permission denied"; say what POSIX says.
    struct stat info {};
    if (fd < 0 && errno == EACCES && ::stat(fileName, &info) == 0 && S_ISDIR(info.st_mode))
        return attach(-1, sink, EISDIR);
#else
    const int fd = ::open(fileName, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return attach(fd, sink);
}

bool FileInputStream::attach(int handle, StreamErrorSink* sink) {
    return attach(handle, sink, errno);
}

bool FileInputStream::attach(int handle, StreamErrorSink* sink, int openError) {
    m_handle = handle;
    if (handle < 0) return attachFailed(openError, sink);

    struct stat info {};
    if (::fstat(handle, &info) != 0) return false;
    // A folder opens for reading on POSIX but has no bytes to give.
    if (S_ISDIR(info.st_mode)) return attachFailed(EISDIR, sink);
    if (::lseek(handle, 0, SEEK_SET) < 0 && S_ISREG(info.st_mode)) return false;
    m_remaining = static_cast<std::uint64_t>(info.st_size);
    m_size = m_remaining;
    return true;
}

bool FileInputStream::attachFailed(int error, StreamErrorSink* sink) {
    // Callers without a sink read the reason from errno; a folder sets none by itself.
    errno = error;
    if (sink == nullptr) return false;
    if (error == EBUSY) {
        sink->sharingViolation();
        return false;
    }
    char text[256];
    std::snprintf(text, sizeof text, "Unable to open file: %x\n", static_cast<unsigned>(error));
    sink->error(text);
    return false;
}

bool FileInputStream::read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
                           StreamErrorSink* sink) {
    const std::uint32_t n =
        m_remaining < kStreamBlockSize ? static_cast<std::uint32_t>(m_remaining) : kStreamBlockSize;
    const ssize_t got = m_handle < 0 ? -1 : readFully(m_handle, m_buffer.data(), n);
    if (got < 0) {
        report(sink, "ReadFile failed");
        return false;
    }
    if (static_cast<std::uint32_t>(got) < n) {
        report(sink, "ReadFile did not return enough bytes");
        return false;
    }
    m_remaining -= n;
    if (g_readObserver != nullptr) g_readObserver->bytesRead(m_size - m_remaining, m_size);
    data = m_buffer.data();
    length = n;
    more = m_remaining != 0;
    return true;
}

bool FileInputStream::lastWriteTime(std::int64_t& time) {
    struct stat info {};
    if (m_handle < 0 || ::fstat(m_handle, &info) != 0) return false;
#ifdef _WIN32
    time = std::int64_t{info.st_mtime} * 1000000000;  // whole seconds only there
#else
    time = std::int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
#endif
    return true;
}

// ---- InflateInputStream ----

InflateInputStream::InflateInputStream(std::unique_ptr<InputStream> inner)
    : m_inner(std::move(inner)) {
    m_initialised = inflateInit(&m_zstream) == Z_OK;
}

InflateInputStream::~InflateInputStream() {
    if (m_initialised) inflateEnd(&m_zstream);
}

bool InflateInputStream::refillInput(StreamErrorSink* sink) {
    bool more = false;
    std::uint32_t length = 0;
    const std::uint8_t* data = nullptr;
    if (!m_inner->read(more, length, data, sink)) {
        report(sink, "Failed to read from zgl stream");
        return false;
    }
    m_innerHasMore = more;
    m_zstream.next_in = const_cast<Bytef*>(data);
    m_zstream.avail_in = length;
    return true;
}

bool InflateInputStream::read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
                              StreamErrorSink* sink) {
    if (!m_initialised) {
        report(sink, "ZLIB could not inflate data");
        return false;
    }
    if (m_zstream.avail_in == 0 && m_innerHasMore && !refillInput(sink)) return false;
    return inflateBlock(more, length, data, sink);
}

bool InflateInputStream::inflateBlock(bool& more, std::uint32_t& length, const std::uint8_t*& data,
                                      StreamErrorSink* sink) {
    m_zstream.next_out = m_buffer.data();
    m_zstream.avail_out = kStreamBlockSize;
    // Called also when the input is used up: inflate may still hold output that did
    // not fit the last block, so it is asked until it reports the end or stalls.
    const int code = inflate(&m_zstream, Z_NO_FLUSH);
    length = kStreamBlockSize - m_zstream.avail_out;
    data = m_buffer.data();
    if (code == Z_STREAM_END) {
        more = false;
        return true;
    }
    if (code == Z_BUF_ERROR && length == 0) {
        // No progress without input: the data ends here (a truncated stream included).
        more = m_innerHasMore && m_zstream.avail_in == 0;
        return true;
    }
    // A stream that asks for a preset dictionary can never be inflated here and
    // would otherwise be asked again forever.
    if (code < 0 || code == Z_NEED_DICT) {
        report(sink, "ZLIB could not inflate data");
        return false;
    }
    more = true;
    return true;
}

bool InflateInputStream::lastWriteTime(std::int64_t& time) {
    return m_inner->lastWriteTime(time);
}

// ---- chains ----

namespace {

bool endsWith(const char* name, const char* extension) {
    const std::size_t n = std::strlen(name);
    const std::size_t e = std::strlen(extension);
    return n >= e && strcasecmp(name + n - e, extension) == 0;
}

}  // namespace

bool hasDocumentExtension(const char* fileName) {
    return fileName != nullptr && (endsWith(fileName, ".xgl") || endsWith(fileName, ".zgl"));
}

std::unique_ptr<InputStream> openDocumentStream(const char* fileName, StreamErrorSink* sink) {
    if (!hasDocumentExtension(fileName)) return nullptr;
    auto file = std::make_unique<FileInputStream>();
    if (!file->open(fileName, sink)) return nullptr;
    if (endsWith(fileName, ".xgl")) return file;
    return std::make_unique<InflateInputStream>(std::move(file));
}

}  // namespace tessaro
