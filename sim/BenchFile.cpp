#include "BenchFile.h"

#include "AsciiText.h"
#include "StrictNumber.h"
#include "TextFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

namespace tolvane::bench {
namespace {

// Blanks are spaces and tabs only; anything else is part of a name or value.
constexpr const char* kBlanks = " \t";

std::string Trim(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return std::string();
    const std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

// Calls take(lineNumber, line) for every line that is neither blank nor a
// comment, with its line end removed; stops at the first false take.
template <typename Take>
bool ForEachLine(const std::string& text, Take take)
{
    std::size_t start = 0;
    // Editors on Windows like to begin UTF-8 files with a byte order mark.
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        start = 3;
    std::size_t lineNumber = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::string trimmed = Trim(line);
        if (trimmed.empty() || trimmed[0] == ';')
            continue;
        if (!take(lineNumber, line))
            return false;
    }
    return true;
}

struct NumberKey {
    const char* name; // lower case
    std::uint64_t max;
    void (*store)(BenchHub&, std::uint64_t);
};

const NumberKey kHubNumberKeys[] = {
    {"vid", 0xFFFF, [](BenchHub& h, std::uint64_t v) { h.vid = static_cast<std::uint16_t>(v); }},
    {"pid", 0xFFFF, [](BenchHub& h, std::uint64_t v) { h.pid = static_cast<std::uint16_t>(v); }},
    {"bcddevice", 0xFFFF, [](BenchHub& h, std::uint64_t v) { h.bcdDevice = static_cast<std::uint16_t>(v); }},
    {"bcdusb", 0xFFFF, [](BenchHub& h, std::uint64_t v) { h.bcdUsb = static_cast<std::uint16_t>(v); }},
    {"depth", 0xFF, [](BenchHub& h, std::uint64_t v) { h.depth = static_cast<std::uint8_t>(v); }},
    {"portindex", 0xFF, [](BenchHub& h, std::uint64_t v) { h.portIndex = static_cast<std::uint8_t>(v); }},
    {"chipversion", 0xFF, [](BenchHub& h, std::uint64_t v) { h.chipVersion = static_cast<std::uint8_t>(v); }},
    {"hubflags", 0xFF, [](BenchHub& h, std::uint64_t v) { h.hubFlags = static_cast<std::uint8_t>(v); }},
    // Failure codes are negative in practice, and numbers carry no sign, so
    // the result is written as its 32-bit pattern (0xFFFFFFFF is -1).
    {"updateresult", 0xFFFFFFFF,
     [](BenchHub& h, std::uint64_t v) { h.updateResult = static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); }},
    {"updatems", 0xFFFFFFFF, [](BenchHub& h, std::uint64_t v) { h.updateMs = static_cast<std::uint32_t>(v); }},
    {"failafterms", 0xFFFFFFFF, [](BenchHub& h, std::uint64_t v) { h.failAfterMs = static_cast<std::uint32_t>(v); }},
    {"noversionchange", 1, [](BenchHub& h, std::uint64_t v) { h.noVersionChange = v != 0; }},
};

struct LibraryKey {
    const char* name; // lower case
    std::uint64_t max;
    void (*store)(Bench&, std::uint64_t);
};

const LibraryKey kLibraryKeys[] = {
    {"version", 0xFFFFFFFF, [](Bench& b, std::uint64_t v) { b.version = static_cast<std::uint32_t>(v); }},
    // Any 32-bit count is taken, and only its low byte reaches the record,
    // so that a bench can reproduce a library that miscounts.
    {"hubcount", 0xFFFFFFFF, [](Bench& b, std::uint64_t v) { b.hubCount = static_cast<std::uint8_t>(v & 0xFF); }},
    {"garbagefill", 0xFF, [](Bench& b, std::uint64_t v) { b.garbageFill = static_cast<std::uint8_t>(v); }},
    {"versionuntouched", 1, [](Bench& b, std::uint64_t v) { b.versionUntouched = v != 0; }},
};

// A string value with its escapes decoded: \xNN for any byte (a zero, or one
// a text editor cannot show) and \\ for a backslash. Any other backslash is
// refused, so that a typo cannot silently become bytes.
bool DecodeEscapes(const std::string& raw, std::string& decoded, std::string& fault)
{
    const auto digit = [&raw](std::size_t at) { return at < raw.size() ? ascii::HexDigitValue(raw[at]) : -1; };
    decoded.clear();
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '\\') {
            decoded += raw[i];
        } else if (i + 1 < raw.size() && raw[i + 1] == '\\') {
            decoded += '\\';
            ++i;
        } else if (i + 1 < raw.size() && raw[i + 1] == 'x' && digit(i + 2) >= 0 && digit(i + 3) >= 0) {
            decoded += static_cast<char>(digit(i + 2) * 16 + digit(i + 3));
            i += 3;
        } else {
            fault = raw.substr(i, std::min<std::size_t>(4, raw.size() - i));
            return false;
        }
    }
    return true;
}

enum class SectionKind { None, Library, Registry, Hub };

struct Section {
    SectionKind kind = SectionKind::None;
    int hubNumber = 0;          // 1 to 32 for a hub section
    std::string shownName;      // as written, for messages
    std::set<std::string> keys; // lower case, to find repeats
};

// Hub numbers are exactly 1 to 32 without leading zeros, so that [Hub01] and
// [Hub1] can never both describe the first hub.
int HubNumberOf(const std::string& lowerName)
{
    if (lowerName.size() < 4 || lowerName.size() > 5 || lowerName.compare(0, 3, "hub") != 0)
        return 0;
    int number = 0;
    for (std::size_t i = 3; i < lowerName.size(); ++i) {
        const char c = lowerName[i];
        if (c < '0' || c > '9' || (i == 3 && c == '0'))
            return 0;
        number = number * 10 + (c - '0');
    }
    return number <= 32 ? number : 0;
}

class Parser {
public:
    bool Run(const std::string& text, Bench& bench, std::string& error);

private:
    bool Fail(const std::string& what);
    bool OpenSection(const std::string& name);
    bool TakeKey(const std::string& line, std::size_t equals);
    bool TakeNumber(const std::string& key, const std::string& value, std::uint64_t max, std::uint64_t& number);

    std::size_t m_lineNumber = 0;
    std::string m_error;
    Section m_section;
    std::set<std::string> m_seenSections; // lower case
    Bench m_bench;
    std::map<int, BenchHub> m_hubs; // by hub number, gaps included
};

bool Parser::Fail(const std::string& what)
{
    m_error = "line " + std::to_string(m_lineNumber) + ": " + what;
    return false;
}

bool Parser::OpenSection(const std::string& name)
{
    const std::string lower = ascii::Lower(name);
    Section next;
    next.shownName = name;
    if (lower == "library") {
        next.kind = SectionKind::Library;
    } else if (lower == "registry") {
        next.kind = SectionKind::Registry;
    } else if (const int number = HubNumberOf(lower); number != 0) {
        next.kind = SectionKind::Hub;
        next.hubNumber = number;
    } else {
        return Fail("unknown section [" + name + "]");
    }
    if (!m_seenSections.insert(lower).second)
        return Fail("repeated section [" + name + "]");
    if (next.kind == SectionKind::Hub)
        m_hubs[next.hubNumber] = BenchHub();
    m_section = std::move(next);
    return true;
}

bool Parser::TakeNumber(const std::string& key, const std::string& value, std::uint64_t max, std::uint64_t& number)
{
    switch (strict_number::Parse(value, max, number)) {
    case strict_number::Fault::Bad:
        return Fail("bad number '" + value + "' for " + key);
    case strict_number::Fault::Range:
        return Fail(key + " " + value + " is out of range (at most " + std::to_string(max) + ")");
    case strict_number::Fault::None:
        break;
    }
    return true;
}

bool Parser::TakeKey(const std::string& line, std::size_t equals)
{
    const std::string key = Trim(line.substr(0, equals));
    const std::string rawValue = line.substr(equals + 1);
    const std::string value = Trim(rawValue);
    if (key.empty())
        return Fail("empty key name");
    if (m_section.kind == SectionKind::None)
        return Fail("key '" + key + "' outside a section");
    const std::string lower = ascii::Lower(key);
    const std::string unknown = "unknown key '" + key + "' in [" + m_section.shownName + "]";

    // Check the name before recording it, so an unknown key repeated is
    // reported as unknown rather than as repeated.
    const NumberKey* hubKey = nullptr;
    const LibraryKey* libraryKey = nullptr;
    bool isString = false;
    if (m_section.kind == SectionKind::Library) {
        for (const LibraryKey& candidate : kLibraryKeys) {
            if (lower == candidate.name)
                libraryKey = &candidate;
        }
        if (libraryKey == nullptr)
            return Fail(unknown);
    } else if (m_section.kind == SectionKind::Hub) {
        isString = lower == "manufacturer" || lower == "product";
        for (const NumberKey& candidate : kHubNumberKeys) {
            if (lower == candidate.name)
                hubKey = &candidate;
        }
        if (!isString && hubKey == nullptr)
            return Fail(unknown);
    }
    if (!m_section.keys.insert(lower).second)
        return Fail("repeated key '" + key + "' in [" + m_section.shownName + "]");

    std::uint64_t number = 0;
    switch (m_section.kind) {
    case SectionKind::Library:
        if (!TakeNumber(key, value, libraryKey->max, number))
            return false;
        libraryKey->store(m_bench, number);
        return true;
    case SectionKind::Registry:
        if (!TakeNumber(key, value, 0xFFFFFFFF, number))
            return false;
        if (number != 0)
            m_bench.registryKeys.push_back(key);
        return true;
    case SectionKind::Hub: {
        BenchHub& hub = m_hubs[m_section.hubNumber];
        if (isString) {
            // Strings go to the library byte for byte, blanks included, so a
            // bench can reproduce the padding real hubs report.
            std::string bytes;
            std::string fault;
            if (!DecodeEscapes(rawValue, bytes, fault))
                return Fail("bad escape '" + fault + "' in " + key + " (\\xNN or \\\\)");
            auto& field = lower == "manufacturer" ? hub.manufacturer : hub.product;
            field.fill(0);
            std::memcpy(field.data(), bytes.data(), std::min(bytes.size(), field.size()));
            return true;
        }
        if (!TakeNumber(key, value, hubKey->max, number))
            return false;
        hubKey->store(hub, number);
        return true;
    }
    case SectionKind::None:
        break;
    }
    return true;
}

bool Parser::Run(const std::string& text, Bench& bench, std::string& error)
{
    const bool ok = ForEachLine(text, [this](std::size_t number, const std::string& line) {
        m_lineNumber = number;
        const std::string trimmed = Trim(line);
        if (trimmed[0] == '[') {
            if (trimmed.back() != ']')
                return Fail("expected a [section] or key=value line");
            return OpenSection(Trim(trimmed.substr(1, trimmed.size() - 2)));
        }
        if (const std::size_t equals = line.find('='); equals != std::string::npos)
            return TakeKey(line, equals);
        return Fail("expected a [section] or key=value line");
    });
    if (!ok) {
        error = m_error;
        bench = Bench();
        return false;
    }

    for (int number = 1; m_hubs.count(number) != 0; ++number)
        m_bench.hubs.push_back(m_hubs[number]);
    bench = std::move(m_bench);
    error.clear();
    return true;
}

} // namespace

bool Bench::HasRegistryKey(const std::string& key) const
{
    const std::string wanted = ascii::Lower(key);
    for (const std::string& present : registryKeys) {
        if (ascii::Lower(present) == wanted)
            return true;
    }
    return false;
}

std::string BenchPath()
{
    const char* fromEnvironment = std::getenv("TOLVANE_BENCH");
    if (fromEnvironment != nullptr && fromEnvironment[0] != '\0')
        return fromEnvironment;
    return "HubBench.ini";
}

bool ParseBench(const std::string& text, Bench& bench, std::string& error)
{
    Parser parser;
    return parser.Run(text, bench, error);
}

namespace {

// Missing when nothing is at path; Malformed, with error set, when something
// is there that cannot be read.
BenchStatus ReadText(const std::string& path, std::string& text, std::string& error)
{
    // A file that is there but cannot be read is reported rather than taken
    // as absent: silently running without what it describes would send
    // whoever wrote it looking in the wrong place.
    platform::FileHandle file;
    std::string reason;
    switch (file.Open(path, platform::FileOpenOptions{}, reason)) {
    case platform::OpenStatus::Missing:
        return BenchStatus::Missing;
    case platform::OpenStatus::Refused:
        error = path + ": cannot read the file";
        return BenchStatus::Malformed;
    case platform::OpenStatus::Opened:
        break;
    }
    switch (ReadAll(file, kMaxTextFileSize, text)) {
    case ReadAllResult::Read:
        return BenchStatus::Loaded;
    case ReadAllResult::TooLarge:
        error = path + ": cannot read the file: larger than 16 MiB";
        break;
    case ReadAllResult::Failed:
        error = path + ": cannot read the file";
        break;
    }
    text.clear();
    return BenchStatus::Malformed;
}

// Reads the file at path and parses it; a parse error names the file.
template <typename Result, typename Parser>
BenchStatus LoadParsed(const std::string& path, Result& result, std::string& error, Parser parse)
{
    result = Result();
    error.clear();
    std::string text;
    const BenchStatus status = ReadText(path, text, error);
    if (status != BenchStatus::Loaded)
        return status;
    std::string parseError;
    if (!parse(text, result, parseError)) {
        error = path + ": " + parseError;
        return BenchStatus::Malformed;
    }
    return BenchStatus::Loaded;
}

} // namespace

BenchStatus LoadBench(const std::string& path, Bench& bench, std::string& error)
{
    return LoadParsed(path, bench, error, ParseBench);
}

std::string StatePath(const std::string& benchPath)
{
    return benchPath + ".state";
}

bool ParseState(const std::string& text, HubFirmware& firmware, std::string& error)
{
    HubFirmware parsed;
    std::string fault;
    const bool ok = ForEachLine(text, [&](std::size_t number, const std::string& line) {
        const std::string where = "line " + std::to_string(number) + ": ";
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos) {
            fault = where + "expected a HubN=version line";
            return false;
        }
        const std::string key = Trim(line.substr(0, equals));
        const std::string value = Trim(line.substr(equals + 1));
        const int hub = HubNumberOf(ascii::Lower(key));
        if (hub == 0) {
            fault = where + "unknown key '" + key + "'";
            return false;
        }
        std::uint64_t version = 0;
        switch (strict_number::Parse(value, 0xFFFF, version)) {
        case strict_number::Fault::Bad:
            fault = where + "bad number '" + value + "' for " + key;
            return false;
        case strict_number::Fault::Range:
            fault = where + key + " " + value + " is out of range (at most 65535)";
            return false;
        case strict_number::Fault::None:
            break;
        }
        if (!parsed.emplace(hub, static_cast<std::uint16_t>(version)).second) {
            fault = where + "repeated key '" + key + "'";
            return false;
        }
        return true;
    });
    if (!ok) {
        error = fault;
        firmware.clear();
        return false;
    }
    firmware = std::move(parsed);
    error.clear();
    return true;
}

std::string FormatState(const HubFirmware& firmware)
{
    std::string text = "; Firmware programmed into the simulated hubs, as bcdDevice.\n"
                       "; Delete this file to return the hubs to the bench.\n";
    for (const auto& [hub, version] : firmware) {
        char line[32];
        std::snprintf(line, sizeof line, "Hub%d=0x%04X\n", hub, static_cast<unsigned>(version));
        text += line;
    }
    return text;
}

BenchStatus LoadState(const std::string& path, HubFirmware& firmware, std::string& error)
{
    return LoadParsed(path, firmware, error, ParseState);
}

void ApplyState(const HubFirmware& firmware, Bench& bench)
{
    for (const auto& [hub, version] : firmware) {
        if (static_cast<std::size_t>(hub) <= bench.hubs.size())
            bench.hubs[static_cast<std::size_t>(hub) - 1].bcdDevice = version;
    }
}

} // namespace tolvane::bench
