// Keeps the run history of one upgrade run as the engine reports it: the
// run's start before the scan, a line written ahead of every library write
// and on stable storage before it, every hub's result as soon as it is known,
// the verification, and the run's end. One writer serves the command line and
// both windows, so there is one line format.
#ifndef TOLVANE_HISTORY_HISTORYWRITER_H
#define TOLVANE_HISTORY_HISTORYWRITER_H

#include "FileDigest.h"
#include "HistoryFile.h"
#include "HistoryLines.h"
#include "UpgradeObserver.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class HistoryWriter : public IUpgradeObserver {
public:
    // program: the program's name and version, as the run-start line names it.
    HistoryWriter(std::string program, std::string version);

    // Before Start: the approved list the run works under, for the run's
    // first line; signer empty for an unsigned list.
    void SetApprovedList(const std::string& path, const std::string& sha256, const std::string& signer);
    // Where each image's digest comes from (the run's one read of it);
    // unset, the image is hashed as its write starts.
    void TakeDigestsFrom(tolvane::platform::DigestSource digests) { m_digests = std::move(digests); }
    // A library that writes no hub at all (the read-only system mode) and
    // returns refusal for each: such a hub is recorded as not written, not
    // as a failed write.
    void SetReadOnlyRefusal(std::int32_t refusal) { m_readOnlyRefusal = refusal; }
    // Before Start: the run is board number board of a production loop, so
    // that its runs are told apart in order.
    void SetBoard(unsigned board) { m_board = board; }
    // Before Start: the station and the lot the run is for, kept as data.
    void SetIdentity(std::string station, std::optional<std::string> lot)
    {
        m_station = std::move(station);
        m_lot = std::move(lot);
    }
    // Why the hub at hand failed or found no image, for its result line;
    // unset or empty, the line gives no reason.
    void TakeReasonsFrom(std::function<std::string()> reasons) { m_reasons = std::move(reasons); }

    // Opens the history and writes the run's first line: before the scan,
    // so that a history that cannot be kept is found before any hub is
    // touched. False with Error() set.
    bool Start(const std::string& path);
    void ScanFailed();
    // What a fresh scan shows of a programmed hub; versionAfter unset when
    // the hub is gone.
    void Verified(unsigned entry, bool verified, std::optional<std::uint16_t> versionAfter);
    // The run's last line. interruption: what cut the run short ("SIGINT"),
    // if anything; exitStatus: the program's, when it has one.
    void Finish(const std::string& interruption = std::string(), std::optional<int> exitStatus = std::nullopt);

    // A line could not be written: no hub starts after it.
    bool Failed() const { return !m_error.empty(); }
    // Why the history could not be written, in a few words.
    const std::string& Error() const { return m_error; }

    void OnHubStart(unsigned entry, const HubInfo& hub) override;
    void OnHubCurrent(CurrentCheck check, std::uint16_t hubVersion, std::uint16_t compared) override;
    void OnNoImage() override;
    void OnImageChosen(const std::string& name, char layout, std::uint16_t version) override;
    void OnImageUnreadable() override;
    WriteDecision OnWriteStarting(const std::string& imagePath) override;
    bool ContinueRun() override { return !Failed(); }
    void OnWriteHeld(const WriteDecision& decision) override;
    void OnRunStopped(unsigned nextEntry) override;
    void OnLibraryResult(std::int32_t result, std::uint64_t milliseconds) override;

private:
    struct Hub {
        unsigned entry = 0;
        HubInfo info{};
        std::optional<history::LineImage> image;
        bool written = false; // its result line is in the history
    };

    nlohmann::json HubLine(const char* kind) const;
    void Result(const char* outcome, nlohmann::json more = nlohmann::json::object());
    bool Write(const nlohmann::json& line);

    std::string m_program;
    std::string m_version;
    HistoryFile m_file;
    history::RunStamp m_stamp;
    std::optional<Hub> m_hub;
    std::map<std::string, unsigned> m_counts;
    std::vector<unsigned> m_notStarted; // hub numbers
    std::optional<unsigned> m_board;
    std::optional<std::string> m_station;
    std::optional<std::string> m_lot;
    std::string m_error;
    nlohmann::json m_approvedList; // null when no list is in use
    tolvane::platform::DigestSource m_digests;
    std::function<std::string()> m_reasons;
    std::optional<std::int32_t> m_readOnlyRefusal;
};

#endif
