// A stand-in for the ISP library whose answers come from the fuzzer's input
// instead of from hubs: the hub count, the entries it writes and every
// programming result are whatever the input says, within what the four
// functions may write. The fuzz targets link it in place of the simulated
// library.
#ifndef TOLVANE_FUZZ_FUZZISP_H
#define TOLVANE_FUZZ_FUZZISP_H

#include "IspRecords.h"

#include <cstdint>
#include <string>
#include <vector>

class FuzzedDataProvider;

namespace fuzz_isp {

struct UpdateCall {
    unsigned hubIndex;
    std::string path;
    std::int32_t result;
};

// The input that the next calls answer from, or null: no hubs, the version
// left alone, every programming refused. Forgets the calls recorded so far.
void Use(FuzzedDataProvider* input);

// Every RX_UpdateISP call since the last Use, in order.
const std::vector<UpdateCall>& UpdateCalls();

// The target-ID table last handed over, or null.
const IniInfo* HandedIniInfo();

} // namespace fuzz_isp

#endif
