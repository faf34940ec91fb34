// The window of the command line: it keeps the log text that was pushed last
// and, on an interactive terminal, draws the progress bar on standard error.
#ifndef TOLVANE_CLI_CONSOLEWINDOW_H
#define TOLVANE_CLI_CONSOLEWINDOW_H

#include "UpgraderWindow.h"

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

class ConsoleWindow : public IUpgraderWindow {
public:
    // bar: where to draw the progress bar, or null for none.
    explicit ConsoleWindow(std::FILE* bar) : m_bar(bar) {}

    void SetLogText(const std::wstring& text) override { m_log = text; }
    void AppendLogText(const std::wstring& log, std::size_t shownLength) override;
    void SetProgressRange(int lower, int upper) override;
    void SetProgressPos(int position) override;
    // Ends the bar's line, if one was drawn.
    void FinishProgress();
    // What the bar counts, asked each time it is drawn (e.g. "hubs 2/3").
    void SetLabel(std::function<std::string()> label) { m_label = std::move(label); }

    const std::wstring& LogText() const { return m_log; }

private:
    std::FILE* m_bar;
    std::wstring m_log;
    std::function<std::string()> m_label;
    int m_lower = 0;
    int m_upper = 100;
    bool m_drawn = false;
};

#endif
