#include "shell/progress_pacing.h"

namespace tessaro {

std::string progressText(const std::string& name, int percent) {
    return "Loading " + name + ": " + std::to_string(percent) + " %";
}

ProgressPacing::ProgressPacing(int delayMs) : m_delay(delayMs), m_start(Clock::now()) {}

// The window paints from the first block on, so that a load started with the program
// does not leave it black; the message waits for the delay.
ProgressPacing::Step ProgressPacing::blockRead(std::uint64_t done, std::uint64_t total) {
    const Clock::time_point now = Clock::now();
    const bool showing = total != 0 && now - m_start >= m_delay;
    const int percent = showing ? static_cast<int>(done * 100 / total) : -1;
    const bool paintedLately =
        m_lastPaint && now - *m_lastPaint < std::chrono::milliseconds(kProgressPaintMs);
    if (percent == m_percent && paintedLately) return {};
    m_percent = percent;
    m_lastPaint = now;
    return {true, percent};
}

}  // namespace tessaro
