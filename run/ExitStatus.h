// The exit statuses of tolvane-cli, which scripts on a production line act on.
#ifndef TOLVANE_RUN_EXITSTATUS_H
#define TOLVANE_RUN_EXITSTATUS_H

enum ExitStatus : int {
    kExitDone = 0,       // every hub programmed (scan, plan: the scan passed)
    kExitFailed = 1,     // a hub failed, the scan failed, or the history was not written
    kExitUsage = 2,      // the command line was wrong
    kExitCurrent = 3,    // no hub failed, at least one was already current
    kExitUnverified = 4, // a programmed hub does not show its new firmware
    // 128 + N: an upgrade interrupted by signal N (see Interruption.h)
};

#endif
