// A progress bar on standard error for loads that take a while, drawn only when
// standard error is a terminal so that scripts and logs stay clean.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "xgl/input_stream.h"

namespace tessaro {

// "[#####.....]  50 %" with `width` marks between the brackets.
std::string progressBar(std::uint64_t done, std::uint64_t total, int width);

// Observes the file reads while it lives; the bar shows after half a second and is
// wiped when the load ends.
class TerminalProgress final : public ReadObserver {
  public:
    TerminalProgress();
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    void bytesRead(std::uint64_t done, std::uint64_t total) override;

  private:
    bool m_terminal;
    std::chrono::steady_clock::time_point m_start;
    std::string m_shown;
    ReadObserver* m_previous;
};

}  // namespace tessaro
