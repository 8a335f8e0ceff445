#include "app/load_progress.h"

#include <QCoreApplication>
#include <QStatusBar>

namespace tessaro {

QString progressMessage(const QString& name, int percent) {
    return QString::fromStdString(progressText(name.toStdString(), percent));
}

LoadProgress::LoadProgress(QStatusBar* bar, const QString& name, std::function<void()> resume,
                           int delayMs)
    : m_bar(bar),
      m_name(name),
      m_resume(std::move(resume)),
      m_pacing(delayMs),
      m_previous(setReadObserver(this)) {}

LoadProgress::~LoadProgress() {
    setReadObserver(m_previous);
    if (m_pacing.showedPercent()) m_bar->clearMessage();
}

void LoadProgress::bytesRead(std::uint64_t done, std::uint64_t total) {
    const ProgressPacing::Step step = m_pacing.blockRead(done, total);
    if (!step.paint) return;
    if (step.percent >= 0) m_bar->showMessage(progressMessage(m_name, step.percent));
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (m_resume) m_resume();
}

}  // namespace tessaro
