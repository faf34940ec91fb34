// What the upgrade engine may do with the window that runs it: replace the
// text of the log box and move the progress bar. The Windows dialog, the
// Linux window, the command line and the tests each implement it.
#ifndef TOLVANE_ENGINE_UPGRADERWINDOW_H
#define TOLVANE_ENGINE_UPGRADERWINDOW_H

#include <cstddef>
#include <string>

// The range an upgrade run gives the progress bar, from 0; the windows start
// with it too.
constexpr int kProgressMaximum = 100;

class IUpgraderWindow {
public:
    virtual ~IUpgraderWindow() = default;
    // Replaces the whole content of the log box; shown from its beginning.
    virtual void SetLogText(const std::wstring& text) = 0;
    // The log has only grown since the box last received it: its first
    // shownLength characters are what the box shows. Afterwards the box must
    // show the whole log, exactly as SetLogText would. Adding only the new
    // text keeps a long run from copying the whole log at every message; a
    // window that cannot do that takes the whole text.
    virtual void AppendLogText(const std::wstring& log, std::size_t shownLength)
    {
        static_cast<void>(shownLength);
        SetLogText(log);
    }
    virtual void SetProgressRange(int lower, int upper) = 0;
    virtual void SetProgressPos(int position) = 0;
};

#endif
