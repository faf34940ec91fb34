// Integers come from the end of the input and the hub entries from its
// front (FuzzedDataProvider's rule), so that the count, the results and the
// table bytes each keep their place while the fuzzer mutates the others.
#include "FuzzIsp.h"

#include "ZQ460API.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>

namespace {
FuzzedDataProvider* g_input = nullptr;
std::vector<fuzz_isp::UpdateCall> g_calls;
IniInfo* g_iniInfo = nullptr;

// Programming failures the stand-in reports on its own.
constexpr std::int32_t kNoInput = 1;
constexpr std::int32_t kNoPath = 2;
} // namespace

namespace fuzz_isp {

void Use(FuzzedDataProvider* input)
{
    g_input = input;
    g_calls.clear();
}

const std::vector<UpdateCall>& UpdateCalls()
{
    return g_calls;
}

const IniInfo* HandedIniInfo()
{
    return g_iniInfo;
}

} // namespace fuzz_isp

extern "C" int RX_GetDllVersion(uint32_t* version)
{
    if (version == nullptr)
        return 1;
    // A library may leave the variable as it found it.
    if (g_input != nullptr && g_input->ConsumeBool())
        *version = g_input->ConsumeIntegral<uint32_t>();
    return 0;
}

extern "C" int RX_SetIniInfo(IniInfo* iniInfo)
{
    g_iniInfo = iniInfo;
    return iniInfo == nullptr ? 1 : 0;
}

// Writes any count and up to 32 entries, each as many bytes as the input
// still has; the rest of the record stays as it was, as the real library
// leaves it.
extern "C" int RX_GetEnumInfo(EnumInfo* enumInfo)
{
    if (enumInfo == nullptr)
        return 1;
    if (g_input == nullptr) {
        enumInfo->hubCount = 0;
        return 0;
    }
    enumInfo->hubCount = g_input->ConsumeIntegral<uint8_t>();
    const unsigned written = g_input->ConsumeIntegralInRange<unsigned>(0, kMaxHubs);
    for (unsigned i = 0; i < written; ++i) {
        const std::vector<uint8_t> bytes = g_input->ConsumeBytes<uint8_t>(sizeof(HubInfo));
        if (!bytes.empty())
            std::memcpy(&enumInfo->hubs[i], bytes.data(), bytes.size());
    }
    return 0;
}

// Zero (success) once the input has run out, so that a short input programs
// every hub it reaches.
extern "C" int32_t RX_UpdateISP(uint8_t hubIndex, const char* imagePath, int32_t reserved)
{
    static_cast<void>(reserved);
    std::int32_t result = kNoInput;
    if (imagePath == nullptr)
        result = kNoPath;
    else if (g_input != nullptr)
        result = static_cast<std::int32_t>(g_input->ConsumeIntegral<uint32_t>());
    g_calls.push_back({hubIndex, imagePath ? imagePath : "", result});
    return result;
}
