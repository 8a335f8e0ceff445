// Plotwick's one window on Windows, "Form1": the DWF display component fills its client
// area on the launcher's background colour, and the first command-line argument is
// shown in it.
#pragma once

#include <windows.h>

#include <string_view>

namespace plotwick {

inline constexpr COLORREF kBackground = RGB(237, 237, 214);
// The first argument reaches the component this long after the window opened.
inline constexpr UINT kOpenDelayMs = 100;

// Creates and shows the window for the command-line arguments (the text after the
// program name) and runs its message loop; returns the exit status.
int runPlotwickForm(HINSTANCE instance, std::string_view arguments, int show);

}  // namespace plotwick
