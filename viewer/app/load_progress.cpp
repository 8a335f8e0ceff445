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

void LoadProgress::bytesRead(std::uint64_t done, std::uint64_t total) {
    if (total == 0 || m_sinceStart.elapsed() < m_delayMs) return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == m_percent && m_sincePaint.elapsed() < kProgressPaintMs) return;
    m_percent = percent;
    m_bar->showMessage(progressMessage(m_name, percent));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sincePaint.start();
    if (m_resume) m_resume();
}

}  // namespace tessaro
