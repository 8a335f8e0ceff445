// The two link labels of the export dialogs: the maker's web page and an e-mail to
// the maker. Pointing at one copies its tooltip into the dialog's hint label; a click
// hands its address to ShellOpen.
#pragma once

class QLabel;
class QLayout;

namespace exportal {

inline constexpr const char* kMakerWebAddress = "https://tessaro.example.org/";
inline constexpr const char* kMakerMailAddress = "mailto:exportal@tessaro.example.org";

// The two labels in a row. `hint` receives the tooltips; without `active` a click does
// nothing (the image dialog shows the labels only).
QLayout* makerLinks(QLabel* hint, bool active);

}  // namespace exportal
