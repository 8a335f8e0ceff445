#include "win32/frame_rules.h"

#include <algorithm>
#include <string_view>

namespace tessaro {

namespace {

// The filter as the application framework writes it: name|patterns|...||.
constexpr std::string_view kFrameworkFilter =
    "XGL Files (*.xgl; *.zgl)|*.xgl; *.zgl|All Files (*.*)|*.*||";

}  // namespace

NavigationMode toggledTool(NavigationMode current, NavigationMode chosen) {
    return current == chosen ? NavigationMode::none : chosen;
}

std::string openDialogFilter() {
    std::string filter(kFrameworkFilter);
    std::replace(filter.begin(), filter.end(), '|', '\0');
    return filter;
}

}  // namespace tessaro
