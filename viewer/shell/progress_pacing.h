// When a long load shows how far it has read and lets the window paint, for both
// shells: the message waits for a delay, so quick loads show none, and the window
// paints at most every kProgressPaintMs unless the percentage changed.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

// A load quicker than this shows no progress message.
inline constexpr int kProgressDelayMs = 500;
// How often a load lets the window repaint.
inline constexpr int kProgressPaintMs = 100;

// "Loading NAME: N %"
std::string progressText(const std::string& name, int percent);

class ProgressPacing {
  public:
    explicit ProgressPacing(int delayMs = kProgressDelayMs);

    struct Step {
        bool paint = false;  // let the window paint (and show `percent` when not -1)
        int percent = -1;
    };
    // After each block read: `done` of `total` bytes (a total of 0 is unknown).
    Step blockRead(std::uint64_t done, std::uint64_t total);
    bool showedPercent() const { return m_percent >= 0; }

  private:
    using Clock = std::chrono::steady_clock;
    std::chrono::milliseconds m_delay;
    Clock::time_point m_start;
    std::optional<Clock::time_point> m_lastPaint;
    int m_percent = -1;  // the percentage shown; -1 while none is
};

}  // namespace tessaro
