// Shows how far a long load has read its file in the status bar and keeps the
// window painted meanwhile. The load stays on the one thread: user input waits
// until it ends, so nothing can start a second load inside the first.
#pragma once

#include <QString>

#include <functional>

#include "shell/progress_pacing.h"
#include "xgl/input_stream.h"

class QStatusBar;

namespace tessaro {

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
    ProgressPacing m_pacing;
    ReadObserver* m_previous;
};

}  // namespace tessaro
