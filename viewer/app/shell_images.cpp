#include "app/shell_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
#include <numbers>

#include "shell/shell_texts.h"

namespace tessaro {

namespace {

constexpr int kCursorSide = 32;

// An arrow head at `tip` pointing along the angle `radians` (screen y down).
QPolygonF arrowHead(QPointF tip, double radians, double length) {
    const double spread = 0.5;
    const QPointF back1(tip.x() - length * std::cos(radians - spread),
                        tip.y() - length * std::sin(radians - spread));
    const QPointF back2(tip.x() - length * std::cos(radians + spread),
                        tip.y() - length * std::sin(radians + spread));
    return QPolygonF({tip, back1, back2});
}

// Two arcs that chase each other around the centre, each ending in a head.
QPainterPath rotatePath(QPointF centre, double radius) {
    QPainterPath path;
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    const double head = radius * 0.7;
    for (const double start : {20.0, 200.0}) {
        path.arcMoveTo(box, start);
        path.arcTo(box, start, 130.0);
        // The arc runs counter-clockwise on screen; the head points along its end.
        const double end = (start + 130.0) * std::numbers::pi / 180.0;
        const QPointF tip(centre.x() + radius * std::cos(end), centre.y() - radius * std::sin(end));
        path.addPolygon(arrowHead(tip, -end - std::numbers::pi / 2, head));
        path.closeSubpath();
    }
    return path;
}

// A cross with a head at each of its four ends.
QPainterPath panPath(QPointF centre, double reach) {
    QPainterPath path;
    const double head = reach * 0.45;
    const QPointF ends[4] = {{reach, 0}, {0, reach}, {-reach, 0}, {0, -reach}};
    for (int i = 0; i < 4; ++i) {
        path.moveTo(centre);
        path.lineTo(centre + ends[i]);
        path.addPolygon(arrowHead(centre + ends[i], i * std::numbers::pi / 2, head));
        path.closeSubpath();
    }
    return path;
}

// A lens around `centre` with a plus inside and a handle towards the lower right.
QPainterPath magnifierPath(QPointF centre, double radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    const double arm = radius * 0.55;
    path.moveTo(centre.x() - arm, centre.y());
    path.lineTo(centre.x() + arm, centre.y());
    path.moveTo(centre.x(), centre.y() - arm);
    path.lineTo(centre.x(), centre.y() + arm);
    const double diagonal = radius / std::numbers::sqrt2;
    path.moveTo(centre.x() + diagonal, centre.y() + diagonal);
    path.lineTo(centre.x() + 2.2 * radius, centre.y() + 2.2 * radius);
    return path;
}

// A wire cube seen from above and the right: the view a load starts with.
QPainterPath cubePath(QRectF box) {
    const double d = box.width() * 0.3;
    const QRectF front(box.left(), box.top() + d, box.width() - d, box.height() - d);
    QPainterPath path;
    path.addRect(front);
    path.moveTo(front.topLeft());
    path.lineTo(front.left() + d, box.top());
    path.lineTo(box.right(), box.top());
    path.lineTo(box.right(), front.bottom() - d);
    path.lineTo(front.bottomRight());
    path.moveTo(front.topRight());
    path.lineTo(box.right(), box.top());
    return path;
}

QPainterPath toolPath(int button, QPointF centre, double reach) {
    switch (button) {
        case 0:
            return rotatePath(centre, reach * 0.75);
        case 1:
            return panPath(centre, reach);
        case 2:
            return magnifierPath(centre - QPointF(reach * 0.25, reach * 0.25), reach * 0.5);
        default:
            return cubePath(QRectF(centre.x() - reach, centre.y() - reach, 2 * reach, 2 * reach));
    }
}

void strokeButton(QPainter& painter, int button) {
    const double side = kToolbarButtonSide;
    const QPointF centre(button * side + side / 2, side / 2);
    painter.setPen(QPen(QColor(0, 0, 128), 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(toolPath(button, centre, side / 2 - 2));
}

// Black on a white rim, so the cursor shows on dark and light pictures alike.
QPixmap outlinedCursor(const QPainterPath& path) {
    QPixmap pixmap(kCursorSide, kCursorSide);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    painter.setPen(QPen(Qt::black, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    return pixmap;
}

}  // namespace

QPixmap toolbarStrip() {
    QPixmap strip(kToolbarButtons * kToolbarButtonSide, kToolbarButtonSide);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int button = 0; button < kToolbarButtons; ++button)
        strokeButton(painter, button);
    return strip;
}

QIcon toolbarIcon(int index) {
    return QIcon(
        toolbarStrip().copy(index * kToolbarButtonSide, 0, kToolbarButtonSide, kToolbarButtonSide));
}

QPixmap toolCursorPixmap(NavigationMode mode) {
    const CursorShape shape = cursorFor(mode);
    const QPointF hot(shape.hotX, shape.hotY);
    switch (mode) {
        case NavigationMode::examine:
            return outlinedCursor(rotatePath(hot, 10));
        case NavigationMode::pan:
            return outlinedCursor(panPath(hot, 12));
        case NavigationMode::zoom:
            return outlinedCursor(magnifierPath(hot, 7));
        default:
            return QPixmap();
    }
}

QCursor toolCursor(NavigationMode mode) {
    const CursorShape shape = cursorFor(mode);
    if (shape.resource == 0) return QCursor(Qt::ArrowCursor);
    return QCursor(toolCursorPixmap(mode), shape.hotX, shape.hotY);
}

QPixmap appIconPixmap(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 64.0, side / 64.0);
    const QPointF a(32, 4), b(4, 58), c(60, 58);
    const QPointF ab = (a + b) / 2, bc = (b + c) / 2, ca = (c + a) / 2;
    painter.setPen(QPen(QColor(20, 30, 80), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const QColor shades[4] = {{90, 140, 220}, {60, 100, 190}, {120, 170, 235}, {40, 70, 150}};
    const QPolygonF facets[4] = {{{a, ab, ca}}, {{ab, b, bc}}, {{ca, bc, c}}, {{ab, bc, ca}}};
    for (int i = 0; i < 4; ++i) {
        painter.setBrush(shades[i]);
        painter.drawPolygon(facets[i]);
    }
    return pixmap;
}

QIcon appIcon() {
    QIcon icon;
    for (const int side : {16, 32, 48, 64})
        icon.addPixmap(appIconPixmap(side));
    return icon;
}

}  // namespace tessaro
