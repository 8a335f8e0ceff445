#include "dwf/sheet_painter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainterPath>
#include <QPolygonF>
#include <QString>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace plotwick {
namespace {

// Qt cannot fill with three colours, so a Gouraud triangle is drawn as rows of flat
// sub-triangles about this many device pixels high: small enough that the steps do
// not show, bounded so that a zoomed-in triangle stays cheap.
constexpr double kGouraudStepPixels = 4;
constexpr int kGouraudMaxRows = 48;
constexpr int kCurveSegmentsPerTurn = 128;
constexpr int kDefaultTextPixels = 12;

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

QPolygonF polygonOf(const std::vector<LogicalPoint>& points, std::size_t first, std::size_t count) {
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(count));
    for (std::size_t i = first; i < first + count; ++i)
        polygon << toQt(points[i]);
    return polygon;
}

QPen penFor(const DrawOp& op) {
    QPen pen(toQt(op.colour));
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    if (op.lineWeight > 0) {
        pen.setWidthF(static_cast<double>(op.lineWeight));
    } else {
        pen.setCosmetic(true);  // one device pixel at any zoom
        pen.setWidth(0);
    }
    return pen;
}

void fillPolygon(QPainter& painter, const QPolygonF& polygon, const QColor& colour,
                 Qt::FillRule rule) {
    QPainterPath path;
    path.setFillRule(rule);
    path.addPolygon(polygon);
    path.closeSubpath();
    painter.fillPath(path, colour);
}

// Points of an elliptical curve from `start` to `end` turns, counter-clockwise.
QPolygonF curveOf(const DrawOp& op, double major, double minor) {
    const QPointF centre = toQt(op.points[0]);
    const double tilt = 2 * std::numbers::pi * op.tiltTurns;
    const double sweep = op.endTurns - op.startTurns;
    const int segments = std::max(8, static_cast<int>(std::ceil(sweep * kCurveSegmentsPerTurn)));
    QPolygonF curve;
    for (int i = 0; i <= segments; ++i) {
        const double angle = 2 * std::numbers::pi * (op.startTurns + sweep * i / segments);
        const double x = major * std::cos(angle);
        const double y = minor * std::sin(angle);
        curve << centre + QPointF(x * std::cos(tilt) - y * std::sin(tilt),
                                  x * std::sin(tilt) + y * std::cos(tilt));
    }
    return curve;
}

void drawCurve(QPainter& painter, const DrawOp& op, double major, double minor) {
    const QPolygonF curve = curveOf(op, major, minor);
    const bool whole = op.endTurns - op.startTurns >= 1.0;
    if (op.fill && whole) {
        fillPolygon(painter, curve, toQt(op.colour), Qt::OddEvenFill);
    } else {
        painter.setPen(penFor(op));
        painter.drawPolyline(curve);
    }
}

QColor mix(const Rgba& a, const Rgba& b, const Rgba& c, double wa, double wb, double wc) {
    auto channel = [&](std::uint8_t Rgba::*member) {
        return static_cast<int>(
            std::lround(wa * (a.*member) + wb * (b.*member) + wc * (c.*member)));
    };
    return QColor(channel(&Rgba::r), channel(&Rgba::g), channel(&Rgba::b), channel(&Rgba::a));
}

int gouraudRows(const QPainter& painter, const QPointF (&p)[3]) {
    const QTransform& toDevice = painter.worldTransform();
    double longest = 0;
    for (int i = 0; i < 3; ++i) {
        const QPointF edge = toDevice.map(p[i]) - toDevice.map(p[(i + 1) % 3]);
        longest = std::max(longest, std::hypot(edge.x(), edge.y()));
    }
    return std::clamp(static_cast<int>(std::ceil(longest / kGouraudStepPixels)), 1,
                      kGouraudMaxRows);
}

// One Gouraud triangle as rows of flat triangles, each in the colour of its centre.
void drawGouraudTriangle(QPainter& painter, const DrawOp& op, std::size_t first) {
    const QPointF p[3] = {toQt(op.points[first]), toQt(op.points[first + 1]),
                          toQt(op.points[first + 2])};
    const Rgba* c = &op.vertexColours[first];
    const int n = gouraudRows(painter, p);
    auto at = [&](double i, double j) {
        const double wb = i / n, wc = j / n, wa = 1 - wb - wc;
        return std::pair{p[0] * wa + p[1] * wb + p[2] * wc, mix(c[0], c[1], c[2], wa, wb, wc)};
    };
    for (int i = 0; i < n; ++i) {
        for (int j = 0; i + j < n; ++j) {
            const auto centre = at(i + 1.0 / 3, j + 1.0 / 3);
            fillPolygon(painter, QPolygonF{at(i, j).first, at(i + 1, j).first, at(i, j + 1).first},
                        centre.second, Qt::WindingFill);
            if (i + j + 1 < n) {
                const auto upper = at(i + 2.0 / 3, j + 2.0 / 3);
                fillPolygon(
                    painter,
                    QPolygonF{at(i + 1, j).first, at(i + 1, j + 1).first, at(i, j + 1).first},
                    upper.second, Qt::WindingFill);
            }
        }
    }
}

void drawGouraudPolyline(QPainter& painter, const DrawOp& op) {
    for (std::size_t i = 1; i < op.points.size(); ++i) {
        QLinearGradient gradient(toQt(op.points[i - 1]), toQt(op.points[i]));
        gradient.setColorAt(0, toQt(op.vertexColours[i - 1]));
        gradient.setColorAt(1, toQt(op.vertexColours[i]));
        QPen pen = penFor(op);
        pen.setBrush(gradient);
        painter.setPen(pen);
        painter.drawLine(toQt(op.points[i - 1]), toQt(op.points[i]));
    }
}

QPainterPath contourPath(const std::vector<LogicalPoint>& points,
                         const std::vector<std::uint32_t>& sizes) {
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    std::size_t first = 0;
    for (std::uint32_t size : sizes) {
        if (first + size > points.size()) break;
        path.addPolygon(polygonOf(points, first, size));
        path.closeSubpath();
        first += size;
    }
    return path;
}

void drawText(QPainter& painter, const DrawOp& op) {
    const QTransform toDevice = painter.worldTransform();
    const double scale = std::sqrt(std::abs(toDevice.determinant()));
    QFont font(QStringLiteral("Sans Serif"));
    font.setPixelSize(std::max(
        1, op.textHeight > 0 ? static_cast<int>(op.textHeight * scale) : kDefaultTextPixels));
    painter.save();
    painter.resetTransform();
    painter.setFont(font);
    painter.setPen(toQt(op.colour));
    painter.drawText(toDevice.map(toQt(op.points[0])), QString::fromStdU16String(op.text));
    painter.restore();
}

void drawOp(QPainter& painter, const DrawOp& op) {
    const QColor colour = toQt(op.colour);
    const auto& points = op.points;
    switch (op.kind) {
        case OpKind::line:
        case OpKind::polyline:
            painter.setPen(penFor(op));
            painter.drawPolyline(polygonOf(points, 0, points.size()));
            break;
        case OpKind::polygon:
            fillPolygon(painter, polygonOf(points, 0, points.size()), colour, Qt::OddEvenFill);
            break;
        case OpKind::polytriangle:
            for (std::size_t i = 2; i < points.size(); ++i) {
                fillPolygon(painter, polygonOf(points, i - 2, 3), colour, Qt::WindingFill);
            }
            break;
        case OpKind::circle:
        case OpKind::arc:
            drawCurve(painter, op, op.radius, op.radius);
            break;
        case OpKind::ellipse:
            drawCurve(painter, op, op.radius, op.minorRadius);
            break;
        case OpKind::gouraudTriangles:
            for (std::size_t i = 2; i < points.size(); ++i)
                drawGouraudTriangle(painter, op, i - 2);
            break;
        case OpKind::gouraudPolyline:
            drawGouraudPolyline(painter, op);
            break;
        case OpKind::contourSet:
            painter.fillPath(contourPath(points, op.contours), colour);
            break;
        case OpKind::text:
            drawText(painter, op);
            break;
    }
}

// Everything is clipped to the paper; a viewport's clip narrows that further.
void applyClip(QPainter& painter, const W2dGraphics& graphics, int clip, const QRectF& paper) {
    const QTransform toDevice = painter.worldTransform();
    painter.resetTransform();
    painter.setClipRect(paper);
    painter.setWorldTransform(toDevice);
    if (clip < 0 || clip >= static_cast<int>(graphics.clips.size())) return;
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    for (const auto& contour : graphics.clips[static_cast<std::size_t>(clip)].contours) {
        path.addPolygon(polygonOf(contour, 0, contour.size()));
        path.closeSubpath();
    }
    painter.setClipPath(path, Qt::IntersectClip);
}

}  // namespace

QTransform sheetToDevice(const Sheet& sheet, const QRectF& target,
                         const ViewAdjustment& adjustment) {
    QTransform logicalToPage;
    const QRectF page = pageOf(sheet, logicalToPage);
    return logicalToPage * pageToDevice(page, target, adjustment);
}

void drawSheet(QPainter& painter, const Sheet& sheet, const QRectF& target,
               const ViewAdjustment& adjustment) {
    QTransform logicalToPage;
    const QRectF page = pageOf(sheet, logicalToPage);
    const QTransform toDevice = pageToDevice(page, target, adjustment);
    painter.save();
    const QRectF paper = toDevice.mapRect(page);
    painter.fillRect(paper, Qt::white);
    painter.setWorldTransform(logicalToPage * toDevice);
    int clip = -1;
    applyClip(painter, sheet.graphics, clip, paper);
    for (const DrawOp& op : sheet.graphics.ops) {
        if (op.clip != clip) applyClip(painter, sheet.graphics, clip = op.clip, paper);
        drawOp(painter, op);
    }
    painter.restore();
}

}  // namespace plotwick
