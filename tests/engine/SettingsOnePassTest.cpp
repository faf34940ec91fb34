// The one pass over SpiFlash.ini must find what a fresh scan per section and
// per key finds, on any file; and the hub chain must come out as acting on
// every HUBNumber line in turn leaves it. Both are checked against plain
// scans with SettingsText on many generated files.
#include "EngineFixture.h"
#include "SettingsSections.h"
#include "SettingsText.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>

namespace {
// The lines of the section that a fresh scan for header finds, or none.
std::optional<std::vector<std::string>> PlainSection(const char* header)
{
    SettingsText file;
    EXPECT_TRUE(file.Open("SpiFlash.ini"));
    if (!file.FindSection(header))
        return std::nullopt;
    std::vector<std::string> lines;
    while (const char* line = file.NextSectionLine())
        lines.emplace_back(line);
    return lines;
}

std::vector<std::string> WithKey(const std::vector<std::string>& lines, const char* key)
{
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.find('=') != std::string::npos && line.find(key) != std::string::npos)
            found.push_back(line);
    }
    return found;
}

// The value of a per-hub key as a scan from the first mention of HUBModule
// finds it.
std::optional<std::string> PlainKey(const std::string& key)
{
    const auto lines = PlainSection("HUBModule");
    if (!lines)
        return std::nullopt;
    const auto found = WithKey(*lines, key.c_str());
    if (found.empty())
        return std::nullopt;
    return std::string(ValueOf(found.front().c_str()));
}

// Past one entry more than the table holds and one broken line more than
// the log shows, target-ID lines change nothing.
std::vector<std::string> LinesThatCanMatter(const std::vector<std::string>& lines)
{
    std::vector<std::string> kept;
    unsigned complete = 0;
    unsigned broken = 0;
    for (const std::string& line : lines) {
        std::uint32_t vidPid = 0;
        std::uint32_t targetId = 0;
        const bool ok = ParseTargetIdLine(line.c_str(), vidPid, targetId);
        unsigned& seen = ok ? complete : broken;
        if (seen < (ok ? kMaxTargetIds + 1 : TargetIdLines::kIgnoredShown + 1)) {
            ++seen;
            kept.push_back(line);
        }
    }
    return kept;
}

class FileMaker {
public:
    explicit FileMaker(unsigned seed) : m_random(seed) {}

    unsigned Pick(unsigned count) { return std::uniform_int_distribution<unsigned>(0, count - 1)(m_random); }

    std::string Line()
    {
        static const char* const kLines[] = {"[TargetID_U3]",
                                             "[TargetID_U2]",
                                             "[Misc]",
                                             "[HUBModule]",
                                             "[HUBFWCheck]",
                                             "note HUBModule here",
                                             "a [ b=1",
                                             "05E30610=0D13",
                                             "0x3C5E0460=0x10D12",
                                             "zz=1",
                                             "3C5E0461 0D12",
                                             "Manufacturer&ProductStringCompare=3",
                                             "Manufacturer&ProductStringCompare=x",
                                             "HUBNumber=2",
                                             "HUBNumber=x",
                                             "HUBNumber=300",
                                             "NO.1HUBWantUpdateBinFile=A.BIN",
                                             "XNO.2HUBDepth=5",
                                             "NO.02HUBDepth=1",
                                             "NO.12HUBDepth=3 NO.2HUBConnectionPortIndex=7",
                                             "NO.2HUBWantUpdateBinFile B.BIN",
                                             "=NO.3HUBDepth",
                                             "NO.3HUBConnectionPortIndex=9=NO.3HUBWantUpdateBinFile",
                                             "CheckHUBFW=1 FWVersion",
                                             "FWVersion=139",
                                             "CheckHUBFW=-2",
                                             "",
                                             "junk"};
        std::string line = kLines[Pick(sizeof kLines / sizeof *kLines)];
        // Long lines put keys into second pieces, or cut them in two.
        if (Pick(6) == 0)
            line = std::string(170 + Pick(40), '.') + line;
        return line + (Pick(4) == 0 ? "\r\n" : "\n");
    }

    std::string File()
    {
        std::string text;
        const unsigned lines = Pick(60);
        for (unsigned i = 0; i < lines; ++i)
            text += Line();
        return text;
    }

private:
    std::mt19937 m_random;
};

void ExpectSameAsPlainScans(const std::string& file, const SettingsSections& read, const SettingsSections::Start& start)
{
    SCOPED_TRACE(file);
    const char* const targetHeaders[] = {"[TargetID_U3]", "[TargetID_U2]"};
    for (int i = 0; i < 2; ++i) {
        const auto lines = PlainSection(targetHeaders[i]);
        EXPECT_EQ(read.targetIds[i].found, lines.has_value());
        if (lines) {
            EXPECT_EQ(read.targetIds[i].lines, LinesThatCanMatter(WithKey(*lines, "=")));
        }
    }

    const auto misc = PlainSection("[Misc]");
    EXPECT_EQ(read.miscFound, misc.has_value());
    const auto compare = misc ? WithKey(*misc, "Manufacturer&ProductStringCompare") : std::vector<std::string>();
    EXPECT_EQ(read.hasStringCompare, !compare.empty());
    if (!compare.empty()) {
        EXPECT_EQ(read.stringCompareLine, compare.front());
    }

    std::vector<std::uint8_t> numbers;
    std::uint8_t number = start.hubNumber;
    if (const auto module = PlainSection("[HUBModule]")) {
        for (const std::string& line : WithKey(*module, "HUBNumber")) {
            std::int32_t value = 0;
            if (ScanDecimal(ValueOf(line.c_str()), value))
                number = static_cast<std::uint8_t>(value);
            numbers.push_back(number);
        }
    }
    const std::size_t shown = std::min<std::size_t>(numbers.size(), HubNumberLines::kShown);
    EXPECT_EQ(read.hubNumbers.shown, std::vector<std::uint8_t>(numbers.begin(), numbers.begin() + shown));
    EXPECT_EQ(read.hubNumbers.hidden, numbers.size() - shown);

    for (unsigned hub = 1; hub <= 13; ++hub) {
        for (int kind = 0; kind < HubKeyIndex::kKinds; ++kind) {
            const auto which = static_cast<HubKeyIndex::Kind>(kind);
            const auto expected = PlainKey(HubKeyIndex::KeyName(hub, which));
            const char* found = read.hubKeys.Find(hub, which);
            EXPECT_EQ(found != nullptr, expected.has_value()) << HubKeyIndex::KeyName(hub, which);
            if (found && expected) {
                EXPECT_EQ(found, *expected);
            }
        }
    }

    const auto check = PlainSection("[HUBFWCheck]");
    EXPECT_EQ(read.fwCheck.found, check.has_value());
    std::int32_t checkHubFw = start.checkHubFw;
    std::uint16_t fwVersion = start.fwVersion;
    std::string notes;
    for (const std::string& line : check ? WithKey(*check, "=") : std::vector<std::string>()) {
        if (line.find("CheckHUBFW") != std::string::npos) {
            ScanDecimal(ValueOf(line.c_str()), checkHubFw);
            notes += CHubUpgrader::Format("FWCompare:%d  \n\t\t", checkHubFw);
        }
        if (line.find("FWVersion") != std::string::npos) {
            std::uint32_t version = 0;
            if (ScanHex(ValueOf(line.c_str()), version))
                fwVersion = static_cast<std::uint16_t>(version);
            notes += CHubUpgrader::Format("FWVersion:%d  \n\t\t", fwVersion);
        }
    }
    EXPECT_EQ(read.fwCheck.notes, notes);
    EXPECT_EQ(read.fwCheck.checkHubFw, checkHubFw);
    EXPECT_EQ(read.fwCheck.fwVersion, fwVersion);
}

// What acting on every HUBNumber line in turn leaves: the hub number, the
// chain as (depth, port, image name), the key lines the first
// HubNumberLines::kShown lines log, and whether a missing key ended the load.
struct PlainChain {
    std::uint8_t hubNumber = 0;
    std::vector<std::string> hubs;
    std::string log;
    bool keyMissing = false;
    bool bounded = false;
};

std::string Describe(const HubModule& hub)
{
    return std::to_string(hub.depth) + "/" + std::to_string(hub.portIndex) + "/" + hub.binFile;
}

bool PlainTakeKey(const std::string& key, HubModule& hub, int kind, bool logged, std::string& log)
{
    const auto value = PlainKey(key);
    if (!value)
        return false;
    if (kind == HubKeyIndex::WantUpdateBinFile) {
        ScanWord(value->c_str(), hub.binFile, sizeof hub.binFile);
        if (logged)
            log += key + ": " + hub.binFile + "\r\n";
        return true;
    }
    std::uint8_t& field = kind == HubKeyIndex::Depth ? hub.depth : hub.portIndex;
    std::int32_t number = 0;
    if (ScanDecimal(value->c_str(), number))
        field = static_cast<std::uint8_t>(number);
    if (logged)
        log += key + ": " + std::to_string(field) + "\r\n";
    return true;
}

PlainChain ActOnEveryHubNumberLine()
{
    PlainChain result;
    const auto module = PlainSection("[HUBModule]");
    std::vector<HubModule> chain;
    unsigned line = 0;
    for (const std::string& text : module ? WithKey(*module, "HUBNumber") : std::vector<std::string>()) {
        std::int32_t value = 0;
        if (ScanDecimal(ValueOf(text.c_str()), value))
            result.hubNumber = static_cast<std::uint8_t>(value);
        const bool logged = ++line <= HubNumberLines::kShown;
        result.bounded = !logged;
        if (result.hubNumber >= 1)
            chain.assign(result.hubNumber, HubModule());
        if (result.hubNumber < 2)
            continue;
        bool complete =
            PlainTakeKey("NO.1HUBWantUpdateBinFile", chain[0], HubKeyIndex::WantUpdateBinFile, logged, result.log);
        for (unsigned n = 2; complete && n <= result.hubNumber; ++n) {
            for (int kind = 0; complete && kind < HubKeyIndex::kKinds; ++kind)
                complete = PlainTakeKey(HubKeyIndex::KeyName(n, static_cast<HubKeyIndex::Kind>(kind)), chain[n - 1],
                                        kind, logged, result.log);
        }
        if (!complete) {
            result.keyMissing = true;
            break;
        }
    }
    for (const HubModule& hub : chain)
        result.hubs.push_back(Describe(hub));
    return result;
}
} // namespace

TEST_F(EngineTest, OnePassFindsWhatAScanPerSectionAndKeyFinds)
{
    FileMaker maker(20261208);
    for (int round = 0; round < 400; ++round) {
        const std::string file = maker.File();
        WriteIni(file);
        const SettingsSections::Start start{3, 5, 0x1234};
        SettingsText text;
        ASSERT_TRUE(text.Open("SpiFlash.ini"));
        auto read = std::make_unique<SettingsSections>();
        read->Read(text, start);
        ExpectSameAsPlainScans(file, *read, start);
    }
}

TEST_F(EngineTest, EveryHubNumberLineActsInTurnAndTheLogIsBounded)
{
    FileMaker maker(4711);
    for (int round = 0; round < 300; ++round) {
        std::string file = "[HUBModule]\n";
        const unsigned complete = maker.Pick(6);
        const unsigned lines = maker.Pick(40);
        // Often the lines shown one by one build no chain with keys, so that
        // the lines past the bound decide.
        const unsigned shownMax = maker.Pick(2) == 0 ? 1 : 6;
        for (unsigned i = 0; i < lines; ++i)
            file += "HUBNumber=" + std::to_string(maker.Pick((i < HubNumberLines::kShown ? shownMax : 6) + 1)) + "\n";
        for (unsigned n = 1; n <= complete; ++n) {
            for (int kind = n == 1 ? HubKeyIndex::WantUpdateBinFile : 0; kind < HubKeyIndex::kKinds; ++kind) {
                const auto which = static_cast<HubKeyIndex::Kind>(kind);
                if (maker.Pick(12) != 0)
                    file += HubKeyIndex::KeyName(n, which) + "=" +
                            std::to_string(n * 10 + static_cast<unsigned>(kind)) + "\n";
            }
        }
        file += "[HUBFWCheck]\nCheckHUBFW=7\n";
        SCOPED_TRACE(file);
        WriteIni(file);
        engine = std::make_unique<CHubUpgrader>();
        testing::internal::CaptureStdout();
        EXPECT_TRUE(Load());
        testing::internal::GetCapturedStdout();

        const PlainChain expected = ActOnEveryHubNumberLine();
        EXPECT_EQ(engine->m_nHubNumber, expected.hubNumber);
        std::vector<std::string> hubs;
        for (const HubModule* hub : Chain(*engine))
            hubs.push_back(Describe(*hub));
        EXPECT_EQ(hubs, expected.hubs);
        EXPECT_EQ(engine->m_nCheckHubFw, expected.keyMissing ? 0 : 7);
        const std::string warning = expected.bounded ? "Warning !!! more than 16 HUBNumber lines in [HUBModule], "
                                                       "the keys of the rest are not shown\r\n"
                                                     : "";
        EXPECT_EQ(Log(), "\t1.2 LoadSettingFromIni()\r\n\t\t\r\n\t\t\r\n" + expected.log + warning);
    }
}
