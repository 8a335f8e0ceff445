// Pull streams that hand out blocks of bytes to the parser: a file read in 64 KiB
// blocks, and the zlib inflation of another stream (ZGL files).
#pragma once

#include <zlib.h>

#include <array>
#include <cstdint>
#include <memory>

namespace tessaro {

// Optional receiver of a stream's error texts; every stream accepts null.
class StreamErrorSink {
  public:
    virtual ~StreamErrorSink() = default;
    virtual void error(const char* text) = 0;
    // The file exists but another process keeps it from being opened.
    virtual void sharingViolation() = 0;
};

class InputStream {
  public:
    virtual ~InputStream() = default;
    // On success sets `more` (further blocks follow), `length` (may be 0) and
    // `data`, which stays valid until the next call on this stream.
    virtual bool read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
                      StreamErrorSink* sink) = 0;
    // Last modification time of the underlying file, in nanoseconds since 1970.
    virtual bool lastWriteTime(std::int64_t& time) = 0;
};

inline constexpr std::uint32_t kStreamBlockSize = 65536;

// Told after every block a file stream reads how many of the file's bytes are read,
// so that a long load can show its progress. One observer for the process.
class ReadObserver {
  public:
    virtual void bytesRead(std::uint64_t done, std::uint64_t total) = 0;

  protected:
    ~ReadObserver() = default;
};

// Sets the observer (null for none) and returns the one it replaces.
ReadObserver* setReadObserver(ReadObserver* observer);

class FileInputStream final : public InputStream {
  public:
    FileInputStream() = default;
    ~FileInputStream() override;
    FileInputStream(const FileInputStream&) = delete;
    FileInputStream& operator=(const FileInputStream&) = delete;

    // Opens an existing regular file for reading; the stream closes it when destroyed.
    bool open(const char* fileName, StreamErrorSink* sink);
    // Reads from a descriptor the caller owns; -1 stands for a failed open.
    bool attach(int handle, StreamErrorSink* sink);

    bool read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
              StreamErrorSink* sink) override;
    bool lastWriteTime(std::int64_t& time) override;

  private:
    bool attach(int handle, StreamErrorSink* sink, int openError);
    bool attachFailed(int error, StreamErrorSink* sink);

    std::uint64_t m_remaining = 0;
    std::uint64_t m_size = 0;
    int m_handle = -1;
    bool m_ownsHandle = false;
    std::array<std::uint8_t, kStreamBlockSize> m_buffer;
};

class InflateInputStream final : public InputStream {
  public:
    // Takes ownership of the compressed source.
    explicit InflateInputStream(std::unique_ptr<InputStream> inner);
    ~InflateInputStream() override;
    InflateInputStream(const InflateInputStream&) = delete;
    InflateInputStream& operator=(const InflateInputStream&) = delete;

    bool read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
              StreamErrorSink* sink) override;
    bool lastWriteTime(std::int64_t& time) override;

  private:
    bool refillInput(StreamErrorSink* sink);
    bool inflateBlock(bool& more, std::uint32_t& length, const std::uint8_t*& data,
                      StreamErrorSink* sink);

    std::unique_ptr<InputStream> m_inner;
    bool m_innerHasMore = true;
    bool m_initialised = false;
    z_stream m_zstream{};
    std::array<std::uint8_t, kStreamBlockSize> m_buffer;
};

// The stream chain for a document name: ".xgl" a file stream, ".zgl" an inflate
// stream over one (extensions in any letter case). Null for any other extension
// or when the file cannot be opened.
std::unique_ptr<InputStream> openDocumentStream(const char* fileName, StreamErrorSink* sink);

// Whether the name ends in ".xgl" or ".zgl" in any letter case.
bool hasDocumentExtension(const char* fileName);

}  // namespace tessaro
