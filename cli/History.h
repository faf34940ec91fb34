// The run history: one JSON line per hub per upgrade run, appended to a file
// that many runs, on many hosts, may share.
#ifndef TOLVANE_CLI_HISTORY_H
#define TOLVANE_CLI_HISTORY_H

#include "RunRecorder.h"

#include <string>
#include <vector>

// A run identifier that no other run shares in practice.
std::string NewRunId();

// The line (with its "\n") that records one hub of the run.
std::string HistoryLine(const HubRecord& record, const std::string& time, const std::string& host,
                        const std::string& runId);

// Appends a line per hub; every line is attempted. False with error set
// (for the first failure) when any could not be written.
bool AppendHistory(const std::string& path, const std::vector<HubRecord>& records, std::string& error);

#endif
