#include "win32/dock_bar.h"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "win32/window_object.h"

namespace tessaro {

namespace {

const wchar_t kDockBarClass[] = L"TessaroDockBar";
constexpr int kGripperSpan = 8;  // the gripper's room along the strip
constexpr int kMargin = 2;       // around the toolbar, across the strip

}  // namespace

DockSide nearestSide(POINT point, const RECT& area) {
    const std::array<LONG, 4> distances = {point.y - area.top, area.bottom - point.y,
                                           point.x - area.left, area.right - point.x};
    const auto nearest = std::min_element(distances.begin(), distances.end(),
                                          [](LONG a, LONG b) { return std::abs(a) < std::abs(b); });
    return static_cast<DockSide>(nearest - distances.begin());
}

bool DockBar::create(HWND frame, DockSide side) {
    registerWindowClass(kDockBarClass, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    m_frame = frame;
    m_side = side;
    m_window = CreateWindowExW(0, kDockBarClass, L"",
                               WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0,
                               0, frame, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (m_window == nullptr) return false;
    routeMessagesTo<DockBar, &DockBar::handle>(m_window, this);
    return true;
}

RECT DockBar::place(const RECT& area, HWND content, SIZE contentSize) const {
    const bool vertical = isVertical(m_side);
    const int thickness = (vertical ? contentSize.cx : contentSize.cy) + 2 * kMargin;
    RECT strip = area, rest = area;
    switch (m_side) {
        case DockSide::top:
            strip.bottom = rest.top = std::min(area.bottom, area.top + thickness);
            break;
        case DockSide::bottom:
            strip.top = rest.bottom = std::max(area.top, area.bottom - thickness);
            break;
        case DockSide::left:
            strip.right = rest.left = std::min(area.right, area.left + thickness);
            break;
        case DockSide::right:
            strip.left = rest.right = std::max(area.left, area.right - thickness);
            break;
    }
    MoveWindow(m_window, strip.left, strip.top, strip.right - strip.left, strip.bottom - strip.top,
               TRUE);
    const int x = vertical ? kMargin : kGripperSpan, y = vertical ? kGripperSpan : kMargin;
    MoveWindow(content, x, y, contentSize.cx, contentSize.cy, TRUE);
    return rest;
}

LRESULT DockBar::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
            // The toolbar's buttons, tool tips and hot items belong to the frame.
            return SendMessageW(m_frame, message, wParam, lParam);
        case WM_PAINT:
            paintGripper();
            return 0;
        case WM_LBUTTONDOWN: {
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const RECT grip = gripper();
            if (!PtInRect(&grip, at)) return 0;
            m_dragging = true;
            SetCapture(m_window);
            SetCursor(LoadCursorA(nullptr, IDC_SIZEALL));
            return 0;
        }
        case WM_LBUTTONUP:
            if (m_dragging) drop({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_CAPTURECHANGED:
            m_dragging = false;
            return 0;
        default:
            return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

RECT DockBar::gripper() const {
    RECT client{};
    GetClientRect(m_window, &client);
    if (isVertical(m_side))
        client.bottom = std::min<LONG>(client.bottom, kGripperSpan);
    else
        client.right = std::min<LONG>(client.right, kGripperSpan);
    return client;
}

// A raised bar across the strip, as toolbars that can be moved have always shown.
void DockBar::paintGripper() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(m_window, &paint);
    RECT grip = gripper();
    InflateRect(&grip, isVertical(m_side) ? -kMargin : -2, isVertical(m_side) ? -2 : -kMargin);
    if (isVertical(m_side)) {
        grip.top += 2;
        grip.bottom = grip.top + 3;
    } else {
        grip.left += 2;
        grip.right = grip.left + 3;
    }
    DrawEdge(dc, &grip, BDR_RAISEDINNER, BF_RECT);
    EndPaint(m_window, &paint);
}

// A drop outside the strip docks it at the frame's side nearest to the drop.
void DockBar::drop(POINT point) {
    m_dragging = false;
    ReleaseCapture();
    RECT strip{};
    GetClientRect(m_window, &strip);
    if (PtInRect(&strip, point)) return;
    MapWindowPoints(m_window, m_frame, &point, 1);
    RECT frame{};
    GetClientRect(m_frame, &frame);
    const DockSide side = nearestSide(point, frame);
    if (side != m_side) PostMessageW(m_frame, kRedockMessage, static_cast<WPARAM>(side), 0);
}

}  // namespace tessaro
