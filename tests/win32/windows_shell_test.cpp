// The Win32 shell's own parts: the Open dialog's filter, the tool toggle, and the
// view window that routes mouse messages into the shared navigation and shows the
// tool cursors from the program's resources.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/renderer.h"
#include "win32/dock_bar.h"
#include "win32/frame_rules.h"
#include "win32/load_progress.h"
#include "win32/main_frame.h"
#include "win32/profile_settings.h"
#include "win32/scene_view.h"
#include "win32/tessaro_resources.h"

namespace tessaro {
namespace {

TEST(OpenDialogFilter, IsTheFrameworkFilterWithEachBarAsANul) {
    static const char kExpected[] =
        "XGL Files (*.xgl; *.zgl)\0*.xgl; *.zgl\0All Files (*.*)\0*.*\0\0";
    const std::string expected(kExpected, sizeof kExpected - 1);
    EXPECT_EQ(openDialogFilter(), expected);
}

TEST(ToolToggle, ChoosingTheActiveToolLeavesNoneAndAnotherSwitches) {
    EXPECT_EQ(toggledTool(NavigationMode::examine, NavigationMode::examine), NavigationMode::none);
    EXPECT_EQ(toggledTool(NavigationMode::examine, NavigationMode::pan), NavigationMode::pan);
    EXPECT_EQ(toggledTool(NavigationMode::none, NavigationMode::zoom), NavigationMode::zoom);
}

class ViewWindow : public testing::Test {
  protected:
    void SetUp() override {
        m_parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                                   GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(m_parent, nullptr);
        std::string error;
        m_view = std::make_unique<SceneView>();
        if (!m_view->create(m_parent, &error)) GTEST_SKIP() << "no OpenGL view: " << error;
        const double centre[3] = {0, 0, 0}, size[3] = {2, 2, 2};
        viewState().setViewBox(centre, size);
    }
    void TearDown() override {
        m_view.reset();
        DestroyWindow(m_parent);
    }
    static double boxWidth() {
        double centre[3], size[3];
        viewState().getViewBox(centre, size);
        return size[0];
    }
    HCURSOR classCursor() const {
        return reinterpret_cast<HCURSOR>(GetClassLongPtrW(m_view->window(), GCLP_HCURSOR));
    }

    HWND m_parent = nullptr;
    std::unique_ptr<SceneView> m_view;
};

TEST_F(ViewWindow, EachToolShowsItsOwnCursorAndNoToolNone) {
    const HINSTANCE program = GetModuleHandleW(nullptr);
    m_view->setMode(NavigationMode::examine);
    EXPECT_EQ(classCursor(), LoadCursorW(program, MAKEINTRESOURCEW(TESSARO_EXAMINE_CURSOR)));
    m_view->setMode(NavigationMode::pan);
    EXPECT_EQ(classCursor(), LoadCursorW(program, MAKEINTRESOURCEW(TESSARO_PAN_CURSOR)));
    m_view->setMode(NavigationMode::zoom);
    EXPECT_EQ(classCursor(), LoadCursorW(program, MAKEINTRESOURCEW(TESSARO_ZOOM_CURSOR)));
    EXPECT_NE(classCursor(), nullptr);
    m_view->setMode(NavigationMode::none);
    EXPECT_EQ(classCursor(), nullptr);
}

TEST_F(ViewWindow, AWheelNotchAwayFromTheUserWidensTheBox) {
    SendMessageW(m_view->window(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    EXPECT_NEAR(boxWidth(), 2 * 1.36, 1e-9);
}

TEST_F(ViewWindow, ADragDownWithTheZoomToolNarrowsTheBox) {
    m_view->setMode(NavigationMode::zoom);
    RECT client{};
    GetClientRect(m_view->window(), &client);
    SendMessageW(m_view->window(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 0));
    SendMessageW(m_view->window(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(10, client.bottom / 4));
    SendMessageW(m_view->window(), WM_LBUTTONUP, 0, MAKELPARAM(10, client.bottom / 4));
    EXPECT_NEAR(boxWidth(), 2 * (1 - 2 * (client.bottom / 4) / double(client.bottom)), 1e-9);
    EXPECT_EQ(GetCapture(), nullptr);
}

// A name of its own keeps the test away from the real program's settings.
TEST(ProfileSettings, MakesTheKeyAndLoadsTheTextEntriesOfTheRecentFileList) {
    const char* application = "TessaroProfileTest";
    const std::string key =
        std::string("Software\\Local AppWizard-Generated Applications\\") + application;
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    ProfileSettings first = loadProfileSettings(application);
    EXPECT_TRUE(first.stored);
    EXPECT_TRUE(first.recentFiles.empty());

    HKEY recent = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (key + "\\Recent File List").c_str(), 0, KEY_WRITE,
                            &recent),
              ERROR_SUCCESS);
    const auto setText = [recent](const char* name, const char* text) {
        RegSetValueExA(recent, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(std::strlen(text) + 1));
    };
    setText("File1", "C:\\models\\house.xgl");
    const DWORD number = 7;
    RegSetValueExA(recent, "File2", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                   sizeof(number));
    setText("File4", "gear.zgl");
    setText("File5", "beyond the four.xgl");
    RegCloseKey(recent);
    EXPECT_EQ(loadProfileSettings(application).recentFiles,
              (std::vector<std::string>{"C:\\models\\house.xgl", "gear.zgl"}));
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
}

TEST(DockSide, TheNearestEdgeWinsInsideAndOutsideTheArea) {
    const RECT area{0, 0, 400, 300};
    const struct {
        POINT point;
        DockSide side;
    } cases[] = {{{200, 5}, DockSide::top},    {{200, 290}, DockSide::bottom},
                 {{3, 150}, DockSide::left},   {{398, 150}, DockSide::right},
                 {{-60, 150}, DockSide::left}, {{200, 420}, DockSide::bottom}};
    for (const auto& c : cases) {
        EXPECT_EQ(nearestSide(c.point, area), c.side) << c.point.x << "," << c.point.y;
    }
}

RECT rectIn(HWND window, HWND frame) {
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, frame, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&message);
}

// A press on the gripper and a release near a side of the frame: the toolbar docks
// there, and the view takes exactly what the bar leaves.
TEST(ToolBarDocking, DroppingTheGripperNearASideDocksTheBarThere) {
    CMainFrame frame;
    std::string error;
    if (!frame.create(nullptr, SW_HIDE, &error)) GTEST_SKIP() << "no main window: " << error;
    const HWND window = frame.window();
    RECT client{};
    GetClientRect(window, &client);
    const struct {
        POINT drop;  // in the frame's client area
        DockSide side;
    } cases[] = {{{5, client.bottom / 2}, DockSide::left},
                 {{client.right / 2, client.bottom - 30}, DockSide::bottom},
                 {{client.right - 5, client.bottom / 2}, DockSide::right},
                 {{client.right / 2, 5}, DockSide::top}};
    for (const auto& c : cases) {
        POINT drop = c.drop;
        MapWindowPoints(window, frame.dockBar(), &drop, 1);
        SendMessageW(frame.dockBar(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendMessageW(frame.dockBar(), WM_LBUTTONUP, 0, MAKELPARAM(drop.x, drop.y));
        pumpMessages();
        ASSERT_EQ(frame.toolBarSide(), c.side);
        const RECT bar = rectIn(frame.dockBar(), window), view = rectIn(frame.view(), window);
        switch (c.side) {
            case DockSide::left:
                EXPECT_EQ(bar.left, 0);
                EXPECT_EQ(view.left, bar.right);
                EXPECT_GT(bar.bottom - bar.top, bar.right - bar.left);
                break;
            case DockSide::right:
                EXPECT_EQ(bar.right, client.right);
                EXPECT_EQ(view.right, bar.left);
                break;
            case DockSide::bottom:
                EXPECT_EQ(view.bottom, bar.top);
                break;
            case DockSide::top:
                EXPECT_EQ(bar.top, 0);
                EXPECT_EQ(view.top, bar.bottom);
                EXPECT_GT(bar.right - bar.left, bar.bottom - bar.top);
                break;
        }
    }
    // A press beside the gripper is no drag.
    SendMessageW(frame.dockBar(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 2));
    SendMessageW(frame.dockBar(), WM_LBUTTONUP, 0, MAKELPARAM(5, client.bottom / 2));
    pumpMessages();
    EXPECT_EQ(frame.toolBarSide(), DockSide::top);
    DestroyWindow(window);
    pumpMessages();
}

// Lets the window system deliver what it still owes the windows (paints, moves).
void settle() {
    for (int round = 0; round < 10; ++round) {
        pumpMessages();
        Sleep(30);
    }
}

bool sameCamera(const Camera& a, const Camera& b) {
    for (int i = 0; i < 3; ++i) {
        if (a.forward[i] != b.forward[i] || a.up[i] != b.up[i] || a.centre[i] != b.centre[i] ||
            a.size[i] != b.size[i])
            return false;
    }
    return true;
}

Camera storedCamera() {
    Camera camera;
    viewState().getOrientation(camera.forward, camera.up);
    viewState().getViewBox(camera.centre, camera.size);
    return camera;
}

// The program's window with a model: every input that moves the camera shows exactly
// one new frame once the messages are handled, however many moves arrived between two
// frames; presses and releases show none, and a resize one.
TEST(FramePacing, EachNavigationStepShowsOneFrame) {
    CMainFrame frame;
    std::string error;
    if (!frame.create(TESSARO_SAMPLES "/house.xgl", SW_SHOWNOACTIVATE, &error))
        GTEST_SKIP() << "no main window: " << error;
    settle();
    ASSERT_GT(frame.viewFramesShown(), 0) << "the model was never drawn";
    const HWND view = frame.view();
    const auto send = [view](UINT message, WPARAM wParam, int x, int y) {
        SendMessageW(view, message, wParam, MAKELPARAM(x, y));
    };
    const auto burst = [&send] {
        for (int i = 1; i <= 5; ++i)
            send(WM_MOUSEMOVE, MK_LBUTTON, 140 + 4 * i, 110 + 2 * i);
    };
    const struct {
        const char* input;
        std::function<void()> send;
        int frames;  // 1: the camera moves too
    } steps[] = {
        {"left press", [&] { send(WM_LBUTTONDOWN, MK_LBUTTON, 100, 100); }, 0},
        {"turning move 1", [&] { send(WM_MOUSEMOVE, MK_LBUTTON, 110, 100); }, 1},
        {"turning move 2", [&] { send(WM_MOUSEMOVE, MK_LBUTTON, 120, 104); }, 1},
        {"turning move 3", [&] { send(WM_MOUSEMOVE, MK_LBUTTON, 130, 108); }, 1},
        {"five moves between two frames", burst, 1},
        {"left release", [&] { send(WM_LBUTTONUP, 0, 160, 120); }, 0},
        {"wheel notch", [&] { send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0, 0); }, 1},
        {"middle press", [&] { send(WM_MBUTTONDOWN, MK_MBUTTON, 50, 50); }, 0},
        {"panning move", [&] { send(WM_MOUSEMOVE, MK_MBUTTON, 80, 70); }, 1},
        {"middle release", [&] { send(WM_MBUTTONUP, 0, 80, 70); }, 0},
        {"Default View", [&] { SendMessageW(frame.window(), WM_COMMAND, kDefaultViewCommand, 0); },
         1},
    };
    for (const auto& step : steps) {
        const int before = frame.viewFramesShown();
        const Camera camera = storedCamera();
        step.send();
        pumpMessages();
        EXPECT_EQ(frame.viewFramesShown() - before, step.frames) << step.input;
        EXPECT_EQ(!sameCamera(storedCamera(), camera), step.frames == 1) << step.input;
    }
    // A larger window: the view is drawn once at its new size, and nothing follows.
    const int before = frame.viewFramesShown();
    SetWindowPos(frame.window(), nullptr, 0, 0, 900, 700,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    settle();
    EXPECT_EQ(frame.viewFramesShown() - before, 1) << "resize";
    DestroyWindow(frame.window());
    pumpMessages();
}

std::string statusText(HWND statusBar) {
    char text[256] = "";
    SendMessageA(statusBar, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return text;
}

// A long load's percentage in the message line, then "Ready" again; a quick one
// leaves the line alone. The observer is only installed while the progress lives.
TEST(StatusProgress, ShowsThePercentageOfALongLoadThenReady) {
    const HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 100, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    const HWND bar = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0,
                                     parent, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(bar, nullptr);
    SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("Ready"));
    {
        const StatusProgress progress(bar, fileNameOf("C:\\models/big.xgl"), 0);
        ReadObserver* observer = setReadObserver(nullptr);
        EXPECT_EQ(observer, &progress);
        setReadObserver(observer);
        observer->bytesRead(65536, 5 * 65536);
        EXPECT_EQ(statusText(bar), "Loading big.xgl: 20 %");
        observer->bytesRead(5 * 65536, 5 * 65536);
        EXPECT_EQ(statusText(bar), "Loading big.xgl: 100 %");
    }
    EXPECT_EQ(statusText(bar), "Ready");
    EXPECT_EQ(setReadObserver(nullptr), nullptr);
    {
        StatusProgress quick(bar, "small.xgl");
        quick.bytesRead(100, 100);
    }
    EXPECT_EQ(statusText(bar), "Ready");
    DestroyWindow(parent);
}

}  // namespace
}  // namespace tessaro
