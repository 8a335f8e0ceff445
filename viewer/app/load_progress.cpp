#include "app/load_progress.h"

#include <QCoreApplication>
#include <QStatusBar>

namespace tessaro {

QString progressMessage(const QString& name, int percent) {
    return QStringLiteral("Loading %1: %2 %").arg(name).arg(percent);
}

LoadProgress::LoadProgress(QStatusBar* bar, const QString& name, std::function<void()> resume,
                           int delayMs)
    : m_bar(bar),
      m_name(name),
      m_resume(std::move(resume)),
      m_delayMs(delayMs),
      m_previous(setReadObserver(this)) {
    m_sinceStart.start();
}

LoadProgress::~LoadProgress() {
    setReadObserver(m_previous);
    if (m_percent >= 0) m_bar->clearMessage();
}

// The window paints from the first block on, so that a load started with the
// program does not leave it black; the message waits for the delay.
void LoadProgress::bytesRead(std::uint64_t done, std::uint64_t total) {
    const bool showing = total != 0 && m_sinceStart.elapsed() >= m_delayMs;
    const int percent = showing ? static_cast<int>(done * 100 / total) : -1;
    const bool paintedLately = m_sincePaint.isValid() && m_sincePaint.elapsed() < kProgressPaintMs;
    if (percent == m_percent && paintedLately) return;
    m_percent = percent;
    if (showing) m_bar->showMessage(progressMessage(m_name, percent));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sincePaint.start();
    if (m_resume) m_resume();
}

}  // namespace tessaro
