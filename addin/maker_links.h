// The two link labels of the export dialogs: the maker's page and an e-mail to the
// maker. Pointing at one copies its tooltip into the dialog's hint label; a click
// hands its address to ShellOpen. The page is the guide installed with the suite (a
// local file), and the e-mail label has an address only when the build names one:
// a label without a place to go does nothing rather than open a made-up one.
#pragma once

#include <QString>

class QLabel;
class QLayout;

namespace exportal {

// file:// address of the guide installed beside the running program, or of the one
// in the source tree when running from a build; empty when neither exists.
QString makerGuideAddress();
// mailto: address given to the build (TESSARO_MAKER_MAIL), or empty.
QString makerMailAddress();

// The two labels in a row. `hint` receives the tooltips; without `active` a click does
// nothing (the image dialog shows the labels only).
QLayout* makerLinks(QLabel* hint, bool active);

}  // namespace exportal
