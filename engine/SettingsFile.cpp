// SpiFlash.ini: the target-ID table handed to the ISP library, the string
// comparison switch, the hub chain and the firmware check. The file is read
// once per load; every section is found where a fresh scan from the start
// would find it, so sections may stand in any order.
#include "HubUpgrader.h"

#include "Platform.h"
#include "SettingsSections.h"
#include "SettingsText.h"
#include "ZQ460API.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {
const char kSettingsFile[] = "SpiFlash.ini";
} // namespace

void CHubUpgrader::LogSettingsNotFound()
{
    FormatMsg("!!!Error %s not found!\r\n", kSettingsFile);
    LogMsg();
}

bool CHubUpgrader::LoadSettingFromIni()
{
    AppendLog("\t1.2 LoadSettingFromIni()\r\n\t\t");
    PushLog();

    SettingsText file;
    if (!file.Open(kSettingsFile)) {
        LogSettingsNotFound();
        return false;
    }
    auto sections = std::make_unique<SettingsSections>();
    sections->Read(file, {m_nHubNumber, m_nCheckHubFw, m_wFwVersion});

    // [TargetID_U3] entries always come first, whatever the order in the file.
    unsigned count = 0;
    bool overflowReported = false;
    ApplyTargetIdSection(sections->targetIds[0], 3, count, overflowReported);
    ApplyTargetIdSection(sections->targetIds[1], 2, count, overflowReported);
    m_IniInfo.entryCount = static_cast<std::uint8_t>(count);

    AppendLog("\r\n\t\t");
    for (unsigned i = 0; i < count; ++i) {
        const TargetIdEntry& entry = m_IniInfo.entries[i];
        AppendLog(Format("%08X=%04X %d  ", static_cast<unsigned>(entry.vidPid), static_cast<unsigned>(entry.targetId),
                         entry.usbPart));
        PushLog();
    }
    AppendLog("\r\n");
    RX_SetIniInfo(&m_IniInfo);

    ApplyMiscSection(*sections);
    // An incomplete chain ends the load: what was read stands and the
    // firmware check keeps its earlier values.
    if (!ApplyHubNumbers(sections->hubNumbers, sections->hubKeys))
        return true;
    ApplyFwCheckSection(sections->fwCheck);
    return true;
}

void CHubUpgrader::ApplyTargetIdSection(const TargetIdLines& section, std::uint8_t usbPart, unsigned& count,
                                        bool& overflowReported)
{
    if (!section.found)
        return;
    const std::string header = Format("[TargetID_U%d]", usbPart);
    AppendLog(Format("%s Found  ", header.c_str()));
    PushLog();

    unsigned ignored = 0;
    for (const std::string& line : section.lines) {
        std::uint32_t vidPid = 0;
        std::uint32_t targetId = 0;
        // Only a complete "VIDPID=TargetID" line makes an entry: a half-read
        // line would hand the library an identity nobody wrote.
        if (!ParseTargetIdLine(line.c_str(), vidPid, targetId)) {
            ++ignored;
            if (ignored <= TargetIdLines::kIgnoredShown) {
                AppendLog(Format("\r\n\t\tWarning !!! %s line ignored, not two hexadecimal numbers: %s\r\n\t\t",
                                 header.c_str(), line.c_str()));
                PushLog();
            } else if (ignored == TargetIdLines::kIgnoredShown + 1) {
                AppendLog(Format("\r\n\t\tWarning !!! %s more lines ignored, not shown\r\n\t\t", header.c_str()));
                PushLog();
            }
            continue;
        }
        if (count == kMaxTargetIds) {
            if (!overflowReported) {
                AppendLog(Format("\r\n\t\tWarning !!! more than %d target IDs in %s, the rest are ignored\r\n\t\t",
                                 kMaxTargetIds, kSettingsFile));
                PushLog();
                overflowReported = true;
            }
            continue;
        }
        TargetIdEntry& entry = m_IniInfo.entries[count++];
        entry.vidPid = vidPid;
        entry.targetId = static_cast<std::uint16_t>(targetId);
        entry.usbPart = usbPart;
    }
}

void CHubUpgrader::ApplyMiscSection(const SettingsSections& sections)
{
    if (!sections.miscFound)
        return;
    AppendLog(Format("%s Found  ", "[Misc]"));
    PushLog();
    if (!sections.hasStringCompare)
        return;
    ScanDecimal(ValueOf(sections.stringCompareLine.c_str()), m_nStringCompare);
    AppendLog(Format("StringCompare:%d  \r\n\t\t", m_nStringCompare));
    PushLog();
}

// Every HUBNumber line rebuilds the chain and logs its keys again; a chain
// that lacks a key ends the load at once. A file that repeats the line
// without end would flood the log, so past the lines shown one by one only
// the chain that stands is built, and silently.
bool CHubUpgrader::ApplyHubNumbers(const HubNumberLines& lines, const HubKeyIndex& keys)
{
    for (std::uint8_t number : lines.shown) {
        m_nHubNumber = number;
        if (!TakeChain(number, keys, true))
            return false;
    }
    if (lines.hidden == 0)
        return true;
    AppendLog(Format("Warning !!! more than %u HUBNumber lines in [HUBModule], the keys of the rest are not shown\r\n",
                     HubNumberLines::kShown));
    PushLog();

    // The first of the rest whose chain lacks a key ends the section: the
    // first to reach the incomplete hub, which is a new highest number.
    const unsigned incomplete = keys.FirstIncompleteHub();
    if (incomplete != 0) {
        const unsigned reaching = std::max(2u, incomplete);
        for (std::uint8_t number : lines.hiddenRises) {
            if (number >= reaching) {
                m_nHubNumber = number;
                TakeChain(number, keys, false);
                return false;
            }
        }
    }
    m_nHubNumber = lines.lastHidden;
    if (lines.lastHiddenChain >= 1)
        TakeChain(lines.lastHiddenChain, keys, false);
    return true;
}

// A chain of count hubs, zero-filled; from two hubs on every hub takes its
// keys. False when one is missing: the hubs from there on stay as built.
bool CHubUpgrader::TakeChain(unsigned count, const HubKeyIndex& keys, bool logged)
{
    if (count == 0)
        return true;
    BuildHubModules(count);
    if (count < 2)
        return true;
    // Hub 1 sits at the root of the chain: only its image name is configured.
    HubModule* hub = m_pHubModule;
    if (!TakeHubModuleKey(keys, 1, HubKeyIndex::WantUpdateBinFile, hub->binFile, logged))
        return false;
    for (unsigned n = 2; n <= count; ++n) {
        hub = hub->pNext;
        if (!TakeHubModuleKey(keys, n, HubKeyIndex::Depth, &hub->depth, logged) ||
            !TakeHubModuleKey(keys, n, HubKeyIndex::ConnectionPortIndex, &hub->portIndex, logged) ||
            !TakeHubModuleKey(keys, n, HubKeyIndex::WantUpdateBinFile, hub->binFile, logged))
            return false;
    }
    return true;
}

void CHubUpgrader::BuildHubModules(unsigned count)
{
    HubModule* first = nullptr;
    HubModule** link = &first;
    for (unsigned i = 0; i < count; ++i) {
        *link = new HubModule();
        link = &(*link)->pNext;
    }
    ReleaseHubModules();
    m_pHubModule = first;
}

bool CHubUpgrader::TakeHubModuleKey(const HubKeyIndex& keys, unsigned hub, int kind, void* destination, bool logged)
{
    const auto which = static_cast<HubKeyIndex::Kind>(kind);
    const char* value = keys.Find(hub, which);
    if (!value)
        return false;
    StoreHubModuleValue(HubKeyIndex::KeyName(hub, which).c_str(), value, destination,
                        which != HubKeyIndex::WantUpdateBinFile, logged);
    return true;
}

void CHubUpgrader::StoreHubModuleValue(const char* key, const char* value, void* destination, bool numeric, bool logged)
{
    if (numeric) {
        auto* field = static_cast<std::uint8_t*>(destination);
        std::int32_t number = 0;
        if (ScanDecimal(value, number))
            *field = static_cast<std::uint8_t>(number);
        if (logged)
            FormatMsg("%s: %d\r\n", key, *field);
    } else {
        auto* field = static_cast<char*>(destination);
        ScanWord(value, field, sizeof HubModule::binFile);
        if (logged)
            FormatMsg("%s: %s\r\n", key, field);
    }
    if (logged)
        LogMsg();
}

bool CHubUpgrader::ReadHubModuleKey(const char* fileName, const char* key, void* destination, bool numeric)
{
    SettingsText file;
    if (!file.Open(fileName)) {
        FormatMsg("!!!Error %s not found!\r\n", fileName);
        LogMsg();
        return false;
    }
    if (!file.FindSection("HUBModule"))
        return true;
    while (const char* line = file.NextSectionLine()) {
        if (std::strchr(line, '=') && std::strstr(line, key)) {
            StoreHubModuleValue(key, ValueOf(line), destination, numeric, true);
            return false;
        }
    }
    return true;
}

void CHubUpgrader::ApplyFwCheckSection(const FwCheckLines& check)
{
    if (!check.found)
        return;
    // These notes go to the standard output, not to the log.
    PrintOut("%s Found  \n\t\t", "[HUBFWCheck]");
    PrintOut("%s", check.notes.c_str());
    m_nCheckHubFw = check.checkHubFw;
    m_wFwVersion = check.fwVersion;
}
