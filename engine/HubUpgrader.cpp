#include "HubUpgrader.h"

#include "Platform.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

CHubUpgrader theHubUpgrader;

namespace {
std::string FormatV(const char* format, std::va_list args)
{
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, again);
    va_end(again);
    if (length <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}
} // namespace

CHubUpgrader::~CHubUpgrader()
{
    ReleaseHubModules();
}

void CHubUpgrader::ReleaseHubModules()
{
    while (m_pHubModule) {
        HubModule* next = m_pHubModule->pNext;
        delete m_pHubModule;
        m_pHubModule = next;
    }
}

void CHubUpgrader::AppendLog(const std::string& text)
{
    m_strLog += tolvane::platform::WidenAnsi(text);
}

void CHubUpgrader::AppendLog(const std::wstring& text)
{
    m_strLog += text;
}

void CHubUpgrader::ReplaceLog(const std::string& text)
{
    m_strLog = tolvane::platform::WidenAnsi(text);
    m_bLogReplaced = true;
}

void CHubUpgrader::FormatMsg(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    m_strMsg = tolvane::platform::WidenAnsi(FormatV(format, args));
    va_end(args);
}

void CHubUpgrader::PushLog()
{
    if (!m_pDlg)
        return;
    if (LogOnlyGrewSinceShown())
        m_pDlg->AppendLogText(m_strLog, m_nShownLength);
    else
        m_pDlg->SetLogText(m_strLog);
    RememberShownLog();
}

bool CHubUpgrader::LogOnlyGrewSinceShown() const
{
    if (m_bLogReplaced || m_pDlg != m_pShownIn || m_strLog.size() < m_nShownLength)
        return false;
    const std::size_t tail = m_strShownTail.size();
    return m_strLog.compare(m_nShownLength - tail, tail, m_strShownTail) == 0;
}

void CHubUpgrader::RememberShownLog()
{
    constexpr std::size_t kTailLength = 16;
    m_pShownIn = m_pDlg;
    m_nShownLength = m_strLog.size();
    const std::size_t tail = std::min(kTailLength, m_nShownLength);
    m_strShownTail.assign(m_strLog, m_nShownLength - tail, tail);
    m_bLogReplaced = false;
}

std::string CHubUpgrader::Format(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    std::string text = FormatV(format, args);
    va_end(args);
    return text;
}

void CHubUpgrader::PrintOut(const char* format, ...)
{
    std::va_list args;
    va_start(args, format);
    const std::string text = FormatV(format, args);
    va_end(args);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}
