#include "app/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>

#include "app/load_progress.h"
#include "app/scene_view.h"
#include "app/shell_images.h"
#include "app/window_settings.h"
#include "render/renderer.h"
#include "shell/shell_texts.h"

namespace tessaro {

namespace {

QString text(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The wait cursor for as long as a load runs.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// The indicators keep their place; the window system gives no portable way to read
// the lock keys, so they stay greyed.
QLabel* indicator(const char* label, int id, QWidget* parent) {
    auto* pane = new QLabel(QString::fromUtf8(label), parent);
    pane->setObjectName(QStringLiteral("indicator%1").arg(id));
    pane->setEnabled(false);
    return pane;
}

NavigationMode toggled(NavigationMode current, NavigationMode tool) {
    return current == tool ? NavigationMode::none : tool;
}

}  // namespace

CMainFrame::CMainFrame(const QStringList& arguments, MessageSink* messages)
    : m_messageBox(this),
      m_messages(messages != nullptr ? messages : &m_messageBox),
      m_document(&m_messages) {
    setWindowTitle(QString::fromUtf8(kAppName));
    m_view = new SceneView(this);
    m_view->setObjectName(QStringLiteral("view%1").arg(kViewChildId));
    setCentralWidget(m_view);
    setFocusProxy(m_view);
    setAcceptDrops(true);
    for (const int command : {kOpenCommand, kCloseCommand, kExitCommand, kToolBarCommand,
                              kStatusBarCommand, kExamineCommand, kPanCommand, kZoomCommand,
                              kDefaultViewCommand, kHeadlightCommand, kAboutCommand})
        addCommand(command);
    createMenus();
    createToolBar();
    createStatusBar();
    connectCommands();
    m_refresh.setInterval(kRefreshPeriodMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] { refreshCommandStates(); });
    m_refresh.start();
    m_mode = NavigationMode::examine;
    m_view->setMode(m_mode);
    m_loaded = false;
    refreshCommandStates();
    if (arguments.size() > 1) openFile(arguments.at(1));
}

CMainFrame::~CMainFrame() = default;

QAction* CMainFrame::addCommand(int command) {
    auto* action = new QAction(text(menuText(command)), this);
    action->setObjectName(QStringLiteral("command%1").arg(command));
    action->setStatusTip(text(commandPrompt(command)));
    action->setShortcut(QKeySequence(text(commandShortcut(command))));
    if (!commandTip(command).empty()) action->setToolTip(text(commandTip(command)));
    const bool checkable = command == kToolBarCommand || command == kStatusBarCommand ||
                           command == kExamineCommand || command == kPanCommand ||
                           command == kZoomCommand || command == kDefaultViewCommand ||
                           command == kHeadlightCommand;
    action->setCheckable(checkable);
    m_actions[command] = action;
    return action;
}

QAction* CMainFrame::action(int command) const {
    const auto found = m_actions.find(command);
    return found != m_actions.end() ? found->second : nullptr;
}

void CMainFrame::createMenus() {
    const struct {
        const char* title;
        std::initializer_list<int> commands;  // 0: a separator
    } menus[] = {
        {"&File", {kOpenCommand, kCloseCommand, 0, kExitCommand}},
        {"&View", {kToolBarCommand, kStatusBarCommand, 0, kHeadlightCommand}},
        {"&Tools", {kExamineCommand, kPanCommand, kZoomCommand, kDefaultViewCommand}},
        {"&Help", {kAboutCommand}},
    };
    for (const auto& m : menus) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(m.title));
        // Menu items are refreshed when their menu opens.
        connect(menu, &QMenu::aboutToShow, this, [this] { refreshCommandStates(); });
        for (const int command : m.commands) {
            if (command == 0) {
                menu->addSeparator();
            } else {
                menu->addAction(action(command));
            }
        }
    }
}

void CMainFrame::createToolBar() {
    m_toolBar = new QToolBar(this);
    m_toolBar->setObjectName(QStringLiteral("toolBar%1").arg(kToolBarCommand));
    m_toolBar->setMovable(true);
    m_toolBar->setFloatable(true);
    m_toolBar->setAllowedAreas(Qt::AllToolBarAreas);
    m_toolBar->setIconSize(QSize(kToolbarButtonSide, kToolbarButtonSide));
    for (int button = 0; button < kToolbarButtons; ++button) {
        QAction* command = action(kToolbarCommands[button]);
        command->setIcon(toolbarIcon(button));
        m_toolBar->addAction(command);
    }
    setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);
    addToolBar(Qt::TopToolBarArea, m_toolBar);
}

void CMainFrame::createStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar%1").arg(kStatusBarCommand));
    bar->addPermanentWidget(indicator("CAP", kCapsIndicator, bar));
    bar->addPermanentWidget(indicator("NUM", kNumIndicator, bar));
    bar->addPermanentWidget(indicator("SCRL", kScrollIndicator, bar));
    // A prompt shows while the pointer is over a command; otherwise the idle message.
    connect(bar, &QStatusBar::messageChanged, bar, [bar](const QString& message) {
        if (message.isEmpty()) bar->showMessage(QString::fromUtf8(kIdleMessage));
    });
    bar->showMessage(QString::fromUtf8(kIdleMessage));
}

void CMainFrame::connectCommands() {
    const auto on = [this](int command, auto handler) {
        connect(action(command), &QAction::triggered, this, [this, handler] {
            handler();
            refreshCommandStates();
        });
    };
    on(kOpenCommand, [this] { chooseAndOpen(); });
    on(kCloseCommand, [this] { closeDocument(); });
    on(kExitCommand, [this] { close(); });
    on(kToolBarCommand, [this] { m_toolBar->setVisible(m_toolBar->isHidden()); });
    on(kStatusBarCommand, [this] { statusBar()->setVisible(statusBar()->isHidden()); });
    on(kExamineCommand, [this] { toggleTool(NavigationMode::examine); });
    on(kPanCommand, [this] { toggleTool(NavigationMode::pan); });
    on(kZoomCommand, [this] { toggleTool(NavigationMode::zoom); });
    on(kDefaultViewCommand, [this] { m_view->showDefaultView(); });
    on(kHeadlightCommand, [this] { setHeadlight(action(kHeadlightCommand)->isChecked()); });
    on(kAboutCommand, [this] { showAbout(); });
}

void CMainFrame::refreshCommandStates() {
    action(kCloseCommand)->setEnabled(m_loaded);
    action(kExamineCommand)->setChecked(m_mode == NavigationMode::examine);
    action(kPanCommand)->setChecked(m_mode == NavigationMode::pan);
    action(kZoomCommand)->setChecked(m_mode == NavigationMode::zoom);
    // Checked for mode 7, which no command sets.
    action(kDefaultViewCommand)->setChecked(static_cast<int>(m_mode) == 7);
    action(kToolBarCommand)->setChecked(!m_toolBar->isHidden());
    action(kStatusBarCommand)->setChecked(!statusBar()->isHidden());
    action(kHeadlightCommand)->setChecked(viewState().headlight());
}

void CMainFrame::openFile(const QString& fileName) {
    // Progress lets the window paint during a load; a second one must wait.
    if (m_loading) return;
    m_view->withContext([this, fileName] {
        if (m_loading) return;
        m_loading = true;
        const bool drawn = loadScene(fileName);
        setWindowTitle(drawn ? QString::fromStdString(windowTitleFor(fileName.toStdString()))
                             : QString::fromUtf8(kAppName));
        m_loaded = drawn;
        m_loading = false;
        refreshCommandStates();
    });
}

// True when the document was drawn; every failure has shown its message.
bool CMainFrame::loadScene(const QString& fileName) {
    const QByteArray name = QFile::encodeName(fileName);
    m_messages.forget();
    if (const std::string problem = nameProblem(name.constData()); !problem.empty()) {
        return refuseScene(problem);
    }
    LoadResult result;
    {
        WaitCursor wait;
        const LoadProgress progress(statusBar(), QFileInfo(fileName).fileName(),
                                    [this] { m_view->makeCurrent(); });
        result = m_document.load(name.constData());
    }
    if (result.status == LoadStatus::cannotOpen) {
        return refuseScene(openFailure(name.constData(), result));
    }
    return !m_messages.shown();
}

bool CMainFrame::refuseScene(const std::string& message) {
    m_view->clearPicture();
    m_messages.showMessage(message.c_str());
    return false;
}

void CMainFrame::chooseAndOpen() {
    OpenSceneDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty() && !chosen.first().isEmpty()) openFile(chosen.first());
}

void CMainFrame::closeDocument() {
    m_view->clearPicture();
    setWindowTitle(QString::fromUtf8(kAppName));
    m_loaded = false;
}

void CMainFrame::toggleTool(NavigationMode tool) {
    m_mode = toggled(m_mode, tool);
    m_view->setMode(m_mode);
}

void CMainFrame::setHeadlight(bool on) {
    storeHeadlight(on);
    m_view->withContext([this, on] {
        viewState().setHeadlight(on);
        viewState().redraw();
        m_view->update();
    });
}

void CMainFrame::showAbout() {
    makeAboutBox(this)->exec();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls() && !droppedSceneFile(event->mimeData()->urls()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (m_loading) {
        event->ignore();
        return;
    }
    storeWindowPlacement(*this);
    QMainWindow::closeEvent(event);
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QString file = droppedSceneFile(event->mimeData()->urls());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    openFile(file);
}

}  // namespace tessaro
