// One press of "Scan Device" for a front end that reports it: the scan with
// a recorder of the library's report.
#ifndef TOLVANE_RUN_SCANSESSION_H
#define TOLVANE_RUN_SCANSESSION_H

#include "HubUpgrader.h"
#include "RunRecorder.h"

class ScanSession {
public:
    explicit ScanSession(CHubUpgrader& upgrader) : m_upgrader(upgrader) {}

    // The scan, whose log goes to window; true when it passed.
    bool Run(IUpgraderWindow* window);
    const RunRecorder& Recorder() const { return m_recorder; }

private:
    CHubUpgrader& m_upgrader;
    RunRecorder m_recorder;
};

#endif
