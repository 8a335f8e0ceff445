// The viewer shell's command and resource numbers and its texts, with the small
// rules that turn them into what the window shows. Nothing here needs a window.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "shell/navigation.h"

namespace tessaro {

// Commands (menu items and toolbar buttons).
inline constexpr int kPanCommand = 32777;
inline constexpr int kExamineCommand = 32778;
inline constexpr int kZoomCommand = 32779;
// kDefaultViewCommand lives with the navigation.
inline constexpr int kHeadlightCommand = 32781;
inline constexpr int kOpenCommand = 57601;
inline constexpr int kCloseCommand = 57602;
inline constexpr int kAboutCommand = 57664;
inline constexpr int kExitCommand = 57665;
inline constexpr int kToolBarCommand = 59392;    // also the toolbar's id
inline constexpr int kStatusBarCommand = 59393;  // also the status bar's id

// Resources and window ids.
inline constexpr int kMainFrameResource = 128;  // menu, toolbar images, caption
inline constexpr int kAboutDialog = 100;
inline constexpr int kAppIcon = 139;
inline constexpr int kAppNameString = 57344;
inline constexpr int kIdleMessageString = 57345;
inline constexpr int kCapsIndicator = 59137;
inline constexpr int kNumIndicator = 59138;
inline constexpr int kScrollIndicator = 59139;
inline constexpr int kViewChildId = 59648;

// The timer whose ticks refresh the checked and enabled states of the commands.
inline constexpr int kRefreshTimerId = 0;
inline constexpr int kRefreshPeriodMs = 50;
// The profile settings keep this many recent files; nothing shows them.
inline constexpr int kRecentFileCount = 4;
// A file name this long or longer leaves the caption alone.
inline constexpr std::size_t kLongestTitledName = 1023;

// Toolbar images: four square buttons side by side in one strip.
inline constexpr int kToolbarButtonSide = 17;
inline constexpr int kToolbarButtons = 4;
// The toolbar's commands in button order.
inline constexpr int kToolbarCommands[kToolbarButtons] = {kExamineCommand, kPanCommand,
                                                          kZoomCommand, kDefaultViewCommand};

inline constexpr const char* kAppName = "Tessaro";
inline constexpr const char* kSettingsOrganisation = "Local AppWizard-Generated Applications";
inline constexpr const char* kIdleMessage = "Ready";
inline constexpr const char* kOpenFilters[2] = {"XGL Files (*.xgl; *.zgl)", "All Files (*.*)"};
inline constexpr const char* kAboutCaption = "About Tessaro";
inline constexpr const char* kAboutTitleLine = "Tessaro Sample";
inline constexpr const char* kAboutSecondLine = "XGL and ZGL scene viewer";

// The string-table text of a command: its status-bar prompt, a newline, its tool tip.
// Empty for a command without one.
std::string_view commandString(int command);
std::string commandPrompt(int command);
std::string commandTip(int command);

// The menu text of a command ("&Open", "Zoom In", ...); empty for an unknown one.
std::string_view menuText(int command);

// The key that runs a command, in the portable text form ("Ctrl+O"); empty for none.
std::string_view commandShortcut(int command);

// "NAME - Tessaro", or "Tessaro" alone for a name of 1024 characters or more.
std::string windowTitleFor(std::string_view fileName);

// The wildcard patterns inside a filter's parentheses: "X (*.a; *.b)" gives *.a and
// *.b. Blanks and semicolons both separate patterns.
std::vector<std::string> filterPatterns(std::string_view filter);

// True for a name ending in ".xgl" or ".zgl" in any letter case.
bool isSceneFileName(std::string_view fileName);

}  // namespace tessaro
