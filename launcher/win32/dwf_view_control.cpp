#include "win32/dwf_view_control.h"

#include <windowsx.h>

#include <algorithm>
#include <memory>

#include "dwf/dwf_document.h"
#include "win32/gdi_objects.h"
#include "win32/gdi_sheet_painter.h"

namespace plotwick {
namespace {

constexpr wchar_t kClassName[] = L"PlotwickDwfView";
constexpr int kMessageMargin = 12;

struct ViewState {
    DwfDocument document;
    std::string path;
    int sheet = 0;
    COLORREF background = RGB(255, 255, 255);
    ViewAdjustment adjustment;
    bool dragging = false;
    POINT lastDrag{};
};

ViewState* stateOf(HWND view) {
    return reinterpret_cast<ViewState*>(GetWindowLongPtrW(view, GWLP_USERDATA));
}

std::wstring wideOf(const std::string& text) {
    const int size =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    return wide;
}

std::string messageOf(const ViewState& state) {
    if (!state.document.message.empty()) return state.document.message;
    if (state.sheet < static_cast<int>(state.document.sheets.size()))
        return state.document.sheets[static_cast<std::size_t>(state.sheet)].graphics.message;
    return {};
}

// The message at the bottom left, dark red on a white box, wrapped to the width.
void drawMessage(HDC dc, const RECT& client, const ViewState& state, const std::string& text) {
    const std::wstring shown = wideOf(state.path.empty() ? text : state.path + "\r\n" + text);
    const Selection font(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT box{client.left + kMessageMargin, client.top + kMessageMargin,
             client.right - kMessageMargin, client.bottom - kMessageMargin};
    RECT needed = box;
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    const int height = needed.bottom - needed.top;
    box.top = std::max(box.top, box.bottom - height);
    const RECT backing{box.left - 6, box.top - 4, needed.right + 6, box.bottom + 4};
    FillRect(dc, &backing, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(160, 0, 0));
    DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &box, DT_WORDBREAK | DT_NOPREFIX);
}

void paintInto(HDC dc, const RECT& client, const ViewState& state) {
    const GdiObject background(CreateSolidBrush(state.background));
    FillRect(dc, &client, background.get<HBRUSH>());
    if (state.sheet < static_cast<int>(state.document.sheets.size()))
        drawSheet(dc, state.document.sheets[static_cast<std::size_t>(state.sheet)], client,
                  state.adjustment);
    if (const std::string message = messageOf(state); !message.empty())
        drawMessage(dc, client, state, message);
}

// Drawn off screen first, so that resizing does not flicker.
void paint(HWND view, const ViewState& state) {
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(view, &paint);
    RECT client{};
    GetClientRect(view, &client);
    const HDC memory = CreateCompatibleDC(dc);
    const GdiObject bitmap(CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right),
                                                  std::max<LONG>(1, client.bottom)));
    {
        const Selection selected(memory, bitmap.get());
        paintInto(memory, client, state);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    }
    DeleteDC(memory);
    EndPaint(view, &paint);
}

void showSheet(HWND view, ViewState& state, int index) {
    if (index < 0 || index >= static_cast<int>(state.document.sheets.size()) ||
        index == state.sheet)
        return;
    state.sheet = index;
    state.adjustment = {};
    InvalidateRect(view, nullptr, FALSE);
}

// The wheel message gives the cursor on the screen.
void zoomAtCursor(HWND view, ViewState& state, WPARAM wParam, LPARAM lParam) {
    POINT cursor{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(view, &cursor);
    RECT client{};
    GetClientRect(view, &client);
    const DeviceOffset fromCentre{cursor.x - client.right / 2.0, cursor.y - client.bottom / 2.0};
    state.adjustment = zoomedAbout(state.adjustment, GET_WHEEL_DELTA_WPARAM(wParam), fromCentre);
    InvalidateRect(view, nullptr, FALSE);
}

// The mouse is captured for the drag, so that it goes on outside the window.
void startDrag(HWND view, ViewState& state, LPARAM lParam) {
    SetFocus(view);
    SetCapture(view);
    state.dragging = true;
    state.lastDrag = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

void drag(HWND view, ViewState& state, LPARAM lParam) {
    if (!state.dragging) return;
    const POINT now{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    state.adjustment = pannedBy(state.adjustment, {static_cast<double>(now.x - state.lastDrag.x),
                                                   static_cast<double>(now.y - state.lastDrag.y)});
    state.lastDrag = now;
    InvalidateRect(view, nullptr, FALSE);
}

LRESULT handleInput(HWND view, ViewState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEWHEEL:
            zoomAtCursor(view, state, wParam, lParam);
            break;
        case WM_LBUTTONDOWN:
            startDrag(view, state, lParam);
            break;
        case WM_MOUSEMOVE:
            drag(view, state, lParam);
            break;
        case WM_LBUTTONUP:
            if (state.dragging) {
                state.dragging = false;  // also when the capture could not be had
                ReleaseCapture();
            }
            break;
        case WM_CAPTURECHANGED:
            state.dragging = false;  // the drag ends however the capture went
            break;
        case WM_KEYDOWN:
            if (wParam == VK_NEXT) showSheet(view, state, state.sheet + 1);
            if (wParam == VK_PRIOR) showSheet(view, state, state.sheet - 1);
            break;
    }
    return 0;
}

LRESULT CALLBACK viewProcedure(HWND view, UINT message, WPARAM wParam, LPARAM lParam) {
    ViewState* state = stateOf(view);
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrW(view, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new ViewState));
            break;
        case WM_NCDESTROY:
            delete state;
            SetWindowLongPtrW(view, GWLP_USERDATA, 0);
            break;
        case WM_ERASEBKGND:
            return 1;  // the paint covers everything
        case WM_PAINT:
            if (state != nullptr) paint(view, *state);
            return 0;
        case WM_SIZE:
            InvalidateRect(view, nullptr, FALSE);
            return 0;
        case WM_PRINTCLIENT:
            if (state != nullptr) {
                RECT client{};
                GetClientRect(view, &client);
                paintInto(reinterpret_cast<HDC>(wParam), client, *state);
            }
            return 0;
        case WM_MOUSEWHEEL:
        case WM_LBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_CAPTURECHANGED:
        case WM_KEYDOWN:
            if (state != nullptr) return handleInput(view, *state, message, wParam, lParam);
            break;
    }
    return DefWindowProcW(view, message, wParam, lParam);
}

}  // namespace

HWND createDwfView(HWND parent, HINSTANCE instance) {
    WNDCLASSW windowClass{};
    if (!GetClassInfoW(instance, kClassName, &windowClass)) {
        windowClass.lpfnWndProc = viewProcedure;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = kClassName;
        if (RegisterClassW(&windowClass) == 0) return nullptr;
    }
    return CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent, nullptr,
                           instance, nullptr);
}

void setDwfViewBackground(HWND view, COLORREF colour) {
    if (ViewState* state = stateOf(view)) state->background = colour;
    InvalidateRect(view, nullptr, FALSE);
}

void setDwfViewSource(HWND view, const std::string& path) {
    ViewState* state = stateOf(view);
    if (state == nullptr) return;
    state->path = path;
    state->document = path.empty() ? DwfDocument{} : readDwfFile(path);
    state->sheet = 0;
    state->adjustment = {};
    InvalidateRect(view, nullptr, FALSE);
}

std::string dwfViewMessage(HWND view) {
    const ViewState* state = stateOf(view);
    return state != nullptr ? messageOf(*state) : std::string();
}

ViewAdjustment dwfViewAdjustment(HWND view) {
    const ViewState* state = stateOf(view);
    return state != nullptr ? state->adjustment : ViewAdjustment{};
}

}  // namespace plotwick
