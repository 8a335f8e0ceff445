// ViewerApp: the process start of the viewer.
#pragma once

#include <QStringList>

#include <memory>

namespace tessaro {

class CMainFrame;

// The application's name and the organisation its settings live under.
void configureApplication();

// Creates the main window with its icon, reads the profile settings and shows the
// window; the first argument after the program's name is opened.
std::unique_ptr<CMainFrame> startViewer(const QStringList& arguments);

// The whole program: start-up, then the event loop until the window closes.
int runViewer(int argc, char** argv);

}  // namespace tessaro
