// Texts huge on the device, which the GDI painter fills as glyph outlines cut to the
// picture: the cut keeps what lies inside, and an outlined text lies where GDI's own
// drawing of it would, scaled.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "win32/gdi_objects.h"
#include "win32/gdi_sheet_painter.h"
#include "win32/glyph_outlines.h"

namespace plotwick {
namespace {

// Twice the signed area: its sign is the contour's turn, which the winding rule counts.
double doubleArea(const std::vector<OutlinePoint>& contour) {
    double sum = 0;
    for (std::size_t i = 0; i < contour.size(); ++i) {
        const OutlinePoint& a = contour[i];
        const OutlinePoint& b = contour[(i + 1) % contour.size()];
        sum += a.x * b.y - b.x * a.y;
    }
    return sum;
}

TEST(GlyphOutlines, CutKeepsTheContourInsideTheAreaWithItsTurn) {
    const OutlineArea area{0, 0, 10, 10};
    const struct {
        const char* what;
        std::vector<OutlinePoint> contour;
        double doubleArea;
    } cases[] = {
        {"inside", {{2, 2}, {8, 2}, {8, 8}, {2, 8}}, 72},
        {"outside", {{20, 20}, {30, 20}, {30, 30}}, 0},
        {"around the area", {{-1e9, -1e9}, {1e9, -1e9}, {1e9, 1e9}, {-1e9, 1e9}}, 200},
        {"around it, turned the other way", {{-50, -50}, {-50, 50}, {50, 50}, {50, -50}}, -200},
        {"across one side", {{5, 2}, {15, 5}, {5, 8}}, 45},
        {"across every corner", {{5, -3}, {13, 5}, {5, 13}, {-3, 5}}, 2 * (100 - 4 * 2)},
    };
    for (const auto& c : cases) {
        const std::vector<OutlinePoint> cut = cutContour(c.contour, area);
        EXPECT_NEAR(doubleArea(cut), c.doubleArea, 1e-6) << c.what;
        for (const OutlinePoint& p : cut) {
            EXPECT_TRUE(p.x >= 0 && p.x <= 10 && p.y >= 0 && p.y <= 10)
                << c.what << ": " << p.x << "," << p.y;
        }
    }
}

constexpr int kSize = 400;  // logical 0..1000 on both axes: 0.4 pixel per unit

// The box of the dark pixels of a text drawn alone on a white sheet.
struct Ink {
    int left = kSize, top = kSize, right = -1, bottom = -1;
    int pixels = 0;
};

Ink inkOf(const DrawOp& text, const TextStyle* style) {
    Sheet sheet;
    sheet.graphics.view = LogicalBox{{0, 0}, {1000, 1000}};
    if (style != nullptr) sheet.graphics.texts.push_back(*style);
    sheet.graphics.ops.push_back(text);
    if (style != nullptr) sheet.graphics.ops.back().detail = 0;
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const GdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    Ink ink;
    if (bits == nullptr) return ink;
    const Selection selected(dc.get(), bitmap.get());
    drawSheet(dc.get(), sheet, RECT{0, 0, kSize, kSize});
    GdiFlush();
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const std::uint32_t p = pixels[y * kSize + x];
            if ((p & 0xff) + (p >> 8 & 0xff) + (p >> 16 & 0xff) >= 3 * 128) continue;
            ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x),
                   std::max(ink.bottom, y), ink.pixels + 1};
        }
    }
    return ink;
}

DrawOp textOp(std::int64_t x, std::int64_t y, double height, const std::u16string& text) {
    DrawOp op;
    op.kind = OpKind::text;
    op.points.push_back({x, y});
    op.textHeight = height;
    op.text = text;
    op.colour = {0, 0, 0, 255};
    return op;
}

// 300 units high the text's em is some 107 pixels and GDI draws it; 400 units high,
// some 143, and it is filled as outlines. Its ink must be GDI's, scaled about the
// insertion point at (200, 300) on the device, to within 3 pixels.
TEST(GdiSheetPainter, TextFilledAsOutlinesLiesWhereGdiDrawsIt) {
    TextStyle underlined;
    underlined.underline = true;
    TextStyle turned;
    turned.rotationTurns = 0.25;
    TextStyle slanted;
    slanted.rotationTurns = 1.0 / 12;
    slanted.widthScale = 1.3;
    slanted.obliqueTurns = 1.0 / 24;
    const struct {
        const char* what;
        const TextStyle* style;
    } cases[] = {{"plain", nullptr},
                 {"underlined", &underlined},
                 {"turned 90 degrees", &turned},
                 {"turned, widened and slanted", &slanted}};
    for (const auto& c : cases) {
        const Ink drawn = inkOf(textOp(500, 250, 300, u"HI"), c.style);
        const Ink filled = inkOf(textOp(500, 250, 400, u"HI"), c.style);
        ASSERT_GT(drawn.pixels, 100) << c.what;
        std::printf("%s: drawn %d %d %d %d (%d), filled %d %d %d %d (%d)\n", c.what, drawn.left,
                    drawn.top, drawn.right, drawn.bottom, drawn.pixels, filled.left, filled.top,
                    filled.right, filled.bottom, filled.pixels);
        auto scaled = [](int at, int origin) { return origin + (at - origin) * 4.0 / 3; };
        EXPECT_NEAR(filled.left, scaled(drawn.left, 200), 3) << c.what;
        EXPECT_NEAR(filled.right, scaled(drawn.right, 200), 3) << c.what;
        EXPECT_NEAR(filled.top, scaled(drawn.top, 300), 3) << c.what;
        EXPECT_NEAR(filled.bottom, scaled(drawn.bottom, 300), 3) << c.what;
        EXPECT_NEAR(filled.pixels, drawn.pixels * 16 / 9.0, drawn.pixels * 0.15) << c.what;
    }
}

// An "I" whose em is 10000 pixels, placed so that its stem covers the picture, inks
// every pixel; a text too large for the arithmetic draws nothing.
TEST(GdiSheetPainter, TextHugeOnTheDeviceIsFilledByItsOutlines) {
    EXPECT_EQ(inkOf(textOp(-3000, -5000, 27900, u"I"), nullptr).pixels, kSize * kSize);
    EXPECT_EQ(inkOf(textOp(100, 100, 1e308, u"I"), nullptr).pixels, 0);
}

}  // namespace
}  // namespace plotwick
