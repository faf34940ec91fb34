#include "RunRecorder.h"

#include "ExitStatus.h"
#include "Platform.h"

HubOutcome HubRecord::Outcome() const
{
    if (currentBy)
        return HubOutcome::Current;
    if (noImage)
        return HubOutcome::NoImage;
    if (refused)
        return HubOutcome::Refused;
    if (unreadable || (libraryResult && *libraryResult != 0))
        return HubOutcome::Failed;
    return libraryResult ? HubOutcome::Programmed : HubOutcome::Program;
}

const char* OutcomeName(HubOutcome outcome)
{
    switch (outcome) {
    case HubOutcome::Program:
        return "program";
    case HubOutcome::Programmed:
        return "programmed";
    case HubOutcome::Current:
        return "current";
    case HubOutcome::NoImage:
        return "no-image";
    case HubOutcome::Refused:
        return "refused";
    case HubOutcome::Failed:
        break;
    }
    return "failed";
}

int RunExitStatus(const std::vector<HubRecord>& hubs)
{
    bool current = false;
    bool unverified = false;
    for (const HubRecord& record : hubs) {
        const HubOutcome outcome = record.Outcome();
        if (outcome == HubOutcome::NoImage || outcome == HubOutcome::Failed || outcome == HubOutcome::Refused)
            return kExitFailed;
        current = current || outcome == HubOutcome::Current;
        unverified = unverified || (record.verified && !*record.verified);
    }
    if (unverified)
        return kExitUnverified;
    return current ? kExitCurrent : kExitDone;
}

void RunRecorder::OnHubStart(unsigned entry, const HubInfo& hub)
{
    HubRecord record;
    record.entry = entry;
    record.hub = hub;
    hubs.push_back(record);
}

void RunRecorder::OnHubCurrent(CurrentCheck check, std::uint16_t /*hubVersion*/, std::uint16_t compared)
{
    if (HubRecord* record = Current()) {
        record->currentBy = check;
        record->comparedVersion = compared;
        // Not written, so never taken: the report names the file as it is.
        if (record->image && !record->image->digest)
            record->image->digest = DigestOf(tolvane::platform::kImageFolder + record->image->name);
    }
}

void RunRecorder::OnHubUnsupported(std::uint32_t /*vidPid*/)
{
    if (HubRecord* record = Current())
        record->unsupported = true;
}

void RunRecorder::OnHubModuleMissing()
{
    if (HubRecord* record = Current())
        record->moduleMissing = true;
}

void RunRecorder::OnTargetFound(const TargetIdEntry& target)
{
    if (HubRecord* record = Current())
        record->target = target;
}

void RunRecorder::OnNoImageFolder()
{
    if (HubRecord* record = Current())
        record->noImageFolder = true;
}

void RunRecorder::OnImageConsidered(const ImageVerdict& verdict, bool afterChoice)
{
    HubRecord* record = Current();
    if (record && m_everyImage)
        record->images.push_back(JudgedImage{verdict, afterChoice});
}

void RunRecorder::OnNoImage()
{
    if (HubRecord* record = Current())
        record->noImage = true;
}

void RunRecorder::OnImageChosen(const std::string& name, char layout, std::uint16_t version)
{
    if (HubRecord* record = Current()) {
        const bool hashNow = !m_digests;
        record->image = ChosenImage{name, layout, version,
                                    hashNow ? DigestOf(tolvane::platform::kImageFolder + name) : std::nullopt};
    }
}

void RunRecorder::OnImageUnreadable()
{
    if (HubRecord* record = Current())
        record->unreadable = true;
}

void RunRecorder::OnLibraryResult(std::int32_t result, std::uint64_t milliseconds)
{
    if (HubRecord* record = Current()) {
        record->libraryResult = result;
        record->libraryMs = milliseconds;
    }
}

WriteDecision RunRecorder::OnWriteStarting(const std::string& imagePath)
{
    HubRecord* record = Current();
    if (!record || !record->image)
        return {};
    tolvane::platform::FileDigest digest;
    std::string ignored;
    if (tolvane::platform::DigestFrom(m_digests, imagePath, digest, ignored))
        record->image->digest = digest;
    else
        record->image->digest.reset();
    return {};
}

void RunRecorder::OnWriteHeld(const WriteDecision& decision)
{
    HubRecord* record = Current();
    if (!record)
        return;
    record->refused = decision.reason;
    // Held before this watcher was asked: the bytes the check judged.
    tolvane::platform::FileDigest digest;
    std::string ignored;
    if (record->image && !record->image->digest && m_digests &&
        m_digests(tolvane::platform::kImageFolder + record->image->name, digest, ignored))
        record->image->digest = digest;
}

// A hub whose write never began is among the hubs not started, not a
// result of the run.
void RunRecorder::OnRunStopped(unsigned nextEntry)
{
    if (!hubs.empty() && hubs.back().entry == nextEntry)
        hubs.pop_back();
}

std::optional<tolvane::platform::FileDigest> DigestOf(const std::string& path)
{
    tolvane::platform::FileDigest digest;
    std::string ignored;
    if (!tolvane::platform::Sha256File(path, digest, ignored))
        return std::nullopt;
    return digest;
}
