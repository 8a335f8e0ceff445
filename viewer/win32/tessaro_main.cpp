// Tessaro.exe: the viewer's Win32 shell. The first argument is opened as given;
// further ones are ignored.
#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "shell/shell_texts.h"
#include "win32/main_frame.h"

namespace {

int runMessageLoop(const tessaro::CMainFrame& frame) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(frame.window(), frame.accelerators(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    static tessaro::CMainFrame frame;
    const char* fileName = __argc > 1 ? __argv[1] : nullptr;
    std::string error;
    if (!frame.create(fileName, show, &error)) {
        // Without its window the viewer cannot go on; say why instead of ending silently.
        MessageBoxA(nullptr, ("The viewer cannot start: " + error).c_str(), tessaro::kAppName,
                    MB_OK | MB_ICONSTOP);
        return EXIT_FAILURE;
    }
    return runMessageLoop(frame);
}
