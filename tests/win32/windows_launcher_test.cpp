// RunPlotwick.exe's display component and GDI drawing: wheel and drag messages sent to
// the child window zoom about the cursor and pan the picture it draws, and translucent
// shapes are blended over what lies under them, inside the paper's clip.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "dwf/dwf_document.h"
#include "win32/dwf_view_control.h"
#include "win32/gdi_objects.h"
#include "win32/gdi_sheet_painter.h"

namespace plotwick {
namespace {

struct Colour {
    int r, g, b;
};
const Colour kRed{255, 0, 0}, kBackground{237, 237, 214};

std::string writeStream(const char* name, const std::string& body) {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + name;
    const std::string stream = "(W2D V06.00)(View 0,0 1000,1000)" + body + "(EndOfDWF)";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return path;
    std::fwrite(stream.data(), 1, stream.size(), file);
    std::fclose(file);
    return path;
}

// A picture drawn by `draw` into a 32-bit DIB on the launcher's background.
class Picture {
  public:
    template <typename Draw>
    Picture(int width, int height, Draw draw) : m_width(width) {
        const MemoryDc dc(CreateCompatibleDC(nullptr));
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        const GdiObject bitmap(
            CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (bits == nullptr) return;
        {
            const Selection selected(dc.get(), bitmap.get());
            const RECT all{0, 0, width, height};
            const GdiObject background(CreateSolidBrush(RGB(237, 237, 214)));
            FillRect(dc.get(), &all, background.get<HBRUSH>());
            draw(dc.get());
            GdiFlush();
        }
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        m_pixels.assign(pixels, pixels + width * height);
    }

    Colour at(int x, int y) const {
        const std::size_t index = static_cast<std::size_t>(y * m_width + x);
        if (index >= m_pixels.size()) return {-1, -1, -1};
        const std::uint32_t pixel = m_pixels[index];
        return {static_cast<int>(pixel >> 16 & 0xff), static_cast<int>(pixel >> 8 & 0xff),
                static_cast<int>(pixel & 0xff)};
    }

  private:
    int m_width;
    std::vector<std::uint32_t> m_pixels;
};

bool similar(const Colour& a, const Colour& b, int tolerance = 2) {
    return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance &&
           std::abs(a.b - b.b) <= tolerance;
}

std::string text(const Colour& c) {
    return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b);
}

// A red square over the middle half of the page, in a 400 x 400 component: fitted, it
// covers pixels 100..300 on both axes.
class DwfViewControl : public testing::Test {
  protected:
    void SetUp() override {
        m_parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 400, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_parent, nullptr);
        m_view = createDwfView(m_parent, GetModuleHandleW(nullptr));
        ASSERT_NE(m_view, nullptr);
        MoveWindow(m_view, 0, 0, 400, 400, FALSE);
        setDwfViewBackground(m_view, RGB(237, 237, 214));
        setDwfViewSource(m_view, writeStream("plotwick-square.w2d",
                                             "(Color 255,0,0,255)F P 4 250,250 750,250 "
                                             "750,750 250,750 "));
        ASSERT_EQ(dwfViewMessage(m_view), "");
    }
    void TearDown() override { DestroyWindow(m_parent); }

    void wheel(int x, int y, int delta) {
        POINT screen{x, y};
        ClientToScreen(m_view, &screen);
        SendMessageW(m_view, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)),
                     MAKELPARAM(static_cast<WORD>(screen.x), static_cast<WORD>(screen.y)));
    }
    void drag(POINT from, POINT to) {
        SendMessageW(m_view, WM_LBUTTONDOWN, MK_LBUTTON, pointParameter(from));
        SendMessageW(m_view, WM_MOUSEMOVE, MK_LBUTTON, pointParameter(to));
        SendMessageW(m_view, WM_LBUTTONUP, 0, pointParameter(to));
    }
    static LPARAM pointParameter(POINT point) {
        return MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y));
    }
    Picture picture() const {
        return Picture(400, 400, [&](HDC dc) {
            SendMessageW(m_view, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        });
    }

    HWND m_parent = nullptr;
    HWND m_view = nullptr;
};

struct Step {
    const char* what;
    enum { wheel, drag, move } action;
    POINT at, to;  // the cursor; where a drag ends
    int wheelDelta;
    ViewAdjustment expected;
    RECT square;  // where the square is then drawn
};

TEST_F(DwfViewControl, WheelZoomsAboutTheCursorAndDragPans) {
    const Step steps[] = {
        {"a notch in at the square's corner",
         Step::wheel,
         {100, 100},
         {},
         120,
         {1.25, {25, 25}},
         {100, 100, 350, 350}},
        {"a drag moves the square with the mouse",
         Step::drag,
         {200, 200},
         {150, 260},
         0,
         {1.25, {-25, 85}},
         {50, 160, 300, 410}},
        {"a move without the button leaves it",
         Step::move,
         {10, 10},
         {},
         0,
         {1.25, {-25, 85}},
         {50, 160, 300, 410}},
        {"a notch out at the square's corner",
         Step::wheel,
         {50, 160},
         {},
         -120,
         {1, {-50, 60}},
         {50, 160, 250, 360}},
        {"a drag past the window's edge goes on",
         Step::drag,
         {100, 200},
         {-20, 190},
         0,
         {1, {-170, 50}},
         {-70, 150, 130, 350}},
    };
    for (const Step& step : steps) {
        if (step.action == Step::wheel) wheel(step.at.x, step.at.y, step.wheelDelta);
        if (step.action == Step::drag) drag(step.at, step.to);
        if (step.action == Step::move)
            SendMessageW(m_view, WM_MOUSEMOVE, 0, pointParameter(step.at));
        const ViewAdjustment seen = dwfViewAdjustment(m_view);
        EXPECT_NEAR(seen.zoom, step.expected.zoom, 1e-9) << step.what;
        EXPECT_NEAR(seen.pan.x, step.expected.pan.x, 1e-9) << step.what;
        EXPECT_NEAR(seen.pan.y, step.expected.pan.y, 1e-9) << step.what;
        const Picture shown = picture();
        const RECT& s = step.square;
        const POINT inside[] = {{s.left + 3, s.top + 3}, {s.right - 3, s.bottom - 3}};
        const POINT outside[] = {{s.left - 3, s.top + 3}, {s.right + 3, s.bottom - 3}};
        for (const POINT& p : inside) {
            if (p.x < 0 || p.y < 0 || p.x >= 400 || p.y >= 400) continue;
            EXPECT_TRUE(similar(shown.at(p.x, p.y), kRed))
                << step.what << ": " << text(shown.at(p.x, p.y)) << " at " << p.x << "," << p.y;
        }
        for (const POINT& p : outside) {
            if (p.x < 0 || p.y < 0 || p.x >= 400 || p.y >= 400) continue;
            EXPECT_FALSE(similar(shown.at(p.x, p.y), kRed))
                << step.what << ": red outside the square at " << p.x << "," << p.y;
        }
    }
    setDwfViewSource(m_view, writeStream("plotwick-square.w2d", ""));
    EXPECT_EQ(dwfViewAdjustment(m_view), ViewAdjustment{}) << "a new file is shown fitted";
}

struct Probe {
    const char* what;
    POINT at;
    Colour expected;
};

// In a 600 x 400 target the page is 400 pixels square from x = 100: blue on its left
// half, under a half-transparent red square, a transparent green band and a
// quarter-opaque black line; a red square half off the paper is cut at its edge.
TEST(GdiSheetPainter, TranslucentShapesAreBlendedInsideTheClip) {
    const DwfDocument document =
        readDwfFile(writeStream("plotwick-translucent.w2d",
                                "(Color 0,0,255,255)F P 4 0,0 500,0 500,1000 0,1000 "
                                "(Color 255,0,0,128)P 4 250,250 750,250 750,750 250,750 "
                                "P 4 900,400 1400,400 1400,600 900,600 "
                                "(Color 0,255,0,0)P 4 0,800 1000,800 1000,1000 0,1000 "
                                "(Color 0,0,0,64)f(LineWeight 40)L 100,100 900,100 "));
    ASSERT_EQ(document.sheets.size(), 1u) << document.message;
    const Picture drawn(600, 400, [&](HDC dc) {
        drawSheet(dc, document.sheets[0], RECT{0, 0, 600, 400});
    });
    const Probe probes[] = {
        {"opaque blue", {140, 200}, {0, 0, 255}},
        {"red over blue", {260, 200}, {128, 0, 127}},
        {"red over white paper", {340, 200}, {255, 127, 127}},
        {"a transparent shape leaves the paper", {380, 40}, {255, 255, 255}},
        {"a quarter-opaque line over blue", {160, 360}, {0, 0, 191}},
        {"a quarter-opaque line over paper", {420, 360}, {191, 191, 191}},
        {"beside the line", {420, 330}, {255, 255, 255}},
        {"red at the paper's edge", {480, 200}, {255, 127, 127}},
        {"nothing blended beyond the paper", {560, 200}, kBackground},
    };
    for (const Probe& probe : probes) {
        EXPECT_TRUE(similar(drawn.at(probe.at.x, probe.at.y), probe.expected))
            << probe.what << ": " << text(drawn.at(probe.at.x, probe.at.y)) << " instead of "
            << text(probe.expected);
    }
}

}  // namespace
}  // namespace plotwick
