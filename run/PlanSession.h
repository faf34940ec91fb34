// What an upgrade would do, hub by hub, without programming anything: the
// scan, then every decision of the run judged as the run judges it. With an
// approved list, a report of the images or explanations, each chosen image
// is read once and judged on those bytes, as a protected run does, so that a
// plan and an upgrade of the same hubs and files agree.
#ifndef TOLVANE_RUN_PLANSESSION_H
#define TOLVANE_RUN_PLANSESSION_H

#include "Approval.h"
#include "ApprovalGate.h"
#include "HubUpgrader.h"
#include "ImageTake.h"
#include "RunRecorder.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct PlanOptions {
    ApprovalOptions approval;
    bool explain = false;      // every image judged for a hub is kept
    bool reportsBytes = false; // the front end names each image's bytes
};

class PlanSession {
public:
    PlanSession(CHubUpgrader& upgrader, PlanOptions options);

    // The approved list, before any hub is looked at; false with Error().
    bool Prepare();
    // The scan and the plan; afterScan runs between them, while the engine
    // holds the scan's table and log.
    void Run(IUpgraderWindow* window, const std::function<void()>& afterScan = {});

    bool Scanned() const { return m_scanned; }
    const RunRecorder& Recorder() const { return m_recorder; }
    const std::vector<HubRecord>& Hubs() const { return m_recorder.hubs; }
    const Approval* LoadedApproval() const { return m_approval ? &*m_approval : nullptr; }
    const std::string& Error() const { return m_error; }
    // The exit status the upgrade would have, as far as a plan can tell.
    int Status() const;

private:
    bool TakesImages() const;

    CHubUpgrader& m_upgrader;
    PlanOptions m_options;
    std::optional<Approval> m_approval;
    std::string m_error;
    std::unique_ptr<ApprovalGate> m_gate;
    ImageTake m_take{false};
    RunRecorder m_recorder;
    bool m_scanned = false;
};

// Where the library refuses every write, a hub that upgrade would hand over
// fails there.
bool WouldBeRefused(const HubRecord& record);

#endif
