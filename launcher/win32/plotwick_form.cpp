#include "win32/plotwick_form.h"

#include <string>
#include <vector>

#include "command_args.h"
#include "win32/dwf_view_control.h"

namespace plotwick {
namespace {

constexpr wchar_t kClassName[] = L"PlotwickForm";
constexpr wchar_t kCaption[] = L"Form1";
// 11325 x 7890 twips at 15 twips per pixel.
constexpr int kInitialWidth = 755;
constexpr int kInitialHeight = 526;
constexpr UINT_PTR kOpenTimer = 1;

struct FormState {
    HWND view = nullptr;
    std::string file;  // the first argument, until it is given to the component
};

FormState* stateOf(HWND form) {
    return reinterpret_cast<FormState*>(GetWindowLongPtrW(form, GWLP_USERDATA));
}

LRESULT CALLBACK formProcedure(HWND form, UINT message, WPARAM wParam, LPARAM lParam) {
    FormState* state = stateOf(form);
    switch (message) {
        case WM_NCCREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(form, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            break;
        }
        case WM_CREATE:
            state->view =
                createDwfView(form, reinterpret_cast<const CREATESTRUCTW*>(lParam)->hInstance);
            if (state->view == nullptr) return -1;
            setDwfViewBackground(state->view, kBackground);
            if (!state->file.empty()) SetTimer(form, kOpenTimer, kOpenDelayMs, nullptr);
            return 0;
        case WM_TIMER:
            if (wParam == kOpenTimer) {
                KillTimer(form, kOpenTimer);
                setDwfViewSource(state->view, state->file);
            }
            return 0;
        case WM_SIZE:
            if (state != nullptr && state->view != nullptr)
                MoveWindow(state->view, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            return 0;
        case WM_SETFOCUS:
            if (state != nullptr && state->view != nullptr) SetFocus(state->view);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(form, message, wParam, lParam);
}

bool registerForm(HINSTANCE instance) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = formProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    windowClass.lpszClassName = kClassName;
    return RegisterClassW(&windowClass) != 0;
}

}  // namespace

int runPlotwickForm(HINSTANCE instance, std::string_view arguments, int show) {
    FormState state;
    const std::vector<std::string> split = GetCommandArgs(arguments);
    if (split.size() >= 2) state.file = split[1];
    if (!registerForm(instance)) return 1;
    RECT frame{0, 0, kInitialWidth, kInitialHeight};
    AdjustWindowRectEx(&frame, WS_OVERLAPPEDWINDOW, FALSE, 0);
    const HWND form = CreateWindowExW(0, kClassName, kCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                      CW_USEDEFAULT, frame.right - frame.left,
                                      frame.bottom - frame.top, nullptr, nullptr, instance, &state);
    if (form == nullptr) return 1;
    ShowWindow(form, show);
    UpdateWindow(form);
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace plotwick
