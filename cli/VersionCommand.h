// tolvane-cli --version: what a report of a fault needs to name.
#ifndef TOLVANE_CLI_VERSIONCOMMAND_H
#define TOLVANE_CLI_VERSIONCOMMAND_H

#include <cstdint>
#include <string>

// The three lines: the program, the ISP library as RX_GetDllVersion gave it
// (result: what the call returned), and the build.
std::string VersionText(int result, std::uint32_t libraryVersion);

// Prints the lines; the exit status.
int RunVersionCommand();

#endif
