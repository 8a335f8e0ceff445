#include "dwf/sheet_painter.h"

#include <QBuffer>
#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QImageReader>
#include <QLinearGradient>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QStaticText>
#include <QString>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <span>

#include "dwf/paint_work.h"

namespace plotwick {
namespace {

constexpr int kMaxCurveSegments = 128;
constexpr int kDefaultTextPixels = 12;
// Texts are laid out with a font of this pixel size and scaled into place.
constexpr int kReferencePixels = 100;
// Text smaller than this on the device is not drawn: it would be a smudge.
constexpr double kSmallestTextPixels = 0.75;
// Text lower than this on the device is shown as a bar (greeked).
constexpr double kGreekedTextPixels = 4;
// Above this size (device pixels across the reference em square, either way) a text is
// filled as glyph outlines rather than left to Qt's glyph cache, which keeps a picture
// of each glyph as large as it is on the device. Qt itself sends only glyphs of up to
// 64 pixels to the cache (91 here when turned), so every text neither stretched nor
// slanted that it caches keeps its look, and what Qt would fill as outlines anyway is
// filled pixel for pixel the same.
constexpr double kLargestCachedGlyphPixels = 128;
// The rasterizer walks the whole length of every edge it is given, on the device or
// not. Outlines whose glyphs, counted together, are larger than this (device pixels
// of the em box times the glyphs) are cut to the device before they are filled; below
// it, text is filled exactly as Qt fills large text itself.
constexpr double kLargestUncutOutlinePixels = 1 << 20;
// A Gouraud triangle smaller than this (device pixels across) is filled flat.
constexpr double kFlatGouraudPixels = 3;
// The longest side of an image enlarged into blocks for a vector page.
constexpr double kLargestBlockImage = 2048;
// The longest side, in pixels, of the layer a Gouraud triangle is shaded on.
constexpr double kLargestGouraudLayer = 4096;
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr double kLargestPageMillimetres = 200 * 25.4;

// Casting a double outside the range of int is undefined behaviour; NaN becomes 0.
int clampToInt(double value, int low = -(1 << 30), int high = 1 << 30) {
    if (std::isnan(value)) return 0;
    return static_cast<int>(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
}

QPointF toQt(const LogicalPoint& point) {
    return {static_cast<double>(point.x), static_cast<double>(point.y)};
}

QColor toQt(const Rgba& colour) {
    return QColor(colour.r, colour.g, colour.b, colour.a);
}

QRectF logicalPage(const Sheet& sheet) {
    const auto box = sheet.graphics.view ? sheet.graphics.view : boundsOf(sheet.graphics);
    if (!box) return {0, 0, 1, 1};
    const double left = static_cast<double>(std::min(box->min.x, box->max.x));
    const double bottom = static_cast<double>(std::min(box->min.y, box->max.y));
    const double width =
        std::max<double>(1, std::abs(static_cast<double>(box->max.x - box->min.x)));
    const double height =
        std::max<double>(1, std::abs(static_cast<double>(box->max.y - box->min.y)));
    return {left, bottom, width, height};
}

// PDF and SVG are looked at zoomed in and searched: their texts are never greeked or
// left out for being small on the nominal device.
bool drawsVectors(const QPainter& painter) {
    const QPaintEngine* engine = painter.paintEngine();
    if (engine == nullptr) return false;
    const QPaintEngine::Type type = engine->type();
    return type == QPaintEngine::Pdf || type == QPaintEngine::SVG || type == QPaintEngine::Picture;
}

double deviceScaleOf(const QPainter& painter) {
    return std::sqrt(std::abs(painter.worldTransform().determinant()));
}

// The page in its own units, and the map from logical units to them.
QRectF pageOf(const Sheet& sheet, QTransform& logicalToPage) {
    if (!sheet.paper) {
        logicalToPage = QTransform();
        return logicalPage(sheet);
    }
    const auto& m = sheet.transform;
    logicalToPage = QTransform(m[0], m[1], m[4], m[5], m[12], m[13]);
    return {0, 0, sheet.paper->width, sheet.paper->height};
}

// Fits the page into the target, y up on the page and down on the device.
QTransform pageToDevice(const QRectF& page, const QRectF& target,
                        const ViewAdjustment& adjustment) {
    // The page rectangle holds its bottom edge where QRectF keeps its top.
    const PageToDevice fit =
        fitPage({page.left(), page.top(), page.width(), page.height()},
                {target.left(), target.top(), target.width(), target.height()}, adjustment);
    return QTransform(fit.scale, 0, 0, -fit.scale, fit.dx, fit.dy);
}

QPolygonF polygonOf(std::span<const LogicalPoint> points, std::size_t first, std::size_t count) {
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = first; i < first + count; ++i)
        polygon << toQt(points[i]);
    return polygon;
}

// Dash and gap lengths in device pixels of the predefined line patterns (the format
// leaves them to the renderer), by pattern number; patterns past the table repeat it.
const std::vector<double>& predefinedDashes(std::uint16_t pattern) {
    static const std::vector<double> kPatterns[] = {{12, 6},
                                                    {2, 4},
                                                    {12, 4, 2, 4},
                                                    {6, 4},
                                                    {12, 6},
                                                    {24, 6},
                                                    {6, 4, 6, 8},
                                                    {12, 6, 12, 10},
                                                    {24, 6, 24, 10},
                                                    {18, 6, 24, 6},
                                                    {12, 4, 4, 4, 4, 4},
                                                    {24, 4, 6, 4},
                                                    {24, 4, 2, 4, 2, 4},
                                                    {24, 4, 2, 4},
                                                    {12, 4, 2, 4, 6, 4, 2, 4},
                                                    {2, 10}};
    const std::size_t index = (pattern - 2u) % std::size(kPatterns);
    return kPatterns[index];
}

// The drawing's line attributes as a Qt pen. Dash lengths are device pixels; Qt counts
// them in pen widths.
QPen penFor(const QPainter& painter, const W2dGraphics& graphics, const DrawOp& op) {
    const double deviceScale = deviceScaleOf(painter);
    QPen pen(toQt(op.colour));
    static const Qt::PenCapStyle kCaps[] = {Qt::FlatCap, Qt::SquareCap, Qt::RoundCap,
                                            Qt::SquareCap};
    static const Qt::PenJoinStyle kJoins[] = {Qt::MiterJoin, Qt::BevelJoin, Qt::RoundJoin,
                                              Qt::BevelJoin};
    pen.setCapStyle(kCaps[static_cast<int>(op.cap) & 3]);
    pen.setJoinStyle(kJoins[static_cast<int>(op.join) & 3]);
    // Widths are set in device pixels (a cosmetic pen): the same as logical units under
    // the sheet's uniform scale, and never beyond the range Qt accepts.
    double widthPixels = 1;
    pen.setCosmetic(true);
    if (op.lineWeight > 0) {
        widthPixels = std::clamp(static_cast<double>(op.lineWeight) * deviceScale, 1.0, 1.0e4);
        pen.setWidthF(widthPixels);
    } else {
        pen.setWidth(0);  // one device pixel at any zoom
    }
    // A vector page is scaled by whoever shows it, and SVG readers do not all keep
    // strokes of a fixed width: there the width is given in logical units.
    if (drawsVectors(painter) && deviceScale > 0) {
        pen.setCosmetic(false);
        pen.setWidthF(widthPixels / deviceScale);
    }
    const std::vector<double>* dashes = nullptr;
    if (op.dashes >= 0 && static_cast<std::size_t>(op.dashes) < graphics.dashes.size()) {
        dashes = &graphics.dashes[static_cast<std::size_t>(op.dashes)];
    } else if (op.linePattern > 1) {
        dashes = &predefinedDashes(op.linePattern);
    }
    if (dashes != nullptr && dashes->size() >= 2) {
        // Qt wants dash and gap pairs: an odd list is repeated once to make pairs.
        const std::size_t count = dashes->size() * (dashes->size() % 2 + 1);
        QList<qreal> pattern;
        for (std::size_t i = 0; i < count; ++i)
            pattern << std::clamp((*dashes)[i % dashes->size()] / widthPixels, 0.1, 1.0e4);
        pen.setDashPattern(pattern);
    }
    return pen;
}

// Predefined fill patterns as Qt's 8x8 device-pixel brushes; a user pattern, whose
// bitmap or hatch lines are not kept, as a cross-hatch.
QBrush brushFor(const DrawOp& op) {
    static const Qt::BrushStyle kStyles[] = {
        Qt::SolidPattern, Qt::Dense4Pattern,   Qt::CrossPattern, Qt::DiagCrossPattern,
        Qt::HorPattern,   Qt::FDiagPattern,    Qt::BDiagPattern, Qt::Dense6Pattern,
        Qt::VerPattern,   Qt::DiagCrossPattern};
    const auto index = static_cast<std::size_t>(op.fillPattern);
    return QBrush(toQt(op.colour), index < std::size(kStyles) ? kStyles[index] : Qt::SolidPattern);
}

// The lines of a hatch brush: direction (device x along, y down), and where they lie
// in Qt's 8-pixel tiles, as p . (-direction.y, direction.x) = 8k + phase.
struct HatchLines {
    QPointF direction;
    double phase;
};

std::vector<HatchLines> hatchLinesOf(Qt::BrushStyle style) {
    // Qt's tiles set row 3, column 3, the pixels with x - y = 0 and with x + y = 6
    // (mod 8); the phases are those of the pixels' centres.
    const HatchLines across{{1, 0}, 3.5}, down{{0, 1}, 4.5}, fall{{1, 1}, 0}, rise{{1, -1}, 7};
    switch (style) {
        case Qt::HorPattern:
            return {across};
        case Qt::VerPattern:
            return {down};
        case Qt::CrossPattern:
            return {across, down};
        case Qt::FDiagPattern:
            return {fall};
        case Qt::BDiagPattern:
            return {rise};
        case Qt::DiagCrossPattern:
            return {fall, rise};
        default:
            return {};
    }
}

// Where the line {p : p . normal = offset} runs inside the contours, by the even-odd
// rule: the crossings with the edges, sorted along the line, taken in pairs.
void addInsideSpans(const QList<QPolygonF>& contours, QPointF along, QPointF normal, double offset,
                    QList<QLineF>& lines) {
    std::vector<double> crossings;
    for (const QPolygonF& contour : contours) {
        for (qsizetype i = 0; i < contour.size(); ++i) {
            const QPointF a = contour[i], b = contour[(i + 1) % contour.size()];
            const double va = QPointF::dotProduct(a, normal), vb = QPointF::dotProduct(b, normal);
            if ((va <= offset) == (vb <= offset)) continue;
            const QPointF at = a + (b - a) * ((offset - va) / (vb - va));
            crossings.push_back(QPointF::dotProduct(at, along));
        }
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t i = 1; i < crossings.size(); i += 2)
        lines.append(QLineF(along * crossings[i - 1] + normal * offset,
                            along * crossings[i] + normal * offset));
}

// A hatch on a vector page is drawn as lines, cut to the shape here, so that it stays
// sharp when zoomed and shows in every reader: SVG readers differ in the pattern
// fills they draw. The lines lie where Qt's 8-pixel brush puts them on the screen.
bool hatch(QPainter& painter, const QPainterPath& path, const QBrush& brush) {
    const std::vector<HatchLines> hatches = hatchLinesOf(brush.style());
    if (hatches.empty() || !drawsVectors(painter)) return false;
    constexpr double kSpacing = 8;  // device pixels between lines along the x or y axis
    const QList<QPolygonF> contours = path.toSubpathPolygons(painter.worldTransform());
    const QRectF page(0, 0, painter.device()->width(), painter.device()->height());
    const QRectF box = path.controlPointRect();
    const QRectF area = painter.worldTransform().mapRect(box).intersected(page);
    QList<QLineF> lines;
    for (const auto& [direction, phase] : hatches) {
        const double length = std::hypot(direction.x(), direction.y());
        const QPointF along = direction / length, normal(-along.y(), along.x());
        const double step = kSpacing / length, shift = phase / length;
        double low = INFINITY, high = -INFINITY;
        for (const QPointF& corner :
             {area.topLeft(), area.topRight(), area.bottomLeft(), area.bottomRight()}) {
            low = std::min(low, QPointF::dotProduct(corner, normal));
            high = std::max(high, QPointF::dotProduct(corner, normal));
        }
        for (double offset = std::floor((low - shift) / step) * step + shift; offset <= high;
             offset += step) {
            addInsideSpans(contours, along, normal, offset, lines);
        }
    }
    painter.save();
    painter.resetTransform();
    painter.setPen(QPen(brush.color(), 1));
    painter.drawLines(lines);
    painter.restore();
    return true;
}

// The dot patterns' dots are device pixels, which a vector page does not have (and SVG
// readers differ in the pattern fills they draw): there they are the tint they give.
std::optional<QBrush> tintOf(const QPainter& painter, const QBrush& brush) {
    const Qt::BrushStyle style = brush.style();
    if ((style != Qt::Dense4Pattern && style != Qt::Dense6Pattern) || !drawsVectors(painter))
        return std::nullopt;
    QColor colour = brush.color();
    colour.setAlphaF(colour.alphaF() * (style == Qt::Dense4Pattern ? 0.5 : 0.125));
    return QBrush(colour);
}

void fillPath(QPainter& painter, QPainterPath path, const QBrush& brush, Qt::FillRule rule) {
    path.setFillRule(rule);
    if (hatch(painter, path, brush)) return;
    painter.fillPath(path, tintOf(painter, brush).value_or(brush));
}

void fillPolygon(QPainter& painter, const QPolygonF& polygon, const QBrush& brush,
                 Qt::FillRule rule) {
    QPainterPath path;
    path.addPolygon(polygon);
    path.closeSubpath();
    fillPath(painter, std::move(path), brush, rule);
}

// Points of an elliptical curve from `start` to `end` turns, counter-clockwise, with
// as many segments as its size on the device needs.
QPolygonF curveOf(const DrawOp& op, double major, double minor, double deviceScale) {
    const QPointF centre = toQt(op.points[0]);
    const double tilt = kTwoPi * op.tiltTurns;
    const double sweep = std::clamp(op.endTurns - op.startTurns, 0.0, 2.0);
    const double pixels = std::max(std::abs(major), std::abs(minor)) * deviceScale;
    const int segments =
        clampToInt(std::ceil(sweep * std::clamp(pixels, 8.0, double{kMaxCurveSegments})), 4,
                   2 * kMaxCurveSegments);
    QPolygonF curve;
    curve.reserve(segments + 2);
    for (int i = 0; i <= segments; ++i) {
        const double angle = kTwoPi * (op.startTurns + sweep * i / segments);
        const double x = major * std::cos(angle);
        const double y = minor * std::sin(angle);
        curve << centre + QPointF(x * std::cos(tilt) - y * std::sin(tilt),
                                  x * std::sin(tilt) + y * std::cos(tilt));
    }
    return curve;
}

void drawCurve(QPainter& painter, const W2dGraphics& graphics, const DrawOp& op, double major,
               double minor) {
    const double scale = deviceScaleOf(painter);
    if (std::max(std::abs(major), std::abs(minor)) * scale < 0.5) {
        painter.setPen(penFor(painter, graphics, op));
        painter.drawPoint(toQt(op.points[0]));
        return;
    }
    QPolygonF curve = curveOf(op, major, minor, scale);
    const bool whole = op.endTurns - op.startTurns >= 1.0;
    if (op.fill) {
        if (!whole) curve << toQt(op.points[0]);  // a wedge
        fillPolygon(painter, curve, brushFor(op), Qt::OddEvenFill);
    } else {
        painter.setPen(penFor(painter, graphics, op));
        painter.drawPolyline(curve);
    }
}

// A Gouraud triangle: colour is an affine function across it, the sum of each vertex
// colour weighted by its barycentric coordinate. Each weight is a linear gradient from
// the vertex to the opposite edge, so three gradient fills added together on a
// transparent layer give the exact shading; the work is bounded by the triangle's
// pixels, which the device bounds.
void drawGouraudTriangle(QPainter& painter, const DrawOp& op, std::size_t first) {
    const QTransform toDevice = painter.worldTransform();
    const QPointF p[3] = {toDevice.map(toQt(op.points[first])),
                          toDevice.map(toQt(op.points[first + 1])),
                          toDevice.map(toQt(op.points[first + 2]))};
    const Rgba* c = &op.vertexColours[first];
    const QRectF device(0, 0, painter.device()->width(), painter.device()->height());
    const QRectF box = QPolygonF({p[0], p[1], p[2]}).boundingRect().intersected(device);
    if (box.isEmpty()) return;
    painter.save();
    painter.resetTransform();
    painter.setPen(Qt::NoPen);
    if (box.width() < kFlatGouraudPixels && box.height() < kFlatGouraudPixels) {
        painter.setBrush(QColor((c[0].r + c[1].r + c[2].r) / 3, (c[0].g + c[1].g + c[2].g) / 3,
                                (c[0].b + c[1].b + c[2].b) / 3, (c[0].a + c[1].a + c[2].a) / 3));
        painter.drawPolygon(QPolygonF({p[0], p[1], p[2]}));
        painter.restore();
        return;
    }
    const QRect area = box.toAlignedRect();
    // The shading is smooth, so a large triangle (a big page on a PDF) is shaded at a
    // lower resolution and stretched rather than given a layer of gigabytes.
    const double reduction =
        std::min(1.0, kLargestGouraudLayer / std::max(area.width(), area.height()));
    QImage layer((QSizeF(area.size()) * reduction).toSize().expandedTo(QSize(1, 1)),
                 QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    {
        QPainter shade(&layer);
        shade.scale(reduction, reduction);
        shade.translate(-area.topLeft());
        shade.setPen(Qt::NoPen);
        shade.setCompositionMode(QPainter::CompositionMode_Plus);
        for (int i = 0; i < 3; ++i) {
            const QPointF a = p[(i + 1) % 3], b = p[(i + 2) % 3], edge = b - a;
            const double length2 = QPointF::dotProduct(edge, edge);
            if (length2 <= 0) continue;
            const QPointF foot = a + edge * (QPointF::dotProduct(p[i] - a, edge) / length2);
            QLinearGradient gradient(p[i], foot);
            gradient.setColorAt(0, toQt(c[i]));
            gradient.setColorAt(1, QColor(c[i].r, c[i].g, c[i].b, 0));
            shade.setBrush(gradient);
            shade.drawPolygon(QPolygonF({p[0], p[1], p[2]}));
        }
    }
    if (reduction < 1) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(area), layer);
    } else {
        painter.drawImage(area.topLeft(), layer);
    }
    painter.restore();
}

void drawGouraudPolyline(QPainter& painter, const W2dGraphics& graphics, const DrawOp& op) {
    for (std::size_t i = 1; i < op.points.size(); ++i) {
        QLinearGradient gradient(toQt(op.points[i - 1]), toQt(op.points[i]));
        gradient.setColorAt(0, toQt(op.vertexColours[i - 1]));
        gradient.setColorAt(1, toQt(op.vertexColours[i]));
        QPen pen = penFor(painter, graphics, op);
        if (drawsVectors(painter)) {
            // SVG has no gradient strokes: the segment's outline is filled instead.
            QPainterPath segment(toQt(op.points[i - 1]));
            segment.lineTo(toQt(op.points[i]));
            QPainterPathStroker stroker(pen);
            painter.fillPath(stroker.createStroke(segment), gradient);
            continue;
        }
        pen.setBrush(gradient);
        painter.setPen(pen);
        painter.drawLine(toQt(op.points[i - 1]), toQt(op.points[i]));
    }
}

QPainterPath contourPath(std::span<const LogicalPoint> points,
                         const std::vector<std::uint32_t>& sizes) {
    QPainterPath path;
    std::size_t first = 0;
    for (std::uint32_t size : sizes) {
        if (size > points.size() - first) break;
        path.addPolygon(polygonOf(points, first, size));
        path.closeSubpath();
        first += size;
    }
    return path;
}

// A font at the reference size with its measures. A drawing repeats few texts many
// times (a symbol placed at every marker), so each text's advance and layout are kept:
// shaping a text costs more than drawing it small, and a kept layout is only shaped
// again when the text is drawn turned or sized differently.
struct FontFace {
    struct Shaped {
        double advance = 0;
        QStaticText layout;
    };

    // Qt asks the font file again for some of these at every call.
    struct Measures {
        double ascent, descent, xHeight, capHeight, underlinePos;
    };

    explicit FontFace(const QFont& font)
        : font(font),
          metrics(font),
          measures{metrics.ascent(), metrics.descent(), metrics.xHeight(), metrics.capHeight(),
                   metrics.underlinePos()} {}
    QFont font;
    QFontMetricsF metrics;
    Measures measures;

    Shaped& shapedOf(const QString& text) {
        constexpr qsizetype kMostKept = 1 << 14;
        if (const auto kept = m_shaped.find(text); kept != m_shaped.end()) return *kept;
        Shaped shaped{metrics.horizontalAdvance(text), QStaticText(text)};
        shaped.layout.setTextFormat(Qt::PlainText);
        if (m_shaped.size() >= kMostKept) {
            m_overflow = std::move(shaped);
            return m_overflow;
        }
        return *m_shaped.insert(text, std::move(shaped));
    }

  private:
    QHash<QString, Shaped> m_shaped;
    Shaped m_overflow;
};

// Fonts by family and style, made once per drawing.
class FontBook {
  public:
    FontFace& faceFor(const TextStyle* style) {
        if (m_last != nullptr && style == m_lastStyle) return *m_last;
        const QString family = style != nullptr && !style->fontName.empty()
                                   ? QString::fromStdString(style->fontName)
                                   : QStringLiteral("Sans Serif");
        const int key = style == nullptr ? 0 : (style->bold ? 1 : 0) | (style->italic ? 2 : 0);
        std::unique_ptr<FontFace>& face = m_faces[{family, key}];
        if (face == nullptr) {
            QFont font(family);
            font.setPixelSize(kReferencePixels);
            font.setBold((key & 1) != 0);
            font.setItalic((key & 2) != 0);
            // Glyphs missing from the named font come from any system font that has them.
            font.setStyleStrategy(QFont::PreferOutline);
            face = std::make_unique<FontFace>(font);
        }
        m_lastStyle = style;
        m_last = face.get();
        return *face;
    }

  private:
    std::map<std::pair<QString, int>, std::unique_ptr<FontFace>> m_faces;
    const TextStyle* m_lastStyle = nullptr;
    FontFace* m_last = nullptr;
};

struct TextFrame {
    QPointF origin;  // left end of the baseline, logical
    double angle = 0;
    double height = 0;  // cell height, logical
    double width = 0;   // the box's width when it has one, else 0
};

// Where the text sits: in its box when the stream gave one (the box's bottom edge is
// the descent line), else at the insertion point with the font's size and angle.
bool frameOf(const DrawOp& op, const TextStyle* style, double fallbackHeight,
             const FontFace::Measures& metrics, TextFrame& frame) {
    const double cell = metrics.ascent + metrics.descent;
    if (style != nullptr && style->hasBounds) {
        const QPointF p0 = toQt(style->bounds[0]), p1 = toQt(style->bounds[1]),
                      p3 = toQt(style->bounds[3]);
        const QPointF along = p1 - p0, up = p3 - p0;
        frame.width = std::hypot(along.x(), along.y());
        frame.height = std::hypot(up.x(), up.y());
        if (frame.width > 0 && frame.height > 0) {
            frame.angle = std::atan2(along.y(), along.x());
            frame.origin = p0 + up * (metrics.descent / cell);
            return true;
        }
    }
    frame.width = 0;
    frame.height = op.textHeight > 0 ? op.textHeight : fallbackHeight;
    frame.angle = style != nullptr ? kTwoPi * style->rotationTurns : 0;
    frame.origin = toQt(op.points[0]);
    return frame.height > 0;
}

// Text too small to read is drawn as a bar where its letters would be: glyph outlines
// at a few pixels cost far more than they show.
void greek(QPainter& painter, const DrawOp& op, const QTransform& textToLogical, double advance,
           double xHeight) {
    const QTransform toDevice = textToLogical * painter.worldTransform();
    QColor colour = toQt(op.colour);
    colour.setAlpha(colour.alpha() / 2);
    painter.save();
    painter.resetTransform();
    painter.setPen(QPen(colour, 0));
    painter.drawLine(toDevice.map(QPointF(0, -xHeight / 2)),
                     toDevice.map(QPointF(advance, -xHeight / 2)));
    painter.restore();
}

bool isFinite(const QTransform& m) {
    return std::isfinite(m.m11() + m.m12() + m.m21() + m.m22() + m.dx() + m.dy());
}

// Whether a text's cell, with an em's room around it for slanted and overhanging
// glyphs, lands on the device: a text off it is not shaped again to be clipped away.
bool reachesDevice(const QPainter& painter, const QTransform& textToDevice, double advance,
                   const FontFace::Measures& metrics) {
    const double em = metrics.ascent + metrics.descent;
    const QRectF cell(-em, -metrics.ascent - em, advance + 2 * em, 3 * em);
    const QRectF device(0, 0, painter.device()->width(), painter.device()->height());
    return textToDevice.mapRect(cell).intersects(device);
}

// The size, in device pixels, of the box around the reference em square as the text's
// transform puts it on the device: that of a glyph's picture in Qt's glyph cache. Qt
// measures glyphs by the transform's determinant, which a squashed or slanted text
// keeps small however long its glyphs are drawn, and not at all for the box glyphs of
// characters no installed font has (their font claims no pixel size).
double emBoxPixels(const QTransform& textToDevice) {
    const double across = std::abs(textToDevice.m11()) + std::abs(textToDevice.m21());
    const double down = std::abs(textToDevice.m12()) + std::abs(textToDevice.m22());
    return kReferencePixels * std::max(across, down);
}

// Large text as filled glyph outlines, antialiased and by the winding rule as Qt fills
// large text itself. Huge glyphs are cut to the device first (with a margin for the
// antialiased edge), so that the rasterizer's work is bounded by the device, whatever
// their size.
void fillOutlines(QPainter& painter, QPainterPath outlines, const QColor& colour, bool cut) {
    outlines.setFillRule(Qt::WindingFill);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing,
                          painter.testRenderHint(QPainter::TextAntialiasing));
    if (cut) {
        const QRectF device(0, 0, painter.device()->width(), painter.device()->height());
        QPainterPath visible;
        visible.addRect(device.adjusted(-2, -2, 2, 2));
        outlines = painter.worldTransform().map(outlines).intersected(visible);
        painter.resetTransform();
    }
    painter.fillPath(outlines, colour);
    painter.restore();
}

void drawText(QPainter& painter, const W2dGraphics& graphics, const DrawOp& op, FontBook& fonts) {
    const TextStyle* style =
        op.detail >= 0 && static_cast<std::size_t>(op.detail) < graphics.texts.size()
            ? &graphics.texts[static_cast<std::size_t>(op.detail)]
            : nullptr;
    const QTransform toDevice = painter.worldTransform();
    const double scale = deviceScaleOf(painter);
    if (!(scale > 0) || op.text.empty()) return;
    FontFace& face = fonts.faceFor(style);
    const QFont& font = face.font;
    const FontFace::Measures& metrics = face.measures;
    const QString text = QString::fromStdU16String(op.text);
    TextFrame frame;
    if (!frameOf(op, style, kDefaultTextPixels / scale, metrics, frame)) return;
    const bool vectors = drawsVectors(painter);
    if (frame.height * scale < kSmallestTextPixels && !vectors) return;
    const double cell = metrics.ascent + metrics.descent;
    const double unit = frame.height / cell;  // logical units per reference pixel
    FontFace::Shaped& shaped = face.shapedOf(text);
    const double advance = shaped.advance;
    double widthScale = style != nullptr ? std::clamp(style->widthScale, 0.01, 100.0) : 1;
    double shift = 0;  // along the baseline, reference pixels
    double lift = 0;   // up from the baseline, reference pixels
    if (frame.width > 0 && advance > 0) {
        widthScale = frame.width / (advance * unit);
    } else if (style != nullptr) {
        shift = -advance * widthScale * style->horizontalAlign / 2.0;
        const double lifts[] = {metrics.descent, 0, -metrics.xHeight / 2, -metrics.capHeight,
                                -metrics.ascent};
        lift = lifts[std::clamp(style->verticalAlign, 0, 4)];
    }
    const double oblique =
        style != nullptr ? std::tan(std::clamp(kTwoPi * style->obliqueTurns, -1.4, 1.4)) : 0;
    // Text space (reference pixels, y down) to logical: flip, slant, scale, turn, place.
    const QTransform flip(1, 0, 0, -1, shift, lift);
    const QTransform slant(1, 0, oblique, 1, 0, 0);
    const QTransform size = QTransform::fromScale(unit * widthScale, unit);
    const double c = std::cos(frame.angle), s = std::sin(frame.angle);
    const QTransform turn(c, s, -s, c, frame.origin.x(), frame.origin.y());
    if (frame.height * scale < kGreekedTextPixels && !vectors) {
        greek(painter, op, flip * slant * size * turn, advance, metrics.xHeight);
        return;
    }
    const QTransform textToDevice = flip * slant * size * turn * toDevice;
    if (!isFinite(textToDevice)) return;
    if (!vectors && !reachesDevice(painter, textToDevice, advance, metrics)) return;
    // Only the transform and pen are put back: a saved state costs more than a small
    // text, and every operation sets the rest it uses.
    const QPen pen = painter.pen();
    painter.setWorldTransform(textToDevice);
    painter.setFont(font);
    painter.setPen(toQt(op.colour));
    const bool underline = style != nullptr && style->underline;
    const QLineF underlineAt(0, metrics.underlinePos, advance, metrics.underlinePos);
    const double emPixels = emBoxPixels(textToDevice);
    const bool outlined = !vectors && emPixels > kLargestCachedGlyphPixels;
    const bool cut = outlined && emPixels * text.size() > kLargestUncutOutlinePixels;
    if (outlined) {
        QPainterPath outlines;
        outlines.addText(QPointF(0, 0), font, text);
        // A cut text's underline is cut with it: a stroke is as long as the text.
        if (underline && cut)
            outlines.addRect(QRectF(-0.5, underlineAt.y1() - 0.5, advance + 1, 1));
        fillOutlines(painter, outlines, toQt(op.colour), cut);
    } else if (vectors) {
        painter.drawText(QPointF(0, 0), text);
    } else {
        painter.drawStaticText(QPointF(0, -metrics.ascent), shaped.layout);
    }
    if (underline && !cut) painter.drawLine(underlineAt);
    painter.setPen(pen);
    painter.setWorldTransform(toDevice);
}

// PNG and JPEG by Qt's readers, raw rasters as the reader decoded them.
struct QtImageCodec {
    static std::uint64_t declaredPixels(const RasterImage& raster) {
        if (raster.encoding == RasterImage::Encoding::rgba) return opcodePixelsOf(raster);
        const QByteArray bytes = QByteArray::fromRawData(
            reinterpret_cast<const char*>(raster.bytes.data()),
            static_cast<qsizetype>(std::min<std::size_t>(raster.bytes.size(), INT32_MAX)));
        QBuffer buffer;
        buffer.setData(bytes);
        const QSize size = QImageReader(&buffer).size();
        return size.isValid() ? std::uint64_t(size.width()) * std::uint64_t(size.height()) : 0;
    }
    static QImage decode(const RasterImage& raster) {
        if (raster.encoding != RasterImage::Encoding::rgba) {
            return QImage::fromData(raster.bytes.data(), static_cast<int>(std::min<std::size_t>(
                                                             raster.bytes.size(), INT32_MAX)));
        }
        if (raster.bytes.size() < std::size_t(raster.columns) * std::size_t(raster.rows) * 4)
            return {};
        return QImage(raster.bytes.data(), raster.columns, raster.rows, raster.columns * 4,
                      QImage::Format_RGBA8888)
            .copy();
    }
    static std::uint64_t pixelsOf(const QImage& image) {
        return std::uint64_t(image.width()) * std::uint64_t(image.height());
    }
};

using PaintImages = ImageBook<QtImageCodec>;

// PDF and SVG readers smooth an enlarged image. On a vector page each pixel is made a
// block of pixels first (up to a picture of kLargestBlockImage a side), so that readers
// show the pixels as the window does.
void drawAsBlocks(QPainter& painter, const QImage& image, double enlargement) {
    const double room = kLargestBlockImage / std::max(image.width(), image.height());
    const int factor = clampToInt(std::floor(std::min(enlargement, room)), 1, 1 << 16);
    if (factor <= 1) {
        painter.drawImage(QPointF(0, 0), image);
        return;
    }
    const QImage blocks = image.scaled(image.width() * factor, image.height() * factor,
                                       Qt::IgnoreAspectRatio, Qt::FastTransformation);
    painter.drawImage(QRectF(0, 0, image.width(), image.height()), blocks);
}

// The image fills the rectangle of its two corners, its top row at the top.
void drawImage(QPainter& painter, const DrawOp& op, PaintImages& images) {
    const QImage* found = images.find(op.detail);
    if (found == nullptr || op.points.size() < 2) return;
    const QImage& image = *found;
    const QPointF low = toQt(op.points[0]), high = toQt(op.points[1]);
    const QTransform imageToLogical((high.x() - low.x()) / image.width(), 0, 0,
                                    -(high.y() - low.y()) / image.height(), low.x(), high.y());
    painter.save();
    painter.setWorldTransform(imageToLogical * painter.worldTransform());
    // Enlarged images show their pixels, as a raster in a drawing should; reduced ones
    // are smoothed.
    const double enlargement = deviceScaleOf(painter);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, enlargement < 1);
    if (drawsVectors(painter)) {
        drawAsBlocks(painter, image, enlargement);
    } else {
        painter.drawImage(QPointF(0, 0), image);
    }
    painter.restore();
}

// What a paint keeps from one operation to the next.
struct PaintBooks {
    FontBook fonts;
    PaintImages images;
};

void drawOp(QPainter& painter, const W2dGraphics& graphics, const DrawOp& op, PaintBooks& books) {
    const auto& points = op.points;
    switch (op.kind) {
        case OpKind::line:
        case OpKind::polyline:
            painter.setPen(penFor(painter, graphics, op));
            painter.drawPolyline(polygonOf(points, 0, points.size()));
            break;
        case OpKind::polygon:
            fillPolygon(painter, polygonOf(points, 0, points.size()), brushFor(op),
                        Qt::OddEvenFill);
            break;
        case OpKind::polytriangle:
            for (std::size_t i = 2; i < points.size(); ++i) {
                fillPolygon(painter, polygonOf(points, i - 2, 3), brushFor(op), Qt::WindingFill);
            }
            break;
        case OpKind::circle:
        case OpKind::arc:
            drawCurve(painter, graphics, op, op.radius, op.radius);
            break;
        case OpKind::ellipse:
            drawCurve(painter, graphics, op, op.radius, op.minorRadius);
            break;
        case OpKind::gouraudTriangles:
            for (std::size_t i = 2; i < points.size() && i < op.vertexColours.size(); ++i)
                drawGouraudTriangle(painter, op, i - 2);
            break;
        case OpKind::gouraudPolyline:
            drawGouraudPolyline(painter, graphics, op);
            break;
        case OpKind::contourSet:
            fillPath(painter, contourPath(points, op.contours), brushFor(op), Qt::OddEvenFill);
            break;
        case OpKind::text:
            drawText(painter, graphics, op, books.fonts);
            break;
        case OpKind::image:
            drawImage(painter, op, books.images);
            break;
    }
}

// A viewport's clip in logical units, inside by the even-odd rule; none without one.
std::optional<QPainterPath> clipPathOf(const W2dGraphics& graphics, int clip) {
    if (clip < 0 || clip >= static_cast<int>(graphics.clips.size())) return std::nullopt;
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const auto& contour : graphics.clips[static_cast<std::size_t>(clip)].contours) {
        path.addPolygon(polygonOf(contour, 0, contour.size()));
        path.closeSubpath();
    }
    return path;
}

// Everything is clipped to the paper; a viewport's clip narrows that further.
void applyClip(QPainter& painter, const W2dGraphics& graphics, int clip, const QRectF& paper) {
    const QTransform toDevice = painter.worldTransform();
    painter.resetTransform();
    painter.setClipRect(paper);
    painter.setWorldTransform(toDevice);
    if (const auto path = clipPathOf(graphics, clip)) painter.setClipPath(*path, Qt::IntersectClip);
}

// Qt's SVG generator writes no clip paths, so on it what a viewport clips is cut to the
// clip here: a fill's shape, or a line's outline filled. Texts, images and Gouraud
// shading cannot be cut so and are drawn whole (false).
bool drawCut(QPainter& painter, const W2dGraphics& graphics, const DrawOp& op,
             const QPainterPath& clip) {
    const auto& points = op.points;
    const auto outlineOf = [&](const QPolygonF& line) {
        QPainterPath path;
        path.addPolygon(line);
        return QPainterPathStroker(penFor(painter, graphics, op)).createStroke(path);
    };
    QPainterPath shape;
    QBrush brush = brushFor(op);
    switch (op.kind) {
        case OpKind::line:
        case OpKind::polyline:
            shape = outlineOf(polygonOf(points, 0, points.size()));
            brush = QBrush(toQt(op.colour));
            break;
        case OpKind::polygon:
            shape.addPolygon(polygonOf(points, 0, points.size()));
            shape.setFillRule(Qt::OddEvenFill);
            break;
        case OpKind::polytriangle:
            for (std::size_t i = 2; i < points.size(); ++i)
                shape.addPolygon(polygonOf(points, i - 2, 3));
            shape.setFillRule(Qt::WindingFill);
            break;
        case OpKind::circle:
        case OpKind::arc:
        case OpKind::ellipse: {
            if (points.empty()) return true;
            const double minor = op.kind == OpKind::ellipse ? op.minorRadius : op.radius;
            QPolygonF curve = curveOf(op, op.radius, minor, deviceScaleOf(painter));
            if (!op.fill) {
                shape = outlineOf(curve);
                brush = QBrush(toQt(op.colour));
                break;
            }
            if (op.endTurns - op.startTurns < 1.0) curve << toQt(points[0]);
            shape.addPolygon(curve);
            shape.setFillRule(Qt::OddEvenFill);
            break;
        }
        case OpKind::contourSet:
            shape = contourPath(points, op.contours);
            shape.setFillRule(Qt::OddEvenFill);
            break;
        default:
            return false;
    }
    const QPainterPath cut = shape.intersected(clip);
    if (!cut.isEmpty()) fillPath(painter, cut, brush, cut.fillRule());
    return true;
}

DeviceRows deviceRowsOf(const QPainter& painter) {
    const QTransform& toDevice = painter.worldTransform();
    const QPaintDevice* device = painter.device();
    return {toDevice.m12(), toDevice.m22(), toDevice.dy(),
            device != nullptr ? static_cast<double>(device->height()) : 0.0};
}

// Thin solid lines of one pen drawn one after another go to Qt in one call: a sheet of
// a million segments is drawn in a few thousand calls.
bool sameThinPen(const DrawOp& a, const DrawOp& b) {
    return a.colour == b.colour && a.lineWeight == b.lineWeight && a.clip == b.clip &&
           a.linePattern == b.linePattern && a.dashes == b.dashes && a.cap == b.cap &&
           a.join == b.join;
}

bool isThinLine(const DrawOp& op) {
    return (op.kind == OpKind::line || op.kind == OpKind::polyline) && op.lineWeight <= 0 &&
           op.linePattern <= 1 && op.dashes < 0;
}

std::size_t drawThinLines(QPainter& painter, const W2dGraphics& graphics, std::size_t first) {
    const auto& ops = graphics.ops;
    QList<QLineF> lines;
    std::size_t next = first;
    for (; next < ops.size() && isThinLine(ops[next]) && sameThinPen(ops[first], ops[next]);
         ++next) {
        const auto& points = ops[next].points;
        for (std::size_t i = 1; i < points.size(); ++i)
            lines.append(QLineF(toQt(points[i - 1]), toQt(points[i])));
    }
    painter.setPen(penFor(painter, graphics, ops[first]));
    painter.drawLines(lines);
    return next;
}

}  // namespace

void drawSheet(QPainter& painter, const Sheet& sheet, const QRectF& target,
               const ViewAdjustment& adjustment) {
    QTransform logicalToPage;
    const QRectF page = pageOf(sheet, logicalToPage);
    const QTransform toDevice = pageToDevice(page, target, adjustment);
    painter.save();
    const QRectF paper = toDevice.mapRect(page);
    painter.fillRect(paper, Qt::white);
    painter.setWorldTransform(logicalToPage * toDevice);
    const W2dGraphics& graphics = sheet.graphics;
    int clip = -1;
    applyClip(painter, graphics, clip, paper);
    PaintBooks books{{}, PaintImages(graphics.images)};
    const QPaintEngine* engine = painter.paintEngine();
    const bool cutsClips = engine != nullptr && engine->type() == QPaintEngine::SVG;
    // Vector devices only record a clip; setting one costs the raster engine its rows.
    const bool rastersClips = engine != nullptr && engine->type() == QPaintEngine::Raster;
    std::optional<QPainterPath> cut;
    ClipWork clipWork(graphics.clips, deviceRowsOf(painter));
    for (std::size_t i = 0; i < graphics.ops.size();) {
        const DrawOp& op = graphics.ops[i];
        if (op.clip != clip) {
            if (rastersClips && !clipWork.affords(op.clip)) {
                ++i;
                continue;
            }
            applyClip(painter, graphics, clip = op.clip, paper);
            if (cutsClips) cut = clipPathOf(graphics, clip);
        }
        if (cut && drawCut(painter, graphics, op, *cut)) {
            ++i;
            continue;
        }
        if (isThinLine(op) && op.points.size() >= 2) {
            i = drawThinLines(painter, graphics, i);
            continue;
        }
        drawOp(painter, graphics, op, books);
        ++i;
    }
    painter.restore();
}

QPageSize pageSizeOfShape(double width, double height, double longSideMillimetres) {
    const double longSide = std::max(width, height);
    if (!(longSide > 0) || !std::isfinite(longSide))
        return pageSizeOfShape(1, 1, longSideMillimetres);
    const double mm = longSideMillimetres / longSide;
    return QPageSize(QSizeF(std::max(width * mm, 1.0), std::max(height * mm, 1.0)),
                     QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
}

QPageSize pageSizeOf(const Sheet& sheet) {
    if (!sheet.paper) {
        const QRectF page = logicalPage(sheet);
        return pageSizeOfShape(page.width(), page.height());
    }
    const double millimetresPerUnit = sheet.paper->millimetres ? 1 : 25.4;
    const double width = sheet.paper->width * millimetresPerUnit;
    const double height = sheet.paper->height * millimetresPerUnit;
    // PDF readers take pages of at most 200 inches a side; a larger paper keeps its shape.
    if (std::max(width, height) > kLargestPageMillimetres || !std::isfinite(width + height))
        return pageSizeOfShape(width, height, kLargestPageMillimetres);
    return QPageSize(QSizeF(sheet.paper->width, sheet.paper->height),
                     sheet.paper->millimetres ? QPageSize::Millimeter : QPageSize::Inch, QString(),
                     QPageSize::ExactMatch);
}

void drawPicture(QPainter& painter, const QImage& picture, const QRectF& target) {
    if (picture.isNull() || target.isEmpty()) return;
    const double scale =
        std::min(target.width() / picture.width(), target.height() / picture.height());
    const QSizeF size(picture.width() * scale, picture.height() * scale);
    const QRectF placed(target.center() - QPointF(size.width() / 2, size.height() / 2), size);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(placed, picture);
    painter.restore();
}

}  // namespace plotwick
