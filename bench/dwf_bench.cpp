// Reading and drawing speed of the DWF component on a generated sheet of a million
// primitives: the stream read into the display list (MB/s of stream), and a full
// repaint of the sheet at 800x600 (seconds), each the median of several runs.
//
// dwf_bench [PRIMITIVES] [RUNS]
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "dwf/dwf_document.h"
#include "dwf/sheet_painter.h"
#include "dwf/w2d_reader.h"
#include "dwf/w2d_writer.h"

namespace {

using plotwick::LogicalPoint;
using plotwick::W2dWriter;

constexpr int kExtent = 200000;  // logical units across the sheet

// A drawing-like mix: short lines and polylines, arcs and circles, a filled polygon
// now and then, labels; the colour changes every 50 primitives.
std::vector<std::uint8_t> generateSheet(int primitives, bool withText) {
    std::mt19937 random(7);
    auto next = [&](int range) { return static_cast<int>(random() % range) - range / 2; };
    W2dWriter w;
    w.view({{0, 0}, {kExtent, kExtent}});
    w.moveTo({kExtent / 2, kExtent / 2});
    auto walk = [&](int step) {
        LogicalPoint p = w.current();
        p.x = std::clamp<std::int64_t>(p.x + next(step), 0, kExtent);
        p.y = std::clamp<std::int64_t>(p.y + next(step), 0, kExtent);
        return p;
    };
    w.byte(0x06);
    w.uint16(0x0020);
    w.int32(300);
    for (int i = 0; i < primitives; ++i) {
        if (i % 50 == 0) {
            w.colour({static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                      static_cast<std::uint8_t>(random()), 255});
        }
        const int kind = static_cast<int>(random() % 100);
        if (kind < 55) {
            w.byte(0x0C);
            w.relative16(walk(2000));
            w.relative16(walk(600));
        } else if (kind < 80) {
            w.byte(0x10);
            w.count(6);
            for (int k = 0; k < 6; ++k)
                w.relative16(walk(800));
        } else if (kind < 92) {
            w.byte(0x92);
            w.relative32(walk(3000));
            w.uint32(static_cast<std::uint32_t>(50 + random() % 400));
            w.uint16(static_cast<std::uint16_t>(random()));
            w.uint16(static_cast<std::uint16_t>(random()));
        } else if (kind < 96 || !withText) {
            w.fill(true);
            w.byte(0x10);
            w.count(4);
            for (int k = 0; k < 4; ++k)
                w.relative16(walk(500));
            w.fill(false);
        } else {
            w.byte('x');
            w.relative32(walk(3000));
            w.ascii("'LABEL " + std::to_string(i % 1000) + "'");
        }
    }
    w.end();
    return w.bytes();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work>
double seconds(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void measure(const char* name, int primitives, bool withText, int runs) {
    const std::vector<std::uint8_t> stream = generateSheet(primitives, withText);
    std::vector<double> reads, paints;
    plotwick::Sheet sheet;
    for (int run = 0; run < runs; ++run) {
        plotwick::W2dGraphics graphics;
        reads.push_back(seconds([&] { graphics = plotwick::readW2d(stream); }));
        std::swap(sheet.graphics, graphics);  // the old list is freed outside the timing
    }
    QImage image(800, 600, QImage::Format_RGB32);
    for (int run = 0; run < runs; ++run) {
        paints.push_back(seconds([&] {
            QPainter painter(&image);
            plotwick::drawSheet(painter, sheet, QRectF(image.rect()));
        }));
    }
    const double megabytes = static_cast<double>(stream.size()) / (1 << 20);
    std::printf("%-22s %9zu %8.1f %9.3f %8.0f %9.3f %s\n", name, sheet.graphics.ops.size(),
                megabytes, median(reads), megabytes / median(reads), median(paints),
                sheet.graphics.message.empty() ? "" : sheet.graphics.message.c_str());
    image.save(QString("dwf_bench_%1.png").arg(name));
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const int primitives = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    std::printf("%-22s %9s %8s %9s %8s %9s\n", "sheet", "ops", "MB", "read s", "MB/s", "paint s");
    measure("geometry", primitives, false, runs);
    measure("geometry+labels", primitives, true, runs);
    return 0;
}
