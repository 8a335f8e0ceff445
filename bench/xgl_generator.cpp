#include "xgl_generator.h"

#include <zlib.h>

#include <strings.h>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

namespace xglgen {
namespace {

// Collects text in a buffer and hands it on in large pieces.
class Writer {
  public:
    explicit Writer(const Sink& sink) : m_sink(sink) {}
    ~Writer() { flush(); }

    void text(const char* s) { append(s, std::strlen(s)); }
    void format(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
        char line[512];
        va_list args;
        va_start(args, fmt);
        const int n = std::vsnprintf(line, sizeof line, fmt, args);
        va_end(args);
        if (n > 0) append(line, static_cast<std::size_t>(n) < sizeof line ? n : sizeof line - 1);
    }
    std::uint64_t written() const { return m_written + m_used; }
    void flush() {
        if (m_used != 0) m_sink(m_buffer, m_used);
        m_written += m_used;
        m_used = 0;
    }

  private:
    void append(const char* s, std::size_t n) {
        if (m_used + n > sizeof m_buffer) flush();
        std::memcpy(m_buffer + m_used, s, n);
        m_used += n;
    }

    const Sink& m_sink;
    char m_buffer[1 << 16];
    std::size_t m_used = 0;
    std::uint64_t m_written = 0;
};

void writeHeader(Writer& w) {
    w.text("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<WORLD>\n");
    w.text("<NAME>Generated grid world</NAME>\n");
    w.text("<BACKGROUND><BACKCOLOR>0.9,0.9,1</BACKCOLOR></BACKGROUND>\n");
    w.text("<LIGHTING>\n<AMBIENT>0.2,0.2,0.2</AMBIENT>\n");
    w.text(
        "<DIRECTIONALLIGHT><DIRECTION>0,0,1</DIRECTION><DIFFUSE>1,1,1</DIFFUSE>"
        "<SPECULAR>0.5,0.5,0.5</SPECULAR></DIRECTIONALLIGHT>\n</LIGHTING>\n");
    w.text(
        "<LINESTYLE ID=\"1\"><LINEWIDTH>2</LINEWIDTH><LINEPATTERN>F0F0</LINEPATTERN>"
        "</LINESTYLE>\n");
    w.text("<POINTSTYLE ID=\"1\"><POINTSIZE>3</POINTSIZE></POINTSTYLE>\n");
}

void writeMaterials(Writer& w, std::uint32_t seed) {
    for (int m = 0; m < 4; ++m) {
        const double r = 0.2 + 0.2 * ((seed + m) % 4);
        w.format(
            "<MAT ID=\"%d\"><AMB>%.3f,%.3f,%.3f</AMB><DIFF>%.3f,0.5,%.3f</DIFF>"
            "<SPEC>0.8,0.8,0.8</SPEC><SHINE>%d</SHINE></MAT>\n",
            m, r / 4, r / 4, r / 4, r, 1 - r, 10 * (m + 1));
    }
}

double height(std::uint32_t i, std::uint32_t j, std::uint32_t seed) {
    return 0.25 * std::sin(0.3 * i + seed) * std::cos(0.2 * j);
}

void writePositions(Writer& w, std::uint32_t n, std::uint32_t seed) {
    for (std::uint32_t j = 0; j < n; ++j) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const double z = height(i, j, seed);
            w.format("<P ID=\"%u\">%.6f,%.6f,%.6f</P>\n", j * n + i, i * 0.1, j * 0.1, z);
        }
    }
}

void writeNormals(Writer& w, std::uint32_t n, std::uint32_t seed) {
    for (std::uint32_t j = 0; j < n; ++j) {
        for (std::uint32_t i = 0; i < n; ++i) {
            const double dx = height(i + 1, j, seed) - height(i, j, seed);
            const double dy = height(i, j + 1, seed) - height(i, j, seed);
            const double len = std::sqrt(dx * dx + dy * dy + 0.01);
            w.format("<N ID=\"%u\">%.5f,%.5f,%.5f</N>\n", j * n + i, -dx / len, -dy / len,
                     0.1 / len);
        }
    }
}

void writeVertex(Writer& w, const char* tag, std::uint32_t id, bool normals) {
    if (normals) {
        w.format("<%s><PREF>%u</PREF><NREF>%u</NREF></%s>", tag, id, id, tag);
    } else {
        w.format("<%s><PREF>%u</PREF></%s>", tag, id, tag);
    }
}

void writeFaces(Writer& w, std::uint32_t n, std::uint32_t material, bool normals) {
    for (std::uint32_t j = 0; j + 1 < n; ++j) {
        for (std::uint32_t i = 0; i + 1 < n; ++i) {
            const std::uint32_t a = j * n + i, b = a + 1, c = a + n, d = c + 1;
            for (int t = 0; t < 2; ++t) {
                w.format("<F><MATREF>%u</MATREF><S>1</S>", material);
                writeVertex(w, "FV1", a, normals);
                writeVertex(w, "FV2", t == 0 ? b : d, normals);
                writeVertex(w, "FV3", t == 0 ? d : c, normals);
                w.text("</F>\n");
            }
        }
    }
}

void writeEdges(Writer& w, std::uint32_t n) {
    w.text("<PATCH PATCHID=\"1\">\n");
    for (std::uint32_t i = 0; i + 1 < n; ++i) {
        w.format(
            "<L><MATREF>0</MATREF><LINESTYLEREF>1</LINESTYLEREF>"
            "<LV1><PREF>%u</PREF></LV1><LV2><PREF>%u</PREF></LV2></L>\n",
            i, i + 1);
    }
    w.text("</PATCH>\n");
    w.format(
        "<PT><MATREF>1</MATREF><POINTSTYLEREF>1</POINTSTYLEREF>"
        "<PV1><P>%.6f,%.6f,%.6f</P></PV1></PT>\n",
        0.0, 0.0, 1.0);
}

void writeObject(Writer& w, const Options& o, std::uint32_t index) {
    w.format(
        "<OBJECT PATHID=\"%u\">\n<TRANSFORM><FORWARD>0,0,1</FORWARD><UP>0,1,0</UP>"
        "<POSITION>%.3f,0,0</POSITION></TRANSFORM>\n<MESH>\n",
        index, index * 0.1 * o.gridSize);
    writePositions(w, o.gridSize, o.seed + index);
    if (o.normals) writeNormals(w, o.gridSize, o.seed + index);
    writeFaces(w, o.gridSize, index % 4, o.normals);
    writeEdges(w, o.gridSize);
    w.text("</MESH>\n</OBJECT>\n");
}

}  // namespace

std::uint64_t generate(const Options& options, const Sink& sink) {
    Writer w(sink);
    writeHeader(w);
    writeMaterials(w, options.seed);
    std::uint32_t index = 0;
    do {
        writeObject(w, options, index++);
    } while (w.written() < options.targetBytes);
    w.text("</WORLD>\n");
    w.flush();
    return w.written();
}

std::string generateString(const Options& options) {
    std::string out;
    out.reserve(options.targetBytes + (1u << 20));
    generate(options, [&](const char* data, std::size_t n) { out.append(data, n); });
    return out;
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

bool writeCompressed(const Options& options, std::FILE* file) {
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) return false;
    bool ok = true;
    unsigned char out[1 << 16];
    auto pump = [&](const char* data, std::size_t n, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = out;
            z.avail_out = sizeof out;
            deflate(&z, flush);
            const std::size_t have = sizeof out - z.avail_out;
            ok = ok && std::fwrite(out, 1, have, file) == have;
        } while (z.avail_out == 0);
    };
    generate(options, [&](const char* data, std::size_t n) { pump(data, n, Z_NO_FLUSH); });
    pump(nullptr, 0, Z_FINISH);
    deflateEnd(&z);
    return ok;
}

}  // namespace

bool generateFile(const Options& options, const std::string& path) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) return false;
    const bool compressed =
        path.size() > 4 && strcasecmp(path.c_str() + path.size() - 4, ".zgl") == 0;
    if (compressed) return writeCompressed(options, file.get());
    bool ok = true;
    generate(options, [&](const char* data, std::size_t n) {
        ok = ok && std::fwrite(data, 1, n, file.get()) == n;
    });
    return ok && std::fflush(file.get()) == 0;
}

}  // namespace xglgen
