// expat_floor: expat with empty handlers over one file, read in 64 KiB blocks and,
// for a ".zgl" name, inflated on the way, as the viewer reads it. This is the floor
// that any expat-based reader of the same file pays; scripts/bench_info.sh sets the
// viewer's load time against it.
//
// Usage: expat_floor FILE.xgl|FILE.zgl
// Prints one JSON line: {"seconds": S, "xml_bytes": N} where N counts the XML fed to
// expat (the inflated bytes of a ZGL file). Exit 1 when the file cannot be read or is
// not well-formed XML.
#include <expat.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The viewer's block size, so that expat sees the same pieces.
constexpr std::size_t kBlock = 65536;

void XMLCALL emptyStart(void*, const XML_Char*, const XML_Char**) {}
void XMLCALL emptyEnd(void*, const XML_Char*) {}
void XMLCALL emptyText(void*, const XML_Char*, int) {}

// Reads up to n bytes; fewer only at the end of the file. -1 on failure.
long readBlock(int fd, unsigned char* buffer, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t got = ::read(fd, buffer + done, n - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return static_cast<long>(done);
}

class Floor {
  public:
    Floor() : m_parser(XML_ParserCreate(nullptr)) {
        XML_SetElementHandler(m_parser, emptyStart, emptyEnd);
        XML_SetCharacterDataHandler(m_parser, emptyText);
    }
    ~Floor() { XML_ParserFree(m_parser); }
    Floor(const Floor&) = delete;
    Floor& operator=(const Floor&) = delete;

    bool feed(const unsigned char* data, std::size_t n, bool last) {
        m_bytes += n;
        return XML_Parse(m_parser, reinterpret_cast<const char*>(data), static_cast<int>(n),
                         last) != XML_STATUS_ERROR;
    }
    std::uint64_t bytes() const { return m_bytes; }

  private:
    XML_Parser m_parser;
    std::uint64_t m_bytes = 0;
};

bool parsePlain(int fd, Floor& floor) {
    std::vector<unsigned char> in(kBlock);
    for (;;) {
        const long n = readBlock(fd, in.data(), kBlock);
        if (n < 0) return false;
        const bool last = static_cast<std::size_t>(n) < kBlock;
        if (!floor.feed(in.data(), static_cast<std::size_t>(n), last)) return false;
        if (last) return true;
    }
}

bool parseInflated(int fd, Floor& floor) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return false;
    std::vector<unsigned char> in(kBlock), out(kBlock);
    bool inputEnded = false;
    int code = Z_OK;
    bool ok = true;
    while (ok && code != Z_STREAM_END) {
        if (z.avail_in == 0 && !inputEnded) {
            const long n = readBlock(fd, in.data(), kBlock);
            if (n < 0) {
                ok = false;
                break;
            }
            inputEnded = static_cast<std::size_t>(n) < kBlock;
            z.next_in = in.data();
            z.avail_in = static_cast<uInt>(n);
        }
        z.next_out = out.data();
        z.avail_out = kBlock;
        code = inflate(&z, Z_NO_FLUSH);
        const std::size_t have = kBlock - z.avail_out;
        // A buffer error without output only asks for more input; at the end of the
        // file it means the stream is cut short.
        const bool starved = code == Z_BUF_ERROR && have == 0 && !inputEnded;
        if ((code < 0 && !starved) || code == Z_NEED_DICT) ok = false;
        if (ok) ok = floor.feed(out.data(), have, code == Z_STREAM_END);
    }
    inflateEnd(&z);
    return ok;
}

bool endsWithZgl(const char* name) {
    const std::size_t n = std::strlen(name);
    return n >= 4 && strcasecmp(name + n - 4, ".zgl") == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: expat_floor FILE.xgl|FILE.zgl\n", stderr);
        return 2;
    }
    const int fd = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "expat_floor: %s: %s\n", argv[1], std::strerror(errno));
        return 2;
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    Floor floor;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = endsWithZgl(argv[1]) ? parseInflated(fd, floor) : parsePlain(fd, floor);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::close(fd);
    if (!ok) {
        std::fprintf(stderr, "expat_floor: %s: not read to the end as well-formed XML\n", argv[1]);
        return 1;
    }
    std::printf("{\"seconds\": %.6f, \"xml_bytes\": %llu}\n", seconds,
                static_cast<unsigned long long>(floor.bytes()));
    return 0;
}
