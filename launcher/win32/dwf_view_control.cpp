#include "win32/dwf_view_control.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "dwf/dwf_document.h"
#include "model_gl/model_camera.h"
#include "win32/gdi_objects.h"
#include "win32/gdi_sheet_painter.h"
#include "win32/wgl_model_picture.h"

namespace plotwick {
namespace {

constexpr wchar_t kClassName[] = L"PlotwickDwfView";
constexpr int kMessageMargin = 12;

// What a drag with the mouse does: on a sheet the left button pans; on a model page
// the left button turns the model and the middle one pans it.
enum class Drag { none, sheetPan, modelTurn, modelPan };

struct ViewState {
    DwfDocument document;
    std::string path;
    int page = 0;  // the sheets, then the models
    COLORREF background = RGB(255, 255, 255);
    ViewAdjustment adjustment;
    ModelCamera camera;
    // Opened at the first model page's paint; its lists hold the model of `builtPage`.
    WglModelPicture modelPicture;
    int builtPage = -1;
    std::string openGlProblem;
    Drag drag = Drag::none;
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

const Sheet* sheetOf(const ViewState& state) {
    const std::size_t page = static_cast<std::size_t>(state.page);
    return page < state.document.sheets.size() ? &state.document.sheets[page] : nullptr;
}

const W3dModel* modelOf(const ViewState& state) {
    const std::size_t page = static_cast<std::size_t>(state.page);
    const std::size_t sheets = state.document.sheets.size();
    if (page < sheets || page >= pageCount(state.document)) return nullptr;
    return &state.document.models[page - sheets];
}

std::string messageOf(const ViewState& state) {
    if (!state.document.message.empty()) return state.document.message;
    if (const Sheet* sheet = sheetOf(state)) return sheet->graphics.message;
    const W3dModel* model = modelOf(state);
    if (model == nullptr) return {};
    if (!state.openGlProblem.empty())
        return "No OpenGL to draw the 3D model: " + state.openGlProblem;
    return model->message;
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

// The OpenGL context is had only when a model page is first drawn; a failure is kept
// (and reported in place of the model) until another file is shown.
void drawModel(HWND view, HDC dc, const RECT& client, ViewState& state, const W3dModel& model) {
    if (!state.openGlProblem.empty()) return;
    if (!state.modelPicture.isOpen() &&
        !state.modelPicture.open(view, 0, 0, &state.openGlProblem)) {
        if (state.openGlProblem.empty()) state.openGlProblem = "no context";
        return;
    }
    if (state.builtPage != state.page) {
        state.modelPicture.build(model);
        state.builtPage = state.page;
    }
    if (!state.modelPicture.drawInto(dc, state.camera, client.right, client.bottom))
        state.openGlProblem = "the context was lost";
}

void paintInto(HWND view, HDC dc, const RECT& client, ViewState& state) {
    const GdiObject background(CreateSolidBrush(state.background));
    FillRect(dc, &client, background.get<HBRUSH>());
    if (const Sheet* sheet = sheetOf(state))
        drawSheet(dc, *sheet, client, state.adjustment);
    else if (const W3dModel* model = modelOf(state))
        drawModel(view, dc, client, state, *model);
    if (const std::string message = messageOf(state); !message.empty())
        drawMessage(dc, client, state, message);
}

// Drawn off screen first, so that resizing does not flicker.
void paint(HWND view, ViewState& state) {
    PAINTSTRUCT paint{};
    const HDC dc = BeginPaint(view, &paint);
    RECT client{};
    GetClientRect(view, &client);
    const HDC memory = CreateCompatibleDC(dc);
    const GdiObject bitmap(CreateCompatibleBitmap(dc, std::max<LONG>(1, client.right),
                                                  std::max<LONG>(1, client.bottom)));
    {
        const Selection selected(memory, bitmap.get());
        paintInto(view, memory, client, state);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    }
    DeleteDC(memory);
    EndPaint(view, &paint);
}

// Sheets are shown fitted, models through their published camera.
void showFitted(HWND view, ViewState& state) {
    state.adjustment = {};
    if (const W3dModel* model = modelOf(state)) state.camera = publishedCamera(*model);
    InvalidateRect(view, nullptr, FALSE);
}

void showPage(HWND view, ViewState& state, int index) {
    if (index < 0 || index >= static_cast<int>(pageCount(state.document)) || index == state.page)
        return;
    state.page = index;
    showFitted(view, state);
}

double wheelFactor(WPARAM wParam) {
    return std::pow(kZoomPerNotch, GET_WHEEL_DELTA_WPARAM(wParam) / kWheelDeltaPerNotch);
}

// The wheel message gives the cursor on the screen.
// A model is zoomed about the middle of the view, where its camera looks.
void zoomAtCursor(HWND view, ViewState& state, WPARAM wParam, LPARAM lParam) {
    if (modelOf(state) != nullptr) {
        state.camera = zoomed(state.camera, wheelFactor(wParam));
        InvalidateRect(view, nullptr, FALSE);
        return;
    }
    POINT cursor{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(view, &cursor);
    RECT client{};
    GetClientRect(view, &client);
    const DeviceOffset fromCentre{cursor.x - client.right / 2.0, cursor.y - client.bottom / 2.0};
    state.adjustment = zoomedAbout(state.adjustment, GET_WHEEL_DELTA_WPARAM(wParam), fromCentre);
    InvalidateRect(view, nullptr, FALSE);
}

// The mouse is captured for the drag, so that it goes on outside the window.
void startDrag(HWND view, ViewState& state, Drag drag, LPARAM lParam) {
    SetFocus(view);
    SetCapture(view);
    state.drag = drag;
    state.lastDrag = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

void endDrag(ViewState& state) {
    if (state.drag == Drag::none) return;
    state.drag = Drag::none;  // also when the capture could not be had
    ReleaseCapture();
}

// Each mouse step only moves the camera or the page; the drawing waits for the paint,
// so that all the steps before it cost one frame.
void drag(HWND view, ViewState& state, LPARAM lParam) {
    if (state.drag == Drag::none) return;
    const POINT now{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    const double dx = now.x - state.lastDrag.x, dy = now.y - state.lastDrag.y;
    state.lastDrag = now;
    RECT client{};
    GetClientRect(view, &client);
    const int width = std::max<int>(1, client.right), height = std::max<int>(1, client.bottom);
    if (state.drag == Drag::sheetPan)
        state.adjustment = pannedBy(state.adjustment, {dx, dy});
    else if (state.drag == Drag::modelTurn)
        state.camera = turned(state.camera, dx / width, dy / height);
    else
        state.camera = panned(state.camera, dx, dy, width, height);
    InvalidateRect(view, nullptr, FALSE);
}

LRESULT handleInput(HWND view, ViewState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_MOUSEWHEEL:
            zoomAtCursor(view, state, wParam, lParam);
            break;
        case WM_LBUTTONDOWN:
            startDrag(view, state, modelOf(state) ? Drag::modelTurn : Drag::sheetPan, lParam);
            break;
        case WM_MBUTTONDOWN:
            if (modelOf(state)) startDrag(view, state, Drag::modelPan, lParam);
            break;
        case WM_MOUSEMOVE:
            drag(view, state, lParam);
            break;
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
            endDrag(state);
            break;
        case WM_CAPTURECHANGED:
            state.drag = Drag::none;  // the drag ends however the capture went
            break;
        case WM_KEYDOWN:
            if (wParam == VK_NEXT) showPage(view, state, state.page + 1);
            if (wParam == VK_PRIOR) showPage(view, state, state.page - 1);
            if (wParam == VK_HOME) showFitted(view, state);
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
                paintInto(view, reinterpret_cast<HDC>(wParam), client, *state);
            }
            return 0;
        case WM_MOUSEWHEEL:
        case WM_LBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
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
    // The lists of the model shown before go with their context.
    state->modelPicture.close();
    state->builtPage = -1;
    state->openGlProblem.clear();
    state->document = path.empty() ? DwfDocument{} : readDwfFile(path);
    state->page = 0;
    showFitted(view, *state);
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
