// RunPlotwick.exe's display component: wheel, drag and move messages sent to the child
// window zoom about the cursor and pan the picture it prints.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "win32/dwf_view_control.h"
#include "win32/gdi_objects.h"

namespace plotwick {
namespace {

constexpr int kSize = 400;
// A red square over the middle half of the page: fitted into the component, it covers
// pixels 100..300 on both axes.
constexpr char kSquare[] =
    "(W2D V06.00)(View 0,0 1000,1000)(Color 255,0,0,255)F P 4 250,250 750,250 750,750 "
    "250,750 (EndOfDWF)";

std::string writeSquare() {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string path = std::string(folder) + "plotwick-square.w2d";
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::fopen(path.c_str(), "wb"),
                                                                  &std::fclose);
    if (file) std::fputs(kSquare, file.get());
    return path;
}

// What the component draws, through WM_PRINTCLIENT, as 0xRRGGBB pixels.
std::vector<std::uint32_t> printed(HWND view) {
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSize, -kSize, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const GdiObject bitmap(CreateDIBSection(dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bits == nullptr) return {};
    {
        const Selection selected(dc.get(), bitmap.get());
        SendMessageW(view, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
        GdiFlush();
    }
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    return {pixels, pixels + kSize * kSize};
}

LPARAM pointParameter(POINT point) {
    return MAKELPARAM(static_cast<WORD>(point.x), static_cast<WORD>(point.y));
}

struct Step {
    const char* what;
    enum { wheel, drag, move } action;
    POINT at, to;  // the cursor; where a drag ends
    int wheelDelta;
    ViewAdjustment expected;
    RECT square;  // where the square is then drawn
};

void perform(HWND view, const Step& step) {
    if (step.action == Step::wheel) {
        POINT screen = step.at;  // the wheel message gives the cursor on the screen
        ClientToScreen(view, &screen);
        SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(step.wheelDelta)),
                     pointParameter(screen));
    } else if (step.action == Step::drag) {
        SendMessageW(view, WM_LBUTTONDOWN, MK_LBUTTON, pointParameter(step.at));
        SendMessageW(view, WM_MOUSEMOVE, MK_LBUTTON, pointParameter(step.to));
        SendMessageW(view, WM_LBUTTONUP, 0, pointParameter(step.to));
    } else {
        SendMessageW(view, WM_MOUSEMOVE, 0, pointParameter(step.at));
    }
}

// Three pixels inside two opposite corners of the square are red; beside them not.
void expectSquareAt(const std::vector<std::uint32_t>& picture, const RECT& s, const char* what) {
    const POINT probes[] = {{s.left + 3, s.top + 3},
                            {s.right - 3, s.bottom - 3},
                            {s.left - 3, s.top + 3},
                            {s.right + 3, s.bottom - 3}};
    for (int i = 0; i < 4; ++i) {
        const POINT p = probes[i];
        if (p.x < 0 || p.y < 0 || p.x >= kSize || p.y >= kSize) continue;
        const bool red =
            (picture.at(static_cast<std::size_t>(p.y * kSize + p.x)) & 0xffffff) == 0xff0000;
        EXPECT_EQ(red, i < 2) << what << ": at " << p.x << "," << p.y;
    }
}

TEST(DwfViewControl, WheelZoomsAboutTheCursorAndDragPans) {
    // Away from the screen's corner, so that screen and client coordinates differ.
    const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 50, 70, kSize, kSize, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    const HWND view = createDwfView(parent, GetModuleHandleW(nullptr));
    ASSERT_NE(view, nullptr);
    MoveWindow(view, 0, 0, kSize, kSize, FALSE);
    setDwfViewSource(view, writeSquare());
    ASSERT_EQ(dwfViewMessage(view), "");
    // clang-format off
    const Step steps[] = {
        {"a notch in at the square's corner", Step::wheel, {100, 100}, {}, 120,
         {1.25, {25, 25}}, {100, 100, 350, 350}},
        {"a drag moves the square with the mouse", Step::drag, {200, 200}, {150, 260}, 0,
         {1.25, {-25, 85}}, {50, 160, 300, 410}},
        {"a move without the button leaves it", Step::move, {10, 10}, {}, 0,
         {1.25, {-25, 85}}, {50, 160, 300, 410}},
        {"a notch out at the square's corner", Step::wheel, {50, 160}, {}, -120,
         {1, {-50, 60}}, {50, 160, 250, 360}},
        {"a drag past the window's edge goes on", Step::drag, {100, 200}, {-20, 190}, 0,
         {1, {-170, 50}}, {-70, 150, 130, 350}},
    };
    // clang-format on
    for (const Step& step : steps) {
        perform(view, step);
        const ViewAdjustment seen = dwfViewAdjustment(view);
        EXPECT_NEAR(seen.zoom, step.expected.zoom, 1e-9) << step.what;
        EXPECT_NEAR(seen.pan.x, step.expected.pan.x, 1e-9) << step.what;
        EXPECT_NEAR(seen.pan.y, step.expected.pan.y, 1e-9) << step.what;
        expectSquareAt(printed(view), step.square, step.what);
    }
    setDwfViewSource(view, writeSquare());
    EXPECT_EQ(dwfViewAdjustment(view), ViewAdjustment{}) << "a new file is shown fitted";
    DestroyWindow(parent);
}

// The shaded blue of the arbor press's frame, each channel within 40 levels.
long bluePixels(const std::vector<std::uint32_t>& picture) {
    long found = 0;
    for (std::uint32_t pixel : picture) {
        const int r = (pixel >> 16) & 0xff, g = (pixel >> 8) & 0xff, b = pixel & 0xff;
        found += std::abs(r - 47) <= 40 && std::abs(g - 93) <= 40 && std::abs(b - 147) <= 40;
    }
    return found;
}

// A model page prints through WM_PRINTCLIENT although its window is never shown, and
// the mouse messages before a print change the picture it prints, not only the screen.
TEST(DwfViewControl, PrintsTheModelPageAsTurnedAndAsPublished) {
    const std::string press = PLOTWICK_DWF_SAMPLES "/arbor-press-3d.dwf";
    if (GetFileAttributesA(press.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no " << press;
    const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, kSize, kSize, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    const HWND view = createDwfView(parent, GetModuleHandleW(nullptr));
    ASSERT_NE(view, nullptr);
    MoveWindow(view, 0, 0, kSize, kSize, FALSE);
    setDwfViewSource(view, press);
    ASSERT_EQ(dwfViewMessage(view), "");
    const std::vector<std::uint32_t> published = printed(view);
    EXPECT_GE(bluePixels(published), 10000) << "the press is drawn";

    perform(view, {"turn", Step::drag, {200, 200}, {260, 230}, 0, {}, {}});
    EXPECT_NE(printed(view), published) << "a left drag turns the model";
    SendMessageW(view, WM_KEYDOWN, VK_HOME, 0);
    EXPECT_EQ(printed(view), published) << "Home shows the published view again";

    SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_GT(bluePixels(printed(view)), bluePixels(published) * 5 / 4) << "the wheel zooms in";
    DestroyWindow(parent);
}

}  // namespace
}  // namespace plotwick
