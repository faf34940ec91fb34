// plan: the scan, then what the upgrade would do with every hub, from the
// engine's own decisions; nothing is programmed.
#include "Commands.h"

#include "ConsoleWindow.h"
#include "ExitStatus.h"
#include "Explain.h"
#include "JsonReport.h"
#include "PlanSession.h"
#include "Platform.h"
#include "RunRecorder.h"
#include "ShownName.h"
#include "StdoutCapture.h"
#include "UnmatchedImages.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {
std::string CurrentText(const HubRecord& record)
{
    if (*record.currentBy == CurrentCheck::ReferenceVersion)
        return CHubUpgrader::Format("current: FW Version %s equals FWVersion %X",
                                    ListedFirmwareVersion(record.hub).c_str(), record.comparedVersion);
    return CHubUpgrader::Format("current: image %s carries %04X, as the hub has", ShownName(record.image->name).c_str(),
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
    case HubOutcome::Refused:
        return CHubUpgrader::Format("would be refused: %s %s", ShownName(record.image->name).c_str(),
                                    record.refused->c_str());
    default:
        break;
    }
    if (WouldBeRefused(record))
        return CHubUpgrader::Format("would fail: writing %s needs the hub maker's ISP library on Windows",
                                    ShownName(record.image->name).c_str());
    return CHubUpgrader::Format("would write %s (layout %c), %04X -> %04X", ShownName(record.image->name).c_str(),
                                record.image->layout, record.hub.descriptor.bcdDevice, record.image->version);
}

// The identity of the chosen image, for an explanation.
std::string DigestText(const HubRecord& record)
{
    if (!record.image)
        return std::string();
    const std::string name = ShownName(record.image->name);
    if (!record.image->digest)
        return "    chosen image " + name + ": cannot be hashed\n";
    return CHubUpgrader::Format("    chosen image %s: sha256 %s, %llu bytes\n", name.c_str(),
                                record.image->digest->sha256.c_str(),
                                static_cast<unsigned long long>(record.image->digest->size));
}

// The engine's notes come first; the plan starts on a line of its own.
std::string AfterNotes(const std::string& notes)
{
    return notes.empty() || notes.back() == '\n' ? notes : notes + "\n";
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
            text += "    " + ShownName(judged.verdict.name) + ": " + ExplainImage(judged, record) + "\n";
        text += DigestText(record);
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
        if (WouldBeRefused(record)) {
            entry["outcome"] = OutcomeName(HubOutcome::Failed);
            entry["reason"] = "writing needs the hub maker's ISP library on Windows";
        }
        if (explain)
            entry["images"] = ExplainJson(record);
        plan.push_back(entry);
    }
    return plan;
}
// The plan shows the hubs the list would refuse; the entries behind them
// are named before, where a list that still works can be mended.
void WarnUnmatched(const ApprovalOptions& options, const Approval* approval)
{
    if (!approval)
        return;
    for (const UnmatchedEntry& entry : UnmatchedEntries(approval->list, "Bin"))
        std::fprintf(stderr, "tolvane-cli: --approved %s: matches no image: %s\n", ShownPath(options.list).c_str(),
                     UnmatchedText(entry).c_str());
}
} // namespace

int RunPlanCommand(const CliOptions& options)
{
    PlanSession session(theHubUpgrader, PlanOptions{options.approval, options.explain, options.json});
    if (!session.Prepare()) {
        std::fprintf(stderr, "tolvane-cli: --approved %s: %s\n", ShownPath(options.approval.list).c_str(),
                     session.Error().c_str());
        return kExitUsage;
    }
    WarnUnmatched(options.approval, session.LoadedApproval());
    ConsoleWindow window(nullptr);
    // Text keeps the notes too, to end them before the plan starts.
    StdoutCapture capture;
    if (options.json && !capture.Capturing()) {
        std::fprintf(stderr, "tolvane-cli: cannot keep the standard output apart for --json: %s\n",
                     capture.Error().c_str());
        return kExitFailed;
    }
    nlohmann::json document;
    session.Run(&window, [&] { document = ScanJson("plan", theHubUpgrader, session.Recorder(), session.Scanned()); });
    const std::string notes = capture.Finish();
    const int status = session.Status();
    const std::string log = tolvane::platform::WideToUtf8(window.LogText());
    if (!options.json) {
        WriteText(session.Scanned() ? AfterNotes(notes) + PlanText(session.Hubs(), options.explain) : notes + log);
        return status;
    }
    document["plan"] = PlanJson(session.Hubs(), options.explain);
    if (const Approval* approval = session.LoadedApproval())
        document["approvedList"] = ApprovedListJson(*approval);
    document["exitStatus"] = status;
    document["notes"] = notes;
    document["log"] = log;
    WriteOut(DumpJson(document));
    return status;
}
