// DockBar: the strip that holds the toolbar along one side of the frame, with a gripper
// at its start. Dragging the gripper and letting go nearer another side of the frame
// asks the frame to dock the strip there.
#pragma once

#include <windows.h>

namespace tessaro {

enum class DockSide { top, bottom, left, right };

// Sent to the frame when the user dropped the gripper nearer `side` (the wParam).
inline constexpr UINT kRedockMessage = WM_APP + 1;

// The side of `area` whose edge is nearest to `point`; ties go to top, then bottom, left.
DockSide nearestSide(POINT point, const RECT& area);
inline bool isVertical(DockSide side) {
    return side == DockSide::left || side == DockSide::right;
}

class DockBar {
  public:
    DockBar() = default;
    DockBar(const DockBar&) = delete;
    DockBar& operator=(const DockBar&) = delete;

    // A visible strip on `frame`; its commands and notifications go on to the frame.
    bool create(HWND frame, DockSide side);
    HWND window() const { return m_window; }
    DockSide side() const { return m_side; }
    void setSide(DockSide side) { m_side = side; }
    // Gives the strip room for `content` (its child) and places both along the side
    // within `area`; returns what is left of `area`.
    RECT place(const RECT& area, HWND content, SIZE contentSize) const;

  private:
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    RECT gripper() const;
    void paintGripper();
    void drop(POINT point);

    HWND m_window = nullptr;
    HWND m_frame = nullptr;
    DockSide m_side = DockSide::top;
    bool m_dragging = false;
};

}  // namespace tessaro
