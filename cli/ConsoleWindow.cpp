#include "ConsoleWindow.h"

#include <algorithm>

namespace {
constexpr int kBarWidth = 40;
}

void ConsoleWindow::AppendLogText(const std::wstring& log, std::size_t shownLength)
{
    // Only a log that starts with what is kept here can be continued.
    if (shownLength == m_log.size() && shownLength <= log.size())
        m_log.append(log, shownLength, std::wstring::npos);
    else
        m_log = log;
}

void ConsoleWindow::SetProgressRange(int lower, int upper)
{
    m_lower = lower;
    m_upper = upper;
}

void ConsoleWindow::SetProgressPos(int position)
{
    if (!m_bar)
        return;
    // Like a progress control, positions outside the range show at its ends.
    const int span = std::max(1, m_upper - m_lower);
    const int done = std::clamp(position - m_lower, 0, span);
    const int filled = done * kBarWidth / span;
    const std::string label = m_label ? " " + m_label() : std::string();
    std::fprintf(m_bar, "\r[%s%s] %3d%%%s", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                 std::string(static_cast<std::size_t>(kBarWidth - filled), ' ').c_str(), done * 100 / span,
                 label.c_str());
    std::fflush(m_bar);
    m_drawn = true;
}

void ConsoleWindow::FinishProgress()
{
    if (m_drawn)
        std::fputs("\n", m_bar);
    m_drawn = false;
}
