// Collects what the engine decided for every hub of a run or a plan, from
// the engine's own notifications, for the JSON report, the explanations, the
// verification and the history.
#ifndef TOLVANE_RUN_RUNRECORDER_H
#define TOLVANE_RUN_RUNRECORDER_H

#include "FileDigest.h"
#include "UpgradeObserver.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class HubOutcome { Program, Programmed, Current, NoImage, Failed, Refused };

struct ChosenImage {
    std::string name;
    char layout = 'B';
    std::uint16_t version = 0;
    // The SHA-256 and size of the bytes the run read for the hub; unset when
    // the run read none (nothing asked for them) or they could not be hashed.
    std::optional<tolvane::platform::FileDigest> digest = std::nullopt;
};

struct JudgedImage {
    ImageVerdict verdict;
    bool afterChoice = false;
};

struct HubRecord {
    unsigned entry = 0;
    HubInfo hub{};
    std::optional<CurrentCheck> currentBy;
    std::uint16_t comparedVersion = 0;
    bool noImage = false;
    bool unreadable = false;
    bool unsupported = false;
    bool moduleMissing = false;
    bool noImageFolder = false;
    std::optional<TargetIdEntry> target;
    std::optional<ChosenImage> image;
    std::optional<std::int32_t> libraryResult;
    std::uint64_t libraryMs = 0;
    std::vector<JudgedImage> images; // only when every image was asked for
    // The image that passed the most of the selection's tests before it
    // failed one: why no image fits, in one verdict.
    std::optional<ImageVerdict> nearest;
    std::optional<ImageVerdict> chosen;        // the selection's verdict on the chosen image
    std::optional<std::string> refused;        // why a watcher held the write
    std::optional<bool> verified;              // set by the verification only
    std::optional<std::uint16_t> versionAfter; // what the rescan shows; unset when the hub is gone

    HubOutcome Outcome() const;
};

class RunRecorder : public IUpgradeObserver {
public:
    // everyImage: every image judged for a hub is asked for and kept, for
    // explanations; otherwise none is kept, so that memory does not grow
    // with the number of images.
    explicit RunRecorder(bool everyImage = false) : m_everyImage(everyImage) {}
    // The recorder learns each image's digest from the run's one read of it
    // and hashes nothing itself; without a source it records none.
    void TakeDigestsFrom(tolvane::platform::DigestSource digests) { m_digests = std::move(digests); }

    void OnDllVersion(std::uint32_t version) override { libraryVersion = version; }
    void OnScanStep(const char* step) override { scanStep = step; }
    void OnHubStart(unsigned entry, const HubInfo& hub) override;
    void OnHubCurrent(CurrentCheck check, std::uint16_t hubVersion, std::uint16_t compared) override;
    void OnHubUnsupported(std::uint32_t vidPid) override;
    void OnHubModuleMissing() override;
    void OnTargetFound(const TargetIdEntry& target) override;
    void OnNoImageFolder() override;
    void OnImageConsidered(const ImageVerdict& verdict, bool afterChoice) override;
    bool WantsEveryImage() const override { return m_everyImage; }
    void OnNoImage() override;
    void OnImageChosen(const std::string& name, char layout, std::uint16_t version) override;
    void OnImageUnreadable() override;
    WriteDecision OnWriteStarting(const std::string& imagePath) override;
    void OnWriteHeld(const WriteDecision& decision) override;
    void OnRunStopped(unsigned nextEntry) override;
    void OnLibraryResult(std::int32_t result, std::uint64_t milliseconds) override;

    std::optional<std::uint32_t> libraryVersion;
    // The last step the scan began; where a failed scan stopped.
    std::string scanStep;
    // In the order the engine served the hubs: the last entry first.
    std::vector<HubRecord> hubs;
    // The hub numbers of a run that ended before them, in the run's order.
    std::vector<unsigned> notStarted;

private:
    // The hub being served; notifications outside a hub's turn (the scan's
    // own) are not recorded.
    HubRecord* Current() { return hubs.empty() ? nullptr : &hubs.back(); }
    std::optional<tolvane::platform::FileDigest> TakenDigest(const std::string& name) const;
    bool m_everyImage;
    tolvane::platform::DigestSource m_digests;
};

const char* OutcomeName(HubOutcome outcome);

// Exit status of an upgrade (or of a plan, whose hubs are not programmed).
int RunExitStatus(const std::vector<HubRecord>& hubs);

#endif
