// Any bytes as a hub bench and as a state file. A bench either loads within
// the library's limits or is refused with the line at fault and nothing
// kept; a state file that loads writes back to the same records.
#include "BenchFile.h"
#include "FuzzSupport.h"

#include <string>

using namespace tolvane::bench;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    Bench bench;
    std::string error;
    if (ParseBench(text, bench, error)) {
        FUZZ_CHECK(error.empty());
        FUZZ_CHECK(bench.hubs.size() <= 32);
        for (const std::string& key : bench.registryKeys)
            FUZZ_CHECK(!key.empty());
    } else {
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
        FUZZ_CHECK(bench.hubs.empty() && bench.registryKeys.empty() && bench.version == 0);
        FUZZ_CHECK(!bench.hubCount && !bench.garbageFill && !bench.versionUntouched);
    }

    HubFirmware firmware;
    if (ParseState(text, firmware, error)) {
        for (const auto& record : firmware)
            FUZZ_CHECK(record.first >= 1 && record.first <= 32);
        HubFirmware again;
        FUZZ_CHECK(ParseState(FormatState(firmware), again, error));
        FUZZ_CHECK(again == firmware);
        ApplyState(firmware, bench);
    } else {
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
        FUZZ_CHECK(firmware.empty());
    }
    return 0;
}
