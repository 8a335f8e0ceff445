#include "host/host_dwf.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <optional>

namespace exportal {
namespace {

// The picture's longer side in logical units: far below the 31-bit limit, and fine
// enough that a vertex keeps a sixteenth of a pixel on a 16000-pixel view.
constexpr double kLogicalSpan = 1 << 18;
constexpr double kPointPixels = 3;
// The paper's longer side: the long side of a letter or ANSI A sheet.
constexpr double kPaperLongSideInches = 11.0;

double logicalPerPixel(const ShadedPicture& picture) {
    return kLogicalSpan / std::max({picture.width, picture.height, 1});
}

plotwick::LogicalPoint logicalOf(const ShadedVertex& vertex, double scale,
                                 const plotwick::LogicalPoint& corner) {
    // Clipping may leave a vertex a hair outside the view; the sheet ends at its edge.
    auto clamp = [](double value, std::int64_t limit) {
        return std::clamp<std::int64_t>(std::llround(value), 0, limit);
    };
    return {clamp(vertex.x * scale, corner.x), clamp(vertex.y * scale, corner.y)};
}

plotwick::Rgba meanColour(const std::vector<ShadedVertex>& vertices) {
    auto channel = [&](std::uint8_t plotwick::Rgba::*member) {
        const double sum = std::accumulate(vertices.begin(), vertices.end(), 0.0,
                                           [&](double total, const ShadedVertex& vertex) {
                                               return total + vertex.colour.*member;
                                           });
        return static_cast<std::uint8_t>(std::lround(sum / vertices.size()));
    };
    return {channel(&plotwick::Rgba::r), channel(&plotwick::Rgba::g), channel(&plotwick::Rgba::b),
            channel(&plotwick::Rgba::a)};
}

// Painter's order: the farthest corner first, then the mean depth. A large face that
// recedes (a wall, the ground) starts far away, so what lies on it (a door, a window)
// is drawn after it even where the two are nearly at the same depth.
struct DepthKey {
    double farthest = 0;
    double mean = 0;
    bool operator>(const DepthKey& other) const {
        return farthest != other.farthest ? farthest > other.farthest : mean > other.mean;
    }
};

DepthKey depthKey(const ShadedPrimitive& primitive) {
    DepthKey key;
    for (const ShadedVertex& vertex : primitive.vertices) {
        key.farthest = std::max(key.farthest, vertex.depth);
        key.mean += vertex.depth;
    }
    key.mean /= std::max<std::size_t>(primitive.vertices.size(), 1);
    return key;
}

// Faces are cut into pieces about this many pixels across before they are ordered:
// their colours then follow the view's smooth shading, and a piece of a receding face
// spans so little depth that what lies on that face sorts in front of it. A budget
// of pieces bounds the copy of a view full of large faces.
constexpr double kPiecePixels = 5;
constexpr double kMostPieces = 300000;
constexpr int kMostSplits = 8;

ShadedVertex midpoint(const ShadedVertex& a, const ShadedVertex& b) {
    auto mean = [](std::uint8_t u, std::uint8_t v) {
        return static_cast<std::uint8_t>((u + v + 1) / 2);
    };
    return {(a.x + b.x) / 2,
            (a.y + b.y) / 2,
            (a.depth + b.depth) / 2,
            {mean(a.colour.r, b.colour.r), mean(a.colour.g, b.colour.g),
             mean(a.colour.b, b.colour.b), mean(a.colour.a, b.colour.a)}};
}

double distance(const ShadedVertex& a, const ShadedVertex& b) {
    return std::hypot(a.x - b.x, a.y - b.y);
}

void splitTriangle(const ShadedVertex& a, const ShadedVertex& b, const ShadedVertex& c,
                   double piece, int level, std::vector<ShadedPrimitive>& out) {
    if (level == kMostSplits ||
        std::max({distance(a, b), distance(b, c), distance(c, a)}) <= piece) {
        out.push_back({{a, b, c}});
        return;
    }
    const ShadedVertex ab = midpoint(a, b), bc = midpoint(b, c), ca = midpoint(c, a);
    splitTriangle(a, ab, ca, piece, level + 1, out);
    splitTriangle(ab, b, bc, piece, level + 1, out);
    splitTriangle(ca, bc, c, piece, level + 1, out);
    splitTriangle(ab, bc, ca, piece, level + 1, out);
}

double triangleArea(const ShadedVertex& a, const ShadedVertex& b, const ShadedVertex& c) {
    return std::abs((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)) / 2;
}

// Polygons become fans of triangles cut into pieces; points and lines stay whole.
std::vector<ShadedPrimitive> piecesOf(const std::vector<ShadedPrimitive>& primitives) {
    double area = 0;
    for (const ShadedPrimitive& primitive : primitives) {
        const auto& v = primitive.vertices;
        for (std::size_t i = 1; i + 1 < v.size(); ++i)
            area += triangleArea(v[0], v[i], v[i + 1]);
    }
    // A piece of side p covers about p * p / 2 pixels.
    const double piece = std::max(kPiecePixels, std::sqrt(2 * area / kMostPieces));
    std::vector<ShadedPrimitive> pieces;
    for (const ShadedPrimitive& primitive : primitives) {
        const auto& v = primitive.vertices;
        if (v.size() < 3) pieces.push_back(primitive);
        for (std::size_t i = 1; i + 1 < v.size(); ++i)
            splitTriangle(v[0], v[i], v[i + 1], piece, 0, pieces);
    }
    return pieces;
}

// A piece counts as seen at a pixel where the view's depth there is its own depth.
constexpr double kSeenDepthTolerance = 1e-4;

// The depth of a triangle's plane at (x, y); its first corner's for a sliver.
double depthAt(const std::vector<ShadedVertex>& t, double x, double y) {
    const double det =
        (t[1].x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (t[1].y - t[0].y);
    if (std::abs(det) < 1e-9) return t[0].depth;
    const double u = ((x - t[0].x) * (t[2].y - t[0].y) - (t[2].x - t[0].x) * (y - t[0].y)) / det;
    const double v = ((t[1].x - t[0].x) * (y - t[0].y) - (x - t[0].x) * (t[1].y - t[0].y)) / det;
    return t[0].depth + u * (t[1].depth - t[0].depth) + v * (t[2].depth - t[0].depth);
}

// The view's colour of an opaque piece at the first pixel where the view shows it:
// its centre, then further towards each corner (a line or point may hide the centre).
std::optional<plotwick::Rgba> seenColour(const ShadedPicture& picture,
                                         const std::vector<ShadedVertex>& piece) {
    const std::size_t size = static_cast<std::size_t>(picture.width) * picture.height;
    if (piece.size() != 3 || picture.pixels.size() != size || picture.depths.size() != size) {
        return std::nullopt;
    }
    double cx = 0, cy = 0;
    for (const ShadedVertex& vertex : piece) {
        if (vertex.colour.a != 255) return std::nullopt;  // the view blended it
        cx += vertex.x / 3;
        cy += vertex.y / 3;
    }
    static constexpr struct {
        int corner;
        double towards;
    } kSamples[] = {{0, 0}, {0, 0.5}, {1, 0.5}, {2, 0.5}, {0, 0.9}, {1, 0.9}, {2, 0.9}};
    for (const auto& sample : kSamples) {
        const ShadedVertex& corner = piece[sample.corner];
        const double x = cx + (corner.x - cx) * sample.towards;
        const double y = cy + (corner.y - cy) * sample.towards;
        const int column = std::clamp(static_cast<int>(x), 0, picture.width - 1);
        const int row = std::clamp(static_cast<int>(y), 0, picture.height - 1);
        const std::size_t at = static_cast<std::size_t>(row) * picture.width + column;
        if (std::abs(picture.depths[at] - depthAt(piece, column + 0.5, row + 0.5)) <=
            kSeenDepthTolerance) {
            const plotwick::Rgba& seen = picture.pixels[at];
            return plotwick::Rgba{seen.r, seen.g, seen.b, 255};
        }
    }
    return std::nullopt;
}

bool hasArea(const plotwick::LogicalPoint& a, const plotwick::LogicalPoint& b,
             const plotwick::LogicalPoint& c) {
    return (b.x - a.x) * (c.y - a.y) != (b.y - a.y) * (c.x - a.x);
}

class SheetStream {
  public:
    explicit SheetStream(const ShadedPicture& picture)
        : m_picture(picture),
          m_scale(logicalPerPixel(picture)),
          m_corner{std::llround(picture.width * m_scale), std::llround(picture.height * m_scale)} {
        m_writer.view({{0, 0}, m_corner});
        background(picture.background);
        m_writer.fill(true);
    }

    void primitive(const ShadedPrimitive& primitive) {
        const auto& vertices = primitive.vertices;
        if (vertices.empty()) return;
        std::vector<plotwick::LogicalPoint> points;
        for (const ShadedVertex& vertex : vertices)
            points.push_back(logicalOf(vertex, m_scale, m_corner));
        colour(seenColour(m_picture, vertices).value_or(meanColour(vertices)));
        if (points.size() == 1) {
            point(points[0]);
        } else if (points.size() == 2) {
            m_writer.line(points[0], points[1]);
        } else {
            for (std::size_t i = 1; i + 1 < points.size(); ++i) {
                const plotwick::LogicalPoint triangle[] = {points[0], points[i], points[i + 1]};
                if (hasArea(triangle[0], triangle[1], triangle[2])) m_writer.triangles(triangle);
            }
        }
    }

    std::vector<std::uint8_t> finish() {
        m_writer.end();
        return m_writer.bytes();
    }
    plotwick::LogicalPoint corner() const { return m_corner; }

  private:
    // Feedback does not say how large a point was drawn; a small square shows it.
    void point(const plotwick::LogicalPoint& centre) {
        const std::int64_t half = std::llround(kPointPixels * m_scale / 2);
        const std::int64_t left = std::max<std::int64_t>(centre.x - half, 0),
                           right = std::min(centre.x + half, m_corner.x),
                           bottom = std::max<std::int64_t>(centre.y - half, 0),
                           top = std::min(centre.y + half, m_corner.y);
        const plotwick::LogicalPoint square[] = {
            {left, bottom}, {right, bottom}, {left, top}, {right, top}};
        m_writer.triangles(square);
    }
    void background(const plotwick::Rgba& fill) {
        colour(fill);
        m_writer.fill(true);
        const plotwick::LogicalPoint page[] = {{0, 0}, {m_corner.x, 0}, m_corner, {0, m_corner.y}};
        m_writer.polyline(page);
    }
    void colour(const plotwick::Rgba& colour) {
        if (m_colourSet && colour == m_colour) return;
        m_writer.colour(colour);
        m_colour = colour;
        m_colourSet = true;
    }

    const ShadedPicture& m_picture;
    double m_scale;
    plotwick::LogicalPoint m_corner;
    plotwick::W2dWriter m_writer;
    plotwick::Rgba m_colour;
    bool m_colourSet = false;
};

}  // namespace

plotwick::Paper paperFor(int width, int height) {
    const double longer = std::max({width, height, 1});
    return {false, kPaperLongSideInches * std::max(width, 1) / longer,
            kPaperLongSideInches * std::max(height, 1) / longer};
}

plotwick::PackageSheet sheetOf(const SheetPicture& sheet) {
    const ShadedPicture& picture = sheet.picture;
    const std::vector<ShadedPrimitive> pieces = piecesOf(picture.primitives);
    std::vector<std::pair<DepthKey, const ShadedPrimitive*>> order;
    order.reserve(pieces.size());
    for (const ShadedPrimitive& primitive : pieces)
        order.emplace_back(depthKey(primitive), &primitive);
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    SheetStream stream(picture);
    for (const auto& [key, primitive] : order)
        stream.primitive(*primitive);

    const plotwick::Paper paper = paperFor(picture.width, picture.height);
    const double inchesPerUnit =
        paper.width / static_cast<double>(std::max<std::int64_t>(stream.corner().x, 1));
    return {sheet.title,
            paper,
            {inchesPerUnit, 0, 0, 0, 0, inchesPerUnit, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1},
            stream.finish()};
}

bool writeViewDwf(const std::string& path, std::span<const SheetPicture> sheets,
                  std::span<const plotwick::PackageModel> models, std::string& error) {
    std::vector<plotwick::PackageSheet> packaged;
    for (const SheetPicture& sheet : sheets)
        packaged.push_back(sheetOf(sheet));
    // The package is written under a private new name beside the target, so that
    // no file already there is touched unless the copy is complete.
    const QString target = QString::fromStdString(path);
    QTemporaryFile partial(target + ".XXXXXX");
    bool written = partial.open();
    partial.close();
    written =
        written &&
        plotwick::writeDwfPackage(partial.fileName().toStdString(), packaged, models, error) &&
        std::rename(partial.fileName().toLocal8Bit().constData(), path.c_str()) == 0;
    if (!written) {
        error = "The DWF copy " + path + " cannot be written.";
        return false;
    }
    partial.setAutoRemove(false);
    QFile::setPermissions(
        target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return true;
}

bool launchDwfViewer(const std::string& fileName) {
    const QString beside = QCoreApplication::applicationDirPath() + "/plotwick";
    for (const QString& program : {beside, QStandardPaths::findExecutable("plotwick"),
                                   QStringLiteral(EXPORTAL_BUILD_PLOTWICK)}) {
        if (!program.isEmpty() && QFile::exists(program))
            return QProcess::startDetached(program, {QString::fromStdString(fileName)});
    }
    return false;
}

bool optionIsOn(const NameValueMap& options, const std::string& name, bool absent) {
    for (const auto& [key, value] : options) {
        if (key != name) continue;
        if (const bool* flag = std::get_if<bool>(&value)) return *flag;
        if (const auto* small = std::get_if<std::int16_t>(&value)) return *small != 0;
        if (const auto* whole = std::get_if<std::int32_t>(&value)) return *whole != 0;
        const std::string& text = std::get<std::string>(value);
        return text == "1" || text == "true" || text == "True";
    }
    return absent;
}

bool publishesModels(const NameValueMap& options) {
    for (const auto& [key, value] : options) {
        if (key != "Publish_3D_Models") continue;
        if (const bool* flag = std::get_if<bool>(&value)) return *flag;
        if (const auto* small = std::get_if<std::int16_t>(&value)) return *small == 1;
        if (const auto* whole = std::get_if<std::int32_t>(&value)) return *whole == 1;
        const std::string& text = std::get<std::string>(value);
        return text == "1" || text == "true" || text == "True";
    }
    return false;
}

}  // namespace exportal
