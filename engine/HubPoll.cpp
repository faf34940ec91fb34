#include "HubPoll.h"

#include "IspRecords.h"
#include "SettingsSections.h"
#include "SettingsText.h"
#include "ZQ460API.h"

#include <algorithm>
#include <memory>

namespace {
// The library may keep the address it fills, so the table outlives every
// call; the engine's own table is the last scan's and stays as it is.
EnumInfo g_polled{};

// Whether a chain of count hubs has every key it needs; the scan's load
// stops at the first that lacks one.
bool ChainComplete(unsigned count, const HubKeyIndex& keys)
{
    const unsigned incomplete = keys.FirstIncompleteHub();
    return count < 2 || incomplete == 0 || incomplete > count;
}
} // namespace

bool PollHubCount(unsigned& count)
{
    count = 0;
    if (RX_GetEnumInfo(&g_polled) != 0)
        return false;
    count = g_polled.hubCount;
    return true;
}

bool HubCountMakesSets(unsigned count, unsigned perSet)
{
    if (count == 0 || count > kMaxHubs)
        return false;
    return perSet == 0 || count % perSet == 0;
}

// The scan's own choice (CHubUpgrader::ApplyHubNumbers), without its log.
std::uint8_t ReadHubNumber(std::uint8_t before)
{
    SettingsText file;
    if (!file.Open("SpiFlash.ini"))
        return before;
    auto sections = std::make_unique<SettingsSections>();
    sections->Read(file, {before, 0, 0});
    const HubNumberLines& lines = sections->hubNumbers;
    std::uint8_t number = before;
    for (std::uint8_t shown : lines.shown) {
        number = shown;
        if (!ChainComplete(shown, sections->hubKeys))
            return number;
    }
    if (lines.hidden == 0)
        return number;
    const unsigned incomplete = sections->hubKeys.FirstIncompleteHub();
    if (incomplete != 0) {
        const unsigned reaching = std::max(2u, incomplete);
        for (std::uint8_t rise : lines.hiddenRises)
            if (rise >= reaching)
                return rise;
    }
    return lines.lastHidden;
}
