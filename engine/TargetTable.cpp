#include "TargetTable.h"

#include "SettingsSections.h"
#include "SettingsText.h"

#include <memory>

namespace {
void TakeSection(const TargetIdLines& section, std::uint8_t usbPart, IniInfo& table)
{
    for (const std::string& line : section.lines) {
        std::uint32_t vidPid = 0;
        std::uint32_t targetId = 0;
        if (table.entryCount == kMaxTargetIds || !ParseTargetIdLine(line.c_str(), vidPid, targetId))
            continue;
        table.entries[table.entryCount++] = TargetIdEntry{vidPid, static_cast<std::uint16_t>(targetId), usbPart};
    }
}
} // namespace

bool ReadTargetTable(IniInfo& table)
{
    table = IniInfo{};
    SettingsText file;
    if (!file.Open("SpiFlash.ini"))
        return false;
    // Large (an index of every hub key): kept off the stack, as the scan does.
    auto sections = std::make_unique<SettingsSections>();
    sections->Read(file, {});
    TakeSection(sections->targetIds[0], 3, table);
    TakeSection(sections->targetIds[1], 2, table);
    return true;
}
