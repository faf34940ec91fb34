#include "HistoryReader.h"

#include "HistoryReaderShape.h"
#include "TextEscape.h"

#include <cstring>

using history::HeldRun;
using history::LineKind;
using history::ReadLine;
using nlohmann::json;

namespace {
json Entry(const ReadLine& line, std::uint64_t number)
{
    return {{"line", number}, {"time", line.time}, {"hub", line.hub}, {"image", line.image}};
}

// Roughly what a kept value takes in memory, for the bound on waiting runs.
std::size_t BytesOf(const json& value)
{
    std::size_t bytes = 48;
    if (value.is_string())
        bytes += value.get_ref<const std::string&>().size();
    else if (value.is_object())
        for (const auto& [key, item] : value.items())
            bytes += 32 + key.size() + BytesOf(item);
    else if (value.is_array())
        for (const json& item : value)
            bytes += BytesOf(item);
    return bytes;
}

// The byte count of one run and of every waiting run, kept together.
class Account {
public:
    Account(HeldRun& held, std::size_t& total) : m_held(held), m_total(total) {}
    HeldRun& Held() { return m_held; }
    RunSummary& Run() { return m_held.run; }
    void Add(std::size_t bytes)
    {
        m_held.bytes += bytes;
        m_total += bytes;
    }
    void Remove(std::size_t bytes)
    {
        m_held.bytes -= bytes;
        m_total -= bytes;
    }

private:
    HeldRun& m_held;
    std::size_t& m_total;
};

// Keeps the first entries of a kind and counts them all.
void Keep(Account& account, std::vector<json>& listed, std::uint64_t& count, json entry)
{
    ++count;
    if (listed.size() >= HistoryReader::kListedPerRun)
        return;
    account.Add(BytesOf(entry));
    listed.push_back(std::move(entry));
}

void Interrupted(Account& account, json entry)
{
    Keep(account, account.Run().interruptedWrites, account.Run().interruptedCount, std::move(entry));
}

unsigned IndexOf(const ReadLine& line)
{
    return line.hub["index"].get<unsigned>();
}

void TakeWriteStart(Account& account, const ReadLine& line, std::uint64_t number)
{
    json entry = Entry(line, number);
    account.Add(BytesOf(entry));
    // A second start for a hub whose first has no result: the first was cut
    // short, and stays reported.
    const auto placed = account.Held().pending.emplace(IndexOf(line), std::move(entry));
    if (!placed.second) {
        json first = std::move(placed.first->second);
        account.Remove(BytesOf(first));
        Interrupted(account, std::move(first));
        placed.first->second = Entry(line, number);
    }
}

void DropPending(Account& account, unsigned index)
{
    const auto found = account.Held().pending.find(index);
    if (found == account.Held().pending.end())
        return;
    account.Remove(BytesOf(found->second));
    account.Held().pending.erase(found);
}

// A library that writes no hub at all (the read-only system mode) declined
// it: nothing touched the hub, whatever the library returned.
bool Untouched(const std::string& outcome)
{
    return outcome == "not-written";
}

void KeepHub(Account& account, const ReadLine& line)
{
    RunSummary& run = account.Run();
    ++run.hubCount;
    if (run.hubs.size() >= HistoryReader::kListedPerRun)
        return;
    RunHub hub;
    hub.index = IndexOf(line);
    hub.vid = line.hub.value("vid", std::string());
    hub.pid = line.hub.value("pid", std::string());
    hub.oldVersion = line.oldVersion;
    if (line.image.is_object()) {
        hub.newVersion = line.image.value("firmwareVersion", std::string());
        hub.image = line.image.value("name", std::string());
        hub.sha256 = line.image.value("sha256", std::string());
    }
    hub.outcome = line.outcome;
    hub.reason = line.reason;
    hub.libraryResult = line.libraryResult;
    hub.libraryMs = line.libraryMs;
    hub.verified = line.verified;
    account.Add(sizeof hub + hub.vid.size() + hub.pid.size() + hub.image.size() + hub.sha256.size() +
                hub.reason.size() + hub.outcome.size());
    run.hubs.push_back(std::move(hub));
}

void TakeResult(Account& account, const ReadLine& line, std::uint64_t number)
{
    RunSummary& run = account.Run();
    DropPending(account, IndexOf(line));
    KeepHub(account, line);
    ++run.counts[line.outcome];
    if (line.libraryResult && *line.libraryResult != 0 && !Untouched(line.outcome)) {
        json entry = Entry(line, number);
        entry["libraryResult"] = *line.libraryResult;
        Keep(account, run.failedWrites, run.failedCount, std::move(entry));
    }
    const bool notWritten =
        line.outcome == "no-image" || line.outcome == "refused" || (line.outcome == "failed" && !line.libraryResult);
    if (notWritten) {
        json entry = Entry(line, number);
        entry["outcome"] = line.outcome;
        entry["reason"] = line.reason.empty() ? json(nullptr) : json(line.reason);
        Keep(account, run.failures, run.failureCount, std::move(entry));
    }
    // Earlier versions wrote the verification into the result.
    if (line.verified == false)
        Keep(account, run.unverified, run.unverifiedCount, Entry(line, number));
}

// The verification belongs to the hub's latest result.
void MarkVerified(RunSummary& run, const ReadLine& line)
{
    const unsigned index = IndexOf(line);
    for (auto hub = run.hubs.rbegin(); hub != run.hubs.rend(); ++hub)
        if (hub->index == index) {
            hub->verified = line.verified;
            return;
        }
}

void TakeVerify(Account& account, const ReadLine& line, std::uint64_t number)
{
    MarkVerified(account.Run(), line);
    if (line.verified != false)
        return;
    json entry = Entry(line, number);
    entry["versionAfter"] = line.versionAfter;
    Keep(account, account.Run().unverified, account.Run().unverifiedCount, std::move(entry));
}

void TakeRunEnd(RunSummary& run, const ReadLine& line)
{
    run.ended = true;
    run.notStarted = line.notStarted;
    if (!line.interruption.empty())
        run.interruption = line.interruption;
}

void TakeLine(Account& account, const ReadLine& line, std::uint64_t number)
{
    RunSummary& run = account.Run();
    switch (line.kind) {
    case LineKind::RunStart:
        run.started = true;
        run.program = line.program;
        run.station = line.station.value_or(std::string());
        run.lot = line.lot;
        run.board = line.board;
        run.signer = line.signer;
        break;
    case LineKind::ScanFailed:
        run.scanFailed = true;
        break;
    case LineKind::WriteStart:
        TakeWriteStart(account, line, number);
        break;
    case LineKind::Result:
        TakeResult(account, line, number);
        break;
    case LineKind::Verify:
        TakeVerify(account, line, number);
        break;
    case LineKind::RunEnd:
        TakeRunEnd(run, line);
        account.Held().closed = true;
        break;
    }
}

constexpr std::uint64_t kFingerprintPrime = 1099511628211ull;

// FNV-1a over the line.
std::uint64_t Fingerprint(const std::string& text)
{
    std::uint64_t hash = 1469598103934665603ull;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kFingerprintPrime;
    }
    return hash;
}

bool AtRisk(const RunSummary& run)
{
    return run.interruptedCount > 0 || run.failedCount > 0 || run.unverifiedCount > 0;
}

std::string Field(const json& value, const char* name)
{
    return value.contains(name) && value[name].is_string() ? EscapeBytes(value[name].get<std::string>()) : "?";
}

std::string Number(const json& value, const char* name)
{
    return value.contains(name) && value[name].is_number_integer() ? value[name].dump() : "?";
}
} // namespace

HistoryReader::HistoryReader(RunSink sink) : m_sink(std::move(sink))
{}

HistoryReader::HistoryReader() : m_sink([this](RunSummary&& run) { m_kept.push_back(std::move(run)); })
{}

bool HistoryReader::Read(std::istream& in)
{
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        Feed(buffer, static_cast<std::size_t>(in.gcount()));
    End();
    return !in.bad();
}

void HistoryReader::Feed(const char* data, std::size_t size)
{
    const char* const end = data + size;
    while (data < end) {
        const void* found = std::memchr(data, '\n', static_cast<std::size_t>(end - data));
        const char* stop = found ? static_cast<const char*>(found) : end;
        const std::size_t length = static_cast<std::size_t>(stop - data);
        const std::size_t room = kMaxLine - m_text.size();
        m_text.append(data, length < room ? length : room);
        m_tooLong = m_tooLong || length > room;
        data = stop;
        if (found) {
            EndLine();
            ++data;
        }
    }
}

void HistoryReader::EndLine()
{
    if (m_tooLong)
        Problem(m_number, "too long for a history line");
    else
        Take(m_text, m_number);
    m_text.clear();
    m_tooLong = false;
    ++m_number;
}

// A write with no result by the end of the history was cut short.
void HistoryReader::End()
{
    if (!m_text.empty() || m_tooLong)
        EndLine(); // a last line without its end
    m_lines = m_number - 1;
    while (!m_held.empty())
        ReportFront();
    m_open.clear();
}

void HistoryReader::Take(const std::string& text, std::uint64_t number)
{
    if (text.empty() || text == "\r")
        return;
    // A NUL ends the parser's input early: "{...}\0more" would pass for the
    // object alone. No JSON text holds a raw NUL.
    const json parsed =
        text.find('\0') == std::string::npos ? json::parse(text, nullptr, false) : json(json::value_t::discarded);
    if (parsed.is_discarded()) {
        Problem(number, "torn or not JSON");
        return;
    }
    ReadLine line;
    if (!history::TakeShape(parsed, line)) {
        Problem(number, "not a history line");
        return;
    }
    const std::uint64_t fingerprint = Fingerprint(text);
    if (Repeats(line.run, fingerprint)) {
        Problem(number, "a repeat of an earlier line of its run");
        return;
    }
    HeldRun& held = RunOf(line.run, line.time, line.host);
    Remember(held, fingerprint);
    // The run's lines in their order, each by its own fingerprint.
    held.run.fingerprint = (held.run.fingerprint ^ fingerprint) * kFingerprintPrime;
    held.run.endTime = line.time;
    Account account(held, m_heldBytes);
    TakeLine(account, line, number);
    // A run that ended takes no more lines; another with its id is new.
    if (held.closed)
        Retire(held);
    Release();
}

// Reports the runs whose turn has come, and the earliest runs while too
// many wait.
void HistoryReader::Release()
{
    while (!m_held.empty() && m_held.front().closed)
        ReportFront();
    while (!m_held.empty() && (m_held.size() > kHeldRuns || m_heldBytes > kHeldBytes)) {
        HeldRun& front = m_held.front();
        if (!front.closed)
            Retire(front);
        front.run.reportedEarly = true;
        ++m_reportedEarly;
        ReportFront();
        while (!m_held.empty() && m_held.front().closed)
            ReportFront();
    }
}

void HistoryReader::ReportFront()
{
    HeldRun& held = m_held.front();
    Account account(held, m_heldBytes);
    for (auto& [index, entry] : held.pending)
        Interrupted(account, std::move(entry));
    held.pending.clear();
    m_heldBytes -= held.bytes;
    ++m_runCount;
    m_anythingOpen = m_anythingOpen || AtRisk(held.run);
    RunSummary run = std::move(held.run);
    m_held.pop_front();
    m_sink(std::move(run));
}

void HistoryReader::Problem(std::uint64_t number, const char* problem)
{
    ++m_problemCount;
    if (m_problems.size() < kListedProblems)
        m_problems.push_back(HistoryProblem{number, problem});
}

bool HistoryReader::Repeats(const std::string& id, std::uint64_t line) const
{
    const auto open = m_open.find(id);
    if (open != m_open.end())
        return open->second->lines.count(line) > 0;
    for (const auto& [ended, lines] : m_ended)
        if (ended == id && lines.count(line) > 0)
            return true;
    return false;
}

// Roughly what a fingerprint takes in a hash set.
constexpr std::size_t kRememberedBytes = 32;

void HistoryReader::Remember(HeldRun& held, std::uint64_t line)
{
    if (held.lines.size() >= kRememberedLines)
        return;
    held.lines.insert(line);
    Account(held, m_heldBytes).Add(kRememberedBytes);
}

// The run takes no more lines; its own are remembered a while among the
// ended runs'.
void HistoryReader::Retire(HeldRun& held)
{
    m_open.erase(held.run.run);
    Account(held, m_heldBytes).Remove(held.lines.size() * kRememberedBytes);
    m_ended.emplace_front(held.run.run, std::move(held.lines));
    held.lines.clear();
    if (m_ended.size() > kEndedRemembered)
        m_ended.pop_back();
}

HeldRun& HistoryReader::RunOf(const std::string& id, const std::string& time, const std::string& host)
{
    const auto found = m_open.find(id);
    if (found != m_open.end())
        return *found->second;
    HeldRun held;
    held.run.run = id;
    held.run.time = time;
    held.run.host = host;
    m_held.push_back(std::move(held));
    m_open.emplace(id, std::prev(m_held.end()));
    return m_held.back();
}

std::string HubText(const json& hub)
{
    std::string text = "hub " + Number(hub, "number");
    if (hub.contains("vid"))
        text += " (" + Field(hub, "vid") + ":" + Field(hub, "pid") + ", depth " + Number(hub, "depth") + ", port " +
                Number(hub, "port") + ")";
    return text;
}
