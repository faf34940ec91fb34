// The JSON documents of tolvane-cli. Field names are part of the interface
// that scripts rely on: add fields, never rename or remove them.
#ifndef TOLVANE_CLI_JSONREPORT_H
#define TOLVANE_CLI_JSONREPORT_H

#include "HubUpgrader.h"
#include "RunRecorder.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

// What every scan-based command reports: program and library, the settings
// as read, and the hub table when the scan passed.
nlohmann::json ScanJson(const char* command, const CHubUpgrader& upgrader, const RunRecorder& recorder,
                        bool scanPassed);

// One hub's result of an upgrade or a plan.
nlohmann::json ResultJson(const HubRecord& record);

// Explanations of every image judged for the hub.
nlohmann::json ExplainJson(const HubRecord& record);

// Always valid UTF-8: bytes that are not are replaced.
std::string DumpJson(const nlohmann::json& document);
// The same on one line, for reports given one a line (JSON lines).
std::string DumpJsonLine(const nlohmann::json& document);

#endif
