// CMainFrame: the main window. It owns the menu, the toolbar, the status bar and the
// SceneView, routes the commands, keeps the active tool and whether a file was
// opened, and refreshes the commands' checked and enabled states on a 50 ms timer.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <QTimer>

#include <map>

#include "app/shell_dialogs.h"
#include "document/scene_document.h"
#include "shell/load_outcome.h"
#include "shell/navigation.h"

class QToolBar;

namespace tessaro {

class SceneView;

class CMainFrame final : public QMainWindow {
  public:
    // `arguments` as the process got them: the first after the program's name is
    // opened. `messages` replaces the message box (tests); null keeps the box.
    explicit CMainFrame(const QStringList& arguments, MessageSink* messages = nullptr);
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Loads the file under the wait cursor, then titles the window after it. A load
    // that fails shows why and leaves the window titled "Tessaro" with Close off.
    void openFile(const QString& fileName);

    QAction* action(int command) const;
    SceneView* view() const { return m_view; }
    QToolBar* toolBar() const { return m_toolBar; }
    NavigationMode mode() const { return m_mode; }
    bool loaded() const { return m_loaded; }
    // The update handlers: checked and enabled states from the frame's state.
    void refreshCommandStates();

  protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QAction* addCommand(int command);
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void connectCommands();
    bool loadScene(const QString& fileName);
    bool refuseScene(const std::string& message);
    void chooseAndOpen();
    void closeDocument();
    void toggleTool(NavigationMode tool);
    void showAbout();
    void setHeadlight(bool on);

    MessageBoxSink m_messageBox;
    NotingSink m_messages;
    SceneDocument m_document;
    SceneView* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
    std::map<int, QAction*> m_actions;
    QTimer m_refresh;
    NavigationMode m_mode = NavigationMode::examine;
    bool m_loaded = false;
    bool m_loading = false;
};

}  // namespace tessaro
