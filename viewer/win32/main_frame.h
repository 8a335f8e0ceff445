// CMainFrame: the viewer's main window with its menu, toolbar, status bar and the
// SceneView child; it routes the commands and keeps the title.
#pragma once

#include <windows.h>
// commctrl.h needs the types of windows.h.
#include <commctrl.h>

#include <string>

#include "document/scene_document.h"
#include "shell/load_outcome.h"
#include "win32/dock_bar.h"
#include "win32/profile_settings.h"
#include "win32/scene_view.h"

namespace tessaro {

// Shows the load path's messages in a message box over the main window.
class MessageBoxSink final : public MessageSink {
  public:
    void setOwner(HWND owner) { m_owner = owner; }
    void showMessage(const char* text) override;

  private:
    HWND m_owner = nullptr;
};

class CMainFrame {
  public:
    CMainFrame();
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Creates and shows the window and opens `fileName` when it is not null. False,
    // with the reason, when a part of the window cannot be made.
    bool create(const char* fileName, int show, std::string* error);
    HWND window() const { return m_window; }
    HACCEL accelerators() const { return m_accelerators; }
    // Where the toolbar is docked, and the windows that share the client area.
    DockSide toolBarSide() const { return m_dock.side(); }
    HWND dockBar() const { return m_dock.window(); }
    HWND view() const { return m_view.window(); }
    int viewFramesShown() const { return m_view.framesShown(); }

  private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    bool createParts(std::string* error);
    bool createToolBar();
    SIZE toolBarSize() const;
    void redock(DockSide side);
    bool createStatusBar();
    void layout();
    LRESULT onNotify(NMHDR* header);
    void onCommand(int command);
    void refreshCommandStates();
    void refreshMenu(HMENU menu);
    void showPrompt(int command);
    void toggleTool(NavigationMode tool);
    void toggleBar(HWND bar);
    void chooseAndOpen();
    void openFile(const std::string& fileName);
    bool loadScene(const std::string& fileName);
    bool refuseScene(const std::string& message);
    void closeDocument();

    HWND m_window = nullptr;
    DockBar m_dock;
    HWND m_toolBar = nullptr;
    HWND m_statusBar = nullptr;
    HACCEL m_accelerators = nullptr;
    SceneView m_view;
    MessageBoxSink m_messageBox;
    NotingSink m_messages{&m_messageBox};
    SceneDocument m_document{&m_messages};
    NavigationMode m_mode = NavigationMode::examine;
    bool m_loaded = false;
    ProfileSettings m_profile;
    std::string m_tip;  // the text a tool tip shows until it asks again
};

}  // namespace tessaro
