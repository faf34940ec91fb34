#include "HistoryWriter.h"

#include "FileDigest.h"
#include "Platform.h"
#include "TextEscape.h"

#include <utility>

using nlohmann::json;

HistoryWriter::HistoryWriter(std::string program, std::string version)
    : m_program(std::move(program)), m_version(std::move(version))
{
    m_stamp.host = EscapeBytes(tolvane::platform::HostName());
    m_stamp.run = history::NewRunId();
}

void HistoryWriter::SetApprovedList(const std::string& path, const std::string& sha256, const std::string& signer)
{
    m_approvedList = {{"path", EscapeBytes(path)}, {"sha256", sha256}};
    if (!signer.empty())
        m_approvedList["signer"] = signer;
}

bool HistoryWriter::Start(const std::string& path)
{
    std::string error;
    if (!m_file.Open(path, error)) {
        m_error = error;
        return false;
    }
    json line = history::Line(m_stamp, "run-start");
    line["program"] = m_program;
    line["programVersion"] = m_version;
    if (!m_approvedList.is_null())
        line["approvedList"] = m_approvedList;
    if (m_board)
        line["board"] = *m_board;
    if (m_station)
        line["station"] = *m_station;
    if (m_lot)
        line["lot"] = *m_lot;
    return Write(line);
}

void HistoryWriter::ScanFailed()
{
    Write(history::Line(m_stamp, "scan-failed"));
}

void HistoryWriter::Verified(unsigned entry, bool verified, std::optional<std::uint16_t> versionAfter)
{
    json line = history::Line(m_stamp, "verify");
    line["hub"] = {{"index", entry}, {"number", entry + 1}};
    line["verified"] = verified;
    line["versionAfter"] = versionAfter ? json(history::Hex(*versionAfter, 4)) : json(nullptr);
    Write(line);
}

void HistoryWriter::Finish(const std::string& interruption, std::optional<int> exitStatus)
{
    json line = history::Line(m_stamp, "run-end");
    line["counts"] = m_counts;
    line["notStarted"] = m_notStarted;
    line["interruption"] = interruption.empty() ? json(nullptr) : json(interruption);
    line["historyError"] = m_error.empty() ? json(nullptr) : json(m_error);
    if (exitStatus)
        line["exitStatus"] = *exitStatus;
    Write(line);
}

void HistoryWriter::OnHubStart(unsigned entry, const HubInfo& hub)
{
    m_hub = Hub{entry, hub, std::nullopt, false};
}

void HistoryWriter::OnHubCurrent(CurrentCheck /*check*/, std::uint16_t /*hubVersion*/, std::uint16_t /*compared*/)
{
    Result("current");
}

void HistoryWriter::OnNoImage()
{
    Result("no-image");
}

void HistoryWriter::OnImageChosen(const std::string& name, char /*layout*/, std::uint16_t version)
{
    if (m_hub)
        m_hub->image = history::LineImage{name, version, std::nullopt, std::nullopt};
}

void HistoryWriter::OnImageUnreadable()
{
    Result("failed");
}

WriteDecision HistoryWriter::OnWriteStarting(const std::string& imagePath)
{
    if (m_hub && m_hub->image) {
        // The bytes about to be written, read once more: what the file holds
        // now is what the library is given.
        tolvane::platform::FileDigest digest;
        std::string ignored;
        if (tolvane::platform::DigestFrom(m_digests, imagePath, digest, ignored)) {
            m_hub->image->size = digest.size;
            m_hub->image->sha256 = digest.sha256;
        }
    }
    if (!Failed() && Write(HubLine("write-start")))
        return {};
    WriteDecision stop;
    stop.kind = WriteDecision::Kind::StopRun;
    stop.logLine = "!!!Error the history cannot be written: " + m_error + "\r\n";
    stop.reason = "the history cannot be written: " + m_error;
    return stop;
}

void HistoryWriter::OnWriteHeld(const WriteDecision& decision)
{
    Result("refused", {{"reason", decision.reason}});
}

void HistoryWriter::OnRunStopped(unsigned nextEntry)
{
    for (unsigned entry = nextEntry + 1; entry-- > 0;)
        m_notStarted.push_back(entry + 1);
}

void HistoryWriter::OnLibraryResult(std::int32_t result, std::uint64_t milliseconds)
{
    const char* outcome = result == 0 ? "programmed" : "failed";
    if (m_readOnlyRefusal && result == *m_readOnlyRefusal)
        outcome = "not-written";
    Result(outcome, {{"libraryResult", result}, {"libraryMs", milliseconds}});
}

json HistoryWriter::HubLine(const char* kind) const
{
    json line = history::Line(m_stamp, kind);
    line["hub"] = history::HubJson(m_hub->entry, m_hub->info);
    line["oldVersion"] = history::Hex(m_hub->info.descriptor.bcdDevice, 4);
    line["image"] = m_hub->image ? history::ImageJson(*m_hub->image) : json(nullptr);
    return line;
}

void HistoryWriter::Result(const char* outcome, json more)
{
    if (!m_hub || m_hub->written)
        return;
    m_hub->written = true;
    ++m_counts[outcome];
    json line = HubLine("result");
    line["outcome"] = outcome;
    line["libraryResult"] = nullptr;
    line["verified"] = nullptr;
    line.update(more);
    if (!line.contains("reason") && m_reasons) {
        const std::string reason = m_reasons();
        if (!reason.empty())
            line["reason"] = reason;
    }
    Write(line);
}

bool HistoryWriter::Write(const json& line)
{
    std::string error;
    if (m_file.Append(history::Dump(line), error))
        return true;
    if (m_error.empty())
        m_error = error;
    return false;
}
