// Plotwick's one window: the DWF display component fills it on the launcher's
// background colour, and the first command-line argument is shown in it.
#pragma once

#include <QWidget>
#include <string_view>

#include "dwf_view.h"

namespace plotwick {

inline constexpr char kWindowCaption[] = "Form1";
inline const QColor kBackground{237, 237, 214};
// The first argument reaches the component this long after the window opened.
inline constexpr int kOpenDelayMs = 100;

class PlotwickWindow : public QWidget {
  public:
    PlotwickWindow();

    // Splits the command line and, when it names a file, gives the first argument to
    // the component after kOpenDelayMs. Without an argument the component stays empty.
    void start(std::string_view commandLine);
    DwfView& view() { return *m_view; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    DwfView* m_view;
};

}  // namespace plotwick
