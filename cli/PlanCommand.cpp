// plan: the scan, then what the upgrade would do with every hub, from the
// engine's own decisions; nothing is programmed.
#include "Commands.h"

#include "ConsoleWindow.h"
#include "ExitStatus.h"
#include "Explain.h"
#include "JsonReport.h"
#include "Platform.h"
#include "ReadOnlyNote.h"
#include "RunRecorder.h"
#include "StdoutCapture.h"

#include <algorithm>
#include <memory>

namespace {
// Where the library refuses every write, a hub that upgrade would hand over
// fails there; the plan says so instead of promising the write.
bool WouldBeRefused(const HubRecord& record)
{
    return record.Outcome() == HubOutcome::Program && ProgrammingRefused();
}

int PlanExitStatus(const std::vector<HubRecord>& records)
{
    if (std::any_of(records.begin(), records.end(), WouldBeRefused))
        return kExitFailed;
    return RunExitStatus(records);
}

std::string CurrentText(const HubRecord& record)
{
    if (*record.currentBy == CurrentCheck::ReferenceVersion)
        return CHubUpgrader::Format("current: FW Version %s equals FWVersion %X",
                                    ListedFirmwareVersion(record.hub).c_str(), record.comparedVersion);
    return CHubUpgrader::Format("current: image %s carries %04X, as the hub has", record.image->name.c_str(),
                                record.comparedVersion);
}

std::string DecisionText(const HubRecord& record)
{
    switch (record.Outcome()) {
    case HubOutcome::Current:
        return CurrentText(record);
    case HubOutcome::NoImage: {
        const std::string why = ExplainNoSearch(record);
        return why.empty() ? "no image fits" : "no image: " + why;
    }
    case HubOutcome::Failed:
        return "would fail: the chosen image ends before its version word";
    default:
        break;
    }
    if (WouldBeRefused(record))
        return CHubUpgrader::Format("would fail: writing %s needs the hub maker's ISP library on Windows",
                                    record.image->name.c_str());
    return CHubUpgrader::Format("would write %s (layout %c), %04X -> %04X", record.image->name.c_str(),
                                record.image->layout, record.hub.descriptor.bcdDevice, record.image->version);
}

std::string PlanText(const std::vector<HubRecord>& records, bool explain)
{
    std::string text;
    for (const HubRecord& record : records) {
        const HubInfo& hub = record.hub;
        text += CHubUpgrader::Format("Device(%u) %04X/%04X, Depth%u, Port%u, FW Version = %s: %s\n", record.entry + 1,
                                     hub.descriptor.idVendor, hub.descriptor.idProduct, hub.depth, hub.portIndex,
                                     ListedFirmwareVersion(hub).c_str(), DecisionText(record).c_str());
        if (!explain)
            continue;
        for (const JudgedImage& judged : record.images)
            text += "    " + tolvane::platform::WideToUtf8(judged.verdict.name) + ": " + ExplainImage(judged, record) +
                    "\n";
    }
    return text;
}

nlohmann::json PlanJson(const std::vector<HubRecord>& records, bool explain)
{
    nlohmann::json plan = nlohmann::json::array();
    for (const HubRecord& record : records) {
        nlohmann::json entry = ResultJson(record);
        entry.erase("libraryResult");
        entry.erase("libraryMs");
        entry["decision"] = DecisionText(record);
        if (WouldBeRefused(record))
            entry["outcome"] = OutcomeName(HubOutcome::Failed);
        if (explain)
            entry["images"] = ExplainJson(record);
        plan.push_back(entry);
    }
    return plan;
}
} // namespace

int RunPlanCommand(const CliOptions& options)
{
    RunRecorder recorder(options.explain);
    const Watching watching(recorder);
    ConsoleWindow window(nullptr);
    auto capture = options.json ? std::make_unique<StdoutCapture>() : nullptr;
    theHubUpgrader.m_strLog.clear();
    theHubUpgrader.m_strMsg.clear();
    const bool passed = theHubUpgrader.Initialzation(&window);
    nlohmann::json document = ScanJson("plan", theHubUpgrader, recorder, passed);
    if (passed)
        theHubUpgrader.PlanUpgrade(&window);
    const int status = passed ? PlanExitStatus(recorder.hubs) : kExitFailed;
    const std::string log = tolvane::platform::WideToUtf8(window.LogText());
    if (!options.json) {
        WriteOut(passed ? PlanText(recorder.hubs, options.explain) : log);
        return status;
    }
    document["plan"] = PlanJson(recorder.hubs, options.explain);
    document["exitStatus"] = status;
    document["notes"] = capture->Finish();
    document["log"] = log;
    WriteOut(DumpJson(document));
    return status;
}
