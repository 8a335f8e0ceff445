// The two things every window of the shell does alike: register its class, and route
// its messages to the C++ object that owns it.
#pragma once

#include <windows.h>

namespace tessaro {

// Registers a class whose windows start with the system's procedure (routeMessagesTo
// replaces it) and the arrow cursor. A second registration of the name fails harmlessly.
inline void registerWindowClass(const wchar_t* name, UINT style, HBRUSH background) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = style;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = background;
    windowClass.lpszClassName = name;
    RegisterClassExW(&windowClass);
}

template <typename T, LRESULT (T::*Handler)(UINT, WPARAM, LPARAM)>
LRESULT CALLBACK objectWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* object = reinterpret_cast<T*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (object == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    return (object->*Handler)(message, wParam, lParam);
}

// From now on `window`'s messages go to `object`'s `Handler`.
template <typename T, LRESULT (T::*Handler)(UINT, WPARAM, LPARAM)>
void routeMessagesTo(HWND window, T* object) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
    SetWindowLongPtrW(window, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(&objectWindowProc<T, Handler>));
}

}  // namespace tessaro
