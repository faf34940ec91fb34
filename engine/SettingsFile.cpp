// SpiFlash.ini: the target-ID table handed to the ISP library, the string
// comparison switch, the hub chain and the firmware check. Each section is
// found by a fresh pass over the file, so sections may stand in any order.
#include "HubUpgrader.h"

#include "Platform.h"
#include "SettingsText.h"
#include "ZQ460API.h"

#include <cstring>

namespace {
const char kSettingsFile[] = "SpiFlash.ini";

// Every warning shows the whole log again; a file of nothing but broken
// lines would otherwise keep the window busy for hours.
constexpr unsigned kMaxIgnoredLinesShown = 10;

bool HasKey(const char* line, const char* key)
{
    return std::strchr(line, '=') && std::strstr(line, key);
}
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

    if (!tolvane::platform::OpenReadOnly(kSettingsFile)) {
        LogSettingsNotFound();
        return false;
    }

    // [TargetID_U3] entries always come first, whatever the order in the file.
    unsigned count = 0;
    bool overflowReported = false;
    for (std::uint8_t usbPart : {std::uint8_t{3}, std::uint8_t{2}}) {
        if (!ReadTargetIdSection(usbPart, count, overflowReported)) {
            LogSettingsNotFound();
            return false;
        }
    }
    m_IniInfo.entryCount = static_cast<std::uint8_t>(count);

    AppendLog("\r\n\t\t");
    for (unsigned i = 0; i < count; ++i) {
        const TargetIdEntry& entry = m_IniInfo.entries[i];
        AppendLog(Format("%08X=%04X %d  ", static_cast<unsigned>(entry.vidPid),
                         static_cast<unsigned>(entry.targetId), entry.usbPart));
        PushLog();
    }
    AppendLog("\r\n");
    RX_SetIniInfo(&m_IniInfo);

    if (!ReadMiscSection()) {
        LogSettingsNotFound();
        return false;
    }
    switch (ReadHubModuleSection()) {
    case HubModuleResult::OpenFailed:
        LogSettingsNotFound();
        return false;
    case HubModuleResult::KeyMissing:
        // The chain is incomplete; what was read stands and the firmware
        // check keeps its earlier values.
        return true;
    case HubModuleResult::Done:
        break;
    }
    return ReadFwCheckSection();
}

bool CHubUpgrader::ReadTargetIdSection(std::uint8_t usbPart, unsigned& count, bool& overflowReported)
{
    SettingsText file;
    if (!file.Open(kSettingsFile))
        return false;
    const std::string header = Format("[TargetID_U%d]", usbPart);
    if (!file.FindSection(header.c_str()))
        return true;
    AppendLog(Format("%s Found  ", header.c_str()));
    PushLog();

    unsigned ignored = 0;
    while (const char* line = file.NextSectionLine()) {
        if (!std::strchr(line, '='))
            continue;
        std::uint32_t vidPid = 0;
        std::uint32_t targetId = 0;
        const char* end = nullptr;
        // Only a complete "VIDPID=TargetID" line makes an entry: a half-read
        // line would hand the library an identity nobody wrote.
        if (!ScanHex(line, vidPid, &end) || *end != '=' || !ScanHex(end + 1, targetId)) {
            ++ignored;
            if (ignored <= kMaxIgnoredLinesShown) {
                AppendLog(Format("\r\n\t\tWarning !!! %s line ignored, not two hexadecimal numbers: %s\r\n\t\t",
                                 header.c_str(), line));
                PushLog();
            } else if (ignored == kMaxIgnoredLinesShown + 1) {
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
    return true;
}

bool CHubUpgrader::ReadMiscSection()
{
    SettingsText file;
    if (!file.Open(kSettingsFile))
        return false;
    if (!file.FindSection("[Misc]"))
        return true;
    AppendLog(Format("%s Found  ", "[Misc]"));
    PushLog();
    while (const char* line = file.NextSectionLine()) {
        if (!HasKey(line, "Manufacturer&ProductStringCompare"))
            continue;
        ScanDecimal(ValueOf(line), m_nStringCompare);
        AppendLog(Format("StringCompare:%d  \r\n\t\t", m_nStringCompare));
        PushLog();
        break;
    }
    return true;
}

CHubUpgrader::HubModuleResult CHubUpgrader::ReadHubModuleSection()
{
    SettingsText file;
    HubModuleLines keys;
    if (!file.Open(kSettingsFile) || !keys.Read(kSettingsFile))
        return HubModuleResult::OpenFailed;
    if (!file.FindSection("[HUBModule]"))
        return HubModuleResult::Done;
    // Every HUBNumber line rebuilds the chain and reads its keys again, so
    // the chain of the last line that sets one stands, unless a line before
    // it lacks a key and ends the section there. Only that chain is built
    // and logged: the others would vanish at once, and a file that repeats
    // HUBNumber thousands of times would flood the log.
    unsigned chain = 0;
    while (const char* line = file.NextSectionLine()) {
        if (!HasKey(line, "HUBNumber"))
            continue;
        std::int32_t number = 0;
        if (ScanDecimal(ValueOf(line), number))
            m_nHubNumber = static_cast<std::uint8_t>(number);
        if (m_nHubNumber >= 1)
            chain = m_nHubNumber;
        if (m_nHubNumber >= 2 && !keys.HasKeysOfHubs(m_nHubNumber))
            break;
    }
    if (chain == 0)
        return HubModuleResult::Done;
    BuildHubModules(chain);
    if (chain >= 2 && !ReadHubModuleKeys(keys, chain))
        return HubModuleResult::KeyMissing;
    return HubModuleResult::Done;
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

// Hub 1 sits at the root of the chain: only its image name is configured.
bool CHubUpgrader::ReadHubModuleKeys(HubModuleLines& keys, unsigned count)
{
    HubModule* hub = m_pHubModule;
    if (!TakeHubModuleKey(keys, HubModuleLines::KeysOfHub(1)[0], hub->binFile, false))
        return false;
    for (unsigned n = 2; n <= count; ++n) {
        hub = hub->pNext;
        const std::vector<std::string> names = HubModuleLines::KeysOfHub(n);
        if (!TakeHubModuleKey(keys, names[0], &hub->depth, true) ||
            !TakeHubModuleKey(keys, names[1], &hub->portIndex, true) ||
            !TakeHubModuleKey(keys, names[2], hub->binFile, false))
            return false;
    }
    return true;
}

bool CHubUpgrader::ReadHubModuleKey(const char* fileName, const char* key, void* destination, bool numeric)
{
    HubModuleLines keys;
    if (!tolvane::platform::OpenReadOnly(fileName) || !keys.Read(fileName)) {
        FormatMsg("!!!Error %s not found!\r\n", fileName);
        LogMsg();
        return false;
    }
    return !TakeHubModuleKey(keys, key, destination, numeric);
}

bool CHubUpgrader::TakeHubModuleKey(HubModuleLines& keys, const std::string& key, void* destination, bool numeric)
{
    const char* value = keys.Find(key);
    if (!value)
        return false;
    if (numeric) {
        auto* field = static_cast<std::uint8_t*>(destination);
        std::int32_t number = 0;
        if (ScanDecimal(value, number))
            *field = static_cast<std::uint8_t>(number);
        FormatMsg("%s: %d\r\n", key.c_str(), *field);
    } else {
        auto* field = static_cast<char*>(destination);
        ScanWord(value, field, sizeof HubModule::binFile);
        FormatMsg("%s: %s\r\n", key.c_str(), field);
    }
    LogMsg();
    return true;
}

bool CHubUpgrader::ReadFwCheckSection()
{
    SettingsText file;
    if (!file.Open(kSettingsFile)) {
        PrintOut("!!!Error %s not found!\n", kSettingsFile);
        return false;
    }
    if (!file.FindSection("[HUBFWCheck]"))
        return true;
    // These notes go to the standard output, not to the log.
    PrintOut("%s Found  \n\t\t", "[HUBFWCheck]");
    while (const char* line = file.NextSectionLine()) {
        if (!std::strchr(line, '='))
            continue;
        const char* value = ValueOf(line);
        if (std::strstr(line, "CheckHUBFW")) {
            ScanDecimal(value, m_nCheckHubFw);
            PrintOut("FWCompare:%d  \n\t\t", m_nCheckHubFw);
        }
        if (std::strstr(line, "FWVersion")) {
            std::uint32_t version = 0;
            if (ScanHex(value, version))
                m_wFwVersion = static_cast<std::uint16_t>(version);
            PrintOut("FWVersion:%d  \n\t\t", m_wFwVersion);
        }
    }
    return true;
}
