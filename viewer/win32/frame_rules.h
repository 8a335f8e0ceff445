// The main window's rules that need no window: which tool a Tools command leaves
// active, and the Open dialog's filter in the form the system's dialog takes.
#pragma once

#include <string>

#include "shell/navigation.h"

namespace tessaro {

// Choosing the active tool again leaves no tool; choosing another switches to it.
NavigationMode toggledTool(NavigationMode current, NavigationMode chosen);

// The filter texts with their patterns, each ended by a NUL, the list by another.
std::string openDialogFilter();

}  // namespace tessaro
