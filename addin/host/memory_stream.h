// A document's XGL held in memory, handed to the viewer's parser in the blocks a file
// stream would use.
#pragma once

#include <QByteArray>

#include <algorithm>
#include <cstdint>

#include "xgl/input_stream.h"

namespace exportal {

class MemoryStream final : public tessaro::InputStream {
  public:
    explicit MemoryStream(const QByteArray& bytes) : m_bytes(bytes) {}
    bool read(bool& more, std::uint32_t& length, const std::uint8_t*& data,
              tessaro::StreamErrorSink*) override {
        const qsizetype left = m_bytes.size() - m_offset;
        length = static_cast<std::uint32_t>(std::min<qsizetype>(left, tessaro::kStreamBlockSize));
        data = reinterpret_cast<const std::uint8_t*>(m_bytes.constData()) + m_offset;
        m_offset += length;
        more = m_offset < m_bytes.size();
        return true;
    }
    bool lastWriteTime(std::int64_t& time) override {
        time = 0;
        return true;
    }

  private:
    const QByteArray& m_bytes;
    qsizetype m_offset = 0;
};

}  // namespace exportal
