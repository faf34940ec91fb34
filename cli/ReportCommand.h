// tolvane-cli report: the line's view over any number of histories.
#ifndef TOLVANE_CLI_REPORTCOMMAND_H
#define TOLVANE_CLI_REPORTCOMMAND_H

#include "CliArgs.h"

int RunReportCommand(const CliOptions& options);

#endif
