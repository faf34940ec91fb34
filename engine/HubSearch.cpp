#include "HubUpgrader.h"

#include "Platform.h"
#include "StopFlag.h"
#include "ZQ460API.h"

#include <algorithm>

namespace {
unsigned Nibble(unsigned value, unsigned shift)
{
    return (value >> shift) & 0xFu;
}
} // namespace

std::string ListedFirmwareVersion(const HubInfo& hub)
{
    const unsigned v = hub.descriptor.bcdDevice;
    // By product alone: the list shows these numbers the special way for any
    // vendor.
    if (IsSpecialProduct(hub.descriptor.idProduct))
        return CHubUpgrader::Format("V%X.%X%X", Nibble(v, 4), Nibble(v, 0), Nibble(v, 12));
    return CHubUpgrader::Format("%X%X%X%X", Nibble(v, 12), Nibble(v, 8), Nibble(v, 4), Nibble(v, 0));
}

std::string TooManyHubsLine(unsigned hubs)
{
    return CHubUpgrader::Format("!!!Error ISP library reported %u hubs, more than the %d it can list!", hubs, kMaxHubs);
}

bool CHubUpgrader::FailSearch(const std::string& line)
{
    AppendLog(line);
    PushLog();
    return false;
}

bool CHubUpgrader::SearchHub()
{
    m_bScanPassed = false;
    ReplaceLog("");
    // An interruption ends the wait at once; the run it belongs to then
    // starts no hub.
    tolvane::platform::WaitMs(m_nSettleMs);
    RX_GetEnumInfo(&m_EnumInfo);

    const unsigned hubs = m_EnumInfo.hubCount;
    const unsigned perSet = m_nHubNumber;
    if (hubs == 0)
        return FailSearch("!!!No device found!\r\n");
    // Hubs come in sets of HUBNumber; without it the count cannot be judged.
    if (perSet == 0)
        return FailSearch("!!!Error HUBNumber of [HUBModule] in SpiFlash.ini is 0 or missing!\r\n");
    // The table has room for 32 hubs; a larger count cannot be listed or served.
    if (hubs > kMaxHubs)
        return FailSearch(TooManyHubsLine(hubs) + "\r\n");
    if (hubs % perSet != 0)
        return FailSearch("!!!No device found!\r\n");
    m_bScanPassed = true;
    ListDevices();
    return true;
}

void CHubUpgrader::ListDevices()
{
    const unsigned hubs = m_EnumInfo.hubCount;
    ReplaceLog(Format("%u device%s found:\r\n", hubs, hubs == 1 ? " " : "s"));
    PushLog();
    // The count is the library's word; the table ends at its 32nd entry
    // whatever the count says.
    const unsigned listed = std::min<unsigned>(hubs, kMaxHubs);
    for (unsigned i = 1; i <= listed; ++i) {
        const HubInfo& hub = m_EnumInfo.hubs[i - 1];
        const unsigned vid = hub.descriptor.idVendor;
        const unsigned pid = hub.descriptor.idProduct;
        AppendLog(Format("(%u)Depth%u, V/PID = %04X/%04X, FW Version = %s\r\n", i, hub.depth, vid, pid,
                         ListedFirmwareVersion(hub).c_str()));
        PushLog();
    }
}
