// Draws what the DWF reader makes of arbitrary bytes with Plotwick's painter, into a
// small image, at a zoom and pan the input chooses: the painter must stay defined
// (no float-to-int overflow, no unbounded fill work) for every coordinate a stream
// can hold and every place the user can move the page to.
//
// Input layout, that of the stream fuzzer so that its corpus seeds this one: byte 0
// bit 0 selects how the rest is read (a whole file; else a 2D graphics stream behind
// a valid header), bits 1-3 pick a zoom and bits 4-6 a pan.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "dwf/dwf_document.h"
#include "dwf/sheet_painter.h"

namespace {

constexpr std::uint8_t kWholeFile = 1;
constexpr std::string_view kHeader = "(W2D V06.00)";
constexpr double kZooms[8] = {1, 0.05, 0.5, 2, 37.5, 1000, 10000, 1.25};
constexpr double kPans[8] = {0, 1, -7, 40, -300, 5000, -1e5, 1e7};

// Text needs fonts, and fonts need an application; one serves every input.
void ensureApplication() {
    static int argc = 1;
    static char name[] = "dwf_painter_fuzzer";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* application = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QGuiApplication(argc, argv);
    }();
    (void)application;
}

plotwick::DwfDocument readInput(const std::uint8_t* data, std::size_t size, bool wholeFile) {
    if (wholeFile) return plotwick::readDwf({data, size});
    std::vector<std::uint8_t> stream(kHeader.begin(), kHeader.end());
    stream.insert(stream.end(), data, data + size);
    return plotwick::readDwf(stream);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    ensureApplication();
    const std::uint8_t mode = data[0];
    const plotwick::DwfDocument document =
        readInput(data + 1, size - 1, (mode & kWholeFile) != 0);
    plotwick::ViewAdjustment adjustment;
    adjustment.zoom = kZooms[(mode >> 1) & 7];
    adjustment.pan = {kPans[(mode >> 4) & 7], -kPans[(mode >> 4) & 7] / 3};
    QImage image(96, 72, QImage::Format_ARGB32_Premultiplied);
    for (const plotwick::Sheet& sheet : document.sheets) {
        image.fill(Qt::gray);
        QPainter painter(&image);
        plotwick::drawSheet(painter, sheet, QRectF(0, 0, 96, 72), adjustment);
    }
    return 0;
}
