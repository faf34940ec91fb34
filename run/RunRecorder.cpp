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
    if (!record)
        return;
    if (m_everyImage)
        record->images.push_back(JudgedImage{verdict, afterChoice});
    if (afterChoice)
        return;
    // The tests run in the order of ImageTest, so a later failing test means
    // an image that came nearer to fitting.
    if (verdict.test == ImageTest::Fits)
        record->chosen = verdict;
    else if (!record->nearest || verdict.test > record->nearest->test)
        record->nearest = verdict;
}

void RunRecorder::OnNoImage()
{
    if (HubRecord* record = Current())
        record->noImage = true;
}

void RunRecorder::OnImageChosen(const std::string& name, char layout, std::uint16_t version)
{
    if (HubRecord* record = Current())
        record->image = ChosenImage{name, layout, version, TakenDigest(name)};
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

WriteDecision RunRecorder::OnWriteStarting(const std::string& /*imagePath*/)
{
    HubRecord* record = Current();
    if (record && record->image && !record->image->digest)
        record->image->digest = TakenDigest(record->image->name);
    return {};
}

void RunRecorder::OnWriteHeld(const WriteDecision& decision)
{
    HubRecord* record = Current();
    if (!record)
        return;
    record->refused = decision.reason;
    if (record->image && !record->image->digest)
        record->image->digest = TakenDigest(record->image->name);
}

std::optional<tolvane::platform::FileDigest> RunRecorder::TakenDigest(const std::string& name) const
{
    tolvane::platform::FileDigest digest;
    std::string ignored;
    if (!m_digests || !m_digests(tolvane::platform::kImageFolder + name, digest, ignored))
        return std::nullopt;
    return digest;
}

// A hub whose write never began is among the hubs not started, not a
// result of the run.
void RunRecorder::OnRunStopped(unsigned nextEntry)
{
    if (!hubs.empty() && hubs.back().entry == nextEntry)
        hubs.pop_back();
    for (unsigned entry = nextEntry + 1; entry-- > 0;)
        notStarted.push_back(entry + 1);
}
