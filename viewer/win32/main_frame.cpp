#include "win32/main_frame.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <array>

#include "shell/shell_texts.h"
#include "win32/frame_rules.h"
#include "win32/load_progress.h"
#include "win32/tessaro_resources.h"
#include "win32/window_object.h"

namespace tessaro {

static_assert(TESSARO_MAIN_FRAME == kMainFrameResource && TESSARO_ABOUT == kAboutCommand &&
              TESSARO_OPEN == kOpenCommand && TESSARO_CLOSE == kCloseCommand &&
              TESSARO_EXIT == kExitCommand && TESSARO_EXAMINE == kExamineCommand &&
              TESSARO_PAN == kPanCommand && TESSARO_ZOOM == kZoomCommand &&
              TESSARO_DEFAULT_VIEW == kDefaultViewCommand && TESSARO_TOOLBAR == kToolBarCommand &&
              TESSARO_STATUS_BAR == kStatusBarCommand && TESSARO_PAN_CURSOR == kPanCursor &&
              TESSARO_EXAMINE_CURSOR == kExamineCursor && TESSARO_ZOOM_CURSOR == kZoomCursor &&
              TESSARO_ICON == kAppIcon);

namespace {

const wchar_t kFrameClass[] = L"TessaroMainFrame";
// A first window smaller than this shows too little of a model.
constexpr int kFirstWidth = 800, kFirstHeight = 600;

HINSTANCE instance() {
    return GetModuleHandleW(nullptr);
}

// Two thirds of the work area, centred, never below the first size.
RECT firstPlacement() {
    RECT work{0, 0, 1024, 768};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int width = std::max(kFirstWidth, static_cast<int>((work.right - work.left) * 2 / 3));
    const int height = std::max(kFirstHeight, static_cast<int>((work.bottom - work.top) * 2 / 3));
    const int left = work.left + (work.right - work.left - width) / 2;
    const int top = work.top + (work.bottom - work.top - height) / 2;
    return {std::max(0, left), std::max(0, top), width, height};
}

// A bar's own visible style, whether or not the frame is shown yet.
bool shown(HWND bar) {
    return (GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE) != 0;
}

class WaitCursor {
  public:
    WaitCursor() : m_previous(SetCursor(LoadCursorA(nullptr, IDC_WAIT))) {}
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { SetCursor(m_previous); }

  private:
    HCURSOR m_previous;
};

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    return FALSE;
}

}  // namespace

void MessageBoxSink::showMessage(const char* text) {
    MessageBoxA(m_owner, text, kAppName, MB_OK | MB_ICONEXCLAMATION);
}

CMainFrame::CMainFrame() = default;

bool CMainFrame::create(const char* fileName, int show, std::string* error) {
    registerWindowClass(kFrameClass, 0, nullptr);
    const RECT place = firstPlacement();
    m_window = CreateWindowExW(0, kFrameClass, L"Tessaro", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                               place.left, place.top, place.right, place.bottom, nullptr,
                               LoadMenuW(instance(), MAKEINTRESOURCEW(kMainFrameResource)),
                               instance(), nullptr);
    if (m_window == nullptr) {
        *error = "the main window cannot be created";
        return false;
    }
    routeMessagesTo<CMainFrame, &CMainFrame::handle>(m_window, this);
    m_messageBox.setOwner(m_window);
    if (!createParts(error)) return false;
    m_profile = loadProfileSettings(kAppName);
    ShowWindow(m_window, show);
    UpdateWindow(m_window);
    if (fileName != nullptr) openFile(fileName);
    return true;
}

bool CMainFrame::createParts(std::string* error) {
    m_accelerators = LoadAcceleratorsW(instance(), MAKEINTRESOURCEW(kMainFrameResource));
    auto* icon = LoadImageW(instance(), MAKEINTRESOURCEW(kAppIcon), IMAGE_ICON, 0, 0, 0);
    SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    if (!m_view.create(m_window, error)) return false;
    if (!m_dock.create(m_window, DockSide::top) || !createToolBar())
        *error = "the toolbar cannot be created";
    else if (!createStatusBar())
        *error = "the status bar cannot be created";
    if (!error->empty()) return false;
    layout();
    // Its ticks refresh the checked and enabled states of the toolbar buttons.
    SetTimer(m_window, kRefreshTimerId, kRefreshPeriodMs, nullptr);
    m_mode = NavigationMode::examine;
    m_view.setMode(m_mode);
    m_loaded = false;
    refreshCommandStates();
    return true;
}

// Flat buttons with tool tips in the dock bar; on the left or right they stand in a column.
bool CMainFrame::createToolBar() {
    const bool vertical = isVertical(m_dock.side());
    const DWORD style = WS_CHILD | WS_VISIBLE | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE |
                        CCS_NOPARENTALIGN | CCS_NODIVIDER |
                        (vertical ? CCS_VERT | TBSTYLE_WRAPABLE : 0);
    m_toolBar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", style, 0, 0, 0, 0, m_dock.window(),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kToolBarCommand)),
                                instance(), nullptr);
    if (m_toolBar == nullptr) return false;
    SendMessageW(m_toolBar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(m_toolBar, TB_SETBITMAPSIZE, 0,
                 MAKELPARAM(kToolbarButtonSide, kToolbarButtonSide));
    TBADDBITMAP strip{instance(), kMainFrameResource};
    if (SendMessageW(m_toolBar, TB_ADDBITMAP, kToolbarButtons, reinterpret_cast<LPARAM>(&strip)) <
        0) {
        return false;
    }
    std::array<TBBUTTON, kToolbarButtons> buttons{};
    for (int i = 0; i < kToolbarButtons; ++i) {
        buttons[i].iBitmap = i;
        buttons[i].idCommand = kToolbarCommands[i];
        buttons[i].fsState = TBSTATE_ENABLED | (vertical ? TBSTATE_WRAP : 0);
        buttons[i].fsStyle = BTNS_BUTTON;
    }
    return SendMessageW(m_toolBar, TB_ADDBUTTONS, buttons.size(),
                        reinterpret_cast<LPARAM>(buttons.data())) != FALSE;
}

// The buttons' extent: the last button's far corner.
SIZE CMainFrame::toolBarSize() const {
    RECT last{};
    SendMessageW(m_toolBar, TB_GETITEMRECT, kToolbarButtons - 1, reinterpret_cast<LPARAM>(&last));
    return {last.right, last.bottom};
}

void CMainFrame::redock(DockSide side) {
    m_dock.setSide(side);
    DestroyWindow(m_toolBar);
    if (!createToolBar()) return;
    layout();
    refreshCommandStates();
    InvalidateRect(m_dock.window(), nullptr, TRUE);
}

bool CMainFrame::createStatusBar() {
    m_statusBar = CreateWindowExW(
        0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0, m_window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kStatusBarCommand)), instance(), nullptr);
    if (m_statusBar == nullptr) return false;
    SendMessageA(m_statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(kIdleMessage));
    return true;
}

// The status bar takes the bottom, the dock bar its side of the rest, the view the
// remainder; the message line takes what the three key indicators leave.
void CMainFrame::layout() {
    RECT client{};
    GetClientRect(m_window, &client);
    RECT area = client;
    if (shown(m_statusBar)) {
        SendMessageW(m_statusBar, WM_SIZE, 0, 0);
        RECT bar{};
        GetWindowRect(m_statusBar, &bar);
        area.bottom -= bar.bottom - bar.top;
        const int indicator = 40;
        int edges[4] = {client.right - 3 * indicator - 20, client.right - 2 * indicator - 20,
                        client.right - indicator - 20, -1};
        SendMessageW(m_statusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    }
    if (shown(m_dock.window())) area = m_dock.place(area, m_toolBar, toolBarSize());
    MoveWindow(m_view.window(), area.left, area.top, std::max(0L, area.right - area.left),
               std::max(0L, area.bottom - area.top), TRUE);
}

LRESULT CMainFrame::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            onCommand(LOWORD(wParam));
            return 0;
        case WM_SIZE:
            if (m_view.window() != nullptr) layout();
            return 0;
        case WM_SETFOCUS:
            // The view takes the focus so that wheel messages reach it.
            if (m_view.window() != nullptr) SetFocus(m_view.window());
            return 0;
        case WM_TIMER:
            refreshCommandStates();
            return 0;
        case WM_INITMENUPOPUP:
            refreshMenu(reinterpret_cast<HMENU>(wParam));
            return 0;
        case WM_MENUSELECT:
            showPrompt(HIWORD(wParam) == 0xFFFF ? 0 : LOWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return onNotify(reinterpret_cast<NMHDR*>(lParam));
        case kRedockMessage:
            redock(static_cast<DockSide>(wParam));
            return 0;
        case WM_DESTROY:
            KillTimer(m_window, kRefreshTimerId);
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(m_window, message, wParam, lParam);
    }
}

// Tool tips and the fly-by prompt of the toolbar come from the string table.
LRESULT CMainFrame::onNotify(NMHDR* header) {
    if (header->code == TTN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        m_tip = commandTip(static_cast<int>(header->idFrom));
        info->lpszText = m_tip.data();
    } else if (header->code == TBN_HOTITEMCHANGE) {
        const auto* hot = reinterpret_cast<NMTBHOTITEM*>(header);
        showPrompt((hot->dwFlags & HICF_LEAVING) ? 0 : hot->idNew);
    }
    return 0;
}

void CMainFrame::showPrompt(int command) {
    const std::string prompt = command == 0 ? std::string() : commandPrompt(command);
    const std::string& line = prompt.empty() ? std::string(kIdleMessage) : prompt;
    SendMessageA(m_statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void CMainFrame::onCommand(int command) {
    switch (command) {
        case kOpenCommand:
            chooseAndOpen();
            break;
        case kCloseCommand:
            closeDocument();
            break;
        case kExitCommand:
            SendMessageW(m_window, WM_CLOSE, 0, 0);
            break;
        case kToolBarCommand:
            toggleBar(m_dock.window());
            break;
        case kStatusBarCommand:
            toggleBar(m_statusBar);
            break;
        case kExamineCommand:
            toggleTool(NavigationMode::examine);
            break;
        case kPanCommand:
            toggleTool(NavigationMode::pan);
            break;
        case kZoomCommand:
            toggleTool(NavigationMode::zoom);
            break;
        case kDefaultViewCommand:
            m_view.defaultView();
            break;
        case kAboutCommand:
            DialogBoxParamW(instance(), MAKEINTRESOURCEW(kAboutDialog), m_window, aboutProc, 0);
            break;
        default:
            break;  // the editing and pane keys have no handler
    }
    refreshCommandStates();
}

void CMainFrame::refreshCommandStates() {
    const auto check = [this](int command, bool on) {
        SendMessageW(m_toolBar, TB_CHECKBUTTON, command, MAKELPARAM(on ? TRUE : FALSE, 0));
    };
    check(kExamineCommand, m_mode == NavigationMode::examine);
    check(kPanCommand, m_mode == NavigationMode::pan);
    check(kZoomCommand, m_mode == NavigationMode::zoom);
    check(kDefaultViewCommand, false);  // no command sets the mode that checks it
    static constexpr std::array<std::pair<int, int>, 3> kKeys = {
        {{1, VK_CAPITAL}, {2, VK_NUMLOCK}, {3, VK_SCROLL}}};
    static constexpr const char* kIndicators[3] = {"CAP", "NUM", "SCRL"};
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
        const bool on = (GetKeyState(kKeys[i].second) & 1) != 0;
        SendMessageA(m_statusBar, SB_SETTEXTA, kKeys[i].first,
                     reinterpret_cast<LPARAM>(on ? kIndicators[i] : ""));
    }
}

void CMainFrame::refreshMenu(HMENU menu) {
    const auto check = [menu](int command, bool on) {
        CheckMenuItem(menu, command, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    };
    check(kExamineCommand, m_mode == NavigationMode::examine);
    check(kPanCommand, m_mode == NavigationMode::pan);
    check(kZoomCommand, m_mode == NavigationMode::zoom);
    check(kToolBarCommand, shown(m_dock.window()));
    check(kStatusBarCommand, shown(m_statusBar));
    EnableMenuItem(menu, kCloseCommand, MF_BYCOMMAND | (m_loaded ? MF_ENABLED : MF_GRAYED));
}

void CMainFrame::toggleTool(NavigationMode tool) {
    m_mode = toggledTool(m_mode, tool);
    m_view.setMode(m_mode);
}

void CMainFrame::toggleBar(HWND bar) {
    ShowWindow(bar, shown(bar) ? SW_HIDE : SW_SHOW);
    layout();
}

void CMainFrame::chooseAndOpen() {
    const std::string filter = openDialogFilter();
    char path[MAX_PATH] = "";
    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_window;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_HIDEREADONLY | OFN_EXPLORER;
    if (GetOpenFileNameA(&dialog) && path[0] != '\0') openFile(path);
}

// A failed load leaves the plain caption and Close disabled: nothing was opened.
void CMainFrame::openFile(const std::string& fileName) {
    const bool drawn = loadScene(fileName);
    SetWindowTextA(m_window, drawn ? windowTitleFor(fileName).c_str() : kAppName);
    m_loaded = drawn;
    m_view.repaint();
}

// True when the document was drawn; every failure has shown its message.
bool CMainFrame::loadScene(const std::string& fileName) {
    m_messages.forget();
    if (const std::string problem = nameProblem(fileName.c_str()); !problem.empty()) {
        return refuseScene(problem);
    }
    LoadResult result;
    {
        const WaitCursor wait;
        const StatusProgress progress(m_statusBar, fileNameOf(fileName));
        result = m_document.load(fileName.c_str());
    }
    if (result.status == LoadStatus::cannotOpen) {
        return refuseScene(openFailure(fileName.c_str(), result));
    }
    return !m_messages.shown();
}

bool CMainFrame::refuseScene(const std::string& message) {
    m_view.clearPicture();
    m_messages.showMessage(message.c_str());
    return false;
}

void CMainFrame::closeDocument() {
    m_view.clearPicture();
    SetWindowTextA(m_window, kAppName);
    m_loaded = false;
}

}  // namespace tessaro
