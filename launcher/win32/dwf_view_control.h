// The DWF display component as a child window: sized like any window, given a file
// name, it shows one page of the file on its background colour: a sheet, or after the
// sheets a 3D model (drawn with OpenGL through WGL, through its published camera).
// Page Up and Page Down switch pages. On a sheet the wheel zooms about the cursor and
// a left drag pans; on a model the wheel zooms, a left drag turns and a middle drag
// pans. Home shows the page as it first came. A file that cannot be shown is reported
// inside the component, as is a page that could be read only in part. WM_PRINTCLIENT
// draws it into the given device context.
#pragma once

#include <windows.h>

#include <string>

#include "dwf/view_adjustment.h"

namespace plotwick {

HWND createDwfView(HWND parent, HINSTANCE instance);
void setDwfViewBackground(HWND view, COLORREF colour);
// Reads the file (a name in the system's code page) at once; an empty name empties the
// component.
void setDwfViewSource(HWND view, const std::string& path);
// What the component reports instead of, or besides, the drawing; empty if nothing.
std::string dwfViewMessage(HWND view);
// How far the shown sheet is zoomed and panned from its fitted place.
ViewAdjustment dwfViewAdjustment(HWND view);

}  // namespace plotwick
