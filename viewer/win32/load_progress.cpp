#include "win32/load_progress.h"

#include <commctrl.h>

#include <utility>

#include "shell/shell_texts.h"

namespace tessaro {

namespace {

void setMessageLine(HWND statusBar, const std::string& text) {
    SendMessageA(statusBar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void paintPendingWindows() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
        DispatchMessageW(&message);
    }
}

}  // namespace

StatusProgress::StatusProgress(HWND statusBar, std::string name, int delayMs)
    : m_statusBar(statusBar),
      m_name(std::move(name)),
      m_pacing(delayMs),
      m_previous(setReadObserver(this)) {}

StatusProgress::~StatusProgress() {
    setReadObserver(m_previous);
    if (m_pacing.showedPercent()) setMessageLine(m_statusBar, kIdleMessage);
}

void StatusProgress::bytesRead(std::uint64_t done, std::uint64_t total) {
    const ProgressPacing::Step step = m_pacing.blockRead(done, total);
    if (!step.paint) return;
    if (step.percent >= 0) setMessageLine(m_statusBar, progressText(m_name, step.percent));
    paintPendingWindows();
}

std::string fileNameOf(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

}  // namespace tessaro
