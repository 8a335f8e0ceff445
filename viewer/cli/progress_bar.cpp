#include "progress_bar.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace tessaro {

namespace {

constexpr auto kDelay = std::chrono::milliseconds(500);
constexpr int kBarWidth = 40;

}  // namespace

std::string progressBar(std::uint64_t done, std::uint64_t total, int width) {
    const std::uint64_t percent =
        total == 0 ? 100 : std::min<std::uint64_t>(done, total) * 100 / total;
    const auto marks = static_cast<int>(percent * static_cast<std::uint64_t>(width) / 100);
    char number[8];
    std::snprintf(number, sizeof number, "%3d %%", static_cast<int>(percent));
    // Appended in place: GCC 12 warns falsely (-Wrestrict) on the chain of operator+.
    std::string bar = "[";
    bar.append(static_cast<std::size_t>(marks), '#');
    bar.append(static_cast<std::size_t>(width - marks), '.');
    bar += "] ";
    bar += number;
    return bar;
}

TerminalProgress::TerminalProgress()
    : m_terminal(::isatty(STDERR_FILENO) == 1),
      m_start(std::chrono::steady_clock::now()),
      m_previous(setReadObserver(this)) {}

TerminalProgress::~TerminalProgress() {
    setReadObserver(m_previous);
    if (m_shown.empty()) return;
    std::fprintf(stderr, "\r%s\r", std::string(m_shown.size(), ' ').c_str());
    std::fflush(stderr);
}

void TerminalProgress::bytesRead(std::uint64_t done, std::uint64_t total) {
    if (!m_terminal || std::chrono::steady_clock::now() - m_start < kDelay) return;
    const std::string bar = progressBar(done, total, kBarWidth);
    if (bar == m_shown) return;
    m_shown = bar;
    std::fprintf(stderr, "\r%s", bar.c_str());
    std::fflush(stderr);
}

}  // namespace tessaro
