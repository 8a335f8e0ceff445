// StatusProgress: while it lives, a long load shows in the status bar how far it has
// read its file, and the window keeps painting. Only paint messages are handled during
// the load: input, commands and closing wait until it ends.
#pragma once

#include <windows.h>

#include <string>

#include "shell/progress_pacing.h"
#include "xgl/input_stream.h"

namespace tessaro {

class StatusProgress final : public ReadObserver {
  public:
    StatusProgress(HWND statusBar, std::string name, int delayMs = kProgressDelayMs);
    ~StatusProgress();
    StatusProgress(const StatusProgress&) = delete;
    StatusProgress& operator=(const StatusProgress&) = delete;

    void bytesRead(std::uint64_t done, std::uint64_t total) override;

  private:
    HWND m_statusBar;
    std::string m_name;
    ProgressPacing m_pacing;
    ReadObserver* m_previous;
};

// The name after the last folder separator, as the status bar shows it.
std::string fileNameOf(const std::string& path);

}  // namespace tessaro
