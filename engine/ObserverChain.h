// Several watchers of one run in a fixed order: the engine takes one
// observer, and a front end may need a report, a check of the images and a
// record written ahead at once. Every notification goes to each watcher in
// turn; a write is held by the first watcher that holds it, and the watchers
// after it are not asked. The library's path is the one the last watcher that
// named one gave.
#ifndef TOLVANE_ENGINE_OBSERVERCHAIN_H
#define TOLVANE_ENGINE_OBSERVERCHAIN_H

#include "UpgradeObserver.h"

#include <initializer_list>
#include <vector>

class ObserverChain : public IUpgradeObserver {
public:
    ObserverChain() = default;
    ObserverChain(std::initializer_list<IUpgradeObserver*> watchers) : m_watchers(watchers) {}
    // Null watchers are skipped, so that optional ones can be passed as they are.
    void Add(IUpgradeObserver* watcher)
    {
        if (watcher)
            m_watchers.push_back(watcher);
    }

    void OnDllVersion(std::uint32_t version) override { Each(&IUpgradeObserver::OnDllVersion, version); }
    void OnScanStep(const char* step) override { Each(&IUpgradeObserver::OnScanStep, step); }
    void OnHubStart(unsigned entry, const HubInfo& hub) override { Each(&IUpgradeObserver::OnHubStart, entry, hub); }
    void OnHubCurrent(CurrentCheck check, std::uint16_t hubVersion, std::uint16_t compared) override
    {
        Each(&IUpgradeObserver::OnHubCurrent, check, hubVersion, compared);
    }
    void OnHubUnsupported(std::uint32_t vidPid) override { Each(&IUpgradeObserver::OnHubUnsupported, vidPid); }
    void OnHubModuleMissing() override { Each(&IUpgradeObserver::OnHubModuleMissing); }
    void OnTargetFound(const TargetIdEntry& target) override { Each(&IUpgradeObserver::OnTargetFound, target); }
    void OnNoImageFolder() override { Each(&IUpgradeObserver::OnNoImageFolder); }
    void OnImageConsidered(const ImageVerdict& verdict, bool afterChoice) override
    {
        Each(&IUpgradeObserver::OnImageConsidered, verdict, afterChoice);
    }
    bool WantsEveryImage() const override
    {
        for (const IUpgradeObserver* watcher : m_watchers)
            if (watcher->WantsEveryImage())
                return true;
        return false;
    }
    void OnNoImage() override { Each(&IUpgradeObserver::OnNoImage); }
    void OnImageChosen(const std::string& name, char layout, std::uint16_t version) override
    {
        Each(&IUpgradeObserver::OnImageChosen, name, layout, version);
    }
    void OnImageUnreadable() override { Each(&IUpgradeObserver::OnImageUnreadable); }
    // The first watcher that reads the image answers for all.
    ImageTaking OnImageTaking(const std::string& imagePath) override
    {
        for (IUpgradeObserver* watcher : m_watchers) {
            ImageTaking taking = watcher->OnImageTaking(imagePath);
            if (taking.kind != ImageTaking::Kind::NotTaken)
                return taking;
        }
        return {};
    }
    WriteDecision OnWriteStarting(const std::string& imagePath) override
    {
        WriteDecision proceed;
        for (IUpgradeObserver* watcher : m_watchers) {
            WriteDecision decision = watcher->OnWriteStarting(imagePath);
            if (decision.kind != WriteDecision::Kind::Proceed)
                return decision;
            if (!decision.libraryPath.empty())
                proceed.libraryPath = decision.libraryPath;
        }
        return proceed;
    }
    // Every watcher is asked, so that each one that counts or records
    // something on the way sees the question.
    bool ContinueRun() override
    {
        bool go = true;
        for (IUpgradeObserver* watcher : m_watchers)
            go = watcher->ContinueRun() && go;
        return go;
    }
    void OnWriteHeld(const WriteDecision& decision) override { Each(&IUpgradeObserver::OnWriteHeld, decision); }
    void OnRunStopped(unsigned nextEntry) override { Each(&IUpgradeObserver::OnRunStopped, nextEntry); }
    void OnLibraryResult(std::int32_t result, std::uint64_t milliseconds) override
    {
        Each(&IUpgradeObserver::OnLibraryResult, result, milliseconds);
    }
    void OnProgress(int position) override { Each(&IUpgradeObserver::OnProgress, position); }

private:
    template <typename... Params, typename... Args>
    void Each(void (IUpgradeObserver::*notify)(Params...), Args&&... args)
    {
        for (IUpgradeObserver* watcher : m_watchers)
            (watcher->*notify)(args...);
    }

    std::vector<IUpgradeObserver*> m_watchers;
};

#endif
