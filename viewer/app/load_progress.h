// Shows how far a long load has read its file in the status bar and keeps the
// window painted meanwhile. The load stays on the one thread: user input waits
// until it ends, so nothing can start a second load inside the first.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <functional>

#include "xgl/input_stream.h"

class QStatusBar;

namespace tessaro {

// A load quicker than this shows no progress message.
inline constexpr int kProgressDelayMs = 500;
// How often a load lets the window repaint.
inline constexpr int kProgressPaintMs = 100;

// "Loading NAME: N %"
QString progressMessage(const QString& name, int percent);

// Observes the file reads while it lives. `resume` runs after the window has
// painted, to make the load's GL context current again.
class LoadProgress final : public ReadObserver {
  public:
    LoadProgress(QStatusBar* bar, const QString& name, std::function<void()> resume,
                 int delayMs = kProgressDelayMs);
    ~LoadProgress();
    LoadProgress(const LoadProgress&) = delete;
    LoadProgress& operator=(const LoadProgress&) = delete;

    void bytesRead(std::uint64_t done, std::uint64_t total) override;

  private:
    QStatusBar* m_bar;
    QString m_name;
    std::function<void()> m_resume;
    int m_delayMs;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sincePaint;
    int m_percent = -1;  // the percentage shown; -1 while none is
    ReadObserver* m_previous;
};

}  // namespace tessaro
