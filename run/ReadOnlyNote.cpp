#include "ReadOnlyNote.h"

#include "HubSource.h"

bool SystemHubsSelected()
{
    return tolvane::syshubs::SelectedHubSource() == tolvane::syshubs::HubSource::System;
}

bool ProgrammingRefused()
{
#ifdef _WIN32
    // On Windows the library in use is the maker's or the bench's; neither
    // knows TOLVANE_HUBS.
    return false;
#else
    return SystemHubsSelected();
#endif
}

void NoteRefusedProgramming(const std::wstring& log, std::FILE* out)
{
    if (!ProgrammingRefused())
        return;
    // The engine writes this line just before it calls the library.
    if (log.find(L"ISP in device(") == std::wstring::npos)
        return;
    std::fputs("tolvane-cli: the hubs were read, not programmed: writing firmware needs the hub maker's ISP "
               "library on Windows\n",
               out);
}
