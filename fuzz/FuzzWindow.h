// The window the fuzz targets hand to the engine.
#ifndef TOLVANE_FUZZ_FUZZWINDOW_H
#define TOLVANE_FUZZ_FUZZWINDOW_H

#include "UpgraderWindow.h"

#include <string>

// A window that takes every push and keeps only the latest text, as the
// command line does.
class LatestTextWindow : public IUpgraderWindow {
public:
    void SetLogText(const std::wstring& text) override { latest = text; }
    void SetProgressRange(int lower, int upper) override
    {
        low = lower;
        high = upper;
    }
    void SetProgressPos(int position) override { last = position; }

    std::wstring latest;
    int low = 0;
    int high = 0;
    int last = 0;
};

#endif
