// BinaryStore: the vertex, index and image bytes of an export, kept in a private
// temporary file while the document is read, so that a mesh of any size costs memory
// only for the chunk being converted. The file is laid out as the glTF buffer: every
// block starts on a 4-byte boundary.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "scene/temp_record_file.h"

namespace tessaro {

class BinaryStore {
  public:
    bool open();
    // Appends `size` bytes padded with zeros to a multiple of 4; `offset` receives
    // where they start. False when the file cannot be written.
    bool append(const void* data, std::uint64_t size, std::uint64_t& offset);
    // Reads `size` bytes from `offset` (a multiple of 4) into `out`.
    bool read(std::uint64_t offset, std::uint64_t size, void* out) const;
    // Copies every byte appended so far to `out`.
    bool copyTo(std::FILE* out) const;

    std::uint64_t size() const { return m_size; }
    // Why the file failed; empty while it works.
    std::string failure() const;

  private:
    TempRecordFile m_file;  // records of 4 bytes
    std::uint64_t m_size = 0;
};

// Reads `count` values of T from the store.
template <typename T>
bool readValues(const BinaryStore& store, std::uint64_t offset, std::uint32_t count,
                std::vector<T>& out) {
    out.resize(count);
    return count == 0 || store.read(offset, std::uint64_t{count} * sizeof(T), out.data());
}

}  // namespace tessaro
