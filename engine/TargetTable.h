// SpiFlash.ini's target-ID table, read without a scan.
#ifndef TOLVANE_ENGINE_TARGETTABLE_H
#define TOLVANE_ENGINE_TARGETTABLE_H

#include "IspRecords.h"

// The table as the scan hands it to the ISP library: the complete lines of
// [TargetID_U3], then of [TargetID_U2], at most 100. False, with an empty
// table, when the file cannot be opened.
bool ReadTargetTable(IniInfo& table);

#endif
