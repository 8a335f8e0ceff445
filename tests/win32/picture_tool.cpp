// Picture helpers for the wine tests, over Qt's image I/O (BMP and PNG):
//   picture_tool compare A B TOLERANCE MAX_PERCENT DIFF.png [MASK]
//                                                              pictures agree outside
//                                                              MASK ("x,y,w,h;...")?
//   picture_tool ink IMAGE X Y W H                            box of the dark pixels
//   picture_tool count IMAGE R G B [TOLERANCE]    pixels of one colour (each channel
//                                                 within TOLERANCE: a shaded surface)
//   picture_tool rect IMAGE R G B              largest rectangle of one colour: W H
//   picture_tool grab OUT.png                                 screenshot of $DISPLAY
//   picture_tool png IN OUT.png                               convert, to look at it
//   picture_tool resize TITLE W H                             resize an X window by name
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "x_window.h"

namespace {

constexpr int kEdgeSlack = 1;

int channelDistance(QRgb a, QRgb b) {
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

// Two rasterisers put edges up to a pixel apart, so a pixel differs only when no pixel
// next to it in the other picture is within the tolerance in every channel.
bool matchesNearby(const QImage& other, int x, int y, QRgb colour, int tolerance) {
    for (int dy = -kEdgeSlack; dy <= kEdgeSlack; ++dy) {
        for (int dx = -kEdgeSlack; dx <= kEdgeSlack; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= other.width() || ny >= other.height()) continue;
            if (channelDistance(other.pixel(nx, ny), colour) <= tolerance) return true;
        }
    }
    return false;
}

// Rectangles "x,y,w,h" separated by ';'.
QList<QRect> rectanglesOf(const QString& text) {
    QList<QRect> rectangles;
    for (const QString& part : text.split(';', Qt::SkipEmptyParts)) {
        const QStringList n = part.split(',');
        if (n.size() == 4)
            rectangles << QRect(n[0].toInt(), n[1].toInt(), n[2].toInt(), n[3].toInt());
    }
    return rectangles;
}

bool masked(const QList<QRect>& mask, int x, int y) {
    return std::any_of(mask.begin(), mask.end(), [&](const QRect& r) { return r.contains(x, y); });
}

// At most MAX_PERCENT of the pixels outside the mask may differ, in either direction.
// The differing pixels are painted red on a faded copy for a person to see, the masked
// ones blue.
int compare(const QImage& a, const QImage& b, int tolerance, double maxPercent,
            const QString& diffPath, const QList<QRect>& mask) {
    if (a.isNull() || b.isNull() || a.size() != b.size()) {
        std::printf("pictures missing or of different sizes\n");
        return 1;
    }
    QImage diff = a.convertToFormat(QImage::Format_RGB32);
    long differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const bool differs = !matchesNearby(b, x, y, a.pixel(x, y), tolerance) ||
                                 !matchesNearby(a, x, y, b.pixel(x, y), tolerance);
            const bool hidden = masked(mask, x, y);
            differing += differs && !hidden;
            const QRgb faded = qRgb(128 + qGray(a.pixel(x, y)) / 2, 128 + qGray(a.pixel(x, y)) / 2,
                                    128 + qGray(a.pixel(x, y)) / 2);
            diff.setPixel(x, y, !differs ? faded : hidden ? qRgb(0, 0, 255) : qRgb(255, 0, 0));
        }
    }
    const double percent = 100.0 * differing / (double(a.width()) * a.height());
    diff.save(diffPath, "PNG");
    std::printf("%.2f%% of the pixels differ by more than %d (at most %.2f%% allowed)\n", percent,
                tolerance, maxPercent);
    return percent <= maxPercent ? 0 : 1;
}

bool sameColour(QRgb a, QRgb b) {
    return (a & 0xffffff) == (b & 0xffffff);
}

long count(const QImage& image, QRgb colour, int tolerance) {
    long found = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            found += tolerance == 0 ? sameColour(image.pixel(x, y), colour)
                                    : channelDistance(image.pixel(x, y), colour) <= tolerance;
    return found;
}

// The largest rectangle (by area) whose every pixel has the colour: each row turns the
// columns into bars of the colour's run length above it, and the largest rectangle
// under the bars is found with a stack of rising bars.
std::pair<int, int> largestRectangle(const QImage& image, QRgb colour) {
    std::vector<int> bars(image.width() + 1, 0);  // the extra bar of 0 empties the stack
    std::pair<int, int> best{0, 0};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            bars[x] = sameColour(image.pixel(x, y), colour) ? bars[x] + 1 : 0;
        std::vector<int> rising;
        for (int x = 0; x <= image.width(); ++x) {
            while (!rising.empty() && bars[rising.back()] >= bars[x]) {
                const int height = bars[rising.back()];
                rising.pop_back();
                const int width = rising.empty() ? x : x - rising.back() - 1;
                if (long(width) * height > long(best.first) * best.second) best = {width, height};
            }
            rising.push_back(x);
        }
    }
    return best;
}

// "left top width height" of the dark pixels (all channels below 100) in the area.
QRect ink(const QImage& image, const QRect& area) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!image.rect().contains(x, y)) continue;
            const QRgb p = image.pixel(x, y);
            if (qRed(p) < 100 && qGreen(p) < 100 && qBlue(p) < 100) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

int usage() {
    std::fprintf(stderr, "usage: picture_tool compare|count|grab|ink|png|rect|resize ...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "grab" && argc == 3) {
        QGuiApplication application(argc, argv);
        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
        return shot.save(argv[2], "PNG") ? 0 : 1;
    }
    if (mode == "compare" && (argc == 7 || argc == 8)) {
        return compare(QImage(argv[2]), QImage(argv[3]), std::atoi(argv[4]), std::atof(argv[5]),
                       argv[6], rectanglesOf(argc == 8 ? argv[7] : ""));
    }
    if (mode == "ink" && argc == 7) {
        const QRect box = ink(QImage(argv[2]), QRect(std::atoi(argv[3]), std::atoi(argv[4]),
                                                     std::atoi(argv[5]), std::atoi(argv[6])));
        std::printf("%d %d %d %d\n", box.left(), box.top(), box.width(), box.height());
        return box.isEmpty() ? 1 : 0;
    }
    if (mode == "count" && (argc == 6 || argc == 7)) {
        const QRgb colour = qRgb(std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5]));
        std::printf("%ld\n", count(QImage(argv[2]), colour, argc == 7 ? std::atoi(argv[6]) : 0));
        return 0;
    }
    if (mode == "rect" && argc == 6) {
        const auto [width, height] = largestRectangle(
            QImage(argv[2]), qRgb(std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])));
        std::printf("%d %d\n", width, height);
        return 0;
    }
    if (mode == "resize" && argc == 5)
        return resizeWindowNamed(argv[2], std::atoi(argv[3]), std::atoi(argv[4])) ? 0 : 1;
    if (mode == "png" && argc == 4) return QImage(argv[2]).save(argv[3], "PNG") ? 0 : 1;
    return usage();
}
